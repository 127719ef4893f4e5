// SPDX-License-Identifier: MIT
// Reading a drawing under every fault in turn, whole and entity by entity:
// each allocation failing, the heap exhausted from each allocation on, each
// file read failing, the file failing at each byte, and the file cut short at
// each byte. Each time the read must fail with a report (never report
// success), and leave nothing allocated and no file open.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>
#include <tuple>

#include "pellund_testing.h"
#include "test_support.h"

using namespace testing_support;

namespace {

// Every section, every table the reader keeps and one it skips, every kind,
// a kind it does not read and a block with entities.
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

using Drawings = std::vector<std::pair<std::string, std::string>>;

Drawings Forms() {
    return {{"ASCII", Ascii(kDrawing)},
            {"binary", Binary(kDrawing)},
            {"binary with two-byte codes", Binary(kDrawing, true)}};
}

// That drawing in every form, and the example drawing (every entity kind,
// tables and blocks) in both.
Drawings FormsAndExample() {
    Drawings drawings = Forms();
    std::string house =
        ReadWholeFile(std::filesystem::path(VEXLITH_SOURCE_DIR) / "examples/house.dxf");
    drawings.emplace_back("example", house);
    drawings.emplace_back("binary example", Binary(GroupsOf(house)));
    return drawings;
}

struct Fault {
    const char *name;
    void (*arm)(long n);
    long (*count)();   // how many calls of its kind a clean read makes
    bool outOfMemory;  // the innermost report says the heap gave out
};

const Fault kFaults[] = {
    {"allocation", pellund_TestFailAllocation, pellund_TestAllocationCount, true},
    // Where even a report cannot be had.
    {"every allocation from", pellund_TestExhaustHeap, pellund_TestAllocationCount, true},
    {"read", pellund_TestFailRead, pellund_TestReadCount, false},
};

// What the innermost report of a failure under an exhausted heap may say: the
// operation that could not allocate, or the toolkit itself.
const std::set<std::string> kOutOfMemory = {"Memory allocation error",
                                            "Error allocating vertex list", "Out of memory",
                                            "Cannot allocate memory"};

void NoProgress(void *, double) {}

// Both ways of reading a drawing: whole, and entity by entity to a callback.
using Reader = ReadOutcome (*)(const std::string &path, qmet_Meter *meter);
const std::pair<const char *, Reader> kReaders[] = {
    {"qdxf_Read", [](const std::string &path, qmet_Meter *meter) { return ReadFile(path, meter); }},
    {"qdxf_ReadEach",
     [](const std::string &path, qmet_Meter *meter) { return ReadFileEach(path, meter); }},
};

TEST(FaultInjection, EveryFailedAllocationOrReadFailsTheReadCleanly) {
    for (const auto &[form, contents] : FormsAndExample()) {
        TempFile file(contents);
        for (bool withMeter : {false, true}) {
            for (const auto &[reader, read] : kReaders) {
                qmet_Meter meter{NoProgress, nullptr};
                qmet_Meter *progress = withMeter ? &meter : nullptr;
                for (const Fault &fault : kFaults) {
                    pellund_TestReset();
                    ReadOutcome clean = read(file.path(), progress);
                    long calls = fault.count();
                    ASSERT_TRUE(clean.drawing && clean.drawing->tables && clean.drawing->blocks)
                        << form;
                    clean = {};
                    ASSERT_GT(calls, fault.outOfMemory ? 50 : 0) << form;
                    long liveBefore = pellund_TestLiveBlocks();
                    for (long n = 1; n <= calls; ++n) {
                        pellund_TestReset();
                        fault.arm(n);
                        ReadOutcome outcome = read(file.path(), progress);
                        pellund_TestReset();
                        std::string where = std::string(reader) + ", " + form +
                                            (withMeter ? " with meter" : "") + ", failing " +
                                            fault.name + " " + std::to_string(n);
                        EXPECT_EQ(outcome.drawing, nullptr) << where;
                        ASSERT_NE(outcome.report, nullptr) << where;
                        if (fault.outOfMemory) {
                            EXPECT_TRUE(kOutOfMemory.count(outcome.messages().back()))
                                << where << ": "
                                << ::testing::PrintToString(Levels(outcome.report.get()));
                        }
                        outcome = {};
                        EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore) << where;
                        EXPECT_EQ(pellund_TestOpenHandles(), 0) << where;
                    }
                }
            }
        }
    }
}

