// The page: hands the chosen log to the program, run in a Web Worker of its own, and shows
// what it gave: the status and any warnings, the program's messages, the route drawn, the
// listing, and the KML and listing to save; in Polish or English (words.js).
'use strict';

(function () {
  const LISTING_SHOWN = 1000;  // lines; the whole listing is offered as trasa.txt
  const WIDTH = 1000;  // the route's drawing, in its own units (the SVG's viewBox)
  const HEIGHT = 600;
  const MARGIN = 30;

  const $ = (id) => document.getElementById(id);
  const SVG = 'http://www.w3.org/2000/svg';
  let language = 'en';
  let words = WORDS.en;
  let workerSource = null;  // a blob: URL of the worker's source, made once
  let spare = null;         // a worker started ahead, its program ready for the next log
  let worker = null;        // the worker converting a log now
  let urls = [];            // the downloads of the log shown
  // What the page shows, kept so that a change of language can show it again:
  // {name, size, leftOut, result, points, drawn}, or {failure}.
  let shown = null;

  const number = (value, decimals = 0) =>
    value.toLocaleString(language, { minimumFractionDigits: decimals, maximumFractionDigits: decimals });

  // The language the reader asked for (?lang=pl), else the browser's first choice.
  function chosenLanguage() {
    const asked = new URLSearchParams(location.search).get('lang');
    if (Object.prototype.hasOwnProperty.call(WORDS, asked)) {
      return asked;
    }
    const first = (navigator.languages && navigator.languages[0]) || navigator.language || 'en';
    return first.toLowerCase().startsWith('pl') ? 'pl' : 'en';
  }

  function setLanguage(chosen) {
    language = chosen;
    words = WORDS[chosen];
    document.documentElement.lang = chosen;
    document.title = words.title;
    for (const element of document.querySelectorAll('[data-word]')) {
      element.textContent = words[element.dataset.word];
    }
    for (const element of document.querySelectorAll('[data-word-label]')) {
      element.setAttribute('aria-label', words[element.dataset.wordLabel]);
    }
    for (const button of document.querySelectorAll('[data-language]')) {
      button.setAttribute('aria-pressed', String(button.dataset.language === chosen));
    }
    render();
  }

  // Workers are made from the source of kmlProgram() and kmlWorker() (kml-web.js,
  // worker.js): a page opened from file:// cannot load a worker by URL. The program finds
  // no fetch in its scope, so it decodes its own WebAssembly rather than fetch a data: URL.
  function startWorker() {
    if (!workerSource) {
      const source = `const createKml = (function (fetch) { return (${kmlProgram})(); })(undefined);\n` +
        `(${kmlWorker})(createKml);\n`;
      workerSource = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
    }
    return new Worker(workerSource);
  }

  function offer(id, bytes, type, name) {
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    urls.push(url);
    $(id).href = url;
    $(id).download = name;
    $(id).hidden = false;
  }

  // `tatry.hex` gives `tatry.kml`; a name with no extension gains one.
  function kmlName(logName) {
    const dot = logName.lastIndexOf('.');
    return (dot > 0 ? logName.slice(0, dot) : logName) + '.kml';
  }

  function radians(degrees) {
    return degrees * Math.PI / 180;
  }

  function svgElement(name, attributes) {
    const element = document.createElementNS(SVG, name);
    for (const [key, value] of Object.entries(attributes)) {
      element.setAttribute(key, value);
    }
    return element;
  }

  // Draws the route's positions on the Earth to fit, longitude scaled by the cosine of the
  // mean latitude so that shapes are true; a point closer than half a unit to the last one
  // drawn adds nothing.
  function draw(route) {
    const { kept, extent } = route;
    let meanLatitude = 0;
    for (let k = 1; k < kept.length; k += 2) {
      meanLatitude += kept[k] / (kept.length / 2);
    }
    const xScale = Math.max(Math.abs(Math.cos(radians(Math.max(-89, Math.min(89, meanLatitude))))), 0.01);
    const width = (extent.east - extent.west) * xScale;
    const height = extent.north - extent.south;
    const scale = Math.min((WIDTH - 2 * MARGIN) / (width || 1), (HEIGHT - 2 * MARGIN) / (height || 1));
    const x = (lon) => WIDTH / 2 + ((lon - extent.west) * xScale - width / 2) * scale;
    const y = (lat) => HEIGHT / 2 - ((lat - extent.south) - height / 2) * scale;
    const drawn = [];
    let [lastX, lastY] = [Infinity, Infinity];
    for (let k = 0; k < kept.length; k += 2) {
      const [px, py] = [x(kept[k]), y(kept[k + 1])];
      if (Math.abs(px - lastX) >= 0.5 || Math.abs(py - lastY) >= 0.5 || k === kept.length - 2) {
        drawn.push(px.toFixed(1) + ',' + py.toFixed(1));
        [lastX, lastY] = [px, py];
      }
    }
    const last = kept.length - 2;
    $('route').append(svgElement('polyline', { points: drawn.join(' '), class: 'line' }),
      svgElement('circle', { cx: x(kept[0]), cy: y(kept[1]), r: 7, class: 'start' }),
      svgElement('circle', { cx: x(kept[last]), cy: y(kept[last + 1]), r: 7, class: 'end' }));
  }

  function degrees(value, positive, negative) {
    return number(Math.abs(value), 5) + '° ' + words.compass[value < 0 ? negative : positive];
  }

  // Of the program's listing: the text of its first `wanted` lines, and how many lines and
  // records it has, read from its last line ("POS 41\t...": 42 records, 85 lines).
  function listed(bytes, wanted) {
    let end = 0;
    for (let k = 0; k < wanted && end < bytes.length; ++k) {
      const next = bytes.indexOf(10, end);
      end = next < 0 ? bytes.length : next + 1;
    }
    const lastStart = bytes.lastIndexOf(10, bytes.length - 2) + 1;
    const last = /^POS (\d+)\t/.exec(new TextDecoder().decode(bytes.subarray(lastStart, lastStart + 24)));
    const records = last ? Number(last[1]) + 1 : 0;
    return { first: new TextDecoder().decode(bytes.subarray(0, end)), records, lines: 1 + 2 * records };
  }

  // Everything the last log showed goes: a new log replaces it all.
  function clear() {
    if (worker) {
      worker.terminate();
      worker = null;
    }
    urls.forEach(URL.revokeObjectURL);
    urls = [];
    $('route').replaceChildren();
    for (const id of ['download-kml', 'download-listing']) {
      $(id).hidden = true;
      $(id).removeAttribute('href');
    }
    document.body.dataset.convertMs = '';
  }

  // Writes what `shown` holds in the words of the language chosen.
  function render() {
    const status = $('status');
    const failed = shown && (shown.failure || (shown.result && shown.result.status !== 0));
    const result = shown && shown.result;
    const warnings = result ? result.messages.split('\n').filter((line) => line !== '').length : 0;
    status.dataset.status = result ? String(result.status) : '';
    status.dataset.warnings = result ? String(warnings) : '';
    status.classList.toggle('failure', Boolean(failed));
    $('warnings').hidden = warnings === 0;
    $('warnings').textContent = warnings > 0 ? words.warnings(warnings) : '';
    $('chosen').textContent = !shown || !shown.name ? ''
      : (shown.converting ? words.converting(shown.name, number(shown.size)) : words.converted(shown.name)) +
        (shown.leftOut.length > 0 ? words.leftOut(shown.leftOut.join(', ')) : '');
    if (!result) {
      status.textContent = !shown ? words.nothingYet
        : shown.failure ? shown.failure() : words.convertingStatus;
      $('count').textContent = '–';
      $('positions').textContent = '–';
      $('messages').textContent = shown ? '' : words.noMessagesYet;
      $('route-summary').textContent = shown ? '' : words.noRouteYet;
      $('listing-note').textContent = words.listingNote;
      return;
    }
    status.textContent = words.status(result.status, words.meanings[result.status] || words.unknownMeaning);
    $('messages').textContent = result.messages || words.noMessages;
    const count = /^Ilosc pozycji: (\d+)/.exec(shown.listed.first);
    $('count').textContent = count ? number(Number(count[1])) : words.noneRead;
    $('listing-note').textContent = shown.listed.lines > LISTING_SHOWN
      ? words.listingPart(number(LISTING_SHOWN), number(shown.listed.lines)) : words.listingNote;
    if (!result.route) {
      $('positions').textContent = words.noKml;
      $('route-summary').textContent = words.routeNoKml;
      return;
    }
    $('download-kml').textContent = words.saveKml(kmlName(shown.name));
    const route = shown.route;
    if (!route) {
      return;  // still being read
    }
    const positions = route.kept.length / 2 + route.off;
    $('positions').textContent = number(positions);
    // Records listed but not in the route: their coordinates are not finite numbers.
    const notFinite = Math.max(0, shown.listed.records - positions);
    const odd = route.off > 0 || notFinite > 0 ? words.notPositions(number(route.off), number(notFinite)) : '';
    const empty = $('route').querySelector('text');
    if (empty) {
      empty.textContent = route.off > 0 ? words.noneOnEarth : words.routeEmpty;
    }
    $('route-summary').textContent = route.kept.length === 0
      ? (route.off > 0 ? words.noneOnEarth : words.routeEmpty) + odd
      : words.summary(number(route.kept.length / 2), number(route.length, 2)) +
        words.extent(degrees(route.extent.north, 'N', 'S'), degrees(route.extent.south, 'N', 'S'),
          degrees(route.extent.east, 'E', 'W'), degrees(route.extent.west, 'E', 'W')) + odd;
  }

  // The program's output, as soon as it is there.
  function show(result) {
    shown.converting = false;
    shown.result = result;
    shown.listed = listed(result.listing, LISTING_SHOWN);
    $('listing').textContent = shown.listed.first;
    offer('download-listing', result.listing, 'text/plain', 'trasa.txt');
    if (result.route) {
      offer('download-kml', result.route, 'application/vnd.google-earth.kml+xml', kmlName(shown.name));
    }
    render();
  }

  // The route, once the worker has read it from the KML.
  function showRoute(positions, started) {
    shown.route = positions;
    if (positions && positions.kept.length > 0) {
      draw(positions);
    } else if (positions) {
      $('route').append(svgElement('text', { x: WIDTH / 2, y: HEIGHT / 2, 'text-anchor': 'middle', class: 'empty' }));
    }
    render();
    // For the benchmark: the time from the choice to the route drawn on screen.
    requestAnimationFrame(() => requestAnimationFrame(() => {
      performance.measure('kml: choice to route drawn', { start: started });
      document.body.dataset.convertMs = String(Math.round(performance.now() - started));
      spare = spare || startWorker();
    }));
  }

  function fail(failure) {
    shown = { failure };
    render();
  }

  function convert(files) {
    const started = performance.now();
    clear();
    const log = files[0];
    shown = { name: log.name, size: log.size, leftOut: files.slice(1).map((file) => file.name), converting: true };
    $('listing').textContent = '';
    render();
    try {
      worker = spare || startWorker();
      spare = null;
    } catch (error) {
      fail(() => words.cannotStart(error.message));
      return;
    }
    const running = worker;
    worker.onmessage = (event) => {
      if (running !== worker) {
        return;  // a log chosen since replaces this one
      }
      if (event.data.failure) {
        fail(() => words.converterFailed(event.data.failure));
      } else if ('positions' in event.data) {
        showRoute(event.data.positions, started);
      } else {
        show(event.data);
        return;  // the route comes next
      }
      worker.terminate();
      worker = null;
    };
    worker.onerror = (event) => {
      event.preventDefault();
      fail(() => words.converterFailed(event.message || 'the worker'));
    };
    worker.postMessage(log);
  }

  function start() {
    for (const button of document.querySelectorAll('[data-language]')) {
      button.addEventListener('click', () => setLanguage(button.dataset.language));
    }
    setLanguage(chosenLanguage());
    if (typeof WebAssembly !== 'object' || typeof Worker !== 'function' || typeof kmlProgram !== 'function') {
      fail(() => words.noWebAssembly);
      $('log').disabled = true;
      return;
    }
    spare = startWorker();
    $('log').addEventListener('change', () => {
      if ($('log').files.length > 0) {
        convert(Array.from($('log').files));
        $('log').value = '';  // so that choosing the same file again converts it again
      }
    });
    document.addEventListener('dragover', (event) => {
      event.preventDefault();
      document.body.classList.add('dragging');
    });
    document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
    document.addEventListener('drop', (event) => {
      event.preventDefault();
      document.body.classList.remove('dragging');
      if (event.dataTransfer.files.length > 0) {
        convert(Array.from(event.dataTransfer.files));
      }
    });
  }

  window.addEventListener('error', (event) => fail(() => words.pageFailed(event.message)));
  try {
    start();
  } catch (error) {
    fail(() => words.pageFailed(error.message));
  }
})();
