// SPDX-License-Identifier: MIT
// The BLOCKS section: block headers, their entities and layers, the groups
// that are skipped, and every failure.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

namespace {

using Chain = std::vector<std::string>;

const std::vector<Group> kLayers =
    Section("TABLES", Table("LAYER", {{0, "LAYER"}, {2, "0"}, {0, "LAYER"}, {2, "PARTS"}}));

const std::vector<Group> kBlocks = Section(
    "BLOCKS",
    {
        {5, "stray"},  // groups before the first BLOCK are skipped
        {0, "BLOCK"},    {8, "PARTS"}, {2, "DOOR"},   {3, "DOOR"},  // the name repeated: no member
        {70, 2},         {10, 1.0},    {20, 2.0},     {30, 3.0},
        {1, "door.dwg"}, {5, "20"},    {6, "DASHED"}, {38, 0.5},
        {39, 1.5},       {62, 4},      {67, 1},       {0, "LINE"},
        {8, "0"},        {11, 1.0},    {0, "CIRCLE"}, {40, 2.0},
        {0, "ENDBLK"},   {5, "21"},  // the ENDBLK's own groups are skipped
        {8, "PARTS"},    {0, "BLOCK"}, {2, "EMPTY"},  {8, "PARTS"},
        {11, 4.0},  // 11, 21, 31 are the base point too
        {21, 5.0},       {31, 6.0},    {0, "ENDBLK"},
    });

TEST(Blocks, ReadsBlocksWithTheirEntitiesInEveryForm) {
    std::vector<Group> groups = Drawing({kLayers, kBlocks});
    for (const std::string &contents : {Ascii(groups), Binary(groups), Binary(groups, true)}) {
        ReadOutcome outcome = ReadContents(contents);
        ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
        const Qdxf_Block *door = outcome.drawing->blocks;
        const Qdxf_Layer *parts = outcome.drawing->tables->layers->next;
        ASSERT_NE(door, nullptr);
        EXPECT_EQ(door->prev, nullptr);
        EXPECT_STREQ(door->name, "DOOR");
        EXPECT_STREQ(door->layerName, "PARTS");
        EXPECT_EQ(door->layer, parts);
        EXPECT_EQ(door->typeFlag, 2);
        EXPECT_EQ(door->basePoint.x, 1.0);
        EXPECT_EQ(door->basePoint.y, 2.0);
        EXPECT_EQ(door->basePoint.z, 3.0);
        EXPECT_STREQ(door->xrefPath, "door.dwg");
        EXPECT_STREQ(door->handle, "20");
        EXPECT_STREQ(door->ltypeName, "DASHED");
        EXPECT_EQ(door->elevation, 0.5);
        EXPECT_EQ(door->thickness, 1.5);
        EXPECT_EQ(door->color, 4);
        EXPECT_EQ(door->space, 1);

        const Qdxf_Entity *line = door->entities;
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->type, QDXF_LINE);
        EXPECT_EQ(line->block, door);
        EXPECT_EQ(line->layer, outcome.drawing->tables->layers);
        EXPECT_EQ(line->data.line.end.x, 1.0);
        ASSERT_NE(line->next, nullptr);
        EXPECT_EQ(line->next->type, QDXF_CIRCLE);
        EXPECT_EQ(line->next->prev, line);
        EXPECT_EQ(line->next->block, door);
        EXPECT_EQ(line->next->next, nullptr);

        // Without entities: no list, and no layer although PARTS exists.
        const Qdxf_Block *empty = door->next;
        ASSERT_NE(empty, nullptr);
        EXPECT_EQ(empty->prev, door);
        EXPECT_STREQ(empty->name, "EMPTY");
        EXPECT_EQ(empty->color, 256);
        EXPECT_EQ(empty->entities, nullptr);
        EXPECT_EQ(empty->layer, nullptr);
        EXPECT_EQ(empty->basePoint.x, 4.0);
        EXPECT_EQ(empty->basePoint.z, 6.0);
        EXPECT_EQ(empty->next, nullptr);
        EXPECT_EQ(outcome.drawing->entities, nullptr);
    }
}

