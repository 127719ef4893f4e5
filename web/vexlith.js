// SPDX-License-Identifier: MIT
// vexlith for JavaScript: DXF drawings read, drawn and written by the vexlith
// library compiled to WebAssembly, in the browser, a Web Worker or Node.
// Every record is the library's and reads as in `vexlith dump --json`;
// the scene is the renderer's, as flat typed arrays. No DXF is parsed here.
import { wasiImports } from './wasi.js';

const READ_MODERN_KINDS = 0x1;
const READ_WORLD = 0x2;
const READ_UTF8 = 0x4;
const READ_RECOVER = 0x8;
const WRITE_COMPLETE = 0x1;
const WRITE_R12_NAMES = 0x2;

// vxw_json's parts (module.cpp).
const PART_STATUS = 0;
const PART_HEADER = 1;
const PART_TABLES = 2;
const PART_BLOCKS = 3;
const PART_ENTITIES = 4;
const PART_WRITE_REPORT = 5;

const JSON_SCHEMA = 1;
const CHUNK = 256; // records fetched together from the module
const KEPT_CHUNKS = 8;
const NO_ENTITY = 0xffffffff;

const isNode = typeof process !== 'undefined' && !!process.versions?.node;

/** A read or write that failed: `reports` is the library's report chain, outermost first. */
export class VexlithError extends Error {
  constructor(reports, fallback) {
    const lines = reports.map((r) => `${r.function}: ${r.message}`);
    super(lines.length ? lines.join('\n') : fallback);
    this.name = 'VexlithError';
    this.reports = reports;
  }
}

class Native {
  constructor(instance) {
    this.exports = instance.exports;
    this.memory = instance.exports.memory;
    this.sizeAt = this.exports.vxw_alloc(8);
    this.decoder = new TextDecoder();
    this.encoder = new TextEncoder();
    this.progress = null;
    this.registry = new FinalizationRegistry((pointer) => this.exports.vxw_drawing_free(pointer));
  }

  bytes() {
    return new Uint8Array(this.memory.buffer);
  }

  size() {
    return new Uint32Array(this.memory.buffer, this.sizeAt, 1)[0];
  }

  // The JSON text at `pointer`, of the length the call left in sizeAt.
  parse(pointer) {
    return JSON.parse(this.decoder.decode(this.bytes().subarray(pointer, pointer + this.size())));
  }

  json(drawing, part, from = 0, count = 0) {
    return this.parse(this.exports.vxw_json(drawing, part, from, count, this.sizeAt));
  }

  // The bytes copied into the module's memory: a Blob in slices, so that a
  // large file is never whole in JavaScript's memory as well.
  async copyIn(source) {
    const length = source instanceof Blob ? source.size : source.byteLength;
    const at = this.exports.vxw_alloc(length);
    if (!at) throw new VexlithError([], 'Out of memory for the file');
    if (source instanceof Blob) {
      const slice = 8 << 20;
      for (let done = 0; done < length; done += slice) {
        const part = new Uint8Array(await source.slice(done, done + slice).arrayBuffer());
        this.bytes().set(part, at + done);
      }
    } else {
      const view = ArrayBuffer.isView(source)
        ? new Uint8Array(source.buffer, source.byteOffset, source.byteLength)
        : new Uint8Array(source);
      this.bytes().set(view, at);
    }
    return { at, length };
  }

  cString(text) {
    const encoded = this.encoder.encode(text);
    const at = this.exports.vxw_alloc(encoded.length + 1);
    const target = this.bytes();
    target.set(encoded, at);
    target[at + encoded.length] = 0;
    return at;
  }
}

let loading = null;

async function compile(source) {
  if (source instanceof WebAssembly.Module) return source;
  if (source instanceof ArrayBuffer || ArrayBuffer.isView(source)) return WebAssembly.compile(source);
  const url = source ? new URL(source, import.meta.url) : new URL('./vexlith.wasm', import.meta.url);
  if (isNode && url.protocol === 'file:') {
    const { readFile } = await import('node:fs/promises');
    return WebAssembly.compile(await readFile(url));
  }
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
  if (response.headers.get('content-type')?.startsWith('application/wasm')) {
    return WebAssembly.compileStreaming(response);
  }
  return WebAssembly.compile(await response.arrayBuffer());
}

async function instantiate(source) {
  const module = await compile(source);
  let memory = null;
  let native = null;
  const files = new Map();
  const instance = await WebAssembly.instantiate(module, {
    wasi_snapshot_preview1: wasiImports(() => memory, files),
    vexlith: { progress: (percent) => native?.progress?.(percent) },
  });
  memory = instance.exports.memory;
  instance.exports._initialize();
  native = new Native(instance);
  native.files = files;
  return native;
}

