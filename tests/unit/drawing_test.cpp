// SPDX-License-Identifier: MIT
// Reading takes time in proportion to the file: no list is walked to append
// to it, in any section, however many records it already holds.
#include <gtest/gtest.h>

#include "pellund_testing.h"
#include "test_support.h"

using namespace testing_support;

namespace {

// Entities on one layer, `perSection` in each of `sections` ENTITIES
// sections, after as many one-layer TABLES sections and one-block BLOCKS
// sections.
std::string ManyRecords(int sections, int perSection) {
    std::string text;
    for (int s = 0; s < sections; ++s) {
        std::string layer = std::to_string(s);
        layer.insert(0, 1, 'L');
        text += Ascii(Section("TABLES", Table("LAYER", {{0, "LAYER"}, {2, layer}})));
        text += Ascii(Section("BLOCKS", {{0, "BLOCK"}, {2, "B"}, {0, "POINT"}, {0, "ENDBLK"}}));
        text += "  0\nSECTION\n  2\nENTITIES\n";
        for (int i = 0; i < perSection; ++i)
            text += "  0\nPOINT\n  8\nL0\n";
        text += "  0\nENDSEC\n";
    }
    return text + "  0\nEOF\n";
}

int Length(const Qdxf_Entity *entity) {
    int count = 0;
    for (; entity; entity = entity->next)
        ++count;
    return count;
}

// Appending to a list never walks it: the list service follows no link, in
// any section, however many records the lists already hold. A small drawing
// comes first, so that a reader that walks fails fast rather than slowly.
TEST(Drawing, ReadingNeverWalksAList) {
    for (auto [sections, perSection] :
         {std::pair{1, 2000}, std::pair{2000, 1}, std::pair{1, 200000}}) {
        std::string text = ManyRecords(sections, perSection);
        pellund_TestReset();
        ReadOutcome outcome = ReadContents(text);
        long steps = pellund_TestListSteps();
        ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
        ASSERT_EQ(steps, 0) << sections << " sections of " << perSection;
        const Qdxf_Info &drawing = *outcome.drawing;
        EXPECT_EQ(Length(drawing.entities), sections * perSection);
        int blocks = 0;
        for (const Qdxf_Block *block = drawing.blocks; block; block = block->next)
            ++blocks;
        EXPECT_EQ(blocks, sections);
        const Qdxf_Entity *last = drawing.entities;
        while (last->next)
            last = last->next;
        EXPECT_EQ(last->layer, drawing.tables->layers);
        EXPECT_NE(last->prev, nullptr);
    }
}

}  // namespace
