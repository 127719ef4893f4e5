// SPDX-License-Identifier: MIT
// The ENTITIES section: the ten kinds with every member, the reading rules
// and their quirks, unknown kinds, layers, every failure, and hostile input.
#include <gtest/gtest.h>

#include <chrono>

#include "pellund_testing.h"
#include "test_support.h"

using namespace testing_support;

namespace {

using Chain = std::vector<std::string>;

constexpr double kPi = 3.141592653589793;

double Radians(double degrees) {
    return degrees * kPi / 180;
}

std::vector<const Qdxf_Entity *> Entities(const Qdxf_Entity *list) {
    std::vector<const Qdxf_Entity *> entities;
    for (const Qdxf_Entity *entity = list; entity; entity = entity->next) {
        EXPECT_EQ(entity->prev, entities.empty() ? nullptr : entities.back());
        entities.push_back(entity);
    }
    return entities;
}

// Reads a drawing of one ENTITIES section after `before` (other sections).
ReadOutcome ReadEntities(const std::vector<Group> &body, const std::vector<Group> &before = {}) {
    ReadOutcome outcome = ReadContents(Ascii(before + Drawing({Section("ENTITIES", body)})));
    EXPECT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
    return outcome;
}

void ExpectPoint(const Qdxf_Coord &point, double x, double y, double z) {
    EXPECT_EQ(point.x, x);
    EXPECT_EQ(point.y, y);
    EXPECT_EQ(point.z, z);
}

const std::vector<Group> kLayers =
    Section("TABLES", Table("LAYER", {{0, "LAYER"}, {2, "0"}, {0, "LAYER"}, {2, "WALLS"}}));

// Every kind with every member it reads.
const std::vector<Group> kEveryKind = {
    {0, "LINE"},   {5, "A1"},       {8, "WALLS"},  {6, "DASHED"}, {38, 1.5},    {39, 2.5},
    {62, 3},       {67, 1},         {10, 1.0},     {20, 2.0},     {30, 3.0},    {11, 4.0},
    {21, 5.0},     {31, 6.0},       {0, "POINT"},  {10, 7.0},     {20, 8.0},    {30, 9.0},
    {0, "CIRCLE"}, {8, "0"},        {10, 1.0},     {20, 2.0},     {30, 0.5},    {40, 5.0},
    {0, "ARC"},    {10, 3.0},       {20, 4.0},     {40, 2.0},     {50, 90.0},   {51, 180.0},
    {0, "TRACE"},  {10, 0.0},       {20, 0.0},     {11, 1.0},     {21, 0.0},    {12, 0.0},
    {22, 1.0},     {13, 1.0},       {23, 1.0},     {30, 0.25},    {0, "SOLID"}, {10, 5.0},
    {20, 5.0},     {11, 6.0},       {21, 5.0},     {12, 5.0},     {22, 6.0},    {13, 6.0},
    {23, 6.0},     {0, "TEXT"},     {1, "Hello"},  {7, "ROMANS"}, {10, 1.0},    {20, 2.0},
    {30, 3.0},     {40, 2.5},       {41, 0.8},     {50, 30.0},    {51, 15.0},   {71, 2},
    {72, 1},       {73, 3},         {11, 4.0},     {21, 5.0},     {31, 6.0},    {0, "INSERT"},
    {66, 1},       {2, "DOOR"},     {10, 1.0},     {20, 2.0},     {30, 3.0},    {41, 2.0},
    {42, 3.0},     {43, 4.0},       {50, 45.0},    {70, 2},       {71, 3},      {44, 10.0},
    {45, 20.0},    {0, "POLYLINE"}, {66, 1},       {10, 0.0},     {20, 0.0},    {30, 7.5},
    {40, 0.1},     {41, 0.2},       {70, 1},       {71, 4},       {72, 5},      {73, 6},
    {74, 7},       {75, 8},         {0, "VERTEX"}, {10, 1.0},     {20, 1.0},    {30, 7.5},
    {40, 0.3},     {41, 0.4},       {42, 0.5},     {50, 90.0},    {70, 16},     {0, "VERTEX"},
    {10, 2.0},     {20, 2.0},       {0, "VERTEX"}, {10, 3.0},     {20, 1.0},    {0, "SEQEND"},
    {0, "3DFACE"}, {10, 0.0},       {20, 0.0},     {30, 1.0},     {11, 1.0},    {21, 0.0},
    {31, 1.0},     {12, 1.0},       {22, 1.0},     {32, 1.0},     {13, 0.0},    {23, 1.0},
    {33, 1.0},
};

void ExpectEveryKind(const Qdxf_Info &drawing) {
    auto e = Entities(drawing.entities);
    ASSERT_EQ(e.size(), 10u);
    const Qdxf_Layer *zero = drawing.tables->layers;
    const Qdxf_Layer *walls = zero->next;

    const Qdxf_Entity &line = *e[0];
    EXPECT_EQ(line.type, QDXF_LINE);
    EXPECT_STREQ(line.handle, "A1");
    EXPECT_STREQ(line.layerName, "WALLS");
    EXPECT_EQ(line.layer, walls);
    EXPECT_EQ(line.block, nullptr);
    EXPECT_STREQ(line.ltypeName, "DASHED");
    EXPECT_EQ(line.elevation, 1.5);
    EXPECT_EQ(line.thickness, 2.5);
    EXPECT_EQ(line.color, 3);
    EXPECT_EQ(line.space, 1);
    ExpectPoint(line.data.line.start, 1, 2, 3);
    ExpectPoint(line.data.line.end, 4, 5, 6);

    const Qdxf_Entity &point = *e[1];
    EXPECT_EQ(point.type, QDXF_POINT);
    EXPECT_EQ(point.color, 256);  // by layer when absent
    EXPECT_EQ(point.layerName, nullptr);
    EXPECT_EQ(point.layer, nullptr);  // no layer without a name here
    ExpectPoint(point.data.point.location, 7, 8, 9);

    const Qdxf_Entity &circle = *e[2];
    EXPECT_EQ(circle.type, QDXF_CIRCLE);
    EXPECT_EQ(circle.layer, zero);
    ExpectPoint(circle.data.circle.center, 1, 2, 0.5);
    EXPECT_EQ(circle.data.circle.radius, 5.0);

    const Qdxf_Arc &arc = e[3]->data.arc;
    EXPECT_EQ(e[3]->type, QDXF_ARC);
    ExpectPoint(arc.center, 3, 4, 0);
    EXPECT_EQ(arc.radius, 2.0);
    EXPECT_EQ(arc.startAngle, Radians(90));
    EXPECT_EQ(arc.endAngle, Radians(180));

    EXPECT_EQ(e[4]->type, QDXF_TRACE);
    const Qdxf_Trace &trace = e[4]->data.trace;
    ExpectPoint(trace.corner[0], 0, 0, 0.25);
    ExpectPoint(trace.corner[1], 1, 0, 0);
    ExpectPoint(trace.corner[2], 0, 1, 0);
    ExpectPoint(trace.corner[3], 1, 1, 0);
    EXPECT_EQ(e[5]->type, QDXF_SOLID);
    ExpectPoint(e[5]->data.solid.corner[3], 6, 6, 0);

    EXPECT_EQ(e[6]->type, QDXF_TEXT);
    const Qdxf_Text &text = e[6]->data.text;
    EXPECT_STREQ(text.text, "Hello");
    EXPECT_STREQ(text.style, "ROMANS");
    ExpectPoint(text.insertionPoint, 1, 2, 3);
    EXPECT_EQ(text.height, 2.5);
    EXPECT_EQ(text.xScale, 0.8);
    EXPECT_EQ(text.angle, Radians(30));
    EXPECT_EQ(text.obliqueAngle, Radians(15));
    EXPECT_EQ(text.flags, 2);
    EXPECT_EQ(text.horizJust, 1);
    EXPECT_EQ(text.vertJust, 3);
    ASSERT_NE(text.alignmentPoint, nullptr);
    ExpectPoint(*text.alignmentPoint, 4, 5, 6);

    EXPECT_EQ(e[7]->type, QDXF_INSERT);
    const Qdxf_Insert &insert = e[7]->data.insert;
    EXPECT_EQ(insert.attributesFollow, 0);  // group 66 is not read
    EXPECT_STREQ(insert.blockName, "DOOR");
    ExpectPoint(insert.insertionPoint, 1, 2, 3);
    EXPECT_EQ(insert.xScale, 2.0);
    EXPECT_EQ(insert.yScale, 3.0);
    EXPECT_EQ(insert.zScale, 4.0);
    EXPECT_EQ(insert.rotationAngle, Radians(45));
    EXPECT_EQ(insert.columnCount, 2);
    EXPECT_EQ(insert.rowCount, 3);
    EXPECT_EQ(insert.columnSpacing, 10.0);
    EXPECT_EQ(insert.rowSpacing, 20.0);

    EXPECT_EQ(e[8]->type, QDXF_POLYLINE);
    const Qdxf_Polyline &polyline = e[8]->data.polyline;
    EXPECT_EQ(polyline.elevation, 7.5);
    EXPECT_EQ(polyline.defaultStartingWidth, 0.1);
    EXPECT_EQ(polyline.defaultEndingWidth, 0.2);
    EXPECT_EQ(polyline.flag, 1);
    EXPECT_EQ(polyline.meshVertexCount[0], 4);
    EXPECT_EQ(polyline.meshVertexCount[1], 5);
    EXPECT_EQ(polyline.smoothSurfaceDensity[0], 6);
    EXPECT_EQ(polyline.smoothSurfaceDensity[1], 7);
    EXPECT_EQ(polyline.type, 8);
    ASSERT_EQ(polyline.count, 3);
    const Qdxf_Vertex &first = polyline.vertices[0];
    EXPECT_EQ(first.ltypeName, nullptr);
    ExpectPoint(first.location, 1, 1, 7.5);
    EXPECT_EQ(first.startingWidth, 0.3);
    EXPECT_EQ(first.endingWidth, 0.4);
    EXPECT_EQ(first.bulge, 0.5);
    EXPECT_EQ(first.tangentDir, 90.0);  // as read, not in radians
    EXPECT_EQ(first.flags, 16);
    ExpectPoint(polyline.vertices[1].location, 2, 2, 0);
    ExpectPoint(polyline.vertices[2].location, 3, 1, 0);

    EXPECT_EQ(e[9]->type, QDXF_3DFACE);
    const Qdxf_Polyline &face = e[9]->data.polyline;
    ASSERT_EQ(face.count, 4);
    ExpectPoint(face.vertices[0].location, 0, 0, 1);
    ExpectPoint(face.vertices[1].location, 1, 0, 1);
    ExpectPoint(face.vertices[2].location, 1, 1, 1);
    ExpectPoint(face.vertices[3].location, 0, 1, 1);
    EXPECT_EQ(face.flag, 0);
    EXPECT_EQ(face.elevation, 0.0);
}

TEST(Entities, ReadsEveryKindInEveryForm) {
    std::vector<Group> groups = Drawing({kLayers, Section("ENTITIES", kEveryKind)});
    for (const std::string &contents : {Ascii(groups), Binary(groups), Binary(groups, true)}) {
        ReadOutcome outcome = ReadContents(contents);
        ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
        ExpectEveryKind(*outcome.drawing);
    }
}

TEST(Entities, TheLastGroupOfACodeWins) {
    ReadOutcome outcome = ReadEntities({{0, "LINE"},
                                        {8, "first"},
                                        {8, "second"},
                                        {5, "1"},  // longer, then shorter than the block held
                                        {5, "A handle longer than the first"},
                                        {5, "2B"},
                                        {10, 1.0},
                                        {10, 2.0},
                                        {12, 7.0},  // 12, 22, 32 are the end point too
                                        {22, 8.0},
                                        {32, 9.0},
                                        {11, 3.0},
                                        {0, "TEXT"},
                                        {1, "one"},
                                        {1, "two"},
                                        {11, 1.0},
                                        {11, 5.0}});
    auto e = Entities(outcome.drawing->entities);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_STREQ(e[0]->layerName, "second");
    EXPECT_STREQ(e[0]->handle, "2B");
    EXPECT_EQ(e[0]->data.line.start.x, 2.0);
    ExpectPoint(e[0]->data.line.end, 3, 8, 9);
    EXPECT_STREQ(e[1]->data.text.text, "two");
    ExpectPoint(*e[1]->data.text.alignmentPoint, 5, 0, 0);
}

TEST(Entities, DefaultsAndAbsentMembers) {
    ReadOutcome outcome = ReadEntities({{0, "INSERT"},
                                        {2, "B"},
                                        {0, "TEXT"},
                                        {1, "t"},
                                        {0, "TEXT"},
                                        {21, 4.0},
                                        {0, "POLYLINE"},
                                        {0, "SEQEND"},
                                        {0, "3DFACE"},
                                        {20, 1.0},
                                        {30, 2.0}});
    auto e = Entities(outcome.drawing->entities);
    ASSERT_EQ(e.size(), 5u);
    const Qdxf_Insert &insert = e[0]->data.insert;
    EXPECT_EQ(insert.xScale, 1.0);
    EXPECT_EQ(insert.yScale, 1.0);
    EXPECT_EQ(insert.zScale, 1.0);
    EXPECT_EQ(insert.columnCount, 1);
    EXPECT_EQ(insert.rowCount, 1);
    EXPECT_EQ(e[1]->data.text.xScale, 0.0);  // no default for TEXT
    EXPECT_EQ(e[1]->data.text.alignmentPoint, nullptr);
    ExpectPoint(*e[2]->data.text.alignmentPoint, 0, 4, 0);
    // No vertices and no corners: a valid empty array.
    EXPECT_EQ(e[3]->data.polyline.count, 0);
    EXPECT_NE(e[3]->data.polyline.vertices, nullptr);
    EXPECT_EQ(e[4]->data.polyline.count, 0);
    EXPECT_NE(e[4]->data.polyline.vertices, nullptr);
}

TEST(Entities, CornersOfTracesGoByCodeAndOf3DFacesByOrder) {
    ReadOutcome outcome = ReadEntities({
        {0, "SOLID"},
        {13, 1.0},
        {23, 2.0},
        {33, 3.0},
        // All x groups first: they all go to corner 0, the last one winning;
        // only z groups move on to the next corner.
        {0, "3DFACE"},
        {10, 1.0},
        {11, 2.0},
        {12, 3.0},
        {13, 4.0},
        {20, 5.0},
        {21, 6.0},
        {22, 7.0},
        {23, 8.0},
        {30, 9.0},
        {31, 10.0},
        {32, 11.0},
        {33, 12.0},
        // More z groups than corners: the extra ones are ignored.
        {0, "3DFACE"},
        {10, 1.0},
        {20, 1.0},
        {30, 1.0},
        {30, 2.0},
        {30, 3.0},
        {30, 4.0},
        {11, 5.0},
        {21, 5.0},
        {31, 5.0},
    });
    auto e = Entities(outcome.drawing->entities);
    ASSERT_EQ(e.size(), 3u);
    ExpectPoint(e[0]->data.solid.corner[3], 1, 2, 3);
    ExpectPoint(e[0]->data.solid.corner[1], 0, 0, 0);
    const Qdxf_Polyline &ordered = e[1]->data.polyline;
    ASSERT_EQ(ordered.count, 4);
    ExpectPoint(ordered.vertices[0].location, 4, 8, 9);
    ExpectPoint(ordered.vertices[1].location, 0, 0, 10);
    ExpectPoint(ordered.vertices[3].location, 0, 0, 12);
    const Qdxf_Polyline &extra = e[2]->data.polyline;
    ASSERT_EQ(extra.count, 2);
    ExpectPoint(extra.vertices[0].location, 1, 1, 1);
    ExpectPoint(extra.vertices[1].location, 0, 0, 2);
}

TEST(Entities, APolylineTakesTheCommonGroupsOfItsVerticesAndSeqend) {
    ReadOutcome outcome = ReadEntities({{0, "POLYLINE"},
                                        {5, "P1"},
                                        {8, "0"},
                                        {0, "VERTEX"},
                                        {8, "0"},
                                        {62, 5},
                                        {11, 1.0},  // 11 to 13, 21 to 23, 31 to 33: location
                                        {22, 2.0},
                                        {33, 3.0},
                                        {0, "VERTEX"},
                                        {0, "SEQEND"},
                                        {5, "S1"},
                                        {40, 0.5},  // a SEQEND's groups count for the polyline
                                        {0, "POINT"}});
    auto e = Entities(outcome.drawing->entities);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_STREQ(e[0]->handle, "S1");
    EXPECT_EQ(e[0]->color, 5);
    EXPECT_EQ(e[0]->data.polyline.defaultStartingWidth, 0.5);
    ASSERT_EQ(e[0]->data.polyline.count, 2);
    ExpectPoint(e[0]->data.polyline.vertices[0].location, 1, 2, 3);
    ExpectPoint(e[0]->data.polyline.vertices[1].location, 0, 0, 0);
    EXPECT_EQ(e[1]->type, QDXF_POINT);
}

TEST(Entities, UnknownKindsAreKeptAndLoggedOncePerRead) {
    // The ATTRIB records and the SEQEND after an INSERT are not part of it.
    std::vector<Group> body = {{0, "INSERT"}, {2, "B"},      {0, "ATTRIB"}, {8, "A"},
                               {1, "value"},  {0, "ATTRIB"}, {0, "SEQEND"}, {0, "LINE"}};
    for (int i = 0; i < 10; ++i)
        body = body + std::vector<Group>{{0, "LWPOLYLINE"}, {62, i}};
    LogCapture log;
    ReadOutcome outcome = ReadEntities(body);
    auto e = Entities(outcome.drawing->entities);
    ASSERT_EQ(e.size(), 15u);
    EXPECT_EQ(e[0]->type, QDXF_INSERT);
    EXPECT_EQ(e[1]->type, QDXF_INVALID);
    EXPECT_STREQ(e[1]->layerName, "A");
    EXPECT_EQ(e[2]->type, QDXF_INVALID);
    EXPECT_EQ(e[3]->type, QDXF_INVALID);
    EXPECT_EQ(e[4]->type, QDXF_LINE);
    EXPECT_EQ(e[14]->type, QDXF_INVALID);
    EXPECT_EQ(e[14]->color, 9);
    EXPECT_EQ(log.messages(), (Chain{"ATTRIB entity ignored", "SEQEND entity ignored",
                                     "LWPOLYLINE entity ignored"}));
    // The next read, and the next ENTITIES section of a file, log them again.
    ReadOutcome again = ReadContents(Ascii(Drawing(
        {Section("ENTITIES", {{0, "LWPOLYLINE"}}), Section("ENTITIES", {{0, "LWPOLYLINE"}})})));
    ASSERT_TRUE(again.drawing);
    EXPECT_EQ(log.messages().size(), 5u);
}

TEST(Entities, EntitiesFindTheirLayersReadBeforeThem) {
    // Names repeat: the first layer of a name is the one found, nameless ones included.
    std::vector<Group> nameless = Section("TABLES", Table("LAYER", {{0, "LAYER"},
                                                                    {2, "A"},
                                                                    {0, "LAYER"},
                                                                    {70, 0},
                                                                    {0, "LAYER"},
                                                                    {2, "A"},
                                                                    {0, "LAYER"},
                                                                    {70, 1}}));
    ReadOutcome outcome = ReadEntities({{0, "POINT"}, {0, "POINT"}, {8, "A"}}, nameless);
    auto e = Entities(outcome.drawing->entities);
    const Qdxf_Layer *a = outcome.drawing->tables->layers;
    EXPECT_EQ(e[0]->layer, a->next);  // no group 8: the first layer without a name
    EXPECT_EQ(e[1]->layer, a);

    ReadOutcome noTables = ReadEntities({{0, "POINT"}, {8, "A"}});
    EXPECT_EQ(noTables.drawing->entities->layer, nullptr);
    ReadOutcome tablesAfter =
        ReadContents(Ascii(Section("ENTITIES", {{0, "POINT"}, {8, "A"}}) + Drawing({nameless})));
    ASSERT_TRUE(tablesAfter.drawing);
    EXPECT_EQ(tablesAfter.drawing->entities->layer, nullptr);
}

TEST(Entities, ListsEndAtEndsecOrEndblk) {
    ReadOutcome empty = ReadEntities({});
    EXPECT_EQ(empty.drawing->entities, nullptr);
    ReadOutcome endblk = ReadContents(
        Ascii({{0, "SECTION"}, {2, "ENTITIES"}, {0, "LINE"}, {0, "ENDBLK"}, {0, "EOF"}}));
    ASSERT_TRUE(endblk.drawing);
    EXPECT_EQ(Entities(endblk.drawing->entities).size(), 1u);
    // Further sections append to the same list.
    ReadOutcome two = ReadContents(
        Ascii(Drawing({Section("ENTITIES", {{0, "LINE"}}), Section("ENTITIES", {{0, "ARC"}})})));
    ASSERT_TRUE(two.drawing);
    auto e = Entities(two.drawing->entities);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[1]->type, QDXF_ARC);
}

