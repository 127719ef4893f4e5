// SPDX-License-Identifier: MIT
// qdxf_Read as a whole: form detection, the section loop, every failure chain
// of the driver, progress through a meter, and input that is cut or hostile.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <thread>

#include "pellund_testing.h"
#include "test_support.h"

using namespace testing_support;

namespace {

using Chain = std::vector<std::string>;

const std::vector<Group> kEmptyDrawing = {{0, "EOF"}};

// A small drawing with every section the reader knows and one it skips.
const std::vector<Group> kSmallDrawing = {
    {0, "SECTION"}, {2, "HEADER"},   {9, "$ACADVER"}, {1, "AC1009"}, {9, "$EXTMIN"}, {10, 0.0},
    {20, 0.0},      {30, 0.0},       {9, "$EXTMAX"},  {10, 100.0},   {20, 50.0},     {30, 0.0},
    {0, "ENDSEC"},  {0, "SECTION"},  {2, "CLASSES"},  {0, "CLASS"},  {1, "X"},       {0, "ENDSEC"},
    {0, "SECTION"}, {2, "ENTITIES"}, {0, "LINE"},     {8, "0"},      {10, 1.0},      {20, 2.0},
    {30, 0.0},      {11, 3.0},       {21, 4.0},       {31, 0.0},     {0, "ENDSEC"},  {0, "EOF"},
};

TEST(ReadDriver, TheSmallestDrawingsReadAsEmptyDrawings) {
    const std::string forms[] = {
        "0\nEOF\n",        // six bytes, shorter than the sentinel
        "  0\r\nEOF\r\n",  // CR LF line ends
        Ascii(kEmptyDrawing),
        Binary(kEmptyDrawing),                       // the probe sees 00 45: one-byte codes
        Binary(kEmptyDrawing, true),                 // 00 00: two-byte codes
        Ascii(kEmptyDrawing) + "trailing\ngarbage",  // nothing after EOF is read
    };
    for (const std::string &contents : forms) {
        ReadOutcome outcome = ReadContents(contents);
        ASSERT_TRUE(outcome.drawing)
            << contents << ": " << ::testing::PrintToString(outcome.messages());
        EXPECT_EQ(outcome.report, nullptr);
        const Qdxf_Info &drawing = *outcome.drawing;
        EXPECT_NE(drawing.colorTable, nullptr);
        EXPECT_EQ(drawing.header, nullptr);
        EXPECT_EQ(drawing.tables, nullptr);
        EXPECT_EQ(drawing.blocks, nullptr);
        EXPECT_EQ(drawing.entities, nullptr);
    }
}

TEST(ReadDriver, ReadsTheSameDrawingInEveryForm) {
    for (const std::string &contents :
         {Ascii(kSmallDrawing), Binary(kSmallDrawing), Binary(kSmallDrawing, true)}) {
        ReadOutcome outcome = ReadContents(contents);
        ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
        const Qdxf_Header *header = outcome.drawing->header;
        ASSERT_NE(header, nullptr);
        EXPECT_STREQ(header->acadver, "AC1009");
        ASSERT_NE(header->extmax, nullptr);
        EXPECT_EQ(header->extmax->x, 100.0);
        EXPECT_EQ(header->extmax->y, 50.0);
    }
}

TEST(ReadDriver, AnAlmostSentinelIsReadAsAscii) {
    std::string almost = kSentinel;
    almost[18] = '\n';  // LF where the sentinel has CR
    // As ASCII the first line gives code 0 with an empty text.
    ReadOutcome outcome = ReadContents(almost + Ascii(kEmptyDrawing));
    EXPECT_EQ(outcome.messages(), (Chain{"Error reading section", "Expected SECTION or EOF tag"}));
}

struct FailureCase {
    const char *name;
    std::string contents;
    Chain chain;  // {FILE} stands for the file's path
};

std::vector<FailureCase> FailureCases() {
    return {
        {"an empty file",
         "",
         {"Error reading section", "Error reading group values", "Error reading group values",
          "Error reading group", "Error reading file {FILE}, line 1"}},
        {"no EOF tag",
         Ascii({{0, "SECTION"}, {2, "CLASSES"}, {0, "ENDSEC"}}),
         {"Error reading section", "Error reading group values", "Error reading group values",
          "Error reading group", "Error reading file {FILE}, line 7"}},
        {"cut inside a skipped section",
         Ascii({{0, "SECTION"}, {2, "OBJECTS"}, {0, "DICTIONARY"}}),
         {"Error reading section", "Error skipping section", "Error reading group values",
          "Error reading group", "Error reading file {FILE}, line 7"}},
        {"a stray group between sections",
         Ascii({{0, "SECTION"}, {2, "CLASSES"}, {0, "ENDSEC"}, {2, "X"}}),
         {"Error reading section", "Error reading group values",
          "Line 8: Expected group code of 0, group code 2 encountered"}},
        {"neither SECTION nor EOF",
         Ascii({{0, "ENDSEC"}}),
         {"Error reading section", "Expected SECTION or EOF tag"}},
        {"a section name of the wrong code",
         Ascii({{0, "SECTION"}, {8, "HEADER"}}),
         {"Error reading section", "Error reading group values",
          "Line 4: Expected group code of 2, group code 8 encountered"}},
        {"the binary sentinel alone",
         kSentinel,
         {"Error reading binary group code", "Unexpected end of file"}},
        {"the sentinel and one byte",
         kSentinel + '\0',
         {"Error reading binary group code", "Unexpected end of file"}},
        {"a binary stray group",
         Binary({{0, "SECTION"}, {2, "CLASSES"}, {0, "ENDSEC"}, {2, "X"}}),
         {"Error reading section", "Error reading group values",
          "Byte offset 51: Expected group code of 0, group code 2 encountered"}},
        {"a binary file cut inside a section",
         Binary({{0, "SECTION"}, {2, "CLASSES"}}),
         {"Error reading section", "Error skipping section", "Error reading group values",
          "Error reading group", "Byte offset 40: Error reading binary group code",
          "Unexpected end of file"}},
        {"a binary text without its NUL",
         kSentinel + std::string("\0SECTION\0\x02HEAD", 14),
         {"Error reading section", "Error reading group values", "Error reading group values",
          "Error reading group", "Byte offset 31: Error reading binary group value",
          "Unexpected end of file"}},
    };
}

TEST(ReadDriver, EveryFailureGivesItsWholeChain) {
    for (const FailureCase &c : FailureCases()) {
        TempFile file(c.contents);
        ReadOutcome outcome = ReadFile(file.path());
        EXPECT_EQ(outcome.drawing, nullptr) << c.name;
        Chain expected = c.chain;
        for (std::string &message : expected) {
            if (auto at = message.find("{FILE}"); at != std::string::npos) {
                message.replace(at, 6, file.path());
            }
        }
        EXPECT_EQ(outcome.messages(), expected) << c.name;
    }
}

TEST(ReadDriver, FilesThatCannotBeOpenedSayWhy) {
    TempFile file;
    const std::pair<std::string, std::string> cases[] = {
        {file.path() + ".missing", "No such file or directory"},
        {std::filesystem::path(file.path()).parent_path().string(), "Is a directory"},
    };
    for (const auto &[path, why] : cases) {
        ReadOutcome outcome = ReadFile(path);
        EXPECT_EQ(outcome.drawing, nullptr);
        EXPECT_EQ(Levels(outcome.report.get()),
                  (Chain{"qdxf_Read: Error opening file " + path, "qfio_Open: " + why}));
    }
    qerr_Report *report = nullptr;
    EXPECT_EQ(qdxf_Read(nullptr, nullptr, &report), nullptr);
    EXPECT_EQ(Levels(report), (Chain{"qdxf_Read: Error opening file (null)",
                                     "qfio_Open: Invalid file name or mode"}));
    qerr_ReportFree(report);
}

TEST(ReadDriver, ReportsCarryTheFunctionThatFailed) {
    ReadOutcome outcome = ReadContents(Ascii({{0, "SECTION"}, {2, "OBJECTS"}}));
    Chain levels = Levels(outcome.report.get());
    ASSERT_EQ(levels.size(), 5u);
    EXPECT_EQ(levels[0], "qdxf_Read: Error reading section");
    EXPECT_EQ(levels[1], "ReadSection: Error skipping section");
    EXPECT_EQ(levels[2], "SkipSection: Error reading group values");
    EXPECT_EQ(levels[3], "ReadGroup: Error reading group");
    EXPECT_EQ(levels[4].rfind("ReadAsciiGroup: Error reading file ", 0), 0u);
    for (const qerr_Report *r = outcome.report.get(); r; r = qerr_ReportInner(r)) {
        EXPECT_EQ(qerr_ReportClass(r), 2);
        EXPECT_GT(qerr_ReportLine(r), 0);
    }
    // Binary: a value cut short, and a text too long.
    std::string cut = Binary({{0, "SECTION"}, {2, "CLASSES"}, {40, 1.0}});
    EXPECT_EQ(Levels(ReadContents(cut.substr(0, cut.size() - 3)).report.get()),
              (Chain{"qdxf_Read: Error reading section", "ReadSection: Error skipping section",
                     "SkipSection: Error reading group values", "ReadGroup: Error reading group",
                     "ReadBinaryGroup: Byte offset 40: Error reading binary group value",
                     "qfio_ReadSeq: Unexpected end of file"}));
    std::string tooLong = Binary({{0, "SECTION"}, {2, "CLASSES"}, {1, std::string(500, 'x')}});
    EXPECT_EQ(Levels(ReadContents(tooLong).report.get()).back(),
              "ReadBinaryGroup: Reached string length limit");
}

TEST(ReadDriver, AFailedFirstReadIsAnErrorUnlessTheFileIsTooShort) {
    // Six bytes cannot hold the sentinel: the file is ASCII. A file long
    // enough to hold it whose first read fails is an error, not ASCII.
    TempFile file(Ascii(kSmallDrawing));
    pellund_TestReset();
    pellund_TestFailRead(1);
    ReadOutcome outcome = ReadFile(file.path());
    pellund_TestReset();
    EXPECT_EQ(Levels(outcome.report.get()), (Chain{"qdxf_Read: Error reading file " + file.path(),
                                                   "qfio_ReadSeq: Injected read failure"}));
}

TEST(ReadDriver, ANullReportParameterStillFailsCleanly) {
    TempFile file("nonsense");
    EXPECT_EQ(qdxf_Read(file.c_str(), nullptr, nullptr), nullptr);
}

TEST(ReadDriver, LineNumbersOfASecondReadCountFromOne) {
    TempFile binary(Binary(kSmallDrawing));
    ReadOutcome first = ReadFile(binary.path());
    ASSERT_TRUE(first.drawing);
    ReadOutcome second =
        ReadContents(Ascii({{0, "SECTION"}, {2, "CLASSES"}, {0, "ENDSEC"}, {2, "X"}}));
    EXPECT_EQ(second.messages().back(),
              "Line 8: Expected group code of 0, group code 2 encountered");
}

struct Recorder {
    std::vector<double> percents;
    static void Show(void *context, double percent) {
        static_cast<Recorder *>(context)->percents.push_back(percent);
    }
};

TEST(ReadDriver, ProgressRunsFromTheFirstGroupToTheLast) {
    // ASCII: the total is the file's line count, so the EOF group (its value
    // the last line, L) reports (L + 1) * 100 / L.
    std::string ascii = Ascii(kSmallDrawing);
    Recorder recorder;
    qmet_Meter meter{Recorder::Show, &recorder};
    ReadOutcome outcome = ReadContents(ascii, &meter);
    ASSERT_TRUE(outcome.drawing);
    double lines = static_cast<double>(kSmallDrawing.size() * 2);
    ASSERT_FALSE(recorder.percents.empty());
    EXPECT_DOUBLE_EQ(recorder.percents.front(), 3 * 100.0 / lines);
    EXPECT_DOUBLE_EQ(recorder.percents.back(), (lines + 1) * 100.0 / lines);
    EXPECT_TRUE(std::is_sorted(recorder.percents.begin(), recorder.percents.end()));

    // Binary: the total is the file size; every group reports its start.
    std::string binary = Binary(kSmallDrawing);
    recorder.percents.clear();
    outcome = ReadContents(binary, &meter);
    ASSERT_TRUE(outcome.drawing);
    EXPECT_DOUBLE_EQ(recorder.percents.front(), 22 * 100.0 / static_cast<double>(binary.size()));
    EXPECT_DOUBLE_EQ(recorder.percents.back(), static_cast<double>(binary.size() - 5) * 100.0 /
                                                   static_cast<double>(binary.size()));
}

// What a line read of at most 499 characters returns, one piece at a time.
long long PiecesOf(const std::string &text) {
    long long pieces = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t newline = text.find('\n', at);
        std::size_t end =
            std::min(newline == std::string::npos ? text.size() : newline + 1, at + 499);
        at = end;
        ++pieces;
    }
    return pieces;
}

