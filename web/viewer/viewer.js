// SPDX-License-Identifier: MIT
// The viewer page: opens a drawing (file picker, drag and drop, ?url=),
// hands it to the worker, shows its frames, and moves the view with the
// wheel (zoom around the pointer), dragging (pan) and F (fit). Between two
// frames of the worker the last one is shown moved and scaled to the view,
// so that panning and zooming never wait on drawing.
//
// ?canvas=WxH fixes the canvas's size in pixels; ?background=white.
import { fitView, palette, toDrawing } from './draw.js';

const $ = (id) => document.getElementById(id);
const canvas = $('canvas');
const context = canvas.getContext('2d');
const worker = new Worker(new URL('./worker.js', import.meta.url), { type: 'module' });
const parameters = new URLSearchParams(location.search);

const state = {
  file: null, // what was opened, to open again recovering
  name: '',
  scene: null, // what the worker told of the scene
  view: null, // scale, x, y (drawing units relative to the scene's origin)
  hidden: null,
  frame: null, // the newest frame: { bitmap, view, id }
  asked: 0, // the id of the newest view asked for
  dirty: false,
  timings: {},
};
// For tests and benchmarks: the state of the page and when things happened.
window.vexlithViewer = state;

$('white').checked = parameters.get('background') === 'white';
const fixed = /^(\d+)x(\d+)$/.exec(parameters.get('canvas') ?? '');
if (fixed) {
  document.body.classList.add('fixed');
  canvas.style.width = `${fixed[1]}px`;
  canvas.style.height = `${fixed[2]}px`;
}

function setState(value) {
  document.body.dataset.state = value;
}

function status(text) {
  $('status').textContent = text;
}

// ---------------------------------------------------------------------------
// Opening

function open(file, name) {
  state.timings = { chosen: performance.now() };
  state.file = file;
  state.name = name;
  state.scene = null;
  state.frame = null;
  $('record').hidden = true;
  $('messages').hidden = true;
  $('layers').replaceChildren();
  $('progress').hidden = false;
  $('progress').value = 0;
  status(`Reading ${name}…`);
  setState('reading');
  worker.postMessage({ type: 'open', file, name, options: { recover: $('recover').checked } });
}

async function openUrl(url) {
  const name = decodeURIComponent(new URL(url, location.href).pathname.split('/').pop() || url);
  status(`Fetching ${name}…`);
  try {
    const response = await fetch(url);
    if (!response.ok) throw new Error(`${response.status} ${response.statusText}`);
    open(await response.blob(), name);
  } catch (error) {
    showMessages('failed', `${name} could not be fetched`, [String(error.message ?? error)]);
    setState('failed');
  }
}

$('file').addEventListener('change', () => {
  const file = $('file').files[0];
  if (file) open(file, file.name);
  $('file').value = '';
});
$('recover').addEventListener('change', () => {
  if (state.file && $('recover').checked) open(state.file, state.name);
});
addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dragging');
});
addEventListener('dragleave', () => document.body.classList.remove('dragging'));
addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dragging');
  const file = event.dataTransfer.files[0];
  if (file) open(file, file.name);
});

function showMessages(kind, title, lines) {
  $('messages').hidden = false;
  $('messages').className = kind;
  $('messages-title').textContent = title;
  $('message-list').replaceChildren(
    ...lines.map((line) => {
      const item = document.createElement('li');
      item.textContent = line;
      return item;
    }),
  );
}

function opened(message) {
  state.timings.opened = performance.now();
  state.scene = message.scene;
  state.hidden = new Uint8Array(message.scene.layers.length);
  $('progress').hidden = true;
  const version = message.header?.acadver ?? 'no header';
  status(
    `${message.name}: ${version}, ${message.entities} entities, ${message.blocks} blocks; ` +
      `read in ${Math.round(message.readTime)} ms, scene in ${Math.round(message.sceneTime)} ms`,
  );
  const lines = [];
  for (const repair of message.repairs) {
    const where = repair.line ? `line ${repair.line}` : `byte ${repair.offset}`;
    const times = repair.count > 1 ? ` (${repair.count} times)` : '';
    lines.push(`${where}: ${repair.action}: ${repair.message}${times}${repair.found ? ` [${repair.found}]` : ''}`);
  }
  if (lines.length) showMessages('repairs', `Recovered: ${lines.length} repairs`, lines);
  else if (message.scene.warnings.length || message.log.length) {
    showMessages('notes', 'Notes', [...message.scene.warnings, ...message.log]);
  }
  fillLayers();
  setState('opened');
  fit();
}

