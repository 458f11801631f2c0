// The body of the Web Worker that runs the program once. The page makes each worker from
// the source of kmlProgram() (kml-web.js) and of this function, ahead of the log it will
// convert, so that the program is compiled and ready when a log is chosen.
//
// The worker is then handed the File the user chose. It mounts it read on demand
// (WORKERFS), so the program reads only the bytes it would read on the command line, runs
// `kml LOG /out/trasa.kml` in a folder where the log has its own name (the KML in a folder
// of its own, so that a log of any name, trasa.kml too, converts as on the command line),
// and posts back what the program gave: {programMs, outcome, messages, listed, listing,
// route}: the time the program ran, the outcome it handed over (platform_page.cpp), its
// messages as text, the listing's first `lines` lines as text (the page asks for as many
// as it shows), and the listing and the KML, the program's own bytes, the KML null
// unless the program wrote one. Or {failure}, when the program could not run.
//
// While it waits, the worker readies what the run will need, since the log's time is the
// user's: the program, compiled and run once on a made-up log; and the memory that the
// listing and the KML will fill, written once (a system gives a page of fresh memory only
// when it is first written, and that is slower than the writing itself). With the reads
// in blocks below, that makes a full log 49 ms from choice to route in Chromium instead
// of 147 ms: the page benchmark shows it.
function kmlWorker(createKml, kmlLog) {
  'use strict';

  const LISTING_ROOM = 8 << 20;  // the largest log's listing is 6.4 MB, its KML 2.3 MB
  const KML_ROOM = 4 << 20;
  const HEAD = 4 << 20;          // read ahead: the largest raw log, or most of a dump's

  function touched(size) {
    return new Uint8Array(size).fill(0);
  }

  // Bytes written a buffer at a time, kept in `bytes`, or in a copy twice as large when
  // they do not fit.
  function ByteSink(bytes) {
    let size = 0;
    return {
      put(chunk) {
        if (size + chunk.length > bytes.length) {
          const larger = new Uint8Array(2 * (size + chunk.length));
          larger.set(bytes.subarray(0, size));
          bytes = larger;
        }
        bytes.set(chunk, size);
        size += chunk.length;
      },
      take() {
        return bytes.subarray(0, size);
      },
    };
  }

  // WORKERFS reads the file afresh for every read the C library makes (a kilobyte or so);
  // this serves reads from `head`, the file's first bytes, read ahead, and beyond them a
  // block at a time, still only as far as the program reads.
  function readInBlocks(WORKERFS, head) {
    const BLOCK = 1 << 18;
    const reader = new FileReaderSync();
    let block = head;
    let blockStart = 0;
    WORKERFS.stream_ops.read = (stream, buffer, offset, length, position) => {
      const file = stream.node.contents;
      const end = Math.min(position + length, file.size);
      let at = position;
      while (at < end) {
        if (at < blockStart || at >= blockStart + block.length) {
          blockStart = at < head.length ? 0 : at - at % BLOCK;
          block = at < head.length ? head
            : new Uint8Array(reader.readAsArrayBuffer(file.slice(blockStart, blockStart + BLOCK)));
        }
        const next = Math.min(end, blockStart + block.length);
        buffer.set(block.subarray(at - blockStart, next - blockStart), offset + at - position);
        at = next;
      }
      return Math.max(0, end - position);
    };
  }

  // MEMFS grows a file by an eighth at a time past its first megabyte, copying it each
  // time: the first file to grow (the KML) takes `room` at once, and any file past its
  // room doubles.
  function growInto(MEMFS, room) {
    const expand = MEMFS.expandFileStorage;
    MEMFS.expandFileStorage = (node, capacity) => {
      const had = node.contents ? node.contents.length : 0;
      if (capacity <= had) {
        return;
      }
      if (room && capacity <= room.length) {
        room.set(node.contents.subarray(0, node.usedBytes));
        node.contents = room;
        room = null;
        return;
      }
      expand(node, Math.max(capacity, 2 * had));
    };
  }

  // Hands the program's standard output and error (fd 1 and 2) to `take` a buffer at a
  // time: the callbacks given to createKml would take them a byte at a time. Neither is a
  // terminal any more, so the C library fills a whole buffer before it writes.
  function redirect(kml, take) {
    for (const fd of [1, 2]) {
      const stream = kml.FS.getStream(fd);
      stream.tty = null;
      stream.stream_ops = Object.assign({}, stream.stream_ops, {
        write: (stream, buffer, offset, length) => {
          take(fd, buffer.subarray(offset, offset + length));
          return length;
        },
      });
    }
  }

  // Each instance of the program would compile its WebAssembly anew, and an engine
  // optimises a module's code as that module runs: compiled once, the module is shared
  // by every instance, so the made-up log's run readies the code the real one runs.
  function compileOnce() {
    const instantiate = WebAssembly.instantiate;
    let compiled = null;
    WebAssembly.instantiate = async (binary, imports) => {
      if (binary instanceof WebAssembly.Module) {
        return instantiate(binary, imports);
      }
      compiled = compiled || await WebAssembly.compile(binary);
      return { module: compiled, instance: await instantiate(compiled, imports) };
    };
  }

  async function warmUp() {
    compileOnce();
    const kml = await createKml({ stdout: () => {}, stderr: () => {} });
    redirect(kml, () => {});
    kml.FS.writeFile('/warm.bin', kmlLog.walk(30000));
    kml.callMain(['/warm.bin', '/warm.kml']);
  }

  let listing = null;
  let messages = null;
  let outcome = null;
  let room = null;
  const ready = warmUp().catch(() => {}).then(() => createKml({
    stdout: () => {},
    stderr: () => {},
    onOutcome: (handed) => { outcome = handed; },
  })).then((kml) => {
    redirect(kml, (fd, chunk) => (fd === 1 ? listing : messages).put(chunk));
    listing = ByteSink(touched(LISTING_ROOM));
    messages = ByteSink(new Uint8Array(1 << 12));
    room = touched(KML_ROOM);
    return kml;
  });

  // The text of the first `wanted` lines of `bytes`.
  function firstLines(bytes, wanted) {
    let end = 0;
    for (let k = 0; k < wanted && end < bytes.length; ++k) {
      const next = bytes.indexOf(10, end);
      end = next < 0 ? bytes.length : next + 1;
    }
    return new TextDecoder().decode(bytes.subarray(0, end));
  }

  self.onmessage = async (event) => {
    const { log, lines } = event.data;
    try {
      const head = new Uint8Array(await log.slice(0, HEAD).arrayBuffer());
      const kml = await ready;
      const FS = kml.FS;
      FS.mkdir('/log');
      FS.mount(FS.filesystems.WORKERFS, { files: [log] }, '/log');
      readInBlocks(FS.filesystems.WORKERFS, head);
      growInto(FS.filesystems.MEMFS, room);
      FS.mkdir('/run');
      FS.symlink('/log/' + log.name, '/run/' + log.name);
      FS.mkdir('/out');
      FS.chdir('/run');
      const running = performance.now();
      kml.callMain([log.name, '/out/trasa.kml']);
      const programMs = performance.now() - running;
      if (outcome === null) {
        throw new Error('the program ended without its outcome');
      }
      // The KML as MEMFS holds it, not copied.
      const written = outcome.kmlWritten ? FS.lookupPath('/out/trasa.kml').node : null;
      const listed = listing.take();
      const answer = {
        programMs,
        outcome,
        messages: new TextDecoder().decode(messages.take()),
        listed: firstLines(listed, lines),
        listing: listed,
        route: written ? written.contents.subarray(0, written.usedBytes) : null,
      };
      self.postMessage(answer, [answer.listing.buffer, outcome.onTheEarth.buffer]
        .concat(answer.route ? [answer.route.buffer] : []));
    } catch (error) {
      self.postMessage({ failure: String(error && error.message ? error.message : error) });
    }
  };
}