TEST(ReadDriver, TheLineCountTakesLongLinesInPieces) {
    // Lines after EOF are never parsed but are counted; the EOF group, value
    // on line 2, reports 3 * 100 / total.
    auto lines = [](std::initializer_list<std::size_t> lengths) {
        std::string text;
        for (std::size_t length : lengths)
            text += std::string(length, 'x') + "\n";
        return text;
    };
    const std::string tails[] = {
        std::string(600, 'x'),  // a long last line without newline
        lines({600}),
        lines({498}),
        lines({499}),
        lines({500}),
        lines({997, 998, 999}),
        lines({10, 250, 1000, 3, 240, 12, 1500, 256, 255, 257}),  // across chunk edges
        lines({100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 2000}),
    };
    Recorder recorder;
    qmet_Meter meter{Recorder::Show, &recorder};
    for (const std::string &tail : tails) {
        std::string contents = "  0\nEOF\n" + tail;
        recorder.percents.clear();
        ReadOutcome outcome = ReadContents(contents, &meter);
        ASSERT_TRUE(outcome.drawing);
        EXPECT_EQ(recorder.percents,
                  std::vector<double>{3 * 100.0 / static_cast<double>(PiecesOf(contents))})
            << PiecesOf(contents) << " pieces expected";
    }
}

