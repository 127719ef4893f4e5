#!/usr/bin/python3
"""Writes R12 drawings with ezdxf, an independent DXF library, for the interop
test, and what ezdxf reports of each file it wrote.

    make_drawings.py OUTPUT_DIRECTORY

For every drawing NAME it writes NAME_ascii.dxf and NAME_binary.dxf, and for
each of them a .ezdxf.tsv file: the file as ezdxf reads it back, one value a
line, "record <TAB> id <TAB> attribute <TAB> value":

    header  $VAR        value       the header variable
    ltype   NAME        ATTRIB      a line type's DXF attribute; "pattern" is
                                    its pattern groups as CODE=VALUE words
    layer   NAME        ATTRIB      a layer's DXF attribute
    style   NAME        ATTRIB      a text style's DXF attribute
    block   NAME        ATTRIB      a block definition's BLOCK attribute
    entity  HANDLE      ATTRIB      an entity's DXF attribute; "dxftype" its
                                    kind, "in" the block holding it (empty for
                                    the ENTITIES section), "seqend" the handle
                                    of a POLYLINE's or INSERT's SEQEND
    entity  HANDLE      default:ATTRIB  the value ezdxf assumes for an
                                    attribute the file does not hold
    vertex  HANDLE#I    ATTRIB      vertex I of the POLYLINE HANDLE

Reals are written as Python's shortest round-trip text, points as three of
them. Everything written is the same from run to run: ezdxf's metadata is
fixed and nothing is random.

When /usr/bin/python3 cannot import ezdxf, the script writes the reason to
OUTPUT_DIRECTORY/ezdxf-unavailable.txt instead, and the test is skipped.
"""

import math
import os
import sys


def main(output):
    os.makedirs(output, exist_ok=True)
    marker = os.path.join(output, "ezdxf-unavailable.txt")
    if os.path.exists(marker):
        os.remove(marker)
    try:
        import ezdxf
    except ImportError as error:
        with open(marker, "w") as out:
            out.write(f"{sys.executable} cannot import ezdxf: {error}\n")
        return 0

    ezdxf.options.write_fixed_meta_data_for_testing = True
    for name, build in (("everything", everything), ("blocks", blocks)):
        doc = build(ezdxf)
        for form, fmt in (("ascii", "asc"), ("binary", "bin")):
            path = os.path.join(output, f"{name}_{form}.dxf")
            doc.saveas(path, fmt=fmt)
            dump(ezdxf.readfile(path), path + ".ezdxf.tsv")
    return 0


def tables(doc):
    """Line types, layers (one off, one frozen) and text styles."""
    doc.linetypes.new("DASHDOT2", dxfattribs={
        "description": "Dash dot __ . __",
        "pattern": [1.25, 0.75, -0.25, 0.0, -0.25],
    })
    doc.linetypes.new("BORDER3", dxfattribs={
        "description": "Border",
        "pattern": [2.0, 0.5, -0.25, 0.5, -0.25, 0.0, -0.25],
    })
    doc.layers.new("WALLS", dxfattribs={"color": 3, "linetype": "DASHDOT2"})
    doc.layers.new("ROOF", dxfattribs={"color": 1, "linetype": "BORDER3"})
    hidden = doc.layers.new("HIDDEN", dxfattribs={"color": 5})
    hidden.off()
    frozen = doc.layers.new("FROZEN", dxfattribs={"color": 200})
    frozen.freeze()
    doc.styles.new("ROMANS", dxfattribs={
        "font": "romans.shx", "width": 0.8, "oblique": 15.0, "height": 0.0,
        "last_height": 3.5, "generation_flags": 2,
    })
    doc.styles.new("TITLE", dxfattribs={
        "font": "txt.shx", "bigfont": "bigfont.shx", "height": 5.0, "width": 1.25,
    })


