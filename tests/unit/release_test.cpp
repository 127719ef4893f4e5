// SPDX-License-Identifier: MIT
// Release of drawings a host builds itself, and list appends.
#include <gtest/gtest.h>

#include "pellund_testing.h"
#include "test_support.h"

using namespace testing_support;

namespace {

template <typename T>
T *Zeroed() {
    return static_cast<T *>(qmsc_HeapMalloc(sizeof(T)));
}

Qdxf_Entity *NewEntity(Qdxf_EntityType type) {
    auto *entity = Zeroed<Qdxf_Entity>();
    entity->type = type;
    entity->layerName = qstr_Duplicate("0");
    entity->handle = qstr_Duplicate("1F");
    entity->color = 256;
    return entity;
}

// Every record kind with every owned member set, built the way a host must.
Qdxf_Info *FullDrawing() {
    auto *info = Zeroed<Qdxf_Info>();
    info->colorTable = qdxf_ColorTableCreate(nullptr);
    info->header = Zeroed<Qdxf_Header>();
    info->header->acadver = qstr_Duplicate("AC1009");
    info->header->celtype = qstr_Duplicate("BYLAYER");
    info->header->clayer = qstr_Duplicate("0");
    info->header->textstyle = qstr_Duplicate("STANDARD");
    info->header->extmin = Zeroed<Qdxf_Coord>();
    info->header->extmax = Zeroed<Qdxf_Coord>();

    info->tables = Zeroed<Qdxf_Tables>();
    auto *ltype = Zeroed<Qdxf_Ltype>();
    ltype->name = qstr_Duplicate("DASHED");
    ltype->text = qstr_Duplicate("__ __");
    ltype->numDashItems = 2;
    ltype->dashLength = static_cast<double *>(qmsc_HeapMalloc(2 * sizeof(double)));
    info->tables->ltypes = static_cast<Qdxf_Ltype *>(qdxf_AddToList(nullptr, ltype));
    auto *layer = Zeroed<Qdxf_Layer>();
    layer->name = qstr_Duplicate("walls");
    layer->ltypeName = qstr_Duplicate("DASHED");
    layer->ltype = ltype;
    info->tables->layers = static_cast<Qdxf_Layer *>(qdxf_AddToList(nullptr, layer));
    auto *style = Zeroed<Qdxf_Style>();
    style->name = qstr_Duplicate("STANDARD");
    style->primaryFontFile = qstr_Duplicate("txt");
    style->bigFontFile = qstr_Duplicate("big");
    info->tables->styles = static_cast<Qdxf_Style *>(qdxf_AddToList(nullptr, style));

    auto *block = Zeroed<Qdxf_Block>();
    block->name = qstr_Duplicate("DOOR");
    block->layerName = qstr_Duplicate("walls");
    block->xrefPath = qstr_Duplicate("door.dwg");
    block->layer = layer;
    Qdxf_Entity *inBlock = NewEntity(QDXF_LINE);
    inBlock->block = block;
    block->entities = static_cast<Qdxf_Entity *>(qdxf_AddToList(nullptr, inBlock));
    info->blocks = static_cast<Qdxf_Block *>(qdxf_AddToList(nullptr, block));

    Qdxf_Entity *text = NewEntity(QDXF_TEXT);
    text->data.text.text = qstr_Duplicate("hello");
    text->data.text.style = qstr_Duplicate("STANDARD");
    text->data.text.alignmentPoint = Zeroed<Qdxf_Coord>();
    Qdxf_Entity *insert = NewEntity(QDXF_INSERT);
    insert->data.insert.blockName = qstr_Duplicate("DOOR");
    Qdxf_Entity *polyline = NewEntity(QDXF_POLYLINE);
    polyline->data.polyline.count = 3;
    polyline->data.polyline.vertices =
        static_cast<Qdxf_Vertex *>(qmsc_HeapMalloc(3 * sizeof(Qdxf_Vertex)));
    polyline->data.polyline.vertices[1].ltypeName = qstr_Duplicate("DASHED");
    Qdxf_Entity *face = NewEntity(QDXF_3DFACE);
    face->data.polyline.vertices = static_cast<Qdxf_Vertex *>(qmsc_HeapMalloc(0));
    Qdxf_Entity *unknown = NewEntity(QDXF_INVALID);
    Qdxf_Entity *outOfRange = NewEntity(static_cast<Qdxf_EntityType>(15));
    for (Qdxf_Entity *entity : {text, insert, polyline, face, unknown, outOfRange}) {
        info->entities = static_cast<Qdxf_Entity *>(qdxf_AddToList(info->entities, entity));
    }
    return info;
}

TEST(Release, FreesEveryOwnedMemberOfEveryRecord) {
    long before = pellund_TestLiveBlocks();
    qdxf_InfoFree(FullDrawing());
    EXPECT_EQ(pellund_TestLiveBlocks(), before);
}

TEST(Release, AcceptsNullAtEveryLevel) {
    long before = pellund_TestLiveBlocks();
    qdxf_InfoFree(nullptr);
    auto *info = Zeroed<Qdxf_Info>();
    info->colorTable = qdxf_ColorTableCreate(nullptr);
    qdxf_InfoFree(info);
    info = Zeroed<Qdxf_Info>();
    info->header = Zeroed<Qdxf_Header>();
    info->tables = Zeroed<Qdxf_Tables>();
    info->entities = NewEntity(QDXF_POLYLINE);  // count 0, vertices null
    // A count with no array, as qdxf_Write and the dump already take it.
    Qdxf_Entity *counted = NewEntity(QDXF_3DFACE);
    counted->data.polyline.count = 4;
    info->entities = static_cast<Qdxf_Entity *>(qdxf_AddToList(info->entities, counted));
    qdxf_InfoFree(info);
    EXPECT_EQ(pellund_TestLiveBlocks(), before);
}

TEST(AddToList, AppendsAtTheEndAndKeepsTheLinks) {
    Qdxf_Entity *a = NewEntity(QDXF_LINE);
    Qdxf_Entity *b = NewEntity(QDXF_LINE);
    Qdxf_Entity *c = NewEntity(QDXF_LINE);
    void *list = qdxf_AddToList(nullptr, a);
    EXPECT_EQ(list, a);
    EXPECT_EQ(qdxf_AddToList(list, nullptr), list);
    EXPECT_EQ(qdxf_AddToList(list, b), a);
    EXPECT_EQ(qdxf_AddToList(list, c), a);
    EXPECT_EQ(a->prev, nullptr);
    EXPECT_EQ(a->next, b);
    EXPECT_EQ(b->prev, a);
    EXPECT_EQ(b->next, c);
    EXPECT_EQ(c->prev, b);
    EXPECT_EQ(c->next, nullptr);
    EXPECT_EQ(qllm_Count(list), 3);
    auto *info = Zeroed<Qdxf_Info>();
    info->entities = a;
    qdxf_InfoFree(info);
}

}  // namespace
