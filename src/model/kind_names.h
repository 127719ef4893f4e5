// SPDX-License-Identifier: MIT
// The names of the entity kinds, once, for the library, the tool and the
// renderer: the kinds the records hold, by Qdxf_EntityType, and the kinds
// outside them that QDXF_READ_MODERN_KINDS translates into records of those.
// Header only, on the public records alone, so that the tool and the
// renderer, which use nothing but the public interface, can include it.
#ifndef VEXLITH_MODEL_KIND_NAMES_H
#define VEXLITH_MODEL_KIND_NAMES_H

#include <iterator>

#include "vexlith.h"

namespace vexlith {

// As a file names each kind, by Qdxf_EntityType; "INVALID" for an entity of
// a kind the library keeps without its data.
inline constexpr const char *kKindNames[] = {"INVALID", "LINE",     "POINT", "CIRCLE",
                                             "ARC",     "TRACE",    "SOLID", "TEXT",
                                             "INSERT",  "POLYLINE", "3DFACE"};
static_assert(std::size(kKindNames) == QDXF_3DFACE + 1);

// The kinds outside the ten that QDXF_READ_MODERN_KINDS translates, and the
// name its log gives a POLYLINE polyface mesh (flag 64), which it translates
// as well: "NAME entity translated".
inline constexpr const char *kTranslatedKindNames[] = {
    "LWPOLYLINE", "ELLIPSE", "SPLINE", "MTEXT",       "DIMENSION", "ACAD_TABLE",
    "ATTRIB",     "LEADER",  "HATCH",  "MULTILEADER", "MLINE",     "MESH",
    "TOLERANCE",  "WIPEOUT", "IMAGE",  "RAY",         "XLINE"};
inline constexpr const char *kPolyfaceKindName = "POLYLINE (polyface mesh)";

}  // namespace vexlith

#endif
