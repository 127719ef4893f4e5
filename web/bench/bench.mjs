// SPDX-License-Identifier: MIT
// The viewer against its peers in the same headless Chromium (Debian's
// /usr/bin/chromium through playwright-core), on R12 drawings written by
// bench/make_drawing.py: the time from choosing the file to the first
// complete frame and the browser's peak memory above what it held before,
// for the vexlith viewer, dxf-viewer (npm) and dxf-parser's parse alone;
// then, on the first size, the frames per second while panning and zooming
// and how long the worker takes for a full frame. A benchmark, not a test:
//
//   cd web/bench && npm ci && node bench.mjs [--sizes 10,100] [--subjects vexlith,dxf-viewer,dxf-parser]
import { execFileSync } from 'node:child_process';
import { createReadStream, mkdtempSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { extname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

import { chromium } from '../node_modules/playwright-core/index.mjs';

const bench = resolve(fileURLToPath(import.meta.url), '..');
const web = resolve(bench, '..');
const root = resolve(web, '..');
const { values } = parseArgs({
  options: {
    sizes: { type: 'string', default: '10,100' },
    subjects: { type: 'string', default: 'vexlith,dxf-viewer,dxf-parser' },
    timeout: { type: 'string', default: '600' },
  },
});
const sizes = values.sizes.split(',').map(Number);
const subjects = values.subjects.split(',');
const timeout = Number(values.timeout) * 1000;
const scratch = mkdtempSync(join(tmpdir(), 'vexlith-bench-'));

const types = { '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
const server = createServer((request, response) => {
  let path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
  if (path.endsWith('/')) path += 'index.html';
  const file = path.startsWith('/fonts/') ? join('/usr/share/fonts/truetype/dejavu', path.slice(7)) : join(web, path);
  try {
    if (!statSync(file).isFile()) throw new Error('not a file');
    response.writeHead(200, { 'content-type': types[extname(file)] ?? 'application/octet-stream' });
    createReadStream(file).pipe(response);
  } catch {
    response.writeHead(404).end();
  }
});
await new Promise((done) => server.listen(0, '127.0.0.1', done));
const base = `http://127.0.0.1:${server.address().port}`;

// The processes of the browser started with `profile`: the browser and all
// its descendants (renderers with their workers, the GPU process, utilities).
function browserProcesses(profile) {
  const parents = new Map();
  let main = null;
  for (const entry of readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const stat = readFileSync(`/proc/${entry}/stat`, 'utf8');
      parents.set(Number(entry), Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]));
      if (!main && readFileSync(`/proc/${entry}/cmdline`, 'utf8').includes(`--user-data-dir=${profile}`)) main = Number(entry);
    } catch {
      // gone meanwhile
    }
  }
  const found = new Set(main ? [main] : []);
  for (let grown = true; grown; ) {
    grown = false;
    for (const [pid, parent] of parents) {
      if (found.has(parent) && !found.has(pid)) {
        found.add(pid);
        grown = true;
      }
    }
  }
  return [...found];
}

function kilobytes(pid, field) {
  try {
    return Number(new RegExp(`${field}:\\s+(\\d+)`).exec(readFileSync(`/proc/${pid}/status`, 'utf8'))[1]);
  } catch {
    return 0;
  }
}

