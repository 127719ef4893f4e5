// SPDX-License-Identifier: MIT
// The group writer on its own: every value kind in both forms byte for byte,
// reals in the shortest spelling that reads back to them, and what a failed
// write leaves.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <tuple>

#include "codec/group_writer.h"
#include "drawings.h"
#include "pellund_testing.h"

using namespace testing_support;
namespace {

// The state of the write these tests make, as qdxf_Write keeps one.
vexlith::Qdxf_WriteState &WriteState() {
    static vexlith::Qdxf_WriteState state{};
    return state;
}

using Chain = std::vector<std::string>;

// A file opened for writing with the write state set up as qdxf_Write sets
// it, for groups written straight through the group writer.
class GroupFile {
public:
    explicit GroupFile(bool binary) {
        vexlith::rt::File *file = vexlith::rt::Open(storage_, file_.c_str(), "w", nullptr);
        EXPECT_NE(file, nullptr);
        WriteState() = {qstr_Duplicate(file_.c_str()), file, binary ? 1 : 0, 0, nullptr, nullptr};
    }
    ~GroupFile() { Close(); }
    const std::string &path() const { return file_.path(); }
    // Closes the file and returns what it holds.
    std::string Contents() {
        Close();
        return file_.Contents();
    }

private:
    void Close() {
        vexlith::Qdxf_WriteState &state = WriteState();
        if (!state.file) return;
        vexlith::rt::CloseQuietly(state.file);
        qmsc_HeapFree(state.fileName);
        state = {};
    }
    TempFile file_;
    vexlith::rt::File storage_{};
};

// Writes each group with the operation its value kind calls for.
void WriteGroups(const std::vector<Group> &groups) {
    for (const Group &group : groups) {
        qerr_Report *report = nullptr;
        if (auto *s = std::get_if<std::string>(&group.value)) {
            vexlith::WriteStringGroup(WriteState(), group.code, &report, s->c_str());
        } else if (auto *i = std::get_if<int>(&group.value)) {
            vexlith::WriteIntGroup(WriteState(), group.code, &report, *i);
        } else {
            vexlith::WriteFloatGroup(WriteState(), group.code, &report,
                                     std::get<double>(group.value));
        }
        ASSERT_EQ(report, nullptr) << ::testing::PrintToString(Levels(report));
    }
}

std::string Written(bool binary, const std::vector<Group> &groups) {
    GroupFile file(binary);
    WriteGroups(groups);
    return file.Contents();
}

std::string Bytes(std::initializer_list<int> bytes) {
    std::string text;
    for (int byte : bytes)
        text += static_cast<char>(byte);
    return text;
}

struct ExactCase {
    Group group;
    std::string ascii;
    std::string binary;
};

std::vector<ExactCase> ExactCases() {
    const double third = 1.0 / 3.0;
    return {
        {{0, "SECTION"}, "  0\nSECTION\n", Bytes({0}) + "SECTION" + Bytes({0})},
        {{62, 7}, " 62\n     7\n", Bytes({0x3E, 0x07, 0x00})},
        {{10, 0.0}, " 10\n0\n", Bytes({0x0A}) + DoubleBytes(0.0)},
        {{0, "EOF"}, "  0\nEOF\n", Bytes({0x00, 0x45, 0x4F, 0x46, 0x00})},
        {{40, 1.0}, " 40\n1\n", Bytes({0x28, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F})},
        {{62, -1}, " 62\n    -1\n", Bytes({0x3E, 0xFF, 0xFF})},
        {{70, 1234567}, " 70\n1234567\n", Bytes({0x46, 0x87, 0xD6})},  // low 16 bits
        {{70, 70000}, " 70\n 70000\n", Bytes({0x46, 0x70, 0x11})},
        {{70, -32768}, " 70\n-32768\n", Bytes({0x46, 0x00, 0x80})},
        {{70, std::numeric_limits<int>::min()}, " 70\n-2147483648\n", Bytes({0x46, 0, 0})},
        {{1, ""}, "  1\n\n", Bytes({0x01, 0x00})},
        // CR and LF would end an ASCII value line: caret notation. Nothing else
        // is escaped, a caret included.
        {{1, "a\r\nb\r"},
         "  1\na^M^Jb^M\n",
         "\x01"
         "a\r\nb\r" +
             Bytes({0})},
        {{1, "^J^ \t\x1a\n"},
         "  1\n^J^ \t\x1a^J\n",
         "\x01"
         "^J^ \t\x1a\n" +
             Bytes({0})},
        {{1, " lead and trail "}, "  1\n lead and trail \n", "\x01 lead and trail " + Bytes({0})},
        // Reals: the shortest digits that read back to the same double, in
        // fixed notation for the magnitudes drawings hold.
        {{40, third}, " 40\n0.3333333333333333\n", "\x28" + DoubleBytes(third)},
        {{40, 0.5}, " 40\n0.5\n", "\x28" + DoubleBytes(0.5)},
        {{40, -0.0}, " 40\n-0\n", "\x28" + DoubleBytes(-0.0)},
        {{40, 5432123.456789}, " 40\n5432123.456789\n", "\x28" + DoubleBytes(5432123.456789)},
        {{40, 470.64204094981824},
         " 40\n470.64204094981824\n",
         "\x28" + DoubleBytes(470.64204094981824)},
        {{40, 100000.0}, " 40\n100000\n", "\x28" + DoubleBytes(100000.0)},
        {{40, 0.00001}, " 40\n0.00001\n", "\x28" + DoubleBytes(0.00001)},
        {{40, 1e16}, " 40\n1e+16\n", "\x28" + DoubleBytes(1e16)},
        {{40, 1.5e-7}, " 40\n1.5e-07\n", "\x28" + DoubleBytes(1.5e-7)},
        {{40, -2.5e-310}, " 40\n-2.5e-310\n", "\x28" + DoubleBytes(-2.5e-310)},
        {{40, HUGE_VAL}, " 40\ninf\n", "\x28" + DoubleBytes(HUGE_VAL)},
        {{40, -HUGE_VAL}, " 40\n-inf\n", "\x28" + DoubleBytes(-HUGE_VAL)},
        {{40, std::nan("")}, " 40\nnan\n", "\x28" + DoubleBytes(std::nan(""))},
        // Codes: three columns or more, the low 8 bits in binary.
        {{5, "x"}, "  5\nx\n", "\x05x" + Bytes({0})},
        {{999, "x"}, "999\nx\n", "\xE7x" + Bytes({0})},
        {{1000, "x"}, "1000\nx\n", "\xE8x" + Bytes({0})},
        {{-1, "x"}, " -1\nx\n", "\xFFx" + Bytes({0})},
    };
}

TEST(GroupWriter, WritesEachKindByteForByte) {
    for (const ExactCase &c : ExactCases()) {
        EXPECT_EQ(Written(false, {c.group}), c.ascii) << c.ascii;
        EXPECT_EQ(Written(true, {c.group}), c.binary) << c.ascii;
    }
}

// Texts as long as the reader takes back are written whole; one character
// more fails the group before its code, so no file is made that cannot be read.
TEST(GroupWriter, TextsAreWrittenWholeUpToWhatTheReaderTakes) {
    std::string crlf = "ab";  // 498 characters once escaped
    for (int i = 0; i < 124; ++i)
        crlf += "\r\n";
    struct Case {
        bool binary;
        std::string text;
        std::size_t length;  // as written, CR and LF escaped in the ASCII form
        bool fits;
    };
    for (const Case &c : std::vector<Case>{{false, std::string(498, 'x'), 498, true},
                                           {false, std::string(499, 'x'), 499, false},
                                           {false, crlf, 498, true},
                                           {false, crlf + "\n", 500, false},
                                           {false, std::string(70000, 'x'), 70000, false},
                                           {true, std::string(499, 'x'), 499, true},
                                           {true, std::string(500, 'x'), 500, false},
                                           {true, std::string(499, '\n'), 499, true}}) {
        GroupFile file(c.binary);
        qerr_Report *report = nullptr;
        vexlith::WriteStringGroup(WriteState(), 1, &report, c.text.c_str());
        std::string written = file.Contents();
        if (c.fits) {
            EXPECT_EQ(report, nullptr) << c.length;
            EXPECT_EQ(written.size(), (c.binary ? 2 : 5) + c.length) << c.length;
            continue;
        }
        EXPECT_EQ(Levels(report), (Chain{"WriteStringGroup: Error writing to " + file.path(),
                                         "RefuseLongText: Text of " + std::to_string(c.length) +
                                             " characters is more than " +
                                             (c.binary ? "a binary group can hold (499)"
                                                       : "an ASCII line can hold (498)")}));
        EXPECT_EQ(written, "");
        qerr_ReportFree(report);
    }
}

// With QDXF_WRITE_FIT_TEXTS a text too long for the form keeps what fits,
// never part of a character, code of the page (é, 日), escape (😀) or caret
// pair, and one log message names it; without, complete writes refuse it.
TEST(GroupWriter, TextsTooLongAreCutAtACharacter) {
    constexpr unsigned kFit = QDXF_WRITE_FIT_TEXTS, kComplete = QDXF_WRITE_COMPLETE | kFit;
    std::vector<std::uint16_t> codes(0x10000);
    codes[0xE9] = 0xE9;
    codes[0x65E5] = 0x93FA;
    const std::string x(497, 'x');
    for (auto [binary, flags, text, kept] :
         std::vector<std::tuple<bool, unsigned, std::string, std::string>>{
             {false, kFit, x + "yz", x + "y"},
             {false, kFit, x + "\n", x},
             {true, kFit, x + "x\xC3\xA9", x + "x"},
             {false, kComplete, x + "\xC3\xA9\xC3\xA9", x + "\xE9"},
             {false, kComplete, x + "\xE6\x97\xA5", x},
             {false, kComplete, "\xC3\xA9" + x + "\xF0\x9F\x98\x80", "\xE9" + x},
             {false, kComplete, x + "\xE9\xE9", x + "\xE9"},  // no UTF-8: its bytes
             {false, QDXF_WRITE_COMPLETE, x + "yz", ""}}) {
        GroupFile file(binary);
        WriteState().flags = flags;
        WriteState().pageCodes = codes.data();
        LogCapture log;
        qerr_Report *report = nullptr;
        vexlith::WriteStringGroup(WriteState(), 1, &report, text.c_str());
        EXPECT_EQ(file.Contents(), kept.empty() ? ""
                                   : binary     ? "\x01" + kept + '\0'
                                                : "  1\n" + kept + "\n");
        EXPECT_EQ(log.messages().size() + (report != nullptr), 1u);
        qerr_ReportFree(report);
    }
}

TEST(GroupWriter, RealsReadBackToTheSameDouble) {
    // Random bit patterns cover every exponent and the subnormals; random
    // decimals cover the values drawings hold, with their rounding ties.
    std::mt19937_64 random(20240611);
    std::uniform_int_distribution<int> digits(-999999, 999999), scale(-12, 12);
    std::vector<Group> groups(60000);
    for (std::size_t i = 0; i < groups.size(); i += 3) {
        std::uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isnan(value)) value = std::copysign(std::nan(""), value);
        groups[i].code = 10;
        groups[i].value = value;
        groups[i + 1].code = 20;
        groups[i + 1].value = digits(random) * std::pow(10.0, scale(random));
        groups[i + 2].code = 30;
        groups[i + 2].value = static_cast<double>(digits(random)) / 8.0;  // ties like .125
    }
    std::istringstream lines(Written(false, groups));
    std::string code, value;
    for (std::size_t i = 0; i < groups.size() && std::getline(lines, code); ++i) {
        std::getline(lines, value);
        double written = std::get<double>(groups[i].value), back = 0;
        std::from_chars(value.data(), value.data() + value.size(), back);
        EXPECT_TRUE(back == written || (std::isnan(back) && std::isnan(written))) << value;
    }
    EXPECT_EQ(Written(false, groups), WrittenAscii(groups));
    EXPECT_EQ(Written(true, groups), WrittenBinary(groups).substr(kSentinel.size()));
}

