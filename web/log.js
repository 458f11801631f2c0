// The position log's layout for the JavaScript side, written once: a 16-bit record
// count, then 12-byte records of T (32-bit integer), X and Y (32-bit floats, degrees * 100
// + minutes), all little-endian; and the walk that the program's benchmark converts. The
// worker converts a short walk while it waits; the page's test and benchmark load this
// file to make their logs.
'use strict';

function kmlLogLayout() {
  const RECORD = 12;

  // A log that states `count` records and holds `records`, each [T, X, Y].
  function logBytes(count, records) {
    const view = new DataView(new ArrayBuffer(2 + RECORD * records.length));
    view.setUint16(0, count, true);
    records.forEach(([t, x, y], k) => {
      view.setInt32(2 + RECORD * k, t, true);
      view.setFloat32(6 + RECORD * k, x, true);
      view.setFloat32(10 + RECORD * k, y, true);
    });
    return new Uint8Array(view.buffer);
  }

  // A walk of `count` records (65,535 for a full log) that wanders over a few degrees,
  // its minutes kept below 60.
  function walk(count) {
    return logBytes(count, Array.from({ length: count },
      (_, k) => [80000 + k, 4900 + (k % 5959) * 0.01 + (k % 7) * 0.0007, -1900 - (k % 4111) * 0.013]));
  }

  return { logBytes, walk };
}

const kmlLog = kmlLogLayout();