TEST(Blocks, AnEmptySectionLeavesNoBlocks) {
    ReadOutcome outcome = ReadContents(Ascii(Drawing({Section("BLOCKS", {})})));
    ASSERT_TRUE(outcome.drawing);
    EXPECT_EQ(outcome.drawing->blocks, nullptr);
}

TEST(Blocks, BlocksReadWithoutTablesHaveNoLayer) {
    ReadOutcome outcome = ReadContents(Ascii(Drawing({kBlocks})));
    ASSERT_TRUE(outcome.drawing);
    EXPECT_EQ(outcome.drawing->blocks->layer, nullptr);
    EXPECT_EQ(outcome.drawing->blocks->entities->layer, nullptr);
}

TEST(Blocks, KindsLoggedInABlockAreNotLoggedAgainInEntities) {
    LogCapture log;
    ReadOutcome outcome = ReadContents(Ascii(Drawing(
        {Section("BLOCKS", {{0, "BLOCK"}, {2, "B"}, {0, "ATTDEF"}, {2, "TAG"}, {0, "ENDBLK"}}),
         Section("ENTITIES", {{0, "ATTDEF"}, {0, "HATCH"}})})));
    ASSERT_TRUE(outcome.drawing);
    EXPECT_EQ(outcome.drawing->blocks->entities->type, QDXF_INVALID);
    EXPECT_EQ(outcome.drawing->blocks->entities->block, outcome.drawing->blocks);
    EXPECT_EQ(log.messages(), (Chain{"ATTDEF entity ignored", "HATCH entity ignored"}));
}

struct BlocksFailure {
    const char *name;
    std::vector<Group> body;  // after (0, SECTION), (2, BLOCKS)
    Chain tail;               // after the three outer levels
};

TEST(Blocks, EveryFailureGivesItsWholeChain) {
    const BlocksFailure cases[] = {
        {"a code-0 group that is no block", {{0, "LINE"}}, {"Error reading BLOCK section"}},
        {"a last block without ENDBLK",
         {{0, "BLOCK"}, {2, "B"}, {0, "LINE"}, {0, "ENDSEC"}, {0, "SECTION"}, {2, "ENTITIES"}},
         {"Error reading BLOCK section"}},
        {"cut before a block",
         {{5, "1"}},
         {"Error reading group", "Error reading group", "Error reading file {FILE}, line 7"}},
        {"cut inside a block header",
         {{0, "BLOCK"}, {2, "B"}},
         {"Error reading entity data group", "Error reading group",
          "Error reading file {FILE}, line 9"}},
        {"cut inside a block's entity",
         {{0, "BLOCK"}, {2, "B"}, {0, "LINE"}, {10, 1.0}},
         {"Error reading entity", "Error reading entity data group", "Error reading group",
          "Error reading file {FILE}, line 13"}},
        {"a section without ENDSEC",
         {{0, "BLOCK"}, {2, "B"}, {0, "ENDBLK"}, {0, "EOF"}},
         {"Error reading BLOCK section"}},
    };
    for (const BlocksFailure &c : cases) {
        TempFile file(Ascii(std::vector<Group>{{0, "SECTION"}, {2, "BLOCKS"}} + c.body));
        ReadOutcome outcome = ReadFile(file.path());
        EXPECT_EQ(outcome.drawing, nullptr) << c.name;
        Chain expected = {"Error reading section", "Error reading BLOCKS section",
                          "Error reading entity"};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(outcome.messages(), ChainFor(expected, file.path())) << c.name;
    }
    ReadOutcome outcome = ReadContents(Ascii({{0, "SECTION"}, {2, "BLOCKS"}, {0, "BLOCK"}}));
    Chain levels = Levels(outcome.report.get());
    ASSERT_EQ(levels.size(), 6u);
    EXPECT_EQ(levels[1], "ReadSection: Error reading BLOCKS section");
    EXPECT_EQ(levels[2], "ReadBlockList: Error reading entity");
    EXPECT_EQ(levels[3], "ReadBlock: Error reading entity data group");
}

}  // namespace
