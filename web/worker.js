// The body of the Web Worker that runs the program once. The page makes each worker from
// the source of kmlProgram() (kml-web.js) and of this function, ahead of the log it will
// convert, so that the program is compiled and ready when a log is chosen.
//
// The worker is then handed the File the user chose. It mounts it read on demand
// (WORKERFS), so the program reads only the bytes it would read on the command line, runs
// `kml LOG /out/trasa.kml` in a folder where the log has its own name (the KML in a folder
// of its own, so that a log of any name, trasa.kml too, converts as on the command line),
// and posts back what the program gave: {programMs, outcome, listing, messages, route}:
// the time the program ran, the outcome it handed over (platform_page.cpp), the listing
// and the KML as bytes, the KML null unless the program wrote one, and its messages as
// text; or {failure} when the program could not run.
function kmlWorker(createKml) {
  'use strict';

  // Bytes written a buffer at a time, kept in one of `capacity` bytes that doubles as it
  // fills.
  function ByteSink(capacity) {
    let bytes = new Uint8Array(capacity);
    let size = 0;
    return {
      put(chunk) {
        if (size + chunk.length > bytes.length) {
          let length = bytes.length * 2;
          while (length < size + chunk.length) {
            length *= 2;
          }
          const larger = new Uint8Array(length);
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
  // this reads it a block at a time instead, still only as far as the program reads.
  function readInBlocks(WORKERFS) {
    const BLOCK = 1 << 18;
    const reader = new FileReaderSync();
    let block = new Uint8Array(0);
    let blockStart = 0;
    WORKERFS.stream_ops.read = (stream, buffer, offset, length, position) => {
      const file = stream.node.contents;
      const end = Math.min(position + length, file.size);
      let at = position;
      while (at < end) {
        if (at < blockStart || at >= blockStart + block.length) {
          blockStart = at - at % BLOCK;
          block = new Uint8Array(reader.readAsArrayBuffer(file.slice(blockStart, blockStart + BLOCK)));
        }
        const next = Math.min(end, blockStart + block.length);
        buffer.set(block.subarray(at - blockStart, next - blockStart), offset + at - position);
        at = next;
      }
      return Math.max(0, end - position);
    };
  }

  // A made-up log of `count` records, a walk of small steps.
  function madeUpLog(count) {
    const view = new DataView(new ArrayBuffer(2 + 12 * count));
    view.setUint16(0, count, true);
    for (let k = 0; k < count; ++k) {
      view.setInt32(2 + 12 * k, k, true);
      view.setFloat32(6 + 12 * k, 4912.5 + (k % 997) * 0.01, true);
      view.setFloat32(10 + 12 * k, -1905.5 - (k % 991) * 0.01, true);
    }
    return new Uint8Array(view.buffer);
  }

  // Hands the program's standard output and error (fd 1 and 2) to `take` a buffer at a
  // time: the callbacks given to createKml would take them a byte at a time. Neither is a
  // terminal, so the C library fills a whole buffer before it writes.
  function redirect(kml, take) {
    for (const fd of [1, 2]) {
      const stream = kml.FS.getStream(fd);
      stream.stream_ops = Object.assign({}, stream.stream_ops, {
        write: (stream, buffer, offset, length) => {
          take(fd, buffer.subarray(offset, offset + length));
          return length;
        },
      });
    }
  }

  // While the worker waits for a log, a throwaway instance of the program converts a
  // made-up one, so that the engine has compiled the program's busiest code for speed
  // when the real log comes (every instance shares the compiled module).
  async function warmUp() {
    const kml = await createKml({ stdout: () => {}, stderr: () => {} });
    redirect(kml, () => {});
    kml.FS.writeFile('/warm.bin', madeUpLog(30000));
    kml.callMain(['/warm.bin', '/warm.kml']);
  }

  let listing = null;  // sinks, made when the log's size is known
  let messages = null;
  let outcome = null;
  const ready = warmUp().catch(() => {}).then(() => createKml({
    stdout: () => {},
    stderr: () => {},
    onOutcome: (handed) => { outcome = handed; },
  })).then((kml) => {
    redirect(kml, (fd, chunk) => (fd === 1 ? listing : messages).put(chunk));
    return kml;
  });

  self.onmessage = async (event) => {
    const log = event.data;
    // A raw log's listing is at most 8 times as long: the largest, 6.3 MB, is not copied
    // as it grows.
    listing = ByteSink(Math.max(1 << 16, Math.min(8 * log.size, 7 << 20)));
    messages = ByteSink(1 << 12);
    try {
      const kml = await ready;
      const FS = kml.FS;
      FS.mkdir('/log');
      FS.mount(FS.filesystems.WORKERFS, { files: [log] }, '/log');
      readInBlocks(FS.filesystems.WORKERFS);
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
      const route = outcome.kmlWritten ? FS.readFile('/out/trasa.kml') : null;
      const reply = {
        programMs,
        outcome,
        listing: listing.take(),
        messages: new TextDecoder().decode(messages.take()),
        route,
      };
      self.postMessage(reply, [reply.listing.buffer, outcome.onTheEarth.buffer].concat(route ? [route.buffer] : []));
    } catch (error) {
      self.postMessage({ failure: String(error && error.message ? error.message : error) });
    }
  };
}
