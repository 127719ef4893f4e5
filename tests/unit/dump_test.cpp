// SPDX-License-Identifier: MIT
// The dump exports: the exact text of every record kind, captured through the
// toolkit's print sink, with null members, empty lists and odd kinds.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>

#include "test_support.h"

using namespace testing_support;

namespace {

// Everything qfio_Printf prints while the object lives.
class PrintCapture {
public:
    PrintCapture() { qfio_SetPrintSink(&Append, &text_); }
    ~PrintCapture() { qfio_SetPrintSink(nullptr, nullptr); }
    PrintCapture(const PrintCapture &) = delete;
    PrintCapture &operator=(const PrintCapture &) = delete;
    const std::string &text() const { return text_; }

private:
    static void Append(void *context, const char *text, size_t length) {
        static_cast<std::string *>(context)->append(text, length);
    }
    std::string text_;
};

std::string Printed(const std::function<void()> &print) {
    PrintCapture capture;
    print();
    return capture.text();
}

// The dumps only read the records, so literals may stand in for owned texts.
char *T(const char *text) {
    return const_cast<char *>(text);
}

// Any int as the kind, as a C host may store it.
void SetKind(Qdxf_Entity &entity, int kind) {
    std::memcpy(&entity.type, &kind, sizeof kind);
}

void SetCommon(Qdxf_Entity &entity, int kind) {
    SetKind(entity, kind);
    entity.layerName = T("walls");
    entity.handle = T("2A");
    entity.ltypeName = T("DASHED");
    entity.elevation = 1.5;
    entity.thickness = 0.25;
    entity.color = 3;
    entity.space = 1;
}

const std::string kCommonLines =
    "layerName = walls\nhandle = 2A\nltypeName = DASHED\n"
    "elevation = 1.5, thickness = 0.25\ncolor = 3, space = 1\n";

Qdxf_Vertex vertices[3] = {
    {nullptr, {0, 0, 0}, 0.5, 1, 0, 0, 0},
    {T("CONT"), {1, 1, 0}, 0, 0, 0.25, 8, 45},
    {nullptr, {2, 0, 0}, 0, 0, 0, 0, 0},
};

const std::string kVertexLines[3] = {
    "Vertex 0:\n\tltypeName = (nil)\n\tlocation = (0, 0, 0)\n"
    "\tstartingWidth = 0.5, endingWidth = 1\n\tbulge = 0, flags = 0, tangentDir = 0\n",
    "Vertex 1:\n\tltypeName = CONT\n\tlocation = (1, 1, 0)\n"
    "\tstartingWidth = 0, endingWidth = 0\n\tbulge = 0.25, flags = 8, tangentDir = 45\n",
    "Vertex 2:\n\tltypeName = (nil)\n\tlocation = (2, 0, 0)\n"
    "\tstartingWidth = 0, endingWidth = 0\n\tbulge = 0, flags = 0, tangentDir = 0\n",
};

void SetSquare(Qdxf_Trace &corners) {
    corners = {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}};
}

struct EntityCase {
    const char *name;
    int kind;
    std::function<void(Qdxf_Entity &)> build;
    std::string title;  // the first line's name
    std::string full;   // after the common lines
    std::string quick;
};

const std::string kQuickSquare =
    "\tcorner[0] = (0, 0)\tcorner[1] = (1, 0)\n\tcorner[2] = (1, 1)\tcorner[3] = (0, 1)\n";
const std::string kPolylineHead =
    "elevation = 0, flag = 1\ndefaultStartingWidth = 0.1, defaultEndingWidth = 0.2\n"
    "meshVertexCount = (3, 4)\nsmoothSurfaceDensity = (5, 6)\n";

void SetPolyline(Qdxf_Entity &entity, int count, Qdxf_Vertex *array) {
    Qdxf_Polyline &polyline = entity.data.polyline;
    polyline.flag = 1;
    polyline.defaultStartingWidth = 0.1;
    polyline.defaultEndingWidth = 0.2;
    polyline.meshVertexCount[0] = 3;
    polyline.meshVertexCount[1] = 4;
    polyline.smoothSurfaceDensity[0] = 5;
    polyline.smoothSurfaceDensity[1] = 6;
    polyline.type = 8;
    polyline.count = count;
    polyline.vertices = array;
}

