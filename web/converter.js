// The page's side of the worker's protocol: each log is converted by a Web Worker of its
// own, made ahead so that its program is compiled and ready when the log comes, and
// dropped once it has answered (worker.js says what it answers).
'use strict';

const kmlConverter = (function () {
  let source = null;   // a blob: URL of the worker's source, made once
  let spare = null;    // a worker made ahead, its program ready for the next log
  let running = null;  // the worker converting a log now

  // Workers are made from the source of kmlProgram(), kmlWorker() and kmlLogLayout()
  // (kml-web.js, worker.js, log.js): a page opened from file:// cannot load a worker by
  // URL. The program finds no fetch in its scope, so it decodes its own WebAssembly
  // rather than fetch a data: URL.
  function startWorker() {
    if (!source) {
      const text = `const createKml = (function (fetch) { return (${kmlProgram})(); })(undefined);\n` +
        `(${kmlWorker})(createKml, (${kmlLogLayout})());\n`;
      source = URL.createObjectURL(new Blob([text], { type: 'text/javascript' }));
    }
    return new Worker(source);
  }

  // Whether this browser can run the converter at all.
  function available() {
    return typeof WebAssembly === 'object' && typeof Worker === 'function' && typeof kmlProgram === 'function';
  }

  // Makes the worker for the next log, unless there is one.
  function prepare() {
    spare = spare || startWorker();
  }

  // Stops the conversion under way, if there is one: its answer never comes.
  function cancel() {
    if (running) {
      running.terminate();
      running = null;
    }
  }

  // Converts `log` (a File), of whose listing the page shows `lines` lines; `answered` is
  // given the worker's answer, or {failure}. Throws when no worker can be started.
  function convert(log, lines, answered) {
    cancel();
    const worker = spare || startWorker();
    spare = null;
    running = worker;
    const hear = (answer) => {
      if (running === worker) {  // else a log chosen since replaced this one
        cancel();
        answered(answer);
      }
    };
    worker.onmessage = (event) => hear(event.data);
    worker.onerror = (event) => {
      event.preventDefault();
      hear({ failure: event.message || 'the worker' });
    };
    worker.postMessage({ log, lines });
  }

  return { available, prepare, cancel, convert };
})();
