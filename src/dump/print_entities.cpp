// SPDX-License-Identifier: MIT
// Dumps of entities, in full and in the quick form, and of blocks.
#include <iterator>

#include "dump/print.h"
#include "model/kinds.h"
#include "model/release.h"

namespace vexlith {
namespace {

// The name in the first line of a full entity dump.
const char *EntityName(int kind) {
#define VX_KIND_DUMP_NAME(name, type, dumpName, reader, writer) dumpName,
    static const char *const kNames[] = {"Invalid", VX_ENTITY_KINDS(VX_KIND_DUMP_NAME)};
#undef VX_KIND_DUMP_NAME
    if (kind < 0 || kind >= static_cast<int>(std::size(kNames))) return "Unknown";
    return kNames[kind];
}

// One polyline vertex, in the full form.
void VertexPrint(const Qdxf_Vertex &vertex) {
    VX_PRINT("\tltypeName = %s\n", OrNil(vertex.ltypeName));
    VX_PRINT("\tlocation = ");
    PrintCoord(vertex.location);
    VX_PRINT("\n\tstartingWidth = %g, endingWidth = %g\n", vertex.startingWidth,
             vertex.endingWidth);
    VX_PRINT("\tbulge = %g, flags = %d, tangentDir = %g\n", vertex.bulge, vertex.flags,
             vertex.tangentDir);
}

// The vertices a polyline record really holds: none when a host left the
// array out, whatever `count` says.
int VertexCount(const Qdxf_Polyline &polyline) {
    return polyline.vertices ? polyline.count : 0;
}

void PrintText(const Qdxf_Text &text) {
    VX_PRINT("insertionPoint = ");
    PrintCoord(text.insertionPoint);
    VX_PRINT("\nheight = %g\n", text.height);
    VX_PRINT("text = %s\n", OrNil(text.text));
    VX_PRINT("angle = %g\n", text.angle);
    VX_PRINT("xScale = %g, obliqueAngle = %g\n", text.xScale, text.obliqueAngle);
    VX_PRINT("style = %s, flags = %d\n", OrNil(text.style), text.flags);
    VX_PRINT("horizJust = %d, vertJust = %d\n", text.horizJust, text.vertJust);
    VX_PRINT("alignmentPoint = ");
    if (text.alignmentPoint) PrintCoord(*text.alignmentPoint);
    VX_PRINT("\n\n");
}

void PrintInsert(const Qdxf_Insert &insert) {
    VX_PRINT("attributesFollow = %d\n", insert.attributesFollow);
    VX_PRINT("blockName = %s\n", OrNil(insert.blockName));
    VX_PRINT("insertionPoint = ");
    PrintCoord(insert.insertionPoint);
    VX_PRINT("\nxScale = %g, ", insert.xScale);
    VX_PRINT("yScale = %g, ", insert.yScale);
    VX_PRINT("zScale = %g\n", insert.zScale);
    VX_PRINT("rotationAngle = %g\n", insert.rotationAngle);
    VX_PRINT("columnCount = %d, rowCount = %d\n", insert.columnCount, insert.rowCount);
    VX_PRINT("columnSpacing = %g, rowSpacing = %g\n\n", insert.columnSpacing, insert.rowSpacing);
}

// No blank line follows a polyline.
void PrintPolyline(const Qdxf_Polyline &polyline) {
    VX_PRINT("elevation = %g, flag = %d\n", polyline.elevation, polyline.flag);
    VX_PRINT("defaultStartingWidth = %g, defaultEndingWidth = %g\n", polyline.defaultStartingWidth,
             polyline.defaultEndingWidth);
    VX_PRINT("meshVertexCount = (%d, %d)\n", polyline.meshVertexCount[0],
             polyline.meshVertexCount[1]);
    VX_PRINT("smoothSurfaceDensity = (%d, %d)\n", polyline.smoothSurfaceDensity[0],
             polyline.smoothSurfaceDensity[1]);
    VX_PRINT("type = %d, count = %d\n", polyline.type, polyline.count);
    for (int i = 0; i < VertexCount(polyline); ++i) {
        VX_PRINT("Vertex %d:\n", i);
        VertexPrint(polyline.vertices[i]);
    }
}

// A trace's corners one to a line; a solid's all on one line.
void PrintCorners(const Qdxf_Trace &corners, bool oneLine) {
    for (int i = 0; i < 4; ++i) {
        VX_PRINT("corner[%d] = ", i);
        PrintCoord(corners.corner[i]);
        if (!oneLine) VX_PRINT("\n");
    }
    if (oneLine) {
        VX_PRINT("\n\n");
    } else {
        VX_PRINT("\n");
    }
}

// The quick form of both: two corners a line.
void PrintQuickCorners(const Qdxf_Trace &corners) {
    for (int i = 0; i < 4; ++i) {
        VX_PRINT("\tcorner[%d] = ", i);
        PrintQuickCoord(corners.corner[i]);
        if (i % 2 == 1) VX_PRINT("\n");
    }
}

}  // namespace
}  // namespace vexlith

using namespace vexlith;

