// SPDX-License-Identifier: MIT
// Files written by vexlith as another DXF reader sees them: Debian's ezdxf
// loads both forms without warnings, errors or fixes and finds the same
// blocks, entities, layers and coordinates. tests/interop/check_written.py
// prints what ezdxf reads; this test prints the same from the drawing that
// was written and compares.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "drawings.h"

using namespace testing_support;

namespace {

constexpr double kPi = 3.141592653589793;

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}
double Degrees(double radians) {
    return radians * 180.0 / kPi;
}

// Every writable kind, in blocks and in the drawing, with INSERTs of both
// blocks and the two kinds that are not written.
DrawingPtr InteropDrawing() {
    DrawingPtr drawing = NewDrawing();
    AddHeader(*drawing);

    Qdxf_Block *door = AddBlock(*drawing, "DOOR", "doors");
    door->basePoint = {1, 2, 0};
    Qdxf_Entity *leaf = AddEntity(door->entities, QDXF_LINE, "doors");
    leaf->data.line.end = {0, 9.5, 0};
    leaf->ltypeName = HeapText("BYBLOCK");
    leaf->color = 0;
    Qdxf_Entity *swing = AddEntity(door->entities, QDXF_ARC, "doors");
    swing->data.arc.radius = 9.5;
    swing->data.arc.startAngle = 0.0;
    swing->data.arc.endAngle = kPi / 2;
    Qdxf_Entity *frame = AddEntity(door->entities, QDXF_POLYLINE, "frames");
    frame->data.polyline.flag = 1;
    SetVertices(*frame, {{0, 0, 0}, {1, 0, 0}, {1, 10, 0}});

    Qdxf_Block *window = AddBlock(*drawing, "WINDOW", "0");
    window->typeFlag = 0;
    AddEntity(window->entities, QDXF_CIRCLE, "glass")->data.circle.radius = 1.0 / 3.0;
    Qdxf_Entity *sill = AddEntity(window->entities, QDXF_SOLID, "0");
    sill->data.solid.corner[1] = {4, 0, 0};
    sill->data.solid.corner[2] = {0, 0.5, 0};
    sill->data.solid.corner[3] = {4, 0.5, 0};
    Qdxf_Entity *label = AddEntity(window->entities, QDXF_TEXT, "notes");
    label->data.text.text = HeapText("W1");
    label->data.text.height = 0.25;
    label->data.text.xScale = 1.0;

    Qdxf_Entity *wall = AddEntity(drawing->entities, QDXF_LINE, "walls");
    wall->data.line.start = {-1.0 / 3.0, 2.0 / 7.0, 0};
    wall->data.line.end = {123456.789, 1e-7, 0};
    wall->ltypeName = HeapText("CONTINUOUS");
    wall->color = 1;
    AddEntity(drawing->entities, QDXF_POINT, "points")->data.point.location = {5, 6, 7};
    Qdxf_Entity *column = AddEntity(drawing->entities, QDXF_CIRCLE, "walls");
    column->data.circle.center = {50, 25, 0};
    column->data.circle.radius = 2.5;
    Qdxf_Entity *arch = AddEntity(drawing->entities, QDXF_ARC, "walls");
    arch->data.arc.center = {20, 20, 0};
    arch->data.arc.radius = 4;
    arch->data.arc.startAngle = Radians(30);
    arch->data.arc.endAngle = Radians(250);
    arch->color = 5;
    Qdxf_Entity *trace = AddEntity(drawing->entities, QDXF_TRACE, "walls");
    for (int i = 0; i < 4; ++i)
        trace->data.trace.corner[i] = {1.0 * i, 0.5 * (i % 2), 0};
    Qdxf_Entity *floor = AddEntity(drawing->entities, QDXF_SOLID, "floor");
    floor->data.solid.corner[0] = {0, 0, 0};
    floor->data.solid.corner[1] = {10, 0, 0};
    floor->data.solid.corner[2] = {0, 10, 0};
    floor->data.solid.corner[3] = {10, 10, 0};
    Qdxf_Entity *room = AddEntity(drawing->entities, QDXF_TEXT, "notes");
    room->data.text.insertionPoint = {12, 8, 0};
    room->data.text.height = 2.5;
    room->data.text.text = HeapText("Kitchen");
    room->data.text.angle = Radians(30);
    room->data.text.xScale = 0.8;
    room->data.text.obliqueAngle = Radians(15);
    Qdxf_Entity *plain = AddEntity(drawing->entities, QDXF_TEXT, "notes");
    plain->data.text.text = HeapText("Hall");
    plain->data.text.height = 1;
    plain->data.text.xScale = 1.0;
    AddEntity(drawing->entities, QDXF_INSERT, "doors")->data.insert.blockName = HeapText("DOOR");
    Qdxf_Entity *windows = AddEntity(drawing->entities, QDXF_INSERT, "0");
    Qdxf_Insert &grid = windows->data.insert;
    grid.blockName = HeapText("WINDOW");
    grid.insertionPoint = {30, 0, 0};
    grid.xScale = 2;
    grid.yScale = 0.5;
    grid.zScale = 1.5;
    grid.rotationAngle = Radians(90);
    grid.columnCount = 2;
    grid.rowCount = 3;
    grid.columnSpacing = 12.5;
    grid.rowSpacing = 7;
    Qdxf_Entity *path = AddEntity(drawing->entities, QDXF_POLYLINE, "paths");
    SetVertices(*path, {{0, 0, 0}, {5, 5, 0}});
    SetVertices(*AddEntity(drawing->entities, QDXF_3DFACE, "faces"), {{0, 0, 0}, {1, 1, 1}});
    AddEntity(drawing->entities, QDXF_INVALID, "unknown");
    return drawing;
}

