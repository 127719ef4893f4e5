// SPDX-License-Identifier: MIT
// The read options' translations: each kind outside the ten becomes the
// record(s) its rule gives, placed in world coordinates with
// QDXF_READ_WORLD; anonymous blocks and their numbers; the log.
#include <gtest/gtest.h>

#include <cstdio>

#include "test_support.h"

using namespace testing_support;

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value + 0.0);  // no "-0"
    return text;
}

std::string Point(const Qdxf_Coord &p) {
    char text[96];
    std::snprintf(text, sizeof text, "(%.6g %.6g %.6g)", p.x + 0.0, p.y + 0.0, p.z + 0.0);
    return text;
}

double Degrees(double radians) {
    return radians * 180 / 3.141592653589793;
}

std::string Describe(const Qdxf_Info &drawing, const Qdxf_Entity &entity);

// The pieces of the block an INSERT names, when it is one the read made.
std::string Pieces(const Qdxf_Info &drawing, const char *name) {
    for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
        if (std::string(block->name) != name || block->typeFlag != 1) continue;
        std::string text = " {";
        for (const Qdxf_Entity *piece = block->entities; piece; piece = piece->next) {
            EXPECT_EQ(std::string(piece->layerName), "0");
            EXPECT_EQ(piece->block, block);
            text += Describe(drawing, *piece);
            if (piece->color) text += " c" + std::to_string(piece->color);
            text += piece->next ? "; " : "";
        }
        return text + "}";
    }
    return "";
}

// A record in one line, its members in the order of the cases below.
std::string Describe(const Qdxf_Info &drawing, const Qdxf_Entity &entity) {
    const auto &d = entity.data;
    switch (entity.type) {
        case QDXF_LINE:
            return "LINE " + Point(d.line.start) + Point(d.line.end);
        case QDXF_CIRCLE:
            return "CIRCLE " + Point(d.circle.center) + " r" + Number(d.circle.radius);
        case QDXF_ARC:
            return "ARC " + Point(d.arc.center) + " r" + Number(d.arc.radius) + " " +
                   Number(Degrees(d.arc.startAngle)) + ".." + Number(Degrees(d.arc.endAngle));
        case QDXF_SOLID:
            return "SOLID " + Point(d.solid.corner[0]) + Point(d.solid.corner[1]) +
                   Point(d.solid.corner[2]) + Point(d.solid.corner[3]);
        case QDXF_TEXT:
            return "TEXT '" + std::string(d.text.text) + "' " + Point(d.text.insertionPoint) +
                   " h" + Number(d.text.height) + " a" + Number(Degrees(d.text.angle)) + " f" +
                   std::to_string(d.text.flags) + " j" + std::to_string(d.text.horizJust) +
                   std::to_string(d.text.vertJust) +
                   (d.text.alignmentPoint ? " at" + Point(*d.text.alignmentPoint) : "") +
                   (d.text.style ? " " + std::string(d.text.style) : "");
        case QDXF_INSERT:
            return "INSERT " + std::string(d.insert.blockName) + " " +
                   Point(d.insert.insertionPoint) + " s" + Number(d.insert.xScale) + "," +
                   Number(d.insert.yScale) + "," + Number(d.insert.zScale) + " a" +
                   Number(Degrees(d.insert.rotationAngle)) + Pieces(drawing, d.insert.blockName);
        case QDXF_POLYLINE:
        case QDXF_3DFACE: {
            std::string text = entity.type == QDXF_POLYLINE ? "POLYLINE " : "3DFACE ";
            text += std::to_string(d.polyline.flag) + " e" + Number(d.polyline.elevation) + " [";
            for (int i = 0; i < d.polyline.count; ++i) {
                const Qdxf_Vertex &v = d.polyline.vertices[i];
                text += Point(v.location);
                if (v.bulge != 0) text += "b" + Number(v.bulge);
                if (v.startingWidth != 0 || v.endingWidth != 0)
                    text += "w" + Number(v.startingWidth) + "," + Number(v.endingWidth);
            }
            return text + "]";
        }
        default:
            return "INVALID";
    }
}

struct Outcome {
    DrawingPtr drawing;
    std::vector<std::string> log;
    std::string first;  // the first entity described
};

