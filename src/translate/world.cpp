// SPDX-License-Identifier: MIT
// Records of the ten placed in world coordinates by their extrusion direction.
#include "translate/world.h"

#include <cmath>
#include <numbers>

#include "model/release.h"
#include "translate/records.h"

namespace vexlith::translate {
namespace {

constexpr double kPi = std::numbers::pi;

// A direction closer to an axis than this, relative to its length, lies on it:
// a plane tilted by 1e-12 radians is drawn as flat.
constexpr double kOnAxis = 1e-12;

Qdxf_Coord Mirrored(const Qdxf_Coord &point) {
    return {-point.x, point.y, -point.z};
}

// The angle 180° - `radians` in [0°, 360°), computed in the degrees a file
// gives (exact where those are), as the reader holds angles.
double MirroredAngle(double radians) {
    double degrees = std::fmod(180 - FileDegrees(radians), 360.0);
    return (degrees < 0 ? degrees + 360 : degrees) * kPi / 180;
}

// The x and y axes of a frame turned by `angle` in the coordinate system, in
// world coordinates.
void FrameAxes(const Ocs &ocs, double angle, Qdxf_Coord *xAxis, Qdxf_Coord *yAxis) {
    double c = std::cos(angle), s = std::sin(angle);
    *xAxis = {ocs.x.x * c + ocs.y.x * s, ocs.x.y * c + ocs.y.y * s, ocs.x.z * c + ocs.y.z * s};
    *yAxis = {ocs.y.x * c - ocs.x.x * s, ocs.y.y * c - ocs.x.y * s, ocs.y.z * c - ocs.x.z * s};
}

FlatFrame TiltedFrame(const Ocs &ocs, double angle) {
    Qdxf_Coord xAxis, yAxis;
    FrameAxes(ocs, angle, &xAxis, &yAxis);
    return FlatFrameOf(xAxis, yAxis);
}

// The mirror: x and z of every point, the common elevation and thickness
// change sign.
void MirrorCommon(Qdxf_Entity &entity) {
    entity.elevation = -entity.elevation;
    entity.thickness = -entity.thickness;
}

// A circle or an arc in a tilted plane: the points of its polyline, placed.
Outcome TiltedArc(const Placement &placement, Qdxf_Entity &entity, const Qdxf_Coord &center,
                  double radius, double start, double end, double tolerance, Points &points,
                  const char **why) {
    points.Clear();
    Outcome outcome = FlattenArc(center, radius, start, end, tolerance, points);
    if (outcome == Outcome::Invalid) *why = "a circle or arc without a finite radius and centre";
    if (outcome != Outcome::Done) return outcome;
    for (Qdxf_Coord &point : std::span(points.data(), points.size()))
        point = Place(placement, point);
    return SetPolyline(entity, std::span(points.data(), points.size()), 8, k3dVertex, why);
}

// The most points the bulges of one tilted polyline add, beyond its
// vertices: each bulge is a curve of its own within kMaxCurveSegments, and
// this bounds what one entity can cost.
constexpr std::size_t kMaxAddedPoints = std::size_t{1} << 20;

// A 2-D polyline in a tilted plane: a 3-D polyline through its vertices
// placed, each bulge flattened into the points of its arc. A spline-fit
// polyline's frame control points are left out; the widths are dropped.
Outcome TiltedPolyline(const Placement &placement, Qdxf_Entity &entity, double tolerance,
                       Points &points, const char **why) {
    const Qdxf_Polyline &polyline = entity.data.polyline;
    points.Clear();
    bool splineFit = (polyline.flag & 4) != 0;
    bool closed = (polyline.flag & 1) != 0;
    const Qdxf_Vertex *previous = nullptr;
    const Qdxf_Vertex *first = nullptr;
    auto pointOf = [&](const Qdxf_Vertex &vertex) {
        return Qdxf_Coord{vertex.location.x, vertex.location.y, polyline.elevation};
    };
    // The segment from `from` to `to`: the points after `from`.
    auto segment = [&](const Qdxf_Vertex &from, const Qdxf_Vertex &to) {
        if (from.bulge == 0) return points.Append(pointOf(to)) ? Outcome::Done : Outcome::NoMemory;
        Outcome outcome = FlattenBulge(pointOf(from), pointOf(to), from.bulge, tolerance, points);
        if (outcome == Outcome::Invalid) *why = "a polyline bulge that makes no arc";
        return outcome;
    };
    for (int i = 0; polyline.vertices && i < polyline.count; ++i) {
        const Qdxf_Vertex &vertex = polyline.vertices[i];
        if (splineFit && (vertex.flags & 16)) continue;
        Outcome outcome = previous                         ? segment(*previous, vertex)
                          : points.Append(pointOf(vertex)) ? Outcome::Done
                                                           : Outcome::NoMemory;
        if (outcome != Outcome::Done) return outcome;
        if (points.size() > static_cast<std::size_t>(i) + 1 + kMaxAddedPoints) {
            *why = "its arcs make more than 1048576 points";
            return Outcome::Invalid;
        }
        if (!first) first = &vertex;
        previous = &vertex;
    }
    int flag = 8 | (closed ? 1 : 0);
    if (closed && previous && previous->bulge != 0) {
        // The closing arc ends where the polyline began: its ends meet.
        Outcome outcome = segment(*previous, *first);
        if (outcome != Outcome::Done) return outcome;
        flag = 8;
    }
    for (Qdxf_Coord &point : std::span(points.data(), points.size()))
        point = Place(placement, point);
    return SetPolyline(entity, std::span(points.data(), points.size()), flag, k3dVertex, why);
}

void MirrorText(Qdxf_Text &text) {
    text.insertionPoint = Mirrored(text.insertionPoint);
    if (text.alignmentPoint) *text.alignmentPoint = Mirrored(*text.alignmentPoint);
    text.angle = -text.angle;
    text.flags ^= 2;  // backward: mirrored in x
}

void MirrorInsert(Qdxf_Insert &insert) {
    insert.insertionPoint = Mirrored(insert.insertionPoint);
    insert.rotationAngle = -insert.rotationAngle;
    insert.xScale = -insert.xScale;
    insert.zScale = -insert.zScale;
    insert.columnSpacing = -insert.columnSpacing;
}

Outcome Mirror(Qdxf_Entity &entity) {
    switch (EntityKind(entity)) {
        case QDXF_CIRCLE:
            entity.data.circle.center = Mirrored(entity.data.circle.center);
            break;
        case QDXF_ARC: {
            Qdxf_Arc &arc = entity.data.arc;
            double start = arc.startAngle;
            arc.center = Mirrored(arc.center);
            arc.startAngle = MirroredAngle(arc.endAngle);
            arc.endAngle = MirroredAngle(start);
            break;
        }
        case QDXF_TRACE:
        case QDXF_SOLID:
            for (Qdxf_Coord &corner : entity.data.trace.corner)
                corner = Mirrored(corner);
            break;
        case QDXF_TEXT:
            MirrorText(entity.data.text);
            break;
        case QDXF_INSERT:
            MirrorInsert(entity.data.insert);
            break;
        case QDXF_POLYLINE: {
            Qdxf_Polyline &polyline = entity.data.polyline;
            polyline.elevation = -polyline.elevation;
            for (int i = 0; polyline.vertices && i < polyline.count; ++i) {
                Qdxf_Vertex &vertex = polyline.vertices[i];
                vertex.location = Mirrored(vertex.location);
                vertex.bulge = -vertex.bulge;
                vertex.tangentDir = 180.0 - vertex.tangentDir;  // degrees
            }
            break;
        }
        default:
            return Outcome::Done;
    }
    MirrorCommon(entity);
    return Outcome::Done;
}

Outcome Tilt(const Placement &placement, Qdxf_Entity &entity, double tolerance, Points &points,
             const char **why) {
    switch (EntityKind(entity)) {
        case QDXF_CIRCLE: {
            const Qdxf_Circle &circle = entity.data.circle;
            return TiltedArc(placement, entity, circle.center, circle.radius, 0, 2 * kPi, tolerance,
                             points, why);
        }
        case QDXF_ARC: {
            const Qdxf_Arc &arc = entity.data.arc;
            return TiltedArc(placement, entity, arc.center, arc.radius, arc.startAngle,
                             arc.endAngle, tolerance, points, why);
        }
        case QDXF_TRACE:
        case QDXF_SOLID:
            for (Qdxf_Coord &corner : entity.data.trace.corner)
                corner = Place(placement, corner);
            return Outcome::Done;
        case QDXF_TEXT: {
            Qdxf_Text &text = entity.data.text;
            text.insertionPoint = Place(placement, text.insertionPoint);
            if (text.alignmentPoint) *text.alignmentPoint = Place(placement, *text.alignmentPoint);
            FlatFrame frame = TiltedFrame(placement.ocs, text.angle);
            text.angle = frame.angle;
            if (frame.mirrored) text.flags ^= 2;
            return Outcome::Done;
        }
        case QDXF_INSERT: {
            Qdxf_Insert &insert = entity.data.insert;
            insert.insertionPoint = Place(placement, insert.insertionPoint);
            FlatFrame frame = TiltedFrame(placement.ocs, insert.rotationAngle);
            insert.rotationAngle = frame.angle;
            if (frame.mirrored) insert.xScale = -insert.xScale;
            return Outcome::Done;
        }
        case QDXF_POLYLINE:
            return TiltedPolyline(placement, entity, tolerance, points, why);
        default:
            return Outcome::Done;
    }
}

}  // namespace

bool PlacementOf(const Qdxf_Coord &extrusion, Placement *placement, const char **why) {
    if (extrusion.x == 0 && extrusion.y == 0 && extrusion.z == 1) {  // most entities
        placement->kind = Placement::kWorld;
        return true;
    }
    double length = std::hypot(extrusion.x, extrusion.y, extrusion.z);
    if (!(length > 0) || !std::isfinite(length)) {
        *why = "an extrusion direction without length";
        return false;
    }
    if (std::fabs(extrusion.x) <= length * kOnAxis && std::fabs(extrusion.y) <= length * kOnAxis) {
        placement->kind = extrusion.z > 0 ? Placement::kWorld : Placement::kMirrored;
        return true;
    }
    if (!MakeOcs(extrusion, &placement->ocs)) {
        *why = "an extrusion direction without length";
        return false;
    }
    placement->kind = Placement::kTilted;
    return true;
}

Qdxf_Coord Place(const Placement &placement, const Qdxf_Coord &point) {
    switch (placement.kind) {
        case Placement::kWorld:
            return point;
        case Placement::kMirrored:
            return Mirrored(point);
        case Placement::kTilted:
            break;
    }
    return ToWorld(placement.ocs, point);
}

FlatFrame FlatFrameOf(const Qdxf_Coord &xAxis, const Qdxf_Coord &yAxis) {
    // Mirrored, the record's x axis points the other way (TEXT backward,
    // INSERT with a negative x scale).
    if (xAxis.x * yAxis.y - xAxis.y * yAxis.x < 0)
        return {FileAngle(std::atan2(-xAxis.y, -xAxis.x)), true};
    return {FileAngle(std::atan2(xAxis.y, xAxis.x)), false};
}

Outcome PlaceEntity(const Placement &placement, Qdxf_Entity &entity, double tolerance,
                    Points &scratch, const char **why) {
    // Only a 2-D polyline lies in the coordinate system of its extrusion.
    if (EntityKind(entity) == QDXF_POLYLINE && (entity.data.polyline.flag & (8 | 16 | 64)))
        return Outcome::Done;
    switch (placement.kind) {
        case Placement::kWorld:
            return Outcome::Done;
        case Placement::kMirrored:
            return Mirror(entity);
        case Placement::kTilted:
            break;
    }
    return Tilt(placement, entity, tolerance, scratch, why);
}

}  // namespace vexlith::translate
