// The body of the Web Worker that runs the program once: the page makes a worker for each
// log from the source of kmlProgram() (kml-web.js) and of this function.
//
// The worker is handed the File the user chose. It mounts it read on demand (WORKERFS), so
// the program reads only the bytes it would read on the command line, runs
// `kml LOG /out/trasa.kml` in a folder where the log has its own name (the KML in a folder
// of its own, so that a log of any name, trasa.kml too, converts as on the command line),
// and posts back what the program gave: {status, listing, messages, route}, the listing
// and route as bytes, the route null unless the program wrote one (statuses 0, 2 and 3);
// or {failure} when the program could not run.
function kmlWorker(createKml) {
  'use strict';

  // Bytes written one at a time, kept in a buffer that doubles as it fills.
  function ByteSink() {
    let bytes = new Uint8Array(1 << 16);
    let size = 0;
    return {
      put(byte) {
        if (byte === null) {
          return;  // a flush
        }
        if (size === bytes.length) {
          const larger = new Uint8Array(bytes.length * 2);
          larger.set(bytes);
          bytes = larger;
        }
        bytes[size++] = byte;
      },
      take() {
        return bytes.slice(0, size);
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

  self.onmessage = async (event) => {
    const log = event.data;
    const listing = ByteSink();
    const messages = ByteSink();
    let status = null;
    try {
      const kml = await createKml({
        stdout: listing.put,
        stderr: messages.put,
        onExit: (code) => { status = code; },
      });
      const FS = kml.FS;
      FS.mkdir('/log');
      FS.mount(FS.filesystems.WORKERFS, { files: [log] }, '/log');
      readInBlocks(FS.filesystems.WORKERFS);
      FS.mkdir('/run');
      FS.symlink('/log/' + log.name, '/run/' + log.name);
      FS.mkdir('/out');
      FS.chdir('/run');
      kml.callMain([log.name, '/out/trasa.kml']);
      const shown = status === null ? null : status & 255;  // as a shell shows it: -1 is 255
      const route = [0, 2, 3].includes(shown) ? FS.readFile('/out/trasa.kml') : null;
      const reply = {
        status: shown,
        listing: listing.take(),
        messages: new TextDecoder().decode(messages.take()),
        route,
      };
      self.postMessage(reply, route ? [reply.listing.buffer, route.buffer] : [reply.listing.buffer]);
    } catch (error) {
      self.postMessage({ failure: String(error && error.message ? error.message : error) });
    }
  };
}
