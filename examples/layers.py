#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What a drawing holds, by layer, and the total length of its lines.

    examples/layers.py DRAWING.dxf [OUT.dxf]

Reads the drawing with vexlith, counts its entities per layer and kind and
adds up the length of every LINE with numpy (columns of the whole drawing,
no Python object per entity) and, given OUT, writes the drawing again in the binary form.
"""
import sys

import numpy

import vexlith


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip().splitlines()[2].strip())
    def show(percent):
        print("\rreading %3.0f%%" % percent, end="\n" if percent == 100 else "", file=sys.stderr)
    try:
        drawing = vexlith.read(sys.argv[1], progress=show if sys.stderr.isatty() else None)
    except vexlith.ReadError as error:
        sys.exit("\n".join(error.chain))
    header = drawing.header or {}
    print("%s: DXF version %s, %d entities, %d blocks" % (
        sys.argv[1], header.get("acadver"), len(drawing.entities), len(drawing.blocks)))

    # Columns of the whole section, without a Python object per entity.
    names, positions = drawing.entities.layers()
    kinds = drawing.entities.kinds()
    for layer in sorted(range(len(names)), key=lambda i: str(names[i])):
        counts = numpy.bincount(kinds[positions == layer], minlength=len(vexlith.KINDS))
        print("  %-20s %s" % (names[layer], ", ".join(
            "%d %s" % (n, vexlith.KINDS[kind]) for kind, n in enumerate(counts) if n)))

    lines = drawing.entities.lines().points  # (n, 2, 3): start and end of every LINE
    length = numpy.linalg.norm(lines[:, 1] - lines[:, 0], axis=1).sum()
    vertices, starts = drawing.polylines()
    print("%d lines, %.3f long; %d polylines of %d vertices" % (
        len(lines), length, len(starts) - 1, len(vertices)))

    if len(sys.argv) == 3:
        drawing.write(sys.argv[2], binary=True)
        print("written to", sys.argv[2])


if __name__ == "__main__":
    main()
