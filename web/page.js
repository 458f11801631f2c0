// The page: hands the chosen log to the program, run in a Web Worker of its own, and shows
// what it gave: the status, the program's messages, the route drawn, the listing, and the
// KML and listing to save.
'use strict';

(function () {
  const LISTING_SHOWN = 1000;  // lines; the whole listing is offered as trasa.txt
  const EARTH_RADIUS_KM = 6371.0088;

  // The exit statuses, in the README's words.
  const MEANINGS = {
    0: 'the log was converted',
    1: 'nothing was converted: the log cannot be opened or is a text dump that cannot be trusted',
    2: 'the log ends early, or cannot be read to its end, or its text dump was cut off: ' +
       'the KML file is complete and holds every whole record before that point',
    3: 'the listing could not be written; the KML file is complete',
    255: 'the KML file could not be written',
  };

  const $ = (id) => document.getElementById(id);
  const SVG = 'http://www.w3.org/2000/svg';
  let worker = null;
  let urls = [];

  function say(text, failed) {
    $('status').textContent = text;
    $('status').classList.toggle('failure', Boolean(failed));
  }

  // Everything the last log showed goes: a new log replaces it all.
  function clear() {
    if (worker) {
      worker.terminate();
      worker = null;
    }
    urls.forEach(URL.revokeObjectURL);
    urls = [];
    $('status').dataset.status = '';
    document.body.dataset.convertMs = '';
    $('count').textContent = '–';
    $('positions').textContent = '–';
    $('messages').textContent = '';
    $('listing').textContent = '';
    $('listing-note').textContent = 'Each record as stored, then in decimal degrees.';
    $('route').replaceChildren();
    $('route-summary').textContent = '';
    for (const id of ['download-kml', 'download-listing']) {
      $(id).hidden = true;
      $(id).removeAttribute('href');
    }
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

  // The route's points, [longitude, latitude], from the KML's coordinate lines.
  function routePoints(kmlText) {
    const start = kmlText.indexOf('<coordinates>');
    const end = kmlText.indexOf('</coordinates>');
    if (start < 0 || end < start) {
      return [];
    }
    return kmlText.slice(start + '<coordinates>'.length, end).split('\n')
      .map((line) => line.trim()).filter((line) => line !== '')
      .map((line) => line.split(',').map(Number));
  }

  function radians(degrees) {
    return degrees * Math.PI / 180;
  }

  // Great-circle distance in kilometres (haversine).
  function distanceKm([lon1, lat1], [lon2, lat2]) {
    const a = Math.sin(radians(lat2 - lat1) / 2) ** 2 +
      Math.cos(radians(lat1)) * Math.cos(radians(lat2)) * Math.sin(radians(lon2 - lon1) / 2) ** 2;
    return 2 * EARTH_RADIUS_KM * Math.asin(Math.min(1, Math.sqrt(a)));
  }

  function svgElement(name, attributes) {
    const element = document.createElementNS(SVG, name);
    for (const [key, value] of Object.entries(attributes)) {
      element.setAttribute(key, value);
    }
    return element;
  }

  function degrees(value, positive, negative) {
    return Math.abs(value).toFixed(5) + '° ' + (value < 0 ? negative : positive);
  }

  // Draws the route to fit, longitude scaled by the cosine of the mean latitude so that
  // shapes are true, and sums up its extent and length.
  function draw(points) {
    const svg = $('route');
    if (points.length === 0) {
      const text = svgElement('text', { x: 500, y: 300, 'text-anchor': 'middle', class: 'empty' });
      text.textContent = 'The route is empty: the log holds no positions.';
      svg.append(text);
      $('route-summary').textContent = 'The route is empty: the log holds no positions.';
      return;
    }
    const lons = points.map((p) => p[0]);
    const lats = points.map((p) => p[1]);
    const extent = {
      north: Math.max(...lats), south: Math.min(...lats), east: Math.max(...lons), west: Math.min(...lons),
    };
    const meanLatitude = lats.reduce((sum, lat) => sum + lat, 0) / lats.length;
    const xScale = Math.max(Math.abs(Math.cos(radians(Math.max(-89, Math.min(89, meanLatitude))))), 0.01);
    const width = (extent.east - extent.west) * xScale;
    const height = extent.north - extent.south;
    const margin = 30;
    const scale = Math.min((1000 - 2 * margin) / (width || 1), (600 - 2 * margin) / (height || 1));
    const x = (lon) => 500 + ((lon - extent.west) * xScale - width / 2) * scale;
    const y = (lat) => 300 - ((lat - extent.south) - height / 2) * scale;
    const polyline = svgElement('polyline', {
      points: points.map(([lon, lat]) => x(lon).toFixed(1) + ',' + y(lat).toFixed(1)).join(' '),
      class: 'line',
    });
    const [first, last] = [points[0], points[points.length - 1]];
    svg.append(polyline,
      svgElement('circle', { cx: x(first[0]), cy: y(first[1]), r: 7, class: 'start' }),
      svgElement('circle', { cx: x(last[0]), cy: y(last[1]), r: 7, class: 'end' }));

    let length = 0;
    for (let k = 1; k < points.length; ++k) {
      length += distanceKm(points[k - 1], points[k]);
    }
    $('route-summary').textContent =
      `${points.length} positions from the start (green) to the end (black), ` +
      `${length.toFixed(2)} km along the line. Extent: north ${degrees(extent.north, 'N', 'S')}, ` +
      `south ${degrees(extent.south, 'N', 'S')}, east ${degrees(extent.east, 'E', 'W')}, ` +
      `west ${degrees(extent.west, 'E', 'W')}.`;
  }

  function lineCount(text) {
    let lines = text !== '' && !text.endsWith('\n') ? 1 : 0;
    for (let at = text.indexOf('\n'); at >= 0; at = text.indexOf('\n', at + 1)) {
      ++lines;
    }
    return lines;
  }

  function firstLines(text, lines) {
    let end = 0;
    for (let k = 0; k < lines && end < text.length; ++k) {
      const next = text.indexOf('\n', end);
      end = next < 0 ? text.length : next + 1;
    }
    return text.slice(0, end);
  }

  function show(logName, result, started) {
    const text = new TextDecoder().decode(result.listing);
    const count = /^Ilosc pozycji: (\d+)/.exec(text);
    $('count').textContent = count ? Number(count[1]).toLocaleString('en') : 'none read';
    $('status').dataset.status = String(result.status);
    say(`Exit status ${result.status}: ${MEANINGS[result.status] || 'unknown'}.`, result.status !== 0);
    $('messages').textContent = result.messages || 'Nothing: no warnings, no problems.';

    const lines = lineCount(text);
    $('listing').textContent = firstLines(text, LISTING_SHOWN);
    if (lines > LISTING_SHOWN) {
      $('listing-note').textContent = `The first ${LISTING_SHOWN.toLocaleString('en')} of ` +
        `${lines.toLocaleString('en')} lines; save the listing for the whole.`;
    }
    offer('download-listing', result.listing, 'text/plain', 'trasa.txt');

    if (result.route) {
      const points = routePoints(new TextDecoder().decode(result.route));
      $('positions').textContent = points.length.toLocaleString('en');
      offer('download-kml', result.route, 'application/vnd.google-earth.kml+xml', kmlName(logName));
      $('download-kml').textContent = `Save the KML (${kmlName(logName)})`;
      draw(points);
    } else {
      $('positions').textContent = 'none: no KML was written';
      $('route-summary').textContent = 'No route: the program wrote no KML.';
    }
    // For scripts and tests: the time from the choice to the route drawn on screen.
    requestAnimationFrame(() => requestAnimationFrame(() => {
      document.body.dataset.convertMs = String(Math.round(performance.now() - started));
    }));
  }

  function convert(log) {
    clear();
    const started = performance.now();
    $('chosen').textContent = `Converting ${log.name} (${log.size.toLocaleString('en')} bytes)…`;
    say('Converting…', false);
    try {
      const source = `const createKml = (${kmlProgram})();\n(${kmlWorker})(createKml);\n`;
      const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
      urls.push(url);  // revoked with the rest when the next log is chosen
      worker = new Worker(url);
    } catch (error) {
      say(`The converter could not be started in this browser: ${error.message}`, true);
      return;
    }
    const running = worker;
    worker.onmessage = (event) => {
      if (running !== worker) {
        return;  // a log chosen since replaces this one
      }
      worker.terminate();
      worker = null;
      $('chosen').textContent = `Converted ${log.name}.`;
      if (event.data.failure) {
        say(`The converter failed: ${event.data.failure}`, true);
      } else {
        show(log.name, event.data, started);
      }
    };
    worker.onerror = (event) => {
      event.preventDefault();
      say(`The converter failed: ${event.message || 'an error in its worker'}`, true);
    };
    worker.postMessage(log);
  }

  function start() {
    if (typeof WebAssembly !== 'object' || typeof Worker !== 'function' || typeof kmlProgram !== 'function') {
      say('This browser cannot run the converter: it needs WebAssembly and Web Workers ' +
          '(any current Firefox, Chrome, Edge or Safari has them).', true);
      $('log').disabled = true;
      return;
    }
    $('log').addEventListener('change', () => {
      if ($('log').files.length > 0) {
        convert($('log').files[0]);
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
        convert(event.dataTransfer.files[0]);
      }
    });
  }

  window.addEventListener('error', (event) => say(`The page failed: ${event.message}`, true));
  try {
    start();
  } catch (error) {
    say(`The page failed: ${error.message}`, true);
  }
})();