// The file becomes unreadable at each byte in turn, so that a read fails at
// every group, wherever the buffer's refills happen to fall.
TEST(FaultInjection, AFileThatFailsAtAnyByteFailsTheReadCleanly) {
    for (const auto &[form, contents] : FormsAndExample()) {
        TempFile file(contents);
        for (bool withMeter : {false, true}) {
            for (const auto &[reader, read] : kReaders) {
                qmet_Meter meter{NoProgress, nullptr};
                long liveBefore = pellund_TestLiveBlocks();
                for (std::size_t byte = 0; byte < contents.size(); ++byte) {
                    pellund_TestReset();
                    pellund_TestFailReadAtByte(static_cast<long long>(byte));
                    ReadOutcome outcome = read(file.path(), withMeter ? &meter : nullptr);
                    pellund_TestReset();
                    std::string where = std::string(reader) + ", " + form + ", failing at byte " +
                                        std::to_string(byte);
                    EXPECT_EQ(outcome.drawing, nullptr) << where;
                    EXPECT_NE(outcome.report, nullptr) << where;
                    outcome = {};
                    EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore) << where;
                    EXPECT_EQ(pellund_TestOpenHandles(), 0) << where;
                }
            }
        }
    }
}

// Cut anywhere before its EOF group, a drawing fails with a report and
// leaves nothing behind.
TEST(FaultInjection, EveryCutFailsCleanly) {
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

// A recovering read of a drawing cut at each byte before its EOF gives what
// came before the cut, with the cut listed, or (cut before its first groups)
// fails as no DXF file; under every failing allocation a damaged drawing's
// recovering read fails cleanly, its repairs released.
TEST(FaultInjection, RecoveringReadsOfCutAndDamagedDrawingsLeaveNothingBehind) {
    long liveBefore = pellund_TestLiveBlocks();
    LogCapture log;
    auto recover = [](const std::string &contents, bool each) {
        Qdxf_Repair *repairs = nullptr;
        Qdxf_ReadOptions options{sizeof options,  QDXF_READ_RECOVER, 0.0,
                                 contents.data(), contents.size(),   &repairs};
        qerr_Report *report = nullptr;
        DrawingPtr drawing(
            each ? qdxf_ReadEach(
                       "cut", nullptr, &options,
                       [](void *, const Qdxf_Info *, const Qdxf_Entity *) { return 0; }, nullptr,
                       &report)
                 : qdxf_ReadWithOptions("cut", nullptr, &options, &report));
        bool listed = repairs != nullptr;
        EXPECT_TRUE(drawing || !repairs);
        qdxf_RepairsFree(repairs);
        return std::make_tuple(std::move(drawing), ReportPtr(report), listed);
    };
    for (const auto &[form, whole] : Forms()) {
        for (std::size_t size = 0; size < whole.rfind("EOF"); ++size) {
            auto [drawing, report, listed] = recover(whole.substr(0, size), size % 2);
            EXPECT_TRUE(drawing ? listed : !Messages(report.get()).empty()) << form << size;
        }
    }
    std::string damaged = Ascii(kDrawing);
    for (auto [from, to] : {std::pair{"  5\n1\n", "  5\nF\n"},
                            {"  2\nB\n", "  2\n\n"},
                            {" 10\n1\n", " 10\n1,5\n"},
                            {"  1\nt\n", "  1\nt\nu\n"},
                            {"  0\nLINE\n", "  0\nSEQEND\n  0\nLINE\n"},
                            {"  0\nEOF\n", ""}})
        damaged.replace(damaged.find(from), std::strlen(from), to);
    for (const std::string &contents : {damaged, Binary(kDrawing).substr(0, 600)}) {
        for (bool each : {false, true}) {
            pellund_TestReset();
            std::get<0>(recover(contents, each)).reset();
            for (long n = 1, calls = pellund_TestAllocationCount(); n <= calls; ++n) {
                pellund_TestReset();
                pellund_TestFailAllocation(n);
                auto [drawing, report, listed] = recover(contents, each);
                pellund_TestReset();
                EXPECT_FALSE(drawing) << "failing allocation " << n;
                EXPECT_TRUE(kOutOfMemory.count(Messages(report.get()).back())) << n;
            }
        }
    }
    EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore);
}