def everything(ezdxf):
    """The three tables, every entity kind with varied attributes, entities in
    paper space, an INSERT with attributes, polylines of every kind."""
    doc = ezdxf.new("R12")
    tables(doc)
    doc.header["$TEXTSIZE"] = 3.5
    doc.header["$CLAYER"] = "WALLS"
    doc.header["$LTSCALE"] = 2.0
    door = doc.blocks.new("DOOR", base_point=(0.5, 0.25, 0.0))
    door.add_line((0, 0), (1, 2))
    door.add_attdef("TAG", (0, 0), dxfattribs={"height": 0.5})

    msp = doc.modelspace()
    for i in range(3):
        k = i + 1
        common = {"layer": ("WALLS", "ROOF", "0")[i], "color": (3, 256, 0)[i]}
        msp.add_line((k, 2 * k, 3 * k), (-k / 3, 0.1 * k, 1e-3 * k),
                     dxfattribs=dict(common, thickness=0.25 * k, linetype="DASHDOT2"))
        msp.add_point((k / 7, -k, 0), dxfattribs=dict(common))
        msp.add_circle((k, k, k), 2.5 * k, dxfattribs=dict(common))
        msp.add_arc((1, -1, 0), k * 1.5, 30 * k, 200 + 45 * k, dxfattribs=dict(common))
        msp.add_trace([(0, 0), (k, 0), (0, k), (k, k)], dxfattribs=dict(common))
        msp.add_solid([(0, 0, 1), (k, 0, 1), (0, k, 1)], dxfattribs=dict(common))
        msp.add_3dface([(0, 0, 0), (k, 0, 0.5), (k, k, 1), (0, k, 1.5)],
                       dxfattribs=dict(common, invisible=i))
    msp.add_text("Plain", dxfattribs={"height": 2.5, "insert": (1, 2, 3)})
    msp.add_text("Styled", dxfattribs={
        "height": 1.75, "rotation": 33.3, "oblique": 12.5, "width": 0.75,
        "style": "ROMANS", "text_generation_flag": 4, "layer": "ROOF",
    }).set_pos((10, 20), (30, 25), align="ALIGNED")
    msp.add_text("Centred", dxfattribs={"height": 1.0}).set_pos(
        (5, 5), align="MIDDLE_CENTER")
    msp.add_text("Top right", dxfattribs={"height": 1.0}).set_pos(
        (7, 7), align="TOP_RIGHT")
    insert = msp.add_blockref("DOOR", (4, 5, 6), dxfattribs={
        "xscale": 2.0, "yscale": 3.0, "zscale": 4.0, "rotation": 45.0,
        "layer": "ROOF", "color": 6,
    })
    insert.add_attrib("TAG", "D-1", (4, 5), dxfattribs={"height": 0.5})
    msp.add_blockref("DOOR", (0, 0), dxfattribs={
        "column_count": 3, "row_count": 2, "column_spacing": 10.0, "row_spacing": 7.5,
    })
    msp.add_polyline2d(
        [(0, 0, 0.1, 0.2, 0.5), (3, 1, 0.2, 0.1, -1.0), (4, 4, 0, 0, 0)],
        format="xyseb", dxfattribs={"layer": "WALLS", "default_start_width": 0.05,
                                    "default_end_width": 0.15, "elevation": (0, 0, 2.5)})
    closed = msp.add_polyline2d([(0, 0), (1, 0), (1, 1)], close=True)
    closed.vertices[1].dxf.tangent = 90.0
    closed.vertices[1].dxf.flags = 2
    msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (4, 5, 6.5)], dxfattribs={"color": 4})
    mesh = msp.add_polymesh(size=(3, 2), dxfattribs={"m_smooth_density": 4,
                                                     "n_smooth_density": 5,
                                                     "smooth_type": 6})
    for m in range(3):
        for n in range(2):
            mesh.set_mesh_vertex((m, n), (m, n, math.sin(m + n)))
    face = msp.add_polyface()
    face.append_face([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)])
    face.append_face([(1, 0, 0), (2, 0, 0), (2, 1, 1)])

    psp = doc.layouts.active_layout()
    psp.add_line((0, 0), (297, 210), dxfattribs={"layer": "HIDDEN"})
    psp.add_text("Paper", dxfattribs={"height": 5.0, "insert": (10, 10)})
    return doc


def blocks(ezdxf):
    """Block definitions: with entities, nested, empty, on a layer of their
    own, with a base point; and INSERTs of them."""
    doc = ezdxf.new("R12")
    tables(doc)
    bolt = doc.blocks.new("BOLT", base_point=(1.5, -2.5, 0.75),
                          dxfattribs={"layer": "WALLS"})
    bolt.add_circle((0, 0), 0.5, dxfattribs={"layer": "ROOF", "color": 2})
    bolt.add_line((-1, 0), (1, 0), dxfattribs={"linetype": "BORDER3"})
    bolt.add_polyline2d([(0, 0), (0.5, 0.5), (1, 0)])
    plate = doc.blocks.new("PLATE", dxfattribs={"layer": "ROOF"})
    plate.add_solid([(0, 0), (4, 0), (0, 2), (4, 2)])
    plate.add_blockref("BOLT", (1, 1), dxfattribs={"xscale": 0.5, "yscale": 0.5})
    plate.add_blockref("BOLT", (3, 1), dxfattribs={"rotation": 90.0})
    plate.add_text("PLATE", dxfattribs={"height": 0.25, "style": "TITLE"})
    doc.blocks.new("EMPTY", base_point=(7, 8, 9), dxfattribs={"layer": "ROOF"})
    plate3d = doc.blocks.new("FACE")
    plate3d.add_3dface([(0, 0, 0), (1, 0, 0), (1, 1, 1), (1, 1, 1)])
    plate3d.add_point((0.5, 0.5, 0.5))
    plate3d.add_arc((0, 0), 1, 0, 90)
    plate3d.add_trace([(0, 0), (1, 0), (0, 1), (1, 1)])

    msp = doc.modelspace()
    msp.add_blockref("PLATE", (10, 10), dxfattribs={"layer": "WALLS"})
    msp.add_blockref("BOLT", (20, 10, 1), dxfattribs={"zscale": 2.0})
    msp.add_blockref("FACE", (0, 0), dxfattribs={"rotation": 270.0, "color": 1})
    msp.add_blockref("EMPTY", (0, 0))
    return doc


