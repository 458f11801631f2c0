// Times the page on the largest log (65,535 records) in Debian's Chromium and Firefox ESR:
// from the choice of the log to the route drawn on screen and both downloads offered,
// five times each after a first run, with where the time went, as the page itself
// measures it (User Timing).
//
//   node bench/page_bench.mjs PAGE_DIR [RUNS]
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import vm from 'node:vm';
import puppeteer from 'puppeteer-core';

const pageDir = path.resolve(process.argv[2]);
const runs = Number(process.argv[3] || 5);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kml-bench-'));
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// A walk over a few degrees, as kml_bench converts (the page's log.js).
const log = path.join(work, 'full.hex');
const { walk } = vm.runInNewContext(`${fs.readFileSync(path.join(pageDir, 'log.js'), 'utf8')}; kmlLog`);
fs.writeFileSync(log, walk(65535));

try {
  for (const [engine, executablePath] of [['chrome', '/usr/bin/chromium'], ['firefox', '/usr/bin/firefox-esr']]) {
    const browser = await puppeteer.launch({
      browser: engine, executablePath, headless: true, userDataDir: fs.mkdtempSync(path.join(work, engine)),
      args: engine === 'chrome' ? ['--no-sandbox', '--disable-gpu', '--disable-background-networking'] : [],
    });
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 800 });
    await page.goto(`file://${pageDir}/index.html`);
    const figures = { total: [], program: [], output: [], listing: [] };
    for (let run = 0; run <= runs; ++run) {
      await new Promise((idle) => setTimeout(idle, 1000));  // as a user takes to choose
      await page.evaluate(() => { document.body.dataset.convertMs = ''; performance.clearMeasures(); });
      await (await page.$('#log')).uploadFile(log);
      await page.waitForFunction(() => document.body.dataset.convertMs, { timeout: 60000, polling: 'mutation' });
      const measured = await page.evaluate(() => Object.fromEntries(
        performance.getEntriesByType('measure').map((entry) => [entry.name, entry.duration])));
      if (run > 0) {
        figures.total.push(measured['kml: choice to route drawn']);
        figures.listing.push(measured['kml: choice to listing shown']);
        figures.program.push(measured['kml: the program ran']);
        figures.output.push(measured['kml: choice to output shown']);
      }
    }
    const version = await browser.version();
    await browser.close();
    const shown = (values) => `${median(values).toFixed(0).padStart(4)} ms`;
    console.log(`${version}: full log, median of ${runs}`);
    const each = figures.total.map((t) => t.toFixed(0)).join(', ');
    console.log(`  choice to route drawn and downloads offered, painted  ${shown(figures.total)}   (each: ${each})`);
    console.log(`    of which the program ran (in the worker readied ahead) ${shown(figures.program)}`);
    console.log(`    the outcome told and the route measured, at            ${shown(figures.output)}`);
    console.log(`  then the listing's first 1,000 lines painted, at         ${shown(figures.listing)}`);
  }
} finally {
  fs.rmSync(work, { recursive: true, force: true });
}
