// The page: what it shows, and when. A chosen log goes to the converter (converter.js);
// its answer is kept, as the program's outcome, its messages, listing and KML, and shown
// in the reader's language (words.js): what came of it, in words, with the program's own
// lines beside; the route (route.js); the listing; and the KML and listing to save.
'use strict';

(function () {
  const LISTING_SHOWN = 1000;  // lines; the whole listing is offered to save

  const $ = (id) => document.getElementById(id);
  let language = 'en';
  let words = WORDS.en;
  let urls = [];  // the files of the log shown, once made to be saved
  // What the page shows, kept so that a change of language can show it again: nothing
  // yet; {failure}, a function that says what failed; or the log chosen, {name, size,
  // leftOut, answer, route}: the converter's answer once it came, and the route measured.
  let shown = null;

  const number = (value) => value.toLocaleString(language);

  // The language the reader asked for (?lang=pl), else the first of the browser's that the
  // page has ("de, pl, en" gives Polish), else English.
  function chosenLanguage() {
    const asked = new URLSearchParams(location.search).get('lang');
    if (Object.prototype.hasOwnProperty.call(WORDS, asked)) {
      return asked;
    }
    const preferred = navigator.languages && navigator.languages.length > 0 ? navigator.languages : [navigator.language];
    const had = preferred.map((tag) => String(tag).toLowerCase().split('-')[0])
      .find((language) => Object.prototype.hasOwnProperty.call(WORDS, language));
    return had || 'en';
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
    // Where the screen is touched, nothing can be dropped on it.
    const how = matchMedia('(pointer: coarse)').matches ? words.chooseHowTouch : words.chooseHow;
    $('choose-text').textContent = `${words.chooseText} ${how}`;
    render();
  }

  // Offers `bytes` (or what the function `bytes` makes) to save as `name` with the button
  // `id`. The file (a blob: URL) is made when the button is first pressed: a full log's
  // listing, KML and GPX (12 MB) are not made or copied for a button never pressed.
  function offer(id, bytes, type, name) {
    let url = null;
    $(id).onclick = () => {
      if (!url) {
        url = URL.createObjectURL(new Blob([typeof bytes === 'function' ? bytes() : bytes], { type }));
        urls.push(url);
      }
      const link = document.createElement('a');
      link.href = url;
      link.download = name;
      document.body.append(link);
      link.click();
      link.remove();
    };
    $(id).hidden = false;
  }

  // `tatry.hex` gives `tatry.kml`, `tatry.gpx` and `tatry.txt`; a name with no extension
  // gains one.
  function named(logName, extension) {
    const dot = logName.lastIndexOf('.');
    return (dot > 0 ? logName.slice(0, dot) : logName) + extension;
  }

  // What the program said, in the reader's words: a clause.
  function told(diagnostic) {
    const say = words.said[diagnostic.id];
    return say ? say(diagnostic) : diagnostic.id;
  }

  // The clause of a diagnostic as a sentence, capitalised unless it begins with a name.
  function sentence(diagnostic) {
    const clause = told(diagnostic);
    const named = diagnostic.path !== '' && clause.startsWith(diagnostic.path);
    return (named ? clause : clause.charAt(0).toUpperCase() + clause.slice(1)) + '.';
  }

  // Everything the last log showed goes: a new log replaces it all.
  function clear() {
    kmlConverter.cancel();
    urls.forEach(URL.revokeObjectURL);
    urls = [];
    $('route').replaceChildren();
    $('listing').textContent = '';
    for (const id of ['download-kml', 'download-gpx', 'download-listing']) {
      $(id).hidden = true;
      $(id).onclick = null;
    }
    document.body.dataset.convertMs = '';
  }

  function show(id, text) {
    $(id).textContent = text;
    $(id).hidden = text === '';
  }

  // What came of the log, as two lines: the most important truth, then what else the
  // reader must know at once; each {text, tone, told: the diagnostic it tells, if any}.
  // A failure comes first; then a file that is no position log (the program's verdict), or
  // else positions where a logger with no fix puts them; then what was converted, and why
  // the conversion stopped early.
  function headlines(outcome) {
    const decisive = outcome.said.find((diagnostic) => diagnostic.error && diagnostic.status === outcome.status);
    const verdict = outcome.said.find((diagnostic) => diagnostic.id === 'not-a-position-log');
    const coldStart = outcome.said.find((diagnostic) => diagnostic.id === 'cold-start');
    const warning = verdict ? {
      text: words.notALog(Number(verdict.values[0]), Number(verdict.values[1])), tone: 'warning', told: verdict }
      : coldStart && { text: words.coldStart(Number(coldStart.values[0])), tone: 'warning', told: coldStart };
    let converted = { text: words.converted(outcome.route), tone: '' };
    const is = (name) => outcome.status === outcome.statuses[name];
    if (is('nothingConverted') || is('kmlFailed')) {
      const text = !decisive ? words.notConverted(words.nothingSaid)
        : is('nothingConverted') ? words.notConverted(told(decisive)) : sentence(decisive);
      return [{ text, tone: 'failure', told: decisive }, warning].filter(Boolean);
    }
    if (shown.size === 0) {
      converted = { text: words.emptyFile, tone: 'warning', told: decisive };
    } else if (is('logIncomplete') && decisive) {
      const why = (words.whyEnded[decisive.id] || told)(decisive);
      converted = { text: words.endedEarly(outcome.records, outcome.stated, why), tone: 'warning', told: decisive };
    } else if (is('listingFailed') && decisive) {
      converted = { text: words.listingFailed(outcome.route, decisive.values[0]), tone: 'warning', told: decisive };
    }
    return warning ? [warning, converted] : [converted];
  }

  // The headline and what goes with it: the outcome in words, where the log's end marker
  // stopped it, the errors and warnings not in the headline, and what the status means.
  function renderOutcome(outcome) {
    const errors = outcome ? outcome.said.filter((diagnostic) => diagnostic.error) : [];
    const warnings = outcome ? outcome.said.filter((diagnostic) => !diagnostic.error) : [];
    const status = $('status');
    status.dataset.status = outcome ? String(outcome.status) : '';
    status.dataset.errors = String(errors.length);
    status.dataset.warnings = String(warnings.length);
    const [headline, detail] = outcome ? headlines(outcome)
      : [{ text: !shown ? words.nothingYet : shown.failure ? shown.failure() : words.convertingStatus,
        tone: shown && shown.failure ? 'failure' : '' }];
    status.textContent = headline.text;
    status.className = headline.tone;
    show('detail', detail ? detail.text : '');
    $('detail').className = detail ? detail.tone : '';
    const headlined = [headline, detail].map((line) => line && line.told).filter(Boolean);
    status.dataset.headlined = String(headlined.length);
    show('stopped', outcome && outcome.stop === 'end-marker' && outcome.records < outcome.stated
      ? words.endMarker(outcome.records, outcome.stated) : '');
    show('tally', outcome ? words.tally(errors.length, warnings.length) : '');
    const said = $('said');
    const listed = errors.concat(warnings).filter((diagnostic) => !headlined.includes(diagnostic));
    said.replaceChildren(...listed.map((diagnostic) => {
      const item = document.createElement('li');
      item.className = diagnostic.error ? 'failure' : 'warning';
      item.textContent = sentence(diagnostic);
      return item;
    }));
    said.hidden = said.childElementCount === 0;
    $('meaning').hidden = !outcome;
    $('meaning-summary').textContent = outcome ? words.meaningOf(outcome.status) : '';
    $('meaning-text').textContent = outcome ? words.meanings[outcome.status] || words.unknownMeaning : '';
  }

  // The address of OpenStreetMap's map of the route's extent: its centre, at the zoom
  // that shows it all (each level halves the degrees in view, 360 at zoom 0).
  function mapAddress({ north, south, east, west }) {
    const span = Math.max(east - west, 2 * (north - south), 1e-4);
    const zoom = Math.max(1, Math.min(18, Math.floor(Math.log2(360 / span))));
    const [lat, lon] = [(north + south) / 2, (east + west) / 2].map((degrees) => degrees.toFixed(5));
    return `https://www.openstreetmap.org/?mlat=${lat}&mlon=${lon}#map=${zoom}/${lat}/${lon}`;
  }

  // The route's summary: its positions, length and extent, or why there is none.
  function summary(outcome, route) {
    if (!outcome.kmlWritten) {
      return words.routeNoKml;
    }
    if (outcome.route === 0) {
      return words.routeEmpty;
    }
    if (!route || route.drawn === 0) {
      return route ? words.noneOnEarth : '';
    }
    const { north, south, east, west } = route.extent;
    const degrees = (value, positive, negative) => words.degrees(value, words.compass[value < 0 ? negative : positive]);
    return words.summary(outcome.route, route.length) +
      (outcome.offTheEarth > 0 ? words.offTheEarth(outcome.offTheEarth) : '') +
      words.extent(degrees(north, 'N', 'S'), degrees(south, 'N', 'S'), degrees(east, 'E', 'W'), degrees(west, 'E', 'W'));
  }

  // Writes what `shown` holds in the words of the language chosen.
  function render() {
    const answer = shown && shown.answer;
    const outcome = answer && answer.outcome;
    renderOutcome(outcome);
    $('chosen').textContent = !shown || !shown.name ? ''
      : answer ? words.chosen(shown.name, shown.size) : words.converting(shown.name, shown.size);
    show('left-out', shown && shown.leftOut && shown.leftOut.length > 0 ? words.leftOut(shown.leftOut.join(', ')) : '');
    // An SVG element has no `hidden` property: the attribute itself hides the empty panel.
    const drawn = Boolean(outcome && shown.route && shown.route.drawn > 0);
    $('route').toggleAttribute('hidden', !drawn);
    $('open-map').hidden = !drawn;
    $('open-map').textContent = drawn ? words.openMap : '';
    if (drawn) {
      $('open-map').href = mapAddress(shown.route.extent);
    }
    if (!outcome) {
      $('count').textContent = '–';
      $('positions').textContent = '–';
      $('count').className = '';
      $('positions').className = '';
      $('messages').textContent = shown ? '' : words.noMessagesYet;
      $('messages').hidden = false;
      $('quiet').hidden = true;
      $('route-summary').textContent = shown ? '' : words.noRouteYet;
      $('listing-note').textContent = words.listingNote;
      return;
    }
    // The program's own lines, as it wrote them; where it wrote none, the page says so.
    $('messages').textContent = answer.messages;
    $('messages').hidden = !answer.messages;
    $('quiet').textContent = words.noMessages;
    $('quiet').hidden = Boolean(answer.messages);
    $('download-kml').textContent = outcome.kmlWritten ? words.saveKml(named(shown.name, '.kml')) : '';
    $('download-gpx').textContent = outcome.kmlWritten ? words.saveGpx(named(shown.name, '.gpx')) : '';
    $('download-listing').textContent = words.saveListing(named(shown.name, '.txt'));
    const noneRead = outcome.stated < 0 && outcome.records === 0;
    $('count').textContent = noneRead ? words.noneRead : words.recordsOf(outcome.records, outcome.stated);
    $('count').className = noneRead ? 'none' : '';
    $('positions').textContent = outcome.kmlWritten ? number(outcome.route) : words.noKml;
    $('positions').className = outcome.kmlWritten ? '' : 'none';
    const lines = outcome.listingLines;
    $('listing-note').textContent = lines > LISTING_SHOWN ? words.listingPart(LISTING_SHOWN, lines) : words.listingNote;
    $('route-summary').textContent = summary(outcome, shown.route);
  }

  // The converter's answer: what came of the log at once, the route and what there is to
  // save, then the listing (unless another log was chosen meanwhile).
  function answered(answer, started) {
    if (answer.failure) {
      fail(() => words.converterFailed(answer.failure));
      return;
    }
    performance.measure('kml: the program ran', { start: started, duration: answer.programMs });
    shown.answer = answer;
    const positions = answer.outcome.onTheEarth;
    shown.route = { drawn: positions.length / 2, ...kmlRoute.measure(positions) };
    if (shown.route.drawn > 0) {
      kmlRoute.draw($('route'), positions, shown.route.extent);
    }
    render();
    performance.measure('kml: choice to output shown', { start: started });
    // What there is to save is offered at once; its file is made when it is asked for.
    if (answer.listing.length > 0) {
      offer('download-listing', answer.listing, 'text/plain', named(shown.name, '.txt'));
    }
    if (answer.route) {
      offer('download-kml', answer.route, 'application/vnd.google-earth.kml+xml', named(shown.name, '.kml'));
      offer('download-gpx', () => kmlGpx.fromKml(answer.route), 'application/gpx+xml', named(shown.name, '.gpx'));
    }
    // Once the frame that shows the route and the downloads is painted: the time from the
    // choice, for the benchmark (bench/page_bench.mjs); then the listing's first lines,
    // whose layout would have held that frame back.
    const chosen = shown;
    const painted = (then) => requestAnimationFrame(() => setTimeout(() => shown === chosen && then()));
    painted(() => {
      performance.measure('kml: choice to route drawn', { start: started });
      $('listing').textContent = answer.listed;
      painted(() => {
        performance.measure('kml: choice to listing shown', { start: started });
        document.body.dataset.convertMs = String(Math.round(performance.now() - started));
        kmlConverter.prepare();
      });
    });
  }

  function fail(failure) {
    shown = { failure };
    render();
  }

  function convert(files) {
    const started = performance.now();
    clear();
    const log = files[0];
    shown = { name: log.name, size: log.size, leftOut: files.slice(1).map((file) => file.name) };
    render();
    try {
      kmlConverter.convert(log, LISTING_SHOWN, (answer) => answered(answer, started));
    } catch (error) {
      fail(() => words.cannotStart(error.message));
    }
  }

  function start() {
    for (const button of document.querySelectorAll('[data-language]')) {
      button.addEventListener('click', () => setLanguage(button.dataset.language));
    }
    setLanguage(chosenLanguage());
    if (!kmlConverter.available()) {
      fail(() => words.noWebAssembly);
      $('log').disabled = true;
      return;
    }
    kmlConverter.prepare();
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
