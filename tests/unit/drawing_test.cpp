// SPDX-License-Identifier: MIT
// Whole drawings with every section: an exhausted heap, failing reads and
// cuts at every place fail cleanly, without a leak; reading takes time in
// proportion to the file, since no list is walked to append to it.
#include <gtest/gtest.h>

#include <set>

#include "pellund_testing.h"
#include "test_support.h"

using namespace testing_support;

namespace {

const std::vector<Group> kDrawing = Drawing({
    Section("HEADER", {{9, "$ACADVER"}, {1, "AC1009"}, {9, "$EXTMAX"}, {10, 5.0}, {20, 5.0}}),
    Section(
        "TABLES",
        Table("LTYPE", {{0, "LTYPE"}, {2, "DASHED"}, {5, "14"}, {73, 2}, {49, 0.5}, {49, -0.5}}) +
            Table("LAYER", {{0, "LAYER"}, {2, "0"}, {5, "F"}, {6, "DASHED"}}) +
            Table("STYLE", {{0, "STYLE"}, {2, "S"}, {5, "11"}, {3, "txt"}}) +
            Table("VIEW", {{0, "VIEW"}, {2, "V"}})),
    Section("BLOCKS", {{0, "BLOCK"},
                       {2, "B"},
                       {8, "0"},
                       {1, "x"},
                       {0, "TEXT"},
                       {1, "in a block"},
                       {11, 1.0},
                       {0, "ATTDEF"},
                       {0, "ENDBLK"}}),
    Section("ENTITIES", {{0, "LINE"}, {8, "0"},      {5, "1"},      {6, "DASHED"},   {0, "INSERT"},
                         {2, "B"},    {0, "ATTRIB"}, {0, "SEQEND"}, {0, "POLYLINE"}, {0, "VERTEX"},
                         {10, 1.0},   {0, "VERTEX"}, {0, "SEQEND"}, {0, "3DFACE"},   {10, 1.0},
                         {30, 1.0},   {0, "TEXT"},   {1, "t"},      {7, "S"},        {21, 1.0}}),
});

std::vector<std::pair<const char *, std::string>> Forms() {
    return {{"ASCII", Ascii(kDrawing)},
            {"binary", Binary(kDrawing)},
            {"binary with two-byte codes", Binary(kDrawing, true)}};
}

// What the innermost report of a failure under an exhausted heap may say: the
// operation that could not allocate, or the toolkit itself.
const std::set<std::string> kOutOfMemory = {"Memory allocation error",
                                            "Error allocating vertex list", "Out of memory",
                                            "Cannot allocate memory"};

// Each allocation failing on its own, and the heap staying exhausted from
// each one on, where even a report cannot be had.
TEST(Drawing, AnExhaustedHeapFailsEveryReadCleanly) {
    for (const auto &[form, contents] : Forms()) {
        TempFile file(contents);
        long liveBefore = pellund_TestLiveBlocks();
        for (auto arm : {pellund_TestFailAllocation, pellund_TestExhaustHeap}) {
            bool onward = arm == pellund_TestExhaustHeap;
            int failures = 0;
            for (long n = 1;; ++n) {
                std::string where = std::string(form) +
                                    (onward ? ", from allocation " : ", allocation ") +
                                    std::to_string(n);
                pellund_TestReset();
                arm(n);
                ReadOutcome outcome = ReadFile(file.path());
                pellund_TestReset();
                if (outcome.drawing) break;
                ++failures;
                ASSERT_NE(outcome.report, nullptr) << where;
                std::string innermost = outcome.messages().back();
                EXPECT_TRUE(kOutOfMemory.count(innermost))
                    << where << ": " << ::testing::PrintToString(Levels(outcome.report.get()));
                outcome = {};
                EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore) << where;
                ASSERT_LT(n, 10000) << "a read that never succeeds";
            }
            EXPECT_GT(failures, 50) << form;
        }
        EXPECT_EQ(pellund_TestOpenHandles(), 0);
    }
}

TEST(Drawing, AFailingFileReadFailsEveryReadCleanly) {
    for (const auto &[form, contents] : Forms()) {
        TempFile file(contents);
        long liveBefore = pellund_TestLiveBlocks();
        for (long n = 1;; ++n) {
            pellund_TestReset();
            pellund_TestFailRead(n);
            ReadOutcome outcome = ReadFile(file.path());
            pellund_TestReset();
            if (outcome.drawing) break;
            EXPECT_NE(outcome.report, nullptr) << form << ", read " << n;
            outcome = {};
            EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore) << form << ", read " << n;
            ASSERT_LT(n, 10000) << "a read that never succeeds";
        }
        EXPECT_EQ(pellund_TestOpenHandles(), 0);
    }
}

// Cut anywhere before its EOF group, a drawing fails with a report and
// leaves nothing behind.
TEST(Drawing, EveryCutFailsCleanly) {
    for (const auto &[form, whole] : Forms()) {
        long liveBefore = pellund_TestLiveBlocks();
        std::size_t eof = whole.rfind("EOF");
        for (std::size_t size = 0; size < eof; ++size) {
            ReadOutcome outcome = ReadContents(whole.substr(0, size));
            EXPECT_EQ(outcome.drawing, nullptr) << form << ", cut at " << size;
            EXPECT_NE(outcome.report, nullptr) << form << ", cut at " << size;
        }
        EXPECT_EQ(pellund_TestOpenHandles(), 0);
        EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore);
    }
}

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
