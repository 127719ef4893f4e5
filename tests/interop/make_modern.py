#!/usr/bin/python3
"""Writes a drawing of the kinds the read options translate with ezdxf, an
independent DXF library, in ASCII and binary (modern_ascii.dxf,
modern_binary.dxf), and modern.ezdxf.tsv: what ezdxf computes of them, one
check a line, "handle <TAB> check <TAB> values" (see ezdxf_modern_read_test).

    make_modern.py OUTPUT_DIRECTORY
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
        from ezdxf.math import OCS
        from ezdxf.path import make_path
    except ImportError as error:
        with open(marker, "w") as out:
            out.write(f"{sys.executable} cannot import ezdxf: {error}\n")
        return 0
    ezdxf.options.write_fixed_meta_data_for_testing = True
    doc = ezdxf.new("R2018")
    msp = doc.modelspace()
    checks = []

    def numbers(*values):
        return " ".join(repr(float(v)) for v in values)

    def curve(entity, points):
        checks.append((entity, "curve", " ".join(numbers(*p) for p in points)))

    tilted = (1, 2, 3)
    for e in (msp.add_ellipse((1, 2, 3), (3, 1, 0), 0.4, 0.5, 4.0),
              msp.add_ellipse((0, 0, 0), (0, 2, 2), 0.5, dxfattribs={"extrusion": (1, 0, 0)})):
        curve(e, e.construction_tool().vertices(e.construction_tool().params(2000)))
    round_ = msp.add_ellipse((5, 5, 0), major_axis=(2, 0, 0), ratio=1.0, start_param=0.25,
                             end_param=2.0)
    checks.append((round_, "arc", numbers(5, 5, 0, 2, math.degrees(0.25), math.degrees(2.0))))
    for s in (msp.add_open_spline([(0, 0, 0), (1, 3, 0), (4, 2, 1), (6, 5, 0), (8, 0, 2)]),
              msp.add_spline(fit_points=[(0, 0), (2, 3), (5, 1), (7, 4)])):
        curve(s, s.flattening(1e-6))
    c = msp.add_circle((1, 0, 0), 2, dxfattribs={"extrusion": tilted})
    curve(c, c.vertices([i * 360 / 4000 for i in range(4001)]))
    a = msp.add_arc((1, 2, 3), 3, 20, 250, dxfattribs={"extrusion": tilted})
    curve(a, a.vertices([20 + i * 230 / 4000 for i in range(4001)]))
    mirrored = (0, 0, -1)
    c = msp.add_circle((1, 2, 3), 4, dxfattribs={"extrusion": mirrored})
    checks.append((c, "arc", numbers(*OCS(mirrored).to_wcs((1, 2, 3)), 4, 0, 360)))
    a = msp.add_arc((1, 2, 3), 4, 30, 100, dxfattribs={"extrusion": mirrored})
    checks.append((a, "arc", numbers(*OCS(mirrored).to_wcs((1, 2, 3)), 4, 80, 150)))
    lw = msp.add_lwpolyline([(0, 0, 0, 0, 0.5), (4, 0, 0, 0, -1), (4, 3)], format="xyseb",
                            dxfattribs={"extrusion": tilted, "elevation": 2})
    curve(lw, make_path(lw).flattening(1e-6))
    for extrusion in (mirrored, tilted):
        t = msp.add_text("tilted", dxfattribs={"insert": (1, 2, 3), "extrusion": extrusion})
        checks.append((t, "at", numbers(*OCS(extrusion).to_wcs((1, 2, 3)))))
        i = msp.add_blockref("B", (3, 2, 1), dxfattribs={"extrusion": extrusion})
        checks.append((i, "at", numbers(*OCS(extrusion).to_wcs((3, 2, 1)))))
    doc.blocks.new("B").add_line((0, 0), (1, 1))
    for content in ("one line ^J and^Ja caret break", "\\A1;\\C3;single"):
        m = msp.add_mtext(content, dxfattribs={"char_height": 2.5, "insert": (1, 1)})
        checks.append((m, "lines", "|".join(m.plain_text(split=True))))
    # Set in lines and runs: each word where ezdxf's layout puts it.
    words = " ".join(f"blabla{i:03d}" for i in range(340))  # chunks of 250 end in a blank
    laid_out = []
    for content, width, attachment, extrusion in (
            ("{\\fArial|b1;Bold} and {\\C1;red}\\P{\\H2x;second} line", 30, 1, None),
            ("one two three four five six seven eight", 10.2, 5, None),
            ("one two three four five six seven eight", 10.2, 3, mirrored),
            ("{\\H2x;Big} small {\\C1;red} \\W2;wide\\W1; \\A1;{\\H0.5x;mid} \\A2;top", 40, 2,
             None),
            ("\\pxqc;centre me please\\P\\pxqr;right\\P\\pxql;\\pxi1,l2;indented words that wrap",
             12.4, 1, None),
            ("a^Ib\tc tab^Istops", 20, 1, None),
            (words, 40, 1, None)):
        attribs = {"char_height": 1, "insert": (1, 2), "width": width,
                   "attachment_point": attachment}
        if extrusion:
            attribs["extrusion"] = extrusion
        laid_out.append(msp.add_mtext(content, dxfattribs=attribs))
    m = msp.add_mtext(words, dxfattribs={"char_height": 1})
    checks.append((m, "joined", m.plain_text()))
    mesh = msp.add_polyface()
    mesh.append_faces([[(0, 0, 0), (1, 0, 0), (1, 1, 1), (0, 1, 1)],
                       [(1, 0, 0), (2, 0, 0), (1, 1, 1)]])
    for face in mesh.faces():
        corners = ([v.dxf.location for v in face[:-1]] + [face[-2].dxf.location] * 3)[:4]
        # The record of a POLYLINE takes the handle of its SEQEND (the last).
        checks.append((mesh.seqend, "face", " ".join(numbers(*p) for p in corners)))
    dim = msp.add_linear_dim(base=(0, 3), p1=(0, 0), p2=(5, 0)).render().dimension
    checks.append((dim, "block", dim.dxf.geometry))

    for form, fmt in (("ascii", "asc"), ("binary", "bin")):
        doc.saveas(os.path.join(output, f"modern_{form}.dxf"), fmt=fmt)
    words_of(laid_out, checks)
    with open(os.path.join(output, "modern.ezdxf.tsv"), "w") as out:
        for entity, check, values in checks:
            out.write(f"{entity.dxf.handle}\t{check}\t{values}\n")
    return 0


def words_of(mtexts, checks):
    """Where ezdxf's layout of MTEXT (MTextExplode) sets each word, given the
    advance vexlith estimates, 0.75 text heights a character, for its font:
    "x y z height word" in world coordinates."""
    import ezdxf
    from ezdxf.addons import MTextExplode
    from ezdxf.tools import fonts

    class EstimatedFont(fonts.MonospaceFont):
        def __init__(self, cap_height, width_factor=1.0):
            super().__init__(cap_height, width_factor)
            self._space_width = 0.75 * cap_height * abs(width_factor)

        def text_width(self, text):
            return 0.75 * len(text) * self.measurements.cap_height * self._width_factor

    fonts.make_font = lambda ttf, cap_height, width_factor=1.0: EstimatedFont(cap_height,
                                                                              width_factor)
    scratch = ezdxf.new()
    for m in mtexts:
        block = scratch.blocks.new(f"W{m.dxf.handle}")
        MTextExplode(block, doc=scratch).explode(m, destroy=False)
        placed = []
        for text in block.query("TEXT"):
            x, y, z = text.ocs().to_wcs(text.dxf.insert)
            placed.append(f"{x!r} {y!r} {z!r} {text.dxf.height!r} {text.dxf.text}")
        checks.append((m, "words", "|".join(placed)))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
