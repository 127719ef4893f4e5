// SPDX-License-Identifier: MIT
// Draws a vexlith scene (vexlith.js scene()) on a 2-D canvas as `vexlith
// render` draws it in SVG: lines at least one pixel wide with round ends,
// wide polylines and fills in their width, line type patterns as dashes,
// circles and arcs as true curves, POINTs as dots, texts in DejaVu Sans
// scaled to their height (1.37 times it: a height in DXF measures the
// capitals). Paths of one look that follow each other are stroked together,
// in drawing units placed by the canvas's transform, so that the drawing
// order, which decides what covers what, is the renderer's.
//
// A view is { width, height } in canvas pixels, `scale` pixels per drawing
// unit, the drawing point (x, y), relative to the scene's origin, at the
// canvas's centre, `line` the thinnest line in pixels, `black` the
// background, and `hidden`: per layer index, 1 when it is not drawn.

const FONT_PER_HEIGHT = 1.37;
const FONT_SIZE = 100; // texts are set at this size and scaled by the transform
const CLOSED = 1;
const FILLED = 2;
const LABEL_FLOATS = 10;
const ARC_FLOATS = 7;

export function palette(colors, black) {
  const out = colors.length ? [...colors] : new Array(256).fill('#808080');
  out[0] = out[7] = black ? '#ffffff' : '#000000';
  return out;
}

// The view `vexlith render` frames (the scene's view box, whole) in a canvas
// of `width` x `height` pixels: a canvas of the picture's proportions shows
// the same picture.
export function fitView(scene, width, height) {
  const [minX, minY, maxX, maxY] = scene.view ?? [0, 0, 1, 1];
  let scale = width / (maxX - minX);
  if ((maxY - minY) * scale > height + 1) scale = height / (maxY - minY);
  return { scale, x: (minX + maxX) / 2 - scene.origin[0], y: (minY + maxY) / 2 - scene.origin[1] };
}

export function toCanvas(view, x, y) {
  return [(x - view.x) * view.scale + view.width / 2, (view.y - y) * view.scale + view.height / 2];
}

export function toDrawing(view, px, py) {
  return [(px - view.width / 2) / view.scale + view.x, view.y - (py - view.height / 2) / view.scale];
}

export class SceneView {
  constructor(canvas, scene) {
    this.canvas = canvas;
    this.context = canvas.getContext('2d');
    this.scene = scene;
    this.palettes = { true: palette(scene.colors.black, true), false: palette(scene.colors.white, false) };
    this.#index();
  }

