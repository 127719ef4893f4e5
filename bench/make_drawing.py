#!/usr/bin/env python3
"""Writes benchmark DXF drawings: R12, ASCII or binary, of a given size.

The drawing has a HEADER, LTYPE/LAYER/STYLE tables, a few blocks and an
ENTITIES section with a realistic mix of the ten entity kinds the library
reads (lines, polylines of every length, texts, inserts with attributes, ...)
plus records of kinds it keeps as invalid entities. With --modern (ASCII
only) a third of the entities are of the kinds the read options translate
(LWPOLYLINE, ELLIPSE, SPLINE, MTEXT, HATCH, LEADER, DIMENSION) or lie in a
mirrored plane. The same seed gives the same drawing, byte for byte.

    make_drawing.py OUT --megabytes 50 [--binary | --modern] [--layers 20] [--seed 1]
"""
import argparse
import random
import struct
import sys

SENTINEL = b"AutoCAD Binary DXF\r\n\x1a\x00"


def kind_of(code):
    """The value kind of a code: 'text', 'real' or 'int' (R12 codes only)."""
    if 0 <= code <= 9 or 100 <= code <= 109 or code == 999:
        return "text"
    if 10 <= code <= 59 or 140 <= code <= 147 or 210 <= code <= 239:
        return "real"
    return "int"


class AsciiSink:
    def __init__(self, out):
        self.out = out
        self.parts = []
        self.size = 0

    def group(self, code, value):
        kind = kind_of(code)
        if kind == "real":
            text = "%.6f" % value if isinstance(value, float) else str(value)
        elif kind == "int":
            text = "%6d" % value
        else:
            text = value
        line = "%3d\n%s\n" % (code, text)
        self.parts.append(line)
        self.size += len(line)
        if len(self.parts) > 20000:
            self.flush()

    def flush(self):
        self.out.write("".join(self.parts).encode("latin-1"))
        self.parts = []


class BinarySink:
    def __init__(self, out):
        self.out = out
        self.parts = [SENTINEL]
        self.size = len(SENTINEL)
        self.pack_real = struct.Struct("<Bd").pack
        self.pack_int = struct.Struct("<Bh").pack

    def group(self, code, value):
        kind = kind_of(code)
        if kind == "real":
            data = self.pack_real(code, value)
        elif kind == "int":
            data = self.pack_int(code, value)
        else:
            data = bytes((code,)) + value.encode("latin-1") + b"\0"
        self.parts.append(data)
        self.size += len(data)
        if len(self.parts) > 20000:
            self.flush()

    def flush(self):
        self.out.write(b"".join(self.parts))
        self.parts = []