/**
 * Loads vexlith.wasm (from beside this file unless `source` names another
 * place or is the module's bytes or a compiled module). read() calls it.
 */
export function init(source) {
  loading ??= instantiate(source).catch((error) => {
    loading = null;
    throw error;
  });
  return loading;
}

/** The records of a list (the drawing's blocks or entities), fetched from the module as used. */
class RecordList {
  #native;
  #drawing;
  #part;
  #chunks = new Map();

  constructor(native, drawing, part, length) {
    this.#native = native;
    this.#drawing = drawing;
    this.#part = part;
    this.length = length;
    // drawing.entities[5] reads as an array does.
    return new Proxy(this, {
      get(target, key) {
        if (typeof key === 'string' && key.length && key.length < 11 && /^\d+$/.test(key)) {
          return target.at(Number(key));
        }
        const value = Reflect.get(target, key);
        return typeof value === 'function' ? value.bind(target) : value;
      },
    });
  }

  #chunk(index) {
    let chunk = this.#chunks.get(index);
    if (!chunk) {
      this.#drawing.check();
      chunk = this.#native.json(this.#drawing.pointer, this.#part, index * CHUNK, CHUNK);
      if (this.#chunks.size >= KEPT_CHUNKS) this.#chunks.delete(this.#chunks.keys().next().value);
      this.#chunks.set(index, chunk);
    }
    return chunk;
  }

  /** Record i as its JSON object; negative counts from the end; undefined outside. */
  at(i) {
    const index = i < 0 ? this.length + i : i;
    if (!Number.isInteger(index) || index < 0 || index >= this.length) return undefined;
    return this.#chunk(Math.floor(index / CHUNK))[index % CHUNK];
  }

  /** The records from `start` up to `end` (as Array.prototype.slice). */
  slice(start = 0, end = this.length) {
    const from = Math.max(0, start < 0 ? this.length + start : Math.min(start, this.length));
    const to = Math.max(from, end < 0 ? this.length + end : Math.min(end, this.length));
    this.#drawing.check();
    return this.#native.json(this.#drawing.pointer, this.#part, from, to - from);
  }

  *[Symbol.iterator]() {
    for (let i = 0; i < this.length; ++i) yield this.at(i);
  }

  toJSON() {
    return this.slice();
  }
}

/** A drawing read by the library, kept in the module until free(). */
export class Drawing {
  #native;
  #header;
  #tables;

  constructor(native, pointer, status) {
    this.#native = native;
    this.pointer = pointer;
    /** Every repair a recovering read made (empty without `recover`). */
    this.repairs = status.repairs;
    /** What the library logged while reading ("MTEXT entity translated", ...). */
    this.log = status.log;
    this.blocks = new RecordList(native, this, PART_BLOCKS, status.blocks);
    this.entities = new RecordList(native, this, PART_ENTITIES, status.entities);
    native.registry.register(this, pointer, this);
  }

  check() {
    if (!this.pointer) throw new Error('The drawing has been freed');
  }

