// The page in real browsers, Debian's Chromium and Firefox ESR, driven by puppeteer-core:
// it opens the built page from disk and over HTTP, converts logs as a user would, and
// checks what it shows and offers against the golden files and the program itself, that
// its policy is never violated, that it asks for nothing but its own files, that axe-core
// finds nothing in either language, and that the route is in view.
//
//   node page_test.mjs PAGE_DIR GOLDEN_DIR PROGRAM [ENGINE...]
//
// PROGRAM is the command-line kml (or kml.js, run by Node) that the page must agree with;
// ENGINE is chrome or firefox (both by default). Exits 77 when a browser or the npm
// packages are missing.
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
const require = createRequire(import.meta.url);
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
const axeSource = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kml-page-'));
const golden = (name) => fs.readFileSync(path.join(goldenDir, name));
const sampleBytes = fs.readFileSync(path.join(goldenDir, '../../examples/eeprom.hex'));
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

function write(name, bytes) {
  const file = path.join(work, 'logs', name);
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, bytes);
  return file;
}

function logBytes(count, records, endMarker = false) {
  const view = new DataView(new ArrayBuffer(2 + 12 * records.length + (endMarker ? 4 : 0)));
  view.setUint16(0, count, true);
  records.forEach(([t, x, y], k) => {
    view.setInt32(2 + 12 * k, t, true);
    view.setFloat32(6 + 12 * k, x, true);
    view.setFloat32(10 + 12 * k, y, true);
  });
  if (endMarker) {
    view.setInt32(2 + 12 * records.length, -1, true);
  }
  return new Uint8Array(view.buffer);
}

// What the program gives on the command line for a log under its own name.
function programRun(file) {
  const run = fs.mkdtempSync(path.join(work, 'run-'));
  fs.symlinkSync(file, path.join(run, path.basename(file)));
  const command = program.endsWith('.js') ? ['node', [program]] : [program, []];
  const done = spawnSync(command[0], [...command[1], path.basename(file), 'out.kml'], { cwd: run, maxBuffer: 1 << 26 });
  const kml = path.join(run, 'out.kml');
  return {
    status: done.status & 255,
    listing: done.stdout,
    messages: done.stderr.toString(),
    route: fs.existsSync(kml) ? fs.readFileSync(kml) : null,
  };
}

async function startBrowser(engine) {
  const profile = fs.mkdtempSync(path.join(work, `${engine}-`));
  return puppeteer.launch({
    browser: engine,
    executablePath: BROWSERS[engine],
    headless: true,
    userDataDir: profile,
    args: engine === 'chrome' ? ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'] : [],
  });
}

// A page that records policy violations and console errors from its first moment, and
// whose browser prefers the languages given.
async function openPage(browser, url, languages = ['en-GB', 'en']) {
  const page = await browser.newPage();
  const trouble = [];
  page.on('console', (message) => message.type() === 'error' && trouble.push(`console: ${message.text()}`));
  page.on('pageerror', (error) => trouble.push(`page error: ${error.message}`));
  // A worker's own log, where Chromium reports a worker's policy violations (Firefox
  // reports them as the page's errors, and has no such log).
  page.on('workercreated', (worker) => {
    let client = null;
    try {
      client = worker.client;
    } catch {
      return;  // Firefox
    }
    client.on('Log.entryAdded', ({ entry }) => entry.level === 'error' && trouble.push(`worker: ${entry.text}`));
    client.send('Log.enable').catch(() => {});
  });
  await page.evaluateOnNewDocument((preferred) => {
    Object.defineProperty(navigator, 'languages', { get: () => preferred });
    document.addEventListener('securitypolicyviolation',
      (event) => console.error(`policy violated: ${event.violatedDirective} ${event.blockedURI}`));
    // A download the page starts is kept for the test to read, not saved to disk.
    const follow = HTMLAnchorElement.prototype.click;
    HTMLAnchorElement.prototype.click = function () {
      if (this.hasAttribute('download')) {
        window.kmlSaved = { href: this.href, name: this.download };
        return;
      }
      follow.call(this);
    };
  }, languages);
  await page.setViewport({ width: 1280, height: 800 });
  await page.goto(url);
  return { page, trouble };
}

// Whether the element is rendered at all, as a user would see it.
async function seen(page, id) {
  return page.$eval(`#${id}`, (element) => {
    const box = element.getBoundingClientRect();
    const style = getComputedStyle(element);
    return style.display !== 'none' && style.visibility !== 'hidden' && box.width > 0 && box.height > 0;
  });
}

