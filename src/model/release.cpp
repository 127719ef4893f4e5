// SPDX-License-Identifier: MIT
// Release of a drawing and of every record it owns, and list appends for
// hosts. The texts of table entries and blocks are those their group tables
// name; references (layer, ltype, block) are never followed.
#include "model/release.h"

#include "model/header_variables.h"
#include "model/members.h"
#include "runtime/toolkit.h"

namespace vexlith {
namespace {

template <typename T, void (*FreeOne)(T *)>
void FreeList(T *record) {
    while (record) {
        T *next = record->next;
        FreeOne(record);
        record = next;
    }
}

}  // namespace

void FreeHeader(Qdxf_Header *header) {
    if (!header) return;
    for (const KnownVariable &known : kKnownVariables) {
        if (known.copy == Copy::String) rt::Free(MemberOf<char *>(header, known.member));
        if (known.copy == Copy::Point) rt::Free(MemberOf<Qdxf_Coord *>(header, known.member));
    }
    rt::Free(header);
}

void FreeTextMembers(std::span<const GroupMember> members, void *record) {
    for (const GroupMember &known : members) {
        if (known.held == Held::Text) rt::Free(MemberOf<char *>(record, known.member));
    }
}

void FreeLtype(Qdxf_Ltype *ltype) {
    if (!ltype) return;
    FreeTextMembers(kLtypeMembers, ltype);
    rt::Free(ltype->dashLength);
    rt::Free(ltype);
}

void FreeLayer(Qdxf_Layer *layer) {
    if (!layer) return;
    FreeTextMembers(kLayerMembers, layer);
    rt::Free(layer);
}

void FreeStyle(Qdxf_Style *style) {
    if (!style) return;
    FreeTextMembers(kStyleMembers, style);
    rt::Free(style);
}

void FreeTables(Qdxf_Tables *tables) {
    if (!tables) return;
    FreeList<Qdxf_Ltype, FreeLtype>(tables->ltypes);
    FreeList<Qdxf_Layer, FreeLayer>(tables->layers);
    FreeList<Qdxf_Style, FreeStyle>(tables->styles);
    rt::Free(tables);
}

namespace {

// What the members of the entity's kind own.
void FreeKindMembers(Qdxf_Entity &entity) {
    switch (EntityKind(entity)) {
        case QDXF_TEXT:
            rt::Free(entity.data.text.text);
            rt::Free(entity.data.text.style);
            rt::Free(entity.data.text.alignmentPoint);
            break;
        case QDXF_INSERT:
            rt::Free(entity.data.insert.blockName);
            break;
        case QDXF_POLYLINE:
        case QDXF_3DFACE: {
            // A count without an array holds no vertices, as the writer and
            // the dump take it too.
            Qdxf_Polyline &polyline = entity.data.polyline;
            for (int i = 0; polyline.vertices && i < polyline.count; ++i)
                rt::Free(polyline.vertices[i].ltypeName);
            rt::Free(polyline.vertices);
            break;
        }
        default:
            break;
    }
}

}  // namespace

void ReleaseKindMembers(Qdxf_Entity &entity) {
    FreeKindMembers(entity);
    std::memset(&entity.data, 0, sizeof entity.data);
    entity.type = QDXF_INVALID;
}

void FreeEntityMembers(Qdxf_Entity *entity) {
    rt::Free(entity->layerName);
    rt::Free(entity->handle);
    rt::Free(entity->ltypeName);
    FreeKindMembers(*entity);
}

void FreeEntity(Qdxf_Entity *entity) {
    if (!entity) return;
    FreeEntityMembers(entity);
    rt::Free(entity);
}

void FreeEntityList(Qdxf_Entity *list) {
    FreeList<Qdxf_Entity, FreeEntity>(list);
}

void FreeBlock(Qdxf_Block *block) {
    if (!block) return;
    FreeTextMembers(kBlockMembers, block);
    FreeEntityList(block->entities);
    rt::Free(block);
}

void FreeBlockList(Qdxf_Block *list) {
    FreeList<Qdxf_Block, FreeBlock>(list);
}

void FreeRepair(Qdxf_Repair *repair) {
    rt::Free(repair->found);
    rt::Free(repair->message);
    rt::Free(repair);
}

}  // namespace vexlith

extern "C" {

VEXLITH_API void qdxf_InfoFree(Qdxf_Info *info) {
    if (!info) return;
    vexlith::FreeHeader(info->header);
    vexlith::FreeTables(info->tables);
    vexlith::FreeBlockList(info->blocks);
    vexlith::FreeEntityList(info->entities);
    vexlith::rt::Free(info->colorTable);
    vexlith::rt::Free(info);
}

VEXLITH_API void qdxf_RepairsFree(Qdxf_Repair *repairs) {
    vexlith::FreeList<Qdxf_Repair, vexlith::FreeRepair>(repairs);
}

VEXLITH_API void *qdxf_AddToList(void *list, void *record) {
    return vexlith::rt::AddToList<void>(list, record);
}

}  // extern "C"
