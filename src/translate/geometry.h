// SPDX-License-Identifier: MIT
// The geometry the translations need: object coordinate systems (the
// arbitrary axis algorithm), and curves flattened into polylines within a
// tolerance: circular arcs, bulges, ellipses and splines.
#ifndef VEXLITH_TRANSLATE_GEOMETRY_H
#define VEXLITH_TRANSLATE_GEOMETRY_H

#include "translate/groups.h"

namespace vexlith::translate {

// The largest distance between a curve and its polyline: `requested` when it
// is positive, otherwise the library's default for a curve of `curveSize`
// (its largest extent in drawing units): 1/10,000 of that size. A curve
// shown whole is then within a tenth of a pixel on a screen, or 0.1 mm on a
// 1 m plot, at about 160 segments for a full circle; a curve without size
// gets the smallest positive tolerance instead.
// Every function below takes `tolerance` this way: its own curve's default
// when it is 0 or less.
double CurveTolerance(double requested, double curveSize);

// The most segments one curve is flattened into, whatever the tolerance asks:
// hostile data cannot make one entity cost more than this. Where the
// tolerance would need more, the cap wins and the polyline is coarser than
// asked (its vertices are still on the curve).
constexpr std::size_t kMaxCurveSegments = 1u << 16;

// The highest spline degree read (an order of 26 is the most CAD programs
// allow); a higher one is impossible data.
constexpr int kMaxSplineDegree = 25;

// Every function that appends to `out` leaves it as it was when it returns
// Invalid or NoMemory, and appends only finite points.

// The number a group holds: its real or integer, or its text read as a
// number (the kind table of the plain read has no kind for codes 210-239);
// NaN for a group without any.
double GroupNumber(const EntityGroup &group);

// An object coordinate system: its axes in world coordinates.
struct Ocs {
    Qdxf_Coord x, y, z;
};
// The coordinate system of an extrusion direction (groups 210, 220, 230) by
// the arbitrary axis algorithm; false for a direction without length or with
// a NaN.
bool MakeOcs(const Qdxf_Coord &extrusion, Ocs *ocs);
// A point of the coordinate system in world coordinates.
Qdxf_Coord ToWorld(const Ocs &ocs, const Qdxf_Coord &point);

// A circular arc in its own plane, counterclockwise from `start` to `end`
// (radians; an end at or before the start goes round once more, and equal
// angles 2π apart make a full circle), both end points included, at z of the
// centre.
Outcome FlattenArc(const Qdxf_Coord &center, double radius, double start, double end,
                   double tolerance, Points &out);
// The arc of a polyline segment with a bulge, from `from` to `to` in their
// plane: the points after `from`, `to` included (a bulge of 0 gives `to`).
Outcome FlattenBulge(const Qdxf_Coord &from, const Qdxf_Coord &to, double bulge, double tolerance,
                     Points &out);

// An elliptic arc about `center` in the plane whose normal is `normal`:
// `majorAxis` is the end of the major axis relative to the centre, `ratio`
// the minor axis over the major, the arc runs counterclockwise about the
// normal from parameter `start` to `end` (radians; an end at or before the
// start goes round once more), both end points included.
Outcome FlattenEllipse(const Qdxf_Coord &center, const Qdxf_Coord &majorAxis,
                       const Qdxf_Coord &normal, double ratio, double start, double end,
                       double tolerance, Points &out);

// A NURBS curve: `control` points, `weights` (empty: all 1, else one per
// control point), `knots` (control.size() + degree + 1 of them, not
// decreasing), evaluated from knots[degree] to knots[control.size()]. Invalid,
// with *why, for data that makes no curve. Flattened span by span, each split
// until its control polygon lies within the tolerance of its chord (so the
// curve does), in time linear in the control points.
struct Nurbs {
    int degree;
    std::span<const Qdxf_Coord> control;
    std::span<const double> weights;
    std::span<const double> knots;
};
Outcome FlattenNurbs(const Nurbs &curve, double tolerance, Points &out, const char **why);
// The curve of `degree` through the fit points, as CAD programs make it,
// with the tangents at its ends where they are given (null: none).
// CAD programs make every fit-point spline cubic, whatever degree they store:
// the cubic B-spline through the points at their chord-length parameters,
// its end tangents those given or estimated from five points at each end;
// only a degree of 1 gives the straight segments between the points.
Outcome FlattenFitPoints(int degree, std::span<const Qdxf_Coord> fit,
                         const Qdxf_Coord *startTangent, const Qdxf_Coord *endTangent,
                         double tolerance, Points &out, const char **why);
// The same; `closed` (a SPLINE's flag 1) joins the last point to the first:
// without tangents given the curve is then smooth (periodic) at that point too.
Outcome FlattenFitPoints(int degree, std::span<const Qdxf_Coord> fit,
                         const Qdxf_Coord *startTangent, const Qdxf_Coord *endTangent, bool closed,
                         double tolerance, Points &out, const char **why);

// An ELLIPSE entity: a CIRCLE or an ARC when its ratio is 1 (within 1e-9, its
// major axis square to its normal), with the centre and angles (in [0, 2π))
// in the coordinate system of its normal, as those records hold them; else
// the points of its polyline in world coordinates, the first and last at the
// start and end parameters. A sweep within 1e-6 of a whole number of turns
// is a full turn (2π written with few digits).
struct CircularShape {
    bool isCircular;       // the members below are set, `out` is left empty
    bool fullCircle;       // a CIRCLE; else an ARC from startAngle to endAngle
    Qdxf_Coord center;     // in the coordinate system of `extrusion`
    Qdxf_Coord extrusion;  // the ellipse's normal
    double radius;
    double startAngle, endAngle;  // radians
};
Outcome TranslateEllipse(Groups groups, double tolerance, CircularShape *circular, Points &out,
                         const char **why);

// A SPLINE entity as the points of its polyline in world coordinates: the
// NURBS of its control points, knots, weights and degree, or, for a spline
// with fit points only, the curve through them as CAD programs make it.
Outcome TranslateSpline(Groups groups, double tolerance, Points &out, const char **why);

}  // namespace vexlith::translate

#endif
