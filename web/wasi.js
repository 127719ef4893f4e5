// SPDX-License-Identifier: MIT
// The few WASI calls vexlith.wasm imports: no environment, standard output
// and error to the console, the clock and the random source of the host, and
// for files one directory "/" holding what the host put in `files` (a Map
// from a path to { size, read(position, length) -> Uint8Array }), read only:
// so the library can read a large File piece by piece, as it reads a file
// from a disk, rather than from a whole copy in its memory.

const ERRNO_SUCCESS = 0;
const ERRNO_BADF = 8;
const ERRNO_NOENT = 44;
const ERRNO_SPIPE = 70;
const ERRNO_ROFS = 69;
const FILETYPE_CHARACTER_DEVICE = 2;
const FILETYPE_DIRECTORY = 3;
const FILETYPE_REGULAR_FILE = 4;
const ROOT = 3; // the descriptor of "/"
const ALL_RIGHTS = 0xffffffffffffffffn;

export class ProcessExit extends Error {
  constructor(code) {
    super(`vexlith.wasm exited with status ${code}`);
    this.code = code;
  }
}

export function wasiImports(getMemory, files = new Map()) {
  const view = () => new DataView(getMemory().buffer);
  const bytes = () => new Uint8Array(getMemory().buffer);
  const decoder = new TextDecoder();
  const pending = { 1: '', 2: '' };
  const print = (fd, text) => {
    const lines = (pending[fd] + text).split('\n');
    pending[fd] = lines.pop();
    for (const line of lines) (fd === 1 ? console.log : console.error)(line);
  };
  const isConsole = (fd) => fd === 1 || fd === 2;
  const open = new Map(); // descriptor -> { file, position }
  let nextDescriptor = ROOT + 1;
  const pathAt = (at, length) => decoder.decode(bytes().subarray(at, at + length));
  const fileAt = (at, length) => {
    const path = pathAt(at, length);
    return files.get(path) ?? files.get(`/${path}`);
  };
  const writeStat = (at, type, size) => {
    const data = view();
    for (let offset = 0; offset < 64; offset += 8) data.setBigUint64(at + offset, 0n, true);
    data.setUint8(at + 16, type);
    data.setBigUint64(at + 24, 1n, true);
    data.setBigUint64(at + 32, BigInt(size), true);
  };

  return {
    environ_sizes_get(countAt, sizeAt) {
      view().setUint32(countAt, 0, true);
      view().setUint32(sizeAt, 0, true);
      return ERRNO_SUCCESS;
    },
    environ_get() {
      return ERRNO_SUCCESS;
    },
    clock_time_get(id, precision, timeAt) {
      const milliseconds = id === 0 ? Date.now() : performance.now();
      view().setBigUint64(timeAt, BigInt(Math.round(milliseconds * 1e6)), true);
      return ERRNO_SUCCESS;
    },
    random_get(at, length) {
      const target = bytes();
      for (let done = 0; done < length; done += 65536) {
        crypto.getRandomValues(target.subarray(at + done, at + Math.min(length, done + 65536)));
      }
      return ERRNO_SUCCESS;
    },
    fd_write(fd, iovs, count, writtenAt) {
      if (!isConsole(fd)) return ERRNO_BADF;
      const data = view();
      let written = 0;
      let text = '';
      for (let i = 0; i < count; ++i) {
        const base = data.getUint32(iovs + 8 * i, true);
        const length = data.getUint32(iovs + 8 * i + 4, true);
        text += decoder.decode(bytes().subarray(base, base + length));
        written += length;
      }
      print(fd, text);
      data.setUint32(writtenAt, written, true);
      return ERRNO_SUCCESS;
    },
    fd_fdstat_get(fd, statAt) {
      const type = isConsole(fd) ? FILETYPE_CHARACTER_DEVICE : fd === ROOT ? FILETYPE_DIRECTORY : open.has(fd) ? FILETYPE_REGULAR_FILE : 0;
      if (!type) return ERRNO_BADF;
      const data = view();
      data.setUint8(statAt, type);
      data.setUint16(statAt + 2, 0, true);
      data.setBigUint64(statAt + 8, ALL_RIGHTS, true);
      data.setBigUint64(statAt + 16, ALL_RIGHTS, true);
      return ERRNO_SUCCESS;
    },
    fd_prestat_get(fd, at) {
      if (fd !== ROOT) return ERRNO_BADF; // the scan of directories ends here
      view().setUint8(at, 0);
      view().setUint32(at + 4, 1, true);
      return ERRNO_SUCCESS;
    },
    fd_prestat_dir_name(fd, at, length) {
      if (fd !== ROOT || length < 1) return ERRNO_BADF;
      bytes()[at] = 0x2f; // "/"
      return ERRNO_SUCCESS;
    },
    path_open(dirfd, lookup, at, length, oflags, rightsBase, rightsInheriting, fdflags, fdAt) {
      const file = dirfd === ROOT ? fileAt(at, length) : null;
      if (!file) return ERRNO_NOENT;
      if (oflags !== 0 || fdflags & 1) return ERRNO_ROFS; // created, truncated or appended
      const fd = nextDescriptor++;
      open.set(fd, { file, position: 0 });
      view().setUint32(fdAt, fd, true);
      return ERRNO_SUCCESS;
    },
    path_filestat_get(dirfd, lookup, at, length, statAt) {
      const file = dirfd === ROOT ? fileAt(at, length) : null;
      if (!file) return ERRNO_NOENT;
      writeStat(statAt, FILETYPE_REGULAR_FILE, file.size);
      return ERRNO_SUCCESS;
    },
    fd_filestat_get(fd, statAt) {
      const handle = open.get(fd);
      if (!handle) return ERRNO_BADF;
      writeStat(statAt, FILETYPE_REGULAR_FILE, handle.file.size);
      return ERRNO_SUCCESS;
    },
    fd_read(fd, iovs, count, readAt) {
      const handle = open.get(fd);
      if (!handle) return ERRNO_BADF;
      let done = 0;
      for (let i = 0; i < count; ++i) {
        const base = view().getUint32(iovs + 8 * i, true);
        const length = Math.min(view().getUint32(iovs + 8 * i + 4, true), handle.file.size - handle.position);
        if (length <= 0) break;
        const piece = handle.file.read(handle.position, length);
        bytes().set(piece, base);
        handle.position += piece.length;
        done += piece.length;
        if (piece.length < length) break;
      }
      view().setUint32(readAt, done, true);
      return ERRNO_SUCCESS;
    },
    fd_seek(fd, offset, whence, positionAt) {
      const handle = open.get(fd);
      if (!handle) return isConsole(fd) ? ERRNO_SPIPE : ERRNO_BADF;
      const from = [0, handle.position, handle.file.size][whence];
      const position = from + Number(offset);
      if (from === undefined || position < 0) return 28; // EINVAL
      handle.position = position;
      view().setBigUint64(positionAt, BigInt(position), true);
      return ERRNO_SUCCESS;
    },
    fd_close(fd) {
      return open.delete(fd) ? ERRNO_SUCCESS : ERRNO_BADF;
    },
    proc_exit(code) {
      throw new ProcessExit(code);
    },
  };
}
