// SPDX-License-Identifier: MIT
// The TABLES section: the LTYPE, LAYER and STYLE tables, the tables that are
// skipped, the dash-length rules, line types of layers, and every failure.
#include <gtest/gtest.h>

#include <cmath>

#include "test_support.h"

using namespace testing_support;

namespace {

using Chain = std::vector<std::string>;

Chain Join(Chain head, const Chain &tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

constexpr double kPi = 3.141592653589793;

const std::vector<Group> kVport = Table("VPORT", {{70, 1},
                                                  {0, "VPORT"},
                                                  {2, "*ACTIVE"},
                                                  {10, 0.0},
                                                  {20, 0.0},
                                                  {40, 297.0},
                                                  {0, "LAYER"},  // any entry name: skipped
                                                  {2, "not a layer"}});

const std::vector<Group> kLtypes =
    Table("LTYPE", {
                       {5, "5"},     {70, 2},           {0, "LTYPE"}, {2, "CONTINUOUS"}, {5, "14"},
                       {70, 0},      {3, "Solid line"}, {72, 65},     {73, 0},           {40, 0.0},
                       {0, "LTYPE"}, {2, "DASHED"},     {70, 64},     {3, "__ __ __"},   {72, 65},
                       {73, 2},      {40, 0.75},        {49, 0.5},    {49, -0.25},
                   });

const std::vector<Group> kLayers = Table("LAYER", {
                                                      {70, 3},
                                                      {0, "LAYER"},
                                                      {2, "0"},
                                                      {70, 0},
                                                      {62, 7},
                                                      {6, "CONTINUOUS"},
                                                      {0, "LAYER"},
                                                      {2, "HIDDEN"},
                                                      {5, "1A"},
                                                      {70, 4},
                                                      {62, -3},  // off: stays negative
                                                      {6, "DASHED"},
                                                      {0, "LAYER"},
                                                      {2, "LOOSE"},
                                                      {6, "NO SUCH TYPE"},
                                                  });

const std::vector<Group> kStyles = Table("STYLE", {
                                                      {0, "STYLE"},
                                                      {2, "STANDARD"},
                                                      {5, "11"},
                                                      {70, 0},
                                                      {40, 0.0},
                                                      {41, 1.0},
                                                      {50, 15.0},
                                                      {71, 2},
                                                      {42, 2.5},
                                                      {3, "txt"},
                                                      {4, "bigfont.shx"},
                                                  });

const std::vector<Group> kOtherTables = Table("VIEW", {}) + Table("UCS", {{0, "UCS"}, {2, "U"}}) +
                                        Table("APPID", {{0, "APPID"}, {2, "ACAD"}, {70, 0}}) +
                                        Table("DIMSTYLE", {{0, "DIMSTYLE"}, {2, "STANDARD"}});

const std::vector<Group> kAllTables =
    Drawing({Section("TABLES", kVport + kLtypes + kLayers + kStyles + kOtherTables)});

template <typename T>
std::vector<const T *> Records(const T *list) {
    std::vector<const T *> records;
    for (const T *record = list; record; record = record->next) {
        EXPECT_EQ(record->prev, records.empty() ? nullptr : records.back());
        records.push_back(record);
    }
    return records;
}

TEST(Tables, ReadsTheThreeTablesInEveryFormAndSkipsTheRest) {
    for (const std::string &contents :
         {Ascii(kAllTables), Binary(kAllTables), Binary(kAllTables, true)}) {
        ReadOutcome outcome = ReadContents(contents);
        ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
        const Qdxf_Tables *tables = outcome.drawing->tables;
        ASSERT_NE(tables, nullptr);

        auto ltypes = Records(tables->ltypes);
        ASSERT_EQ(ltypes.size(), 2u);
        EXPECT_STREQ(ltypes[0]->name, "CONTINUOUS");
        EXPECT_STREQ(ltypes[0]->handle, "14");
        EXPECT_STREQ(ltypes[0]->text, "Solid line");
        EXPECT_EQ(ltypes[0]->alignment, 65);
        EXPECT_EQ(ltypes[0]->numDashItems, 0);
        EXPECT_EQ(ltypes[0]->dashLength, nullptr);
        EXPECT_STREQ(ltypes[1]->name, "DASHED");
        EXPECT_EQ(ltypes[1]->handle, nullptr);
        EXPECT_EQ(ltypes[1]->flags, 64);
        EXPECT_EQ(ltypes[1]->patternLength, 0.75);
        ASSERT_EQ(ltypes[1]->numDashItems, 2);
        EXPECT_EQ(ltypes[1]->dashLength[0], 0.5);
        EXPECT_EQ(ltypes[1]->dashLength[1], -0.25);

        auto layers = Records(tables->layers);
        ASSERT_EQ(layers.size(), 3u);
        EXPECT_STREQ(layers[0]->name, "0");
        EXPECT_EQ(layers[0]->color, 7);
        EXPECT_EQ(layers[0]->ltype, ltypes[0]);
        EXPECT_STREQ(layers[1]->handle, "1A");
        EXPECT_EQ(layers[1]->flags, 4);
        EXPECT_EQ(layers[1]->color, -3);
        EXPECT_STREQ(layers[1]->ltypeName, "DASHED");
        EXPECT_EQ(layers[1]->ltype, ltypes[1]);
        EXPECT_EQ(layers[2]->ltype, nullptr);

        auto styles = Records(tables->styles);
        ASSERT_EQ(styles.size(), 1u);
        const Qdxf_Style &style = *styles[0];
        EXPECT_STREQ(style.name, "STANDARD");
        EXPECT_STREQ(style.handle, "11");
        EXPECT_EQ(style.fixedTextHeight, 0.0);
        EXPECT_EQ(style.widthFactor, 1.0);
        EXPECT_EQ(style.obliqueAngle, 15 * kPi / 180);
        EXPECT_EQ(style.textGenFlags, 2);
        EXPECT_EQ(style.lastHeightUsed, 2.5);
        EXPECT_STREQ(style.primaryFontFile, "txt");
        EXPECT_STREQ(style.bigFontFile, "bigfont.shx");
    }
}

TEST(Tables, AnEmptySectionGivesThreeEmptyLists) {
    ReadOutcome outcome = ReadContents(Ascii(Drawing({Section("TABLES", {})})));
    ASSERT_TRUE(outcome.drawing);
    ASSERT_NE(outcome.drawing->tables, nullptr);
    EXPECT_EQ(outcome.drawing->tables->ltypes, nullptr);
    EXPECT_EQ(outcome.drawing->tables->layers, nullptr);
    EXPECT_EQ(outcome.drawing->tables->styles, nullptr);
}

TEST(Tables, LayersFindOnlyTheLineTypesReadBeforeThem) {
    std::vector<Group> before = Table("LAYER", {{0, "LAYER"}, {2, "L"}, {6, "DASHED"}});
    ReadOutcome early = ReadContents(Ascii(Drawing({Section("TABLES", before + kLtypes)})));
    ASSERT_TRUE(early.drawing);
    EXPECT_EQ(early.drawing->tables->layers->ltype, nullptr);

    // A layer without group 6 finds the first line type without a name.
    std::vector<Group> nameless = Table("LTYPE", {{0, "LTYPE"}, {2, "A"}, {0, "LTYPE"}, {70, 0}});
    std::vector<Group> layer = Table("LAYER", {{0, "LAYER"}, {2, "L"}});
    ReadOutcome outcome = ReadContents(Ascii(Drawing({Section("TABLES", nameless + layer)})));
    ASSERT_TRUE(outcome.drawing);
    const Qdxf_Tables &tables = *outcome.drawing->tables;
    EXPECT_EQ(tables.layers->ltype, tables.ltypes->next);
}

TEST(Tables, DashLengthsFollowGroup73) {
    struct Case {
        const char *name;
        std::vector<Group> groups;
        int count;
        std::vector<double> dashes;  // empty: no array
    };
    const Case cases[] = {
        {"fewer lengths than the count", {{73, 3}, {49, 1.0}, {49, 2.0}}, 3, {1.0, 2.0, 0.0}},
        {"more lengths than the count", {{73, 2}, {49, 1.0}, {49, 2.0}, {49, 3.0}}, 2, {1.0, 2.0}},
        {"lengths before the count", {{49, 9.0}, {73, 2}, {49, 1.0}}, 2, {1.0, 0.0}},
        {"a count of 0", {{73, 0}, {49, 1.0}}, 0, {}},
        {"a negative count", {{73, -5}, {49, 1.0}}, -5, {}},
        {"a later count replaces the array, not the position",
         {{73, 3}, {49, 1.0}, {49, 2.0}, {73, 3}, {49, 3.0}},
         3,
         {0.0, 0.0, 3.0}},
    };
    for (const Case &c : cases) {
        std::vector<Group> entry = std::vector<Group>{{0, "LTYPE"}, {2, "T"}} + c.groups;
        ReadOutcome outcome =
            ReadContents(Ascii(Drawing({Section("TABLES", Table("LTYPE", entry))})));
        ASSERT_TRUE(outcome.drawing) << c.name;
        const Qdxf_Ltype &ltype = *outcome.drawing->tables->ltypes;
        EXPECT_EQ(ltype.numDashItems, c.count) << c.name;
        if (c.dashes.empty()) {
            EXPECT_EQ(ltype.dashLength, nullptr) << c.name;
            continue;
        }
        ASSERT_NE(ltype.dashLength, nullptr) << c.name;
        EXPECT_EQ(std::vector<double>(ltype.dashLength, ltype.dashLength + c.count), c.dashes)
            << c.name;
    }
}

TEST(Tables, TablesWithoutTheirEndStillRead) {
    // A LAYER table without ENDTAB ends at the next TABLE or at ENDSEC.
    std::vector<Group> open = {{0, "TABLE"}, {2, "LAYER"}, {0, "LAYER"}, {2, "A"}};
    for (const auto &groups :
         {Drawing({Section("TABLES", open + kStyles)}), Drawing({Section("TABLES", open)})}) {
        ReadOutcome outcome = ReadContents(Ascii(groups));
        ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
        EXPECT_STREQ(outcome.drawing->tables->layers->name, "A");
    }
    // A skipped table without ENDTAB reads on to the next ENDTAB of the file,
    // here in a later section; what lies between is lost.
    std::vector<Group> skipped = {{0, "TABLE"}, {2, "VIEW"}, {0, "VIEW"}};
    ReadOutcome outcome =
        ReadContents(Ascii(Drawing({Section("TABLES", skipped), Section("ENTITIES", {{0, "POINT"}}),
                                    Section("TABLES", kLayers)})));
    ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
    EXPECT_EQ(outcome.drawing->entities, nullptr);
    EXPECT_EQ(outcome.drawing->tables->layers, nullptr);
}

TEST(Tables, EntriesWithoutGroupsMakeNoRecord) {
    // Directly followed by ENDTAB: no record, the table ends normally.
    std::vector<Group> empty = {{0, "TABLE"}, {2, "LAYER"}, {0, "LAYER"}, {0, "ENDTAB"}};
    ReadOutcome outcome =
        ReadContents(Ascii(Drawing({Section("TABLES", kLtypes + empty + kStyles)})));
    ASSERT_TRUE(outcome.drawing);
    EXPECT_EQ(outcome.drawing->tables->layers, nullptr);
    EXPECT_NE(outcome.drawing->tables->styles, nullptr);
}

TEST(Tables, ASecondSectionAppendsToTheSameLists) {
    ReadOutcome outcome = ReadContents(
        Ascii(Drawing({Section("TABLES", kLayers),
                       Section("TABLES", Table("LAYER", {{0, "LAYER"}, {2, "4th"}}))})));
    ASSERT_TRUE(outcome.drawing);
    auto layers = Records(outcome.drawing->tables->layers);
    ASSERT_EQ(layers.size(), 4u);
    EXPECT_STREQ(layers[3]->name, "4th");
}

struct TablesFailure {
    const char *name;
    std::vector<Group> body;  // after (0, SECTION), (2, TABLES)
    Chain tail;               // after "Error reading section", "Error reading TABLES section"
};

TEST(Tables, EveryFailureGivesItsWholeChain) {
    const TablesFailure cases[] = {
        {"a code-0 group that is no table", {{0, "LAYER"}}, {"Error finding table section"}},
        {"a table start of the wrong code",
         {{2, "TABLE"}},
         {"Error finding table section",
          "Line 6: Expected group code of 0, group code 2 encountered"}},
        {"a table name of the wrong code",
         {{0, "TABLE"}, {70, 1}},
         {"Error finding table type",
          "Line 8: Expected group code of 2, group code 70 encountered"}},
        {"an entry of another table",
         {{0, "TABLE"}, {2, "LTYPE"}, {0, "LAYER"}, {2, "0"}},
         {"Error reading LTYPE table", "Error finding LTYPE group"}},
        {"an entry type directly followed by another",
         {{0, "TABLE"}, {2, "STYLE"}, {0, "STYLE"}, {0, "STYLE"}, {2, "S"}},
         {"Error finding table section"}},
        {"cut inside a line type",
         {{0, "TABLE"}, {2, "LTYPE"}, {0, "LTYPE"}, {2, "DASHED"}},
         {"Error reading LTYPE table", "Error reading LTYPE table", "Error reading group",
          "Error reading group", "Error reading file {FILE}, line 13"}},
        {"cut inside a layer",
         {{0, "TABLE"}, {2, "LAYER"}, {0, "LAYER"}, {2, "0"}},
         {"Error reading LAYER table", "Error reading LAYER table", "Error reading group",
          "Error reading group", "Error reading file {FILE}, line 13"}},
        {"cut inside a style",
         {{0, "TABLE"}, {2, "STYLE"}, {0, "STYLE"}, {2, "S"}},
         {"Error reading STYLE table", "Error reading STYLE table", "Error reading group",
          "Error reading group", "Error reading file {FILE}, line 13"}},
        {"cut before the first entry",
         {{0, "TABLE"}, {2, "LAYER"}, {70, 1}},
         {"Error reading LAYER table", "Error reading group", "Error reading group",
          "Error reading file {FILE}, line 11"}},
        {"cut inside a skipped table",
         {{0, "TABLE"}, {2, "VPORT"}, {0, "VPORT"}},
         {"Error skipping table", "Error reading group values", "Error reading group",
          "Error reading file {FILE}, line 11"}},
        {"a section without ENDSEC",
         {{0, "TABLE"}, {2, "LAYER"}, {0, "ENDTAB"}, {0, "EOF"}},
         {"Error finding table section"}},
        {"cut where a table should start",
         {},
         {"Error finding table section", "Error reading group values", "Error reading group",
          "Error reading file {FILE}, line 5"}},
        {"a dash count no file of this size can hold",
         {{0, "TABLE"}, {2, "LTYPE"}, {0, "LTYPE"}, {2, "T"}, {73, 2000000000}, {49, 1.0}},
         {"Error reading LTYPE table", "Error reading LTYPE table",
          "Line 14: Dash count 2000000000 is more than the file can hold"}},
    };
    for (const TablesFailure &c : cases) {
        TempFile file(Ascii(std::vector<Group>{{0, "SECTION"}, {2, "TABLES"}} + c.body));
        ReadOutcome outcome = ReadFile(file.path());
        EXPECT_EQ(outcome.drawing, nullptr) << c.name;
        EXPECT_EQ(outcome.messages(),
                  ChainFor(Join({"Error reading section", "Error reading TABLES section"}, c.tail),
                           file.path()))
            << c.name;
    }
}

TEST(Tables, ReportsNameTheFunctionsOfTheChain) {
    ReadOutcome outcome = ReadContents(Ascii(std::vector<Group>{
        {0, "SECTION"}, {2, "TABLES"}, {0, "TABLE"}, {2, "STYLE"}, {0, "STYLE"}}));
    Chain levels = Levels(outcome.report.get());
    ASSERT_EQ(levels.size(), 7u);
    EXPECT_EQ(levels[1], "ReadSection: Error reading TABLES section");
    EXPECT_EQ(levels[2], "ReadTables: Error reading STYLE table");
    EXPECT_EQ(levels[3], "ReadStyleTable: Error reading STYLE table");
    EXPECT_EQ(levels[4], "ReadSingleStyle: Error reading group");
    EXPECT_EQ(levels[5], "ReadGroup: Error reading group");
}

// Dash lengths take memory in proportion to the file: a count the file cannot
// fill is refused, and so is a run of entries that each ask for a count the
// file could fill on its own.
TEST(Tables, DashCountsStayWithinWhatTheFileCanHold) {
    // In a binary file a count is at most 32767, still more than a small file
    // can fill; the report names the offset after the group.
    std::vector<Group> entry = {{0, "LTYPE"}, {2, "T"}, {73, 32767}};
    std::string binary = Binary(
        std::vector<Group>{{0, "SECTION"}, {2, "TABLES"}, {0, "TABLE"}, {2, "LTYPE"}} + entry);
    ReadOutcome refused = ReadContents(binary);
    EXPECT_EQ(refused.messages().back(), "Byte offset " + std::to_string(binary.size()) +
                                             ": Dash count 32767 is more than the file can hold");

    // One entry asking for what the whole file could fill reads; a second one
    // asking as much no longer fits.
    std::string padding(40000, ' ');
    auto drawing = [&](int entries) {
        std::vector<Group> ltypes;
        for (int i = 0; i < entries; ++i)
            ltypes = ltypes + std::vector<Group>{{0, "LTYPE"}, {2, "T"}, {73, 10000}};
        return Ascii(Drawing({Section("TABLES", Table("LTYPE", ltypes))})) + padding;
    };
    ReadOutcome one = ReadContents(drawing(1));
    ASSERT_TRUE(one.drawing) << ::testing::PrintToString(one.messages());
    EXPECT_EQ(one.drawing->tables->ltypes->numDashItems, 10000);
    ReadOutcome many = ReadContents(drawing(1000));
    EXPECT_EQ(many.drawing, nullptr);
    EXPECT_EQ(many.messages().back(), "Line 20: Dash count 10000 is more than the file can hold");
}

}  // namespace
