// SPDX-License-Identifier: MIT
// The module reads every corpus drawing to the document `vexlith dump --json`
// prints (the release build's tool), and fails on the same files with the
// same report chain; a drawing written and read back keeps its entities.
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';

import { read, scene, write, VexlithError } from '../vexlith.js';

const root = resolve(fileURLToPath(import.meta.url), '../../..');
const tool = process.env.VEXLITH_TOOL ?? join(root, 'build/release/tools/vexlith');
const corpus = resolve(root, process.env.VEXLITH_CORPUS_DIR ?? '../shared/corpus');
// The platform's sin, cos and atan2 differ from glibc's in the last bit of a
// few results (reals agree to 1e-9 then), and a hatch fill then cut into
// other trapezoids covers the same area.
function differences(a, b, path, found) {
  if (found.length > 4) return found;
  if (typeof a === 'number' && typeof b === 'number') {
    if (!Object.is(a, b) && !(Math.abs(a - b) <= 1e-9 * Math.max(Math.abs(a), Math.abs(b)))) found.push(`${path}: ${a} ${b}`);
  } else if (Array.isArray(a) && Array.isArray(b) && path.endsWith('.entities') && a.length !== b.length) {
    if (Math.abs(filled(a) - filled(b)) > 1e-9 * filled(b)) found.push(`${path}: ${a.length} ${b.length} entities`);
  } else if (a && b && typeof a === 'object' && typeof b === 'object') {
    const keys = Object.keys(b);
    if (Object.keys(a).join() !== keys.join()) found.push(`${path}: ${Object.keys(a)} ${keys}`);
    for (const key of keys) differences(a[key], b[key], `${path}.${key}`, found);
  } else if (a !== b) found.push(`${path}: ${JSON.stringify(a)} ${JSON.stringify(b)}`);
  return found;
}

// The area of the SOLIDs of a list of entities (their corners go 0, 1, 3, 2).
function filled(entities) {
  let area = 0;
  for (const { type, data } of entities) {
    if (type !== 'SOLID') continue;
    const [p, q, r, s] = [0, 1, 3, 2].map((i) => data.corner[i]);
    area += Math.abs((r[0] - p[0]) * (s[1] - q[1]) - (s[0] - q[0]) * (r[1] - p[1])) / 2;
  }
  return area;
}

const files = readFileSync(join(corpus, 'MANIFEST.tsv'), 'utf8')
  .split('\n')
  .slice(1)
  .filter(Boolean)
  .map((line) => line.split('\t')[0]);

test('every corpus drawing reads as vexlith dump --json has it', async () => {
  assert.ok(files.length >= 80, `the corpus at ${corpus}`);
  for (const file of files) {
    const path = join(corpus, file);
    const dumped = spawnSync(tool, ['dump', '--json', path], { encoding: 'utf8', maxBuffer: 1 << 30 });
    let drawing;
    try {
      drawing = await read(readFileSync(path), { name: path });
    } catch (error) {
      assert.ok(error instanceof VexlithError, `${file}: ${error}`);
      assert.notEqual(dumped.status, 0, `${file}: the tool read it`);
      // The tool adds a hint of its own after the report chain.
      const chain = dumped.stderr.split('\n').filter((line) => !line.includes(' may be damaged: --recover'));
      assert.equal(chain.join('\n'), error.message + '\n', file);
      continue;
    }
    assert.equal(dumped.status, 0, `${file}: the tool failed: ${dumped.stderr}`);
    assert.deepEqual(differences(drawing.toJSON(), JSON.parse(dumped.stdout), file, []), []);
    assert.equal(drawing.entities.at(-1)?.handle, drawing.entities[drawing.entities.length - 1]?.handle);
    drawing.free();
  }
});

test('every code of the double-byte pages reads as on Linux', async () => {
  for (const page of [932, 936, 949, 950, 1361]) {
    const lines = ['0', 'SECTION', '2', 'HEADER', '9', '$ACADVER', '1', 'AC1015', '9', '$DWGCODEPAGE', '3', `ANSI_${page}`, '0', 'ENDSEC', '0', 'SECTION', '2', 'ENTITIES'];
    const texts = [];
    for (let lead = 0x81; lead <= 0xfe; ++lead) {
      const row = [];
      for (let trail = 0x40; trail <= 0xfe; ++trail) row.push(lead, trail === 0x7f ? 0x41 : trail);
      texts.push(row);
    }
    const encoder = new TextEncoder();
    const parts = [encoder.encode(lines.join('\n') + '\n')];
    for (const row of texts) parts.push(encoder.encode('0\nTEXT\n8\n0\n1\n'), Uint8Array.from(row), encoder.encode('\n'));
    parts.push(encoder.encode('0\nENDSEC\n0\nEOF\n'));
    const bytes = new Uint8Array(await new Blob(parts).arrayBuffer());
    const path = join(tmpdir(), `vexlith-page-${page}.dxf`);
    writeFileSync(path, bytes);
    const dumped = JSON.parse(execFileSync(tool, ['dump', '--json', path], { encoding: 'utf8', maxBuffer: 1 << 28 }));
    const drawing = await read(bytes);
    assert.deepEqual(drawing.entities.slice(), dumped.entities, `page ${page}`);
    drawing.free();
  }
});

test('a drawing written in either form reads back with the same entities', async () => {
  const path = join(root, 'examples/house.dxf');
  const drawing = await read(readFileSync(path));
  for (const binary of [false, true]) {
    const again = await read(write(drawing, { binary, complete: true }));
    assert.deepEqual(again.entities.slice(), drawing.entities.slice());
    again.free();
  }
  const pieces = scene(drawing);
  assert.equal(pieces.paths.start.length, pieces.paths.color.length + 1);
  assert.ok(pieces.paths.entity.every((index) => index < drawing.entities.length));
  assert.deepEqual(pieces.layers.map((layer) => layer.name).slice(0, drawing.tables.layers.length),
    drawing.tables.layers.map((layer) => layer.name));
  drawing.free();
});

test('a damaged file fails with its report chain, named as given', async () => {
  const damaged = new TextEncoder().encode('0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nabc\n');
  const error = await read(damaged, { name: 'damaged.dxf' }).catch((e) => e);
  assert.ok(error instanceof VexlithError);
  assert.deepEqual(error.reports.map((r) => r.function), ['qdxf_Read', 'ReadSection', 'ReadEntityList', 'ReadEntity', 'ReadGroup', 'ReadAsciiGroup']);
  assert.equal(error.reports.at(-1).message, 'Error reading file damaged.dxf, line 9');
});