def text(value):
    if isinstance(value, float):
        return repr(value)
    if hasattr(value, "x") and hasattr(value, "z"):  # a point
        return " ".join(repr(float(c)) for c in (value.x, value.y, value.z))
    if isinstance(value, (tuple, list)):  # a point of the header
        return " ".join(repr(float(c)) for c in value)
    return str(value)


def dump(doc, path):
    lines = []

    def put(record, key, attribute, value):
        lines.append(f"{record}\t{key}\t{attribute}\t{text(value)}")

    def attributes(record, key, entity):
        for attribute, value in sorted(entity.dxf.all_existing_dxf_attribs().items()):
            put(record, key, attribute, value)

    # The header variables the library knows, except $TDCREATE: ezdxf sets it
    # to the time of loading when it loads an R12 file.
    for name in ("$ACADVER", "$EXTMIN", "$EXTMAX", "$TEXTSIZE", "$CLAYER", "$LTSCALE",
                 "$CECOLOR", "$CELTYPE", "$TEXTSTYLE", "$ANGBASE", "$ANGDIR", "$AUNITS",
                 "$AUPREC", "$LUNITS", "$LUPREC", "$FILLMODE", "$PLINEGEN", "$PLINEWID",
                 "$TRACEWID"):
        if name in doc.header:
            put("header", name, "value", doc.header[name])
    for ltype in doc.linetypes:
        attributes("ltype", ltype.dxf.name, ltype)
        put("ltype", ltype.dxf.name, "pattern",
            " ".join(f"{tag.code}={text(tag.value)}" for tag in ltype.pattern_tags.tags
                     if tag.code != 5))
    for layer in doc.layers:
        attributes("layer", layer.dxf.name, layer)
    for style in doc.styles:
        attributes("style", style.dxf.name, style)

    def entities(layout, block):
        for entity in layout:
            handle = entity.dxf.handle
            put("entity", handle, "dxftype", entity.dxftype())
            put("entity", handle, "in", block)
            attributes("entity", handle, entity)
            kind = entity.dxftype()
            if kind == "TEXT" and not entity.dxf.hasattr("width"):
                put("entity", handle, "default:width", entity.dxf.width)
            if kind == "INSERT":
                for name in ("xscale", "yscale", "zscale", "column_count", "row_count"):
                    if not entity.dxf.hasattr(name):
                        put("entity", handle, "default:" + name, entity.dxf.get(name, 1))
                for attrib in entity.attribs:
                    put("entity", attrib.dxf.handle, "dxftype", "ATTRIB")
                    put("entity", attrib.dxf.handle, "in", block)
                    attributes("entity", attrib.dxf.handle, attrib)
            if kind == "POLYLINE":
                for index, vertex in enumerate(entity.vertices):
                    attributes("vertex", f"{handle}#{index}", vertex)
            # ezdxf keeps a SEQEND for every INSERT, but writes it only after
            # the INSERT's ATTRIBs.
            has_seqend = kind == "POLYLINE" or (kind == "INSERT" and len(entity.attribs) > 0)
            if has_seqend and entity.seqend is not None:
                seqend = entity.seqend
                put("entity", handle, "seqend", seqend.dxf.handle)
                put("entity", seqend.dxf.handle, "dxftype", "SEQEND")
                put("entity", seqend.dxf.handle, "in", block)
                put("entity", seqend.dxf.handle, "of", handle)
                attributes("entity", seqend.dxf.handle, seqend)

    entities(doc.modelspace(), "")
    entities(doc.layouts.active_layout(), "")
    for block in doc.blocks:
        attributes("block", block.name, block.block)
        if block.name.lower() not in ("*model_space", "*paper_space"):
            entities(block, block.name)

    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
