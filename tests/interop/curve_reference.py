#!/usr/bin/env python3
"""Prints ELLIPSE and SPLINE entities made by ezdxf with ezdxf's own
evaluation of their curves, for the geometry tests to compare against.

For each case: "CASE <name>", the entity's number groups as "G <code> <value>"
(as ezdxf writes them to a DXF file), ezdxf's curve as "P <x> <y> <z>" at
4,000 even parameter steps, then "END". ezdxf makes fit-point splines the way
CAD programs do (fit_points_to_cad_cv). Exit status 77 when ezdxf cannot be
imported (the test then skips).
"""
import math
import sys

try:
    import ezdxf
    from ezdxf.lldxf.tagwriter import TagCollector
except ImportError as error:
    print(error)
    sys.exit(77)

STEPS = 4000

doc = ezdxf.new("R2018")
msp = doc.modelspace()


def ellipse_points(entity):
    tool = entity.construction_tool()
    return tool.vertices(tool.params(STEPS + 1))


def spline_points(entity):
    return entity.construction_tool().approximate(segments=STEPS)


def tilted_spline(points, **attributes):
    spline = msp.add_spline(points)
    for name, value in attributes.items():
        spline.dxf.set(name, value)
    return spline


def closed_spline(points, degree):
    spline = msp.add_spline()
    spline.set_closed(points, degree=degree)
    return spline


wavy = [(0, 0, 0), (2, 3, 1), (5, 2, 0), (7, 6, -2), (10, 5, 0), (11, 1, 1)]
cases = [
    ("ellipse tilted, wrapping parameters",
     msp.add_ellipse((1, 2, 3), major_axis=(3, 0, 3), ratio=0.4, start_param=5.5,
                     end_param=1.0, dxfattribs={"extrusion": (-1, 0, 1)}),
     ellipse_points),
    ("ellipse full, mirrored",
     msp.add_ellipse((-4, 1, 0), major_axis=(0, 6, 0), ratio=0.25,
                     dxfattribs={"extrusion": (0, 0, -1)}),
     ellipse_points),
    ("rational open cubic",
     msp.add_rational_spline(wavy, weights=[1, 3, 0.5, 2, 1, 4], degree=3),
     spline_points),
    ("closed quadratic", closed_spline(wavy, degree=2), spline_points),
    ("degree 5 uneven knots",
     msp.add_open_spline(wavy + [(13, 0, 0), (15, 3, 0)], degree=5,
                         knots=[0, 0, 0, 0, 0, 0, 0.5, 2, 2.5, 5, 5, 5, 5, 5]),
     spline_points),
    ("fit points", msp.add_spline(wavy), spline_points),
    ("fit points, tangents",
     tilted_spline(wavy, start_tangent=(0, 1, 0), end_tangent=(1, -1, 0.5)),
     spline_points),
    ("fit points, three", msp.add_spline([(0, 0, 0), (4, 3, 0), (8, 0, 0)]), spline_points),
]

for name, entity, reference in cases:
    print("CASE", name)
    collector = TagCollector(dxfversion=doc.dxfversion)
    entity.export_dxf(collector)
    for tag in collector.tags:
        if tag.code >= 10 and isinstance(tag.value, (int, float)):
            print("G", tag.code, repr(tag.value))
    for point in reference(entity):
        print("P", repr(point.x), repr(point.y), repr(point.z))
    print("END")