  // Per path its box (arcs' whole circles in it) and its first arc; the runs
  // of paths of one look on one layer, which are stroked together: a layer
  // turned off leaves the others' runs as they were. The paths themselves
  // are laid out afresh at every frame, only those in view: a drawing's
  // Path2D objects would take as much memory again as its scene.
  #index() {
    const { paths, arcs } = this.scene;
    const count = paths.color.length;
    const boxes = new Float32Array(4 * count);
    const firstArc = new Uint32Array(count + 1);
    const runs = [];
    let arc = 0;
    for (let i = 0; i < count; ++i) {
      const start = paths.start[i];
      const end = paths.start[i + 1];
      while (arc < arcs.at.length && arcs.at[arc] <= start) ++arc;
      firstArc[i] = arc;
      let [minX, minY, maxX, maxY] = [Infinity, Infinity, -Infinity, -Infinity];
      for (let k = start; k < end; ++k) {
        const [x, y] = [paths.points[2 * k], paths.points[2 * k + 1]];
        [minX, minY, maxX, maxY] = [Math.min(minX, x), Math.min(minY, y), Math.max(maxX, x), Math.max(maxY, y)];
      }
      for (; arc < arcs.at.length && arcs.at[arc] < end; ++arc) {
        const e = arcs.ellipse.subarray(arc * ARC_FLOATS);
        const r = Math.max(e[2], e[3]);
        [minX, minY, maxX, maxY] = [Math.min(minX, e[0] - r), Math.min(minY, e[1] - r), Math.max(maxX, e[0] + r), Math.max(maxY, e[1] + r)];
      }
      boxes.set([minX, minY, maxX, maxY], 4 * i);
      const look = { color: paths.color[i], filled: !!(paths.flags[i] & FILLED), width: paths.width[i], dash: paths.dash[i], layer: paths.layer[i] };
      const last = runs.at(-1);
      if (last && last.color === look.color && last.filled === look.filled && last.width === look.width && last.dash === look.dash && last.layer === look.layer) {
        last.to = i + 1;
      } else {
        runs.push({ ...look, from: i, to: i + 1 });
      }
    }
    firstArc[count] = arc;
    Object.assign(this, { boxes, firstArc, runs });
  }

  // The paths of a run inside `seen` (minX, minY, maxX, maxY) on the context;
  // false when none is.
  #layOut(run, seen) {
    const { paths, arcs } = this.scene;
    const { boxes, firstArc, context } = this;
    const points = paths.points;
    const ellipse = arcs.ellipse;
    let any = false;
    context.beginPath();
    for (let i = run.from; i < run.to; ++i) {
      if (boxes[4 * i] > seen[2] || boxes[4 * i + 1] > seen[3] || boxes[4 * i + 2] < seen[0] || boxes[4 * i + 3] < seen[1]) continue;
      any = true;
      const start = paths.start[i];
      const end = paths.start[i + 1];
      let arc = firstArc[i];
      context.moveTo(points[2 * start], points[2 * start + 1]);
      for (let k = start + 1; k < end; ++k) {
        if (arc < firstArc[i + 1] && arcs.at[arc] === k) {
          const e = arc++ * ARC_FLOATS;
          const from = ellipse[e + 5];
          const sweep = ellipse[e + 6];
          context.ellipse(ellipse[e], ellipse[e + 1], ellipse[e + 2], ellipse[e + 3], ellipse[e + 4], from, from + sweep, sweep < 0);
        } else {
          context.lineTo(points[2 * k], points[2 * k + 1]);
        }
      }
      if (paths.flags[i] & CLOSED) context.closePath();
    }
    return any;
  }

  // A line type's pattern as a canvas dash array in drawing units: dashes
  // and gaps alternate, starting with a dash; a dot is a dash of no length,
  // which the round ends show. Solid when shorter than three lines.
  #dashes(index, view) {
    if (!index) return [];
    const { lengths, start } = this.scene.dashes;
    const out = [];
    let total = 0;
    for (let k = start[index - 1]; k < start[index]; ++k) {
      const gap = lengths[k] < 0;
      const length = Math.abs(lengths[k]);
      total += length;
      if (!out.length && gap) out.push(0);
      if (out.length && (out.length % 2 === 0) === gap) out[out.length - 1] += length;
      else out.push(length);
    }
    if (out.length % 2) out.push(0);
    return total * view.scale >= 3 * view.line && out.length >= 2 ? out : [];
  }

  draw(view) {
    const hidden = view.hidden ?? new Uint8Array(this.scene.layers.length);
    const canvas = this.canvas;
    if (canvas.width !== view.width || canvas.height !== view.height) {
      canvas.width = view.width;
      canvas.height = view.height;
    }
    const context = this.context;
    const colors = this.palettes[!!view.black];
    const { scale, line } = view;
    context.setTransform(1, 0, 0, 1, 0, 0);
    context.fillStyle = view.black ? '#000000' : '#ffffff';
    context.fillRect(0, 0, view.width, view.height);
    context.setTransform(scale, 0, 0, -scale, view.width / 2 - view.x * scale, view.height / 2 + view.y * scale);
    // What the canvas shows, in drawing units, with room for wide lines.
    const [left, top] = toDrawing(view, -8, -8);
    const [right, bottom] = toDrawing(view, view.width + 8, view.height + 8);
    const seen = [left, bottom, right, top];
    for (const run of this.runs) {
      if (hidden[run.layer]) continue;
      const grow = run.width / 2;
      if (!this.#layOut(run, grow ? [left - grow, bottom - grow, right + grow, top + grow] : seen)) continue;
      const color = colors[run.color];
      const wide = run.width > 0;
      context.strokeStyle = color;
      context.lineWidth = (wide ? Math.max(line, run.width * scale) : line) / scale;
      context.lineCap = wide ? 'butt' : 'round';
      context.lineJoin = wide ? 'miter' : 'round';
      context.setLineDash(run.filled ? [] : this.#dashes(run.dash, view));
      if (run.filled) {
        context.fillStyle = color;
        context.fill();
      }
      context.stroke();
    }
    context.setLineDash([]);
    context.setTransform(1, 0, 0, 1, 0, 0);
    this.#drawDots(view, colors, hidden);
    this.#drawTexts(view, colors, hidden);
  }

  #drawDots(view, colors, hidden) {
    const { dots } = this.scene;
    const context = this.context;
    for (let i = 0; i < dots.color.length; ++i) {
      if (hidden[dots.layer[i]]) continue;
      const [x, y] = toCanvas(view, dots.points[2 * i], dots.points[2 * i + 1]);
      if (x < -10 || y < -10 || x > view.width + 10 || y > view.height + 10) continue;
      context.fillStyle = colors[dots.color[i]];
      context.beginPath();
      context.arc(x, y, 1.5 * view.line, 0, 2 * Math.PI);
      context.fill();
    }
  }

  #drawTexts(view, colors, hidden) {
    const { texts } = this.scene;
    const context = this.context;
    const g = texts.geometry;
    const scale = view.scale;
    context.font = `${FONT_SIZE}px "DejaVu Sans", sans-serif`;
    context.textBaseline = 'alphabetic';
    for (let i = 0; i < texts.color.length; ++i) {
      if (hidden[texts.layer[i]]) continue;
      const at = i * LABEL_FLOATS;
      // The text's frame in pixels, x along the baseline and y down.
      const a = g[at + 2] * scale;
      const b = -g[at + 3] * scale;
      const c = -g[at + 4] * scale;
      const d = g[at + 5] * scale;
      const size = Math.sqrt(Math.abs(a * d - b * c));
      // Text of less than half a pixel shows as nothing worth the time.
      if (!(FONT_PER_HEIGHT * size >= 0.5) || !(size < 1e7)) continue;
      const [x, y] = toCanvas(view, g[at], g[at + 1]);
      const reach = (g[at + 9] + 1.5) * size;
      if (x < -reach || y < -reach || x > view.width + reach || y > view.height + reach) continue;
      const k = (FONT_PER_HEIGHT * size) / FONT_SIZE;
      context.setTransform((a / size) * k, (b / size) * k, (c / size) * k, (d / size) * k, x, y);
      const align = texts.align[i];
      context.textAlign = align === 1 ? 'center' : align === 2 ? 'right' : 'left';
      context.fillStyle = colors[texts.color[i]];
      const text = texts.strings[i];
      const fit = g[at + 8];
      if (fit > 0) {
        // Stretched or squeezed to its length, as SVG's textLength does.
        const measured = context.measureText(text).width;
        if (measured > 0) context.transform((fit * FONT_SIZE) / FONT_PER_HEIGHT / measured, 0, 0, 1, 0, 0);
      }
      context.fillText(text, 0, 0);
    }
    context.setTransform(1, 0, 0, 1, 0, 0);
  }

  // The index of the entity drawn nearest the canvas pixel (px, py), within
  // `reach` pixels, the last drawn first; -1 when none.
  pick(view, px, py, reach = 5) {
    const hidden = view.hidden ?? new Uint8Array(this.scene.layers.length);
    const [x, y] = toDrawing(view, px, py);
    const near = reach / view.scale;
    const { texts, dots, paths, arcs, noEntity } = this.scene;
    const g = texts.geometry;
    for (let i = texts.color.length - 1; i >= 0; --i) {
      if (hidden[texts.layer[i]] || texts.entity[i] === noEntity) continue;
      const at = i * LABEL_FLOATS;
      const [ux, uy, vx, vy] = [g[at + 2], g[at + 3], g[at + 4], g[at + 5]];
      const det = ux * vy - uy * vx;
      if (!det) continue;
      const dx = x - g[at];
      const dy = y - g[at + 1];
      const u = (dx * vy - dy * vx) / det;
      const v = (ux * dy - uy * dx) / det;
      const length = g[at + 9];
      const from = texts.align[i] === 1 ? -length / 2 : texts.align[i] === 2 ? -length : 0;
      if (u >= from && u <= from + length && v >= -0.3 && v <= 1) return texts.entity[i];
    }
    for (let i = dots.color.length - 1; i >= 0; --i) {
      if (hidden[dots.layer[i]] || dots.entity[i] === noEntity) continue;
      if (Math.hypot(dots.points[2 * i] - x, dots.points[2 * i + 1] - y) <= near) return dots.entity[i];
    }
    const p = paths.points;
    let arc = arcs.at.length - 1;
    for (let i = paths.color.length - 1; i >= 0; --i) {
      const start = paths.start[i];
      const end = paths.start[i + 1];
      const first = arc;
      while (arc >= 0 && arcs.at[arc] >= start) --arc;
      if (hidden[paths.layer[i]] || paths.entity[i] === noEntity) continue;
      const width = Math.max(near, paths.width[i] / 2);
      if (paths.flags[i] & FILLED && inside(p, start, end, x, y)) return paths.entity[i];
      let a = arc + 1;
      const closing = paths.flags[i] & CLOSED ? 1 : 0;
      for (let k = start + 1; k < end + closing; ++k) {
        const to = k < end ? k : start;
        const distance =
          a <= first && arcs.at[a] === k
            ? arcDistance(arcs.ellipse, a++ * ARC_FLOATS, x, y)
            : segmentDistance(p[2 * k - 2], p[2 * k - 1], p[2 * to], p[2 * to + 1], x, y);
        if (distance <= width) return paths.entity[i];
      }
    }
    return -1;
  }
}