Outcome Read(const std::vector<Group> &entities, unsigned flags,
             const std::vector<Group> &before = {}, const std::vector<Group> &after = {},
             double tolerance = 0.0) {
    TempFile file(Ascii(Drawing({before, Section("ENTITIES", entities), after})));
    LogCapture log;
    Qdxf_ReadOptions options{sizeof options, flags, tolerance, nullptr, 0, nullptr};
    qerr_Report *report = nullptr;
    Outcome outcome{DrawingPtr(qdxf_ReadWithOptions(file.c_str(), nullptr, &options, &report)),
                    log.messages(),
                    {}};
    EXPECT_EQ(Messages(report), std::vector<std::string>{});
    qerr_ReportFree(report);
    if (outcome.drawing && outcome.drawing->entities)
        outcome.first = Describe(*outcome.drawing, *outcome.drawing->entities);
    return outcome;
}

constexpr unsigned kModern = QDXF_READ_MODERN_KINDS;
constexpr unsigned kWorld = QDXF_READ_WORLD;
// An entity with the extrusion direction of a mirrored one.
std::vector<Group> Mirrored(const std::vector<Group> &entity) {
    return entity + std::vector<Group>{{210, 0.0}, {220, 0.0}, {230, -1.0}};
}

struct Case {
    const char *name;
    std::vector<Group> entity;
    unsigned flags;
    const char *expected;
};

