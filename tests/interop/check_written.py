#!/usr/bin/env python3
"""Reads DXF files written by vexlith with ezdxf and prints what ezdxf sees.

Used by the interop tests: the test writes a drawing in both forms, runs this
script on the files and compares the output with what the drawing holds.
For each file it prints the DXF version ezdxf settled on, every warning ezdxf
logged while loading, what ezdxf's auditor found (errors) or would change
(fixes), the header extents, each block definition with its entities, the
entities of the model space, and the layers all of these are on.

"Layers" here are the layer names the entities and blocks are on. vexlith
writes no symbol tables, so ezdxf's own LAYER table holds only the entries it
creates for every drawing ("0", "Defpoints"); those are not printed.
The blocks ezdxf makes for its layouts (*Model_Space, *Paper_Space) are not
printed either.

Numbers are printed with 8 significant digits, so that the last digits of
the two libraries' angle conversions do not show. Attributes a file
left out are printed with ezdxf's default, so a record written without its
optional groups prints the values the writer left out as defaults.

With --audit it prints only the files ezdxf cannot load or whose audit finds
errors, each with the errors (and the layers, line types and text styles
entities name that have no entry).

Exit status: 0 when every file was loaded, 1 when one could not be, 77 when
ezdxf cannot be imported (the tests then skip).
"""
import logging
import os
import re
import sys

try:
    import ezdxf
except ImportError as error:  # pragma: no cover - depends on the machine
    print(f"ezdxf cannot be imported: {error}", file=sys.stderr)
    sys.exit(77)


# ezdxf 0.18.1 loses the owner of the SEQEND that ends a POLYLINE inside a
# block of an R12 drawing and its auditor then deletes that SEQEND. It does so
# to the R12 files it writes itself as well, so it says nothing about the file;
# such fixes are counted apart (one per POLYLINE in a block), not as repairs.
SEQEND_QUIRK = re.compile(r"^Deleted SEQEND\(#\w+\) entity with invalid owner handle #None\.$")


class Warnings(logging.Handler):
    """Collects what ezdxf logs at WARNING or above."""

    def __init__(self):
        super().__init__(level=logging.WARNING)
        self.messages = []

    def emit(self, record):
        self.messages.append(record.getMessage())


def real(value):
    return "%.8g" % value


def point(value):
    return "(%s)" % ", ".join(real(c) for c in value)


def common(entity):
    dxf = entity.dxf
    return [
        entity.dxftype(),
        "layer=" + dxf.layer,
        "linetype=" + dxf.get("linetype", "BYLAYER"),
        "color=%d" % dxf.get("color", 256),
    ]


def describe(entity):
    """One line per entity: its kind, common attributes and its own."""
    kind = entity.dxftype()
    dxf = entity.dxf
    parts = common(entity)
    if kind == "LINE":
        parts += ["start=" + point(dxf.start), "end=" + point(dxf.end)]
    elif kind == "POINT":
        parts += ["location=" + point(dxf.location)]
    elif kind == "CIRCLE":
        parts += ["center=" + point(dxf.center), "radius=" + real(dxf.radius)]
    elif kind == "ARC":
        parts += [
            "center=" + point(dxf.center),
            "radius=" + real(dxf.radius),
            "start=" + real(dxf.start_angle),
            "end=" + real(dxf.end_angle),
        ]
    elif kind in ("TRACE", "SOLID"):
        parts += ["corners=" + " ".join(point(dxf.get("vtx%d" % i)) for i in range(4))]
    elif kind == "TEXT":
        parts += [
            "insert=" + point(dxf.insert),
            "height=" + real(dxf.height),
            "text=" + repr(dxf.text),
            "rotation=" + real(dxf.get("rotation", 0.0)),
            "width=" + real(dxf.get("width", 1.0)),
            "oblique=" + real(dxf.get("oblique", 0.0)),
        ]
    elif kind == "INSERT":
        parts += [
            "block=" + dxf.name,
            "insert=" + point(dxf.insert),
            "scale=" + point((dxf.get("xscale", 1.0), dxf.get("yscale", 1.0),
                              dxf.get("zscale", 1.0))),
            "rotation=" + real(dxf.get("rotation", 0.0)),
            "grid=%dx%d" % (dxf.get("column_count", 1), dxf.get("row_count", 1)),
            "spacing=%s,%s" % (real(dxf.get("column_spacing", 0.0)),
                               real(dxf.get("row_spacing", 0.0))),
        ]
    elif kind == "POLYLINE":
        parts += [
            "flags=%d" % dxf.get("flags", 0),
            "vertices=" + " ".join(point(v.dxf.location) for v in entity.vertices),
        ]
        parts += ["vertex-layers=" + ",".join(sorted({v.dxf.layer for v in entity.vertices}))]
    return " ".join(parts)


