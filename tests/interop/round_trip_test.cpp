// SPDX-License-Identifier: MIT
// Read, write, read back: every drawing that reads (the corpus of other
// producers, the drawings ezdxf wrote, the test data, the example and a few
// made here for the edges) is written in both forms and read again, and must
// come back holding every member the writer writes as the form keeps it, and
// every other member as the reader leaves it (written_members.h).
//
// Documented limit: the reader takes an ASCII value line of more than 498
// characters in pieces, so a drawing with a longer text (possible only from
// a binary file) is not compared in its ASCII form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "drawings.h"
#include "test_support.h"
#include "written_members.h"

using namespace testing_support;

namespace {

struct Source {
    std::string name;
    std::string path;      // a file to read, or
    std::string contents;  // the bytes of one
};

std::vector<Source> FilesUnder(const std::filesystem::path &dir, const std::string &prefix) {
    std::vector<Source> sources;
    if (dir.empty() || !std::filesystem::exists(dir)) return sources;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir)) {
        std::string extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (entry.is_regular_file() && (extension == ".dxf" || extension == ".dxfb")) {
            sources.push_back({prefix + std::filesystem::relative(entry.path(), dir).string(),
                               entry.path().string(),
                               {}});
        }
    }
    std::sort(sources.begin(), sources.end(),
              [](const Source &a, const Source &b) { return a.name < b.name; });
    return sources;
}

// Values at the edges of what each form keeps, members the writer does not
// write, records it does not write at all, a block of the empty name and its
// INSERT. A binary text may hold CR and LF, an ASCII one cannot.
std::vector<Group> EdgeDrawing(bool binary) {
    const double third = 1.0 / 3.0;
    return Drawing({
        Section("HEADER", {{9, "$ACADVER"},
                           {1, "AC1009"},
                           {9, "$EXTMIN"},
                           {10, -third},
                           {20, 4.9406564584124654e-324},
                           {30, -0.0},
                           {9, "$EXTMAX"},
                           {10, 1e300},
                           {20, 123456789.123},
                           {30, 2.5e-310},
                           {9, "$ANGBASE"},
                           {50, 90.0}}),
        Section("TABLES", Table("LAYER", {{0, "LAYER"}, {2, "walls"}, {62, 3}})),
        Section("BLOCKS",
                {{0, "BLOCK"}, {2, "frame  "}, {8, "walls"},  {70, -2},       {10, 1.5},
                 {1, "x.dxf"}, {5, "1F"},      {0, "LINE"},   {6, "BYLAYER"}, {62, 0},
                 {11, 2.0},    {0, "3DFACE"},  {10, 1.0},     {30, 1.0},      {0, "ENDBLK"},
                 {0, "BLOCK"}, {2, "empty"},   {0, "ENDBLK"}, {0, "BLOCK"},   {2, ""},
                 {0, "ENDBLK"}}),
        Section("ENTITIES", {{0, "TEXT"},
                             {8, "walls"},
                             {1, binary ? "two\r\nlines \t" : "two\rlines \t"},
                             {7, "S"},
                             {50, 33.3},
                             {51, -1e-9},
                             {71, 2},
                             {11, 1.0},
                             {0, "TEXT"},
                             {40, third},
                             {1, "caf\xC3\xA9 \xF0\x9F\x98\x80"},
                             {0, "INSERT"},
                             {2, "frame  "},
                             {70, 0},
                             {71, 0},
                             {41, 2.0},
                             {44, 0.5},
                             {0, "INSERT"},
                             {2, ""},
                             {0, "INSERT"},
                             {2, "frame"},
                             {50, 1e-300},
                             {0, "HATCH"},
                             {0, "ARC"},
                             {40, 1e20},
                             {50, 359.99999999},
                             {51, 1e300},
                             {0, "POLYLINE"},
                             {70, 9},
                             {40, 0.25},
                             {0, "VERTEX"},
                             {10, 7.0},
                             {42, 1.0},
                             {70, 32},
                             {0, "VERTEX"},
                             {31, -7.0},
                             {0, "SEQEND"},
                             {0, "SOLID"},
                             {13, 1.0},
                             {33, -1.0},
                             {0, "CIRCLE"},
                             {6, "DASHED"},
                             {40, 0.1},
                             {0, "POINT"},
                             {39, 2.0},
                             {67, 1},
                             {0, "TRACE"},
                             {12, third}}),
    });
}

