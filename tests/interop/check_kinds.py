#!/usr/bin/python3
"""The kinds vexlith draws as pieces, against ezdxf (an independent DXF
library): ezdxf writes a drawing of them, `vexlith convert` translates it,
ezdxf reads the file written back, and the pieces each entity became are
compared with ezdxf's own rendering of that entity (a dimension's block,
virtual_entities(), a mesh's faces, an image's boundary).

    check_kinds.py VEXLITH OUTPUT_DIRECTORY

Exit status: 0 when all agree, 1 on a difference (each printed), 77 when
ezdxf cannot be imported.
"""
import math
import os
import re
import subprocess
import sys

try:
    import ezdxf
    from ezdxf.math import Vec2, Vec3
    from ezdxf.render import mleader
except ImportError as error:  # pragma: no cover - depends on the machine
    print(f"ezdxf cannot be imported: {error}", file=sys.stderr)
    sys.exit(77)

TOLERANCE = 1e-4
ARROW, HEIGHT = 0.5, 0.7  # the dimension style's DIMASZ and DIMTXT
failures = []


def fail(what, message):
    failures.append(f"{what}: {message}")


class Pieces:
    """Segments, arcs, arrowheads (tip, direction to the base in degrees),
    texts (middle, one line, angle), faces and inserts."""

    def __init__(self):
        self.segments, self.arcs, self.arrows, self.texts = [], [], [], []
        self.faces, self.inserts = [], []

    def add(self, e, doc):
        kind = e.dxftype()
        if kind == "LINE":
            self.segments.append((Vec3(e.dxf.start), Vec3(e.dxf.end)))
        elif kind in ("POLYLINE", "LWPOLYLINE"):
            points = [Vec3(p) for p in e.points()] if kind == "POLYLINE" else \
                [Vec3(p[0], p[1]) for p in e.get_points()]
            if e.is_closed:
                points.append(points[0])
            self.segments += list(zip(points, points[1:]))
        elif kind == "ARC":
            self.arcs.append(e)
        elif kind == "SOLID":  # a triangle: the tip is off its shortest side
            a, b, c = (Vec3(e.dxf.get(f"vtx{i}")) for i in range(3))
            tip, base = min(((a, (b + c) / 2, b.distance(c)), (b, (a + c) / 2, a.distance(c)),
                             (c, (a + b) / 2, a.distance(b))), key=lambda x: x[2])[:2]
            self.arrows.append((tip, (base - tip).angle_deg % 360))
        elif kind == "INSERT" and e.dxf.name.upper() == "_CLOSEDFILLED":
            self.arrows.append((Vec3(e.dxf.insert), (e.dxf.rotation + 180) % 360))
        elif kind == "INSERT" and e.dxf.name.startswith("*U"):
            for piece in doc.blocks[e.dxf.name]:
                self.add(piece, doc)
        elif kind == "INSERT":
            self.inserts.append((e.dxf.name, Vec3(e.dxf.insert), e.dxf.xscale))
        elif kind == "TEXT":
            at = e.dxf.align_point if e.dxf.halign else e.dxf.insert
            text = re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), e.dxf.text)
            self.texts.append((Vec3(at), text, e.dxf.rotation % 360))
        elif kind == "MTEXT":
            self.texts.append((Vec3(e.dxf.insert), e.plain_text(), e.dxf.rotation % 360))
        elif kind == "3DFACE":
            self.faces.append([Vec3(e.dxf.get(f"vtx{i}")) for i in range(4)])


def near_piece(p, pieces, tolerance):
    for a, b in pieces.segments:
        d = b - a
        t = 0 if d.magnitude == 0 else max(0, min(1, (p - a).dot(d) / d.magnitude_square))
        if p.distance(a + d * t) <= tolerance:
            return True
    for arc in pieces.arcs:
        c = Vec3(arc.dxf.center)
        if abs(p.distance(c) - arc.dxf.radius) <= tolerance:
            return True
    return False


def ends(pieces):
    for a, b in pieces.segments:
        yield a
        yield b


