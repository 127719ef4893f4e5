// SPDX-License-Identifier: MIT
// Every entity kind the library knows, once. Each row gives the kind's name
// in a file (from model/kind_names.h, which the tool and the renderer share), its Qdxf_EntityType,
// the name a full dump prints, its type reader (src/read/entities.cpp) and its writer
// (src/write/entity_writer.cpp), or VX_NOT_WRITTEN. A subsystem expands the rows it needs with its
// own macro:
//
//   #define ROW(name, type, dumpName, reader, writer) {name, reader},
//   constexpr Kind kKinds[] = {VX_ENTITY_KINDS(ROW)};
//
// Rows are in the order of Qdxf_EntityType, from QDXF_LINE on; adding a kind
// is one row here, its member of the enumeration, its reader and its writer.
#ifndef VEXLITH_MODEL_KINDS_H
#define VEXLITH_MODEL_KINDS_H

#include "model/kind_names.h"
#include "vexlith.h"

#define VX_KIND_NAME(type) ::vexlith::kKindNames[type]

#define VX_ENTITY_KINDS(ROW)                                                                 \
    ROW(VX_KIND_NAME(QDXF_LINE), QDXF_LINE, "Line", ReadLine, WriteLine)                     \
    ROW(VX_KIND_NAME(QDXF_POINT), QDXF_POINT, "Point", ReadPoint, WritePoint)                \
    ROW(VX_KIND_NAME(QDXF_CIRCLE), QDXF_CIRCLE, "Circle", ReadCircle, WriteCircle)           \
    ROW(VX_KIND_NAME(QDXF_ARC), QDXF_ARC, "Arc", ReadArc, WriteArc)                          \
    ROW(VX_KIND_NAME(QDXF_TRACE), QDXF_TRACE, "Trace", ReadTrace, WriteTrace)                \
    ROW(VX_KIND_NAME(QDXF_SOLID), QDXF_SOLID, "Solid", ReadSolid, WriteSolid)                \
    ROW(VX_KIND_NAME(QDXF_TEXT), QDXF_TEXT, "Text", ReadText, WriteText)                     \
    ROW(VX_KIND_NAME(QDXF_INSERT), QDXF_INSERT, "Insert", ReadInsert, WriteInsert)           \
    ROW(VX_KIND_NAME(QDXF_POLYLINE), QDXF_POLYLINE, "Polyline", ReadPolyline, WritePolyline) \
    ROW(VX_KIND_NAME(QDXF_3DFACE), QDXF_3DFACE, "3DFace", Read3DFACE, VX_NOT_WRITTEN)

// The writer of a kind that is kept but not written.
#define VX_NOT_WRITTEN nullptr

namespace vexlith {

// The rows are in the order of the enumeration, which the per-kind tables
// built from them are indexed by.
#define VX_KIND_TYPE(name, type, dumpName, reader, writer) type,
constexpr Qdxf_EntityType kKindTypes[] = {VX_ENTITY_KINDS(VX_KIND_TYPE)};
#undef VX_KIND_TYPE
constexpr int kKindCount = sizeof kKindTypes / sizeof kKindTypes[0];
constexpr bool KindRowsFollowTheEnumeration() {
    for (int i = 0; i < kKindCount; ++i) {
        if (kKindTypes[i] != i + 1) return false;
    }
    return true;
}
static_assert(KindRowsFollowTheEnumeration(), "kinds out of the order of Qdxf_EntityType");

}  // namespace vexlith

#endif