std::vector<Source> Sources() {
    std::vector<Source> sources = {
        {"edges, binary", {}, Binary(EdgeDrawing(true))},
        {"edges, binary with two-byte codes", {}, Binary(EdgeDrawing(true), true)},
        {"edges, ASCII", {}, Ascii(EdgeDrawing(false))},
        {"example", std::string(VEXLITH_SOURCE_DIR) + "/examples/house.dxf", {}},
    };
    for (const auto &group :
         {FilesUnder(TestDataDir(), "tests/data/"), FilesUnder(VEXLITH_INTEROP_DIR, "ezdxf/"),
          FilesUnder(CorpusDir(), "corpus/")}) {
        sources.insert(sources.end(), group.begin(), group.end());
    }
    return sources;
}

std::string Show(const std::vector<std::string> &differences) {
    std::string text;
    for (const std::string &difference : differences)
        text += "\n  " + difference;
    return text;
}

// How a drawing is read and written: qdxf_Read and qdxf_Write; qdxf_Read and
// the complete form; as vexlith convert does, with and without --r12.
struct Way {
    const char *name;
    bool readOptions;
    unsigned int flags;
};
constexpr unsigned int kConvert = QDXF_WRITE_COMPLETE | QDXF_WRITE_FIT_TEXTS;
constexpr Way kWays[] = {{"qdxf_Write", false, 0},
                         {"complete", false, QDXF_WRITE_COMPLETE},
                         {"convert", true, kConvert},
                         {"convert --r12", true, kConvert | QDXF_WRITE_R12_NAMES}};

ReadOutcome Read(const std::string &path, bool withOptions) {
    const Qdxf_ReadOptions options{sizeof options, QDXF_READ_ALL, 0.0, nullptr, 0, nullptr};
    qerr_Report *report = nullptr;
    Qdxf_Info *drawing =
        qdxf_ReadWithOptions(path.c_str(), nullptr, withOptions ? &options : nullptr, &report);
    return {DrawingPtr(drawing), ReportPtr(report)};
}

TEST(RoundTrip, EveryDrawingComesBackAsWrittenInBothForms) {
    LogCapture quiet;  // kinds ignored by the reader, texts cut
    TempFile keep;     // the complete files, for ezdxf
    std::vector<std::string> completeFiles = {"--audit"};
    int compared = 0, fromCorpus = 0, asciiSkipped = 0, refused = 0, withHandles = 0, files = 0;
    for (const Source &source : Sources()) {
        SCOPED_TRACE(source.name);
        TempFile copy(source.contents);
        const std::string &input = source.path.empty() ? copy.path() : source.path;
        ReadOutcome reads[] = {Read(input, false), Read(input, true)};
        // Files that do not read (the corpus has some) have nothing to write.
        if (!reads[0].drawing) continue;
        for (const Way &way : kWays) {
            const ReadOutcome &first = reads[way.readOptions];
            ASSERT_TRUE(first.drawing) << ::testing::PrintToString(first.messages());
            const bool complete = way.flags & QDXF_WRITE_COMPLETE;
            for (int binary : {1, 0}) {
                if (!complete && !binary && !TextsFitOnAsciiLines(*first.drawing)) {
                    ++asciiSkipped;
                    continue;
                }
                std::string form = std::string(way.name) + (binary ? ", binary: " : ", ASCII: ");
                std::string path = (std::filesystem::path(keep.path()).parent_path() /
                                    (std::to_string(++files) + ".dxf"))
                                       .string();
                WriteOutcome written = WriteTo(first.drawing.get(), path, binary, way.flags);
                std::vector<std::string> levels = written.levels();
                // The complete form writes more texts, some escaped: one too
                // long for the form is refused as the plain form does, or cut.
                if (complete && !(way.flags & QDXF_WRITE_FIT_TEXTS) && !levels.empty() &&
                    levels.back().find("can hold") != std::string::npos) {
                    ++refused;
                    continue;
                }
                ASSERT_EQ(written.report, nullptr) << form << ::testing::PrintToString(levels);
                ReadOutcome second = Read(path, way.readOptions);
                ASSERT_TRUE(second.drawing) << form << ::testing::PrintToString(second.messages());
                // R12 names are other names (writer_test checks them).
                std::vector<std::string> differences =
                    !complete ? WrittenMemberDifferences(*first.drawing, *second.drawing, binary)
                    : way.flags & QDXF_WRITE_R12_NAMES
                        ? std::vector<std::string>{}
                        : CompleteMemberDifferences(*first.drawing, *second.drawing, binary,
                                                    CompleteFileAt(path, way.flags));
                EXPECT_TRUE(differences.empty()) << form << Show(differences);
                if (complete) completeFiles.push_back(path);
                const Qdxf_Entity *entity = second.drawing->entities;
                withHandles += complete && !way.readOptions && binary && entity && entity->handle;
            }
        }
        ++compared;
        fromCorpus += source.name.starts_with("corpus/");
    }
    std::printf(
        "%d drawings compared, %d of them from the corpus; %d not in ASCII form, %d "
        "complete writes refused a text too long\n",
        compared, fromCorpus, asciiSkipped, refused);
    EXPECT_GE(compared, 10);
    if (!CorpusDir().empty()) {
        EXPECT_GE(fromCorpus, 77);
        EXPECT_GE(withHandles, 30);  // every handle unique: they are written
    }
    // Another reader takes every complete file without an error.
    std::string output;
    if (RunChecker(completeFiles, &output) != 77) {
        EXPECT_EQ(output, "");
    }
}

