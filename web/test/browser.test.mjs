// SPDX-License-Identifier: MIT
// The viewer page in Debian's Chromium, headless: three drawings (R12 ASCII,
// modern with hatches and MTEXT, binary) look as `vexlith render` draws them
// in PNG; a layer toggled off takes its pixels away; a click on an entity
// shows its handle; a damaged file and a file that is not DXF show the
// report chain the tool prints for them.
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { createReadStream, mkdtempSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { extname, join, resolve } from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';

import pixelmatch from 'pixelmatch';
import { chromium } from 'playwright-core';
import { PNG } from 'pngjs';

import { read, scene } from '../vexlith.js';
import { SceneView, toCanvas } from '../viewer/draw.js';

const web = resolve(fileURLToPath(import.meta.url), '../..');
const root = resolve(web, '..');
const tool = process.env.VEXLITH_TOOL ?? join(root, 'build/release/tools/vexlith');
const corpus = resolve(root, process.env.VEXLITH_CORPUS_DIR ?? '../shared/corpus');
const DRAWINGS = [
  'ascii-r12/acadsharp_sample_AC1009_ascii.dxf',
  'ascii-modern/jsdxf_Ceco.NET-Architecture-Tm-53.dxf',
  'binary/libredwg_example_2018.dxfb',
];
// pixelmatch's colour threshold, and the share of pixels that may differ:
// what differs is where Chromium and librsvg set the glyphs of small texts
// and round the ends of lines (at most 0.2% of the pixels here).
const THRESHOLD = 0.2;
const MAX_DIFFERING = 0.005;

const scratch = mkdtempSync(join(tmpdir(), 'vexlith-browser-'));
let server;
let browser;
let page;
let base;

before(async () => {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
  server = createServer((request, response) => {
    let path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    if (path.endsWith('/')) path += 'index.html';
    const file = path.startsWith('/corpus/') ? join(corpus, path.slice(8)) : join(web, path);
    try {
      if (!statSync(file).isFile()) throw new Error('not a file');
      response.writeHead(200, { 'content-type': types[extname(file)] ?? 'application/octet-stream' });
      createReadStream(file).pipe(response);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  base = `http://127.0.0.1:${server.address().port}`;
  browser = await chromium.launchPersistentContext(join(scratch, 'profile'), {
    executablePath: process.env.VEXLITH_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    viewport: { width: 1400, height: 1600 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  page = await browser.newPage();
  page.on('pageerror', (error) => assert.fail(`page error: ${error.message}`));
});

after(async () => {
  await browser?.close();
  server?.close();
  rmSync(scratch, { recursive: true, force: true });
});

// The canvas as shown, `width` x `height` pixels.
async function shot(width, height) {
  const box = await page.locator('#canvas').boundingBox();
  return PNG.sync.read(await page.screenshot({ clip: { x: box.x, y: box.y, width, height } }));
}

async function openUrl(file, width, height, extra = '') {
  await page.goto(`${base}/viewer/?url=/corpus/${file}&canvas=${width}x${height}${extra}`);
  await page.waitForSelector('body[data-state=ready]', { timeout: 120000 });
}

// The tool's report chain, without the hint it adds of its own.
function reportChain(stderr) {
  return stderr.trim().split('\n').filter((line) => !line.includes(' may be damaged: --recover'));
}

async function ready() {
  await page.waitForFunction(() => document.body.dataset.state === 'ready' && window.vexlithViewer.asked > 0);
}

test('the page draws three drawings as vexlith render does', async () => {
  for (const file of DRAWINGS) {
    const expected = join(scratch, 'expected.png');
    execFileSync(tool, ['render', join(corpus, file), expected], { stdio: 'ignore' });
    const picture = PNG.sync.read(readFileSync(expected));
    await openUrl(file, picture.width, picture.height);
    const shown = await shot(picture.width, picture.height);
    const differing = pixelmatch(shown.data, picture.data, null, picture.width, picture.height, { threshold: THRESHOLD });
    assert.ok(differing <= MAX_DIFFERING * picture.width * picture.height, `${file}: ${differing} pixels differ`);
  }
});

test('a layer toggled off takes its pixels away and no others', async () => {
  const file = DRAWINGS[1];
  const drawn = scene(await read(readFileSync(join(corpus, file))));
  // The layer with the most pieces in colours of its own.
  const colors = drawn.layers.map(() => new Set());
  drawn.paths.layer.forEach((layer, i) => colors[layer].add(drawn.paths.color[i]));
  const owners = (color) => colors.filter((set) => set.has(color)).length;
  const counts = drawn.layers.map((_, i) => drawn.paths.layer.filter((layer) => layer === i).length);
  const layer = counts.reduce((best, count, i) => ([...colors[i]].every((c) => owners(c) === 1) && count > (counts[best] ?? 0) ? i : best), -1);
  assert.ok(layer >= 0);
  const rgb = drawn.colors.black[[...colors[layer]][0]].match(/\w\w/g).map((hex) => parseInt(hex, 16));

  await openUrl(file, 1000, 774);
  const before = await shot(1000, 774);
  const toggles = page.locator('#layers input');
  const toggle = page.locator(`#layers input[data-layer="${drawn.layers[layer].name}"]`);
  await toggle.uncheck();
  await ready();
  const after = await shot(1000, 774);
  // Where the layer draws: the picture of it alone, each pixel and its neighbours.
  for (let i = 0; i < (await toggles.count()); ++i) await toggles.nth(i).setChecked(false);
  await toggle.check();
  await ready();
  const alone = await shot(1000, 774);
  const mask = new Uint8Array(1000 * 774);
  for (let i = 0; i < mask.length; ++i) {
    if (![0, 1, 2].some((c) => alone.data[4 * i + c])) continue;
    const [x, y] = [i % 1000, Math.floor(i / 1000)];
    for (let dy = -1; dy <= 1; ++dy) for (let dx = -1; dx <= 1; ++dx) mask[(y + dy) * 1000 + x + dx] = 1;
  }
  const near = (image, at) => Math.hypot(...rgb.map((value, c) => image.data[at + c] - value)) < 30;
  let [layerPixels, left, changedElsewhere] = [0, 0, 0];
  for (let i = 0; i < mask.length; ++i) {
    layerPixels += near(before, 4 * i);
    left += near(after, 4 * i);
    changedElsewhere += !mask[i] && [0, 1, 2].some((c) => before.data[4 * i + c] !== after.data[4 * i + c]);
  }
  assert.ok(layerPixels > 1000, `${layerPixels} pixels of the layer`);
  assert.ok(left < layerPixels / 100, `${left} of ${layerPixels} pixels left`);
  assert.equal(changedElsewhere, 0);
});

test('a click on an entity shows its record and handle', async () => {
  const file = DRAWINGS[0];
  const drawing = await read(readFileSync(join(corpus, file)));
  const drawn = scene(drawing);
  const view = { width: 1000, height: 410, line: 1, ...(await (async () => {
    await openUrl(file, 1000, 410);
    return page.evaluate(() => window.vexlithViewer.view);
  })()) };
  // A LINE of ENTITIES that is the piece found at its middle.
  const finder = new SceneView({ getContext: () => null }, drawn);
  let target = null;
  for (const [index, entity] of [...drawing.entities].entries()) {
    if (entity.type !== 'LINE' || !entity.handle) continue;
    const { start, end } = entity.data;
    const [x, y] = toCanvas(view, (start[0] + end[0]) / 2 - drawn.origin[0], (start[1] + end[1]) / 2 - drawn.origin[1]);
    if (x > 5 && y > 5 && x < 995 && y < 405 && finder.pick(view, x, y) === index) {
      target = { x, y, handle: entity.handle };
      break;
    }
  }
  assert.ok(target);
  const box = await page.locator('#canvas').boundingBox();
  await page.mouse.click(box.x + target.x, box.y + target.y);
  await page.waitForSelector('#record:not([hidden])');
  assert.equal(await page.textContent('#record dd[data-member=handle]'), target.handle);
  assert.equal(await page.textContent('#record dd[data-member=kind]'), 'LINE');
  assert.equal(JSON.parse(await page.textContent('#record-members')).handle, target.handle);
});

test('a damaged file and one that is not DXF show the report chain of the tool', async () => {
  const damaged = readFileSync(join(root, 'examples/house.dxf')).subarray(0, 700);
  for (const [name, bytes] of [['damaged.dxf', damaged], ['notes.txt', Buffer.from('not a drawing\n')]]) {
    writeFileSync(join(scratch, name), bytes);
    const dumped = spawnSync(tool, ['dump', name], { cwd: scratch, encoding: 'utf8' });
    assert.notEqual(dumped.status, 0);
    await page.goto(`${base}/viewer/`);
    await page.setInputFiles('#file', { name, mimeType: 'application/octet-stream', buffer: bytes });
    await page.waitForSelector('body[data-state=failed]');
    const shown = await page.$$eval('#message-list li', (items) => items.map((item) => item.textContent));
    assert.deepEqual(shown, reportChain(dumped.stderr));
  }
});
