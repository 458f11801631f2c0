// The page in real browsers, Debian's Chromium and Firefox ESR, driven by puppeteer-core,
// from disk and over HTTP. Its cases are the rows of a table: a browser's languages, a
// language chosen, logs chosen as a user would, and what must then be seen. A row that
// converts is also compared with the program itself: the status, the errors and warnings
// told, and the KML and listing that the save buttons save, byte for byte. Around the
// table: the keyboard, the layout, axe-core in both languages, no policy violation, and
// nothing asked for but the page's own files.
//
//   node page_test.mjs PAGE_DIR GOLDEN_DIR PROGRAM [ENGINE...]
//
// PROGRAM is the command-line kml (or kml.js, run by Node); ENGINE is chrome or firefox
// (both by default). Screenshots for review go to screenshots/ beside PAGE_DIR. Exits 77
// when a browser or the npm packages are missing.
import { execFileSync, spawnSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import vm from 'node:vm';
import { createRequire } from 'node:module';

const [pageDir, goldenDir, program, ...engines] =
  process.argv.slice(2).map((arg, k) => (k < 3 ? path.resolve(arg) : arg));
const BROWSERS = { chrome: '/usr/bin/chromium', firefox: '/usr/bin/firefox-esr' };
let puppeteer;
try {
  puppeteer = (await import('puppeteer-core')).default;
} catch {
  console.log('skipped: puppeteer-core is not installed (npm ci, with PUPPETEER_SKIP_DOWNLOAD=1)');
  process.exit(77);
}
const chosen = engines.length > 0 ? engines : Object.keys(BROWSERS);
if (chosen.some((engine) => !fs.existsSync(BROWSERS[engine]))) {
  console.log(`skipped: needs ${chosen.map((engine) => BROWSERS[engine]).join(' and ')}`);
  process.exit(77);
}
const axeSource = fs.readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kml-page-'));
const golden = (name) => fs.readFileSync(path.join(goldenDir, name));
let passed = 0;
let failed = 0;

function check(holds, what) {
  if (holds) {
    ++passed;
  } else {
    ++failed;
    console.log('FAILED:', what);
  }
}

// The log's layout and the full walk, as the page has them (log.js).
const { logBytes, walk } = vm.runInNewContext(`${fs.readFileSync(path.join(pageDir, 'log.js'), 'utf8')}; kmlLog`);
const sample = golden('../../examples/eeprom.hex');
fs.writeFileSync(path.join(work, 'eeprom.hex'), sample);
execFileSync('objcopy', ['-I', 'binary', '-O', 'ihex', path.join(work, 'eeprom.hex'), path.join(work, 'dump.hex')]);
const dump = fs.readFileSync(path.join(work, 'dump.hex'), 'latin1');
// A name of 70 characters with no space: no screen holds it on one line.
const LONG = `${'wycieczka_w_tatry_'.repeat(3)}dolina_5staw.hex`;
// The logs the rows choose, by name.
const LOGS = {
  'eeprom.hex': sample,
  'dump.hex': dump,
  'empty.hex': new Uint8Array(0),
  'trasa.kml': sample,  // a log that bears the KML's name
  'tatry.hex': sample.subarray(0, 300),
  'nan.hex': logBytes(3, [[1, NaN, 1905.5], [2, 5012.3456, 1905.1234], [3, 5012.3457, 1905.1235]]),
  'far.hex': logBytes(3, [[1, 12000, 1905], [2, 13000, 1905], [3, 5012, 1905]]),
  'full.hex': walk(65535),
  // One position: a walk that ends where it began, as far as the markers go.
  'one.hex': logBytes(1, [[1, 4916.2, 1958.8]]),
  // 300 bytes of no log, and a log under a name that no screen holds on one line.
  'noise.bin': Buffer.concat([0, 1, 2, 3, 4].map((k) => crypto.createHash('sha512').update(`noise ${k}`).digest()))
    .subarray(0, 300),
  [LONG]: sample,
  // The third line lost: the fourth record's T reads as the end marker, from a gap.
  'gap.hex': dump.split('\n').filter((line, k) => k !== 2).join('\n'),
  // A logger with no fix yet: 0, 0.
  'zero.hex': logBytes(3, [[1, 0, 0], [2, 4916.2, 1958.8], [3, 4916.3, 1958.9]]),
  // A wrong checksum on the second line: nothing converted.
  'typo.hex': dump.replace(/\n(:[0-9A-F]*)([0-9A-F]{2})(\r?)\n/, (all, line, sum, cr) => `\n${line}${sum === '00' ? '01' : '00'}${cr}\n`),
};

// What nothing of a result looks like: before any log, and after one that gave nothing.
const NOTHING = { detail: '', stopped: '', 'download-kml': '', 'download-gpx': '', 'download-listing': '' };
const EMPTY = { ...NOTHING, tally: '', said: '', meaning: '', 'left-out': '' };
// The rows, in order, on one page per browser: `browser`, the languages the browser
// prefers, and `query`, opens the page anew; `language` presses that language's button;
// `logs` are chosen; `seen` is the text of each element named (one not rendered has
// none; a RegExp must match; `said` is the first diagnostic listed). `golden` names the
// golden files the saved KML and listing must be; `shot` takes a screenshot and runs axe;
// `checks` names what else must hold (CHECKS); `width` and `dark` set the viewport and
// the colour scheme for the row alone (`dark` in Chromium, which emulates it).
const ROWS = [
  { browser: ['pl-PL', 'pl', 'en'], seen: { 'choose-heading': '1. Wybierz log', ...EMPTY } },
  { browser: ['pl-PL', 'pl', 'en'], query: '?lang=en', seen: { 'choose-heading': '1. Choose a log', ...EMPTY } },
  { browser: ['de-DE', 'de', 'pl', 'en'], seen: { 'choose-heading': '1. Wybierz log' } },
  { browser: ['en-GB', 'en'], seen: { 'choose-heading': '1. Choose a log', ...EMPTY }, checks: ['keyboard'] },
  { logs: ['eeprom.hex'], golden: 'sample', shot: 'en-sample', checks: ['markers', 'scale'], seen: {
    status: 'Converted: 42 positions.', stopped: 'The log\'s end marker came after 42 of 50 records.',
    count: '42 of 50', positions: '42', tally: '', detail: '', 'left-out': '',
    'download-kml': 'Save the KML (eeprom.kml)', 'download-gpx': 'Save the GPX (eeprom.gpx)',
    'download-listing': 'Save the listing (eeprom.txt)', 'route-summary': '42 positions from the start (the green dot) to the end (the ring); the route is ' +
      '6.44 km long. Extent: north 49.27003°\u00a0N, south 49.23209°\u00a0N, east 20.00103°\u00a0E, west 19.97910°\u00a0E.' } },
  { language: 'pl', shot: 'pl-sample', seen: {  // the switch keeps the result
    status: 'Gotowe: przekonwertowano 42 pozycje.', stopped: 'Log kończy się znacznikiem końca po 42 z 50 rekordów.',
    'download-kml': 'Zapisz KML (eeprom.kml)', 'download-gpx': 'Zapisz GPX (eeprom.gpx)',
    'download-listing': 'Zapisz wykaz (eeprom.txt)', positions: '42' } },
  { width: 375, shot: 'pl-phone-sample', checks: ['fits', 'route-first'], seen: { positions: '42' } },
  { dark: true, shot: 'pl-dark-sample', checks: ['dark', 'markers'], seen: { positions: '42' } },
  { dark: true, width: 375, shot: 'pl-dark-phone-sample', checks: ['dark', 'fits'], seen: { positions: '42' } },
  { language: 'en', logs: ['dump.hex'], golden: 'sample', seen: { status: 'Converted: 42 positions.' } },
  { logs: ['trasa.kml'], golden: 'sample', seen: { 'download-kml': 'Save the KML (trasa.kml)' } },
  { racing: 'full.hex', logs: ['eeprom.hex'], golden: 'sample', seen: { positions: '42' } },
  { logs: ['tatry.hex'], seen: { status: 'Converted 24 of 50 records: the log ends early, with no end marker.',
    tally: '1 error', said: '', 'download-kml': 'Save the KML (tatry.kml)' } },
  { language: 'pl', seen: {
    status: 'Przekonwertowano 24 z 50 rekordów: log urywa się przedwcześnie, bez znacznika końca.' } },
  { language: 'en', logs: ['one.hex'], checks: ['markers'], seen: { positions: '1' } },
  { logs: ['nan.hex'], seen: { tally: '1 warning', positions: '2', said: /^1 record has coordinates that are not finite/ } },
  { logs: ['far.hex'], seen: { tally: '2 warnings', positions: '3', 'route-summary': /^3 positions/,
    status: 'This does not look like a position log: 2 of 3 records give no position on the Earth.',
    detail: 'Converted: 3 positions.', said: /^2 positions lie beyond 90°/ } },
  { language: 'pl', seen: { status: 'To nie wygląda na log pozycji: 2 z 3 rekordów nie wskazują miejsca na Ziemi.' } },
  { language: 'en', logs: ['noise.bin'], shot: 'en-noise', seen: {
    status: /^This does not look like a position log: \d+ of \d+ records give no position on the Earth\.$/,
    detail: /^Converted \d+ of [\d,]+ records: the log ends early, with no end marker\.$/ } },
  { logs: ['gap.hex'], seen: { status: 'Converted 3 of 50 records: the dump has a gap there (bytes 0x0020 to 0x002F ' +
    'are in no record), and nothing after it was read.', tally: '1 error, 1 warning', stopped: '' } },
  { language: 'pl', seen: { status: 'Przekonwertowano 3 z 50 rekordów: w zrzucie jest tam luka (bajty od 0x0020 do ' +
    '0x002F nie należą do żadnego rekordu) i nic, co leży za nią, nie zostało odczytane.' } },
  { logs: ['zero.hex'], seen: { status: '1 pozycja leży dokładnie w punkcie 0°, 0°, ' +
    'gdzie odbiornik zapisuje pozycję, gdy nie zna swojego położenia: trasa biegnie tam i z powrotem.',
    detail: 'Gotowe: przekonwertowano 3 pozycje.', tally: '1 ostrzeżenie' } },
  { language: 'en', seen: { status: '1 position lies at exactly 0°, 0°, where a logger puts them while it has no ' +
    'fix: the route runs there and back.', detail: 'Converted: 3 positions.' } },
  { logs: ['empty.hex'], checks: ['no-route-panel'], seen: { status: 'The file is empty: there is no position to convert.',
    count: '0', positions: '0', 'route-summary': /empty/, listing: 'Ilosc pozycji: 0\n' } },
  { logs: ['full.hex'], seen: { positions: '65,535', listing: /^(.*\n){1000}[^\n]*$/,
    'listing-note': /^The first 1,000 of 131,071 lines;/ } },
  { logs: [LONG], width: 375, shot: 'en-phone-long-name', checks: ['fits'], seen: {
    'download-kml': `Save the KML (${LONG.replace('.hex', '.kml')})` } },
  { logs: ['typo.hex'], shot: 'en-failure', checks: ['no-route-panel'], seen: {
    status: 'Nothing was converted: line 2 of typo.hex has a wrong checksum.', tally: '1 error', said: '', ...NOTHING,
    'route-summary': 'No route: the program wrote no KML.' } },
  { language: 'pl', shot: 'pl-failure', seen: {
    status: 'Nic nie przekonwertowano: wiersz 2 pliku typo.hex ma złą sumę kontrolną.', tally: '1 błąd', ...NOTHING } },
  { width: 375, shot: 'pl-phone-failure', checks: ['fits'], seen: { tally: '1 błąd' } },
  { dark: true, shot: 'pl-dark-failure', checks: ['dark', 'no-route-panel'], seen: { tally: '1 błąd' } },
  { language: 'en', logs: ['dump.hex', 'eeprom.hex', 'empty.hex'], golden: 'sample',
    seen: { 'left-out': /left out: eeprom\.hex, empty\.hex/ } },
];

// Served over HTTP, the sample converts as from disk, and the page asks for nothing but
// its own files (checked once all is done).
const SERVED = [{ browser: ['en-GB', 'en'], logs: ['eeprom.hex'], golden: 'sample', seen: { status: 'Converted: 42 positions.' } }];

// What else a row may ask to hold, each seen in the page as it is: [holds, what is seen].
const CHECKS = {
  // The keyboard reaches the log's input from the top of the page.
  keyboard: async (page) => {
    for (let tab = 0; tab < 5; ++tab) {
      await page.keyboard.press('Tab');
      if (await page.evaluate(() => document.activeElement.id === 'log')) {
        return [true, ''];
      }
    }
    return [false, 'the log input is never focused'];
  },
  // Nothing runs off the screen sideways: no scroll, no text beyond its right edge.
  fits: (page) => page.evaluate(() => {
    const beyond = [...document.querySelectorAll('p, li, dd, dt, h1, h2, h3, .button')]
      .filter((element) => element.getBoundingClientRect().right > innerWidth + 0.5).map((element) => element.id || element.tagName);
    const wide = document.documentElement.scrollWidth;
    return [wide <= innerWidth && beyond.length === 0, `${wide} px wide in ${innerWidth}; beyond the edge: ${beyond}`];
  }),
  // On a phone the route comes right after the headline, on the first screen, before the
  // figures, messages and buttons; its markers are at least 8 px across.
  'route-first': (page) => page.evaluate(() => {
    const box = (selector) => document.querySelector(selector).getBoundingClientRect();
    const [said, route, figures] = [box('[role="status"]'), box('#route'), box('.figures')];
    const markers = ['.start', '.end'].map((marker) => box(`#route ${marker}`).width);
    return [route.top >= said.bottom && route.top < innerHeight && route.bottom <= figures.top &&
      markers.every((width) => width >= 8), `the route at ${route.top}-${route.bottom}, the headline ends at ` +
      `${said.bottom}, the figures at ${figures.top}, the screen ${innerHeight}; markers ${markers} px`];
  }),
  // The route is drawn true to its shape at its latitude (a degree of longitude the
  // cosine of one of latitude), the scale bar as long as its distance is there, and north
  // is up: the drawing's spans against the extent the summary gives (north and east here).
  scale: (page) => page.evaluate(() => {
    const summary = document.getElementById('route-summary').textContent;
    const [north, south, east, west] = ['north', 'south', 'east', 'west']
      .map((side) => Number(summary.match(new RegExp(`${side} ([\\d.]+)°`))[1]));
    const points = document.querySelector('#route .line').getAttribute('points').trim().split(/\s+/)
      .map((xy) => xy.split(',').map(Number));
    const span = (k) => Math.max(...points.map((xy) => xy[k])) - Math.min(...points.map((xy) => xy[k]));
    const unitsPerKm = span(1) / ((north - south) * 6371.0088 * Math.PI / 180);
    const shape = (span(0) / span(1)) / ((east - west) * Math.cos((north + south) / 2 * Math.PI / 180) / (north - south));
    const label = document.querySelector('#route .scale text').textContent;
    const km = Number(label.split(' ')[0]) / (label.endsWith(' km') ? 1 : 1000);
    const drawn = document.querySelector('#route .scale path').getBBox().width;
    const northUp = document.querySelector('#route .north text').textContent === 'N';
    return [Math.abs(shape - 1) < 0.01 && Math.abs(drawn / (km * unitsPerKm) - 1) < 0.01 && northUp &&
      /^(1|2|5)0*( k?m)$/.test(label), `the shape ${shape} of its own; the bar ${drawn} units for ${label}, ` +
      `the route ${unitsPerKm} units a km`];
  }),
  // Where no route is drawn, no empty panel stands for it: the line under it says why.
  'no-route-panel': (page) => page.evaluate(() => {
    const box = document.getElementById('route').getBoundingClientRect();
    return [box.height === 0 && document.getElementById('route-summary').textContent !== '', `a panel ${box.height} px high`];
  }),
  // The start is seen, where the walk ends too: it is what lies on top at its centre.
  markers: (page) => page.evaluate(() => {
    const start = document.querySelector('#route .start');
    const box = start && start.getBoundingClientRect();
    const top = box && document.elementFromPoint(box.x + box.width / 2, box.y + box.height / 2);
    return [top === start, `at the start lies ${top && top.getAttribute('class')}`];
  }),
  // Dark: a dark page, light text, and a route that stands out from its panel.
  dark: (page) => page.evaluate(() => {
    const rgb = (colour) => colour.match(/[\d.]+/g).slice(0, 3).map(Number);
    const luminance = (colour) => rgb(colour).map((c) => c / 255).map((c) => (c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4))
      .reduce((sum, c, k) => sum + c * [0.2126, 0.7152, 0.0722][k], 0);
    const contrast = (a, b) => (Math.max(luminance(a), luminance(b)) + 0.05) / (Math.min(luminance(a), luminance(b)) + 0.05);
    const paper = getComputedStyle(document.documentElement).backgroundColor;
    const ink = getComputedStyle(document.body).color;
    const line = document.querySelector('#route .line');
    const route = line ? contrast(getComputedStyle(line).stroke, getComputedStyle(document.getElementById('route')).backgroundColor) : 3;
    return [luminance(paper) < 0.05 && contrast(ink, paper) >= 7 && route >= 3,
      `paper ${paper}, ink ${ink}, the route's contrast ${route.toFixed(2)}`];
  }),
};

// What the program gives on the command line for a log under its own name.
function programRun(file) {
  const run = fs.mkdtempSync(path.join(work, 'run-'));
  fs.symlinkSync(file, path.join(run, path.basename(file)));
  const [command, args] = program.endsWith('.js') ? ['node', [program]] : [program, []];
  const done = spawnSync(command, [...args, path.basename(file), 'out.kml'], { cwd: run, maxBuffer: 1 << 26 });
  const kml = path.join(run, 'out.kml');
  return { status: done.status & 255, listing: done.stdout.length ? done.stdout : null, messages: done.stderr.toString(),
    kml: fs.existsSync(kml) ? fs.readFileSync(kml) : null };
}

// A page that records policy violations and errors from its first moment (a worker's
// failure is the page's: it heads the page), whose browser prefers `languages`, and whose
// downloads are kept for the test to read instead of saved.
async function openPage(browser, url, trouble, languages) {
  const page = await browser.newPage();
  page.on('console', (message) => message.type() === 'error' && trouble.push(`console: ${message.text()}`));
  page.on('pageerror', (error) => trouble.push(`page error: ${error.message}`));
  await page.evaluateOnNewDocument((preferred) => {
    Object.defineProperty(navigator, 'languages', { get: () => preferred });
    document.addEventListener('securitypolicyviolation',
      (event) => console.error(`policy violated: ${event.violatedDirective} ${event.blockedURI}`));
    const follow = HTMLAnchorElement.prototype.click;
    HTMLAnchorElement.prototype.click = function () {
      if (!this.hasAttribute('download')) {
        return follow.call(this);
      }
      window.kmlSaved = { href: this.href, name: this.download };
    };
  }, languages);
  await page.setViewport({ width: 1280, height: 800 });
  await page.goto(url);
  return page;
}

// The text of every element with an id as a user sees it ('' for one not rendered), the
// status's data, and the hidden elements that are rendered all the same.
async function look(page) {
  return page.evaluate(() => {
    const box = (element) => element.getBoundingClientRect();
    const rendered = (element) => getComputedStyle(element).display !== 'none' &&
      getComputedStyle(element).visibility !== 'hidden' && box(element).width > 0 && box(element).height > 0;
    const texts = Object.fromEntries([...document.querySelectorAll('[id]')]
      .map((element) => [element.id, rendered(element) ? element.textContent : '']));
    texts.said = [...document.querySelectorAll('#said li')].filter(rendered).map((item) => item.textContent);
    const link = document.getElementById('open-map');
    texts['open-map-link'] = { href: link.href, target: link.target, rel: link.rel };
    // The extent the route's summary gives, in English, where it gives one.
    const side = (name) => texts['route-summary'].match(new RegExp(`${name} ([\\d.]+)°\u00a0([NSEW])`));
    texts['route-extent'] = side('north') && Object.fromEntries(['north', 'south', 'east', 'west'].map((name) => {
      const [, value, letter] = side(name);
      return [name, Number(value) * (letter === 'S' || letter === 'W' ? -1 : 1)];
    }));
    texts.hiddenSeen = [...document.querySelectorAll('[hidden]')].filter((element) =>
      getComputedStyle(element).display !== 'none' || box(element).width > 0 || box(element).height > 0).map((e) => e.id);
    return { ...texts, data: { ...document.getElementById('status').dataset } };
  });
}

// What a save button saves when pressed, read back through the blob: URL the page hands
// the browser and hashed there: {name, sha256}, and of a GPX, whether it is one GPX 1.1
// track and the hash of its points written as the KML writes them; `whole`: its text too.
// Nulls where no button is seen.
async function download(page, id, whole = false) {
  await page.evaluate(() => { window.kmlSaved = null; });
  if ((await look(page))[id] !== '') {
    await page.click(`#${id}`);
  }
  const saved = await page.evaluate(async (gpx, whole) => {
    if (!window.kmlSaved) {
      return null;
    }
    const hash = async (bytes) => [...new Uint8Array(await crypto.subtle.digest('SHA-256', bytes))]
      .map((byte) => byte.toString(16).padStart(2, '0')).join('');
    const bytes = await (await fetch(window.kmlSaved.href)).arrayBuffer();
    const saved = { name: window.kmlSaved.name, sha256: await hash(bytes) };
    if (gpx) {
      const text = new TextDecoder().decode(bytes);
      const points = [...text.matchAll(/<trkpt lat="([^"]*)" lon="([^"]*)"\/>/g)].map(([, lat, lon]) => `${lon},${lat}`);
      Object.assign(saved, { points: points.length, pointsSha256: await hash(new TextEncoder().encode(points.join(' '))),
        track: /<gpx version="1\.1" creator="kml" xmlns="http:\/\/www\.topografix\.com\/GPX\/1\/1">/.test(text) &&
          text.split('<trk>').length === 2 && text.split('<trkseg>').length === 2, text: whole ? text : null });
    }
    return saved;
  }, id === 'download-gpx', whole);
  return saved || { name: null, sha256: null };
}

const sha256 = (bytes) => (bytes === null ? null : crypto.createHash('sha256').update(bytes).digest('hex'));

// The GPX saved beside the KML, where there is one: named after the log, a GPX 1.1 track
// whose points are the KML's, digit for digit; GDAL reads it as one track, once.
let gdalRead = false;
function checkGpx(gpx, kml, log, what) {
  if (kml === null) {
    check(gpx.name === null, `${what}: no GPX where there is no KML`);
    return;
  }
  const coordinates = kml.toString('utf8').split(/<\/?coordinates>/)[1].trim().split(/\s+/).filter(Boolean);
  check(gpx.name === log.replace(/\.[^.]*$/, '') + '.gpx' && gpx.track &&
    gpx.pointsSha256 === sha256(Buffer.from(coordinates.join(' '))),
  `${what}: the GPX ${gpx.name}: ${gpx.points} points, the KML's ${coordinates.length}`);
  if (gpx.text && coordinates.length > 1) {
    gdalRead = true;
    fs.writeFileSync(path.join(work, 'route.gpx'), gpx.text);
    const read = spawnSync('ogrinfo', ['-ro', '-al', '-so', path.join(work, 'route.gpx'), 'tracks'], { encoding: 'utf8' });
    check(/Layer name: tracks/.test(read.stdout) && /Feature Count: 1\b/.test(read.stdout), `${what}: GDAL reads the GPX as one track: ${read.stdout}${read.stderr}`);
  }
}

// A converting row's outcome against the program's, for the first log chosen.
async function compare(page, row, seen, language, what) {
  const expected = programRun(path.join(work, row.logs[0]));
  const readByGdal = !gdalRead && spawnSync('ogrinfo', ['--version']).status === 0;
  const [kml, gpx, listing] = [await download(page, 'download-kml'), await download(page, 'download-gpx', readByGdal),
    await download(page, 'download-listing')];
  const lines = expected.messages.split('\n').filter((line) => line !== '').length;
  check(seen.data.status === String(expected.status), `${what}: status ${seen.data.status}, the program's ${expected.status}`);
  // Each line the program wrote is told once: in the headline or in the list under it.
  check(Number(seen.data.errors) + Number(seen.data.warnings) === lines &&
    seen.said.length + Number(seen.data.headlined) === lines &&
    (Number(seen.data.errors) > 0) === (expected.status !== 0), `${what}: ${JSON.stringify(seen.data)} told, ` +
    `${seen.said.length} listed; the program wrote ${lines} lines`);
  check(new RegExp(`(exit status|wyjścia) ${expected.status}`).test(seen.meaning), `${what}: the status's meaning`);
  // A verdict or positions where a logger with no fix puts them head the page instead.
  const plain = expected.status === 0 && !/not look like a position log|while it has no fix/.test(expected.messages) &&
    LOGS[row.logs[0]].length > 0;
  check(expected.kml === null ? !/^(Converted|Gotowe|Przekonwertowano)/.test(seen.status) : language !== 'en' || !plain ||
    seen.status === `Converted: ${seen.positions} position${seen.positions === '1' ? '' : 's'}.`,
  `${what}: the headline says a KML was written exactly when one was: ${seen.status}`);
  check(expected.messages ? seen.messages === expected.messages && seen.quiet === '' : seen.messages === '' &&
    (language !== 'en' || seen.quiet === 'The program said nothing: no warnings, no problems.'),
  `${what}: the messages: ${seen.messages}${seen.quiet}`);
  // A way out to a real map where a route is drawn: to its area, in a tab of its own.
  const map = seen['open-map-link'];
  const [, zoom, lat, lon] = (map.href.match(/^https:\/\/www\.openstreetmap\.org\/\?mlat=[-\d.]+&mlon=[-\d.]+#map=(\d+)\/([-\d.]+)\/([-\d.]+)$/) || []);
  const extent = seen['route-extent'];
  check(seen['open-map'] === '' ? !extent : !extent ? language !== 'en' : map.target === '_blank' && map.rel === 'noopener' && Number(zoom) >= 1 &&
    Number(zoom) <= 18 && Number(lat) >= extent.south && Number(lat) <= extent.north && Number(lon) >= extent.west &&
    Number(lon) <= extent.east, `${what}: the map link ${map.href} for the extent ${JSON.stringify(extent)}`);
  check(listing.sha256 === sha256(expected.listing) && kml.sha256 === sha256(expected.kml),
    `${what}: the KML and listing are the program's`);
  check(!row.golden || (kml.sha256 === sha256(golden(`${row.golden}.kml`)) &&
    listing.sha256 === sha256(golden(`${row.golden}.out`)) && listing.name === row.logs[0].replace(/\.[^.]*$/, '') + '.txt'),
  `${what}: the golden KML and listing, the listing named after the log`);
  checkGpx(gpx, expected.kml, row.logs[0], what);
  check(!/NaN|Infinity|e[+-]\d/.test(seen['route-summary']), `${what}: the summary shows only numbers`);
}

async function accessible(page, what) {
  await page.evaluate(axeSource);
  const violations = await page.evaluate(async () => (await axe.run(document, {
    preload: false,  // it would fetch the style sheet, which the policy forbids
    runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa', 'best-practice'] },
  })).violations.map((violation) => `${violation.id} (${violation.nodes.length})`));
  check(violations.length === 0, `${what}: axe-core finds ${violations.join(', ')}`);
}

async function testEngine(engine, origin, rows) {
  const browser = await puppeteer.launch({
    browser: engine, executablePath: BROWSERS[engine], headless: true, protocolTimeout: 90000,
    userDataDir: fs.mkdtempSync(path.join(work, `${engine}-`)),
    args: engine === 'chrome' ? ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'] : [],
  });
  const trouble = [];
  const served = origin.startsWith('http') ? 'served-' : '';
  let page = null;
  let language = 'en';
  try {
    for (const [k, row] of rows.entries()) {
      const what = `${engine} ${served}row ${k + 1} (${[row.browser, row.query, row.language, row.logs].filter(Boolean)})`;
      if (row.browser) {
        await page?.close();
        page = await openPage(browser, `${origin}/index.html${row.query || ''}`, trouble, row.browser);
        language = await page.$eval('html', (html) => html.lang);
      }
      if (row.dark && engine !== 'chrome') {
        continue;
      }
      if (row.language) {
        await page.click(`[data-language="${row.language}"]`);
        language = row.language;
      }
      await page.setViewport({ width: row.width || 1280, height: 800 });
      if (row.dark) {
        await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
      }
      if (row.logs) {
        // Done when the page has painted the answer, or has said that the converter failed
        // (a headline that is a failure, and not the one shown before).
        const before = await page.$eval('body', (body) => {
          body.dataset.convertMs = '';
          return document.getElementById('status').textContent;
        });
        if (row.racing) {
          // Two logs dropped at once, one task apart: the first still converts when the
          // second is chosen. What the page then shows as the positions is kept.
          await page.evaluate((logs) => {
            const positions = document.getElementById('positions');
            window.kmlShown = [];
            new MutationObserver(() => window.kmlShown.push(positions.textContent))
              .observe(positions, { childList: true, characterData: true, subtree: true });
            for (const [name, base64] of logs) {
              const files = new DataTransfer();
              files.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], name));
              document.dispatchEvent(new DragEvent('drop', { dataTransfer: files, bubbles: true, cancelable: true }));
            }
          }, [row.racing, row.logs[0]].map((name) => [name, Buffer.from(LOGS[name]).toString('base64')]));
        } else {
          await (await page.$('#log')).uploadFile(...row.logs.map((name) => path.join(work, name)));
        }
        const answered = await page.waitForFunction((shown) => {
          const status = document.getElementById('status');
          return document.body.dataset.convertMs || (status.className === 'failure' && status.textContent !== shown &&
            !document.getElementById('download-listing').onclick);
        }, { timeout: 60000, polling: 100 }, before).then(() => true, () => false);
        check(answered, `${what}: no answer within a minute: ${await page.$eval('#status', (status) => status.textContent)}`);
        if (row.racing) {
          // The first log's answer, were it let come, would have come by now: it is never shown.
          await new Promise((waited) => setTimeout(waited, 2000));
          const shown = await page.evaluate(() => window.kmlShown);
          check(shown.every((text) => !/\d/.test(text) || text === row.seen.positions), `${what}: positions shown: ${shown}`);
        }
      }
      const seen = await look(page);
      check(seen.hiddenSeen.length === 0, `${what}: hidden yet seen: ${seen.hiddenSeen}`);
      if (row.logs || row.language) {
        await compare(page, rows.findLast((earlier, j) => j <= k && earlier.logs), seen, language, what);
      }
      for (const [id, want] of Object.entries(row.seen)) {
        const got = id === 'said' ? seen.said[0] || '' : seen[id];
        check(want instanceof RegExp ? want.test(got) : got === want, `${what}: #${id} shows ${JSON.stringify(got).slice(0, 200)}`);
      }
      // Seen from the top, as the page is after a choice (the buttons pressed above
      // scrolled to themselves), before axe-core scrolls it again.
      await page.evaluate(() => window.scrollTo({ top: 0, behavior: 'instant' }));
      for (const name of row.checks || []) {
        const [holds, seenThere] = await CHECKS[name](page);
        check(holds, `${what}: ${name}: ${seenThere}`);
      }
      if (row.shot) {
        await accessible(page, what);
        fs.mkdirSync(path.join(pageDir, '..', 'screenshots'), { recursive: true });
        await page.screenshot({ path: path.join(pageDir, '..', 'screenshots', `${engine}-${served}${row.shot}.png`), fullPage: true });
      }
      if (row.dark) {
        await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'light' }]);
      }
    }
    check(trouble.length === 0, `${engine} ${served}: no policy violation, no console error: ${trouble.join('; ')}`);
  } finally {
    // A browser that no longer answers is killed rather than waited for.
    await Promise.race([browser.close(), new Promise((waited) => setTimeout(waited, 15000))]);
    browser.process()?.kill('SIGKILL');
  }
}