// Texts go out in the one code page that holds them all, as ezdxf reads the
// written file (it decodes by $DWGCODEPAGE): make_names.py --check.
TEST(RoundTrip, TextsGoOutInTheCodePageThatHoldsThem) {
    SKIP_WITHOUT_PYTHON3();
    TempFile keep;
    std::vector<std::string> arguments = {"--check"};
    for (const char *script : {"cyrillic", "greek", "japanese", "korean", "mixed"}) {
        ReadOutcome read =
            Read(std::string(VEXLITH_INTEROP_DIR) + "/names_" + script + ".dxf", true);
        if (!read.drawing) GTEST_SKIP() << "ezdxf wrote no names_" << script << ".dxf";
        for (int binary : {0, 1}) {
            auto name = std::string(script) + (binary ? ".binary.dxf" : ".dxf");
            arguments.push_back((std::filesystem::path(keep.path()).parent_path() / name).string());
            ASSERT_EQ(WriteTo(read.drawing.get(), arguments.back(), binary, kConvert).report,
                      nullptr);
        }
    }
    std::string output;
    if (RunChecker(arguments, &output, "make_names.py") == 77) GTEST_SKIP() << output;
    EXPECT_EQ(output, "");
}

// Texts that would not fit an ASCII line as the reader takes it are known
// before writing; one that fits exactly comes back whole.
TEST(RoundTrip, TextsLongerThanAnAsciiLineAreKnownBeforeWriting) {
    auto drawing = [](std::size_t length, const std::string &tail) {
        return Binary(Drawing({Section(
            "ENTITIES", {{0, "TEXT"}, {1, std::string(length - tail.size(), 'x') + tail}})}));
    };
    ReadOutcome tooLong = ReadContents(drawing(498, "\n"));  // "^J" takes two
    ASSERT_TRUE(tooLong.drawing);
    EXPECT_FALSE(TextsFitOnAsciiLines(*tooLong.drawing));
    ReadOutcome exactly = ReadContents(drawing(498, ""));
    ASSERT_TRUE(exactly.drawing);
    ASSERT_TRUE(TextsFitOnAsciiLines(*exactly.drawing));
    TempFile file;
    qdxf_Write(exactly.drawing.get(), file.c_str(), 0, 0, nullptr);
    ReadOutcome back = ReadFile(file.path());
    ASSERT_TRUE(back.drawing);
    EXPECT_EQ(WrittenMemberDifferences(*exactly.drawing, *back.drawing, false),
              std::vector<std::string>{});
}

}  // namespace