  get header() {
    this.check();
    return (this.#header ??= this.#native.json(this.pointer, PART_HEADER));
  }

  get tables() {
    this.check();
    return (this.#tables ??= this.#native.json(this.pointer, PART_TABLES));
  }

  /** The whole document of `vexlith dump --json`. */
  toJSON() {
    return {
      schema: JSON_SCHEMA,
      header: this.header,
      tables: this.tables,
      blocks: this.blocks.slice(),
      entities: this.entities.slice(),
    };
  }

  /** Releases the drawing in the module (also done when it is garbage-collected). */
  free() {
    if (!this.pointer) return;
    this.#native.registry.unregister(this);
    this.#native.exports.vxw_drawing_free(this.pointer);
    this.pointer = 0;
  }

  get native() {
    return this.#native;
  }
}

/**
 * Reads a DXF drawing, ASCII or binary, from its bytes (a Uint8Array, an
 * ArrayBuffer or a Blob such as a File). The options are the library's read
 * options; modern kinds, world coordinates and UTF-8 are on unless turned off,
 * as in `vexlith dump`. Throws a VexlithError with the report chain when the
 * file does not read.
 */
export async function read(bytes, options = {}) {
  const native = await init();
  const flags =
    (options.modern !== false ? READ_MODERN_KINDS : 0) |
    (options.world !== false ? READ_WORLD : 0) |
    (options.utf8 !== false ? READ_UTF8 : 0) |
    (options.recover ? READ_RECOVER : 0);
  let name = options.name ?? (typeof File !== 'undefined' && bytes instanceof File ? bytes.name : null);
  // In a worker a Blob (a File) is read in pieces as the library asks for
  // them, through a file of the WASI shim; elsewhere the bytes are copied
  // into the module and read from there.
  const streamed = bytes instanceof Blob && typeof FileReaderSync !== 'undefined';
  let at = 0;
  let length = bytes instanceof Blob ? bytes.size : bytes.byteLength;
  if (streamed) {
    name ??= 'drawing.dxf';
    const reader = new FileReaderSync();
    native.files.set(name, { size: length, read: (from, count) => new Uint8Array(reader.readAsArrayBuffer(bytes.slice(from, from + count))) });
  } else {
    ({ at, length } = await native.copyIn(bytes));
  }
  const nameAt = name ? native.cString(name) : 0;
  native.progress = options.onProgress ?? null;
  let pointer = 0;
  try {
    pointer = native.exports.vxw_read(at, length, flags, options.tolerance ?? 0, options.onProgress ? 1 : 0, nameAt);
  } finally {
    native.progress = null;
    native.files.clear();
    if (at) native.exports.vxw_free(at);
    if (nameAt) native.exports.vxw_free(nameAt);
  }
  if (!pointer) throw new VexlithError([], 'Out of memory');
  const status = native.json(pointer, PART_STATUS);
  if (!status.ok) {
    native.exports.vxw_drawing_free(pointer);
    throw new VexlithError(status.report, 'The drawing could not be read');
  }
  return new Drawing(native, pointer, status);
}

// vxw_scene_array's arrays, in its order.
const SCENE_ARRAYS = [
  ['paths', 'points', Float32Array],
  ['paths', 'start', Uint32Array],
  ['paths', 'flags', Uint8Array],
  ['paths', 'color', Uint8Array],
  ['paths', 'width', Float32Array],
  ['paths', 'dash', Uint16Array],
  ['paths', 'entity', Uint32Array],
  ['paths', 'layer', Uint16Array],
  ['arcs', 'at', Uint32Array],
  ['arcs', 'ellipse', Float32Array],
  ['dashes', 'lengths', Float32Array],
  ['dashes', 'start', Uint32Array],
  ['dots', 'points', Float32Array],
  ['dots', 'color', Uint8Array],
  ['dots', 'entity', Uint32Array],
  ['dots', 'layer', Uint16Array],
  ['texts', 'geometry', Float32Array],
  ['texts', 'align', Uint8Array],
  ['texts', 'color', Uint8Array],
  ['texts', 'entity', Uint32Array],
  ['texts', 'layer', Uint16Array],
  ['texts', 'textStart', Uint32Array],
  ['texts', 'utf8', Uint8Array],
];

/**
 * What the renderer draws of the drawing, as typed arrays (see vexlith.d.ts):
 * only the named layers when `layers` is given. Plain data, which a worker
 * can post (scene.transfer lists its buffers).
 */
export function scene(drawing, options = {}) {
  drawing.check();
  const native = drawing.native;
  const names = options.layers ?? [];
  const layersAt = native.cString(names.map((name) => `${name}\0`).join(''));
  const pointer = native.exports.vxw_scene(drawing.pointer, layersAt);
  native.exports.vxw_free(layersAt);
  if (!pointer) throw new VexlithError([], 'Out of memory');
  try {
    const result = native.parse(native.exports.vxw_scene_json(drawing.pointer, pointer, native.sizeAt));
    Object.assign(result, { paths: {}, arcs: {}, dashes: {}, dots: {}, texts: {} });
    SCENE_ARRAYS.forEach(([group, name, Type], which) => {
      const at = native.exports.vxw_scene_array(pointer, which, native.sizeAt);
      const count = native.size();
      result[group][name] = new Type(native.memory.buffer, at, count).slice();
    });
    const { textStart, utf8 } = result.texts;
    result.texts.strings = Array.from({ length: textStart.length - 1 }, (_, i) =>
      native.decoder.decode(utf8.subarray(textStart[i], textStart[i + 1])),
    );
    result.noEntity = NO_ENTITY;
    result.transfer = SCENE_ARRAYS.map(([group, name]) => result[group][name].buffer);
    return result;
  } finally {
    native.exports.vxw_scene_free(pointer);
  }
}

/**
 * The drawing as a DXF file: ASCII unless `binary`; `complete` writes the
 * tables, header variables and every member, `r12` names R12 programs
 * accept. Throws a VexlithError with the report chain when it cannot.
 */
export function write(drawing, options = {}) {
  drawing.check();
  const native = drawing.native;
  const flags = (options.complete ? WRITE_COMPLETE : 0) | (options.r12 ? WRITE_R12_NAMES : 0);
  const at = native.exports.vxw_write(drawing.pointer, options.binary ? 1 : 0, flags, native.sizeAt);
  if (!at) {
    throw new VexlithError(native.json(drawing.pointer, PART_WRITE_REPORT), 'The drawing could not be written');
  }
  const bytes = native.bytes().slice(at, at + native.size());
  native.exports.qmsc_HeapFree(at);
  return bytes;
}
