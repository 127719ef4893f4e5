// SPDX-License-Identifier: MIT
// The exports that take options: what null options mean, which options are
// refused, and what an entity callback sees and can stop.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

namespace {

const std::string kTwoLines = Ascii(Drawing(
    {Section("ENTITIES", {{0, "LINE"}, {8, "0"}, {10, 1.0}, {0, "LINE"}, {8, "0"}, {11, 2.0}})}));

TEST(Options, BadOptionsAreRefusedByEveryExport) {
    TempFile file(kTwoLines);
    struct Case {
        unsigned size;
        unsigned flags;
        const char *message;
    };
    const Case cases[] = {
        {4, 0, "Read options of 4 bytes: at least 8 expected"},
        {sizeof(Qdxf_ReadOptions), 0x10, "Unknown read option flags 0x10"},
    };
    for (const Case &bad : cases) {
        Qdxf_ReadOptions options{bad.size, bad.flags, 0.0};
        qerr_Report *report = nullptr;
        EXPECT_EQ(qdxf_ReadWithOptions(file.c_str(), nullptr, &options, &report), nullptr);
        EXPECT_EQ(Levels(report),
                  std::vector<std::string>{std::string("qdxf_ReadWithOptions: ") + bad.message});
        qerr_ReportFree(report);
        auto count = [](void *, const Qdxf_Info *, const Qdxf_Entity *) { return 0; };
        EXPECT_EQ(qdxf_ReadEach(file.c_str(), nullptr, &options, count, nullptr, &report), nullptr);
        EXPECT_EQ(Messages(report), std::vector<std::string>{bad.message});
        qerr_ReportFree(report);
    }
    Qdxf_WriteOptions write{4, 0};
    qerr_Report *report = nullptr;
    TempFile out;
    qdxf_WriteWithOptions(ReadFile(file.path()).drawing.get(), out.c_str(), 0, &write, &report);
    EXPECT_EQ(Messages(report),
              std::vector<std::string>{"Write options of 4 bytes: at least 8 expected"});
    qerr_ReportFree(report);
}

TEST(Options, NullOptionsReadAndWriteAsThePlainExports) {
    TempFile file(kTwoLines);
    ReadOutcome plain = ReadFile(file.path());
    DrawingPtr drawing(qdxf_ReadWithOptions(file.c_str(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(drawing && plain.drawing);
    EXPECT_EQ(drawing->entities->next->data.line.end.x, 2.0);
    TempFile a, b;
    qdxf_Write(plain.drawing.get(), a.c_str(), 0, 0, nullptr);
    qdxf_WriteWithOptions(drawing.get(), b.c_str(), 0, nullptr, nullptr);
    EXPECT_EQ(a.Contents(), b.Contents());
    // A missing file gives the chain of qdxf_Read.
    qerr_Report *report = nullptr;
    EXPECT_EQ(qdxf_ReadWithOptions("missing.dxf", nullptr, nullptr, &report), nullptr);
    EXPECT_EQ(Levels(report)[0], "qdxf_Read: Error opening file missing.dxf");
    qerr_ReportFree(report);
}

TEST(Options, EachEntityGoesToTheCallbackUntilItStops) {
    TempFile file(kTwoLines);
    for (int stopAfter : {0, 1}) {
        struct Seen {
            int stopAfter;
            std::vector<double> endX;
        } seen{stopAfter, {}};
        auto take = [](void *context, const Qdxf_Info *, const Qdxf_Entity *entity) {
            auto &state = *static_cast<Seen *>(context);
            state.endX.push_back(entity->data.line.end.x);
            return static_cast<int>(state.endX.size()) == state.stopAfter ? 1 : 0;
        };
        qerr_Report *report = nullptr;
        DrawingPtr drawing(qdxf_ReadEach(file.c_str(), nullptr, nullptr, take, &seen, &report));
        ASSERT_TRUE(drawing);
        EXPECT_EQ(report, nullptr);
        EXPECT_EQ(drawing->entities, nullptr);
        const std::vector<double> expected =
            stopAfter ? std::vector<double>{0.0} : std::vector<double>{0.0, 2.0};
        EXPECT_EQ(seen.endX, expected);
    }
}

}  // namespace