// No element the page hides is rendered, whatever its style says of its kind.
async function hiddenNotSeen(page, what) {
  const seenHidden = await page.$$eval('[hidden]', (elements) => elements.filter((element) => {
    const box = element.getBoundingClientRect();
    return getComputedStyle(element).display !== 'none' || box.width > 0 || box.height > 0;
  }).map((element) => element.id || element.tagName));
  check(seenHidden.length === 0, `${what}: hidden yet seen: ${seenHidden.join(', ')}`);
}

// Before any log, nothing of a result is seen; after a log that gave nothing, nothing is
// offered to save.
async function nothingOffered(page, what, before = true) {
  await hiddenNotSeen(page, what);
  const ids = ['download-kml', 'download-listing', 'verdict', 'stopped'];
  for (const id of before ? ids.concat(['tally', 'said', 'meaning', 'left-out']) : ids) {
    check(!(await seen(page, id)), `${what}: #${id} is not seen`);
  }
}

// The page as it looks, for review: in the build folder, beside the page.
async function screenshot(page, name) {
  const folder = path.join(pageDir, '..', 'screenshots');
  fs.mkdirSync(folder, { recursive: true });
  await page.screenshot({ path: path.join(folder, `${name}.png`), fullPage: true });
}

// What a save button that is seen saves, pressed as a user would: {name, bytes}, read back
// through the blob: URL that the page hands the browser to download (the download itself
// is caught at that hand-over, see openPage).
async function download(page, id) {
  if (!(await seen(page, id))) {
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

// Chooses logs as a user would; returns what the page then shows and offers.
async function convert(page, ...files) {
  await page.$eval('body', (body) => { body.dataset.convertMs = ''; });
  await (await page.$('#log')).uploadFile(...files);
  await page.waitForFunction(() => document.body.dataset.convertMs ||
    document.getElementById('status').classList.contains('failure') && !document.getElementById('route').firstChild,
  { timeout: 60000, polling: 100 });
  const text = (id) => page.$eval(`#${id}`, (element) => element.textContent);
  const shown = async (id) => ((await seen(page, id)) ? text(id) : '');
  return {
    status: await page.$eval('#status', (element) => element.dataset.status),
    errors: await page.$eval('#status', (element) => element.dataset.errors),
    warnings: await page.$eval('#status', (element) => element.dataset.warnings),
    statusText: await text('status'),
    verdict: await shown('verdict'),
    stopped: await shown('stopped'),
    tally: await shown('tally'),
    said: (await seen(page, 'said')) ? await page.$$eval('#said li', (items) => items.map((item) => item.textContent)) : [],
    meaning: await shown('meaning'),
    chosen: await text('chosen'),
    leftOut: await shown('left-out'),
    count: await text('count'),
    positions: await text('positions'),
    messages: await text('messages'),
    shownListing: await text('listing'),
    summary: await text('route-summary'),
    ...await (async () => {
      const [kml, listing] = [await download(page, 'download-kml'), await download(page, 'download-listing')];
      return { kml: kml.bytes, kmlName: kml.name, listing: listing.bytes, listingName: listing.name };
    })(),
  };
}

function asTheProgramGives(result, file, what) {
  const expected = programRun(file);
  const lines = expected.messages.split('\n').filter((line) => line !== '').length;
  check(result.status === String(expected.status),
    `${what}: status ${result.status}, the program gives ${expected.status}`);
  check(Number(result.errors) + Number(result.warnings) === lines && result.said.length === lines &&
    (Number(result.errors) > 0) === (expected.status !== 0),
  `${what}: ${result.errors} errors and ${result.warnings} warnings told, the program wrote ${lines} lines`);
  check(result.meaning.includes(`exit status ${expected.status}`) || result.meaning.includes(`wyjścia ${expected.status}`),
    `${what}: what the status means, under the headline: ${result.meaning}`);
  check(expected.route === null ? !/^(Converted|Gotowe)/.test(result.statusText)
    : result.statusText === `Converted: ${result.positions} position${result.positions === '1' ? '' : 's'}.`,
  `${what}: the headline says a KML was written exactly when one was: ${result.statusText}`);
  check(result.messages === (expected.messages || 'Nothing: no warnings, no problems.'),
    `${what}: messages ${JSON.stringify(result.messages)}, the program gives ${JSON.stringify(expected.messages)}`);
  check(expected.listing.length === 0 ? result.listing === null : result.listing &&
    Buffer.compare(result.listing, expected.listing) === 0, `${what}: the listing is the program's`);
  check(expected.route === null ? result.kml === null : result.kml && Buffer.compare(result.kml, expected.route) === 0,
    `${what}: the KML is the program's`);
  check(!/NaN|Infinity|e[+-]\d/.test(result.summary), `${what}: the summary shows only numbers: ${result.summary}`);
}

async function accessible(page, what) {
  await page.evaluate(axeSource);
  const violations = await page.evaluate(async () => (await axe.run(document, {
    preload: false,  // it would fetch the style sheet, which the policy forbids
    runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa', 'best-practice'] },
  })).violations.map((violation) => `${violation.id} (${violation.nodes.length})`));
  check(violations.length === 0, `${what}: axe-core finds ${violations.join(', ')}`);
}

async function inView(page, ids) {
  return page.evaluate((wanted) => wanted.every((id) => {
    const box = document.getElementById(id).getBoundingClientRect();
    return box.top >= 0 && box.top < innerHeight - 40 && box.height > 0;
  }), ids);
}

async function testEngine(engine, logs) {
  const browser = await startBrowser(engine);
  try {
    const { page, trouble } = await openPage(browser, `file://${pageDir}/index.html`);
    check(await page.$eval('html', (html) => html.lang) === 'en', `${engine}: English for an English browser`);
    let reached = false;
    for (let k = 0; k < 5 && !reached; ++k) {
      await page.keyboard.press('Tab');
      reached = await page.evaluate(() => document.activeElement.id === 'log');
    }
    check(reached, `${engine}: the keyboard reaches the log input`);
    await nothingOffered(page, `${engine} before any log`);

    // The sample: the golden KML and listing, byte for byte, and the route in view.
    let result = await convert(page, logs.sample);
    check(result.kml && Buffer.compare(result.kml, golden('sample.kml')) === 0, `${engine} sample: the golden KML`);
    check(Buffer.compare(result.listing, golden('sample.out')) === 0, `${engine} sample: the golden listing`);
    check(result.shownListing === golden('sample.out').toString(), `${engine} sample: the listing panel shows it all`);
    check(result.status === '0' && result.warnings === '0' && result.count === '42 of 50' &&
      result.positions === '42' && result.statusText === 'Converted: 42 positions.' && result.tally === '',
    `${engine} sample: status 0, nothing said, 42 of 50 records, 42 positions: ${JSON.stringify(result)}`);
    check(result.stopped === 'The log\'s end marker came after 42 of 50 records.',
      `${engine} sample: says where the end marker stopped it: ${result.stopped}`);
    check(result.kmlName === 'eeprom.kml' && result.listingName === 'trasa.txt',
      `${engine} sample: the KML is saved as eeprom.kml, the listing as trasa.txt`);
    check(result.summary.startsWith('42 positions from the start') && result.summary.includes('km long') &&
      result.summary.includes('north 49.27003° N'),
      `${engine} sample: the extent and length: ${result.summary}`);
    check(await inView(page, ['status', 'route']), `${engine}: at 1280×800 the status and the route are in view`);
    await accessible(page, `${engine} English`);
    await screenshot(page, `${engine}-en-sample`);

    // Polish, switched to with the result kept; then a Polish browser, and ?lang=en.
    await page.click('[data-language="pl"]');
    check(await page.$eval('html', (html) => html.lang) === 'pl' &&
      (await page.$eval('#status', (element) => element.textContent)) === 'Gotowe: przekonwertowano 42 pozycje.' &&
      (await page.$eval('#stopped', (element) => element.textContent)) ===
        'Log kończy się znacznikiem końca po 42 z 50 rekordów.' &&
      (await page.$eval('#download-kml', (element) => element.textContent)) === 'Zapisz KML (eeprom.kml)' &&
      (await page.$eval('#positions', (element) => element.textContent)) === '42',
    `${engine}: the switch speaks Polish and keeps the result`);
    await accessible(page, `${engine} Polish`);
    await screenshot(page, `${engine}-pl-sample`);
    await page.setViewport({ width: 390, height: 800 });
    check(await page.evaluate(() => {
      const [result, route] = ['status', 'route'].map((id) => document.getElementById(id).getBoundingClientRect());
      return route.top > result.bottom && Math.abs(route.left - result.left) < 2;
    }), `${engine}: at 390 px, one column`);
    await page.close();
    const polish = await openPage(browser, `file://${pageDir}/index.html`, ['pl-PL', 'pl', 'en']);
    check(await polish.page.$eval('h2', (h2) => h2.textContent) === '1. Wybierz log',
      `${engine}: Polish for a Polish browser`);
    await nothingOffered(polish.page, `${engine} before any log, in Polish`);
    await polish.page.goto(`file://${pageDir}/index.html?lang=en`);
    check(await polish.page.$eval('h2', (h2) => h2.textContent) === '1. Choose a log',
      `${engine}: ?lang=en forces English`);
    trouble.push(...polish.trouble);
    await polish.page.close();

    const { page: p, trouble: more } = await openPage(browser, `file://${pageDir}/index.html`);
    trouble.push(...more);
    for (const [name, expect] of Object.entries(logs.cases)) {
      result = await convert(p, logs[name]);
      asTheProgramGives(result, logs[name], `${engine} ${name}`);
      await hiddenNotSeen(p, `${engine} ${name}`);
      expect(result, `${engine} ${name}`);
      if (name === 'typo') {
        await nothingOffered(p, `${engine} after a dump that cannot be trusted`, false);
        await screenshot(p, `${engine}-en-failure`);
        await p.click('[data-language="pl"]');
        await nothingOffered(p, `${engine} after a dump that cannot be trusted, in Polish`, false);
        const polish = await p.$eval('#status', (element) => element.textContent);
        check(polish === 'Nic nie przekonwertowano: wiersz 2 pliku typo.hex ma złą sumę kontrolną.' &&
          (await p.$eval('#tally', (element) => element.textContent)) === '1 błąd',
        `${engine} typo, in Polish: the cause in the headline, one error: ${polish}`);
        await screenshot(p, `${engine}-pl-failure`);
        await p.click('[data-language="en"]');
      }
      if (name === 'offEarth') {
        await p.click('[data-language="pl"]');
        const verdict = await p.$eval('#verdict', (element) => element.textContent);
        check(verdict.startsWith('To nie wygląda na log pozycji'), `${engine} off the Earth, in Polish: ${verdict}`);
        await p.click('[data-language="en"]');
      }
    }
    result = await convert(p, logs.dump, logs.sample, logs.empty);
    check(result.kml && Buffer.compare(result.kml, golden('sample.kml')) === 0 &&
      result.leftOut.includes('left out: eeprom.hex, empty.hex'),
    `${engine} several logs: the first converted, the rest named: ${result.leftOut}`);
    check(trouble.length === 0, `${engine}: no policy violation, no console error: ${trouble.join('; ')}`);
  } finally {
    await browser.close();
  }
}

// Served over HTTP, the page asks for its own files and nothing else.
async function testServed(engine, logs) {
  const asked = [];
  const server = http.createServer((request, response) => {
    asked.push(request.url);
    const file = path.join(pageDir, path.normalize(decodeURIComponent(request.url.split('?')[0])));
    if (!file.startsWith(pageDir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    response.end(fs.readFileSync(file));
  });
  await new Promise((listening) => server.listen(0, '127.0.0.1', listening));
  const browser = await startBrowser(engine);
  try {
    const { page, trouble } = await openPage(browser, `http://127.0.0.1:${server.address().port}/index.html`);
    const result = await convert(page, logs.sample);
    check(result.kml && Buffer.compare(result.kml, golden('sample.kml')) === 0, `${engine} over HTTP: the golden KML`);
    await new Promise((settled) => setTimeout(settled, 500));
    // Every file of the page, what the zip holds beside it aside.
    const own = fs.readdirSync(pageDir).filter((name) => !['LICENSE', 'README.txt', 'eeprom.hex'].includes(name))
      .map((name) => `/${name}`).sort();
    check(JSON.stringify([...new Set(asked)].sort()) === JSON.stringify(own),
      `${engine} over HTTP: asked for ${[...new Set(asked)].sort()}, the page's files are ${own}`);
    check(trouble.length === 0, `${engine} over HTTP: no policy violation, no console error: ${trouble.join('; ')}`);
  } finally {
    await browser.close();
    server.close();
  }
}

try {
  const full = [];
  for (let k = 0; k < 65535; ++k) {
    full.push([80000 + k, 4900 + (k % 5959) * 0.01, -1900 - (k % 4111) * 0.013]);
  }
  const logs = {
    sample: write('eeprom.hex', sampleBytes),
    dump: (() => {
      const dump = path.join(work, 'logs', 'dump.hex');
      execFileSync('objcopy', ['-I', 'binary', '-O', 'ihex', path.join(work, 'logs', 'eeprom.hex'), dump]);
      return dump;
    })(),
    empty: write('empty.hex', new Uint8Array(0)),
    // An earlier route chosen by mistake, or a log that happens to bear the KML's name.
    'trasa.kml': write('trasa.kml', sampleBytes),
    cut: write('tatry.hex', sampleBytes.subarray(0, 300)),
    notFinite: write('nan.hex', logBytes(2, [[1, NaN, 1905.5], [2, 5012.3456, 1905.1234]])),
    // Most positions beyond 90 degrees of latitude: finite, but no place on the Earth.
    offEarth: write('far.hex', logBytes(3, [[1, 12000, 1905], [2, 13000, 1905], [3, 5012, 1905]])),
    // Bytes of no log at all, a video chosen by mistake: the same every run.
    video: write('video.mp4', Buffer.concat(Array.from({ length: 400 },
      (_, k) => crypto.createHash('sha512').update(String(k)).digest()))),
    full: write('full.hex', logBytes(65535, full)),
    // A dump with a wrong checksum on its second line: nothing converted.
    typo: (() => {
      const dump = path.join(work, 'logs', 'typo.hex');
      execFileSync('objcopy', ['-I', 'binary', '-O', 'ihex', path.join(work, 'logs', 'eeprom.hex'), dump]);
      const lines = fs.readFileSync(dump, 'latin1').split('\n');
      lines[1] = lines[1].replace(/(..)(\r?)$/, (all, sum, cr) => (sum === '00' ? '01' : '00') + cr);
      fs.writeFileSync(dump, lines.join('\n'), 'latin1');
      return dump;
    })(),
    cases: {
      'trasa.kml': (result, what) => check(result.kml && Buffer.compare(result.kml, golden('sample.kml')) === 0 &&
        result.kmlName === 'trasa.kml', `${what}: converted as on the command line`),
      cut: (result, what) => check(result.status === '2' && result.tally === '1 error' &&
        result.said[0] === 'tatry.hex ends after 24 of 50 records, with no end marker.' && result.kmlName === 'tatry.kml',
      `${what}: status 2, its error told: ${result.said}`),
      notFinite: (result, what) => check(result.tally === '1 warning' && result.positions === '1' &&
        result.said[0].startsWith('1 record has coordinates that are not finite numbers'),
      `${what}: one warning, told: ${result.said}`),
      video: (result, what) => check(result.verdict.startsWith('This does not look like a position log'),
        `${what}: named as no position log under the headline: ${result.verdict}`),
      offEarth: (result, what) => check(result.verdict === 'This does not look like a position log: 2 of 3 records ' +
        'are no position on the Earth.' && result.positions === '3' && result.summary.startsWith('3 positions') &&
        result.tally === '1 warning', `${what}: named as no position log, one number of positions: ${result.verdict}`),
      empty: (result, what) => check(result.count === '0' && result.positions === '0' &&
        result.summary.includes('empty') && result.shownListing === 'Ilosc pozycji: 0\n',
      `${what}: count 0, nothing of the last log left`),
      full: (result, what) => check(result.positions === '65,535' && result.shownListing.split('\n').length === 1001,
        `${what}: 65,535 positions, the first 1,000 lines shown`),
      typo: (result, what) => check(result.status === '1' && result.kml === null && result.listing === null &&
        result.statusText === 'Nothing was converted: line 2 of typo.hex has a wrong checksum.' &&
        result.errors === '1' && result.warnings === '0' && result.tally === '1 error',
      `${what}: status 1, nothing offered, the cause in the headline, an error: ${result.statusText}`),
    },
  };
  for (const engine of chosen) {
    await testEngine(engine, logs);
    await testServed(engine, logs);
  }
} finally {
  fs.rmSync(work, { recursive: true, force: true });
}
console.log(`page: ${passed} passed, ${failed} failed`);
process.exit(failed > 0 ? 1 : 0);