def compare(what, ours, theirs, loose=(), arrow=ARROW):
    """Every end of a segment of either lies on a piece of the other, but
    within an arrowhead of a tip (arrowheads trim lines); near a text
    (`loose`: texts whose estimated width places the lines about them: ezdxf
    estimates a character's advance as the height, vexlith as 0.75 of it)
    within half the text height."""
    tips = [tip for tip, _ in ours.arrows + theirs.arrows]
    texts = [at for at, text, _ in ours.texts + theirs.texts if text in loose]
    for name, one, other in (("ours", ours, theirs), ("ezdxf's", theirs, ours)):
        for p in ends(one):
            if any(p.distance(t) <= arrow + TOLERANCE for t in tips):
                continue
            near_text = any(p.distance(t) <= 2 * HEIGHT for t in texts)
            if not near_piece(p, other, HEIGHT / 2 + TOLERANCE if near_text else TOLERANCE):
                fail(what, f"{name} line end {p.round(4)} is on no piece of the other")
    if sorted((round(t.x, 3), round(t.y, 3)) for t, _ in ours.arrows) != \
            sorted((round(t.x, 3), round(t.y, 3)) for t, _ in theirs.arrows):
        fail(what, f"arrowheads {ours.arrows} against {theirs.arrows}")
    for tip, direction in ours.arrows:
        if not any(tip.isclose(t, abs_tol=1e-3) and abs((direction - d + 180) % 360 - 180) < 0.01
                   for t, d in theirs.arrows):
            fail(what, f"our arrowhead at {tip.round(3)} points another way")


def compare_texts(what, ours, theirs):
    def key(texts):
        return sorted((t.replace("%%d", "°").replace("%%c", "Ø"), round(at.x, 3), round(at.y, 3),
                       round(a, 2) % 360) for at, t, a in texts)
    if key(ours.texts) != key(theirs.texts):
        fail(what, f"texts {key(ours.texts)} against ezdxf's {key(theirs.texts)}")


def dimensions(msp, doc):
    doc.dimstyles.new("VX", dxfattribs=dict(
        dimasz=ARROW, dimtxt=HEIGHT, dimexo=0.2, dimexe=0.3, dimgap=0.15, dimdec=2, dimadec=2,
        dimtad=1, dimscale=1, dimblk="", dimtih=0, dimtoh=0, dimdsep=ord("."), dimzin=8))
    doc.dimstyles.duplicate_entry("VX", "VX0").dxf.dimtad = 0
    made = [
        msp.add_linear_dim(base=(0, 3), p1=(0, 0), p2=(5, 0), dimstyle="VX"),
        msp.add_linear_dim(base=(0, 7), p1=(0, 4), p2=(5, 4), dimstyle="VX0"),
        msp.add_linear_dim(base=(8, 3), p1=(7, 0), p2=(10, 2), angle=30, dimstyle="VX"),
        msp.add_aligned_dim(p1=(0, 10), p2=(4, 13), distance=2, dimstyle="VX"),
        msp.add_angular_dim_2l(base=(15, 2), line1=((10, 0), (14, 0)),
                               line2=((10, 0), (13, 3)), dimstyle="VX"),
        msp.add_angular_dim_3p(base=(25, 5), center=(20, 0), p1=(24, 0), p2=(22, 3),
                               dimstyle="VX"),
        msp.add_radius_dim(center=(30, 0), radius=3, angle=45, dimstyle="VX"),
        msp.add_diameter_dim(center=(40, 0), radius=3, angle=30, dimstyle="VX"),
        msp.add_ordinate_x_dim(feature_location=(50, 2), offset=(1, 3), dimstyle="VX"),
        msp.add_ordinate_y_dim(feature_location=(60, 2), offset=(3, 1), dimstyle="VX"),
    ]
    checks = []
    for dim in made:
        entity = dim.render().dimension
        reference = Pieces()
        for piece in doc.blocks[entity.dxf.geometry]:
            reference.add(piece, doc)
        entity.dxf.geometry = "*D999"  # drawn from its definition: no block
        checks.append((entity.dxf.handle, entity.dimtype, reference))

    def check(out, ours_of):
        for handle, kind, reference in checks:
            what, ours = f"DIMENSION type {kind}", ours_of(handle)
            if kind == 2:
                # ezdxf 0.18 measures the reflex angle of a two-line angular
                # dimension: its lines and arrowheads only.
                reference.arcs, reference.texts = [], []
                ours.arcs, ours.texts = [], []
                ours.arrows = [(t, 0) for t, _ in ours.arrows]
                reference.arrows = [(t, 0) for t, _ in reference.arrows]
            compare(what, ours, reference, loose=[t for _, t, _ in reference.texts])
            compare_texts(what, ours, reference)
    return check