const Case kCases[] = {
    {"lwpolyline",
     {{0, "LWPOLYLINE"},
      {38, 5.0},
      {70, 129},
      {43, 0.5},
      {10, 1.0},
      {20, 2.0},
      {42, 0.25},
      {10, 3.0},
      {20, 4.0},
      {40, 1.0},
      {41, 2.0}},
     kModern,
     "POLYLINE 129 e5 [(1 2 5)b0.25w0.5,0.5(3 4 5)w1,2]"},
    {"lwpolyline mirrored",
     {{0, "LWPOLYLINE"},
      {10, 1.0},
      {20, 2.0},
      {42, 0.5},
      {10, 3.0},
      {20, 4.0},
      {210, 0.0},
      {220, 0.0},
      {230, -1.0}},
     kModern | kWorld,
     "POLYLINE 0 e0 [(-1 2 0)b-0.5(-3 4 0)]"},
    {"attrib",
     {{0, "ATTRIB"},
      {1, "value"},
      {2, "TAG"},
      {7, "S"},
      {10, 1.0},
      {20, 2.0},
      {40, 2.5},
      {50, 30.0},
      {70, 0},
      {72, 1},
      {73, 9},
      {74, 2},
      {11, 5.0},
      {21, 6.0},
      {101, "Embedded"},
      {10, 9.0},
      {40, 9.0}},
     kModern,
     "TEXT 'value' (1 2 0) h2.5 a30 f0 j12 at(5 6 0) S"},
    {"invisible attrib", {{0, "ATTRIB"}, {1, "v"}, {70, 1}}, kModern, "INVALID"},
    {"dimension without its block, the style's values those of the DXF reference",
     {{0, "DIMENSION"}, {2, "*D1"}, {70, 1}, {13, 0.0}, {14, 2.0}, {10, 2.0}, {20, 1.0}},
     kModern,
     "INSERT *U1 (0 0 0) s1,1,1 a0 {LINE (0 0.0625 0)(0 1.18 0); LINE (2 0.0625 0)(2 1.18 0); "
     "LINE (0 1 0)(0.505 1 0); LINE (1.495 1 0)(2 1 0); "
     "SOLID (0 1 0)(0.18 0.97 0)(0.18 1.03 0)(0.18 1.03 0); "
     "SOLID (2 1 0)(1.82 1.03 0)(1.82 0.97 0)(1.82 0.97 0); "
     "TEXT '2.0000' (1 1 0) h0.18 a0 f0 j12 at(1 1 0)}"},
    {"table",
     {{0, "ACAD_TABLE"}, {2, "*T1"}, {10, 7.0}, {20, 8.0}, {10, 1.0}},
     kModern,
     "INSERT *T1 (7 8 0) s1,1,1 a0"},
    {"leader",
     {{0, "LEADER"}, {71, 0}, {10, 1.0}, {20, 2.0}, {10, 3.0}, {20, 4.0}, {30, 5.0}},
     kModern,
     "POLYLINE 8 e0 [(1 2 0)(3 4 5)]"},
    {"mtext of one line",
     {{0, "MTEXT"},
      {10, 1.0},
      {20, 2.0},
      {40, 3.0},
      {71, 5},
      {50, 90.0},
      {7, "S"},
      {3, "{\\fArial|b1;bo"},
      {1, "ld} \\\\ \\{x\\}\\~%%d\\U+00B0"}},
     kModern,
     "TEXT 'bold \\ {x} %%d\\U+00B0' (1 2 0) h3 a90 f0 j12 at(1 2 0) S"},
    {"mtext of runs: a stack, a colour, an underline",
     {{0, "MTEXT"}, {40, 2.0}, {1, "a\\S1/2;{\\C1;\\Lb}"}},
     kModern,
     "INSERT *U1 (0 0 0) s1,1,1 a0 {TEXT 'a' (0 -2 0) h2 a0 f0 j00; "
     "TEXT '1' (1.5 -0.8 0) h1.4 a0 f0 j00; TEXT '2' (1.5 -2.6 0) h1.4 a0 f0 j00; "
     "LINE (1.5 -1 0)(2.55 -1 0); TEXT 'b' (2.55 -2 0) h2 a0 f0 j00 c1; "
     "LINE (2.55 -2.4 0)(4.05 -2.4 0) c1}"},
    {"mtext of lines",
     {{0, "MTEXT"},
      {10, 0.0},
      {20, 10.0},
      {40, 3.0},
      {44, 2.0},
      {71, 9},
      {11, 0.0},
      {21, 1.0},
      {1, "a\\Pb^Jc"}},
     kModern,
     "INSERT *U1 (0 0 0) s1,1,1 a0 {TEXT 'a' (-20 10 0) h3 a90 f0 j21 at(-20 10 0); "
     "TEXT 'b' (-10 10 0) h3 a90 f0 j21 at(-10 10 0); "
     "TEXT 'c' (0 10 0) h3 a90 f0 j21 at(0 10 0)}"},
    {"mtext mirrored",
     {{0, "MTEXT"}, {10, 1.0}, {20, 2.0}, {40, 1.0}, {1, "m"}, {210, 0.0}, {220, 0.0}, {230, -1.0}},
     kModern,
     "TEXT 'm' (1 2 0) h1 a180 f2 j03 at(1 2 0)"},
    {"polyface",
     {{0, "POLYLINE"},
      {70, 64},
      {0, "VERTEX"},
      {70, 192},
      {10, 1.0},
      {0, "VERTEX"},
      {70, 192},
      {10, 2.0},
      {0, "VERTEX"},
      {70, 192},
      {20, 3.0},
      {0, "VERTEX"},
      {70, 128},
      {71, 1},
      {72, -2},
      {73, 3},
      {0, "SEQEND"}},
     kModern,
     "INSERT *U1 (0 0 0) s1,1,1 a0 {3DFACE 2 e0 [(1 0 0)(2 0 0)(0 3 0)(0 3 0)]}"},
    {"polyface naming a vertex it lacks",
     {{0, "POLYLINE"}, {70, 64}, {0, "VERTEX"}, {70, 128}, {71, 1}, {0, "SEQEND"}},
     kModern,
     "INVALID"},
    {"circle mirrored", Mirrored({{0, "CIRCLE"}, {10, 1.0}, {20, 2.0}, {30, 3.0}, {40, 4.0}}),
     kWorld, "CIRCLE (-1 2 -3) r4"},
    {"arc mirrored", Mirrored({{0, "ARC"}, {10, 1.0}, {40, 2.0}, {50, 10.0}, {51, 100.0}}), kWorld,
     "ARC (-1 0 0) r2 80..170"},
    {"arc mirrored across 0", Mirrored({{0, "ARC"}, {40, 2.0}, {50, 170.0}, {51, 200.0}}), kWorld,
     "ARC (0 0 0) r2 340..10"},
    {"solid mirrored", Mirrored({{0, "SOLID"}, {10, 1.0}, {11, 2.0}, {12, 3.0}, {13, 4.0}}), kWorld,
     "SOLID (-1 0 0)(-2 0 0)(-3 0 0)(-4 0 0)"},
    {"text mirrored",
     Mirrored({{0, "TEXT"}, {1, "t"}, {10, 1.0}, {40, 2.0}, {50, 30.0}, {72, 1}, {11, 3.0}}),
     kWorld, "TEXT 't' (-1 0 0) h2 a-30 f2 j10 at(-3 0 0)"},
    {"insert mirrored", Mirrored({{0, "INSERT"}, {2, "B"}, {10, 1.0}, {41, 2.0}, {50, 30.0}}),
     kWorld, "INSERT B (-1 0 0) s-2,1,-1 a-30"},
    {"polyline mirrored",
     Mirrored({{0, "POLYLINE"}, {30, 2.0}, {0, "VERTEX"}, {10, 1.0}, {42, 1.0}, {0, "SEQEND"}}),
     kWorld, "POLYLINE 0 e-2 [(-1 0 0)b-1]"},
    {"3d polyline is world already",
     Mirrored({{0, "POLYLINE"}, {70, 8}, {0, "VERTEX"}, {10, 1.0}, {0, "SEQEND"}}), kWorld,
     "POLYLINE 8 e0 [(1 0 0)]"},
    {"hatch mirrored",
     {{0, "HATCH"}, {30, 2.0}, {210, 0.0}, {220, 0.0}, {230, -1.0}, {2, "SOLID"},
      {70, 1},      {91, 1},   {92, 2},    {72, 0},    {73, 1},     {93, 3},
      {10, 0.0},    {20, 0.0}, {10, 4.0},  {20, 0.0},  {10, 0.0},   {20, 3.0},
      {97, 0},      {75, 0},   {76, 1},    {98, 0}},
     kModern | kWorld,
     "INSERT *U1 (0 0 0) s1,1,1 a0 {SOLID (0 0 -2)(-4 0 -2)(0 3 -2)(0 3 -2)}"},
    {"extrusion without length",
     {{0, "CIRCLE"}, {40, 1.0}, {210, 0.0}, {220, 0.0}, {230, 0.0}},
     kWorld,
     "INVALID"},
};

