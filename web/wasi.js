// SPDX-License-Identifier: MIT
// The few WASI calls vexlith.wasm imports, for a module that reads and writes
// bytes in memory only: no files (every path and descriptor is refused), no
// environment, standard output and error to the console, the clock and the
// random source of the host.

const ERRNO_SUCCESS = 0;
const ERRNO_BADF = 8;
const ERRNO_NOENT = 44;
const ERRNO_SPIPE = 70;
const FILETYPE_CHARACTER_DEVICE = 2;

export class ProcessExit extends Error {
  constructor(code) {
    super(`vexlith.wasm exited with status ${code}`);
    this.code = code;
  }
}

export function wasiImports(getMemory) {
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
      if (!isConsole(fd)) return ERRNO_BADF;
      const data = view();
      data.setUint8(statAt, FILETYPE_CHARACTER_DEVICE);
      data.setUint16(statAt + 2, 0, true);
      data.setBigUint64(statAt + 8, 0xffffffffn, true);
      data.setBigUint64(statAt + 16, 0xffffffffn, true);
      return ERRNO_SUCCESS;
    },
    fd_seek(fd) {
      return isConsole(fd) ? ERRNO_SPIPE : ERRNO_BADF;
    },
    fd_close: () => ERRNO_BADF,
    fd_read: () => ERRNO_BADF,
    fd_filestat_get: () => ERRNO_BADF,
    fd_prestat_get: () => ERRNO_BADF, // no directories: the preopen scan ends at once
    fd_prestat_dir_name: () => ERRNO_BADF,
    path_open: () => ERRNO_NOENT,
    path_filestat_get: () => ERRNO_NOENT,
    proc_exit(code) {
      throw new ProcessExit(code);
    },
  };
}
