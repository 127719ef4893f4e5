// SPDX-License-Identifier: MIT
// The toolkit runtime stand-in: files, reports, heap and lists as the library
// relies on them.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "pellund_testing.h"
#include "test_support.h"

using namespace testing_support;

namespace {

struct FileCloser {
    void operator()(qfio_File *file) const { qfio_Close(file, nullptr); }
};
using FilePtr = std::unique_ptr<qfio_File, FileCloser>;

FilePtr OpenRead(const TempFile &file) {
    return FilePtr(qfio_Open(file.c_str(), "r", nullptr));
}

TEST(Files, MixLinesAndBytesWithoutTranslationAndExactPositions) {
    TempFile temp(std::string("ab\r\nc\x1a\0d\n", 9) + "tail");
    FilePtr file = OpenRead(temp);
    ASSERT_TRUE(file);
    char line[500];
    ASSERT_NE(qfio_Fgets(line, 500, file.get(), nullptr), nullptr);
    EXPECT_STREQ(line, "ab\r\n");
    EXPECT_EQ(qfio_Tell(file.get(), nullptr), 4);
    char bytes[3];
    qerr_Report *report = nullptr;
    qfio_ReadSeq(file.get(), bytes, 3, &report);
    EXPECT_EQ(report, nullptr);
    EXPECT_EQ(std::string(bytes, 3), std::string("c\x1a\0", 3));
    ASSERT_NE(qfio_Fgets(line, 500, file.get(), nullptr), nullptr);
    EXPECT_STREQ(line, "d\n");
    ASSERT_NE(qfio_Fgets(line, 500, file.get(), nullptr), nullptr);
    EXPECT_STREQ(line, "tail");  // the last line needs no newline
    EXPECT_EQ(qfio_Fgets(line, 500, file.get(), nullptr), nullptr);
    EXPECT_EQ(qfio_CompatibleFseek(file.get(), 2, 0), 0);
    ASSERT_NE(qfio_Fgets(line, 500, file.get(), nullptr), nullptr);
    EXPECT_STREQ(line, "\r\n");
}

TEST(Files, LongLinesComeInPiecesOfSizeMinusOne) {
    TempFile temp(std::string(1200, 'x') + "\n");
    FilePtr file = OpenRead(temp);
    char line[500];
    std::vector<std::size_t> pieces;
    while (qfio_Fgets(line, 500, file.get(), nullptr))
        pieces.push_back(std::strlen(line));
    EXPECT_EQ(pieces, (std::vector<std::size_t>{499, 499, 203}));
}

TEST(Files, PositionsHoldAcrossBufferRefillsAndFarSeeks) {
    // Larger than the file buffer, so reads cross refills; positions are
    // checked against the bytes at them.
    std::string contents;
    for (int i = 0; contents.size() < 3'000'000; ++i)
        contents += std::to_string(i) + "\n";
    TempFile temp(contents);
    FilePtr file = OpenRead(temp);
    char line[500];
    qfio_Position marks[3] = {};
    int index = 0;
    long long lines = 0;
    while (qfio_Fgets(line, 500, file.get(), nullptr)) {
        ++lines;
        if (lines == 10 || lines == 250'000 || lines == 400'000) {
            marks[index++] = qfio_Tell(file.get(), nullptr);
        }
    }
    ASSERT_EQ(index, 3);
    for (qfio_Position mark : marks) {
        ASSERT_EQ(qfio_CompatibleFseek(file.get(), mark, 0), 0);
        ASSERT_NE(qfio_Fgets(line, 500, file.get(), nullptr), nullptr);
        std::size_t at = static_cast<std::size_t>(mark);
        EXPECT_EQ(std::string(line), contents.substr(at, contents.find('\n', at) - at + 1));
    }
    qerr_Report *report = nullptr;
    qfio_Seek(file.get(), 0, 0, &report);
    EXPECT_EQ(report, nullptr);
    ASSERT_NE(qfio_Fgets(line, 500, file.get(), nullptr), nullptr);
    EXPECT_STREQ(line, "0\n");
}

TEST(Files, AShortReadIsReported) {
    TempFile temp("abc");
    FilePtr file = OpenRead(temp);
    char bytes[8];
    qerr_Report *report = nullptr;
    qfio_ReadSeq(file.get(), bytes, 8, &report);
    ReportPtr owned(report);
    EXPECT_EQ(Levels(report), std::vector<std::string>{"qfio_ReadSeq: Unexpected end of file"});
}

TEST(Files, SizesAreThoseOfRegularFiles) {
    TempFile temp("12345");
    EXPECT_EQ(qfio_FileSizeGet(temp.c_str(), nullptr), 5);
    qerr_Report *report = nullptr;
#if defined(_WIN32)
    const char *device = "NUL";
#else
    const char *device = "/dev/null";
#endif
    EXPECT_EQ(qfio_FileSizeGet(device, &report), 0);
    EXPECT_EQ(report, nullptr);
    EXPECT_EQ(qfio_FileSizeGet((temp.path() + ".none").c_str(), &report), 0);
    ReportPtr owned(report);
    EXPECT_NE(report, nullptr);
}

TEST(Files, WritesReachTheFileExactly) {
    TempFile temp;
    qerr_Report *report = nullptr;
    qfio_File *file = qfio_Open(temp.c_str(), "w", &report);
    ASSERT_NE(file, nullptr);
    qfio_WriteSeq(file, "AB\r\n\x1a", 5, &report);
    EXPECT_EQ(report, nullptr);
    EXPECT_EQ(qfio_Fprintf(file, "%3d\n%-.8g\n", 10, 0.5), 1);
    std::string big(3'000'000, 'z');
    qfio_WriteSeq(file, big.data(), big.size(), &report);
    EXPECT_EQ(qfio_Tell(file, nullptr), static_cast<qfio_Position>(5 + 8 + big.size()));
    qfio_Close(file, &report);
    EXPECT_EQ(report, nullptr);
    EXPECT_EQ(temp.Contents(), "AB\r\n\x1a 10\n0.5\n" + big);
}

// Windows' own forms of an unusable target: a file another program holds
// without sharing, a name with a character Windows forbids, a drive that is
// not there. Each open fails with the system's reason and leaves nothing
// open. (A read-only file is no such case under Wine run as root, which
// writes it as the root user may.)
TEST(Files, WindowsRefusalsAreReported) {
#if defined(_WIN32)
    TempFile held("held");
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::string forbidden = held.path() + "-what?.dxf";
    char missingDrive[] = "Q:\\drawing.dxf";
    while (GetLogicalDrives() & (1u << (missingDrive[0] - 'A')))
        ++missingDrive[0];
    const struct {
        std::string name;
        const char *mode, *reason;
    } cases[] = {
        {held.path(), "r", "Permission denied"},
        {held.path(), "w", "Permission denied"},
        {forbidden, "w", "Invalid argument"},
        {missingDrive, "w", "No such file or directory"},
        {missingDrive, "r", "No such file or directory"},
    };
    for (const auto &c : cases) {
        qerr_Report *report = nullptr;
        EXPECT_EQ(qfio_Open(c.name.c_str(), c.mode, &report), nullptr) << c.name;
        ReportPtr owned(report);
        EXPECT_EQ(Levels(report), std::vector<std::string>{std::string("qfio_Open: ") + c.reason})
            << c.name << " " << c.mode;
    }
    CloseHandle(holder);
    EXPECT_EQ(pellund_TestOpenHandles(), 0);
#else
    GTEST_SKIP() << "no mandatory locks or drive letters on POSIX; the full disk is tested "
                    "instead (FullDisk.EveryLayerFailsAtItsFirstWrite)";
#endif
}

// Offsets and sizes are 64-bit where long is 32 bits (Windows): a byte
// written past 4 GiB (a sparse file) is found there again by its size, a
// seek from the end and qfio_Tell.
TEST(Files, OffsetsAndSizesPast4GiB) {
    TempFile temp;
    const qfio_Position beyond4GiB = (qfio_Position{1} << 32) + 1;
    qerr_Report *report = nullptr;
    qfio_File *file = qfio_Open(temp.c_str(), "w", &report);
    ASSERT_NE(file, nullptr);
    qfio_Seek(file, beyond4GiB, 0, &report);
    ASSERT_EQ(report, nullptr);
    qfio_WriteSeq(file, "x", 1, &report);
    qfio_Close(file, &report);
    ASSERT_EQ(report, nullptr);
    EXPECT_EQ(qfio_FileSizeGet(temp.c_str(), nullptr), beyond4GiB + 1);
    FilePtr reading = OpenRead(temp);
    qfio_Seek(reading.get(), -1, 2, &report);
    EXPECT_EQ(report, nullptr);
    EXPECT_EQ(qfio_Tell(reading.get(), nullptr), beyond4GiB);
    char byte = 0;
    qfio_ReadSeq(reading.get(), &byte, 1, &report);
    EXPECT_EQ(report, nullptr);
    EXPECT_EQ(byte, 'x');
}

TEST(Reports, ChainsOwnTheirInnerReportsAndFormattedMessages) {
    char name[] = "mutable";
    qerr_Report *inner =
        qerr_CreateErrorReport("Inner", 10, 1, nullptr, "file %s line %d", name, 7);
    name[0] = 'X';
    // The 0 that callers put after the last argument is accepted and ignored.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-extra-args"
    qerr_Report *outer =
        qerr_CreateErrorReport("Outer", 20, 2, inner, "Error reading %s", "group", 0);
#pragma GCC diagnostic pop
    EXPECT_EQ(Levels(outer), (std::vector<std::string>{"Outer: Error reading group",
                                                       "Inner: file mutable line 7"}));
    EXPECT_EQ(qerr_ReportLine(outer), 20);
    EXPECT_EQ(qerr_ReportClass(outer), 2);
    EXPECT_EQ(qerr_ReportInner(outer), inner);
    EXPECT_EQ(qerr_ReportInner(inner), nullptr);
    std::string longMessage(2000, 'm');
    qerr_Report *longOne = qerr_CreateErrorReport("Long", 1, 2, outer, "%s", longMessage.c_str());
    EXPECT_EQ(qerr_ReportMessage(longOne), longMessage);
    qerr_ReportFree(longOne);
    qerr_ReportFree(nullptr);
}

// Messages, dumps and files format numbers as C99 prints them in the C
// locale on every platform (the Microsoft CRT has no %zu and writes three
// exponent digits).
TEST(Reports, NumbersAreFormattedAsC99PrintsThem) {
    auto text = [](qerr_Report *report) {
        ReportPtr owned(report);
        return std::string(qerr_ReportMessage(report));
    };
    EXPECT_EQ(text(qerr_CreateErrorReport("", 0, 1, nullptr, "%lld|%zu|%lld", LLONG_MIN, SIZE_MAX,
                                          qfio_Position{1} << 40)),
              "-9223372036854775808|18446744073709551615|1099511627776");
    EXPECT_EQ(
        text(qerr_CreateErrorReport("", 0, 1, nullptr, "%g|%g|%.8g|%-.8g|%g|%g", 1e10, 1e-5, 0.1,
                                    123456789.0, std::numeric_limits<double>::infinity(), -1e300)),
        "1e+10|1e-05|0.1|1.2345679e+08|inf|-1e+300");
}

TEST(Reports, AnExhaustedHeapStillGivesAReport) {
    long before = pellund_TestLiveBlocks();
    qerr_Report *inner = qerr_CreateErrorReport("Inner", 1, 2, nullptr, "inner");
    pellund_TestFailAllocation(1);
    qerr_Report *report = qerr_CreateErrorReport("Outer", 2, 2, inner, "outer");
    EXPECT_STREQ(qerr_ReportMessage(report), "Out of memory");
    EXPECT_EQ(qerr_ReportInner(report), nullptr);  // the inner one is released
    qerr_ReportFree(report);
    pellund_TestReset();
    EXPECT_EQ(pellund_TestLiveBlocks(), before);
}

TEST(Heap, ZeroSizesGiveDistinctBlocksAndFaultsCanBeInjected) {
    void *a = qmsc_HeapMalloc(0);
    void *b = qmsc_HeapMalloc(0);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(a, b);
    qmsc_HeapFree(a);
    qmsc_HeapFree(b);
    auto *zeroed = static_cast<unsigned char *>(qmsc_HeapMalloc(64));
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(zeroed[i], 0);
    qmsc_HeapFree(zeroed);

    pellund_TestReset();
    pellund_TestFailAllocation(2);
    void *first = qmsc_HeapMalloc(8);
    char *second = qstr_Duplicate("x");
    void *third = qmsc_HeapMalloc(8);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    qmsc_HeapFree(first);
    qmsc_HeapFree(third);
    EXPECT_EQ(pellund_TestAllocationCount(), 3);
    pellund_TestReset();
}

TEST(Lists, CountAndAppendAfterTheLastRecord) {
    struct Record {
        Record *next, *prev;
        int value;
    };
    Record records[4] = {};
    void *list = nullptr;
    EXPECT_EQ(qllm_Count(list), 0);
    list = qllm_AddToList(list, 3, &records[0]);
    qllm_Add(&records[0], 3, &records[1]);
    qllm_Add(&records[1], 3, &records[2]);  // from the last record: no walk
    list = qllm_AddToList(list, 3, &records[3]);
    EXPECT_EQ(list, &records[0]);
    EXPECT_EQ(qllm_Count(list), 4);
    EXPECT_EQ(records[3].prev, &records[2]);
    EXPECT_EQ(records[0].prev, nullptr);
}

}  // namespace
