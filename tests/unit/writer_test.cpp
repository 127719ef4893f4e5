// SPDX-License-Identifier: MIT
// qdxf_Write as a whole: the exact layout of the file in both forms for every
// writable kind, blocks and header, every failure chain (full disk, files
// that cannot be opened, a failure at each write and each allocation) and
// what a write leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <functional>
#include <set>
#include <thread>

#include "codec/group_writer.h"
#include "drawings.h"
#include "pellund_testing.h"

using namespace testing_support;

namespace {

using Chain = std::vector<std::string>;
using Groups = std::vector<Group>;

constexpr double kPi = 3.141592653589793;

double Degrees(double radians) {
    return radians * 180.0 / kPi;
}

Groups Concat(std::initializer_list<Groups> parts) {
    Groups all;
    for (const Groups &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Groups Section(const char *name, const Groups &body) {
    return Concat({{{0, "SECTION"}, {2, name}}, body, {{0, "ENDSEC"}}});
}

// A whole file: the bodies of HEADER, BLOCKS and ENTITIES around the empty
// TABLES section, then EOF.
Groups WholeFile(const Groups &header, const Groups &blocks, const Groups &entities) {
    return Concat({Section("HEADER", header),
                   Section("TABLES", {}),
                   Section("BLOCKS", blocks),
                   Section("ENTITIES", entities),
                   {{0, "EOF"}}});
}

Groups PointGroups(Qdxf_Coord point, int base) {
    return {{10 + base, point.x}, {20 + base, point.y}, {30 + base, point.z}};
}

// The header the writer gives when the drawing's header has both extents as
// AddHeader makes them.
const Groups kHeaderWithExtents = Concat({
    {{9, "$ANGBASE"}, {50, 0.0}, {9, "$EXTMIN"}},
    PointGroups({-1.5, -2.25, 0.0}, 0),
    {{9, "$EXTMAX"}},
    PointGroups({100.0, 50.0, 0.0}, 0),
});

struct LayoutCase {
    const char *name;
    std::function<void(Qdxf_Info &)> build;
    Groups expected;
};

// One entity in the ENTITIES section, nothing else.
LayoutCase EntityCase(const char *name, int type, std::function<void(Qdxf_Entity &)> set,
                      const Groups &expected) {
    return {name, [type, set](Qdxf_Info &d) { set(*AddEntity(d.entities, type, "walls")); },
            WholeFile({}, {}, expected)};
}

std::vector<LayoutCase> LayoutCases() {
    const Groups line =
        Concat({{{0, "LINE"}, {8, "walls"}}, PointGroups({0, 0, 0}, 0), PointGroups({1, 1, 0}, 1)});
    auto unitLine = [](Qdxf_Entity &e) { e.data.line.end = {1, 1, 0}; };
    return {
        {"an empty drawing", [](Qdxf_Info &) {}, WholeFile({}, {}, {})},
        {"a header without extents", [](Qdxf_Info &d) { AddHeader(d, false); },
         WholeFile({{9, "$ANGBASE"}, {50, 0.0}}, {}, {})},
        {"a header with one extent writes neither",
         [](Qdxf_Info &d) {
             AddHeader(d, false)->extmin = HeapCoord({1, 2, 3});
         },
         WholeFile({{9, "$ANGBASE"}, {50, 0.0}}, {}, {})},
        {"a header with both extents; the base angle is always 0",
         [](Qdxf_Info &d) {
             Qdxf_Header *header = AddHeader(d);
             header->angbase = 90.0;
             header->acadver = HeapText("AC1009");
             header->ltscale = 2.0;
         },
         WholeFile(kHeaderWithExtents, {}, {})},
        {"tables are never written",
         [](Qdxf_Info &d) {
             d.tables = static_cast<Qdxf_Tables *>(qmsc_HeapMalloc(sizeof(Qdxf_Tables)));
             auto *layer = static_cast<Qdxf_Layer *>(qmsc_HeapMalloc(sizeof(Qdxf_Layer)));
             layer->name = HeapText("walls");
             d.tables->layers = layer;
             auto *style = static_cast<Qdxf_Style *>(qmsc_HeapMalloc(sizeof(Qdxf_Style)));
             style->name = HeapText("STANDARD");
             d.tables->styles = style;
         },
         WholeFile({}, {}, {})},
        EntityCase("a LINE by layer without a line type", QDXF_LINE, unitLine, line),
        EntityCase(
            "a LINE whose line type is BYLAYER, colour 0", QDXF_LINE,
            [&](Qdxf_Entity &e) {
                unitLine(e);
                e.ltypeName = HeapText("BYLAYER");
                e.color = 0;
            },
            Concat({Groups(line.begin(), line.begin() + 2),
                    {{62, 0}},
                    Groups(line.begin() + 2, line.end())})),
        EntityCase(
            "a LINE with its own line type; members not written", QDXF_LINE,
            [&](Qdxf_Entity &e) {
                unitLine(e);
                e.ltypeName = HeapText("DASHED");
                e.color = 1;
                e.handle = HeapText("2A");
                e.elevation = 5.0;
                e.thickness = 2.0;
                e.space = 1;
            },
            Concat({Groups(line.begin(), line.begin() + 2),
                    {{6, "DASHED"}, {62, 1}},
                    Groups(line.begin() + 2, line.end())})),
        EntityCase(
            "a POINT", QDXF_POINT,
            [](Qdxf_Entity &e) {
                e.data.point.location = {1.5, -2.5, 3.25};
            },
            Concat({{{0, "POINT"}, {8, "walls"}}, PointGroups({1.5, -2.5, 3.25}, 0)})),
        EntityCase(
            "a CIRCLE", QDXF_CIRCLE,
            [](Qdxf_Entity &e) {
                e.data.circle.center = {1, 2, 0};
                e.data.circle.radius = 1.0 / 3.0;
            },
            Concat({{{0, "CIRCLE"}, {8, "walls"}}, PointGroups({1, 2, 0}, 0), {{40, 1.0 / 3.0}}})),
        EntityCase(
            "an ARC from a quarter turn to a half turn", QDXF_ARC,
            [](Qdxf_Entity &e) {
                e.data.arc.center = {0, 0, 0};
                e.data.arc.radius = 2.0;
                e.data.arc.startAngle = kPi / 2;
                e.data.arc.endAngle = kPi;
            },
            Concat({{{0, "ARC"}, {8, "walls"}},
                    PointGroups({0, 0, 0}, 0),
                    {{40, 2.0}, {50, 90.0}, {51, 180.0}}})),
        EntityCase(
            "a TRACE", QDXF_TRACE,
            [](Qdxf_Entity &e) {
                for (int i = 0; i < 4; ++i)
                    e.data.trace.corner[i] = {1.0 * i, 2.0 * i, 0.5};
            },
            Concat({{{0, "TRACE"}, {8, "walls"}},
                    PointGroups({0, 0, 0.5}, 0),
                    PointGroups({1, 2, 0.5}, 1),
                    PointGroups({2, 4, 0.5}, 2),
                    PointGroups({3, 6, 0.5}, 3)})),
        EntityCase(
            "a SOLID", QDXF_SOLID,
            [](Qdxf_Entity &e) {
                for (int i = 0; i < 4; ++i)
                    e.data.solid.corner[i] = {-1.0 - i, 0, 0};
            },
            Concat({{{0, "SOLID"}, {8, "walls"}},
                    PointGroups({-1, 0, 0}, 0),
                    PointGroups({-2, 0, 0}, 1),
                    PointGroups({-3, 0, 0}, 2),
                    PointGroups({-4, 0, 0}, 3)})),
        EntityCase(
            "a TEXT with default angle, scale and slant ends with its text", QDXF_TEXT,
            [](Qdxf_Entity &e) {
                e.data.text.insertionPoint = {1, 2, 0};
                e.data.text.height = 2.5;
                e.data.text.text = HeapText("Kitchen");
                e.data.text.xScale = 1.0;
                e.data.text.style = HeapText("STANDARD");
                e.data.text.horizJust = 1;
                e.data.text.alignmentPoint = HeapCoord({5, 5, 0});
            },
            Concat({{{0, "TEXT"}, {8, "walls"}},
                    PointGroups({1, 2, 0}, 0),
                    {{40, 2.5}, {1, "Kitchen"}}})),
        EntityCase(
            "a TEXT as read without group 41 gets (41, 0.0)", QDXF_TEXT,
            [](Qdxf_Entity &e) { e.data.text.text = HeapText(""); },
            Concat({{{0, "TEXT"}, {8, "walls"}},
                    PointGroups({0, 0, 0}, 0),
                    {{40, 0.0}, {1, ""}, {41, 0.0}}})),
        EntityCase(
            "a TEXT turned and slanted", QDXF_TEXT,
            [](Qdxf_Entity &e) {
                e.data.text.text = HeapText("x");
                e.data.text.angle = kPi / 6;
                e.data.text.xScale = 0.8;
                e.data.text.obliqueAngle = -kPi / 12;
            },
            Concat({{{0, "TEXT"}, {8, "walls"}},
                    PointGroups({0, 0, 0}, 0),
                    {{40, 0.0},
                     {1, "x"},
                     {50, Degrees(kPi / 6)},
                     {41, 0.8},
                     {51, Degrees(-kPi / 12)}}})),
        EntityCase(
            "a TEXT whose scale is NaN writes it", QDXF_TEXT,
            [](Qdxf_Entity &e) {
                e.data.text.text = HeapText("x");
                e.data.text.xScale = std::nan("");
            },
            Concat({{{0, "TEXT"}, {8, "walls"}},
                    PointGroups({0, 0, 0}, 0),
                    {{40, 0.0}, {1, "x"}, {41, std::nan("")}}})),
        EntityCase(
            "an INSERT with the reader's defaults", QDXF_INSERT,
            [](Qdxf_Entity &e) {
                e.data.insert.blockName = HeapText("DOOR");
                e.data.insert.insertionPoint = {10, 20, 0};
                e.data.insert.attributesFollow = 1;
            },
            Concat({{{0, "INSERT"}, {8, "walls"}, {2, "DOOR"}},
                    PointGroups({10, 20, 0}, 0),
                    {{70, 1}, {71, 1}}})),
        EntityCase(
            "an INSERT whose counts are 0", QDXF_INSERT,
            [](Qdxf_Entity &e) {
                e.data.insert.blockName = HeapText("DOOR");
                e.data.insert.columnCount = e.data.insert.rowCount = 0;
            },
            Concat({{{0, "INSERT"}, {8, "walls"}, {2, "DOOR"}}, PointGroups({0, 0, 0}, 0)})),
        EntityCase(
            "an INSERT with every optional group", QDXF_INSERT,
            [](Qdxf_Entity &e) {
                Qdxf_Insert &i = e.data.insert;
                i.blockName = HeapText("DOOR");
                i.xScale = 2;
                i.yScale = 3;
                i.zScale = 4;
                i.rotationAngle = kPi / 4;
                i.columnCount = 5;
                i.rowCount = 6;
                i.columnSpacing = 7.5;
                i.rowSpacing = 8.5;
            },
            Concat({{{0, "INSERT"}, {8, "walls"}, {2, "DOOR"}},
                    PointGroups({0, 0, 0}, 0),
                    {{41, 2.0},
                     {42, 3.0},
                     {43, 4.0},
                     {50, Degrees(kPi / 4)},
                     {70, 5},
                     {71, 6},
                     {44, 7.5},
                     {45, 8.5}}})),
        EntityCase("a POLYLINE without vertices; a count without an array writes none",
                   QDXF_POLYLINE, [](Qdxf_Entity &e) { e.data.polyline.count = 3; },
                   {{0, "POLYLINE"},
                    {8, "walls"},
                    {66, 1},
                    {10, 0.0},
                    {20, 0.0},
                    {30, 0.0},
                    {0, "SEQEND"}}),
        EntityCase(
            "a closed POLYLINE: vertices on its layer, locations only", QDXF_POLYLINE,
            [](Qdxf_Entity &e) {
                Qdxf_Polyline &p = e.data.polyline;
                p.flag = 1;
                p.elevation = 4.0;
                p.defaultStartingWidth = 0.5;
                p.meshVertexCount[0] = 3;
                p.type = 6;
                SetVertices(e, {{1, 2, 0}, {3, 4, 0}});
                p.vertices[0].ltypeName = HeapText("DASHED");
                p.vertices[0].bulge = 1.0;
                p.vertices[1].flags = 32;
                p.vertices[1].startingWidth = 0.25;
            },
            Concat({{{0, "POLYLINE"},
                     {8, "walls"},
                     {66, 1},
                     {10, 0.0},
                     {20, 0.0},
                     {30, 0.0},
                     {70, 1},
                     {0, "VERTEX"},
                     {8, "walls"}},
                    PointGroups({1, 2, 0}, 0),
                    {{0, "VERTEX"}, {8, "walls"}},
                    PointGroups({3, 4, 0}, 0),
                    {{0, "SEQEND"}}})),
        {"kinds that cannot be written are passed over",
         [&](Qdxf_Info &d) {
             unitLine(*AddEntity(d.entities, QDXF_LINE, "walls"));
             SetVertices(*AddEntity(d.entities, QDXF_3DFACE, "walls"), {{1, 1, 1}, {2, 2, 2}});
             AddEntity(d.entities, QDXF_INVALID, "walls");
             AddEntity(d.entities, 42, "walls");
             AddEntity(d.entities, -1, "walls");
             unitLine(*AddEntity(d.entities, QDXF_LINE, "walls"));
         },
         WholeFile({}, {}, Concat({line, line}))},
        {"missing required texts: layer 0, empty names and texts",
         [](Qdxf_Info &d) {
             AddEntity(d.entities, QDXF_TEXT, nullptr)->data.text.xScale = 1.0;
             AddEntity(d.entities, QDXF_INSERT, nullptr);
             SetVertices(*AddEntity(d.entities, QDXF_POLYLINE, nullptr), {{1, 1, 0}});
             AddBlock(d, nullptr, nullptr);
         },
         WholeFile({},
                   Concat({{{0, "BLOCK"}, {8, "0"}, {2, ""}, {70, 0}},
                           PointGroups({0, 0, 0}, 0),
                           {{0, "ENDBLK"}}}),
                   Concat({{{0, "TEXT"}, {8, "0"}},
                           PointGroups({0, 0, 0}, 0),
                           {{40, 0.0}, {1, ""}, {0, "INSERT"}, {8, "0"}, {2, ""}},
                           PointGroups({0, 0, 0}, 0),
                           {{70, 1},
                            {71, 1},
                            {0, "POLYLINE"},
                            {8, "0"},
                            {66, 1},
                            {10, 0.0},
                            {20, 0.0},
                            {30, 0.0},
                            {0, "VERTEX"},
                            {8, "0"}},
                           PointGroups({1, 1, 0}, 0),
                           {{0, "SEQEND"}}}))},
        {"blocks: one empty, one with everything",
         [&](Qdxf_Info &d) {
             AddBlock(d, "EMPTY", "0");
             Qdxf_Block *door = AddBlock(d, "DOOR", "doors");
             door->ltypeName = HeapText("DASHED");
             door->color = 3;
             door->typeFlag = 4;
             door->basePoint = {1, 2, 3};
             door->xrefPath = HeapText("door.dxf");
             door->handle = HeapText("1F");
             door->elevation = 9.0;
             unitLine(*AddEntity(door->entities, QDXF_LINE, "walls"));
             AddEntity(door->entities, QDXF_INVALID, "walls");
             Qdxf_Block *bylayer = AddBlock(d, "PLAIN", "0");
             bylayer->ltypeName = HeapText("BYLAYER");
             unitLine(*AddEntity(d.entities, QDXF_LINE, "walls"));
         },
         WholeFile({},
                   Concat({{{0, "BLOCK"}, {8, "0"}, {2, "EMPTY"}, {70, 0}},
                           PointGroups({0, 0, 0}, 0),
                           {{0, "ENDBLK"},
                            {0, "BLOCK"},
                            {8, "doors"},
                            {6, "DASHED"},
                            {62, 3},
                            {2, "DOOR"},
                            {70, 4}},
                           PointGroups({1, 2, 3}, 0),
                           {{1, "door.dxf"}},
                           line,
                           {{0, "ENDBLK"}, {0, "BLOCK"}, {8, "0"}, {2, "PLAIN"}, {70, 0}},
                           PointGroups({0, 0, 0}, 0),
                           {{0, "ENDBLK"}}}),
                   line)},
    };
}

TEST(Writer, WritesExactlyTheGroupsOfEachRecordInBothForms) {
    for (const LayoutCase &c : LayoutCases()) {
        DrawingPtr drawing = NewDrawing();
        c.build(*drawing);
        WriteOutcome ascii = WriteDrawing(drawing.get(), 0);
        EXPECT_EQ(ascii.report, nullptr) << c.name << ::testing::PrintToString(ascii.levels());
        EXPECT_EQ(ascii.contents, WrittenAscii(c.expected)) << c.name;
        WriteOutcome binary = WriteDrawing(drawing.get(), 1);
        EXPECT_EQ(binary.report, nullptr) << c.name;
        EXPECT_EQ(binary.contents, WrittenBinary(c.expected)) << c.name;
    }
}

TEST(Writer, TheEmptyDrawingIs26LinesOr129Bytes) {
    DrawingPtr drawing = NewDrawing();
    EXPECT_EQ(WriteDrawing(drawing.get(), 0).contents,
              "  0\nSECTION\n  2\nHEADER\n  0\nENDSEC\n"
              "  0\nSECTION\n  2\nTABLES\n  0\nENDSEC\n"
              "  0\nSECTION\n  2\nBLOCKS\n  0\nENDSEC\n"
              "  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n"
              "  0\nEOF\n");
    std::string binary = WriteDrawing(drawing.get(), 1).contents;
    EXPECT_EQ(binary.size(), 129u);
    EXPECT_EQ(binary.substr(0, 22), std::string("AutoCAD Binary DXF\r\n\x1a\0", 22));
    EXPECT_EQ(binary.substr(22, 12), std::string("\0SECTION\0\2HEADER\0", 12));
    EXPECT_EQ(binary.substr(124), std::string("\0EOF\0", 5));
}

TEST(Writer, TheSelectorPicksTheFormEveryTime) {
    // Only 1 asks for the binary form; a binary write leaves nothing behind
    // that the next write could pick up.
    DrawingPtr drawing = NewDrawing();
    AddHeader(*drawing);
    const std::string ascii = WrittenAscii(WholeFile(kHeaderWithExtents, {}, {}));
    const std::string binary = WrittenBinary(WholeFile(kHeaderWithExtents, {}, {}));
    for (auto [selector, expected] : {std::pair{1, &binary},
                                      {0, &ascii},
                                      {1, &binary},
                                      {2, &ascii},
                                      {1, &binary},
                                      {-1, &ascii}}) {
        EXPECT_EQ(WriteDrawing(drawing.get(), selector).contents, *expected) << selector;
    }
}

TEST(Writer, WritesFromSeveralThreadsAtOnce) {
    DrawingPtr drawing = NewDrawing();
    AddHeader(*drawing);
    for (int i = 0; i < 2000; ++i)
        AddEntity(drawing->entities, QDXF_POINT, "0")->data.point.location = {1.0 * i, 0, 0};
    std::string results[4];
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] { results[t] = WriteDrawing(drawing.get(), t % 2).contents; });
    }
    for (std::thread &thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(results[t], WriteDrawing(drawing.get(), t % 2).contents) << t;
}

// ---------------------------------------------------------------------------
// Failures
// ---------------------------------------------------------------------------

TEST(Writer, ANullDrawingCreatesNoFile) {
    TempFile directory;
    std::string path = directory.path() + ".out";
    int handles = pellund_TestOpenHandles();
    WriteOutcome outcome = WriteTo(nullptr, path, 0);
    EXPECT_EQ(outcome.levels(), (Chain{"qdxf_Write: Null drawing"}));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(pellund_TestOpenHandles(), handles);
    qdxf_Write(nullptr, path.c_str(), 1, 0, nullptr);  // no report wanted
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(Writer, FilesThatCannotBeOpenedSayWhy) {
    TempFile file;
    std::string directory = std::filesystem::path(file.path()).parent_path().string();
    DrawingPtr drawing = NewDrawing();
    long blocks = pellund_TestLiveBlocks();
    const std::pair<std::string, Chain> cases[] = {
        {directory + "/no-such-dir/out.dxf",
         {"qdxf_Write: Error opening file " + directory + "/no-such-dir/out.dxf",
          "qfio_Open: No such file or directory"}},
        {directory, {"qdxf_Write: Error opening file " + directory, "qfio_Open: Is a directory"}},
    };
    for (const auto &[path, chain] : cases) {
        for (int binary : {0, 1}) {
            qerr_Report *report = nullptr;
            qdxf_Write(drawing.get(), path.c_str(), binary, 0, &report);
            EXPECT_EQ(Levels(report), chain);
            qerr_ReportFree(report);
        }
    }
    qerr_Report *report = nullptr;
    qdxf_Write(drawing.get(), nullptr, 0, 0, &report);
    EXPECT_EQ(Levels(report), (Chain{"qdxf_Write: Error opening file (null)",
                                     "qfio_Open: Invalid file name or mode"}));
    qerr_ReportFree(report);
    EXPECT_FALSE(std::filesystem::exists(directory + "/no-such-dir"));
    EXPECT_EQ(pellund_TestLiveBlocks(), blocks);
    EXPECT_EQ(pellund_TestOpenHandles(), 0);
}

// A full disk fails each layer at its first write, with that layer's chain:
// the file service (and every write after the first), the group writer and
// qdxf_Write; nothing is left open or allocated.
TEST(FullDisk, EveryLayerFailsAtItsFirstWrite) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full (Windows: its own refusals are tested in "
                        "Files.WindowsRefusalsAreReported)";
    DrawingPtr empty = NewDrawing();
    DrawingPtr withHeader = NewDrawing();
    AddHeader(*withHeader);
    auto file = [](qerr_Report **report) {
        qfio_File *full = qfio_Open("/dev/full", "w", report);
        ASSERT_NE(full, nullptr);
        qfio_WriteSeq(full, "x", 1, report);
        EXPECT_EQ(qfio_Fprintf(full, "%d", 1), 0);
        qerr_Report *closing = nullptr;
        qfio_Close(full, &closing);
        EXPECT_EQ(closing, nullptr);
    };
    auto group = [](int binary) {
        return [binary](qerr_Report **report) {
            vexlith::rt::File full{};
            vexlith::Qdxf_WriteState state{qstr_Duplicate("/dev/full"),
                                           vexlith::rt::Open(full, "/dev/full", "w", nullptr),
                                           binary, 0, nullptr, nullptr};
            ASSERT_NE(state.file, nullptr);
            vexlith::WriteStringGroup(state, 0, report, "SECTION");
            vexlith::rt::CloseQuietly(state.file);
            qmsc_HeapFree(state.fileName);
        };
    };
    auto write = [](const DrawingPtr &drawing, int binary) {
        return [&drawing, binary](qerr_Report **report) {
            qdxf_Write(drawing.get(), "/dev/full", binary, 0, report);
        };
    };
    const struct {
        const char *layer;
        std::function<void(qerr_Report **)> run;
        Chain chain;
    } cases[] = {
        {"file service", file, {"qfio_WriteSeq: No space left on device"}},
        {"ASCII group", group(0), {"WriteStringGroup: Error writing to /dev/full"}},
        {"binary group",
         group(1),
         {"WriteStringGroup: Error writing to /dev/full",
          "qfio_WriteSeq: No space left on device"}},
        {"ASCII drawing",
         write(withHeader, 0),
         {"qdxf_Write: Error writing HEADER section", "WriteHeader: Error writing group",
          "WriteStringGroup: Error writing to /dev/full"}},
        {"ASCII drawing without a header",
         write(empty, 0),
         {"qdxf_Write: Error writing HEADER section", "WriteHeader: Error writing section",
          "WriteEmptySection: Error writing group",
          "WriteStringGroup: Error writing to /dev/full"}},
        {"binary drawing",
         write(withHeader, 1),
         {"qdxf_Write: Error writing to file /dev/full", "qfio_WriteSeq: No space left on device"}},
    };
    long blocks = pellund_TestLiveBlocks();
    for (const auto &c : cases) {
        qerr_Report *report = nullptr;
        c.run(&report);
        EXPECT_EQ(Levels(report), c.chain) << c.layer;
        qerr_ReportFree(report);
    }
    EXPECT_EQ(pellund_TestLiveBlocks(), blocks);
    EXPECT_EQ(pellund_TestOpenHandles(), 0);
}

// A drawing that reaches every writer: header with extents, a block holding
// a POLYLINE and a LINE, and one entity of each writable kind.
DrawingPtr FullDrawing() {
    DrawingPtr drawing = NewDrawing();
    AddHeader(*drawing);
    Qdxf_Block *block = AddBlock(*drawing, "FRAME", "0");
    block->xrefPath = HeapText("frame.dxf");
    SetVertices(*AddEntity(block->entities, QDXF_POLYLINE, "0"), {{1, 2, 0}});
    AddEntity(block->entities, QDXF_LINE, "0")->color = 7;
    for (int type = QDXF_LINE; type <= QDXF_3DFACE; ++type) {
        Qdxf_Entity *entity = AddEntity(drawing->entities, type, "walls");
        entity->ltypeName = HeapText("DASHED");
        entity->color = 1;
        if (type == QDXF_TEXT) entity->data.text.angle = 1.0;
        if (type == QDXF_POLYLINE || type == QDXF_3DFACE) SetVertices(*entity, {{1, 1, 1}});
    }
    return drawing;
}

TEST(Writer, NumbersIgnoreTheHostsLocale) {
    DrawingPtr drawing = FullDrawing();
    const std::string inC = WriteDrawing(drawing.get(), 0).contents;
    ASSERT_NE(inC.find("\n-2.25\n"), std::string::npos) << inC;
    const char *previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, kDecimalCommaLocale))
        GTEST_SKIP() << kDecimalCommaLocale << " is not installed";
    char decimal[8];
    std::snprintf(decimal, sizeof decimal, "%.1f", 0.5);
    std::string underComma = WriteDrawing(drawing.get(), 0).contents;
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_STREQ(decimal, "0,5");  // the locale was in force
    EXPECT_EQ(underComma, inC);
}

