#!/usr/bin/env python3
"""Runs every DXF reader on the same benchmark drawings and prints one table.

Readers: vexlith, building the drawing (qdxf_Read) and handing each entity to
a callback that counts it (qdxf_ReadEach); the floors `wc -l` and a bare
from_chars group reader that reads through a fixed 1 MiB buffer, as the
library does, and builds nothing; and the peers Debian packages (dxflib and
dime, built here if their -dev packages are installed; GDAL's ogrinfo if
present; ezdxf on the smallest files with --ezdxf). Each reader runs as a
whole process, every reader once a round so that a busy machine slows them
alike, and the best wall time of --runs rounds counts; peak memory is the
process's own maximum resident set (from wait4), on the largest drawings.

Then vexlith alone, in process: reading with and without a progress meter,
writing both forms plainly and complete (QDXF_WRITE_COMPLETE), and the per-megabyte time of the largest drawing against
the smallest and of a drawing with 5,000 layers against one with 20.

The read options: the R12 drawings read with QDXF_READ_ALL against qdxf_Read
(what the options cost a drawing without the kinds they translate), and
drawings of modern kinds (make_drawing.py --modern) read with QDXF_READ_ALL
at two sizes, for linearity.

Recovering reads: the drawings read with QDXF_READ_RECOVER against qdxf_Read
(a sound file must read within 1.2 times the plain read's time), and at two
sizes, for linearity and the length of the repair list, a drawing with every
tenth line damaged and one of random bytes after its first kilobytes.

With --callgrind, last: the instructions of one whole-process read of the
smallest drawings by vexlith (both ways, with a progress meter, and with
QDXF_READ_ALL) and by the bare reader (valgrind's callgrind; instruction
counts hold steady on a busy machine where wall times do not), beside the
same run's time ratios. It takes about a minute.

    bench/compare.py [--build build/bench] [--data build/bench-data]
                     [--sizes 10,50,200] [--runs 3] [--ezdxf] [--callgrind]
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run(command, runs):
    """Best wall time and largest peak RSS (MB) of `runs` runs; None if it fails.

    Linux keeps a process's peak RSS across exec, so a child started from
    here would count the interpreter it was forked from: GNU time, small
    itself, starts the reader and reports its peak where it is installed;
    elsewhere BASELINE_MB, measured on `true`, is taken off."""
    best, peak = None, 0.0
    for _ in range(runs):
        report = os.path.join(TIME_DIR, "peak") if TIME_DIR else None
        start = time.perf_counter()
        # stderr is dropped, not piped: a reader that floods it with warnings
        # while stdout is read would wait on the pipe for ever.
        process = subprocess.Popen((["/usr/bin/time", "-f", "%M", "-o", report] if report else [])
                                   + command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        out = process.stdout.read()
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.perf_counter() - start
        process.returncode = status
        if status != 0:
            return None, None, out.decode(errors="replace")
        best = elapsed if best is None else min(best, elapsed)
        if report:
            with open(report) as kilobytes:
                peak = max(peak, int(kilobytes.read().split()[-1]) / 1e3)
        else:
            peak = max(peak, usage.ru_maxrss / 1e3 - BASELINE_MB)
    return best, peak, out.decode(errors="replace")


BASELINE_MB = 0.0
TIME_DIR = None


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


def damaged(path, kind):
    """A damaged copy of the sound drawing at `path`: every tenth line made one
    that is neither a code nor a number (\"x#\" and a number), or everything
    after its first 4 KB random bytes."""
    name = path.replace(".dxf", "-" + kind.split()[0] + ".dxf")
    if os.path.exists(name):
        return name
    print("making", name, file=sys.stderr)
    with open(path, "rb") as sound:
        data = sound.read()
    if kind == "random bytes":
        damaged_data = data[:4096] + random.Random(7).randbytes(len(data) - 4096)
    else:
        lines = data.split(b"\n")
        for i in range(9, len(lines), 10):
            lines[i] = b"x#%d" % i
        damaged_data = b"\n".join(lines)
    with open(name, "wb") as out:
        out.write(damaged_data)
    return name


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
    global BASELINE_MB, TIME_DIR
    if os.access("/usr/bin/time", os.X_OK):
        TIME_DIR = tempfile.mkdtemp()
    else:
        BASELINE_MB = run(["true"], 3)[1]
    files = make_drawings(args.data, sizes)
    bench = os.path.join(args.build, "bench", "vexlith_bench")
    floor = os.path.join(args.build, "bench", "floor_reader")
    READ, EACH, FLOOR = ("vexlith qdxf_Read", "vexlith qdxf_ReadEach (a callback that counts)",
                         "bare from_chars reader (builds nothing)")
    readers = [(READ, [bench, "read", "{}", "--repeat", "1"]),
               (EACH, [bench, "each", "{}", "--repeat", "1"]),
               ("wc -l (no parsing)", ["wc", "-l"]),
               (FLOOR, [floor])]
    readers += [(name, command) for name, command in build_peers(args.data).items()]
    if args.ezdxf:
        readers.append(("ezdxf", ["/usr/bin/python3", "-c",
                                  "import ezdxf,sys; ezdxf.readfile(sys.argv[1])"]))

    columns = [(form, size) for form in ("ascii", "binary") for size in sizes]
    best = {}  # (reader, form, size): (seconds, peak MB); None when it cannot read the file
    for _ in range(args.runs):
        for name, command in readers:
            for form, size in columns:
                if (name == "ezdxf" and size != min(sizes)) or (
                        name == "wc -l (no parsing)" and form == "binary"):
                    continue
                if (name, form, size) in best and best[(name, form, size)] is None:
                    continue
                path = files[(form, size, 20)]
                full = [part.replace("{}", path) for part in command]
                if "{}" not in " ".join(command):
                    full.append(path)
                seconds, peak, out = run(full, 1)
                # A reader that reports no entities has not read the drawing.
                found = re.search(r"(\d+) entities|Feature Count: (\d+)", out)
                if seconds is None or (found and int(found.group(1) or found.group(2)) == 0):
                    best[(name, form, size)] = None
                    continue
                old = best.get((name, form, size), (seconds, peak))
                best[(name, form, size)] = (min(old[0], seconds), max(old[1], peak))

    largest = max(sizes)
    print("| reader | " + " | ".join("%s %d MB" % (f.upper() if f == "ascii" else f, s)
                                     for f, s in columns) +
          " | peak memory, ASCII / binary %d MB |" % largest)
    print("|---|" + "---|" * len(columns) + "---|")
    speeds = {}  # (reader, form, size): MB/s
    for name, _ in readers:
        cells = []
        for form, size in columns:
            if (name, form, size) not in best:
                cells.append("" if name == "ezdxf" else "—")
                continue
            if best[(name, form, size)] is None:
                cells.append("cannot read")
                continue
            megabytes = os.path.getsize(files[(form, size, 20)]) / 1e6
            speeds[(name, form, size)] = megabytes / best[(name, form, size)][0]
            cells.append("%.0f" % speeds[(name, form, size)])
        peaks = ["%.0f MB" % best[(name, form, largest)][1]
                 if best.get((name, form, largest)) else "—" for form in ("ascii", "binary")]
        print("| %s | %s | %s |" % (name, " | ".join(cells), " / ".join(peaks)), flush=True)
    print("\nFigures are MB/s of input, whole process, best of %d rounds; peak memory is "
          "the process's largest resident set." % args.runs)
    # The same run's figures as ratios: vexlith's speed over the floor's and dime's.
    time_ratios = {}
    for ours in (READ, EACH):
        for other in (FLOOR, "dime"):
            cells = []
            for form, size in columns:
                mine, theirs = speeds.get((ours, form, size)), speeds.get((other, form, size))
                if mine and theirs:
                    time_ratios[(ours, other, form, size)] = mine / theirs
                cells.append("%.2f×" % (mine / theirs) if mine and theirs else "—")
            print("%s's speed / %s's: %s" % (ours, other.split(" (")[0], ", ".join(
                "%s %d MB %s" % (form, size, cell) for (form, size), cell in zip(columns, cells))))

    def in_process(*extra):
        out = subprocess.run([bench] + list(extra), check=True, capture_output=True, text=True).stdout
        speed = float(re.search(r"(\d+) MB/s", out).group(1))
        peak = float(re.search(r"\((-?[\d.]+)x\)", out).group(1))
        drawing = float(re.search(r"drawing ([\d.]+) MB", out).group(1))
        return speed, peak, drawing, out.strip()

    print("\nvexlith in process (best of %d):\n" % args.runs)
    print("| drawing | read MB/s | with meter | peak / size | drawing's heap / size "
          "| ReadEach MB/s | write ASCII MB/s | write binary MB/s | complete ASCII "
          "| complete binary |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    scratch = os.path.join(args.data, "written.dxf")
    per_mb = {}
    for form, size in columns:
        path = files[(form, size, 20)]
        megabytes = os.path.getsize(path) / 1e6
        speed, peak, drawing, _ = in_process("read", path, "--repeat", str(args.runs))
        metered, _, _, _ = in_process("read", path, "--meter", "--repeat", str(args.runs))
        each, _, _, _ = in_process("each", path, "--repeat", str(args.runs))
        ascii_out, _, _, _ = in_process("write", path, scratch, "--repeat", str(args.runs))
        binary_out, _, _, _ = in_process("write", path, scratch, "--binary", "--repeat", str(args.runs))
        complete = [in_process("write", path, scratch, "--complete", *extra, "--repeat",
                               str(args.runs))[0] for extra in ([], ["--binary"])]
        per_mb[(form, size)] = 1.0 / speed
        print("| %s %d MB | %.0f | %.0f (%+.0f%%) | %.2f× | %.2f× | %.0f | %.0f | %.0f | %.0f | %.0f |" % (
            form, size, speed, metered, (speed / metered - 1) * 100, peak, drawing / megabytes,
            each, ascii_out, binary_out, complete[0], complete[1]), flush=True)
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

    print("\nrecovering reads (QDXF_READ_RECOVER, best of %d):\n" % args.runs)
    print("| drawing | qdxf_Read MB/s | recovering MB/s | time / qdxf_Read's | repairs |")
    print("|---|---|---|---|---|")
    for form, size in columns:
        path = files[(form, size, 20)]
        plain, _, _, _ = in_process("read", path, "--repeat", str(args.runs))
        recovering, _, _, out = in_process("read", path, "--options", "8", "--repeat",
                                           str(args.runs))
        print("| sound %s %d MB | %.0f | %.0f | %.2f× | %s |" % (
            form, size, plain, recovering, plain / recovering,
            re.search(r"repairs (.*)", out).group(1)), flush=True)
    per_mb = {}
    for size in (min(sizes), max(sizes)):
        for kind in ("every tenth line damaged", "random bytes"):
            name = damaged(files[("ascii", size, 20)], kind)
            speed, _, _, out = in_process("read", name, "--options", "8", "--repeat", "1")
            per_mb[(kind, size)] = 1.0 / speed
            print("| %s, ASCII %d MB | | %.0f | | %s |" % (
                kind, size, speed, re.search(r"repairs (.*)", out).group(1)), flush=True)
    for kind in ("every tenth line damaged", "random bytes"):
        print("linearity, %s: time per MB at %d MB / at %d MB = %.2f" % (
            kind, max(sizes), min(sizes), per_mb[(kind, max(sizes))] / per_mb[(kind, min(sizes))]))

    if args.callgrind:
        if not shutil.which("valgrind"):
            print("\n--callgrind: valgrind is not installed", file=sys.stderr)
            return 1
        small = min(sizes)
        print("\ninstructions of one read, whole process (callgrind), beside the time ratios "
              "of the run above:\n")
        print("| drawing | qdxf_Read | qdxf_ReadEach | bare reader | Read / bare: instructions, "
              "speed | ReadEach / bare: instructions, speed | qdxf_Read with a meter "
              "| with QDXF_READ_ALL | with QDXF_READ_RECOVER |")
        print("|---|---|---|---|---|---|---|---|---|")
        for form in ("ascii", "binary"):
            path = files[(form, small, 20)]
            ours = instructions([bench, "read", path, "--repeat", "1"])
            each = instructions([bench, "each", path, "--repeat", "1"])
            bare = instructions([floor, path])
            metered = instructions([bench, "read", path, "--repeat", "1", "--meter"])
            options = instructions([bench, "read", path, "--repeat", "1", "--options", "7"])
            recovering = instructions([bench, "read", path, "--repeat", "1", "--options", "8"])
            if None in (ours, each, bare, metered, options, recovering):
                print("| %s %d MB | failed | | | | | | | |" % (form, small))
                continue

            def speed(reader):
                ratio = time_ratios.get((reader, FLOOR, form, small))
                return "%.2f×" % ratio if ratio else "—"
            print("| %s %d MB | %.0fM | %.0fM | %.0fM | %.2f×, %s | %.2f×, %s | %.0fM (%+.0f%%) "
                  "| %.0fM (%+.1f%%) | %.0fM (%+.1f%%) |" % (
                      form, small, ours / 1e6, each / 1e6, bare / 1e6, ours / bare, speed(READ),
                      each / bare, speed(EACH), metered / 1e6, (metered / ours - 1) * 100,
                      options / 1e6, (options / ours - 1) * 100, recovering / 1e6,
                      (recovering / ours - 1) * 100), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