std::string Point(const Qdxf_Coord &p) {
    std::ostringstream text;
    text << "(" << Real8(p.x) << ", " << Real8(p.y) << ", " << Real8(p.z) << ")";
    return text.str();
}

// An entity as check_written.py prints it; empty for kinds not written.
std::string Describe(const Qdxf_Entity &e) {
    static const char *const kKeywords[] = {"",      "LINE",  "POINT", "CIRCLE", "ARC",
                                            "TRACE", "SOLID", "TEXT",  "INSERT", "POLYLINE"};
    int kind = static_cast<int>(e.type);
    if (kind < QDXF_LINE || kind > QDXF_POLYLINE) return "";
    const char *layer = e.layerName ? e.layerName : "0";
    std::ostringstream line;
    line << kKeywords[kind] << " layer=" << layer
         << " linetype=" << (e.ltypeName ? e.ltypeName : "BYLAYER") << " color=" << e.color;
    switch (kind) {
        case QDXF_LINE:
            line << " start=" << Point(e.data.line.start) << " end=" << Point(e.data.line.end);
            break;
        case QDXF_POINT:
            line << " location=" << Point(e.data.point.location);
            break;
        case QDXF_CIRCLE:
            line << " center=" << Point(e.data.circle.center)
                 << " radius=" << Real8(e.data.circle.radius);
            break;
        case QDXF_ARC:
            line << " center=" << Point(e.data.arc.center) << " radius=" << Real8(e.data.arc.radius)
                 << " start=" << Real8(Degrees(e.data.arc.startAngle))
                 << " end=" << Real8(Degrees(e.data.arc.endAngle));
            break;
        case QDXF_TRACE:
        case QDXF_SOLID:
            line << " corners=" << Point(e.data.trace.corner[0]) << " "
                 << Point(e.data.trace.corner[1]) << " " << Point(e.data.trace.corner[2]) << " "
                 << Point(e.data.trace.corner[3]);
            break;
        case QDXF_TEXT: {
            const Qdxf_Text &t = e.data.text;
            line << " insert=" << Point(t.insertionPoint) << " height=" << Real8(t.height)
                 << " text='" << t.text << "' rotation=" << Real8(Degrees(t.angle))
                 << " width=" << Real8(t.xScale) << " oblique=" << Real8(Degrees(t.obliqueAngle));
            break;
        }
        case QDXF_INSERT: {
            const Qdxf_Insert &i = e.data.insert;
            line << " block=" << i.blockName << " insert=" << Point(i.insertionPoint)
                 << " scale=" << Point({i.xScale, i.yScale, i.zScale})
                 << " rotation=" << Real8(Degrees(i.rotationAngle)) << " grid=" << i.columnCount
                 << "x" << i.rowCount << " spacing=" << Real8(i.columnSpacing) << ","
                 << Real8(i.rowSpacing);
            break;
        }
        case QDXF_POLYLINE: {
            const Qdxf_Polyline &p = e.data.polyline;
            line << " flags=" << p.flag << " vertices=";
            for (int v = 0; v < p.count; ++v)
                line << (v ? " " : "") << Point(p.vertices[v].location);
            line << " vertex-layers=" << (p.count ? layer : "");
            break;
        }
        default:
            break;
    }
    return line.str();
}

