// SPDX-License-Identifier: MIT
// The colour table: the fixed rows, the rule of the 24 hues, and its shape.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "test_support.h"

namespace {

struct TableDeleter {
    void operator()(Qdxf_ColorTable *table) const { qmsc_HeapFree(table); }
};
using TablePtr = std::unique_ptr<Qdxf_ColorTable, TableDeleter>;

TablePtr NewTable() {
    qerr_Report *report = nullptr;
    TablePtr table(qdxf_ColorTableCreate(&report));
    EXPECT_EQ(report, nullptr);
    return table;
}

TEST(ColorTable, RowsHoldTheirLevelsOver255) {
    struct Row {
        int number, red, green, blue;
    };
    const Row rows[] = {
        {1, 255, 0, 0},     {2, 255, 255, 0},   {5, 0, 0, 255},       {7, 255, 255, 255},
        {8, 128, 128, 128}, {9, 192, 192, 192}, {10, 255, 0, 0},      {11, 255, 127, 127},
        {24, 127, 31, 0},   {43, 165, 145, 82}, {130, 0, 255, 255},   {171, 127, 127, 255},
        {249, 38, 19, 23},  {250, 84, 84, 84},  {253, 192, 192, 192}, {254, 224, 224, 224},
        {255, 0, 0, 0},
    };
    TablePtr table = NewTable();
    ASSERT_TRUE(table);
    for (const Row &row : rows) {
        const Qdxf_ColorEntry &entry = table->entries[row.number];
        EXPECT_EQ(entry.red, row.red / 255.0) << row.number;
        EXPECT_EQ(entry.green, row.green / 255.0) << row.number;
        EXPECT_EQ(entry.blue, row.blue / 255.0) << row.number;
    }
}

TEST(ColorTable, OnlyColourNumbersHaveColours) {
    TablePtr table = NewTable();
    ASSERT_TRUE(table);
    for (int n : {0, 256}) {
        const Qdxf_ColorEntry &entry = table->entries[n];
        EXPECT_EQ(entry.red + entry.green + entry.blue + entry.spare1 + entry.spare2, 0.0);
    }
    for (int n = 1; n <= 255; ++n) {
        const Qdxf_ColorEntry &entry = table->entries[n];
        EXPECT_EQ(entry.spare1, 0.0);
        EXPECT_EQ(entry.spare2, 0.0);
        for (double level : {entry.red, entry.green, entry.blue}) {
            double k = level * 255.0;
            EXPECT_EQ(level, static_cast<int>(k + 0.5) / 255.0) << n;  // exactly k / 255
        }
    }
}

TEST(ColorTable, EveryCallGivesItsOwnEqualTable) {
    TablePtr first = NewTable();
    TablePtr second = NewTable();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(std::memcmp(first.get(), second.get(), sizeof(Qdxf_ColorTable)), 0);
}

}  // namespace
