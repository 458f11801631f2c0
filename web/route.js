// The route as the page shows it: measured (its extent, and its length in kilometres) and
// drawn into the page's SVG, from the positions on the Earth that the program handed over
// ([longitude, latitude, ...], as the KML has them).
'use strict';

const kmlRoute = (function () {
  const EARTH_RADIUS_KM = 6371.0088;
  const WIDTH = 1000;  // the drawing, in its own units (the SVG's viewBox)
  const HEIGHT = 600;
  const MARGIN = 30;
  const SVG = 'http://www.w3.org/2000/svg';

  function radians(degrees) {
    return degrees * Math.PI / 180;
  }

  // The extent of the positions, and their length along the line. A step is measured on
  // the great circle (haversine); one of less than 0.001 radians (6 km), as a logger's
  // steps are, as on a flat map, which is then as exact to a part in ten million and much
  // quicker.
  function measure(points) {
    const extent = { north: -90, south: 90, east: -180, west: 180 };
    let length = 0;
    let cosLast = 0;
    for (let k = 0; k + 1 < points.length; k += 2) {
      const [lon, lat] = [points[k], points[k + 1]];
      const cos = Math.cos(radians(lat));
      if (k > 0) {
        const [north, east] = [radians(lat - points[k - 1]), radians(lon - points[k - 2])];
        if (Math.abs(north) < 1e-3 && Math.abs(east) < 1e-3) {
          const across = east * (cos + cosLast) / 2;
          length += EARTH_RADIUS_KM * Math.sqrt(north * north + across * across);
        } else {
          const a = Math.sin(north / 2) ** 2 + cosLast * cos * Math.sin(east / 2) ** 2;
          length += 2 * EARTH_RADIUS_KM * Math.asin(Math.min(1, Math.sqrt(a)));
        }
      }
      cosLast = cos;
      extent.north = Math.max(extent.north, lat);
      extent.south = Math.min(extent.south, lat);
      extent.east = Math.max(extent.east, lon);
      extent.west = Math.min(extent.west, lon);
    }
    return { extent, length };
  }

  function element(name, attributes) {
    const made = document.createElementNS(SVG, name);
    for (const [key, value] of Object.entries(attributes)) {
      made.setAttribute(key, value);
    }
    return made;
  }

  // A scale bar at the bottom left, of a round length (1, 2 or 5 times a power of ten, in
  // m or km) that fits a quarter of the drawing, `unitsPerKm` long a kilometre; and a north
  // mark at the top right. With no map under the route, these are what it is read by.
  function scaleAndNorth(unitsPerKm) {
    let km = 10 ** Math.floor(Math.log10(WIDTH / 4 / unitsPerKm));
    km *= WIDTH / 4 / unitsPerKm >= 5 * km ? 5 : WIDTH / 4 / unitsPerKm >= 2 * km ? 2 : 1;
    const [x, y, length] = [MARGIN, HEIGHT - 12, km * unitsPerKm];
    const label = km >= 1 ? `${km} km` : `${Math.round(km * 1000)} m`;
    const scale = element('g', { class: 'scale' });
    scale.append(element('path', { d: `M${x},${y - 6}v6h${length}v-6` }),
      Object.assign(element('text', { x: x + length / 2, y: y - 10, 'text-anchor': 'middle' }), { textContent: label }));
    const north = element('g', { class: 'north' });
    north.append(element('path', { d: `M${WIDTH - MARGIN},12l-9,24h18z` }),
      Object.assign(element('text', { x: WIDTH - MARGIN, y: 56, 'text-anchor': 'middle' }), { textContent: 'N' }));
    return [scale, north];
  }

  // Draws the positions into `svg` to fit, longitude scaled by the cosine of the mean
  // latitude so that shapes, and the scale bar, are true there (an equirectangular
  // projection), the start and end marked; a point within a unit (less than a pixel) of
  // the last one drawn adds nothing.
  function draw(svg, points, extent) {
    let meanLatitude = 0;
    for (let k = 1; k < points.length; k += 2) {
      meanLatitude += points[k];
    }
    meanLatitude /= points.length / 2;
    const xScale = Math.max(Math.abs(Math.cos(radians(Math.max(-89, Math.min(89, meanLatitude))))), 0.01);
    const width = (extent.east - extent.west) * xScale;
    const height = extent.north - extent.south;
    const scale = Math.min((WIDTH - 2 * MARGIN) / (width || 1), (HEIGHT - 2 * MARGIN) / (height || 1));
    // x = left + longitude * across, y = top - latitude * down, in drawing units.
    const across = xScale * scale;
    const left = WIDTH / 2 - width * scale / 2 - extent.west * across;
    const top = HEIGHT / 2 + height * scale / 2 + extent.south * scale;
    let drawn = '';
    let [lastX, lastY] = [Infinity, Infinity];
    const last = points.length - 2;
    for (let k = 0; k <= last; k += 2) {
      const x = left + points[k] * across;
      const y = top - points[k + 1] * scale;
      if (Math.abs(x - lastX) >= 1 || Math.abs(y - lastY) >= 1 || k === last) {
        drawn += `${Math.round(x * 10) / 10},${Math.round(y * 10) / 10} `;
        [lastX, lastY] = [x, y];
      }
    }
    // The end is a ring around the last position and the start a dot drawn over it, so
    // that both are seen where a walk ends where it began.
    const at = (k, r) => ({ cx: left + points[k] * across, cy: top - points[k + 1] * scale, r });
    svg.append(element('polyline', { points: drawn.trimEnd(), class: 'line' }),
      element('circle', { ...at(last, 9), class: 'end' }),
      element('circle', { ...at(0, 5), class: 'start' }),
      ...scaleAndNorth(scale / radians(EARTH_RADIUS_KM)));
  }

  return { measure, draw };
})();
