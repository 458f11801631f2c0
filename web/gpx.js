// The route as GPX 1.1, for the apps that take GPX rather than KML (Garmin Connect, Strava,
// Komoot): made from the KML the program wrote, one track point a position, in order, each
// number spelt as the KML spells it, so that the two can never disagree. The log holds no
// date, so no point has a time.
'use strict';

const kmlGpx = (function () {
  // The GPX document, as bytes, of the KML `kml` (bytes).
  function fromKml(kml) {
    const text = new TextDecoder().decode(kml);
    const from = text.indexOf('<coordinates>') + '<coordinates>'.length;
    const points = text.slice(from, text.indexOf('</coordinates>', from)).split('\n')
      .map((line) => line.trim()).filter((line) => line !== '')
      .map((line) => {
        const [lon, lat] = line.split(',');
        return `      <trkpt lat="${lat}" lon="${lon}"/>\n`;
      });
    return new TextEncoder().encode('<?xml version="1.0" encoding="UTF-8"?>\n' +
      '<gpx version="1.1" creator="kml" xmlns="http://www.topografix.com/GPX/1/1">\n' +
      `  <trk>\n    <name>Trasa GPS</name>\n    <trkseg>\n${points.join('')}    </trkseg>\n  </trk>\n</gpx>\n`);
  }

  return { fromKml };
})();