TEST(Translate, EachKindBecomesTheRecordOfItsRule) {
    for (const Case &c : kCases) {
        // The entity is followed by another, which must stay as it is.
        Outcome outcome = Read(c.entity + std::vector<Group>{{0, "LINE"}, {11, 1.0}}, c.flags);
        ASSERT_TRUE(outcome.drawing) << c.name;
        EXPECT_EQ(outcome.first, c.expected) << c.name;
        const Qdxf_Entity *next = outcome.drawing->entities->next;
        ASSERT_TRUE(next) << c.name;
        EXPECT_EQ(Describe(*outcome.drawing, *next), "LINE (0 0 0)(1 0 0)") << c.name;
    }
}

TEST(Translate, TheLogSaysEachKindTranslatedOnceAndEachFailure) {
    std::vector<Group> entities = {{0, "LEADER"}, {0, "LEADER"}, {0, "DIMENSION"},
                                   {5, "2F"},     {0, "XLINE"},  {0, "XLINE"}};
    Outcome outcome = Read(entities, kModern);
    EXPECT_EQ(outcome.log, (std::vector<std::string>{
                               "LEADER entity translated", "DIMENSION entity translated",
                               "XLINE entity not translated: a direction without length",
                               "XLINE entity not translated: a direction without length"}));
}

// A hatch shows its fill alone (a gradient in its first colour, its boundary
// only without one); fine patterns over a large square spend the read's
// budget: the read goes on, the rest stays INVALID, the log says so once.
TEST(Translate, HatchesShowTheirFillAndKeepToTheReadsBudget) {
    auto hatch = [](int solid, std::vector<Group> tail) {
        return std::vector<Group>{{0, "HATCH"}, {70, solid}, {91, 1},   {92, 2},   {72, 0},
                                  {73, 1},      {93, 3},     {10, 0.0}, {20, 0.0}, {10, 1e3},
                                  {20, 0.0},    {10, 0.0},   {20, 1e3}, {97, 0}} +
               tail;
    };
    std::vector<Group> fine = {{75, 0}, {78, 1}, {53, 0.0}, {45, 0.0}, {46, 0.01}};
    Outcome outcome =
        Read(hatch(1, {{450, 1}, {421, 0x00FF00}}) + hatch(0, {}) + hatch(0, fine) +
                 hatch(0, fine) + hatch(0, fine) + std::vector<Group>{{0, "MTEXT"}, {1, "a\\Pb"}},
             kModern);
    ASSERT_TRUE(outcome.drawing);
    // The kind of each INSERT's first piece (the made blocks are in order).
    std::vector<std::string> shown;
    const Qdxf_Block *block = outcome.drawing->blocks;
    for (const Qdxf_Entity *e = outcome.drawing->entities; e; e = e->next) {
        const Qdxf_Entity *piece = e->type == QDXF_INSERT ? block->entities : nullptr;
        if (piece) block = block->next;
        std::string kind = piece ? Describe(*outcome.drawing, *piece) : "";
        shown.push_back(std::to_string(e->color) + (piece ? " " : "") +
                        kind.substr(0, kind.find(' ')));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"3 SOLID", "256 POLYLINE", "256 LINE", "256 LINE",
                                               "256", "256 TEXT"}));
    EXPECT_EQ(outcome.log, (std::vector<std::string>{
                               "HATCH entity translated",
                               "HATCH entity not translated: the drawing's translation budget "
                               "is spent",
                               "MTEXT entity translated"}));
}