function failed(message) {
  $('progress').hidden = true;
  status(`${message.name} does not read as a DXF drawing.`);
  const lines = message.reports.length
    ? message.reports.map((report) => `${report.function}: ${report.message}`)
    : [message.message];
  showMessages('failed', 'The file does not read', lines);
  context.clearRect(0, 0, canvas.width, canvas.height);
  setState('failed');
}

// ---------------------------------------------------------------------------
// Layers

function fillLayers() {
  const colors = palette(state.scene.colors[$('white').checked ? 'white' : 'black'], !$('white').checked);
  const rows = state.scene.layers.map((layer, index) => {
    const row = document.createElement('tr');
    const toggle = document.createElement('input');
    toggle.type = 'checkbox';
    toggle.checked = !state.hidden[index];
    toggle.dataset.layer = layer.name;
    toggle.addEventListener('change', () => {
      state.hidden[index] = toggle.checked ? 0 : 1;
      requestFrame();
    });
    const swatch = document.createElement('span');
    swatch.className = 'swatch';
    swatch.style.background = colors[layer.color >= 1 && layer.color <= 255 ? layer.color : 7];
    const name = document.createElement('td');
    name.className = 'name';
    name.textContent = layer.name + (layer.off ? ' (off)' : '') + (layer.frozen ? ' (frozen)' : '');
    name.title = name.textContent;
    const count = document.createElement('td');
    count.className = 'count';
    count.textContent = layer.entities;
    const cells = [toggle, swatch].map((child) => {
      const cell = document.createElement('td');
      cell.append(child);
      return cell;
    });
    row.append(cells[0], cells[1], name, count);
    return row;
  });
  $('layers').replaceChildren(...rows);
}

$('white').addEventListener('change', () => {
  if (!state.scene) return;
  fillLayers();
  requestFrame();
});

// ---------------------------------------------------------------------------
// The view and the frames

function canvasSize() {
  const ratio = devicePixelRatio || 1;
  const box = canvas.getBoundingClientRect();
  return { width: Math.max(1, Math.round(box.width * ratio)), height: Math.max(1, Math.round(box.height * ratio)), ratio };
}

function currentView() {
  const { width, height, ratio } = canvasSize();
  return { ...state.view, width, height, line: Math.max(1, ratio), black: !$('white').checked, hidden: state.hidden };
}

function fit() {
  if (!state.scene) return;
  const { width, height } = canvasSize();
  state.view = fitView(state.scene, width, height);
  requestFrame();
}

function requestFrame() {
  if (!state.scene) return;
  const view = currentView();
  view.id = ++state.asked;
  worker.postMessage({ type: 'draw', view });
  setState('drawing');
  state.dirty = true;
  requestAnimationFrame(paint);
}

// The newest frame, placed where its view puts it in the current one.
function paint() {
  if (!state.dirty) return;
  state.dirty = false;
  const view = currentView();
  if (canvas.width !== view.width || canvas.height !== view.height) {
    canvas.width = view.width;
    canvas.height = view.height;
  }
  context.setTransform(1, 0, 0, 1, 0, 0);
  context.fillStyle = view.black ? '#000000' : '#ffffff';
  context.fillRect(0, 0, canvas.width, canvas.height);
  const frame = state.frame;
  if (!frame) return;
  const ratio = view.scale / frame.view.scale;
  const [x, y] = toDrawing(frame.view, 0, 0);
  const left = (x - view.x) * view.scale + view.width / 2;
  const top = (view.y - y) * view.scale + view.height / 2;
  context.imageSmoothingEnabled = ratio !== 1;
  context.drawImage(frame.bitmap, left, top, frame.bitmap.width * ratio, frame.bitmap.height * ratio);
}