TEST(GroupWriter, APointIsThreeRealGroups) {
    const Qdxf_Coord point = {1.5, 2.0, 0.0};
    for (bool binary : {false, true}) {
        GroupFile file(binary);
        qerr_Report *report = nullptr;
        vexlith::WritePointGroups(WriteState(), &report, &point, 1);
        EXPECT_EQ(report, nullptr);
        std::vector<Group> expected = {{11, 1.5}, {21, 2.0}, {31, 0.0}};
        EXPECT_EQ(file.Contents(), binary ? WrittenBinary(expected).substr(kSentinel.size())
                                          : " 11\n1.5\n 21\n2\n 31\n0\n");
    }
}

// The bytes of `groups` in the binary form, without the sentinel.
std::string BinaryGroups(const std::vector<Group> &groups) {
    return WrittenBinary(groups).substr(kSentinel.size());
}

// One failure case: the group written, the write that fails, what stays in
// the file and the chain ({FILE} stands for the file's name).
struct FailureCase {
    const char *name;
    std::function<void(qerr_Report **)> write;
    long failingWrite;
    std::string asciiLeft;
    std::string binaryLeft;
    Chain chain;  // the binary form adds the toolkit's report
};

std::vector<FailureCase> FailureCases() {
    static const Qdxf_Coord point = {1.5, 2.0, 3.0};
    // The longest texts an ASCII line holds, with and without caret notation.
    static const std::string longText(498, 'x'), lineBreaks(249, '\n');
    return {
        {"a long text's characters",
         [](qerr_Report **r) { vexlith::WriteStringGroup(WriteState(), 1, r, longText.c_str()); },
         2,
         "  1\n",
         "\x01",
         {"WriteStringGroup: Error writing to {FILE}"}},
        {"a text in caret notation",
         [](qerr_Report **r) { vexlith::WriteStringGroup(WriteState(), 1, r, lineBreaks.c_str()); },
         2,
         "  1\n",
         "\x01",
         {"WriteStringGroup: Error writing to {FILE}"}},
        {"an integer's code",
         [](qerr_Report **r) { vexlith::WriteIntGroup(WriteState(), 62, r, 7); },
         1,
         "",
         "",
         {"WriteIntGroup: Error writing to {FILE}"}},
        {"an integer's value: the code stays",
         [](qerr_Report **r) { vexlith::WriteIntGroup(WriteState(), 62, r, 7); },
         2,
         " 62\n",
         "\x3E",
         {"WriteIntGroup: Error writing to {FILE}"}},
        {"a real's value",
         [](qerr_Report **r) { vexlith::WriteFloatGroup(WriteState(), 40, r, 2.5); },
         2,
         " 40\n",
         "\x28",
         {"WriteFloatGroup: Error writing to {FILE}"}},
        {"a text's value",
         [](qerr_Report **r) { vexlith::WriteStringGroup(WriteState(), 8, r, "walls"); },
         2,
         "  8\n",
         "\x08",
         {"WriteStringGroup: Error writing to {FILE}"}},
        {"y of a point: x stays",
         [](qerr_Report **r) { vexlith::WritePointGroups(WriteState(), r, &point, 0); },
         3,
         " 10\n1.5\n",
         BinaryGroups({{10, 1.5}}),
         {"WritePointGroups: Error writing group", "WriteFloatGroup: Error writing to {FILE}"}},
        {"z's value of a point",
         [](qerr_Report **r) { vexlith::WritePointGroups(WriteState(), r, &point, 2); },
         6,
         " 12\n1.5\n 22\n2\n 32\n",
         BinaryGroups({{12, 1.5}, {22, 2.0}}) + "\x20",
         {"WritePointGroups: Error writing group", "WriteFloatGroup: Error writing to {FILE}"}},
    };
}

TEST(GroupWriter, AFailedWriteEndsTheGroupAndSaysWhere) {
    for (const FailureCase &c : FailureCases()) {
        for (bool binary : {false, true}) {
            GroupFile file(binary);
            pellund_TestReset();
            pellund_TestFailWrite(c.failingWrite);
            qerr_Report *report = nullptr;
            c.write(&report);
            pellund_TestReset();
            Chain expected;
            for (std::string level : c.chain) {
                if (auto at = level.find("{FILE}"); at != std::string::npos) {
                    level.replace(at, 6, file.path());
                }
                expected.push_back(level);
            }
            if (binary) expected.push_back("qfio_WriteSeq: Injected write failure");
            EXPECT_EQ(Levels(report), expected) << c.name << (binary ? ", binary" : "");
            qerr_ReportFree(report);
            EXPECT_EQ(file.Contents(), binary ? c.binaryLeft : c.asciiLeft) << c.name;
        }
    }
}

}  // namespace
