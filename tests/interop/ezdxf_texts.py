#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Prints the texts that are not plain ASCII which ezdxf (Debian's
python3-ezdxf) decodes from each DXF file named, one line per distinct text
(the file as named, a tab, the text): table entries' names, fonts and line
type texts, blocks' names and layers, entities' layers and line types, TEXT
texts and styles, INSERT block names, $CLAYER, $CELTYPE and $TEXTSTYLE. An
ASCII file is read by its recover mode, which decodes \\U+XXXX escapes in
every text; a binary file by its plain reader. Exit status 77 without ezdxf.
"""
import sys

try:
    import ezdxf
    from ezdxf import recover
    from ezdxf.entities import DXFGraphic
except ImportError as error:
    print(error)
    sys.exit(77)


def texts(doc):
    for layer in doc.layers:
        yield from (layer.dxf.name, layer.dxf.get("linetype", ""))
    for ltype in doc.linetypes:
        yield from (ltype.dxf.name, ltype.dxf.get("description", ""))
    for style in doc.styles:
        yield from (style.dxf.name, style.dxf.get("font", ""), style.dxf.get("bigfont", ""))
    for block in doc.blocks:
        yield from (block.name, block.block.dxf.get("layer", ""))
    for entity in doc.entitydb.values():
        # A POLYLINE holds its vertices' groups, and the library no VERTEX.
        if isinstance(entity, DXFGraphic) and entity.dxftype() not in ("VERTEX", "SEQEND"):
            yield from (entity.dxf.get("layer", ""), entity.dxf.get("linetype", ""))
            if entity.dxftype() == "TEXT":
                yield from (entity.dxf.get("text", ""), entity.dxf.get("style", ""))
            elif entity.dxftype() == "INSERT":
                yield entity.dxf.get("name", "")
    yield from (doc.header.get(name, "") for name in ("$CLAYER", "$CELTYPE", "$TEXTSTYLE"))


for path in sys.argv[1:]:
    with open(path, "rb") as file:
        binary = file.read(22) == b"AutoCAD Binary DXF\r\n\x1a\x00"
    doc = ezdxf.readfile(path) if binary else recover.readfile(path)[0]
    for text in sorted({text for text in texts(doc) if not text.isascii()}):
        sys.stdout.buffer.write(f"{path}\t{text}\n".encode("utf-8", "backslashreplace"))
