#!/usr/bin/env python3
"""Hostile drawings for the translations, read with QDXF_READ_ALL, each with
its time and peak memory, and a check that the peak stays bounded.

Small files whose hatches would make millions of records: ten pattern hatches
of a fine pattern over a large boundary, self-crossing solid hatches (a star
polygon crosses itself everywhere), a solid hatch of a million boundary
vertices. Each drawing is read by vexlith_bench (its best time of --repeat
runs and the peak resident memory above the process's start); the check
fails (status 1) when a peak exceeds --max-peak MB plus --per-mb MB for each
megabyte of the file.

    hostile.py BUILD/bench/vexlith_bench [--dir /tmp] [--repeat 1]
        [--max-peak 64] [--per-mb 40]
"""
import argparse
import math
import os
import re
import subprocess
import sys
import tempfile


def groups(pairs):
    return "".join("%d\n%s\n" % (code, value) for code, value in pairs)


def drawing(entities):
    """An AC1015 drawing of the given entity groups."""
    return (groups([(0, "SECTION"), (2, "HEADER"), (9, "$ACADVER"), (1, "AC1015"),
                    (0, "ENDSEC"), (0, "SECTION"), (2, "ENTITIES")]) + "".join(entities) +
            groups([(0, "ENDSEC"), (0, "EOF")]))


def hatch(handle, points, solid, families=()):
    """A HATCH of one polyline path through `points`; `families` are pattern
    lines (angle, offset x, offset y, dashes)."""
    pairs = [(0, "HATCH"), (5, "%X" % handle), (8, "0"), (10, 0.0), (20, 0.0), (30, 0.0),
             (210, 0.0), (220, 0.0), (230, 1.0), (2, "SOLID" if solid else "HOSTILE"),
             (70, 1 if solid else 0), (71, 0), (91, 1), (92, 3), (72, 0), (73, 1),
             (93, len(points))]
    for x, y in points:
        pairs += [(10, "%.6g" % x), (20, "%.6g" % y)]
    pairs += [(97, 0), (75, 0), (76, 1)]
    if not solid:
        pairs += [(52, 0.0), (41, 1.0), (77, 0), (78, len(families))]
        for angle, dx, dy, dashes in families:
            pairs += [(53, angle), (43, 0.0), (44, 0.0), (45, dx), (46, dy), (79, len(dashes))]
            pairs += [(49, dash) for dash in dashes]
    pairs.append((98, 0))
    return groups(pairs)


def square(size):
    return [(0, 0), (size, 0), (size, size), (0, size)]


def star(count, step):
    """A star polygon {count/step}: every edge crosses many others."""
    return [(1000 * math.cos(2 * math.pi * i * step / count),
             1000 * math.sin(2 * math.pi * i * step / count)) for i in range(count)]


def circle(count):
    return [(1000 * math.cos(2 * math.pi * i / count), 1000 * math.sin(2 * math.pi * i / count))
            for i in range(count)]


DRAWINGS = {
    # Pattern lines 1 unit apart with dashes over a square of 10^6.
    "pattern-hatches": lambda: drawing(
        hatch(0x100 + i, square(1e6), False,
              [(45.0 * k, 0.0, 1.0, [0.5, -0.25, 0.0, -0.25]) for k in range(4)])
        for i in range(10)),
    # Four self-crossing stars of 1500 points.
    "crossing-hatches": lambda: drawing(hatch(0x100 + i, star(1499, 700 + i), True)
                                        for i in range(4)),
    "million-vertices": lambda: drawing([hatch(0x100, circle(1_000_000), True)]),
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("bench", help="the vexlith_bench program")
    parser.add_argument("--dir", default=tempfile.gettempdir())
    parser.add_argument("--repeat", type=int, default=1)
    parser.add_argument("--max-peak", type=float, default=64.0)
    parser.add_argument("--per-mb", type=float, default=40.0)
    args = parser.parse_args()
    failed = False
    print("| drawing | file | time | peak memory |")
    print("|---|---|---|---|")
    for name, make in DRAWINGS.items():
        path = os.path.join(args.dir, "hostile-%s.dxf" % name)
        if not os.path.exists(path):
            with open(path, "w") as out:
                out.write(make())
        megabytes = os.path.getsize(path) / 1e6
        run = subprocess.run([args.bench, "read", path, "--options", "7", "--repeat",
                              str(args.repeat)], capture_output=True, text=True)
        found = re.search(r"best ([\d.]+) s .* peak (-?[\d.]+) MB", run.stdout)
        if run.returncode or not found:
            print("%s: the read failed: %s" % (name, run.stderr.strip()), file=sys.stderr)
            failed = True
            continue
        seconds, peak = float(found.group(1)), float(found.group(2))
        bound = args.max_peak + args.per_mb * megabytes
        print("| %s | %.0f KB | %.2f s | %.0f MB |" % (name, megabytes * 1e3, seconds, peak))
        if peak > bound:
            print("%s: a peak of %.0f MB is above %.0f MB" % (name, peak, bound), file=sys.stderr)
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
