// SPDX-License-Identifier: MIT
// Release of drawing records. Each operation accepts null and frees every
// owned member without testing it; lists are walked forward and freed whole.
#ifndef VEXLITH_MODEL_RELEASE_H
#define VEXLITH_MODEL_RELEASE_H

#include <cstring>

#include "vexlith.h"

namespace vexlith {

// The kind of an entity as an int. A host writing C may store any int in
// `type`; read as the enum, a value outside its range would be undefined in
// C++, so every switch over the kind reads it through here.
inline int EntityKind(const Qdxf_Entity &entity) {
    int kind;
    static_assert(sizeof kind == sizeof entity.type);
    std::memcpy(&kind, &entity.type, sizeof kind);
    return kind;
}

void FreeHeader(Qdxf_Header *header);
void FreeTables(Qdxf_Tables *tables);
void FreeLtype(Qdxf_Ltype *ltype);
void FreeLayer(Qdxf_Layer *layer);
void FreeStyle(Qdxf_Style *style);
void FreeEntity(Qdxf_Entity *entity);
// Releases what the members of the entity's kind own and leaves it INVALID,
// its kind's members zero and its common members as they were.
void ReleaseKindMembers(Qdxf_Entity &entity);
// What an entity owns, the record itself left (with dangling members).
void FreeEntityMembers(Qdxf_Entity *entity);
void FreeEntityList(Qdxf_Entity *list);
void FreeBlock(Qdxf_Block *block);
void FreeBlockList(Qdxf_Block *list);
void FreeRepair(Qdxf_Repair *repair);

}  // namespace vexlith

#endif