std::string WithFile(std::string level, const std::string &path) {
    if (auto at = level.find(path); at != std::string::npos) level.replace(at, path.size(), "{F}");
    return level;
}

// Fails each write of a whole write in turn, in both forms: every failure
// gives a chain from qdxf_Write down to the failed write, closes the file,
// frees what it took and leaves a beginning of the complete file.
TEST(Writer, AFailureAtAnyWriteIsReportedAndLeavesNothingOpen) {
    DrawingPtr drawing = FullDrawing();
    for (int binary : {0, 1}) {
        TempFile file;
        const std::string complete = WriteTo(drawing.get(), file.path(), binary).contents;
        std::set<Chain> chains;
        long failing = 1;
        for (;; ++failing) {
            long blocks = pellund_TestLiveBlocks();
            pellund_TestReset();
            pellund_TestFailWrite(failing);
            WriteOutcome outcome = WriteTo(drawing.get(), file.path(), binary);
            pellund_TestReset();
            if (!outcome.report) break;
            Chain chain;
            for (const std::string &level : outcome.levels())
                chain.push_back(WithFile(level, file.path()));
            ASSERT_GE(chain.size(), 2u);
            EXPECT_EQ(chain.front().rfind("qdxf_Write: ", 0), 0u) << chain.front();
            EXPECT_EQ(complete.compare(0, outcome.contents.size(), outcome.contents), 0)
                << "write " << failing;
            EXPECT_LT(outcome.contents.size(), complete.size()) << "write " << failing;
            outcome.report.reset();
            EXPECT_EQ(pellund_TestLiveBlocks(), blocks) << "write " << failing;
            EXPECT_EQ(pellund_TestOpenHandles(), 0) << "write " << failing;
            chains.insert(chain);
        }
        // Two writes a group, a sentinel in the binary form, the close.
        EXPECT_GT(failing, 300) << binary;
        const std::string toolkit = "qfio_WriteSeq: Injected write failure";
        auto withToolkit = [&](Chain chain) {
            if (binary) chain.push_back(toolkit);
            return chain;
        };
        std::vector<Chain> expected = {
            withToolkit({"qdxf_Write: Error writing HEADER section",
                         "WriteHeader: Error writing group",
                         "WriteStringGroup: Error writing to {F}"}),
            withToolkit(
                {"qdxf_Write: Error writing HEADER section", "WriteHeader: Error writing group",
                 "WritePointGroups: Error writing group", "WriteFloatGroup: Error writing to {F}"}),
            withToolkit({"qdxf_Write: Error writing TABLES section",
                         "WriteTables: Error writing section",
                         "WriteEmptySection: Error writing group",
                         "WriteStringGroup: Error writing to {F}"}),
            withToolkit({"qdxf_Write: Error writing BLOCKS section",
                         "WriteBlockList: Error writing group",
                         "WriteStringGroup: Error writing to {F}"}),
            withToolkit({"qdxf_Write: Error writing BLOCKS section",
                         "WriteBlockList: Error writing entity info",
                         "WritePointGroups: Error writing group",
                         "WriteFloatGroup: Error writing to {F}"}),
            withToolkit({"qdxf_Write: Error writing BLOCKS section",
                         "WriteBlockList: Error writing block entities",
                         "WriteEntityList: Error writing entity",
                         "WritePolyline: Error writing entity info",
                         "WritePointGroups: Error writing group",
                         "WriteFloatGroup: Error writing to {F}"}),
            withToolkit(
                {"qdxf_Write: Error writing BLOCKS section",
                 "WriteBlockList: Error writing block entities",
                 "WriteEntityList: Error writing entity", "WriteLine: Error writing entity info",
                 "WriteCommon: Error writing entity info", "WriteIntGroup: Error writing to {F}"}),
            withToolkit({"qdxf_Write: Error writing ENTITIES section",
                         "WriteEntitySection: Error writing entity info",
                         "WriteStringGroup: Error writing to {F}"}),
            withToolkit({"qdxf_Write: Error writing ENTITIES section",
                         "WriteEntitySection: Error writing entities",
                         "WriteEntityList: Error writing entity",
                         "WriteText: Error writing entity info",
                         "WriteFloatGroup: Error writing to {F}"}),
            withToolkit({"qdxf_Write: Error writing ENTITIES section",
                         "WriteEntitySection: Error writing entities",
                         "WriteEntityList: Error writing entity",
                         "WriteInsert: Error writing entity info",
                         "WriteIntGroup: Error writing to {F}"}),
            withToolkit(
                {"qdxf_Write: Error writing group", "WriteStringGroup: Error writing to {F}"}),
            {"qdxf_Write: Error closing file {F}", "qfio_Close: Injected write failure"},
        };
        if (binary) {
            expected.push_back({"qdxf_Write: Error writing to file {F}", toolkit});
        }
        for (int kind = 1; kind <= 9; ++kind) {
            const char *writers[] = {
                "",           "WriteLine",  "WritePoint", "WriteCircle", "WriteArc",
                "WriteTrace", "WriteSolid", "WriteText",  "WriteInsert", "WritePolyline"};
            expected.push_back(
                withToolkit({"qdxf_Write: Error writing ENTITIES section",
                             "WriteEntitySection: Error writing entities",
                             "WriteEntityList: Error writing entity",
                             std::string(writers[kind]) + ": Error writing entity info",
                             "WriteCommon: Error writing entity info",
                             "WriteStringGroup: Error writing to {F}"}));
        }
        for (const Chain &chain : expected) {
            EXPECT_TRUE(chains.count(chain))
                << (binary ? "binary: " : "ASCII: ") << ::testing::PrintToString(chain);
        }
    }
}