def check(path):
    handler = Warnings()
    logger = logging.getLogger("ezdxf")
    logger.addHandler(handler)
    try:
        doc = ezdxf.readfile(path)
    finally:
        logger.removeHandler(handler)
    lines = []
    header = doc.header
    for name in ("$EXTMIN", "$EXTMAX"):
        if name in header:
            lines.append("header %s=%s" % (name, point(header[name])))

    # What was read, before the auditor changes anything.
    layers = set()
    blocks = [b for b in doc.blocks if not b.block_record.is_any_layout]
    for block in sorted(blocks, key=lambda b: b.name):
        dxf = block.block.dxf
        layers.add(dxf.layer)
        lines.append("block %s layer=%s flags=%d base=%s" % (
            block.name, dxf.layer, dxf.get("flags", 0), point(dxf.base_point)))
        for entity in block:
            layers.add(entity.dxf.layer)
            lines.append("  " + describe(entity))
    for entity in doc.modelspace():
        layers.add(entity.dxf.layer)
        lines.append("entity " + describe(entity))

    auditor = doc.audit()
    quirks = [f for f in auditor.fixes if SEQEND_QUIRK.match(f.message)]
    fixes = [f for f in auditor.fixes if not SEQEND_QUIRK.match(f.message)]
    findings = ["version " + doc.dxfversion]
    findings += ["warning: " + message for message in handler.messages]
    findings.append("audit: %d errors, %d fixes" % (len(auditor.errors), len(fixes)))
    findings += ["  error: " + entry.message for entry in auditor.errors]
    findings += ["  fix: " + entry.message for entry in fixes]
    if quirks:
        findings.append("ezdxf quirk: %d block SEQEND" % len(quirks))
    lines = findings + lines
    lines.append("layers " + ",".join(sorted(layers)))
    return lines


def undefined(doc):
    """Layers, line types and text styles entities name without an entry."""
    found = [("layer", e.dxf.layer, doc.layers) for layout in [doc.modelspace(), *doc.blocks]
             for e in layout] + [("text style", e.dxf.style, doc.styles) for e in doc.query("TEXT")]
    found += [("line type", e.dxf.linetype, doc.linetypes) for e in doc.entitydb.values()
              if e.dxf.hasattr("linetype") and e.dxf.linetype.upper() not in ("BYLAYER", "BYBLOCK")]
    return sorted({"undefined %s %s" % (kind, name) for kind, name, table in found
                   if not table.has_entry(name)})


def audit(paths):
    """ezdxf.readfile takes no \\U+XXXX escape in a name, where programs of R12
    decode it; its recover mode decodes them as they do, in the ASCII form only
    (a binary file is then left to the ASCII one of the same drawing). Names
    carry escapes only where no one code page holds their scripts."""
    from ezdxf import recover
    logging.getLogger("ezdxf").setLevel(logging.ERROR)
    for path in paths:
        with open(path, "rb") as file:
            data = file.read()
        try:
            try:
                doc = ezdxf.readfile(path)
                errors = doc.audit().errors + undefined(doc)
            except ezdxf.DXFValueError:
                if b"\\U+" not in data or data.startswith(b"AutoCAD Binary DXF"):
                    raise
                doc, loading = recover.readfile(path)
                errors = loading.errors + doc.audit().errors + undefined(doc)
        except Exception as error:  # every failure to load is a finding
            escaped = b"\\U+" in data and data.startswith(b"AutoCAD Binary DXF")
            errors = [] if escaped else ["not loaded: %s: %s" % (type(error).__name__, error)]
        if errors:
            print("%s: %s" % (path, "; ".join(getattr(e, "message", e) for e in errors)))
    return 0


def main(paths):
    if paths and paths[0] == "--audit":
        return audit(paths[1:])
    status = 0
    for path in paths:
        print("== " + os.path.basename(path))
        try:
            lines = check(path)
        except Exception as error:  # every failure to load is a finding
            lines = ["not loaded: %s: %s" % (type(error).__name__, error)]
            status = 1
        for line in lines:
            print(line)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