const EntityCase kEntityCases[] = {
    {"Invalid", QDXF_INVALID, [](Qdxf_Entity &) {}, "Invalid", "", ""},
    {"Line", QDXF_LINE,
     [](Qdxf_Entity &e) {
         e.data.line = {{1, 2, 3}, {4.5, -5, 0}};
     },
     "Line", "start = (1, 2, 3)\nend = (4.5, -5, 0)\n\n", "Line from (1, 2) to (4.5, -5)\n"},
    {"Point", QDXF_POINT,
     [](Qdxf_Entity &e) {
         e.data.point = {{0.1, 0.2, 0.3}};
     },
     "Point", "location = (0.1, 0.2, 0.3)\n\n", "Point at (0.1, 0.2)\n"},
    {"Circle", QDXF_CIRCLE,
     [](Qdxf_Entity &e) {
         e.data.circle = {{10, 20, 0}, 5};
     },
     "Circle", "center = (10, 20, 0)\nradius = 5\n\n", "Circle, center at (10, 20), radius 5\n"},
    {"Arc", QDXF_ARC,
     [](Qdxf_Entity &e) {
         e.data.arc = {{0, 0, 0}, 2, 0, 1.5708};
     },
     "Arc", "center = (0, 0, 0)\nradius = 2\nstartAngle = 0, endAngle = 1.5708\n\n",
     "Arc, center at (0, 0), radius 2,\n\tstartAngle = 0, endAngle = 1.5708\n"},
    {"TraceCornersOneALine", QDXF_TRACE, [](Qdxf_Entity &e) { SetSquare(e.data.trace); }, "Trace",
     "corner[0] = (0, 0, 0)\ncorner[1] = (1, 0, 0)\ncorner[2] = (1, 1, 0)\ncorner[3] = (0, 1, 0)"
     "\n\n",
     "Trace,\n" + kQuickSquare},
    {"SolidCornersOnOneLine", QDXF_SOLID, [](Qdxf_Entity &e) { SetSquare(e.data.solid); }, "Solid",
     "corner[0] = (0, 0, 0)corner[1] = (1, 0, 0)corner[2] = (1, 1, 0)corner[3] = (0, 1, 0)\n\n",
     "Solid,\n" + kQuickSquare},
    {"TextWithAlignmentPoint", QDXF_TEXT,
     [](Qdxf_Entity &e) {
         static Qdxf_Coord alignment = {4, 5, 6};
         e.data.text = {{1, 2, 0},     2.5, T("Hello"), 0.5, 1,         0.1,
                        T("STANDARD"), 2,   1,          3,   &alignment};
     },
     "Text",
     "insertionPoint = (1, 2, 0)\nheight = 2.5\ntext = Hello\nangle = 0.5\n"
     "xScale = 1, obliqueAngle = 0.1\nstyle = STANDARD, flags = 2\nhorizJust = 1, vertJust = 3\n"
     "alignmentPoint = (4, 5, 6)\n\n",
     "Text, \"Hello\" at (1, 2)\n"},
    {"TextWithoutAlignmentPointOrTexts", QDXF_TEXT, [](Qdxf_Entity &) {}, "Text",
     "insertionPoint = (0, 0, 0)\nheight = 0\ntext = (nil)\nangle = 0\n"
     "xScale = 0, obliqueAngle = 0\nstyle = (nil), flags = 0\nhorizJust = 0, vertJust = 0\n"
     "alignmentPoint = \n\n",
     "Text, \"(nil)\" at (0, 0)\n"},
    {"Insert", QDXF_INSERT,
     [](Qdxf_Entity &e) {
         e.data.insert = {0, T("DOOR"), {10, 0, 0}, 1, 2, 1, 0.785398, 2, 3, 1.5, 2.5};
     },
     "Insert",
     "attributesFollow = 0\nblockName = DOOR\ninsertionPoint = (10, 0, 0)\n"
     "xScale = 1, yScale = 2, zScale = 1\nrotationAngle = 0.785398\n"
     "columnCount = 2, rowCount = 3\ncolumnSpacing = 1.5, rowSpacing = 2.5\n\n",
     "Insert, block\"DOOR\" at (10, 0)\nScaling = (1, 2, 1)\nRotation angle = 0.785398\n"
     "Col/Row count = (2, 3), spacing = (1.5, 2.5)\n"},
    {"InsertWithoutBlockName", QDXF_INSERT, [](Qdxf_Entity &) {}, "Insert",
     "attributesFollow = 0\nblockName = (nil)\ninsertionPoint = (0, 0, 0)\n"
     "xScale = 0, yScale = 0, zScale = 0\nrotationAngle = 0\n"
     "columnCount = 0, rowCount = 0\ncolumnSpacing = 0, rowSpacing = 0\n\n",
     "Insert, block\"(nil)\" at (0, 0)\nScaling = (0, 0, 0)\nRotation angle = 0\n"
     "Col/Row count = (0, 0), spacing = (0, 0)\n"},
    {"PolylineWithThreeVertices", QDXF_POLYLINE,
     [](Qdxf_Entity &e) { SetPolyline(e, 3, vertices); }, "Polyline",
     kPolylineHead + "type = 8, count = 3\n" + kVertexLines[0] + kVertexLines[1] + kVertexLines[2],
     "Polyline with 3 vertices\n\tvertex 0 = (0, 0)\tvertex 1 = (1, 1)\n\tvertex 2 = (2, 0)\n"},
    {"PolylineWithTwoVertices", QDXF_POLYLINE, [](Qdxf_Entity &e) { SetPolyline(e, 2, vertices); },
     "Polyline", kPolylineHead + "type = 8, count = 2\n" + kVertexLines[0] + kVertexLines[1],
     "Polyline with 2 vertices\n\tvertex 0 = (0, 0)\tvertex 1 = (1, 1)\n"},
    {"PolylineWithoutVertices", QDXF_POLYLINE, [](Qdxf_Entity &e) { SetPolyline(e, 0, nullptr); },
     "Polyline", kPolylineHead + "type = 8, count = 0\n", "Polyline with 0 vertices\n"},
    // A host's record that counts vertices it does not have prints none.
    {"PolylineCountingAMissingArray", QDXF_POLYLINE,
     [](Qdxf_Entity &e) { SetPolyline(e, 3, nullptr); }, "Polyline",
     kPolylineHead + "type = 8, count = 3\n", "Polyline with 3 vertices\n"},
    {"PolylineWithANegativeCount", QDXF_POLYLINE,
     [](Qdxf_Entity &e) { SetPolyline(e, -2, vertices); }, "Polyline",
     kPolylineHead + "type = 8, count = -2\n", "Polyline with -2 vertices\n"},
    {"ThreeDFace", QDXF_3DFACE,
     [](Qdxf_Entity &e) {
         e.data.polyline.count = 3;
         e.data.polyline.vertices = vertices;
     },
     "3DFace", "", ""},
    {"KindAboveTheLast", 11, [](Qdxf_Entity &) {}, "Unknown", "", ""},
    {"NegativeKind", -1, [](Qdxf_Entity &) {}, "Unknown", "", ""},
};

