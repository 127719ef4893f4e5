#!/usr/bin/env python3
"""ELLIPSE and SPLINE entities by ezdxf, three lines each: name, number groups
(code value ...), ezdxf's own curve at 4,000 steps (x y z ...). Exit 77 without ezdxf."""
import sys

try:
    import ezdxf
    from ezdxf.lldxf.tagwriter import TagCollector
except ImportError as error:
    print(error)
    sys.exit(77)

msp = ezdxf.new("R2018").modelspace()


def ellipse(center, axis, ratio, start=0, end=6.283185307179586, normal=(0, 0, 1)):
    entity = msp.add_ellipse(center, axis, ratio, start, end, dxfattribs={"extrusion": normal})
    tool = entity.construction_tool()
    return entity, tool.vertices(tool.params(4001))


def spline(entity, **attributes):
    entity.dxf.update(attributes)
    return entity, entity.construction_tool().approximate(segments=4000)


closed = msp.add_spline()
wavy = [(0, 0, 0), (2, 3, 1), (5, 2, 0), (7, 6, -2), (10, 5, 0), (11, 1, 1)]
closed.set_closed(wavy, degree=2)
cases = {
    "ellipse tilted, wrapping parameters": ellipse((1, 2, 3), (3, 0, 3), 0.4, 5.5, 1, (-1, 0, 1)),
    "ellipse full, mirrored": ellipse((-4, 1, 0), (0, 6, 0), 0.25, normal=(0, 0, -1)),
    "rational open cubic": spline(msp.add_rational_spline(wavy, [1, 3, 0.5, 2, 1, 4])),
    "closed quadratic": spline(closed),
    "degree 5 uneven knots": spline(msp.add_open_spline(
        wavy + [(13, 0, 0), (15, 3, 0)], 5, [0] * 6 + [0.5, 2, 2.5] + [5] * 5)),
    "fit points": spline(msp.add_spline(wavy)),
    "fit points, tangents": spline(msp.add_spline(wavy), start_tangent=(0, 1, 0),
                                   end_tangent=(1, -1, 0.5)),
    "fit points, three": spline(msp.add_spline([(0, 0, 0), (4, 3, 0), (8, 0, 0)])),
}
for name, (entity, points) in cases.items():
    collector = TagCollector(dxfversion="AC1032")
    entity.export_dxf(collector)
    numbers = [t for t in collector.tags if t.code >= 10 and isinstance(t.value, (int, float))]
    print(name)
    print(" ".join(f"{tag.code} {tag.value!r}" for tag in numbers))
    print(" ".join(f"{p.x!r} {p.y!r} {p.z!r}" for p in points))