TEST(Writer, AnExhaustedHeapFailsTheWriteCleanly) {
    DrawingPtr drawing = FullDrawing();
    TempFile file;
    const std::vector<Chain> expected = {
        {"qdxf_Write: Memory allocation error"},
        {"qdxf_Write: Error opening file {F}", "qfio_Open: Out of memory"},
        {"qdxf_Write: Error opening file {F}", "qfio_Open: Out of memory"},
    };
    for (int binary : {0, 1}) {
        std::size_t failing = 1;
        for (;; ++failing) {
            long blocks = pellund_TestLiveBlocks();
            pellund_TestReset();
            pellund_TestFailAllocation(static_cast<long>(failing));
            WriteOutcome outcome = WriteTo(drawing.get(), file.path(), binary);
            pellund_TestReset();
            if (!outcome.report) break;
            Chain chain;
            for (const std::string &level : outcome.levels())
                chain.push_back(WithFile(level, file.path()));
            ASSERT_LE(failing, expected.size());
            EXPECT_EQ(chain, expected[failing - 1]);
            outcome.report.reset();
            EXPECT_EQ(pellund_TestLiveBlocks(), blocks);
            EXPECT_EQ(pellund_TestOpenHandles(), 0);
            // A heap exhausted from here on: even the reports cannot be had.
            pellund_TestExhaustHeap(static_cast<long>(failing));
            outcome = WriteTo(drawing.get(), file.path(), binary);
            pellund_TestReset();
            ASSERT_NE(outcome.report, nullptr);
            std::string innermost = outcome.levels().back();
            EXPECT_TRUE(innermost.ends_with("Out of memory") ||
                        innermost.ends_with("Memory allocation error"))
                << innermost;
            outcome.report.reset();
            EXPECT_EQ(pellund_TestLiveBlocks(), blocks);
            EXPECT_EQ(pellund_TestOpenHandles(), 0);
        }
        EXPECT_EQ(failing, expected.size() + 1);
    }
}

