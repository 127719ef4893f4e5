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

const ready = init();

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