TEST(ReadDriver, WithoutAMeterNoCountIsMade) {
    // Larger than the file service's buffer, so that counting must read.
    std::string comments;
    for (int i = 0; i < 6000; ++i)
        comments += "999\n" + std::string(400, 'x') + "\n";
    TempFile file(comments + Ascii(kSmallDrawing));
    pellund_TestReset();
    ReadOutcome outcome = ReadFile(file.path());
    ASSERT_TRUE(outcome.drawing);
    long plainReads = pellund_TestReadCount();
    Recorder recorder;
    qmet_Meter meter{Recorder::Show, &recorder};
    pellund_TestReset();
    outcome = ReadFile(file.path(), &meter);
    ASSERT_TRUE(outcome.drawing);
    EXPECT_GT(pellund_TestReadCount(), plainReads);
}

TEST(ReadDriver, NumbersReadTheSameUnderADecimalCommaLocale) {
    const char *previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, kDecimalCommaLocale))
        GTEST_SKIP() << kDecimalCommaLocale << " is not installed";
    ReadOutcome outcome = ReadContents(Ascii(kSmallDrawing));
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_TRUE(outcome.drawing);
    EXPECT_EQ(outcome.drawing->header->extmax->x, 100.0);
    ReadOutcome comma = ReadContents(Ascii(
        {{0, "SECTION"}, {2, "HEADER"}, {9, "$TEXTSIZE"}, {40, "2,5"}, {0, "ENDSEC"}, {0, "EOF"}}));
    ASSERT_TRUE(comma.drawing);
    EXPECT_EQ(comma.drawing->header->textsize, 2.0);  // the comma ends the number
}