// The common members, then the kind's own. Invalid entities, 3DFACEs and
// kinds outside the enumeration show the common members only.
extern "C" VEXLITH_API void qdxf_EntityPrint(const Qdxf_Entity *entity) {
    if (!entity) return;
    int kind = EntityKind(*entity);
    VX_PRINT("%s Entity:\n", EntityName(kind));
    VX_PRINT("layerName = %s\n", OrNil(entity->layerName));
    VX_PRINT("handle = %s\n", OrNil(entity->handle));
    VX_PRINT("ltypeName = %s\n", OrNil(entity->ltypeName));
    VX_PRINT("elevation = %g, thickness = %g\n", entity->elevation, entity->thickness);
    VX_PRINT("color = %d, space = %d\n", entity->color, entity->space);

    const auto &data = entity->data;
    switch (kind) {
        case QDXF_LINE:
            VX_PRINT("start = ");
            PrintCoord(data.line.start);
            VX_PRINT("\nend = ");
            PrintCoord(data.line.end);
            VX_PRINT("\n\n");
            break;
        case QDXF_POINT:
            VX_PRINT("location = ");
            PrintCoord(data.point.location);
            VX_PRINT("\n\n");
            break;
        case QDXF_CIRCLE:
            VX_PRINT("center = ");
            PrintCoord(data.circle.center);
            VX_PRINT("\nradius = %g\n\n", data.circle.radius);
            break;
        case QDXF_ARC:
            VX_PRINT("center = ");
            PrintCoord(data.arc.center);
            VX_PRINT("\nradius = %g\n", data.arc.radius);
            VX_PRINT("startAngle = %g, endAngle = %g\n\n", data.arc.startAngle, data.arc.endAngle);
            break;
        case QDXF_TRACE:
            PrintCorners(data.trace, false);
            break;
        case QDXF_SOLID:
            PrintCorners(data.solid, true);
            break;
        case QDXF_TEXT:
            PrintText(data.text);
            break;
        case QDXF_INSERT:
            PrintInsert(data.insert);
            break;
        case QDXF_POLYLINE:
            PrintPolyline(data.polyline);
            break;
        default:
            break;
    }
}

// Geometry only, x and y; kinds without a quick form print nothing.
extern "C" VEXLITH_API void qdxf_EntityPrintQuick(const Qdxf_Entity *entity) {
    if (!entity) return;
    const auto &data = entity->data;
    switch (EntityKind(*entity)) {
        case QDXF_LINE:
            VX_PRINT("Line from ");
            PrintQuickCoord(data.line.start);
            VX_PRINT(" to ");
            PrintQuickCoord(data.line.end);
            VX_PRINT("\n");
            break;
        case QDXF_POINT:
            VX_PRINT("Point at ");
            PrintQuickCoord(data.point.location);
            VX_PRINT("\n");
            break;
        case QDXF_CIRCLE:
            VX_PRINT("Circle, center at ");
            PrintQuickCoord(data.circle.center);
            VX_PRINT(", radius %g\n", data.circle.radius);
            break;
        case QDXF_ARC:
            VX_PRINT("Arc, center at ");
            PrintQuickCoord(data.arc.center);
            VX_PRINT(", radius %g,\n", data.arc.radius);
            VX_PRINT("\tstartAngle = %g, endAngle = %g\n", data.arc.startAngle, data.arc.endAngle);
            break;
        case QDXF_TRACE:
            VX_PRINT("Trace,\n");
            PrintQuickCorners(data.trace);
            break;
        case QDXF_SOLID:
            VX_PRINT("Solid,\n");
            PrintQuickCorners(data.solid);
            break;
        case QDXF_TEXT:
            VX_PRINT("Text, \"%s\" at ", OrNil(data.text.text));
            PrintQuickCoord(data.text.insertionPoint);
            VX_PRINT("\n");
            break;
        case QDXF_INSERT:
            VX_PRINT("Insert, block\"%s\" at ", OrNil(data.insert.blockName));
            PrintQuickCoord(data.insert.insertionPoint);
            VX_PRINT("\nScaling = (%g, %g, %g)\n", data.insert.xScale, data.insert.yScale,
                     data.insert.zScale);
            VX_PRINT("Rotation angle = %g\n", data.insert.rotationAngle);
            VX_PRINT("Col/Row count = (%d, %d), spacing = (%g, %g)\n", data.insert.columnCount,
                     data.insert.rowCount, data.insert.columnSpacing, data.insert.rowSpacing);
            break;
        case QDXF_POLYLINE: {
            const Qdxf_Polyline &polyline = data.polyline;
            VX_PRINT("Polyline with %d vertices\n", polyline.count);
            // Two vertices a line; the last line is always ended.
            int count = VertexCount(polyline);
            for (int i = 0; i < count; ++i) {
                VX_PRINT("\tvertex %d = ", i);
                PrintQuickCoord(polyline.vertices[i].location);
                if (i % 2 == 1 || i == count - 1) VX_PRINT("\n");
            }
            break;
        }
        default:
            break;
    }
}

extern "C" VEXLITH_API void qdxf_BlockPrint(const Qdxf_Block *block) {
    if (!block) return;
    VX_PRINT("layerName = %s\n", OrNil(block->layerName));
    VX_PRINT("handle = %s\n", OrNil(block->handle));
    VX_PRINT("ltypeName = %s\n", OrNil(block->ltypeName));
    VX_PRINT("elevation = %g, thickness = %g\n", block->elevation, block->thickness);
    VX_PRINT("color = %d, space = %d\n", block->color, block->space);
    VX_PRINT("name = %s\n", OrNil(block->name));
    VX_PRINT("typeFlag = %d\n", block->typeFlag);
    VX_PRINT("basePoint = ");
    PrintCoord(block->basePoint);
    VX_PRINT("\nxrefPath = %s\n", OrNil(block->xrefPath));
    VX_PRINT("\nBlock Entities:\n");
    for (const Qdxf_Entity *entity = block->entities; entity; entity = entity->next) {
        qdxf_EntityPrint(entity);
    }
    VX_PRINT("End Block\n\n");
}