// Parameters show as their names in test listings.
void PrintTo(const EntityCase &c, std::ostream *os) {
    *os << c.name;
}

class EntityDump : public ::testing::TestWithParam<EntityCase> {};

TEST_P(EntityDump, FullFormIsTheCommonLinesThenTheKindsOwn) {
    const EntityCase &c = GetParam();
    Qdxf_Entity entity{};
    SetCommon(entity, c.kind);
    c.build(entity);
    EXPECT_EQ(Printed([&] { qdxf_EntityPrint(&entity); }),
              c.title + " Entity:\n" + kCommonLines + c.full);
}

TEST_P(EntityDump, QuickFormIsTheGeometryAlone) {
    const EntityCase &c = GetParam();
    Qdxf_Entity entity{};
    SetCommon(entity, c.kind);
    c.build(entity);
    EXPECT_EQ(Printed([&] { qdxf_EntityPrintQuick(&entity); }), c.quick);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EntityDump, ::testing::ValuesIn(kEntityCases),
                         [](const auto &param) { return std::string(param.param.name); });

TEST(EntityDump, NullCommonTextsPrintAsNil) {
    Qdxf_Entity entity{};
    EXPECT_EQ(Printed([&] { qdxf_EntityPrint(&entity); }),
              "Invalid Entity:\nlayerName = (nil)\nhandle = (nil)\nltypeName = (nil)\n"
              "elevation = 0, thickness = 0\ncolor = 0, space = 0\n");
}

TEST(EntityDump, LongTextsAndPercentSignsPassUnchanged) {
    std::string longText(5000, 'x');
    longText += "%s%d%n";
    Qdxf_Entity entity{};
    entity.type = QDXF_TEXT;
    entity.data.text.text = longText.data();
    std::string quick = Printed([&] { qdxf_EntityPrintQuick(&entity); });
    EXPECT_EQ(quick, "Text, \"" + longText + "\" at (0, 0)\n");
}