// Round caps, made at the end of the read, keep to its budget too: twelve
// MLINEs of half circles of 65,537 vertices would take 90 MB.
TEST(Translate, MLineCapsKeepToTheReadsBudget) {
    std::vector<Group> mlines;
    for (int i = 0; i < 12; ++i) {
        mlines =
            mlines + std::vector<Group>{{0, "MLINE"}, {2, "S"},  {73, 2},   {11, 0.0},  {23, 1.0},
                                        {74, 1},      {41, 1e6}, {74, 1},   {41, -1e6}, {11, 3.0},
                                        {23, 1.0},    {74, 1},   {41, 1e6}, {74, 1},    {41, -1e6}};
    }
    Outcome outcome =
        Read(mlines, kModern, {},
             Section("OBJECTS", {{0, "MLINESTYLE"}, {2, "S"}, {70, 64 | 1024}}), 1e-9);
    ASSERT_TRUE(outcome.drawing);
    std::uint64_t capVertices = 0;
    for (const Qdxf_Block *block = outcome.drawing->blocks; block; block = block->next) {
        for (const Qdxf_Entity *e = block->entities; e; e = e->next) {
            if (e->type == QDXF_POLYLINE && e->data.polyline.count > 2)
                capVertices += static_cast<std::uint64_t>(e->data.polyline.count);
        }
    }
    EXPECT_GT(capVertices, 65536u);
    EXPECT_LE(capVertices * sizeof(Qdxf_Vertex), std::uint64_t{32} << 20);
}

// Made blocks take numbers no block of the file has: above those read before
// them, and renumbered when a block read later takes theirs.
TEST(Translate, AnonymousBlocksTakeNumbersNoBlockOfTheFileHas) {
    auto block = [](const char *name) {
        return std::vector<Group>{{0, "BLOCK"}, {2, name}, {70, 1}, {0, "ENDBLK"}};
    };
    std::vector<Group> hatchless = {{0, "MTEXT"}, {1, "a\\Pb"}};
    Outcome outcome =
        Read(hatchless + hatchless, kModern, Section("BLOCKS", block("*u7") + block("*U3")),
             Section("BLOCKS", block("*U9") + block("*U008")));
    ASSERT_TRUE(outcome.drawing);
    std::vector<std::string> names{outcome.drawing->entities->data.insert.blockName,
                                   outcome.drawing->entities->next->data.insert.blockName};
    for (const Qdxf_Block *b = outcome.drawing->blocks; b; b = b->next)
        names.emplace_back(b->name);
    EXPECT_EQ(names, (std::vector<std::string>{"*U10", "*U11", "*u7", "*U3", "*U10", "*U11", "*U9",
                                               "*U008"}));
}

TEST(Translate, AnEntityCallbackSeesTheFinalBlockName) {
    TempFile file(Ascii(Drawing({Section("BLOCKS", {{0, "BLOCK"}, {2, "*U4"}, {0, "ENDBLK"}}),
                                 Section("ENTITIES", {{0, "MTEXT"}, {1, "a\\Pb"}})})));
    Qdxf_ReadOptions options{sizeof options, kModern, 0.0, nullptr, 0, nullptr};
    std::string seen;
    LogCapture log;
    auto take = [](void *context, const Qdxf_Info *drawing, const Qdxf_Entity *entity) {
        *static_cast<std::string *>(context) = Describe(*drawing, *entity);
        return 0;
    };
    DrawingPtr drawing(qdxf_ReadEach(file.c_str(), nullptr, &options, take, &seen, nullptr));
    ASSERT_TRUE(drawing);
    EXPECT_EQ(seen,
              "INSERT *U5 (0 0 0) s1,1,1 a0 {TEXT 'a' (0 0 0) h0 a0 f0 j03 at(0 0 0); "
              "TEXT 'b' (0 0 0) h0 a0 f0 j03 at(0 0 0)}");
}

}  // namespace
