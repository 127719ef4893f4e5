// SPDX-License-Identifier: MIT
// vexlith.js: DXF drawings read, drawn and written by the vexlith library
// compiled to WebAssembly. Records are JSON objects named as in `vexlith dump
// --json` (docs/json.md).

/** A 3-D point: [x, y, z]. Reals that are not finite read "nan", "inf" or "-inf". */
export type Coord = [number, number, number];
export type Real = number | 'nan' | 'inf' | '-inf';

/** One level of the library's report chain, outermost first. */
export interface Report {
  message: string;
  function: string;
  line: number;
  class: number;
}

/** A read or write that failed. */
export declare class VexlithError extends Error {
  readonly reports: Report[];
}

/** One repair of a recovering read. */
export interface Repair {
  line: number;
  offset: number;
  action: 'skipped' | 'replaced' | 'inserted' | 'renamed' | 'dropped';
  loss: 0 | 1 | 2;
  count: number;
  found: string | null;
  message: string;
}

export interface Entity {
  type: 'LINE' | 'POINT' | 'CIRCLE' | 'ARC' | 'TRACE' | 'SOLID' | 'TEXT' | 'INSERT' | 'POLYLINE' | '3DFACE' | string;
  layerName: string | null;
  handle: string | null;
  ltypeName: string | null;
  elevation: Real;
  thickness: Real;
  color: number;
  space: number;
  /** The members of the kind, as `vexlith dump --json` writes them. */
  data: Record<string, unknown>;
}

export interface Block {
  name: string | null;
  layerName: string | null;
  handle: string | null;
  ltypeName: string | null;
  elevation: Real;
  thickness: Real;
  color: number;
  space: number;
  typeFlag: number;
  basePoint: Coord;
  xrefPath: string | null;
  entities: Entity[];
}

export interface Tables {
  ltypes: Record<string, unknown>[];
  layers: { name: string | null; handle: string | null; flags: number; color: number; ltypeName: string | null }[];
  styles: Record<string, unknown>[];
}

/** A list of records fetched from the module as they are used; also indexable: list[i]. */
export interface RecordList<T> extends Iterable<T> {
  readonly length: number;
  readonly [index: number]: T | undefined;
  /** Record i; negative counts from the end. */
  at(index: number): T | undefined;
  slice(start?: number, end?: number): T[];
  toJSON(): T[];
}

/** A drawing kept in the module until free() (or garbage collection). */
export declare class Drawing {
  /** The header variables (lower case, without "$"), null when the file had no HEADER. */
  readonly header: Record<string, unknown> | null;
  readonly tables: Tables | null;
  readonly blocks: RecordList<Block>;
  readonly entities: RecordList<Entity>;
  readonly repairs: Repair[];
  /** What the library logged while reading ("MTEXT entity translated", ...). */
  readonly log: string[];
  /** The document of `vexlith dump --json`: schema, header, tables, blocks, entities. */
  toJSON(): { schema: number; header: Drawing['header']; tables: Drawing['tables']; blocks: Block[]; entities: Entity[] };
  free(): void;
}

export interface ReadOptions {
  /** Kinds outside the ten become records of the ten (default true). */
  modern?: boolean;
  /** Entities with an extrusion direction in world coordinates (default true). */
  world?: boolean;
  /** Every text in UTF-8 (default true). */
  utf8?: boolean;
  /** Read what a damaged file holds, listing the repairs (default false). */
  recover?: boolean;
  /** Largest distance of a curve from its polyline, in drawing units; 0: the library's own. */
  tolerance?: number;
  /** How reports name the bytes (default: a File's name, else "(memory)"). */
  name?: string;
  /** Called with the percentage read. */
  onProgress?: (percent: number) => void;
}

/** Loads vexlith.wasm: from beside vexlith.js, or the URL, bytes or module given. */
export function init(source?: string | URL | ArrayBuffer | ArrayBufferView | WebAssembly.Module): Promise<unknown>;

/** Reads a DXF drawing, ASCII or binary. Throws a VexlithError when it does not read. */
export function read(bytes: Uint8Array | ArrayBuffer | Blob, options?: ReadOptions): Promise<Drawing>;

/**
 * What the renderer draws, computed by it in the module. Coordinates are
 * float32 relative to `origin` (drawing units); each piece has a colour (a
 * DXF colour number, 7 the foreground), a layer (an index into `layers`) and
 * the index of its entity in drawing.entities (an INSERT for what its block
 * holds; noEntity for none).
 */
export interface Scene {
  origin: [number, number];
  /** The box around what is drawn, and the view `vexlith render` shows (with its margin). */
  extents: [number, number, number, number] | null;
  view: [number, number, number, number] | null;
  layers: { name: string; color: number; off: 0 | 1; frozen: 0 | 1; entities: number }[];
  /** The colours 1..255 as "#rrggbb" on a black and on a white background. */
  colors: { black: string[]; white: string[] };
  warnings: string[];
  capped: 0 | 1;
  /**
   * Paths: path i runs through points start[i] to start[i + 1] - 1 (x, y
   * pairs); flags 1 closed, 2 filled; width in drawing units (0: the
   * thinnest line); dash 0 solid, else 1 + a pattern of `dashes`.
   */
  paths: { points: Float32Array; start: Uint32Array; flags: Uint8Array; color: Uint8Array; width: Float32Array; dash: Uint16Array; entity: Uint32Array; layer: Uint16Array };
  /** The point at[k] of a path is reached by an arc: centre, radii, rotation, start angle and sweep (ellipse: 7 floats each). */
  arcs: { at: Uint32Array; ellipse: Float32Array };
  /** Pattern i: lengths[start[i]] up to lengths[start[i + 1]]: dash > 0, gap < 0, dot 0. */
  dashes: { lengths: Float32Array; start: Uint32Array };
  dots: { points: Float32Array; color: Uint8Array; entity: Uint32Array; layer: Uint16Array };
  /**
   * Lines of text: geometry holds 10 floats each: origin x, y; the baseline
   * direction and the up direction, each one text height long; the height;
   * the angle of the baseline (radians); the length it is fitted to (0:
   * none) and its estimated advance, both in heights. align 0 start, 1
   * middle, 2 end.
   */
  texts: { geometry: Float32Array; align: Uint8Array; color: Uint8Array; entity: Uint32Array; layer: Uint16Array; textStart: Uint32Array; utf8: Uint8Array; strings: string[] };
  noEntity: number;
  /** The typed arrays' buffers, to transfer with postMessage. */
  transfer: ArrayBuffer[];
}

/** The scene of the drawing; only the named layers when `layers` is given. */
export function scene(drawing: Drawing, options?: { layers?: string[] }): Scene;

export interface WriteOptions {
  /** The binary form (default ASCII). */
  binary?: boolean;
  /** Tables, header variables and every member: reads back the same. */
  complete?: boolean;
  /** Names R12 programs accept. */
  r12?: boolean;
}

/** The drawing as a DXF file. Throws a VexlithError when it cannot be written. */
export function write(drawing: Drawing, options?: WriteOptions): Uint8Array;