TEST(EntityDump, NumbersPrintTheSameUnderADecimalCommaLocale) {
    const char *previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, kDecimalCommaLocale))
        GTEST_SKIP() << kDecimalCommaLocale << " is not installed";
    Qdxf_Entity entity{};
    entity.type = QDXF_CIRCLE;
    entity.data.circle = {{1.5, -2.25, 0}, 0.5};
    std::string quick = Printed([&] { qdxf_EntityPrintQuick(&entity); });
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(quick, "Circle, center at (1.5, -2.25), radius 0.5\n");
}

// ---------------------------------------------------------------------------
// Header
// ---------------------------------------------------------------------------

TEST(HeaderDump, AFileWithEveryVariablePrintsAllButLtscale) {
    ReadOutcome outcome = ReadFile((TestDataDir() / "ascii/header_all.dxf").string());
    ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
    ASSERT_NE(outcome.drawing->header, nullptr);
    EXPECT_EQ(Printed([&] { qdxf_HeaderPrint(outcome.drawing->header); }),
              "$ACADVER = AC1009\n$ANGBASE = 90\n$ANGDIR = 1\n$AUNITS = 2\n$AUPREC = 3\n"
              "$CECOLOR = 256\n$CELTYPE = BYLAYER\n$CLAYER = walls\n"
              "$EXTMAX = (110.5, 220.25, 5)\n$EXTMIN = (-10.5, -20.25, 0)\n"
              "$FILLMODE = 1\n$LUNITS = 4\n$LUPREC = 6\n$PLINEGEN = 1\n$PLINEwID = 0.35\n"
              "$TDCREATE = 2.45958e+06\n$TEXTSIZE = 0.2\n$TEXTSTYLE = STANDARD\n"
              "$TRACEWID = 0.05\n");
}

TEST(HeaderDump, WithoutExtentsOrTextsTheLinesAreLeftOutOrNil) {
    Qdxf_Header header{};
    header.ltscale = 7.25;
    Qdxf_Coord extmin = {-1, -2, -3};
    const std::string before =
        "$ACADVER = (nil)\n$ANGBASE = 0\n$ANGDIR = 0\n$AUNITS = 0\n$AUPREC = 0\n"
        "$CECOLOR = 0\n$CELTYPE = (nil)\n$CLAYER = (nil)\n";
    const std::string after =
        "$FILLMODE = 0\n$LUNITS = 0\n$LUPREC = 0\n$PLINEGEN = 0\n$PLINEwID = 0\n"
        "$TDCREATE = 0\n$TEXTSIZE = 0\n$TEXTSTYLE = (nil)\n$TRACEWID = 0\n";
    EXPECT_EQ(Printed([&] { qdxf_HeaderPrint(&header); }), before + after);
    header.extmin = &extmin;  // one extent without the other
    EXPECT_EQ(Printed([&] { qdxf_HeaderPrint(&header); }),
              before + "$EXTMIN = (-1, -2, -3)\n" + after);
}

// ---------------------------------------------------------------------------
// Tables
// ---------------------------------------------------------------------------

double dashes[3] = {0.5, -0.25, 0};

struct LtypeCase {
    const char *name;
    Qdxf_Ltype ltype;
    std::string expected;
};

const std::string kLtypeHead = "name = DASHED\nhandle = 14, flags = 64\ntext = __ __\n";

const LtypeCase kLtypeCases[] = {
    {"TwoDashes",
     {nullptr, nullptr, T("DASHED"), T("14"), 64, T("__ __"), 65, 2, 0.75, dashes},
     kLtypeHead + "alignment = 65, numDashItems = 2\npatternLength = 0.75\n"
                  "\tdashLength[0] = 0.5\n\tdashLength[1] = -0.25\n"},
    {"NoDashItemsWhateverTheArrayHolds",
     {nullptr, nullptr, T("DASHED"), T("14"), 64, T("__ __"), 65, 0, 0.75, dashes},
     kLtypeHead + "alignment = 65, numDashItems = 0\npatternLength = 0.75\n"},
    {"NegativeDashItems",
     {nullptr, nullptr, T("DASHED"), T("14"), 64, T("__ __"), 65, -4, 0.75, dashes},
     kLtypeHead + "alignment = 65, numDashItems = -4\npatternLength = 0.75\n"},
    // A host's record that counts dashes it does not have prints none.
    {"DashItemsWithoutTheArray",
     {nullptr, nullptr, T("DASHED"), T("14"), 64, T("__ __"), 65, 3, 0.75, nullptr},
     kLtypeHead + "alignment = 65, numDashItems = 3\npatternLength = 0.75\n"},
    {"NullTexts",
     {},
     "name = (nil)\nhandle = (nil), flags = 0\ntext = (nil)\n"
     "alignment = 0, numDashItems = 0\npatternLength = 0\n"},
};