struct EntitiesFailure {
    const char *name;
    std::vector<Group> body;  // after (0, SECTION), (2, ENTITIES)
    Chain tail;               // after the three outer levels
};

TEST(Entities, EveryFailureGivesItsWholeChain) {
    const EntitiesFailure cases[] = {
        {"a group other than 0 where an entity starts",
         {{8, "0"}},
         {"Error reading entity type group",
          "Line 6: Expected group code of 0, group code 8 encountered"}},
        {"cut inside an entity",
         {{0, "LINE"}, {10, 1.0}},
         {"Error reading entity data group", "Error reading group",
          "Error reading file {FILE}, line 9"}},
        {"cut inside a vertex",
         {{0, "POLYLINE"}, {0, "VERTEX"}, {10, 1.0}, {20, 2.0}},
         {"Error reading entity data group", "Error reading group",
          "Error reading file {FILE}, line 13"}},
        {"cut where an entity starts",
         {},
         {"Error reading entity type group", "Error reading group values", "Error reading group",
          "Error reading file {FILE}, line 5"}},
        {"no ENDSEC: EOF is taken for an entity",
         {{0, "LINE"}, {0, "EOF"}},
         {"Error reading entity data group", "Error reading group",
          "Error reading file {FILE}, line 9"}},
    };
    for (const EntitiesFailure &c : cases) {
        TempFile file(Ascii(std::vector<Group>{{0, "SECTION"}, {2, "ENTITIES"}} + c.body));
        ReadOutcome outcome = ReadFile(file.path());
        EXPECT_EQ(outcome.drawing, nullptr) << c.name;
        Chain expected = {"Error reading section", "Error reading ENTITIES section",
                          "Error reading entity"};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(outcome.messages(), ChainFor(expected, file.path())) << c.name;
    }
    // Binary: the offsets of the groups that could not be read.
    std::string cut = Binary({{0, "SECTION"}, {2, "ENTITIES"}, {0, "POLYLINE"}, {0, "VERTEX"}});
    ReadOutcome outcome = ReadContents(cut);
    EXPECT_EQ(
        Levels(outcome.report.get()),
        (Chain{"qdxf_Read: Error reading section", "ReadSection: Error reading ENTITIES section",
               "ReadEntityList: Error reading entity",
               "ReadEntity: Error reading entity data group", "ReadGroup: Error reading group",
               "ReadBinaryGroup: Byte offset " + std::to_string(cut.size()) +
                   ": Error reading binary group code",
               "qfio_ReadSeq: Unexpected end of file"}));
}