// A drawing without blocks writes an empty BLOCKS section, whose failure has
// a chain of its own: writes 1 to 12 are the empty HEADER and TABLES, and the
// binary form's sentinel comes first.
TEST(Writer, AFailedEmptyBlocksSectionSaysSo) {
    DrawingPtr drawing = NewDrawing();
    for (int binary : {0, 1}) {
        TempFile file;
        pellund_TestReset();
        pellund_TestFailWrite(13 + binary);
        WriteOutcome outcome = WriteTo(drawing.get(), file.path(), binary);
        pellund_TestReset();
        Chain chain;
        for (const std::string &level : outcome.levels())
            chain.push_back(WithFile(level, file.path()));
        Chain expected = {
            "qdxf_Write: Error writing BLOCKS section", "WriteBlockList: Error writing section",
            "WriteEmptySection: Error writing group", "WriteStringGroup: Error writing to {F}"};
        if (binary) expected.push_back("qfio_WriteSeq: Injected write failure");
        EXPECT_EQ(chain, expected);
    }
}

TEST(Writer, AFailureWithoutAReportPointerLeaksNothing) {
    DrawingPtr drawing = FullDrawing();
    TempFile file;
    long blocks = pellund_TestLiveBlocks();
    for (long failing : {1L, 2L, 100L, 321L}) {
        pellund_TestReset();
        pellund_TestFailWrite(failing);
        qdxf_Write(drawing.get(), file.c_str(), 1, 0, nullptr);
        pellund_TestReset();
    }
    qdxf_Write(drawing.get(), "/dev/full", 0, 0, nullptr);
    EXPECT_EQ(pellund_TestLiveBlocks(), blocks);
    EXPECT_EQ(pellund_TestOpenHandles(), 0);
}