TEST(ReadDriver, ReadsOnDifferentThreadsDoNotMeet) {
    TempFile good(Binary(kSmallDrawing, true));
    TempFile bad(Ascii({{0, "SECTION"}, {2, "CLASSES"}, {0, "ENDSEC"}, {2, "X"}}));
    auto readMany = [](const std::string &path, bool succeeds, bool *ok) {
        *ok = true;
        for (int i = 0; i < 200; ++i) {
            ReadOutcome outcome = ReadFile(path);
            if (succeeds != (outcome.drawing != nullptr)) *ok = false;
            if (!succeeds && outcome.messages().back() !=
                                 "Line 8: Expected group code of 0, group code 2 encountered") {
                *ok = false;
            }
        }
    };
    bool goodOk = false, badOk = false;
    std::thread first(readMany, good.path(), true, &goodOk);
    std::thread second(readMany, bad.path(), false, &badOk);
    first.join();
    second.join();
    EXPECT_TRUE(goodOk);
    EXPECT_TRUE(badOk);
}

// A read and a write started from the meter callback of a read have states of
// their own: the outer read goes on undisturbed and nothing leaks.
TEST(ReadDriver, AReadOrAWriteInsideTheMeterCallbackWorks) {
    for (bool binary : {false, true}) {
        TempFile outer(binary ? Binary(kSmallDrawing) : Ascii(kSmallDrawing));
        TempFile inner(Ascii(kSmallDrawing)), written;
        struct Nested {
            const TempFile *inner, *written;
            int reads = 0, failures = 0;
        } nested{&inner, &written};
        qmet_Meter meter{[](void *context, double) {
                             auto *n = static_cast<Nested *>(context);
                             ReadOutcome again = ReadFile(n->inner->path());
                             qerr_Report *report = nullptr;
                             qdxf_Write(again.drawing.get(), n->written->c_str(), 1, 0, &report);
                             n->failures += !again.drawing || report;
                             qerr_ReportFree(report);
                             ++n->reads;
                         },
                         &nested};
        long liveBefore = pellund_TestLiveBlocks();
        ReadOutcome outcome = ReadFile(outer.path(), &meter);
        EXPECT_TRUE(outcome.drawing) << (outcome.messages().empty() ? "" : outcome.messages()[0]);
        EXPECT_GT(nested.reads, 0);
        EXPECT_EQ(nested.failures, 0);
        outcome = {};
        EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore);
        EXPECT_EQ(pellund_TestOpenHandles(), 0);
    }
}