function segmentDistance(ax, ay, bx, by, x, y) {
  const dx = bx - ax;
  const dy = by - ay;
  const length = dx * dx + dy * dy;
  const t = length > 0 ? Math.max(0, Math.min(1, ((x - ax) * dx + (y - ay) * dy) / length)) : 0;
  return Math.hypot(ax + t * dx - x, ay + t * dy - y);
}

// The distance to an arc, from 64 chords of it.
function arcDistance(e, at, x, y) {
  const [cx, cy, rx, ry, rotation, from, sweep] = e.subarray(at, at + ARC_FLOATS);
  const cos = Math.cos(rotation);
  const sin = Math.sin(rotation);
  const point = (t) => [cx + rx * Math.cos(t) * cos - ry * Math.sin(t) * sin, cy + rx * Math.cos(t) * sin + ry * Math.sin(t) * cos];
  let best = Infinity;
  let [px, py] = point(from);
  for (let step = 1; step <= 64; ++step) {
    const [qx, qy] = point(from + (sweep * step) / 64);
    best = Math.min(best, segmentDistance(px, py, qx, qy, x, y));
    [px, py] = [qx, qy];
  }
  return best;
}

// Whether (x, y) is inside the polygon of points start to end (nonzero).
function inside(p, start, end, x, y) {
  let winding = 0;
  for (let k = start; k < end; ++k) {
    const next = k + 1 < end ? k + 1 : start;
    const [ax, ay, bx, by] = [p[2 * k], p[2 * k + 1], p[2 * next], p[2 * next + 1]];
    const side = (bx - ax) * (y - ay) - (x - ax) * (by - ay);
    if (ay <= y && by > y && side > 0) ++winding;
    else if (ay > y && by <= y && side < 0) --winding;
  }
  return winding !== 0;
}