// ---------------------------------------------------------------------------
// Read back
// ---------------------------------------------------------------------------

TEST(Writer, HeaderExtentsComeBackFromBothForms) {
    DrawingPtr drawing = NewDrawing();
    Qdxf_Header *header = AddHeader(*drawing);
    *header->extmin = {-1.0 / 3.0, 2.0 / 7.0, -123456.789};
    *header->extmax = {1e-9, 6.02214076e23, kPi};
    header->angbase = 45.0;
    for (int binary : {0, 1}) {
        ReadOutcome back = RoundTrip(*drawing, binary);
        ASSERT_TRUE(back.drawing) << ::testing::PrintToString(back.messages());
        const Qdxf_Header *read = back.drawing->header;
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->angbase, 0.0);
        for (auto [written, got] :
             {std::pair{header->extmin, read->extmin}, {header->extmax, read->extmax}}) {
            ASSERT_NE(got, nullptr);
            for (auto [w, g] :
                 {std::pair{written->x, got->x}, {written->y, got->y}, {written->z, got->z}}) {
                EXPECT_EQ(g, w);  // in ASCII too: the shortest spelling reads back
            }
        }
    }
}

TEST(Writer, WritingWhatWasReadGivesTheSameFile) {
    DrawingPtr drawing = NewDrawing();
    AddHeader(*drawing);
    *drawing->header->extmax = {1.0 / 3.0, 1e300, -0.0};
    for (int binary : {0, 1}) {
        std::string first = WriteDrawing(drawing.get(), binary).contents;
        ReadOutcome back = RoundTrip(*drawing, binary);
        ASSERT_TRUE(back.drawing) << ::testing::PrintToString(back.messages());
        EXPECT_EQ(WriteDrawing(back.drawing.get(), binary).contents, first);
    }
}