async function measure(subject, file) {
  const profile = join(scratch, `profile-${subject}-${Date.now()}`);
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.VEXLITH_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    viewport: { width: 1400, height: 1000 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  try {
    const page = await context.newPage();
    const url = subject === 'vexlith' ? `${base}/viewer/` : `${base}/bench/peer.html?peer=${subject}`;
    await page.goto(url);
    await page.waitForTimeout(1500); // the module compiled, the page idle
    const processes = browserProcesses(profile);
    const before = new Map(processes.map((pid) => [pid, kilobytes(pid, 'VmRSS')]));
    for (const pid of processes) {
      try {
        writeFileSync(`/proc/${pid}/clear_refs`, '5'); // the peak starts again from now
      } catch {
        // gone meanwhile
      }
    }
    await page.setInputFiles('#file', file);
    let result;
    if (subject === 'vexlith') {
      await page.waitForSelector('body[data-state=ready], body[data-state=failed]', { timeout });
      result = await page.evaluate(() => {
        const { timings, scene } = window.vexlithViewer;
        return { time: timings.firstFrame - timings.chosen, frame: timings.lastFrame, pieces: scene?.pieces, state: document.body.dataset.state };
      });
    } else {
      await page.waitForFunction(() => window.benchResult, null, { timeout, polling: 250 });
      result = await page.evaluate(() => window.benchResult);
    }
    let peak = 0;
    result.processes = {};
    for (const [pid, rss] of before) {
      const grown = Math.max(0, kilobytes(pid, 'VmHWM') - rss);
      peak += grown;
      const type = /--type=([\w-]+)/.exec(readFileSync(`/proc/${pid}/cmdline`, 'utf8').replaceAll('\0', ' '))?.[1] ?? 'browser';
      result.processes[type] = Math.round((result.processes[type] ?? 0) + grown / 1024);
    }
    result.peakMB = peak / 1024;
    if (subject === 'vexlith' && result.state === 'ready') Object.assign(result, await interact(page));
    return result;
  } catch (error) {
    return { error: String(error.message ?? error).split('\n')[0] };
  } finally {
    await context.close();
  }
}

// Frames per second while the view moves every frame for two seconds (a
// drag, then the wheel), and the worker's time for a full frame once the
// view rests.
async function interact(page) {
  const box = await page.locator('#canvas').boundingBox();
  const [x, y] = [box.x + box.width / 2, box.y + box.height / 2];
  const rate = await page.evaluate(
    ([x, y]) =>
      new Promise((done) => {
        const canvas = document.getElementById('canvas');
        const started = performance.now();
        let frames = 0;
        const step = () => {
          const t = performance.now() - started;
          if (t > 2000) return done(frames / (t / 1000));
          ++frames;
          if (t < 1000) {
            const at = { clientX: x + 40 * Math.sin(t / 200), clientY: y, bubbles: true, pointerId: 1 };
            if (frames === 1) canvas.dispatchEvent(new PointerEvent('pointerdown', at));
            canvas.dispatchEvent(new PointerEvent('pointermove', at));
          } else {
            if (frames > 0) canvas.dispatchEvent(new PointerEvent('pointerup', { bubbles: true, pointerId: 1 }));
            canvas.dispatchEvent(new WheelEvent('wheel', { clientX: x, clientY: y, deltaY: t < 1500 ? -20 : 20, bubbles: true, cancelable: true }));
          }
          requestAnimationFrame(step);
        };
        requestAnimationFrame(step);
      }),
    [x, y],
  );
  await page.waitForSelector('body[data-state=ready]', { timeout });
  const frame = await page.evaluate(() => window.vexlithViewer.timings.lastFrame);
  return { fps: rate, restingFrame: frame };
}

const rows = [];
for (const megabytes of sizes) {
  const file = join(scratch, `r12-${megabytes}mb.dxf`);
  execFileSync('python3', [join(root, 'bench/make_drawing.py'), file, '--megabytes', String(megabytes)]);
  for (const subject of subjects) {
    const result = await measure(subject, file);
    console.error(`${megabytes} MB ${subject}: ${JSON.stringify(result)}`);
    rows.push({ megabytes, subject, ...result });
  }
  rmSync(file);
}
server.close();
rmSync(scratch, { recursive: true, force: true });

console.log('| drawing | viewer | file chosen to first complete frame | peak memory above the idle page |');
console.log('|---|---|---|---|');
for (const row of rows) {
  const time = row.error ? `failed: ${row.error}` : `${(row.time / 1000).toFixed(2)} s`;
  const memory = row.error ? '' : `${Math.round(row.peakMB)} MB (${(row.peakMB / row.megabytes).toFixed(1)}x the file)`;
  console.log(`| R12 ASCII ${row.megabytes} MB | ${row.subject} | ${time} | ${memory} |`);
}
for (const row of rows.filter((row) => row.fps)) {
  console.log(`\n${row.megabytes} MB, vexlith: ${row.fps.toFixed(0)} frames per second while panning and zooming; a full frame of the worker ${Math.round(row.restingFrame)} ms`);
}
