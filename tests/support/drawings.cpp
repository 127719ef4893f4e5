// SPDX-License-Identifier: MIT
#include "drawings.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>

#include "written_members.h"

namespace testing_support {

char *HeapText(const char *text) {
    return text ? qstr_Duplicate(text) : nullptr;
}

Qdxf_Coord *HeapCoord(Qdxf_Coord value) {
    auto *coord = static_cast<Qdxf_Coord *>(qmsc_HeapMalloc(sizeof(Qdxf_Coord)));
    *coord = value;
    return coord;
}

DrawingPtr NewDrawing() {
    return DrawingPtr(static_cast<Qdxf_Info *>(qmsc_HeapMalloc(sizeof(Qdxf_Info))));
}

Qdxf_Header *AddHeader(Qdxf_Info &drawing, bool withExtents) {
    auto *header = static_cast<Qdxf_Header *>(qmsc_HeapMalloc(sizeof(Qdxf_Header)));
    if (withExtents) {
        header->extmin = HeapCoord({-1.5, -2.25, 0.0});
        header->extmax = HeapCoord({100.0, 50.0, 0.0});
    }
    drawing.header = header;
    return header;
}

Qdxf_Entity *AddEntity(Qdxf_Entity *&list, int type, const char *layer) {
    auto *entity = static_cast<Qdxf_Entity *>(qmsc_HeapMalloc(sizeof(Qdxf_Entity)));
    entity->type = static_cast<Qdxf_EntityType>(type);
    entity->layerName = HeapText(layer);
    entity->color = 256;
    if (type == QDXF_INSERT) {
        Qdxf_Insert &insert = entity->data.insert;
        insert.xScale = insert.yScale = insert.zScale = 1.0;
        insert.columnCount = insert.rowCount = 1;
    }
    list = static_cast<Qdxf_Entity *>(qdxf_AddToList(list, entity));
    return entity;
}

Qdxf_Block *AddBlock(Qdxf_Info &drawing, const char *name, const char *layer) {
    auto *block = static_cast<Qdxf_Block *>(qmsc_HeapMalloc(sizeof(Qdxf_Block)));
    block->name = HeapText(name);
    block->layerName = HeapText(layer);
    block->color = 256;
    drawing.blocks = static_cast<Qdxf_Block *>(qdxf_AddToList(drawing.blocks, block));
    return block;
}

void SetVertices(Qdxf_Entity &entity, const std::vector<Qdxf_Coord> &locations) {
    Qdxf_Polyline &polyline = entity.data.polyline;
    polyline.count = static_cast<int>(locations.size());
    polyline.vertices =
        static_cast<Qdxf_Vertex *>(qmsc_HeapMalloc(locations.size() * sizeof(Qdxf_Vertex)));
    for (std::size_t i = 0; i < locations.size(); ++i)
        polyline.vertices[i].location = locations[i];
}

WriteOutcome WriteTo(const Qdxf_Info *drawing, const std::string &path, int binary,
                     unsigned int flags) {
    qerr_Report *report = nullptr;
    const Qdxf_WriteOptions options{sizeof options, flags, nullptr, nullptr};
    if (flags) {
        qdxf_WriteWithOptions(drawing, path.c_str(), binary, &options, &report);
    } else {
        qdxf_Write(drawing, path.c_str(), binary, 0, &report);
    }
    return {ReadWholeFile(path), ReportPtr(report)};
}

WriteOutcome WriteDrawing(const Qdxf_Info *drawing, int binary, unsigned int flags) {
    TempFile file;
    return WriteTo(drawing, file.path(), binary, flags);
}

ReadOutcome RoundTrip(const Qdxf_Info &drawing, int binary) {
    TempFile file;
    WriteOutcome written = WriteTo(&drawing, file.path(), binary);
    if (written.report) return {nullptr, std::move(written.report)};
    return ReadFile(file.path());
}

namespace {

// snprintf of an integer: no locale has a say in it.
std::string FormatInt(const char *format, int value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string Real8(double value) {
    return FormatReal("%.8g", value);
}

std::string WrittenReal(double value) {
    char text[64];
    double magnitude = std::fabs(value);
    bool fixed = magnitude == 0.0 || (magnitude >= 1e-5 && magnitude < 1e16);
    char *end = fixed ? std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr
                      : std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

std::string WrittenAscii(const std::vector<Group> &groups) {
    std::string text;
    for (const Group &group : groups) {
        text += FormatInt("%3d\n", group.code);
        if (auto *s = std::get_if<std::string>(&group.value)) {
            text += *s + "\n";
        } else if (auto *i = std::get_if<int>(&group.value)) {
            text += FormatInt("%6d\n", *i);
        } else {
            text += WrittenReal(std::get<double>(group.value)) + "\n";
        }
    }
    return text;
}

std::string WrittenBinary(const std::vector<Group> &groups) {
    // The binary builder of the reader's tests writes exactly this layout:
    // one-byte codes, two-byte integers, eight-byte reals, NUL-ended texts.
    return Binary(groups, false);
}

}  // namespace testing_support
