// The page in real browsers, Debian's Chromium and Firefox ESR, driven by puppeteer-core.
// A table of logs, each chosen as a user would in one language, says what must be seen;
// every row is also compared with the program itself: the status, the errors and
// warnings told, and the KML and listing that the save buttons save, byte for byte.
// Around the table: the language choice, the keyboard, the layout, axe-core in both
// languages, no policy violation, and over HTTP, nothing asked for but the page's files.
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
  holds ? ++passed : ++failed;
  if (!holds) {
    console.log('FAILED:', what);
  }
}

// The logs, written to disk: a name and its bytes, or an objcopy dump of the sample.
function logFile(name, bytes) {
  const file = path.join(work, 'logs', name);
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, typeof bytes === 'function' ? bytes() : bytes);
  return file;
}
function logBytes(count, records) {
  const view = new DataView(new ArrayBuffer(2 + 12 * records.length));
  view.setUint16(0, count, true);
  records.forEach(([t, x, y], k) => {
    view.setInt32(2 + 12 * k, t, true);
    view.setFloat32(6 + 12 * k, x, true);
    view.setFloat32(10 + 12 * k, y, true);
  });
  return new Uint8Array(view.buffer);
}
const sample = golden('../../examples/eeprom.hex');
function intelHex() {
  execFileSync('objcopy', ['-I', 'binary', '-O', 'ihex', path.join(work, 'logs', 'eeprom.hex'), path.join(work, 'dump')]);
  return fs.readFileSync(path.join(work, 'dump'));
}
const LOGS = {
  'eeprom.hex': sample,
  'dump.hex': intelHex,
  'empty.hex': new Uint8Array(0),
  'trasa.kml': sample,  // a log that bears the KML's name
  'tatry.hex': sample.subarray(0, 300),
  'nan.hex': logBytes(2, [[1, NaN, 1905.5], [2, 5012.3456, 1905.1234]]),
  'far.hex': logBytes(3, [[1, 12000, 1905], [2, 13000, 1905], [3, 5012, 1905]]),
  // Bytes of no log at all, a video chosen by mistake: the same every run.
  'video.mp4': Buffer.concat(Array.from({ length: 400 }, (_, k) => crypto.createHash('sha512').update(String(k)).digest())),
  'full.hex': logBytes(65535, Array.from({ length: 65535 },
    (_, k) => [80000 + k, 4900 + (k % 5959) * 0.01, -1900 - (k % 4111) * 0.013])),
  // A wrong checksum on the second line: nothing converted.
  'typo.hex': () => intelHex().toString('latin1').split('\n')
    .map((line, k) => (k === 1 ? line.replace(/(..)(\r?)$/, (all, sum, cr) => (sum === '00' ? '01' : '00') + cr) : line))
    .join('\n'),
};

// What must be seen, row by row: the log, the language chosen before it, and the text of
// each element named (an element not seen has none; a RegExp must match). `golden` names
// the golden files the saved KML and listing must be; `shot` saves a screenshot.
const ROWS = [
  { log: 'eeprom.hex', language: 'en', golden: 'sample', shot: 'en-sample', seen: {
    status: 'Converted: 42 positions.', stopped: 'The log\'s end marker came after 42 of 50 records.',
    count: '42 of 50', positions: '42', tally: '', verdict: '', 'left-out': '',
    'download-kml': 'Save the KML (eeprom.kml)', 'route-summary': /^42 positions from the start.*km long.*north 49\.27003° N/ } },
  { log: 'eeprom.hex', language: 'pl', golden: 'sample', shot: 'pl-sample', seen: {
    status: 'Gotowe: przekonwertowano 42 pozycje.', stopped: 'Log kończy się znacznikiem końca po 42 z 50 rekordów.',
    'download-kml': 'Zapisz KML (eeprom.kml)', positions: '42' } },
  { log: 'dump.hex', language: 'en', golden: 'sample', seen: { status: 'Converted: 42 positions.' } },
  { log: 'trasa.kml', language: 'en', golden: 'sample', seen: { 'download-kml': 'Save the KML (trasa.kml)' } },
  { log: 'tatry.hex', language: 'en', seen: { tally: '1 error', said: 'tatry.hex ends after 24 of 50 records, with no end marker.',
    'download-kml': 'Save the KML (tatry.kml)' } },
  { log: 'nan.hex', language: 'en', seen: { tally: '1 warning', positions: '1',
    said: /^1 record has coordinates that are not finite numbers/ } },
  { log: 'far.hex', language: 'en', seen: { tally: '1 warning', positions: '3', 'route-summary': /^3 positions/,
    verdict: 'This does not look like a position log: 2 of 3 records are no position on the Earth.' } },
  { log: 'far.hex', language: 'pl', seen: { verdict: /^To nie wygląda na log pozycji/ } },
  { log: 'video.mp4', language: 'en', seen: { verdict: /^This does not look like a position log/ } },
  { log: 'empty.hex', language: 'en', seen: { count: '0', positions: '0', 'route-summary': /empty/,
    listing: 'Ilosc pozycji: 0\n' } },
  { log: 'full.hex', language: 'en', seen: { positions: '65,535', listing: /^(.*\n){1000}[^\n]*$/ } },
  { log: 'typo.hex', language: 'en', shot: 'en-failure', seen: {
    status: 'Nothing was converted: line 2 of typo.hex has a wrong checksum.', tally: '1 error',
    'download-kml': '', 'download-listing': '', verdict: '', stopped: '' } },
  { log: 'typo.hex', language: 'pl', shot: 'pl-failure', seen: {
    status: 'Nic nie przekonwertowano: wiersz 2 pliku typo.hex ma złą sumę kontrolną.', tally: '1 błąd',
    'download-kml': '', 'download-listing': '' } },
];

