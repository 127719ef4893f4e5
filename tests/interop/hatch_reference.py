# SPDX-License-Identifier: MIT
# Hatches ezdxf writes to OUT.dxf (the argument), and in OUT.dxf.tsv what it makes of them:
# "<handle> area <a>" per solid fill, "<handle> segment <x0> <y0> <x1> <y1>" per line of
# ezdxf's hatching, both of the paths hatch style selects flattened by ezdxf's construction tools.
import sys

try:
    import ezdxf
    from ezdxf.math import BSpline, Vec2, fit_points_to_cad_cv, is_point_in_polygon_2d
    from ezdxf.render import hatching
except ImportError as error:
    sys.exit(print(error) or 77)


def square(low, high, dy=0):
    return [(low, low + dy), (high, low + dy), (high, high + dy), (low, high + dy)]


def make(msp):
    def hatch(pattern=None, style=0, **options):
        h = msp.add_hatch()
        if pattern:
            h.set_pattern_fill(pattern, style=style, **options)
        h.dxf.hatch_style = style
        return h

    # Solid: a square with a circular hole and an elliptic island in it.
    h = hatch()
    h.paths.add_polyline_path(square(0, 10))
    h.paths.add_edge_path(flags=0).add_arc((5, 5), 3, 0, 360)
    h.paths.add_edge_path(flags=0).add_ellipse((5, 5), (2, 1), 0.4, 0, 360)
    # Solid: a D of a line and a clockwise half ellipse, a polyline, an elliptic arc.
    h = hatch()
    d = h.paths.add_edge_path()
    d.add_line((20, -3), (20, 3))
    d.add_ellipse((20, 0), (0, 3), 0.5, 0, 180, ccw=False)
    h.paths.add_polyline_path([(30, 0), (34, 0), (33, 3), (30, 3)])
    arc = h.paths.add_edge_path()
    ellipse = arc.add_ellipse((26, -10), (4, 1), 0.5, 30, 200)
    arc.add_line(ellipse.end_point, ellipse.start_point)
    # Solid: splines, by control points and knots and by fit points.
    h = hatch()
    s = h.paths.add_edge_path()
    s.add_spline(control_points=[(40, 0), (42, 4), (45, 5), (48, 3)],
                 knot_values=[0, 0, 0, 0, 1, 1, 1, 1], degree=3)
    s.add_line((48, 3), (40, 0))
    f = h.paths.add_edge_path()
    f.add_spline(fit_points=[(50, 0), (52, 3), (55, 4), (58, 4)], degree=3,
                 start_tangent=(1, 1), end_tangent=(1, 0))
    f.add_line((58, 4), (50, 0))
    # ANSI31 over a square of line edges whose hole, not an outermost path,
    # hatch style 1 leaves out.
    h = hatch("ANSI31", style=1, scale=0.5)
    edges, corners = h.paths.add_edge_path(), square(0, 10)
    for a, b in zip(corners, corners[1:] + corners[:1]):
        edges.add_line(a, b)
    h.paths.add_edge_path(flags=0).add_arc((5, 5), 2.5, 0, 360)
    # ANSI37 (two families) rotated and scaled over a circle; dots over arcs
    # and lines; bricks over a polyline with a hole.
    hatch("ANSI37", scale=0.7, angle=30).paths.add_edge_path().add_arc((20, 5), 5, 0, 360)
    e = hatch("DOTS", scale=2).paths.add_edge_path()
    e.add_line((30, 0), (40, 0))
    e.add_arc((40, 5), 5, 270, 90)
    e.add_line((40, 10), (30, 10))
    e.add_arc((30, 5), 5, 90, 270)
    h = hatch("BRICK", scale=0.5, angle=15)
    h.paths.add_polyline_path([(50, 0), (60, 0), (60, 8), (50, 8)])
    h.paths.add_polyline_path(square(53, 56, -51), flags=0)


def edge_points(edge):
    kind = type(edge).__name__
    if kind == "LineEdge":
        return [Vec2(edge.start), Vec2(edge.end)]
    if kind in ("ArcEdge", "EllipseEdge"):
        curve = edge.construction_tool()
    elif edge.control_points:
        curve = BSpline(edge.control_points, order=edge.degree + 1,
                        knots=edge.knot_values, weights=edge.weights or None)
    else:
        curve = fit_points_to_cad_cv(edge.fit_points,
                                     tangents=(edge.start_tangent, edge.end_tangent))
    points = [Vec2(p) for p in curve.flattening(1e-6)]
    # ezdxf holds a clockwise arc by its counterclockwise angles.
    return points if getattr(edge, "ccw", True) else points[::-1]


def rings(hatch):
    return [[Vec2(v[:2]) for v in p.vertices] if type(p).__name__ == "PolylinePath"
            else [q for edge in p.edges for q in edge_points(edge)]
            for p in hatch.paths.rendering_paths(hatch.dxf.hatch_style)]


def even_odd_area(hatch):  # of paths that do not cross
    total, paths = 0.0, rings(hatch)
    for i, r in enumerate(paths):
        area = abs(sum(a.x * b.y - b.x * a.y for a, b in zip(r, r[1:] + r[:1]))) / 2
        depth = sum(1 for j, other in enumerate(paths)
                    if j != i and is_point_in_polygon_2d(r[0], other) > 0)
        total += area if depth % 2 == 0 else -area
    return total


def pattern_segments(hatch):  # ezdxf's hatching of the exact paths (not its Bezier arcs)
    for baseline in hatching.pattern_baselines(hatch):
        for line in hatching.hatch_polygons(baseline, rings(hatch)):
            yield from baseline.pattern_renderer(line.distance).render(line.start, line.end)


def main():
    doc = ezdxf.new("R2010")
    make(doc.modelspace())
    doc.saveas(sys.argv[1])
    with open(sys.argv[1] + ".tsv", "w") as tsv:
        for h in doc.modelspace().query("HATCH"):
            if h.dxf.solid_fill:
                tsv.write(f"{h.dxf.handle} area {even_odd_area(h)!r}\n")
            for s, e in pattern_segments(h):
                tsv.write(f"{h.dxf.handle} segment {s.x!r} {s.y!r} {e.x!r} {e.y!r}\n")


if __name__ == "__main__":
    main()
