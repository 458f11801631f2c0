// The page: hands the chosen log to the program, run in a Web Worker of its own, and shows
// what it gave: the status and any warnings, the program's messages, the route drawn, the
// listing, and the KML and listing to save; in Polish or English (words.js).
'use strict';

(function () {
  const LISTING_SHOWN = 1000;  // lines; the whole listing is offered as trasa.txt
  const EARTH_RADIUS_KM = 6371.0088;
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
  // {name, size, leftOut, converting, result, listed, route}, or {failure}.
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

  // The positions of the route's coordinate lines ("  19.08539,-50.20576"), read straight
  // from the KML's bytes: [longitude, latitude, longitude, latitude, ...]. A number of
  // 15 digits or fewer is its digits over 10^5, exactly as Number() reads its text.
  function routePoints(kml) {
    const opening = new TextDecoder().decode(kml.subarray(0, 2000)).indexOf('<coordinates>');
    if (opening < 0) {
      return new Float64Array(0);
    }
    const points = new Float64Array(2 * kml.length / 16);
    let count = 0;
    let at = opening + '<coordinates>'.length;
    while (at < kml.length && kml[at] !== 60) {  // up to '<' of </coordinates>
      const c = kml[at];
      if (c === 32 || c === 10 || c === 13 || c === 44) {  // space, line ends, comma
        ++at;
        continue;
      }
      const from = at;
      let digits = 0;
      let value = 0;
      for (; at < kml.length && ((kml[at] >= 48 && kml[at] <= 57) || kml[at] === 45 || kml[at] === 46); ++at) {
        if (kml[at] >= 48) {
          value = value * 10 + (kml[at] - 48);
          ++digits;
        }
      }
      value = digits <= 15 ? value / 1e5 : Number(new TextDecoder().decode(kml.subarray(from, at)));
      points[count++] = kml[from] === 45 ? -value : value;
    }
    return points.slice(0, count - count % 2);
  }

  // Of the route's positions, [longitude, latitude, ...]: those that lie on the Earth, in
  // `kept`, with their extent and length in kilometres, and how many lie beyond 90 degrees
  // of latitude or 180 of longitude (`off`). A step is measured on the great circle
  // (haversine); one of less than 0.001 radians (6 km), as a logger's steps are, as on a
  // flat map, which is then as exact to a part in ten million and much quicker.
  function onTheEarth(points) {
    const kept = new Float64Array(points.length);
    let count = 0;
    const extent = { north: -90, south: 90, east: -180, west: 180 };
    let length = 0;
    let cosLast = 0;
    for (let k = 0; k + 1 < points.length; k += 2) {
      const [lon, lat] = [points[k], points[k + 1]];
      if (Math.abs(lat) > 90 || Math.abs(lon) > 180) {
        continue;
      }
      const cos = Math.cos(radians(lat));
      if (count > 0) {
        const [north, east] = [radians(lat - kept[count - 1]), radians(lon - kept[count - 2])];
        if (Math.abs(north) < 1e-3 && Math.abs(east) < 1e-3) {
          const across = east * (cos + cosLast) / 2;
          length += EARTH_RADIUS_KM * Math.sqrt(north * north + across * across);
        } else {
          const a = Math.sin(north / 2) ** 2 + cosLast * cos * Math.sin(east / 2) ** 2;
          length += 2 * EARTH_RADIUS_KM * Math.asin(Math.min(1, Math.sqrt(a)));
        }
      }
      cosLast = cos;
      kept[count++] = lon;
      kept[count++] = lat;
      extent.north = Math.max(extent.north, lat);
      extent.south = Math.min(extent.south, lat);
      extent.east = Math.max(extent.east, lon);
      extent.west = Math.min(extent.west, lon);
    }
    return { kept: kept.slice(0, count), extent, length, off: (points.length - count) / 2 };
  }

  // Draws the route's positions on the Earth to fit, longitude scaled by the cosine of the
  // mean latitude so that shapes are true; a point within a unit (less than a pixel) of the
  // last one drawn adds nothing.
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
      if (Math.abs(px - lastX) >= 1 || Math.abs(py - lastY) >= 1 || k === kept.length - 2) {
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
    const lines = result ? result.messages.split('\n').filter((line) => line !== '').length : 0;
    // Where no KML was written, what the program said is why, not a warning.
    const warnings = result && result.route ? lines : 0;
    status.dataset.status = result ? String(result.status) : '';
    status.dataset.warnings = result ? String(lines) : '';
    status.classList.toggle('failure', Boolean(failed));
    $('warnings').hidden = warnings === 0;
    $('warnings').textContent = warnings > 0 ? words.warnings(warnings) : '';
    const done = result && !result.route ? words.notConverted : words.converted;
    $('chosen').textContent = !shown || !shown.name ? ''
      : (shown.converting ? words.converting(shown.name, number(shown.size)) : done(shown.name)) +
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
  function show(result, started) {
    shown.converting = false;
    shown.result = result;
    shown.listed = listed(result.listing, LISTING_SHOWN);
    $('listing').textContent = shown.listed.first;
    render();
    performance.measure('kml: the program ran', { start: started, duration: result.programMs });
    performance.measure('kml: choice to output shown', { start: started });
  }

  // The route, read from the KML.
  function showRoute(positions, started) {
    shown.route = positions;
    if (positions && positions.kept.length > 0) {
      draw(positions);
    } else if (positions) {
      $('route').append(svgElement('text', { x: WIDTH / 2, y: HEIGHT / 2, 'text-anchor': 'middle', class: 'empty' }));
    }
    render();
    // Once the route is on screen: its time from the choice, for the benchmark
    // (bench/page_bench.mjs), and the downloads, whose blobs (8 MB for a full log) need
    // not keep the route from the screen.
    requestAnimationFrame(() => requestAnimationFrame(() => {
      performance.measure('kml: choice to route drawn', { start: started });
      const result = shown.result;
      if (result.listing.length > 0) {
        offer('download-listing', result.listing, 'text/plain', 'trasa.txt');
      }
      if (result.route) {
        offer('download-kml', result.route, 'application/vnd.google-earth.kml+xml', kmlName(shown.name));
      }
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
      worker.terminate();
      worker = null;
      if (event.data.failure) {
        fail(() => words.converterFailed(event.data.failure));
      } else {
        show(event.data, started);
        const positions = event.data.route ? onTheEarth(routePoints(event.data.route)) : null;
        performance.measure('kml: choice to route read', { start: started });
        showRoute(positions, started);
      }
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
