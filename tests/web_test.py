#!/usr/bin/python3
"""The page in a real browser: headless Chromium, driven by Selenium, opens the built page
from disk, converts logs as a user would, and checks what it shows and offers against the
golden files and against the same program run by Node.

    web_test.py PAGE_DIR GOLDEN_DIR NODE_PROGRAM OUT_DIR

Writes OUT_DIR/page.png (the sample's route) and page-phone.png (the same at phone width),
and prints the time a full log takes from choosing it to the route drawn, and the page's size.
"""
import base64
import json
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    webdriver = None

PAGE_DIR, GOLDEN_DIR, NODE_PROGRAM, OUT_DIR = (os.path.abspath(arg) for arg in sys.argv[1:5])
failures = []


def check(holds, what):
    if not holds:
        failures.append(what)
        print('FAILED:', what)


def log_bytes(count, records, end_marker=False):
    data = struct.pack('<H', count)
    for t, x, y in records:
        data += struct.pack('<iff', t, x, y)
    return data + (b'\xff' * 4 if end_marker else b'')


def write(name, data):
    path = os.path.join(OUT_DIR, 'logs', name)
    with open(path, 'wb') as f:
        f.write(data)
    return path


def node_run(path):
    """What the program gives for a log on the command line, run by Node."""
    with tempfile.TemporaryDirectory() as run:
        os.symlink(path, os.path.join(run, os.path.basename(path)))
        done = subprocess.run(['node', NODE_PROGRAM, os.path.basename(path), 'trasa.kml'], cwd=run,
                              capture_output=True, check=False)
        kml = os.path.join(run, 'trasa.kml')
        route = open(kml, 'rb').read() if os.path.exists(kml) else None
        return done.returncode, done.stdout, done.stderr.decode(), route


def start_browser(profile):
    options = Options()
    options.binary_location = '/usr/bin/chromium'
    for flag in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                 '--disable-background-networking', '--disable-component-update', '--disable-sync',
                 '--no-first-run', '--disable-default-apps', '--window-size=1280,1700',
                 '--user-data-dir=' + profile):
        options.add_argument(flag)
    options.set_capability('goog:loggingPrefs', {'performance': 'ALL', 'browser': 'ALL'})
    return webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)


def convert(driver, path, timeout=60):
    """Chooses the log as a user would; returns the result once the page has shown it."""
    driver.execute_script('document.body.dataset.convertMs = ""; document.getElementById("status").className = ""')
    chosen = time.monotonic()
    driver.find_element(By.ID, 'log').send_keys(path)
    WebDriverWait(driver, timeout, poll_frequency=0.02).until(
        lambda d: d.execute_script('return document.body.dataset.convertMs') or
        d.find_element(By.ID, 'status').get_attribute('class') == 'failure')
    shown = time.monotonic()
    text = lambda id: driver.find_element(By.ID, id).text
    link = lambda id: driver.find_element(By.ID, id)
    return {
        'wall_ms': (shown - chosen) * 1000,
        'ms': int(driver.execute_script('return document.body.dataset.convertMs') or -1),
        'status': driver.find_element(By.ID, 'status').get_attribute('data-status'),
        'status_text': text('status'),
        'count': text('count'),
        'positions': text('positions'),
        'messages': driver.find_element(By.ID, 'messages').get_attribute('textContent'),
        'listing_shown': driver.find_element(By.ID, 'listing').get_attribute('textContent'),
        'summary': text('route-summary'),
        'lines': driver.execute_script(
            "const l = document.querySelector('#route polyline'); return l ? l.points.numberOfItems : 0"),
        'kml': download(driver, link('download-kml')),
        'kml_name': link('download-kml').get_attribute('download'),
        'listing': download(driver, link('download-listing')),
    }