// ---------------------------------------------------------------------------
// With options
// ---------------------------------------------------------------------------

constexpr unsigned int kForR12 = QDXF_WRITE_COMPLETE | QDXF_WRITE_R12_NAMES;

// Names R12 programs do not take, a line type and a text style no entry
// defines, a text outside ASCII (in ANSI_1252, and beyond U+FFFF in escapes)
// and one of a byte of no UTF-8 character (as it is), and
// handles 1F and 1f, which are one, among handles too sparse for a bit each.
ReadOutcome DrawingForR12() {
    // clang-format off
    return ReadContents(Ascii(Drawing({
        Section("HEADER", {{9, "$CLAYER"}, {8, "Mauer/Wand"}}),
        Section("TABLES", Table("LAYER", {{0, "LAYER"}, {2, "Mauer/Wand"}, {6, "Dash dot"},
                                          {0, "LAYER"}, {2, "mauer:wand"},
                                          {0, "LAYER"}, {2, std::string(40, 'x')}})),
        Section("BLOCKS", {{0, "BLOCK"}, {2, "*u7"}, {0, "LINE"}, {0, "ENDBLK"}}),
        Section("ENTITIES", {{0, "LINE"}, {5, "1F"}, {8, "mauer:wand"}, {6, "Dash dot"},
                             {0, "INSERT"}, {5, "1f"}, {2, "*u7"},
                             {0, "TEXT"}, {5, "FFFFFF"}, {7, "Standard"},
                             {1, "caf\xC3\xA9 \xF0\x9F\x98\x80"}, {0, "TEXT"}, {1, "\xFF"}}),
    })));
    // clang-format on
}

