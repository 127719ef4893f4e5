// SPDX-License-Identifier: MIT
// Entity kinds by name, from the public records, for the tool and the renderer.
#ifndef VEXLITH_RENDER_KINDS_H
#define VEXLITH_RENDER_KINDS_H

#include <cstring>

#include "vexlith.h"

namespace render {

// The kind of an entity; QDXF_INVALID for a number outside the enumeration,
// which a host may have stored there.
inline Qdxf_EntityType KindOf(const Qdxf_Entity &entity) {
    int kind;
    std::memcpy(&kind, &entity.type, sizeof kind);
    return kind > QDXF_INVALID && kind <= QDXF_3DFACE ? static_cast<Qdxf_EntityType>(kind)
                                                      : QDXF_INVALID;
}

// "LINE" ... "3DFACE" as the file names the kind; "INVALID" for a kind the
// library keeps without its data.
inline const char *KindName(Qdxf_EntityType kind) {
    constexpr const char *kNames[] = {"INVALID", "LINE", "POINT",  "CIRCLE",   "ARC",   "TRACE",
                                      "SOLID",   "TEXT", "INSERT", "POLYLINE", "3DFACE"};
    static_assert(std::size(kNames) == QDXF_3DFACE + 1);
    return kNames[kind];
}

inline const char *KindName(const Qdxf_Entity &entity) {
    return KindName(KindOf(entity));
}

}  // namespace render

#endif