// Every failing allocation of a read of `file` with all options, whole or
// through an entity callback, on this thread or on one of its own (whose
// converters the read must leave behind it), fails it cleanly.
void FailEachAllocation(const std::string &file, bool each, bool onThread = false) {
    Qdxf_ReadOptions options{sizeof options, QDXF_READ_ALL, 0.0, nullptr, 0, nullptr};
    auto ignore = [](void *, const Qdxf_Info *, const Qdxf_Entity *) { return 0; };
    LogCapture log;
    long liveBefore = pellund_TestLiveBlocks();
    for (long n = 0, calls = 0; n <= calls; ++n) {
        pellund_TestReset();
        if (n) pellund_TestFailAllocation(n);  // n 0: the clean read, which counts them
        qerr_Report *report = nullptr;
        DrawingPtr drawing;
        auto read = [&] {
            drawing.reset(
                each ? qdxf_ReadEach(file.c_str(), nullptr, &options, ignore, nullptr, &report)
                     : qdxf_ReadWithOptions(file.c_str(), nullptr, &options, &report));
        };
        onThread ? std::thread(read).join() : read();
        if (!n) calls = pellund_TestAllocationCount();
        pellund_TestReset();
        ASSERT_EQ(!drawing, n != 0) << "failing allocation " << n;
        EXPECT_TRUE(!n || kOutOfMemory.count(Messages(report).back())) << "allocation " << n;
        qerr_ReportFree(report);
        drawing.reset();
        EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore) << "failing allocation " << n;
    }
}

// The read options' translations under every failing allocation: an MTEXT of
// lines and a polyface mesh in blocks of their own, a block read later that
// takes a made block's number, records placed in world coordinates.
TEST(FaultInjection, EveryFailedAllocationFailsAReadWithOptionsCleanly) {
    TempFile file(Ascii(Drawing(
        {Section("ENTITIES", {{0, "MTEXT"},      {8, "0"},        {1, "a\\Pb\\S1/2;{\\C1;\\Lc}"},
                              {0, "LWPOLYLINE"}, {10, 1.0},       {42, 0.5},
                              {10, 2.0},         {0, "ATTRIB"},   {1, "v"},
                              {7, "S"},          {11, 1.0},       {0, "DIMENSION"},
                              {2, "*D1"},        {0, "CIRCLE"},   {40, 1.0},
                              {230, -1.0},       {0, "POLYLINE"}, {70, 64},
                              {0, "VERTEX"},     {70, 192},       {0, "VERTEX"},
                              {70, 128},         {71, 1},         {72, -1},
                              {0, "SEQEND"},     {0, "DIMENSION"}}),
         Section("BLOCKS", {{0, "BLOCK"}, {2, "*U1"}, {0, "ENDBLK"}})})));
    FailEachAllocation(file.path(), false);
}

