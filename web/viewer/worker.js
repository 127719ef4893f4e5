// SPDX-License-Identifier: MIT
// The viewer's worker: reads the drawing with vexlith.wasm, keeps it and its
// scene, draws frames on an OffscreenCanvas and answers what is where, so
// that the page never waits on any of it. Only the newest frame asked for is
// drawn.
import { init, read, scene as sceneOf, VexlithError } from '../vexlith.js';
import { SceneView } from './draw.js';

let drawing = null;
let view = null; // the SceneView
let wanted = null; // the newest view asked for and not yet drawn
let busy = false;

// Before a file is chosen, a made-up drawing of the common kinds is read,
// laid out and drawn a few times, so that the browser has compiled the
// module's code for them (and optimised the busiest) by then.
async function warmUp() {
  const groups = ['0', 'SECTION', '2', 'ENTITIES'];
  for (let i = 0; i < 400; ++i) {
    groups.push('0', 'LINE', '8', 'A', '62', '1', '10', `${i}.5`, '20', '0', '11', `${i}`, '21', '10.25');
    groups.push('0', 'ARC', '8', 'B', '10', `${i}`, '20', '5', '40', '2.5', '50', '15', '51', '200');
    groups.push('0', 'TEXT', '8', 'C', '10', `${i}`, '20', '7', '40', '0.5', '1', `text ${i}`);
    groups.push('0', 'POLYLINE', '8', 'D', '66', '1', '70', '1');
    for (let k = 0; k < 8; ++k) groups.push('0', 'VERTEX', '8', 'D', '10', `${i + k}`, '20', `${k % 3}`, '42', k % 2 ? '0.5' : '0');
    groups.push('0', 'SEQEND', '0', 'SOLID', '8', 'E', '10', `${i}`, '20', '1', '11', `${i + 1}`, '21', '1', '12', `${i}`, '22', '2', '13', `${i + 1}`, '23', '2');
  }
  groups.push('0', 'ENDSEC', '0', 'EOF');
  const bytes = new TextEncoder().encode(groups.join('\n') + '\n');
  for (let round = 0; round < 3; ++round) {
    const made = await read(new Blob([bytes]));
    const warm = new SceneView(new OffscreenCanvas(1, 1), sceneOf(made));
    warm.draw({ width: 64, height: 64, scale: 0.1, x: 200, y: 5, line: 1, black: true });
    made.free();
  }
}

const ready = init().then(warmUp);

async function open({ file, name, options }) {
  drawing?.free();
  drawing = null;
  view = null;
  wanted = null;
  try {
    await ready;
    const started = performance.now();
    drawing = await read(file, {
      ...options,
      name,
      onProgress: (percent) => postMessage({ type: 'progress', percent }),
    });
    const readTime = performance.now() - started;
    const scene = sceneOf(drawing);
    view = new SceneView(new OffscreenCanvas(1, 1), scene);
    postMessage({
      type: 'opened',
      name,
      readTime,
      sceneTime: performance.now() - started - readTime,
      header: drawing.header,
      entities: drawing.entities.length,
      blocks: drawing.blocks.length,
      repairs: drawing.repairs,
      log: drawing.log,
      scene: {
        origin: scene.origin,
        view: scene.view,
        extents: scene.extents,
        layers: scene.layers,
        colors: scene.colors,
        warnings: scene.warnings,
        pieces: scene.paths.color.length + scene.dots.color.length + scene.texts.color.length,
      },
    });
  } catch (error) {
    postMessage({
      type: 'failed',
      name,
      message: error.message,
      reports: error instanceof VexlithError ? error.reports : [],
    });
  }
}

function drawNewest() {
  if (busy || !wanted || !view) return;
  busy = true;
  const asked = wanted;
  wanted = null;
  const started = performance.now();
  view.draw(asked);
  const bitmap = view.canvas.transferToImageBitmap();
  postMessage({ type: 'frame', view: { ...asked, hidden: undefined }, id: asked.id, time: performance.now() - started, bitmap }, [bitmap]);
  busy = false;
  // Messages that came meanwhile are handled first; then the newest view.
  setTimeout(drawNewest, 0);
}

onmessage = async ({ data }) => {
  switch (data.type) {
    case 'open':
      await open(data);
      break;
    case 'draw':
      wanted = data.view;
      setTimeout(drawNewest, 0);
      break;
    case 'pick': {
      const index = view ? view.pick(data.view, data.x, data.y) : -1;
      postMessage({ type: 'picked', index, record: index >= 0 ? drawing.entities.at(index) : null });
      break;
    }
  }
};