def multileaders(msp, doc):
    doc.blocks.new("BX").add_circle((0, 0), 1)
    text = msp.add_multileader_mtext("Standard")
    text.set_content("Line one\\Psecond", char_height=0.5,
                     alignment=mleader.TextAlignment.left)
    text.add_leader_line(mleader.ConnectionSide.left, [Vec2(-3, -2), Vec2(-1, -1)])
    text.add_leader_line(mleader.ConnectionSide.left, [Vec2(-3, 2)])
    text.build(insert=Vec2(2, 1))
    block = msp.add_multileader_block("Standard")
    block.set_content(name="BX", scale=2)
    block.add_leader_line(mleader.ConnectionSide.left, [Vec2(10, 5)])
    block.build(insert=Vec2(15, 0))
    checks = []
    for entity in (text.multileader, block.multileader):
        reference = Pieces()
        for piece in entity.virtual_entities():
            reference.add(piece, doc)
        checks.append((entity.dxf.handle, reference))

    def check(out, ours_of):
        for handle, reference in checks:
            ours = ours_of(handle)
            compare("MULTILEADER", ours, reference, arrow=4)  # ezdxf's standard size
            if [(n, p.round(6), s) for n, p, s in ours.inserts] != \
                    [(n, p.round(6), s) for n, p, s in reference.inserts]:
                fail("MULTILEADER", f"content {ours.inserts} against {reference.inserts}")
            lines = [t for _, t, _ in ours.texts]
            expected = [line for _, t, _ in reference.texts for line in t.split("\n")]
            if lines != expected:
                fail("MULTILEADER", f"text {lines} against {expected}")
    return check


def mlines(msp, doc):
    style = doc.mline_styles.new("CAPS")
    for offset in (0.5, 0.0, -0.5):
        style.elements.append(offset)
    style.dxf.flags = 16 | 256  # square caps at both ends
    rounded = doc.mline_styles.new("ROUND")
    for offset in (0.5, -0.5):
        rounded.elements.append(offset)
    rounded.dxf.flags = 64 | 1024
    made = [msp.add_mline([(0, 20), (4, 20), (6, 23)],
                          dxfattribs={"style_name": "CAPS", "scale_factor": 2}),
            msp.add_mline([(0, 30), (4, 30)], dxfattribs={"style_name": "ROUND"}),
            msp.add_mline([(0, 40), (4, 40), (4, 44)], close=True)]
    checks = []
    for entity in made:
        reference = Pieces()
        for piece in entity.virtual_entities():
            reference.add(piece, doc)
        checks.append((entity.dxf.handle, reference))

    def check(out, ours_of):
        for handle, reference in checks:
            ours = ours_of(handle)
            compare("MLINE", ours, reference)
            for p in ends(ours):  # the round caps' points lie on ezdxf's arcs
                if not near_piece(p, reference, 1e-3):
                    fail("MLINE", f"our point {p.round(4)} is on no piece of ezdxf's")
    return check


def meshes(msp, doc):
    mesh = msp.add_mesh()
    with mesh.edit_data() as data:
        data.vertices = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (2, 0, 1), (2, 1, 1),
                         (3, 0.5, 2)]
        data.faces = [(0, 1, 2, 3), (1, 4, 5, 2), (4, 6, 5), (0, 1, 4, 6, 5, 2, 3)]
    vertices, faces = [Vec3(v) for v in mesh.vertices], list(mesh.faces)

    def check(out, ours_of):
        ours = ours_of(mesh.dxf.handle).faces
        expected = []
        for face in faces:  # a fan of triangles for more than four corners
            corners = [vertices[i] for i in face]
            fan = [corners] if len(face) <= 4 else \
                [[corners[0], corners[i], corners[i + 1]] for i in range(1, len(face) - 1)]
            expected += [(f + [f[-1]])[:4] for f in fan]
        if len(ours) != len(expected) or any(
                not all(a.isclose(b) for a, b in zip(o, e)) for o, e in zip(ours, expected)):
            fail("MESH", f"faces {ours} against {expected}")
    return check