function framed(message) {
  state.frame?.bitmap.close();
  state.frame = message;
  state.dirty = true;
  requestAnimationFrame(() => {
    paint();
    if (message.id === state.asked) {
      if (!state.timings.firstFrame) state.timings.firstFrame = performance.now();
      state.timings.lastFrame = message.time;
      setState('ready');
    } else {
      setState('drawing');
    }
  });
}

new ResizeObserver(() => {
  if (state.scene && state.view) requestFrame();
}).observe(canvas);

// Wheel zoom around the pointer, drag to pan, click to pick.
canvas.addEventListener(
  'wheel',
  (event) => {
    if (!state.view) return;
    event.preventDefault();
    const ratio = devicePixelRatio || 1;
    const delta = event.deltaMode === 1 ? event.deltaY * 33 : event.deltaY;
    zoomAt(Math.exp(-delta * 0.0015), event.offsetX * ratio, event.offsetY * ratio);
  },
  { passive: false },
);

function zoomAt(factor, px, py) {
  const view = currentView();
  const [x, y] = toDrawing(view, px, py);
  view.scale *= factor;
  const [nx, ny] = toDrawing(view, px, py);
  state.view = { scale: view.scale, x: view.x + x - nx, y: view.y + y - ny };
  requestFrame();
}

let press = null;
canvas.addEventListener('pointerdown', (event) => {
  if (!state.view) return;
  try {
    canvas.setPointerCapture(event.pointerId);
  } catch {
    // a pointer the browser does not know (a synthetic event)
  }
  press = { x: event.offsetX, y: event.offsetY, moved: false };
});
canvas.addEventListener('pointermove', (event) => {
  if (!press) return;
  const dx = event.offsetX - press.x;
  const dy = event.offsetY - press.y;
  if (!press.moved && Math.hypot(dx, dy) < 3) return;
  press.moved = true;
  const ratio = devicePixelRatio || 1;
  state.view = { ...state.view, x: state.view.x - (dx * ratio) / state.view.scale, y: state.view.y + (dy * ratio) / state.view.scale };
  press.x = event.offsetX;
  press.y = event.offsetY;
  requestFrame();
});
canvas.addEventListener('pointerup', (event) => {
  if (press && !press.moved) pick(event.offsetX, event.offsetY);
  press = null;
});

addEventListener('keydown', (event) => {
  if (event.target instanceof HTMLInputElement && event.target.type !== 'checkbox') return;
  const { width, height } = canvasSize();
  if (event.key === 'f' || event.key === 'F') fit();
  else if (event.key === '+' || event.key === '=') zoomAt(1.25, width / 2, height / 2);
  else if (event.key === '-') zoomAt(0.8, width / 2, height / 2);
});
$('fit').addEventListener('click', fit);

// ---------------------------------------------------------------------------
// The record of a clicked entity

function pick(x, y) {
  const ratio = devicePixelRatio || 1;
  worker.postMessage({ type: 'pick', view: currentView(), x: x * ratio, y: y * ratio });
}

function picked({ index, record }) {
  if (index < 0 || !record) {
    $('record').hidden = true;
    return;
  }
  $('record').hidden = false;
  const summary = [
    ['kind', record.type],
    ['layer', record.layerName ?? '0'],
    ['handle', record.handle ?? '(none)'],
    ['index', index],
  ];
  $('record-summary').replaceChildren(
    ...summary.flatMap(([term, value]) => {
      const dt = document.createElement('dt');
      dt.textContent = term;
      const dd = document.createElement('dd');
      dd.textContent = value;
      dd.dataset.member = term;
      return [dt, dd];
    }),
  );
  $('record-members').textContent = JSON.stringify(record, null, 1);
}

worker.onmessage = ({ data }) => {
  switch (data.type) {
    case 'progress':
      $('progress').value = data.percent;
      break;
    case 'opened':
      opened(data);
      break;
    case 'failed':
      failed(data);
      break;
    case 'frame':
      framed(data);
      break;
    case 'picked':
      picked(data);
      break;
  }
};

const url = parameters.get('url');
if (url) openUrl(url);
