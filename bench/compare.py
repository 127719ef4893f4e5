#!/usr/bin/env python3
"""Runs every DXF reader on the same benchmark drawings and prints one table.

Readers: vexlith; the floors `wc -l` and a bare from_chars group reader that
builds nothing; and the peers Debian packages (dxflib and dime, built here if
their -dev packages are installed; GDAL's ogrinfo if present; ezdxf on the
smallest files with --ezdxf). Each reader runs as a whole process, the best
wall time of --runs runs counts, and peak memory is the process's own maximum
resident set (from wait4), over the file size.

Then vexlith alone, in process: reading with and without a progress meter,
writing both forms plainly and complete (QDXF_WRITE_COMPLETE), and the per-megabyte time of the largest drawing against
the smallest and of a drawing with 5,000 layers against one with 20.

The read options: the R12 drawings read with QDXF_READ_ALL against qdxf_Read
(what the options cost a drawing without the kinds they translate), and
drawings of modern kinds (make_drawing.py --modern) read with QDXF_READ_ALL
at two sizes, for linearity.

With --callgrind, last: the instructions of one whole-process read of the
smallest drawings by vexlith (with and without a progress meter, and with
QDXF_READ_ALL) and by the bare reader (valgrind's callgrind; instruction
counts hold steady on a busy machine where wall times do not). It takes
about a minute.

    bench/compare.py [--build build/bench] [--data build/bench-data]
                     [--sizes 10,50,200] [--runs 3] [--ezdxf] [--callgrind]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run(command, runs):
    """Best wall time and largest peak RSS (MB) of `runs` runs; None if it fails.

    Linux keeps a process's peak RSS across exec, so a child started from
    here counts the interpreter it was forked from; BASELINE_MB, measured on
    `true`, is taken off."""
    best, peak = None, 0.0
    for _ in range(runs):
        start = time.perf_counter()
        # stderr is dropped, not piped: a reader that floods it with warnings
        # while stdout is read would wait on the pipe for ever.
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        out = process.stdout.read()
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.perf_counter() - start
        process.returncode = status
        if status != 0:
            return None, None, out.decode(errors="replace")
        best = elapsed if best is None else min(best, elapsed)
        peak = max(peak, usage.ru_maxrss / 1e3 - BASELINE_MB)
    return best, peak, out.decode(errors="replace")


BASELINE_MB = 0.0


def instructions(command):
    """Instructions callgrind counts for one run of `command`, or None."""
    result = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] +
                            command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    found = re.search(r"Collected : (\d+)", result.stderr)
    return int(found.group(1)) if result.returncode == 0 and found else None


def make_drawings(data, sizes):
    os.makedirs(data, exist_ok=True)
    files = {}
    plan = [("ascii", size, 20) for size in sizes] + [("binary", size, 20) for size in sizes]
    plan.append(("ascii", 100, 5000))
    plan.append(("ascii", 100, 20))
    for form, size, layers in plan:
        name = os.path.join(data, "%s-%dMB-%dlayers.dxf" % (form, size, layers))
        if not os.path.exists(name):
            print("making", name, file=sys.stderr)
            command = [sys.executable, os.path.join(HERE, "make_drawing.py"), name,
                       "--megabytes", str(size), "--layers", str(layers)]
            if form == "binary":
                command.append("--binary")
            subprocess.run(command, check=True)
        files[(form, size, layers)] = name
    return files


def build_peers(data):
    peers = {}
    sources = {
        "dxflib": ("dxflib_reader.cpp", ["-ldxflib"], "/usr/include/dxflib/dl_dxf.h"),
        "dime": ("dime_reader.cpp", ["-ldime"], "/usr/include/dime/Model.h"),
    }
    for name, (source, libs, header) in sources.items():
        if not os.path.exists(header):
            continue
        binary = os.path.join(data, name + "_reader")
        source = os.path.join(HERE, "peers", source)
        if not os.path.exists(binary) or os.path.getmtime(binary) < os.path.getmtime(source):
            subprocess.run(["g++", "-O2", "-std=c++17", source, "-o", binary] + libs, check=True)
        peers[name] = [binary]
    if shutil.which("ogrinfo"):
        # The summary's feature count makes the DXF driver read every feature
        # (with -q it is left out, and nothing is read).
        peers["GDAL ogrinfo"] = ["ogrinfo", "-ro", "-al", "-so"]
    return peers


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/bench")
    parser.add_argument("--data", default="build/bench-data")
    parser.add_argument("--sizes", default="10,50,200")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--ezdxf", action="store_true", help="include ezdxf on the smallest files")
    parser.add_argument("--callgrind", action="store_true",
                        help="count the instructions of a read of the smallest files")
    args = parser.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    global BASELINE_MB
    BASELINE_MB = run(["true"], 3)[1]
    files = make_drawings(args.data, sizes)
    bench = os.path.join(args.build, "bench", "vexlith_bench")
    floor = os.path.join(args.build, "bench", "floor_reader")
    readers = [("vexlith", [bench, "read", "{}", "--repeat", "1"]),
               ("wc -l (no parsing)", ["wc", "-l"]),
               ("bare from_chars reader (builds nothing)", [floor])]
    readers += [(name, command) for name, command in build_peers(args.data).items()]
    if args.ezdxf:
        readers.append(("ezdxf", ["/usr/bin/python3", "-c",
                                  "import ezdxf,sys; ezdxf.readfile(sys.argv[1])"]))

    columns = [(form, size) for form in ("ascii", "binary") for size in sizes]
    speeds = {}  # (reader, form, size): MB/s
    print("| reader | " + " | ".join("%s %d MB" % (f.upper() if f == "ascii" else f, s)
                                     for f, s in columns) + " | peak memory / file size (largest file read) |")
    print("|---|" + "---|" * len(columns) + "---|")
    for name, command in readers:
        cells, ratios = [], []
        for form, size in columns:
            if name == "ezdxf" and size != min(sizes):
                cells.append("")
                continue
            if name == "wc -l (no parsing)" and form == "binary":
                cells.append("—")
                continue
            path = files[(form, size, 20)]
            full = [part.replace("{}", path) for part in command]
            if "{}" not in " ".join(command):
                full.append(path)
            seconds, peak, out = run(full, args.runs)
            megabytes = os.path.getsize(path) / 1e6
            # A reader that reports no entities has not read the drawing.
            found = re.search(r"(\d+) entities|Feature Count: (\d+)", out)
            if seconds is None or (found and int(found.group(1) or found.group(2)) == 0):
                cells.append("cannot read")
                continue
            cells.append("%.0f" % (megabytes / seconds))
            speeds[(name, form, size)] = megabytes / seconds
            ratios.append(peak / megabytes)
        # On the largest files: there the interpreter's footprint taken off
        # the children's peaks matters least.
        ratio = "%.2f×" % ratios[-1] if ratios else ""
        print("| %s | %s | %s |" % (name, " | ".join(cells), ratio), flush=True)
    print("\nFigures are MB/s of input, whole process, best of %d runs." % args.runs)
    # The same run's figures as ratios: vexlith's speed over each floor's and peer's.
    for other in ("bare from_chars reader (builds nothing)", "dime"):
        cells = []
        for form, size in columns:
            ours, theirs = speeds.get(("vexlith", form, size)), speeds.get((other, form, size))
            cells.append("%.2f×" % (ours / theirs) if ours and theirs else "—")
        print("vexlith's speed / %s's: %s" % (other.split(" (")[0], ", ".join(
            "%s %d MB %s" % (form, size, cell) for (form, size), cell in zip(columns, cells))))

    def in_process(*extra):
        out = subprocess.run([bench] + list(extra), check=True, capture_output=True, text=True).stdout
        speed = float(re.search(r"(\d+) MB/s", out).group(1))
        peak = float(re.search(r"\((-?[\d.]+)x\)", out).group(1))
        drawing = float(re.search(r"drawing ([\d.]+) MB", out).group(1))
        return speed, peak, drawing, out.strip()

    print("\nvexlith in process (best of %d):\n" % args.runs)
    print("| drawing | read MB/s | with meter | peak / size | drawing's heap / size "
          "| write ASCII MB/s | write binary MB/s | complete ASCII | complete binary |")
    print("|---|---|---|---|---|---|---|---|---|")
    scratch = os.path.join(args.data, "written.dxf")
    per_mb = {}
    for form, size in columns:
        path = files[(form, size, 20)]
        megabytes = os.path.getsize(path) / 1e6
        speed, peak, drawing, _ = in_process("read", path, "--repeat", str(args.runs))
        metered, _, _, _ = in_process("read", path, "--meter", "--repeat", str(args.runs))
        ascii_out, _, _, _ = in_process("write", path, scratch, "--repeat", str(args.runs))
        binary_out, _, _, _ = in_process("write", path, scratch, "--binary", "--repeat", str(args.runs))
        complete = [in_process("write", path, scratch, "--complete", *extra, "--repeat",
                               str(args.runs))[0] for extra in ([], ["--binary"])]
        per_mb[(form, size)] = 1.0 / speed
        print("| %s %d MB | %.0f | %.0f (%+.0f%%) | %.2f× | %.2f× | %.0f | %.0f | %.0f | %.0f |" % (
            form, size, speed, metered, (speed / metered - 1) * 100, peak, drawing / megabytes,
            ascii_out, binary_out, complete[0], complete[1]), flush=True)
    if os.path.exists(scratch):
        os.remove(scratch)

    print()
    for form in ("ascii", "binary"):
        small, large = per_mb[(form, min(sizes))], per_mb[(form, max(sizes))]
        print("linearity, %s: time per MB at %d MB / at %d MB = %.2f" % (
            form, max(sizes), min(sizes), large / small))
    many, _, _, _ = in_process("read", files[("ascii", 100, 5000)], "--repeat", str(args.runs))
    few, _, _, _ = in_process("read", files[("ascii", 100, 20)], "--repeat", str(args.runs))
    print("layers: 100 MB with 5,000 layers reads at %.0f MB/s, with 20 layers at %.0f MB/s (%.2f)"
          % (many, few, few / many))

    print("\nread options (QDXF_READ_ALL, best of %d):\n" % args.runs)
    print("| drawing | qdxf_Read MB/s | QDXF_READ_ALL MB/s | cost of the options |")
    print("|---|---|---|---|")
    for form, size in columns:
        path = files[(form, size, 20)]
        plain, _, _, _ = in_process("read", path, "--repeat", str(args.runs))
        options, _, _, _ = in_process("read", path, "--options", "7", "--repeat", str(args.runs))
        print("| R12 %s %d MB | %.0f | %.0f | %+.1f%% |" % (
            form, size, plain, options, (plain / options - 1) * 100), flush=True)
    modern = {}
    for size in (min(sizes), max(sizes)):
        name = os.path.join(args.data, "modern-%dMB.dxf" % size)
        if not os.path.exists(name):
            print("making", name, file=sys.stderr)
            subprocess.run([sys.executable, os.path.join(HERE, "make_drawing.py"), name,
                            "--megabytes", str(size), "--modern"], check=True)
        # A fresh process each time: within one, a second read of a small
        # drawing reuses the memory the first one touched, which a large one
        # hands back, and the comparison would measure that.
        modern[size] = max(in_process("read", name, "--options", "7", "--repeat", "1")[0]
                           for _ in range(args.runs))
        print("| modern ASCII %d MB | | %.0f | |" % (size, modern[size]), flush=True)
    print("\nlinearity, modern kinds with QDXF_READ_ALL: time per MB at %d MB / at %d MB = %.2f"
          % (max(sizes), min(sizes), modern[min(sizes)] / modern[max(sizes)]))

    if args.callgrind:
        if not shutil.which("valgrind"):
            print("\n--callgrind: valgrind is not installed", file=sys.stderr)
            return 1
        print("\ninstructions of one read, whole process (callgrind):\n")
        print("| drawing | vexlith | bare reader | vexlith / bare | with a meter "
              "| with QDXF_READ_ALL |")
        print("|---|---|---|---|---|---|")
        for form in ("ascii", "binary"):
            path = files[(form, min(sizes), 20)]
            ours = instructions([bench, "read", path, "--repeat", "1"])
            bare = instructions([floor, path])
            metered = instructions([bench, "read", path, "--repeat", "1", "--meter"])
            options = instructions([bench, "read", path, "--repeat", "1", "--options", "7"])
            if ours is None or bare is None or metered is None or options is None:
                print("| %s %d MB | failed | | | | |" % (form, min(sizes)))
                continue
            print("| %s %d MB | %.0fM | %.0fM | %.2f× | %.0fM (%+.0f%%) | %.0fM (%+.1f%%) |" % (
                form, min(sizes), ours / 1e6, bare / 1e6, ours / bare, metered / 1e6,
                (metered / ours - 1) * 100, options / 1e6, (options / ours - 1) * 100),
                flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
