// SPDX-License-Identifier: MIT
// Entity kinds by name, from the public records, for the tool and the renderer;
// the names are the library's own (model/kind_names.h).
#ifndef VEXLITH_RENDER_KINDS_H
#define VEXLITH_RENDER_KINDS_H

#include <cstring>

#include "model/kind_names.h"
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
    return vexlith::kKindNames[kind];
}

inline const char *KindName(const Qdxf_Entity &entity) {
    return KindName(KindOf(entity));
}

}  // namespace render

#endif