// A polyline of 100,000 vertices reads in one pass, with a heap block per
// group and little else, however long the polyline is.
TEST(Entities, AHugePolylineStaysProportionate) {
    constexpr int kVertices = 100000;
    std::string text = Ascii({{0, "SECTION"}, {2, "ENTITIES"}, {0, "POLYLINE"}, {66, 1}});
    for (int i = 0; i < kVertices; ++i) {
        text += "  0\nVERTEX\n 10\n" + std::to_string(i) + "\n 20\n" + std::to_string(-i) + "\n";
    }
    text += Ascii({{0, "SEQEND"}, {0, "ENDSEC"}, {0, "EOF"}});
    pellund_TestReset();
    ReadOutcome outcome = ReadContents(text);
    long allocations = pellund_TestAllocationCount();
    ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
    const Qdxf_Polyline &polyline = outcome.drawing->entities->data.polyline;
    ASSERT_EQ(polyline.count, kVertices);
    ExpectPoint(polyline.vertices[kVertices - 1].location, kVertices - 1, -(kVertices - 1), 0);
    EXPECT_LT(allocations, 3 * kVertices + 100);
}

}  // namespace

namespace {

// Each unknown kind is looked up among those already logged for every entity
// of an unknown kind; a file of many different kinds must not make that
// search quadratic. Linear, 100,000 kinds take well under a second even under
// the sanitizers; searched record by record they took minutes.
TEST(Entities, ManyDifferentUnknownKindsAreLoggedOnceEachQuickly) {
    constexpr int kKinds = 100000;
    std::string text = "  0\nSECTION\n  2\nENTITIES\n";
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < kKinds; ++i)
            text += "  0\nKIND" + std::to_string(i) + "\n";
    }
    text += "  0\nENDSEC\n  0\nEOF\n";
    LogCapture log;
    auto started = std::chrono::steady_clock::now();
    ReadOutcome outcome = ReadContents(text);
    auto elapsed = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
    ASSERT_EQ(log.messages().size(), static_cast<std::size_t>(kKinds));
    EXPECT_EQ(log.messages().front(), "KIND0 entity ignored");
    EXPECT_EQ(log.messages().back(), "KIND99999 entity ignored");
    EXPECT_LT(elapsed, std::chrono::seconds(10));
}

}  // namespace