// What check_written.py prints for a file holding `drawing`.
std::string Expected(const std::string &fileName, const Qdxf_Info &drawing) {
    std::ostringstream out;
    out << "== " << fileName << "\nversion AC1009\naudit: 0 errors, 0 fixes\n";
    int blockPolylines = 0;
    for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
        for (const Qdxf_Entity *e = block->entities; e; e = e->next)
            blockPolylines += e->type == QDXF_POLYLINE;
    }
    if (blockPolylines) out << "ezdxf quirk: " << blockPolylines << " block SEQEND\n";
    out << "header $EXTMIN=" << Point(*drawing.header->extmin) << "\n";
    out << "header $EXTMAX=" << Point(*drawing.header->extmax) << "\n";
    std::set<std::string> layers;
    std::vector<const Qdxf_Block *> blocks;
    for (const Qdxf_Block *block = drawing.blocks; block; block = block->next)
        blocks.push_back(block);
    std::sort(blocks.begin(), blocks.end(), [](const Qdxf_Block *a, const Qdxf_Block *b) {
        return std::string(a->name) < b->name;
    });
    for (const Qdxf_Block *block : blocks) {
        layers.insert(block->layerName);
        out << "block " << block->name << " layer=" << block->layerName
            << " flags=" << block->typeFlag << " base=" << Point(block->basePoint) << "\n";
        for (const Qdxf_Entity *e = block->entities; e; e = e->next) {
            if (std::string line = Describe(*e); !line.empty()) {
                layers.insert(e->layerName);
                out << "  " << line << "\n";
            }
        }
    }
    for (const Qdxf_Entity *e = drawing.entities; e; e = e->next) {
        if (std::string line = Describe(*e); !line.empty()) {
            layers.insert(e->layerName);
            out << "entity " << line << "\n";
        }
    }
    out << "layers ";
    for (auto it = layers.begin(); it != layers.end(); ++it)
        out << (it == layers.begin() ? "" : ",") << *it;
    out << "\n";
    return out.str();
}

TEST(Interop, EzdxfReadsBothFormsAsWritten) {
    SKIP_WITHOUT_PYTHON3();
    DrawingPtr drawing = InteropDrawing();
    TempFile ascii("", "written-ascii.dxf");
    TempFile binary("", "written-binary.dxf");
    for (auto [file, form] : {std::pair{&ascii, 0}, {&binary, 1}}) {
        WriteOutcome outcome = WriteTo(drawing.get(), file->path(), form);
        ASSERT_EQ(outcome.report, nullptr) << ::testing::PrintToString(outcome.levels());
    }
    std::string output;
    int status = RunChecker({ascii.path(), binary.path()}, &output);
    if (status == 77) GTEST_SKIP() << "ezdxf cannot be imported: " << output;
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output,
              Expected("written-ascii.dxf", *drawing) + Expected("written-binary.dxf", *drawing));
}

}  // namespace