def download(driver, link):
    """The bytes behind a download link, read back through its blob: URL."""
    href = link.get_attribute('href')
    if not href or link.get_attribute('hidden') is not None:
        return None
    check(href.startswith('blob:'), 'a download link is a blob: URL')
    encoded = driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "fetch(arguments[0]).then(r => r.arrayBuffer()).then(b => {"
        "  let s = ''; const u = new Uint8Array(b);"
        "  for (let i = 0; i < u.length; i += 32768) s += String.fromCharCode(...u.subarray(i, i + 32768));"
        "  done(btoa(s)); });", href)
    return base64.b64decode(encoded)


def as_the_program_gives(result, path, what):
    status, listing, messages, route = node_run(path)
    check(result['status'] == str(status & 255), f'{what}: status {result["status"]}, the program gives {status}')
    check(result['messages'].strip() == messages.strip() or (not messages and 'Nothing' in result['messages']),
          f'{what}: messages {result["messages"]!r}, the program gives {messages!r}')
    check(result['listing'] == listing, f'{what}: the listing differs from the program\'s')
    check(result['kml'] == route, f'{what}: the KML differs from the program\'s')


def main():
    missing = [tool for tool in ('/usr/bin/chromium', '/usr/bin/chromedriver') if not os.path.exists(tool)]
    missing += ['selenium'] * (webdriver is None) + ['node'] * (not shutil.which('node'))
    if missing:
        print('skipped: needs', ', '.join(missing))
        return 77
    os.makedirs(os.path.join(OUT_DIR, 'logs'), exist_ok=True)
    golden = lambda name: open(os.path.join(GOLDEN_DIR, name), 'rb').read()
    sample = write('eeprom.hex', golden('../../examples/eeprom.hex'))
    profile = tempfile.mkdtemp(prefix='kml-chromium-')
    driver = start_browser(profile)
    try:
        driver.get('file://' + os.path.join(PAGE_DIR, 'index.html'))
        check(driver.find_element(By.ID, 'log').is_enabled(), 'the page is ready for a log')
        ActionChains(driver).send_keys(Keys.TAB).perform()
        check(driver.switch_to.active_element.get_attribute('id') == 'log', 'the keyboard reaches the log first')

        # The sample: the golden KML and listing, byte for byte.
        result = convert(driver, sample)
        check(result['kml'] == golden('sample.kml'), 'sample: the KML is the golden one')
        check(result['listing'] == golden('sample.out'), 'sample: the listing is the golden one')
        check(result['listing_shown'] == golden('sample.out').decode(), 'sample: the listing panel shows it all')
        check(result['status'] == '0' and result['count'] == '50' and result['positions'] == '42',
              f'sample: status 0, count 50, 42 positions (got {result["status"]}, {result["count"]}, '
              f'{result["positions"]})')
        check(result['lines'] == 42, 'sample: the drawn line has 42 points')
        check(result['kml_name'] == 'eeprom.kml', 'sample: the KML is offered as eeprom.kml')
        check(' km along the line' in result['summary'] and 'north 49.27' in result['summary'],
              'sample: the extent and length are given: ' + result['summary'])
        driver.save_screenshot(os.path.join(OUT_DIR, 'page.png'))
        driver.set_window_size(390, 1700)
        driver.save_screenshot(os.path.join(OUT_DIR, 'page-phone.png'))
        driver.set_window_size(1280, 1700)

        # A log cut off inside a record.
        cut = write('tatry.hex', golden('../../examples/eeprom.hex')[:300])
        result = convert(driver, cut)
        check(result['status'] == '2', 'cut: status 2')
        check('kml: tatry.hex: log ends after 24 of 50 records, with no end marker' in result['messages'],
              'cut: the program\'s message: ' + result['messages'])
        check(result['kml_name'] == 'tatry.kml', 'cut: the KML is offered as tatry.kml')
        as_the_program_gives(result, cut, 'cut')

        # Coordinates that are not finite.
        nan = write('nan.hex', log_bytes(2, [(1, math.nan, 1905.5), (2, 5012.3456, 1905.1234)]))
        result = convert(driver, nan)
        check('kml: nan.hex: 1 position(s) left out of the route, coordinates not finite (first at POS 0)'
              in result['messages'], 'not finite: the warning: ' + result['messages'])
        as_the_program_gives(result, nan, 'not finite')

        # An empty file replaces everything the last log showed.
        empty = write('empty.hex', b'')
        result = convert(driver, empty)
        check(result['count'] == '0' and result['positions'] == '0' and result['lines'] == 0,
              'empty: count 0, no positions')
        check('empty' in result['summary'], 'empty: the route says it is empty')
        check('not finite' not in result['messages'] and result['listing_shown'] == 'Ilosc pozycji: 0\n',
              'empty: nothing of the last log is left')
        as_the_program_gives(result, empty, 'empty')

        # The sample as Intel HEX, as a programmer saves it.
        dump = write('dump.hex', subprocess.run(['objcopy', '-I', 'binary', '-O', 'ihex', sample, '/dev/stdout'],
                                                capture_output=True, check=True).stdout)
        result = convert(driver, dump)
        check(result['kml'] == golden('sample.kml'), 'Intel HEX: the golden KML')

        # 100 MB of random bytes, a video chosen by mistake: the program's answer, and the
        # page answers while it works.
        video = os.path.join(OUT_DIR, 'logs', 'video.mp4')
        with open(video, 'wb') as f:
            f.write(random.Random(7).randbytes(100 << 20))
        driver.execute_script('document.body.dataset.convertMs = ""')
        driver.find_element(By.ID, 'log').send_keys(video)
        started = time.monotonic()
        answer = driver.execute_script('return 6 * 7')
        check(answer == 42 and time.monotonic() - started < 2, 'video: the page responds while converting')
        result = convert(driver, video)
        as_the_program_gives(result, video, 'video')
        os.remove(video)

        # The largest log: the time from choosing it to the route drawn.
        records = [(80000 + k, 4900 + (k % 5959) * 0.01, -1900 - (k % 4111) * 0.013) for k in range(65535)]
        full = write('full.hex', log_bytes(65535, records))
        times = []
        for _ in range(3):
            result = convert(driver, full)
            times.append((result['wall_ms'], result['ms']))
            check(result['positions'] == '65,535', 'full: 65,535 positions')
        check(result['listing_shown'].count('\n') == 1000, 'full: the panel shows the first 1,000 lines')
        as_the_program_gives(result, full, 'full')
        check(driver.execute_script('return 6 * 7') == 42, 'full: the page still responds')

        # Nothing was requested but the page's own files.
        # (Chromium's own pages, such as the new tab it starts with, are not the page's.)
        requests = [json.loads(entry['message'])['message'] for entry in driver.get_log('performance')]
        own = ('file://' + PAGE_DIR + '/', 'blob:', 'data:')
        urls = {m['params']['request']['url'] for m in requests if m['method'] == 'Network.requestWillBeSent' and
                m['params'].get('documentURL', '').startswith(own)}
        check(any(u.endswith('/kml-web.js') for u in urls), 'the performance log shows the page\'s requests')
        foreign = [u for u in urls if not u.startswith(own)]
        check(not foreign, f'only the page\'s own files were requested, not {foreign}')
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)

    size = sum(os.path.getsize(os.path.join(PAGE_DIR, f)) for f in os.listdir(PAGE_DIR))
    print('full log (65,535 records), from the choice to the route drawn, three times: ' +
          ', '.join(f'{wall:.0f} ms (the page counts {page} ms)' for wall, page in times))
    print(f'page size: {size} bytes in {len(os.listdir(PAGE_DIR))} files')
    print(f'screenshots: {OUT_DIR}/page.png, {OUT_DIR}/page-phone.png')
    print(f'{len(failures)} check(s) failed' if failures else 'every check held')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
