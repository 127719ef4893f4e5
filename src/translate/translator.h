// SPDX-License-Identifier: MIT
// What the translation of one entity works on, and the translations that live
// in files of their own (translate_entity.cpp holds the table of them all).
#ifndef VEXLITH_TRANSLATE_TRANSLATOR_H
#define VEXLITH_TRANSLATE_TRANSLATOR_H

#include "read/read_state.h"
#include "translate/groups.h"
#include "translate/text_encoding.h"

namespace vexlith::translate {

// What one translation works on.
struct Context {
    Qdxf_ReadState &read;
    Qdxf_Info *drawing;
    Qdxf_Block *parent;
    Qdxf_Entity &entity;
    Groups groups;
    // Why the entity stays INVALID (null: it stays so by rule, unreported).
    const char *why = nullptr;
    // The record is in the coordinate system of the extrusion direction.
    bool inOcs = false;

    Translation &translation() { return read.translation; }
    const TextEncoding *Utf8() const {
        return (read.flags & QDXF_READ_UTF8) ? &read.encoding : nullptr;
    }
    bool World() const { return (read.flags & QDXF_READ_WORLD) != 0; }
    Outcome Invalid(const char *reason) {
        why = reason;
        return Outcome::Invalid;
    }
};

// Groups 10 + base, 20 + base, 30 + base set x, y and z.
inline bool SetAxis(Qdxf_Coord &point, const EntityGroup &group, int base) {
    // Compared before subtracting: a clamped code may be INT_MIN.
    if (group.code < base || group.code > base + 20) return false;
    int axis = group.code - base;
    if (axis != 0 && axis != 10 && axis != 20) return false;
    (axis == 0 ? point.x : axis == 10 ? point.y : point.z) = group.real;
    return true;
}

// The MTEXT translation, on groups an MTEXT entity would have (a
// MULTILEADER's text content is given so).
Outcome TranslateMTextGroups(Context &context);

// A DIMENSION whose block the drawing lacks, drawn from its definition
// points and its dimension style (dimension.cpp).
Outcome DrawDimension(Context &context);
// LEADER with its arrowhead (leader.cpp).
Outcome TranslateLeaderEntity(Context &context);
Outcome TranslateMultiLeader(Context &context);  // multileader.cpp
Outcome TranslateMLine(Context &context);        // mline.cpp
Outcome TranslateMesh(Context &context);         // mesh.cpp
Outcome TranslateTolerance(Context &context);    // tolerance.cpp
// WIPEOUT and IMAGE (image_frame.cpp).
Outcome TranslateImageFrame(Context &context);
// RAY and XLINE (infinite_line.cpp).
Outcome TranslateRay(Context &context);
Outcome TranslateXLine(Context &context);

}  // namespace vexlith::translate

#endif
