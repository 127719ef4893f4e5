#!/usr/bin/env python3
"""Reading the benchmark drawing from Python: vexlith against ezdxf.

Each task runs in a process of its own, in the same run, --runs times (the
ezdxf task --peer-runs times): the processor time of the work itself (all
threads), its wall time, the processor time of the whole process, interpreter
start and imports included (best run; processor time, which other work on a
busy machine disturbs less than wall time), and the process's peak memory
(maximum resident set, the interpreter included; largest run). Each vexlith
task is set against ezdxf's readfile and a loop over modelspace() reading
dxftype() and dxf.layer: how many times faster the whole process is, and how
many times less peak memory it takes. With --bench (vexlith_bench of a build
with VEXLITH_BUILD_BENCHMARKS), iter_entities is set against qdxf_ReadEach
from C. vexlith comes from PYTHONPATH as the environment has it: an installed
package, or a CMake build's (PYTHONPATH=build/release/python).

    PYTHONPATH=build/release/python bench/python_compare.py [--megabytes 10] [--runs 3]
        [--peer-runs 1] [--bench build/release/bench/vexlith_bench]
"""
import argparse
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

PEER = "ezdxf: readfile, dxftype() and dxf.layer of modelspace()"
TASKS = [
    ("vexlith.read", "import vexlith", "vexlith.read(path)"),
    ("vexlith: read, len(entities)", "import vexlith", "len(vexlith.read(path).entities)"),
    ("vexlith: read, kind and layer of every entity", "import vexlith",
     "for e in vexlith.read(path).entities: e.kind; e.layer"),
    ("vexlith: read, entities.lines()", "import vexlith", "vexlith.read(path).entities.lines()"),
    ("vexlith: iter_entities, kind and layer", "import vexlith",
     "for e in vexlith.iter_entities(path): e.kind; e.layer"),
    (PEER, "import ezdxf", "for e in ezdxf.readfile(path).modelspace(): e.dxftype(); e.dxf.layer"),
]


def run(python, setup, statement, path):
    """(work CPU s, work wall s, process CPU s, peak MB) of one process."""
    code = ("import sys, time\n%s\npath = sys.argv[1]\n"
            "start, wall = time.process_time(), time.perf_counter()\n%s\n"
            "print(time.process_time() - start, time.perf_counter() - wall)\n" % (setup, statement))
    process = subprocess.Popen([python, "-c", code, path], stdout=subprocess.PIPE)
    out = process.stdout.read().split()
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        sys.exit("%s failed" % statement)
    return float(out[0]), float(out[1]), usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1e3


def read_each(bench, path, runs):
    """qdxf_ReadEach's best time from C, with every read option (as iter_entities reads)."""
    out = subprocess.run([bench, "each", path, "--options", "7", "--repeat", str(runs)],
                         check=True, capture_output=True, text=True).stdout
    return float(re.search(r"best ([0-9.]+) s", out).group(1))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", default="build/bench-data")
    parser.add_argument("--megabytes", type=int, default=10)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--peer-runs", type=int, help="runs of the ezdxf task (--runs)")
    parser.add_argument("--python", default="/usr/bin/python3")
    parser.add_argument("--bench", help="vexlith_bench, for qdxf_ReadEach from C")
    args = parser.parse_args()
    path = os.path.join(args.data, "ascii-%dMB-20layers.dxf" % args.megabytes)
    if not os.path.exists(path):
        os.makedirs(args.data, exist_ok=True)
        subprocess.run([sys.executable, os.path.join(HERE, "make_drawing.py"), path,
                        "--megabytes", str(args.megabytes), "--layers", "20"], check=True)
    peer_runs = args.peer_runs or args.runs
    print("%s, %.1f MB; best of %d runs (ezdxf: %d)\n" % (path, os.path.getsize(path) / 1e6,
                                                         args.runs, peer_runs))
    results = {}
    for name, setup, statement in TASKS:
        runs = [run(args.python, setup, statement, path)
                for _ in range(peer_runs if name == PEER else args.runs)]
        results[name] = [min(r[i] for r in runs) for i in range(3)] + [max(r[3] for r in runs)]
    peer = results[PEER]
    print("| task | work, CPU s | work, wall s | whole process, CPU s | peak memory MB "
          "| ezdxf's process time over this | ezdxf's peak over this |")
    print("|---|---|---|---|---|---|---|")
    for name, (work, wall, whole, peak) in results.items():
        print("| %s | %.3f | %.3f | %.3f | %.1f | %.0f× | %.1f× |" % (
            name, work, wall, whole, peak, peer[2] / whole, peer[3] / peak))
    if args.bench:
        each = read_each(args.bench, path, args.runs)
        work, wall = results["vexlith: iter_entities, kind and layer"][:2]
        print("\nqdxf_ReadEach from C: %.3f s; iter_entities over every entity: %.2f× its time "
              "(wall), %.2f× (CPU, both threads)" % (each, wall / each, work / each))
    return 0


if __name__ == "__main__":
    sys.exit(main())
