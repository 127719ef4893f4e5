// SPDX-License-Identifier: MIT
// QDXF_READ_WORLD: records whose points lie in the coordinate system of their
// extrusion direction (CIRCLE, ARC, SOLID, TRACE, TEXT, INSERT, a 2-D
// POLYLINE) placed in world coordinates by the arbitrary axis algorithm.
//  - Extrusion (0, 0, 1): nothing changes.
//  - Extrusion (0, 0, -1), the mirror CAD programs write for a mirrored
//    entity: exact in the record. x and z change sign (points, elevation,
//    thickness); an arc runs from 180° - end to 180° - start; a polyline's
//    bulges change sign; a TEXT turns to -angle and is written backward; an
//    INSERT turns to -angle with its x and z scales and column spacing
//    negated.
//  - Any other direction: every point is placed exactly. A circle or an arc
//    becomes a 3-D POLYLINE within the tolerance, and so does a 2-D POLYLINE
//    (its bulges flattened, its widths dropped). A TEXT or an INSERT keeps
//    its record: its angle is that of its x axis seen from above (mirrored
//    when its plane is seen from below), and the tilt of its plane is lost.
//    A SOLID's or a TRACE's corners are placed, its thickness kept along z.
#ifndef VEXLITH_TRANSLATE_WORLD_H
#define VEXLITH_TRANSLATE_WORLD_H

#include "translate/geometry.h"

namespace vexlith::translate {

// How an extrusion direction places the points of its coordinate system.
struct Placement {
    enum Kind { kWorld, kMirrored, kTilted } kind;
    Ocs ocs;
};
// False, with *why, for a direction without length or with a NaN.
bool PlacementOf(const Qdxf_Coord &extrusion, Placement *placement, const char **why);
// A point of the coordinate system in world coordinates.
Qdxf_Coord Place(const Placement &placement, const Qdxf_Coord &point);

// The angle of a text or block frame lying in the XY plane, whose x axis is
// `xAxis` and whose y axis is `yAxis` as seen from above, and whether that
// frame is mirrored (its y axis clockwise from its x axis).
struct FlatFrame {
    double angle;
    bool mirrored;
};
FlatFrame FlatFrameOf(const Qdxf_Coord &xAxis, const Qdxf_Coord &yAxis);

// Places a record of the ten read in the coordinate system of `placement`
// (kinds without one are left alone). Invalid, with *why, where its data
// makes no curve.
Outcome PlaceEntity(const Placement &placement, Qdxf_Entity &entity, double tolerance,
                    Points &scratch, const char **why);

}  // namespace vexlith::translate

#endif
