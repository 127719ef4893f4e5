#!/usr/bin/env python3
"""Reading the benchmark drawing from Python: vexlith against ezdxf.readfile.

Each reader runs in a process of its own, in the same run, --runs times: the
processor time of the read itself and of the whole process, interpreter
start included (best run; processor time, which other work on a busy machine
disturbs less than wall time), and the process's peak memory (maximum
resident set, the interpreter included; largest run). vexlith comes from PYTHONPATH as the environment has it: an
installed package, or a CMake build's (PYTHONPATH=build/release/python).

    PYTHONPATH=build/release/python bench/python_compare.py [--megabytes 10] [--runs 3]
"""
import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

READERS = [
    ("vexlith.read", "import vexlith", "vexlith.read(path)"),
    ("vexlith.read, every keyword False", "import vexlith",
     "vexlith.read(path, modern=False, world=False, utf8=False)"),
    ("vexlith.iter_entities", "import vexlith", "sum(1 for _ in vexlith.iter_entities(path))"),
    ("vexlith.read and points('LINE')", "import vexlith", "vexlith.read(path).points('LINE')"),
    ("ezdxf.readfile", "import ezdxf", "ezdxf.readfile(path)"),
]


def run(python, setup, statement, path):
    """(read seconds, process seconds, peak MB) of one process."""
    code = ("import sys, time\n%s\npath = sys.argv[1]\nstart = time.process_time()\n%s\n"
            "print(time.process_time() - start)\n" % (setup, statement))
    process = subprocess.Popen([python, "-c", code, path], stdout=subprocess.PIPE)
    out = process.stdout.read()
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        sys.exit("%s failed" % statement)
    return float(out), usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1e3


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", default="build/bench-data")
    parser.add_argument("--megabytes", type=int, default=10)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--python", default="/usr/bin/python3")
    args = parser.parse_args()
    path = os.path.join(args.data, "ascii-%dMB-20layers.dxf" % args.megabytes)
    if not os.path.exists(path):
        os.makedirs(args.data, exist_ok=True)
        subprocess.run([sys.executable, os.path.join(HERE, "make_drawing.py"), path,
                        "--megabytes", str(args.megabytes), "--layers", "20"], check=True)
    print("%s, %.1f MB, best of %d runs\n" % (path, os.path.getsize(path) / 1e6, args.runs))
    print("| reader | read, CPU s | whole process, CPU s | peak memory MB |")
    print("|---|---|---|---|")
    results = {}
    for name, setup, statement in READERS:
        runs = [run(args.python, setup, statement, path) for _ in range(args.runs)]
        read, whole, peak = min(r[0] for r in runs), min(r[1] for r in runs), max(r[2] for r in runs)
        results[name] = read, whole, peak
        print("| %s | %.3f | %.3f | %.1f |" % (name, read, whole, peak), flush=True)
    ours, theirs = results["vexlith.read"], results["ezdxf.readfile"]
    print("\nvexlith.read against ezdxf.readfile: %.0f× faster (the read), %.0f× (whole process), "
          "%.1f× less peak memory (whole process)" % (theirs[0] / ours[0], theirs[1] / ours[1],
                                                     theirs[2] / ours[2]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