def frames(msp, doc):
    wipeout = msp.add_wipeout([(0, 50), (4, 50), (5, 53), (1, 52)])
    image_def = doc.add_image_def(filename="picture.png", size_in_pixel=(640, 360))
    image = msp.add_image(image_def, insert=(10, 50), size_in_units=(6.4, 3.6), rotation=30)
    image.set_boundary_path([(0, 0), (640, 0), (320, 360)])
    plain = msp.add_image(image_def, insert=(20, 50), size_in_units=(6.4, 3.6))
    checks = [(e.dxf.handle, e.dxftype(), e.boundary_path_wcs()) for e in (wipeout, image, plain)]

    def check(out, ours_of):
        for handle, kind, expected in checks:
            ours = ours_of(handle)
            points = [a for a, _ in ours.segments]
            if len(points) != len(expected) - 1 or any(
                    not p.isclose(e, abs_tol=1e-9) for p, e in zip(points, expected)):
                fail(kind, f"frame {points} against {expected}")
    return check


def infinite_lines(msp, doc):
    msp.add_line((0, 0), (10, 4))  # the extents: 10 by 4, grown by 10 on every side
    ray = msp.add_ray((2, 1), (1, 1))
    xline = msp.add_xline((5, 2), (0, -1))

    def check(out, ours_of):
        expected = {ray.dxf.handle: ((2, 1), (15, 14)), xline.dxf.handle: ((5, 14), (5, -10))}
        for handle, (a, b) in expected.items():
            segment = ours_of(handle).segments
            if len(segment) != 1 or not (segment[0][0].isclose(Vec3(a)) and
                                         segment[0][1].isclose(Vec3(b))):
                fail("RAY/XLINE", f"{segment} against {a} to {b}")
    return check


def tolerances(msp, doc):
    doc.dimstyles.new("TOL", dxfattribs=dict(dimtxt=0.5, dimscale=2))
    tolerance = msp.new_entity("TOLERANCE", dxfattribs=dict(
        dimstyle="TOL", insert=(0, 60), x_axis_vector=(1, 0, 0),
        content="{\\Fgdt;j}%%v{\\Fgdt;n}0.1{\\Fgdt;m}%%vA^J{\\Fgdt;u}%%v0.02"))

    def check(out, ours_of):
        ours = ours_of(tolerance.dxf.handle)
        texts = [t for _, t, _ in ours.texts]
        if texts != ["⌖", "⌀0.1Ⓜ", "A", "⏤", "0.02"] or len(ours.segments) != 4 + 2 + 3 + 2:
            fail("TOLERANCE", f"texts {texts}, {len(ours.segments)} lines")
    return check


def leaders(msp, doc):
    leader = msp.add_leader([(0, 70), (3, 72), (5, 72)], dimstyle="VX")
    reference = Pieces()
    for piece in leader.virtual_entities():
        reference.add(piece, doc)

    def check(out, ours_of):
        compare("LEADER", ours_of(leader.dxf.handle), reference)
    return check


def convert(vexlith, output, name, makers):
    doc = ezdxf.new("R2018")
    checks = [make(doc.modelspace(), doc) for make in makers]
    source, written = os.path.join(output, name + ".dxf"), os.path.join(output, name + "_out.dxf")
    doc.saveas(source)
    subprocess.run([vexlith, "convert", source, written, "--quiet"], check=True)
    out = ezdxf.readfile(written)
    by_handle = {e.dxf.handle: e for e in out.modelspace()}

    def ours_of(handle):
        pieces = Pieces()
        if handle in by_handle:
            pieces.add(by_handle[handle], out)
        else:
            fail(handle, "not in the converted file")
        return pieces

    for check in checks:
        check(out, ours_of)


def main(vexlith, output):
    os.makedirs(output, exist_ok=True)
    convert(vexlith, output, "kinds", (dimensions, multileaders, mlines, meshes, frames,
                                       tolerances, leaders))
    # The extents the lines are clipped to: those of this drawing alone.
    convert(vexlith, output, "infinite_lines", (infinite_lines,))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