// The page's files over HTTP on 127.0.0.1; each path asked for is kept in `asked`.
const asked = new Set();
const server = http.createServer((request, response) => {
  asked.add(request.url.split('?')[0]);
  const file = path.join(pageDir, path.normalize(decodeURIComponent(request.url.split('?')[0])));
  if (!file.startsWith(pageDir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
    return response.writeHead(404).end();
  }
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };
  response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
  response.end(fs.readFileSync(file));
});
await new Promise((listening) => server.listen(0, '127.0.0.1', listening));
try {
  for (const [name, bytes] of Object.entries(LOGS)) {
    fs.writeFileSync(path.join(work, name), bytes);
  }
  for (const engine of chosen) {
    for (const [origin, rows] of [[`file://${pageDir}`, ROWS], [`http://127.0.0.1:${server.address().port}`, SERVED]]) {
      // A browser that stops answering its driver (Firefox, now and then, on a machine
      // busy with a whole CI run) is said so, and its rows run once more in a fresh one;
      // every check that failed before it stopped stays failed.
      for (let attempt = 1; attempt <= 2; ++attempt) {
        try {
          await testEngine(engine, origin, rows);
          break;
        } catch (error) {
          const stopped = `${engine} ${origin}: the browser stopped answering: ${String(error.message).split('\n')[0]}`;
          console.log(attempt === 1 ? `${stopped}; its rows run once more` : `FAILED: ${stopped}`);
          failed += attempt === 1 ? 0 : 1;
        }
      }
    }
  }
  // Served, the page asks for its own files and nothing else (what the zip holds beside it aside).
  const own = fs.readdirSync(pageDir).filter((name) => !['LICENSE', 'README.txt', 'eeprom.hex'].includes(name))
    .map((name) => `/${name}`).sort();
  check(JSON.stringify([...asked].sort()) === JSON.stringify(own), `over HTTP: asked for ${[...asked]}, not ${own}`);
} finally {
  server.close();
  fs.rmSync(work, { recursive: true, force: true });
}
console.log(`page: ${passed} passed, ${failed} failed`);
process.exit(failed > 0 ? 1 : 0);