// A name reaches the system as UTF-8 whatever its letters, so the file on disk
// carries them; one far longer than the first formatting buffer fails with its
// whole name in the chain.
TEST(ReadDriver, NamesAreUtf8AndFailuresNameThemWhole) {
    TempFile contents(Ascii(kSmallDrawing));
    std::filesystem::path folder = std::filesystem::path(contents.path()).parent_path();
    auto utf8 = [](const std::filesystem::path &path) {
        std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    };
    const std::u8string letters = u8"Zeichnung-\u00e4\u00f6\u00df-\u65e5\u672c.dxf";
    std::filesystem::path named = folder / letters;
    std::filesystem::copy_file(contents.path(), named);
    ReadOutcome read = ReadFile(utf8(named));
    ASSERT_TRUE(read.drawing) << ::testing::PrintToString(read.messages());
    std::filesystem::path written = folder / (u8"w-" + letters);
    qerr_Report *report = nullptr;
    qdxf_Write(read.drawing.get(), utf8(written).c_str(), 1, 0, &report);
    ReportPtr owned(report);
    EXPECT_EQ(report, nullptr);
    EXPECT_TRUE(std::filesystem::exists(written));

    std::string missing = utf8(folder);
    for (int level = 0; level < 7; ++level)
        missing += "/" + std::string(90, static_cast<char>('a' + level));
    EXPECT_EQ(ReadFile(missing).messages(),
              (Chain{"Error opening file " + missing, "No such file or directory"}));
}

// Cut anywhere, a drawing fails with a report (or reads, once the cut is past
// its EOF group), never crashes, and leaves nothing open or allocated.
TEST(ReadDriver, EveryCutOfADrawingFailsCleanly) {
    for (const std::string &whole :
         {Ascii(kSmallDrawing), Binary(kSmallDrawing), Binary(kSmallDrawing, true)}) {
        long liveBefore = pellund_TestLiveBlocks();
        for (std::size_t size = 0; size < whole.size(); ++size) {
            ReadOutcome outcome = ReadContents(whole.substr(0, size));
            bool pastEof =
                size >= whole.size() - 1 && whole[0] != 'A';  // "EOF" without its newline
            if (!pastEof) {
                EXPECT_EQ(outcome.drawing, nullptr) << "cut at " << size;
                EXPECT_NE(outcome.report, nullptr) << "cut at " << size;
            }
        }
        EXPECT_EQ(pellund_TestOpenHandles(), 0);
        EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore);
    }
}

TEST(ReadDriver, RandomBytesNeverCrashTheReader) {
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<char>(seed >> 24);
    };
    for (int round = 0; round < 200; ++round) {
        std::string bytes = round % 2 ? kSentinel : std::string();
        for (int i = 0; i < 300; ++i)
            bytes += next();
        ReadOutcome outcome = ReadContents(bytes);
        EXPECT_TRUE(outcome.drawing || outcome.report);
    }
    EXPECT_EQ(pellund_TestOpenHandles(), 0);
}

}  // namespace