class Drawing:
    def __init__(self, sink, rng, layers, modern=False):
        self.sink = sink
        self.modern = modern
        self.rng = rng
        self.layers = ["0"] + ["LAYER_%04d" % i for i in range(1, layers)]
        self.handle = 0x100

    def g(self, code, value):
        self.sink.group(code, value)

    def coord(self):
        return round(self.rng.uniform(-5000.0, 5000.0), 6)

    def point(self, base=0, z=True):
        self.g(10 + base, self.coord())
        self.g(20 + base, self.coord())
        if z:
            self.g(30 + base, 0.0)

    def common(self, kind, layer=None):
        self.g(0, kind)
        self.handle += 1
        self.g(5, "%X" % self.handle)
        self.g(8, layer or self.rng.choice(self.layers))
        if self.rng.random() < 0.3:
            self.g(62, self.rng.randint(1, 255))
        if self.rng.random() < 0.1:
            self.g(6, self.rng.choice(("DASHED", "CENTER")))

    def header(self):
        g = self.g
        g(0, "SECTION"); g(2, "HEADER")
        g(9, "$ACADVER"); g(1, "AC1015" if self.modern else "AC1009")
        g(9, "$INSBASE"); g(10, 0.0); g(20, 0.0); g(30, 0.0)
        g(9, "$EXTMIN"); g(10, -5000.0); g(20, -5000.0); g(30, 0.0)
        g(9, "$EXTMAX"); g(10, 5000.0); g(20, 5000.0); g(30, 0.0)
        for name, code, value in (("$LTSCALE", 40, 1.0), ("$TEXTSIZE", 40, 2.5),
                                  ("$TRACEWID", 40, 0.05), ("$PLINEWID", 40, 0.0),
                                  ("$TDCREATE", 40, 2459580.5), ("$ANGBASE", 50, 0.0)):
            g(9, name); g(code, value)
        for name, value in (("$ANGDIR", 0), ("$AUNITS", 0), ("$AUPREC", 0), ("$CECOLOR", 256),
                            ("$FILLMODE", 1), ("$LUNITS", 2), ("$LUPREC", 4), ("$PLINEGEN", 0)):
            g(9, name); g(70 if name != "$CECOLOR" else 62, value)
        g(9, "$CELTYPE"); g(6, "BYLAYER")
        g(9, "$CLAYER"); g(8, "0")
        g(9, "$TEXTSTYLE"); g(7, "STANDARD")
        g(0, "ENDSEC")

    def tables(self):
        g = self.g
        g(0, "SECTION"); g(2, "TABLES")
        g(0, "TABLE"); g(2, "LTYPE"); g(70, 3)
        for name, dashes in (("CONTINUOUS", ()), ("DASHED", (0.5, -0.25)),
                             ("CENTER", (1.25, -0.25, 0.25, -0.25))):
            g(0, "LTYPE"); g(2, name); g(70, 0); g(3, name.title()); g(72, 65)
            g(73, len(dashes)); g(40, sum(abs(d) for d in dashes))
            for dash in dashes:
                g(49, dash)
        g(0, "ENDTAB")
        g(0, "TABLE"); g(2, "LAYER"); g(70, len(self.layers))
        for index, name in enumerate(self.layers):
            g(0, "LAYER"); g(2, name); g(70, 0); g(62, 1 + index % 255)
            g(6, ("CONTINUOUS", "DASHED", "CENTER")[index % 3])
        g(0, "ENDTAB")
        g(0, "TABLE"); g(2, "STYLE"); g(70, 2)
        for name, font in (("STANDARD", "txt"), ("ROMANS", "romans.shx")):
            g(0, "STYLE"); g(2, name); g(70, 0); g(40, 0.0); g(41, 1.0); g(50, 0.0)
            g(71, 0); g(42, 2.5); g(3, font); g(4, "")
        g(0, "ENDTAB")
        g(0, "TABLE"); g(2, "VIEW"); g(70, 0); g(0, "ENDTAB")
        g(0, "ENDSEC")

    def blocks(self):
        g = self.g
        g(0, "SECTION"); g(2, "BLOCKS")
        for index in range(8):
            g(0, "BLOCK"); g(8, "0"); g(2, "SYMBOL_%d" % index); g(70, 2 if index == 0 else 0)
            g(10, 0.0); g(20, 0.0); g(30, 0.0); g(3, "SYMBOL_%d" % index)
            if index == 0:
                g(0, "ATTDEF"); g(8, "0"); self.point(); g(40, 2.5); g(1, "?")
                g(3, "Tag?"); g(2, "TAG"); g(70, 0)
            for _ in range(12):
                self.entity(in_block=True)
            g(0, "ENDBLK"); g(8, "0")
        g(0, "ENDSEC")

    def modern_entity(self, layer):
        """One entity of a kind the read options translate."""
        rng, g = self.rng, self.g
        pick = rng.random()
        if pick < 0.3:
            count = rng.randint(2, 60)
            self.common("LWPOLYLINE", layer); g(90, count); g(70, rng.choice((0, 1))); g(38, 0.0)
            for _ in range(count):
                self.point(z=False)
                if rng.random() < 0.2:
                    g(42, round(rng.uniform(-1, 1), 6))
        elif pick < 0.4:
            self.common("ELLIPSE", layer); self.point()
            g(11, round(rng.uniform(1, 100), 6)); g(21, round(rng.uniform(1, 100), 6)); g(31, 0.0)
            g(40, round(rng.uniform(0.1, 0.9), 6)); g(41, 0.0); g(42, round(rng.uniform(1, 6.28), 6))
        elif pick < 0.5:
            count = rng.randint(4, 30)
            self.common("SPLINE", layer); g(70, 8); g(71, 3); g(72, count + 4); g(73, count); g(74, 0)
            for knot in [0.0] * 4 + [float(k) for k in range(1, count - 3)] + [float(count - 3)] * 4:
                g(40, knot)
            for _ in range(count):
                self.point()
        elif pick < 0.65:
            self.common("MTEXT", layer); self.point(); g(40, 2.5); g(41, 100.0)
            g(71, rng.randint(1, 9))
            g(1, "{\\fArial|b1;Note} %d\\Psecond line \\S1/2;" % rng.randint(1, 999))
        elif pick < 0.8:
            x, y = self.coord(), self.coord()
            size = round(rng.uniform(1, 50), 6)
            solid = rng.random() < 0.5
            self.common("HATCH", layer); g(10, 0.0); g(20, 0.0); g(30, 0.0)
            g(210, 0.0); g(220, 0.0); g(230, 1.0); g(2, "SOLID" if solid else "ANSI31")
            g(70, 1 if solid else 0); g(71, 0); g(91, 1); g(92, 2); g(72, 0); g(73, 1); g(93, 4)
            for dx, dy in ((0, 0), (size, 0), (size, size), (0, size)):
                g(10, x + dx); g(20, y + dy)
            g(97, 0); g(75, 0); g(76, 1)
            if not solid:
                g(52, 0.0); g(41, 1.0); g(77, 0); g(78, 1); g(53, 45.0); g(43, 0.0); g(44, 0.0)
                g(45, -round(size / 10, 6)); g(46, round(size / 10, 6)); g(79, 0)
            g(98, 0)
        elif pick < 0.85:
            self.common("LEADER", layer); g(76, 3)
            for _ in range(3):
                self.point()
        elif pick < 0.9:
            self.common("DIMENSION", layer); g(2, "SYMBOL_%d" % rng.randint(1, 7)); self.point()
        else:
            self.common("CIRCLE", layer); self.point(); g(40, round(rng.uniform(0.1, 200), 6))
            g(210, 0.0); g(220, 0.0); g(230, -1.0)

    def entity(self, in_block=False):
        rng = self.rng
        g = self.g
        if self.modern and rng.random() < 0.33:
            return self.modern_entity("0" if in_block else None)
        pick = rng.random()
        layer = "0" if in_block else None
        if pick < 0.30:
            self.common("LINE", layer); self.point(0); self.point(1)
        elif pick < 0.38:
            self.common("CIRCLE", layer); self.point(); g(40, round(rng.uniform(0.1, 200), 6))
        elif pick < 0.46:
            self.common("ARC", layer); self.point(); g(40, round(rng.uniform(0.1, 200), 6))
            g(50, round(rng.uniform(0, 360), 6)); g(51, round(rng.uniform(0, 360), 6))
        elif pick < 0.50:
            self.common("POINT", layer); self.point()
        elif pick < 0.60:
            self.common("TEXT", layer); self.point(); g(40, 2.5)
            g(1, "Label %d on sheet %d" % (rng.randint(1, 9999), rng.randint(1, 99)))
            if rng.random() < 0.3:
                g(50, round(rng.uniform(0, 360), 6))
            if rng.random() < 0.2:
                g(72, 1); self.point(1)
            g(7, "STANDARD")
        elif pick < 0.66 and not in_block:
            attributes = rng.random() < 0.25
            self.common("INSERT", layer)
            if attributes:
                g(66, 1)
            g(2, "SYMBOL_%d" % (0 if attributes else rng.randint(1, 7)))
            self.point()
            if rng.random() < 0.5:
                scale = round(rng.uniform(0.5, 2), 6)
                g(41, scale); g(42, scale); g(43, scale)
            if rng.random() < 0.4:
                g(50, round(rng.uniform(0, 360), 6))
            if attributes:
                self.common("ATTRIB", layer); self.point(); g(40, 2.5); g(1, "V%d" % rng.randint(1, 999))
                g(2, "TAG"); g(70, 0)
                self.common("SEQEND", layer)
        elif pick < 0.69:
            self.common("SOLID", layer)
            for base in range(4):
                self.point(base)
        elif pick < 0.71:
            self.common("TRACE", layer)
            for base in range(4):
                self.point(base)
        elif pick < 0.75:
            self.common("3DFACE", layer)
            for base in range(4):
                self.point(base)
        elif pick < 0.97:
            count = rng.randint(2, 40) if rng.random() < 0.97 else rng.randint(300, 3000)
            self.common("POLYLINE", layer); g(66, 1)
            g(10, 0.0); g(20, 0.0); g(30, 0.0)
            three_d = rng.random() < 0.2
            g(70, (8 if three_d else 0) | (1 if rng.random() < 0.4 else 0))
            vertex_layer = layer or self.rng.choice(self.layers)
            for _ in range(count):
                g(0, "VERTEX"); self.handle += 1; g(5, "%X" % self.handle); g(8, vertex_layer)
                self.point(z=three_d)
                if three_d:
                    g(70, 32)
                elif rng.random() < 0.1:
                    g(42, round(rng.uniform(-1, 1), 6))
            g(0, "SEQEND"); self.handle += 1; g(5, "%X" % self.handle); g(8, vertex_layer)
        else:
            # Kinds the library keeps as invalid entities.
            self.common("SHAPE", layer); self.point(); g(40, 1.0); g(2, "BOX")

    def write(self, target_size):
        self.header()
        self.tables()
        self.blocks()
        self.g(0, "SECTION"); self.g(2, "ENTITIES")
        while self.sink.size < target_size:
            for _ in range(200):
                self.entity()
        self.g(0, "ENDSEC")
        self.g(0, "EOF")
        self.sink.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--megabytes", type=float, required=True)
    parser.add_argument("--binary", action="store_true")
    parser.add_argument("--modern", action="store_true")
    parser.add_argument("--layers", type=int, default=20)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    with open(args.out, "wb") as out:
        sink = BinarySink(out) if args.binary else AsciiSink(out)
        Drawing(sink, random.Random(args.seed), args.layers, args.modern).write(
            int(args.megabytes * 1e6))
    return 0


if __name__ == "__main__":
    sys.exit(main())