void PrintTo(const LtypeCase &c, std::ostream *os) {
    *os << c.name;
}

class LtypeDump : public ::testing::TestWithParam<LtypeCase> {};

TEST_P(LtypeDump, PrintsTheEntryAndItsDashes) {
    EXPECT_EQ(Printed([&] { qdxf_LtypePrint(&GetParam().ltype); }), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LtypeDump, ::testing::ValuesIn(kLtypeCases),
                         [](const auto &param) { return std::string(param.param.name); });

TEST(TableDump, LayersAndStylesWithAndWithoutTexts) {
    Qdxf_Layer layer = {nullptr, nullptr, T("walls"), T("1F"), 0, -7, T("DASHED"), nullptr};
    EXPECT_EQ(Printed([&] { qdxf_LayerPrint(&layer); }),
              "name = walls\nhandle = 1F, flags = 0\ncolor = -7, ltypeName = DASHED\n");
    Qdxf_Layer emptyLayer{};
    EXPECT_EQ(Printed([&] { qdxf_LayerPrint(&emptyLayer); }),
              "name = (nil)\nhandle = (nil), flags = 0\ncolor = 0, ltypeName = (nil)\n");

    Qdxf_Style style = {nullptr, nullptr, T("STANDARD"), T("11"),         0, 2.5, 0.8, 0.261799,
                        4,       3.5,     T("txt"),      T("bigfont.shx")};
    EXPECT_EQ(Printed([&] { qdxf_StylePrint(&style); }),
              "name = STANDARD\nhandle = 11, flags = 0\n"
              "fixedTextHeight = 2.5, widthFactor = 0.8\n"
              "obliqueAngle = 0.261799, textGenFlags = 4\nlastHeightUsed = 3.5\n"
              "primaryFontFile = txt\nbigFontFile = bigfont.shx\n");
    Qdxf_Style emptyStyle{};
    EXPECT_EQ(Printed([&] { qdxf_StylePrint(&emptyStyle); }),
              "name = (nil)\nhandle = (nil), flags = 0\n"
              "fixedTextHeight = 0, widthFactor = 0\nobliqueAngle = 0, textGenFlags = 0\n"
              "lastHeightUsed = 0\nprimaryFontFile = (nil)\nbigFontFile = (nil)\n");
}

TEST(TableDump, NullRecordsPrintNothingAndEmptyTablesTheirCounts) {
    // Every dump export takes a null record as nothing to print.
    EXPECT_EQ(Printed([] {
                  qdxf_HeaderPrint(nullptr);
                  qdxf_LtypePrint(nullptr);
                  qdxf_LayerPrint(nullptr);
                  qdxf_StylePrint(nullptr);
                  qdxf_TablesPrint(nullptr);
                  qdxf_BlockPrint(nullptr);
                  qdxf_EntityPrint(nullptr);
                  qdxf_EntityPrintQuick(nullptr);
              }),
              "");
    Qdxf_Tables tables{};
    EXPECT_EQ(Printed([&] { qdxf_TablesPrint(&tables); }),
              "0 Line Types:\n\n0 Layers:\n\n0 Styles:\n");
}

TEST(TableDump, EveryEntryFollowsABlankLineInListOrder) {
    Qdxf_Ltype continuous = {nullptr, nullptr, T("CONTINUOUS"), nullptr, 0, T("Solid"), 65,
                             0,       0,       nullptr};
    Qdxf_Ltype dashed = {nullptr, nullptr, T("DASHED"), nullptr, 0, nullptr, 65, 1, 0.5, dashes};
    Qdxf_Layer layer = {nullptr, nullptr, T("0"), nullptr, 0, 7, T("CONTINUOUS"), &continuous};
    Qdxf_Style style = {nullptr, nullptr, T("STANDARD"), nullptr,  0,      0, 1,
                        0,       0,       2.5,           T("txt"), nullptr};
    Qdxf_Tables tables{};
    tables.ltypes = static_cast<Qdxf_Ltype *>(qdxf_AddToList(nullptr, &continuous));
    tables.ltypes = static_cast<Qdxf_Ltype *>(qdxf_AddToList(tables.ltypes, &dashed));
    tables.layers = static_cast<Qdxf_Layer *>(qdxf_AddToList(nullptr, &layer));
    tables.styles = static_cast<Qdxf_Style *>(qdxf_AddToList(nullptr, &style));
    EXPECT_EQ(Printed([&] { qdxf_TablesPrint(&tables); }),
              "2 Line Types:\n"
              "\nname = CONTINUOUS\nhandle = (nil), flags = 0\ntext = Solid\n"
              "alignment = 65, numDashItems = 0\npatternLength = 0\n"
              "\nname = DASHED\nhandle = (nil), flags = 0\ntext = (nil)\n"
              "alignment = 65, numDashItems = 1\npatternLength = 0.5\n\tdashLength[0] = 0.5\n"
              "\n1 Layers:\n"
              "\nname = 0\nhandle = (nil), flags = 0\ncolor = 7, ltypeName = CONTINUOUS\n"
              "\n1 Styles:\n"
              "\nname = STANDARD\nhandle = (nil), flags = 0\n"
              "fixedTextHeight = 0, widthFactor = 1\nobliqueAngle = 0, textGenFlags = 0\n"
              "lastHeightUsed = 2.5\nprimaryFontFile = txt\nbigFontFile = (nil)\n");
}

// ---------------------------------------------------------------------------
// Blocks
// ---------------------------------------------------------------------------

const std::string kDoorHead =
    "layerName = 0\nhandle = 20\nltypeName = BYLAYER\nelevation = 0, thickness = 2\n"
    "color = 256, space = 0\nname = DOOR\ntypeFlag = 2\nbasePoint = (1, 2, 0)\n"
    "xrefPath = (nil)\n\nBlock Entities:\n";

void SetDoor(Qdxf_Block &block) {
    block.layerName = T("0");
    block.handle = T("20");
    block.ltypeName = T("BYLAYER");
    block.thickness = 2;
    block.color = 256;
    block.name = T("DOOR");
    block.typeFlag = 2;
    block.basePoint = {1, 2, 0};
}

TEST(BlockDump, WithoutEntitiesEndsRightAfterTheTitle) {
    Qdxf_Block block{};
    SetDoor(block);
    EXPECT_EQ(Printed([&] { qdxf_BlockPrint(&block); }), kDoorHead + "End Block\n\n");
    Qdxf_Block empty{};
    EXPECT_EQ(Printed([&] { qdxf_BlockPrint(&empty); }),
              "layerName = (nil)\nhandle = (nil)\nltypeName = (nil)\n"
              "elevation = 0, thickness = 0\ncolor = 0, space = 0\nname = (nil)\ntypeFlag = 0\n"
              "basePoint = (0, 0, 0)\nxrefPath = (nil)\n\nBlock Entities:\nEnd Block\n\n");
}

TEST(BlockDump, PrintsEveryEntityInFullInListOrder) {
    Qdxf_Block block{};
    SetDoor(block);
    Qdxf_Entity line{};
    SetCommon(line, QDXF_LINE);
    line.data.line = {{0, 0, 0}, {1, 0, 0}};
    Qdxf_Entity polyline{};
    SetCommon(polyline, QDXF_POLYLINE);
    SetPolyline(polyline, 1, vertices);
    Qdxf_Entity invalid{};
    SetCommon(invalid, QDXF_INVALID);
    for (Qdxf_Entity *entity : {&line, &polyline, &invalid}) {
        entity->block = &block;
        block.entities = static_cast<Qdxf_Entity *>(qdxf_AddToList(block.entities, entity));
    }
    EXPECT_EQ(Printed([&] { qdxf_BlockPrint(&block); }),
              kDoorHead + "Line Entity:\n" + kCommonLines +
                  "start = (0, 0, 0)\nend = (1, 0, 0)\n\n" + "Polyline Entity:\n" + kCommonLines +
                  kPolylineHead + "type = 8, count = 1\n" + kVertexLines[0] + "Invalid Entity:\n" +
                  kCommonLines + "End Block\n\n");
}

}  // namespace