// What the program gives on the command line for a log under its own name.
function programRun(file) {
  const run = fs.mkdtempSync(path.join(work, 'run-'));
  fs.symlinkSync(file, path.join(run, path.basename(file)));
  const [command, args] = program.endsWith('.js') ? ['node', [program]] : [program, []];
  const done = spawnSync(command, [...args, path.basename(file), 'out.kml'], { cwd: run, maxBuffer: 1 << 26 });
  const kml = path.join(run, 'out.kml');
  return { status: done.status & 255, listing: done.stdout, messages: done.stderr.toString(),
    kml: fs.existsSync(kml) ? fs.readFileSync(kml) : null };
}

async function startBrowser(engine) {
  return puppeteer.launch({
    browser: engine, executablePath: BROWSERS[engine], headless: true,
    userDataDir: fs.mkdtempSync(path.join(work, `${engine}-`)),
    args: engine === 'chrome' ? ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'] : [],
  });
}

// A page that records policy violations and errors from its first moment (a worker's too,
// which Chromium logs apart), whose browser prefers `languages`, and whose downloads are
// kept for the test to read instead of saved.
async function openPage(browser, url, trouble, languages = ['en-GB', 'en']) {
  const page = await browser.newPage();
  page.on('console', (message) => message.type() === 'error' && trouble.push(`console: ${message.text()}`));
  page.on('pageerror', (error) => trouble.push(`page error: ${error.message}`));
  page.on('workercreated', (worker) => {
    try {
      worker.client.on('Log.entryAdded', ({ entry }) => entry.level === 'error' && trouble.push(`worker: ${entry.text}`));
      worker.client.send('Log.enable').catch(() => {});
    } catch { /* Firefox reports a worker's errors as the page's */ }
  });
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

// The text of each element as a user sees it: '' for one not rendered; and the ids of
// hidden elements that are rendered all the same.
const SEEN = ['status', 'verdict', 'stopped', 'tally', 'said', 'meaning', 'left-out', 'count', 'positions', 'messages',
  'listing', 'route-summary', 'download-kml', 'download-listing', 'chosen'];
async function look(page) {
  return page.evaluate((ids) => {
    const box = (element) => element.getBoundingClientRect();
    const rendered = (element) => getComputedStyle(element).display !== 'none' &&
      getComputedStyle(element).visibility !== 'hidden' && box(element).width > 0 && box(element).height > 0;
    const texts = Object.fromEntries(ids.map((id) => [id, rendered(document.getElementById(id))
      ? document.getElementById(id).textContent : '']));
    texts.said = [...document.querySelectorAll('#said li')].filter(rendered).map((item) => item.textContent);
    texts.hiddenSeen = [...document.querySelectorAll('[hidden]')].filter((element) =>
      getComputedStyle(element).display !== 'none' || box(element).width > 0 || box(element).height > 0).map((e) => e.id);
    texts.data = { ...document.getElementById('status').dataset };
    return texts;
  }, SEEN);
}

// What a save button saves when pressed, read back through the blob: URL the page hands
// the browser: {name, bytes}, or nulls where no button is seen.
async function download(page, id) {
  if ((await look(page))[id] === '') {
    return { name: null, bytes: null };
  }
  await page.evaluate(() => { window.kmlSaved = null; });
  await page.click(`#${id}`);
  const saved = await page.evaluate(async () => {
    if (!window.kmlSaved) {
      return null;
    }
    const bytes = new Uint8Array(await (await fetch(window.kmlSaved.href)).arrayBuffer());
    let text = '';
    for (let at = 0; at < bytes.length; at += 32768) {
      text += String.fromCharCode(...bytes.subarray(at, at + 32768));
    }
    return { name: window.kmlSaved.name, base64: btoa(text) };
  });
  return saved ? { name: saved.name, bytes: Buffer.from(saved.base64, 'base64') } : { name: null, bytes: null };
}

// Chooses logs as a user would, in `language`; returns what is then seen and saved.
async function convert(page, language, ...files) {
  await page.click(`[data-language="${language}"]`);
  await page.$eval('body', (body) => { body.dataset.convertMs = ''; });
  await (await page.$('#log')).uploadFile(...files);
  await page.waitForFunction(() => document.body.dataset.convertMs ||
    document.getElementById('status').classList.contains('failure') && !document.getElementById('route').firstChild,
  { timeout: 60000, polling: 100 });
  const seen = await look(page);
  return { ...seen, savedKml: await download(page, 'download-kml'), savedListing: await download(page, 'download-listing') };
}

// The one comparator: a row's outcome against the program's, and against what it must see.
function compare(row, result, what) {
  const expected = programRun(path.join(work, 'logs', row.log));
  const lines = expected.messages.split('\n').filter((line) => line !== '').length;
  const same = (got, want) => (want === null ? got === null : got !== null && Buffer.compare(got, want) === 0);
  check(result.data.status === String(expected.status), `${what}: status ${result.data.status}, the program ${expected.status}`);
  check(Number(result.data.errors) + Number(result.data.warnings) === lines && result.said.length === lines &&
    (Number(result.data.errors) > 0) === (expected.status !== 0), `${what}: ${JSON.stringify(result.data)} told, ` +
    `the program wrote ${lines} lines`);
  check(new RegExp(`(exit status|wyjścia) ${expected.status}`).test(result.meaning), `${what}: the status's meaning`);
  const plural = result.positions === '1' ? '' : 's';
  check(expected.kml === null ? !/^(Converted|Gotowe)/.test(result.status) : row.language !== 'en' ||
    result.status === `Converted: ${result.positions} position${plural}.`,
  `${what}: the headline says a KML was written exactly when one was: ${result.status}`);
  check(expected.messages ? result.messages === expected.messages
    : result.messages === { en: 'Nothing: no warnings, no problems.', pl: result.messages }[row.language] && !/kml:/.test(result.messages),
  `${what}: the program's own messages: ${JSON.stringify(result.messages)}`);
  check(same(result.savedListing.bytes, expected.listing.length ? expected.listing : null), `${what}: the listing is the program's`);
  check(same(result.savedKml.bytes, expected.kml), `${what}: the KML is the program's`);
  if (row.golden) {
    check(same(result.savedKml.bytes, golden(`${row.golden}.kml`)) && same(result.savedListing.bytes, golden(`${row.golden}.out`)) &&
      result.savedListing.name === 'trasa.txt', `${what}: the golden KML and listing, the listing saved as trasa.txt`);
  }
  check(!/NaN|Infinity|e[+-]\d/.test(result['route-summary']), `${what}: the summary shows only numbers`);
  check(result.hiddenSeen.length === 0, `${what}: hidden yet seen: ${result.hiddenSeen}`);
  for (const [id, want] of Object.entries(row.seen)) {
    const got = id === 'said' ? result.said[0] || '' : result[id];
    check(want instanceof RegExp ? want.test(got) : got === want, `${what}: #${id} shows ${JSON.stringify(got).slice(0, 200)}, not ${want}`);
  }
}

async function accessible(page, what) {
  await page.evaluate(axeSource);
  const violations = await page.evaluate(async () => (await axe.run(document, {
    preload: false,  // it would fetch the style sheet, which the policy forbids
    runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa', 'best-practice'] },
  })).violations.map((violation) => `${violation.id} (${violation.nodes.length})`));
  check(violations.length === 0, `${what}: axe-core finds ${violations.join(', ')}`);
}

async function screenshot(page, name) {
  const folder = path.join(pageDir, '..', 'screenshots');
  fs.mkdirSync(folder, { recursive: true });
  await page.screenshot({ path: path.join(folder, `${name}.png`), fullPage: true });
}

async function testEngine(engine, files, origin) {
  const browser = await startBrowser(engine);
  const trouble = [];
  const index = `${origin}/index.html`;
  const served = origin.startsWith('http');
  try {
    // Before any log, in a Polish browser, and ?lang=en: nothing of a result is seen.
    const polish = await openPage(browser, index, trouble, ['pl-PL', 'pl', 'en']);
    check(await polish.$eval('h2', (h2) => h2.textContent) === '1. Wybierz log', `${engine}: Polish for a Polish browser`);
    for (const url of [index, `${index}?lang=en`]) {
      await polish.goto(url);
      const before = await look(polish);
      check(['verdict', 'stopped', 'tally', 'meaning', 'left-out', 'download-kml', 'download-listing']
        .every((id) => before[id] === '') && before.said.length === 0 && before.hiddenSeen.length === 0,
      `${engine} ${url}: nothing of a result is seen before any log`);
    }
    check(await polish.$eval('h2', (h2) => h2.textContent) === '1. Choose a log', `${engine}: ?lang=en forces English`);
    await polish.close();

    const page = await openPage(browser, index, trouble);
    check(await page.$eval('html', (html) => html.lang) === 'en', `${engine}: English for an English browser`);
    let reached = false;
    for (let k = 0; k < 5 && !reached; ++k) {
      await page.keyboard.press('Tab');
      reached = await page.evaluate(() => document.activeElement.id === 'log');
    }
    check(reached, `${engine}: the keyboard reaches the log input`);
    for (const row of ROWS) {
      const what = `${engine}${served ? ' served' : ''} ${row.log} (${row.language})`;
      compare(row, await convert(page, row.language, files[row.log]), what);
      if (row.shot) {
        await accessible(page, what);
        await screenshot(page, `${engine}-${served ? 'served-' : ''}${row.shot}`);
      }
    }
    // The switch keeps the result; the layout at 1280 and at 390 px.
    await convert(page, 'en', files['eeprom.hex']);
    await page.click('[data-language="pl"]');
    check((await look(page)).status === 'Gotowe: przekonwertowano 42 pozycje.', `${engine}: the switch keeps the result`);
    check(await page.evaluate(() => ['status', 'route'].every((id) => {
      const box = document.getElementById(id).getBoundingClientRect();
      return box.top >= 0 && box.top < innerHeight - 40 && box.height > 0;
    })), `${engine}: at 1280×800 the status and the route are in view`);
    await page.setViewport({ width: 390, height: 800 });
    check(await page.evaluate(() => {
      const [result, route] = ['status', 'route'].map((id) => document.getElementById(id).getBoundingClientRect());
      return route.top > result.bottom && Math.abs(route.left - result.left) < 2;
    }), `${engine}: at 390 px, one column`);
    await page.setViewport({ width: 1280, height: 800 });
    const several = await convert(page, 'en', files['dump.hex'], files['eeprom.hex'], files['empty.hex']);
    check(several.savedKml.bytes && Buffer.compare(several.savedKml.bytes, golden('sample.kml')) === 0 &&
      several['left-out'].includes('left out: eeprom.hex, empty.hex'), `${engine}: of several logs, the first converted`);
    check(trouble.length === 0, `${engine}: no policy violation, no console error: ${trouble.join('; ')}`);
  } finally {
    await browser.close();
  }
}

// The page's files over HTTP on 127.0.0.1, each file asked for kept in `asked`.
async function serve(asked) {
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
  return server;
}

const asked = new Set();
const server = await serve(asked);
try {
  const files = {};
  for (const [name, bytes] of Object.entries(LOGS)) {
    files[name] = logFile(name, bytes);
  }
  for (const engine of chosen) {
    for (const origin of [`file://${pageDir}`, `http://127.0.0.1:${server.address().port}`]) {
      await testEngine(engine, files, origin);
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