TEST(Writer, R12NamesAreLegalAndEveryReferenceNamesItsTarget) {
    ReadOutcome in = DrawingForR12();
    ASSERT_TRUE(in.drawing);
    WriteOutcome out = WriteDrawing(in.drawing.get(), 0, kForR12);
    ASSERT_EQ(out.report, nullptr) << ::testing::PrintToString(out.levels());
    Groups groups = GroupsOf(out.contents);
    // In file order: $CLAYER, the line types added, the layers and layer 0,
    // the style added, the block and the entities.
    // clang-format off
    const Groups expected = {
        {8, "MAUER_WAND"}, {2, "CONTINUOUS"}, {2, "DASH_DOT"}, {2, "MAUER_WAND"}, {6, "DASH_DOT"},
        {2, "MAUER_WAND_1"}, {2, std::string(31, 'X')}, {2, "0"}, {2, "STANDARD"}, {2, "*U7"},
        {8, "MAUER_WAND_1"}, {6, "DASH_DOT"}, {2, "*U7"},
        {1, "caf\xE9 \\U+D83D\\U+DE00"}, {7, "STANDARD"}, {1, "\xFF"}};
    // clang-format on
    auto next = groups.begin();
    for (const Group &group : expected) {
        next = std::find_if(next, groups.end(), [&](const Group &g) {
            return g.code == group.code && g.value == group.value;
        });
        ASSERT_NE(next, groups.end()) << group.code << " " << std::get<std::string>(group.value);
    }
    EXPECT_EQ(
        std::count_if(groups.begin(), groups.end(), [](const Group &g) { return g.code == 5; }), 0);
}

// Every allocation and every write of a write with options failing in turn,
// and the heap exhausted from each allocation on: a report, nothing left
// allocated, no file open.
TEST(Writer, WritesWithOptionsFailCleanly) {
    ReadOutcome in = DrawingForR12();
    ASSERT_TRUE(in.drawing);
    TempFile file;
    long blocks = pellund_TestLiveBlocks();
    for (int binary : {0, 1}) {
        for (void (*fail)(long) :
             {pellund_TestFailAllocation, pellund_TestExhaustHeap, pellund_TestFailWrite}) {
            long failing = 1;
            for (;; ++failing) {
                pellund_TestReset();
                fail(failing);
                WriteOutcome outcome = WriteTo(in.drawing.get(), file.path(), binary, kForR12);
                pellund_TestReset();
                if (!outcome.report) break;
                outcome.report.reset();
                EXPECT_EQ(pellund_TestLiveBlocks(), blocks) << failing;
                EXPECT_EQ(pellund_TestOpenHandles(), 0) << failing;
            }
            EXPECT_GT(failing, 10);
        }
    }
}

}  // namespace