// Texts of a double-byte page ("日本" in Shift-JIS), read on a thread of
// their own.
TEST(FaultInjection, EveryFailedAllocationFailsADoubleByteReadOnAThreadCleanly) {
    TempFile file(Ascii(Drawing(
        {Section("HEADER", {{9, "$ACADVER"}, {1, "AC1015"}, {9, "$DWGCODEPAGE"}, {3, "ANSI_932"}}),
         Section(
             "ENTITIES",
             {{0, "TEXT"}, {1, "\x93\xfa\x96\x7b"}, {0, "MTEXT"}, {1, "\x93\xfa\\P\x96\x7b"}})})));
    FailEachAllocation(file.path(), false, true);
    Qdxf_ReadOptions options{sizeof options, QDXF_READ_ALL, 0.0, nullptr, 0, nullptr};
    DrawingPtr drawing(qdxf_ReadWithOptions(file.c_str(), nullptr, &options, nullptr));
    ASSERT_TRUE(drawing);
    EXPECT_STREQ(drawing->entities->data.text.text, "\u65e5\u672c");
}

// The kinds drawn as pieces, with the styles they look up and the work left
// for the end of the read, whole and through a callback.
TEST(FaultInjection, EveryFailedAllocationFailsADrawingOfPiecesCleanly) {
    // clang-format off
    std::vector<Group> entities = {
        {0, "DIMENSION"}, {70, 1}, {13, 0.0}, {14, 2.0}, {10, 2.0}, {20, 1.0}, {1, "a\\Pb <>"},
        {0, "DIMENSION"}, {70, 5}, {13, 1.0}, {14, 0.0}, {24, 1.0}, {10, 1.0}, {20, 1.0},
        {0, "LEADER"}, {10, 0.0}, {10, 1.0},
        {0, "MULTILEADER"}, {300, "CONTEXT_DATA{"}, {290, 1}, {304, "x\\Py"}, {296, 1},
        {341, "1F"}, {302, "LEADER{"}, {290, 1}, {291, 1}, {11, 1.0}, {304, "LEADER_LINE{"},
        {10, 0.0}, {20, 1.0}, {305, "}"}, {303, "}"}, {301, "}"},
        {0, "MLINE"}, {2, "S"}, {73, 2}, {11, 0.0}, {23, 1.0}, {74, 1}, {41, 0.5}, {74, 1},
        {41, -0.5}, {11, 3.0}, {23, 1.0}, {74, 1}, {41, 0.5}, {74, 1}, {41, -0.5},
        {0, "MESH"}, {10, 0.0}, {10, 1.0}, {10, 0.0}, {20, 1.0}, {93, 4}, {90, 3}, {90, 0},
        {90, 1}, {90, 2},
        {0, "TOLERANCE"}, {1, "{\\Fgdt;j}%%v0.1^JA"},
        {0, "IMAGE"}, {11, 1.0}, {22, 1.0}, {13, 2.0}, {23, 2.0},
        {0, "RAY"}, {11, 1.0}, {0, "XLINE"}, {21, 1.0}, {0, "INSERT"}, {2, "B"}};
    TempFile file(Ascii(Drawing({
        Section("HEADER", {{9, "$DIMASZ"}, {40, 0.5}, {9, "$DIMPOST"}, {1, "<> mm"}}),
        Section("TABLES", {{0, "TABLE"}, {2, "DIMSTYLE"}, {0, "DIMSTYLE"}, {2, "Standard"},
                           {41, 0.3}, {0, "ENDTAB"}, {0, "TABLE"}, {2, "BLOCK_RECORD"},
                           {0, "BLOCK_RECORD"}, {5, "1F"}, {2, "B"}, {0, "ENDTAB"}}),
        Section("BLOCKS", {{0, "BLOCK"}, {2, "B"}, {0, "LINE"}, {11, 1.0}, {0, "ENDBLK"}}),
        Section("ENTITIES", entities),
        Section("OBJECTS", {{0, "MLINESTYLE"}, {5, "20"}, {2, "S"}, {70, 16 | 64 | 256 | 1024}})})));
    // clang-format on
    FailEachAllocation(file.path(), false);
    FailEachAllocation(file.path(), true);
}

}  // namespace
