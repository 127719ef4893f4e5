// SPDX-License-Identifier: MIT
// The group reader: the kind rule, both encodings, comments, the text limits,
// push back with line numbers, and progress.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>

#include "codec/group_decode.h"
#include "test_support.h"

using namespace vexlith;
using namespace testing_support;

namespace {

// Opens `contents` as the group source of a read, the way qdxf_Read sets it
// up, and closes it afterwards.
class GroupReaderTest : public ::testing::Test {
protected:
    void Open(std::string_view contents, bool binary = false, bool twoByteCodes = false) {
        Close();
        file_ = std::make_unique<TempFile>(contents);
        State().file = rt::Open(fileStorage_, file_->c_str(), "r", nullptr);
        ASSERT_NE(State().file, nullptr);
        State().fileName = "drawing.dxf";
        State().lineNumber = 1;
        State().binary = binary;
        State().twoByteCodes = twoByteCodes;
        if (binary) rt::Seek(State().file, 22, nullptr);
        OpenGroupSource(State());
    }
    void Close() {
        if (State().file) rt::CloseQuietly(State().file);
        State() = {};
    }
    void TearDown() override { Close(); }
    GroupSource &State() { return source_; }
    // Reads one group; the chain of messages on failure, empty on success.
    std::vector<std::string> Read(Qdxf_Group &group) {
        qerr_Report *report = nullptr;
        ReadGroup(State(), &report, &group);
        ReportPtr owned(report);
        return Messages(report);
    }
    std::vector<std::string> ReadExpecting(Qdxf_Group &group, int code) {
        qerr_Report *report = nullptr;
        ReadKnownGroup(State(), &report, &group, code);
        ReportPtr owned(report);
        return Messages(report);
    }

    std::unique_ptr<TempFile> file_;
    rt::File fileStorage_{};
    GroupSource source_{};
};

using Chain = std::vector<std::string>;

TEST(GroupKind, FollowsTheRemainderOfTheCode) {
    const std::pair<int, Qdxf_ValueKind> cases[] = {
        {0, QDXF_VALUE_TEXT},     {5, QDXF_VALUE_TEXT},     {9, QDXF_VALUE_TEXT},
        {10, QDXF_VALUE_REAL},    {38, QDXF_VALUE_REAL},    {59, QDXF_VALUE_REAL},
        {60, QDXF_VALUE_INT},     {62, QDXF_VALUE_INT},     {75, QDXF_VALUE_INT},
        {79, QDXF_VALUE_INT},     {80, QDXF_VALUE_NONE},    {85, QDXF_VALUE_NONE},
        {90, QDXF_VALUE_INT},     {99, QDXF_VALUE_INT},     {100, QDXF_VALUE_TEXT},
        {139, QDXF_VALUE_TEXT},   {140, QDXF_VALUE_REAL},   {147, QDXF_VALUE_REAL},
        {148, QDXF_VALUE_TEXT},   {170, QDXF_VALUE_INT},    {175, QDXF_VALUE_INT},
        {176, QDXF_VALUE_TEXT},   {199, QDXF_VALUE_TEXT},   {200, QDXF_VALUE_NONE},
        {210, QDXF_VALUE_NONE},   {999, QDXF_VALUE_NONE},   {1000, QDXF_VALUE_TEXT},
        {1040, QDXF_VALUE_REAL},  {1070, QDXF_VALUE_INT},   {1071, QDXF_VALUE_INT},
        {1095, QDXF_VALUE_INT},   {2010, QDXF_VALUE_REAL},  {-1, QDXF_VALUE_NONE},
        {-1000, QDXF_VALUE_TEXT}, {-1005, QDXF_VALUE_NONE},
    };
    for (auto [code, kind] : cases)
        EXPECT_EQ(GetGroupKind(code), kind) << "code " << code;
}

TEST(AsciiNumbers, ConvertLikeTheCLibraryWithoutItsLocaleOrOverflow) {
    const std::pair<const char *, int> integers[] = {
        {"  7", 7},
        {"-1\n", -1},
        {"+5", 5},
        {"\t\r 42x", 42},
        {"", 0},
        {"abc", 0},
        {"+-3", 0},
        {"- 3", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999", INT_MIN},
        {"007", 7},
    };
    for (auto [text, value] : integers)
        EXPECT_EQ(ParseInteger(text), value) << text;
    const std::string manyDigits = std::string(400, '9') + ".5";
    const std::pair<const char *, double> reals[] = {
        {"1.5", 1.5},
        {"  -0.25\r\n", -0.25},
        {"+2e3", 2000.0},
        {".5", 0.5},
        {"5.", 5.0},
        {"1e", 1.0},
        {"1,5", 1.0},
        {"", 0.0},
        {"x1", 0.0},
        {"+-1", 0.0},
        {"1.000000000000000E+20", 1e20},
        {"1e-400", 0.0},
        {"0.0000001e-320", 0.0},
        {"1.5E+400", HUGE_VAL},
        {manyDigits.c_str(), HUGE_VAL},
        {"-1e99999999999", -HUGE_VAL},
        {"++1", 0.0},
    };
    for (auto [text, value] : reals)
        EXPECT_EQ(ParseReal(text), value) << text;
    EXPECT_EQ(ParseReal("1e400"), HUGE_VAL);
    EXPECT_EQ(ParseReal("-1e400"), -HUGE_VAL);
    EXPECT_TRUE(std::signbit(ParseReal("-0")));
}

TEST_F(GroupReaderTest, AsciiGroupsTakeTheKindOfTheirCode) {
    Open("  8\n0\n 62\n     7\n 10\n1.5\n  1\nLayer 1  \r\n  1\n\r\n  1\n  lead\n 90\n-70000\n");
    Qdxf_Group group{};
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.code, 8);
    EXPECT_EQ(group.kind, QDXF_VALUE_TEXT);
    EXPECT_STREQ(group.value.text, "0");
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.kind, QDXF_VALUE_INT);
    EXPECT_EQ(group.value.integer, 7);
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.kind, QDXF_VALUE_REAL);
    EXPECT_EQ(group.value.real, 1.5);
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_STREQ(group.value.text, "Layer 1");
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_STREQ(group.value.text, "");
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_STREQ(group.value.text, "  lead");
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.value.integer, -70000);
    EXPECT_EQ(State().lineNumber, 15);
}

TEST_F(GroupReaderTest, LongCodeLinesGiveTheCodeTheGeneralParserGives) {
    // After a first group has filled the view and with a full view behind
    // them, so that the short-code path sees them first.
    const std::string padding = "999\n" + std::string(600, 'x') + "\n";
    for (const char *code :
         {"123456789", "1234567890", "  9999999999", "   000000000001", "-12", "2147483648"}) {
        Open("  1\nfirst\n" + std::string(code) + "\nvalue\n" + padding);
        Qdxf_Group group{};
        ASSERT_EQ(Read(group), Chain{});
        ASSERT_EQ(Read(group), Chain{}) << code;
        EXPECT_EQ(group.code, ParseInteger(code)) << code;
    }
}

TEST_F(GroupReaderTest, AsciiGroupWithoutKindKeepsTheValueItHeld) {
    Open("210\n0.0\n");
    Qdxf_Group group{};
    group.value.real = 42.0;
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.code, 210);
    EXPECT_EQ(group.kind, QDXF_VALUE_NONE);
    EXPECT_EQ(group.value.real, 42.0);
    EXPECT_EQ(State().lineNumber, 3);
}

TEST_F(GroupReaderTest, CommentGroupsNeverReachTheCaller) {
    Open("999\none\n999\ntwo\n999\nthree\n  0\nSECTION\n");
    Qdxf_Group group{};
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.code, 0);
    EXPECT_STREQ(group.value.text, "SECTION");
    EXPECT_EQ(State().lineNumber, 9);
}

TEST_F(GroupReaderTest, AsciiFailuresNameTheLineThatCouldNotBeRead) {
    struct Case {
        const char *contents;
        int groupsRead;  // before the failure
        long long line;
        long long firstLine = 1;  // the line number the file starts at
    };
    const Case cases[] = {
        {"", 0, 1},                // nothing at all
        {"  0\n", 0, 2},           // a code line without its value
        {"999\n", 0, 2},           // a comment without its text
        {"999\ntext\n", 0, 3},     // a comment and no group after it
        {"  0\nSECTION\n", 1, 3},  // the next group is missing
        // Past 2^32 lines the whole number is counted and shown.
        {"  0\nSECTION\n", 1, 4294967298, 4294967296},
    };
    for (const Case &c : cases) {
        Open(c.contents);
        State().lineNumber = c.firstLine;
        Qdxf_Group group{};
        for (int i = 0; i < c.groupsRead; ++i)
            ASSERT_EQ(Read(group), Chain{});
        EXPECT_EQ(Read(group),
                  (Chain{"Error reading group",
                         "Error reading file drawing.dxf, line " + std::to_string(c.line)}))
            << c.contents;
    }
}

TEST_F(GroupReaderTest, LongAsciiLinesAreSplitInto499CharacterPieces) {
    std::string text(499, 'a');
    std::string longer(520, 'b');
    Open("  1\n" + text + "\n  1\n" + longer + "\n");
    Qdxf_Group group{};
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(std::string(group.value.text), std::string(498, 'a') + "a");
    // A line of 499 characters and its newline: the newline is the next line.
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.code, 0);  // the empty "line" of the newline reads as code 0
}

TEST_F(GroupReaderTest, KnownGroupMismatchNamesTheValueLine) {
    Open("  0\nSECTION\n  2\nHEADER\n");
    Qdxf_Group group{};
    ASSERT_EQ(ReadExpecting(group, 0), Chain{});
    EXPECT_EQ(ReadExpecting(group, 0),
              Chain{"Line 4: Expected group code of 0, group code 2 encountered"});
    EXPECT_STREQ(group.value.text, "HEADER");
}

TEST_F(GroupReaderTest, BinaryOneByteCodes) {
    Open(kSentinel + std::string("\x3e\x07\x00", 3) + "\x28" + DoubleBytes(1.0) +
             std::string("\0EOF\0", 5) + "\xc8" + "\x3e\xff\xff",
         true);
    Qdxf_Group group{};
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.code, 62);
    EXPECT_EQ(group.value.integer, 7);
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.code, 40);
    EXPECT_EQ(group.value.real, 1.0);
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.code, 0);
    EXPECT_STREQ(group.value.text, "EOF");
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.code, 200);  // no value byte is read
    EXPECT_EQ(group.kind, QDXF_VALUE_NONE);
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.value.integer, -1);
}

TEST_F(GroupReaderTest, BinaryTwoByteCodes) {
    Open(kSentinel + std::string("\x3e\x00\x07\x00", 4) + LittleEndian(1071, 2) +
             LittleEndian(-123456, 4),
         true, true);
    Qdxf_Group group{};
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.code, 62);
    EXPECT_EQ(group.value.integer, 7);
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(group.code, 1071);
    EXPECT_EQ(group.value.integer, -123456);
}

// Every value is consumed with the width the binary encoding gives its code;
// the group then holds what the kind rule keeps, in the kind actually read.
TEST_F(GroupReaderTest, BinaryValuesTakeTheWidthOfTheirEncoding) {
    const std::string kLongChunkBytes = [] {
        std::string bytes(256, '\x5a');
        bytes[0] = '\xff';  // the length
        return bytes;
    }();
    const std::string kLongChunk = [] {
        std::string hex;
        for (int i = 0; i < 249; ++i)
            hex += "5A";
        return hex;
    }();
    struct Case {
        int code;
        std::string value;
        Qdxf_ValueKind kind;
        long long integer;
        double real;
        const char *text;
    };
    const Case cases[] = {
        {90, LittleEndian(70000, 4), QDXF_VALUE_INT, 70000, 0, nullptr},
        {176, LittleEndian(-2, 2), QDXF_VALUE_INT, -2, 0, nullptr},
        {160, LittleEndian(5000000000LL, 8), QDXF_VALUE_INT, INT_MAX, 0, nullptr},
        {160, LittleEndian(-12, 8), QDXF_VALUE_INT, -12, 0, nullptr},
        {110, DoubleBytes(2.5), QDXF_VALUE_REAL, 0, 2.5, nullptr},
        {148, DoubleBytes(-1.0), QDXF_VALUE_REAL, 0, -1.0, nullptr},
        {210, DoubleBytes(1.0), QDXF_VALUE_NONE, 0, 0, nullptr},
        {290, std::string("\x01", 1), QDXF_VALUE_NONE, 0, 0, nullptr},
        {330, std::string("1F\0", 3), QDXF_VALUE_NONE, 0, 0, nullptr},
        {370, LittleEndian(-3, 2), QDXF_VALUE_NONE, 0, 0, nullptr},
        {420, LittleEndian(0xffffff, 4), QDXF_VALUE_NONE, 0, 0, nullptr},
        {460, DoubleBytes(3.0), QDXF_VALUE_NONE, 0, 0, nullptr},
        {310, std::string("\x03\x01\x02\x03", 4), QDXF_VALUE_NONE, 0, 0, nullptr},
        {1000, std::string("note\0", 5), QDXF_VALUE_TEXT, 0, 0, "note"},
        {1004, std::string("\x02\xab\x01", 3), QDXF_VALUE_TEXT, 0, 0, "AB01"},
        // A chunk of 255 bytes: the text holds the hexadecimal of 249 of them.
        {1004, kLongChunkBytes, QDXF_VALUE_TEXT, 0, 0, kLongChunk.c_str()},
        // Codes beyond the encoding's table: the kind rule gives the width.
        {2000, std::string("x\0", 2), QDXF_VALUE_TEXT, 0, 0, "x"},
        {-5, "", QDXF_VALUE_NONE, 0, 0, nullptr},
        {1040, DoubleBytes(0.125), QDXF_VALUE_REAL, 0, 0.125, nullptr},
        {1070, LittleEndian(-7, 2), QDXF_VALUE_INT, -7, 0, nullptr},
        {1071, LittleEndian(100000, 4), QDXF_VALUE_INT, 100000, 0, nullptr},
        {999, "", QDXF_VALUE_NONE, 0, 0, nullptr},
    };
    for (bool twoByteCodes : {false, true}) {
        std::string bytes = kSentinel;
        for (const Case &c : cases) {
            if (twoByteCodes) {
                bytes += LittleEndian(c.code, 2);
            } else if (c.code > 255 || c.code < 0) {
                bytes += '\xff' + LittleEndian(c.code, 2);
            } else {
                bytes += static_cast<char>(c.code);
            }
            bytes += c.value;
        }
        bytes += twoByteCodes ? LittleEndian(0, 2) : std::string(1, '\0');
        bytes += std::string("EOF\0", 4);
        Open(bytes, true, twoByteCodes);
        for (const Case &c : cases) {
            Qdxf_Group group{};
            ASSERT_EQ(Read(group), Chain{}) << c.code;
            EXPECT_EQ(group.code, c.code);
            EXPECT_EQ(group.kind, c.kind) << c.code;
            if (c.kind == QDXF_VALUE_INT) {
                EXPECT_EQ(group.value.integer, c.integer) << c.code;
            } else if (c.kind == QDXF_VALUE_REAL) {
                EXPECT_EQ(group.value.real, c.real) << c.code;
            } else if (c.kind == QDXF_VALUE_TEXT) {
                EXPECT_STREQ(group.value.text, c.text) << c.code;
            }
        }
        Qdxf_Group last{};
        ASSERT_EQ(Read(last), Chain{});
        EXPECT_STREQ(last.value.text, "EOF") << "lost its place, two-byte codes " << twoByteCodes;
    }
}

TEST_F(GroupReaderTest, BinaryTextsHoldAtMost499Characters) {
    std::string fits(499, 'x');
    std::string tooLong(500, 'y');
    // Alone, and with room behind for the quick path.
    for (const std::string &padding : {std::string(), std::string(600, '\0')}) {
        Open(kSentinel + '\x01' + fits + '\0' + std::string("\x01") + "ab" + '\0' + '\x01' +
                 tooLong + std::string("\0zz", 3) + padding,
             true);
        Qdxf_Group group{};
        ASSERT_EQ(Read(group), Chain{});
        EXPECT_EQ(std::string(group.value.text), fits);
        ASSERT_EQ(Read(group), Chain{});
        EXPECT_STREQ(group.value.text, "ab");
        EXPECT_EQ(Read(group), (Chain{"Error reading group", "Reached string length limit"}));
        // The 500 characters and the byte after them are consumed.
        EXPECT_EQ(GroupPosition(State()), 22 + 501 + 4 + 1 + 501);
    }
}

TEST_F(GroupReaderTest, BinaryFailuresNameTheGroupsByteOffset) {
    struct Case {
        std::string bytes;
        bool twoByteCodes;
        Chain chain;
    };
    const Case cases[] = {
        {"",
         false,
         {"Error reading group", "Byte offset 22: Error reading binary group code",
          "Unexpected end of file"}},
        {"\x05",
         true,
         {"Error reading group", "Byte offset 22: Error binary group code",
          "Unexpected end of file"}},
        {"\xff\x01",
         false,
         {"Error reading group", "Byte offset 22: Error reading binary group code",
          "Unexpected end of file"}},
        {"\x3e\x07",
         false,
         {"Error reading group", "Byte offset 22: Error reading binary group value",
          "Unexpected end of file"}},
        {"\x28\x00\x00",
         false,
         {"Error reading group", "Byte offset 22: Error reading binary group value",
          "Unexpected end of file"}},
        {"\x01no end",
         false,
         {"Error reading group", "Byte offset 22: Error reading binary group value",
          "Unexpected end of file"}},
        {"\xff\xec\x03\x05\x01",
         false,
         {"Error reading group",  // a chunk cut short
          "Byte offset 22: Error reading binary group value", "Unexpected end of file"}},
        {"\xff\xec\x03",
         false,
         {"Error reading group",  // a chunk without its length
          "Byte offset 22: Error reading binary group value", "Unexpected end of file"}},
    };
    for (const Case &c : cases) {
        Open(kSentinel + c.bytes, true, c.twoByteCodes);
        Qdxf_Group group{};
        EXPECT_EQ(Read(group), c.chain);
    }
}

TEST_F(GroupReaderTest, BinaryKnownGroupMismatchNamesThePositionAfterTheGroup) {
    Open(kSentinel + std::string("\x02HEADER\0", 8), true);
    Qdxf_Group group{};
    EXPECT_EQ(ReadExpecting(group, 0),
              Chain{"Byte offset 30: Expected group code of 0, group code 2 encountered"});
}

TEST_F(GroupReaderTest, PushBackReachesBehindAWindowOfComments) {
    // More comment text before a group than a window keeps: giving the group
    // back has to return to the file itself, and its line with it.
    std::string comments;
    for (int i = 0; comments.size() < 600 * 1024; ++i)
        comments += "999\ncomment " + std::to_string(i) + "\n";
    std::size_t commentLines = std::count(comments.begin(), comments.end(), '\n');
    Open("  0\nLINE\n" + comments + "  8\nwalls\n  0\nEOF\n");
    Qdxf_Group group{};
    ASSERT_EQ(Read(group), Chain{});
    GroupMark mark = MarkGroup(State());
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_STREQ(group.value.text, "walls");
    PushBackGroup(State(), mark);
    EXPECT_EQ(State().lineNumber, 3);
    ASSERT_EQ(ReadExpecting(group, 8), Chain{});
    EXPECT_STREQ(group.value.text, "walls");
    EXPECT_EQ(State().lineNumber, static_cast<int>(3 + commentLines + 2));
    ASSERT_EQ(ReadExpecting(group, 0), Chain{});
    EXPECT_STREQ(group.value.text, "EOF");
}

TEST_F(GroupReaderTest, PushBackReturnsToTheGroupAndItsLineAcrossComments) {
    Open("  0\nLINE\n999\na comment\n999\nanother\n  8\nwalls\n");
    Qdxf_Group group{};
    ASSERT_EQ(Read(group), Chain{});
    GroupMark mark = MarkGroup(State());
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(State().lineNumber, 9);
    PushBackGroup(State(), mark);
    EXPECT_EQ(State().lineNumber, 3);
    ASSERT_EQ(ReadExpecting(group, 8), Chain{});
    EXPECT_STREQ(group.value.text, "walls");
    EXPECT_EQ(ReadExpecting(group, 0), (Chain{"Error reading group values", "Error reading group",
                                              "Error reading file drawing.dxf, line 9"}));
}

struct Recorded {
    std::vector<double> percents;
    static void Show(void *context, double percent) {
        static_cast<Recorded *>(context)->percents.push_back(percent);
    }
};

TEST_F(GroupReaderTest, ProgressFollowsEveryGroupButNotComments) {
    Recorded recorded;
    qmet_Meter meter{Recorded::Show, &recorded};
    Open("999\nc\n  0\nA\n  0\nB\n 10\n1.0\n");
    State().meter = &meter;
    State().progressTotal = 1000;
    Qdxf_Group group{};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(recorded.percents, (std::vector<double>{0.5, 0.7, 0.9}));

    recorded.percents.clear();
    Open(kSentinel + std::string("\0A\0\x3e\x07\x00", 6), true);
    State().meter = &meter;
    State().progressTotal = 100;
    ASSERT_EQ(Read(group), Chain{});
    ASSERT_EQ(Read(group), Chain{});
    EXPECT_EQ(recorded.percents, (std::vector<double>{22.0, 25.0}));
}

// Every group the quick path takes, it decodes as the general reader does:
// the same code, kind, value (reals to the bit), line and position.
TEST(QuickPath, DecodesAsTheGeneralReader) {
    std::string ascii, binary = kSentinel;
    int groups = 0;
    auto add = [&](int code, const std::string &line, const std::string &bytes) {
        ++groups;
        ascii += std::to_string(code) + "\n" + line + (ascii.size() % 3 ? "\n" : "\r\n");
        binary += LittleEndian(code, 1) + bytes;
    };
    for (const char *real : {"1.5", "-0", "0.000000", ".5", "5.", "-.25", "+1.5", "1e5", "1.5 ",
                             "9007199254740993", "9007199254740992", "1234567890123456789",
                             "12345678901234567890", "  7.25", "\t7", "1.5x", "", "-", "1..5"}) {
        add(10, real, DoubleBytes(ParseReal(real)));
    }
    std::mt19937_64 random(13);
    for (int i = 0; i < 3000; ++i) {
        char text[40];
        double value =
            std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 80) - 60);
        std::snprintf(text, sizeof text, i % 2 ? "%.17g" : "%.6f", i % 4 < 2 ? value : -value);
        add(20, text, DoubleBytes(value));
    }
    // Runs of digits across the word edges the scans step by: spaces, a
    // minus, digits, a point, digits; integers and texts of every length.
    auto run = [&](std::size_t most) { return std::string(random() % (most + 1), ' '); };
    auto digits = [&](std::size_t most) {
        std::string text = run(most);
        for (char &c : text)
            c = static_cast<char>('0' + random() % 10);
        return text;
    };
    const char *const stops[] = {"", "", "", ":", "/", " ", "e1"};  // just past '9' and before '0'
    for (int i = 0; i < 1000; ++i) {
        std::string stop = stops[random() % std::size(stops)];
        std::string real =
            run(18) + (i % 2 ? "-" : "") + digits(21) + (i % 3 ? "." : "") + digits(21) + stop;
        add(30, real, DoubleBytes(ParseReal(real.c_str())));
        std::string integer = run(18) + (i % 2 ? "-" : "") + digits(10) + stop;
        add(71, integer, LittleEndian(ParseInteger(integer.c_str()), 2));
        std::string text = i < 8 ? std::string(488 + i, 'x') : run(40) + digits(300) + stop;
        if (i % 7 == 0) text += std::string(1, '\0') + "x";
        add(7, text, text.substr(0, text.find('\0')) + '\0');
    }
    for (const char *integer : {"     0", "+5", "  -12", "99999999999", "\t7", "7 ", "-0", "", "x",
                                "123456789", "1234567890"}) {
        add(70, integer, LittleEndian(ParseInteger(integer), 2));
    }
    for (const std::string &text :
         {std::string("Layer 1  "), std::string(), std::string("  lead"), std::string(497, 'x')})
        add(8, text, text + '\0');
    add(1, std::string("a\0b", 3), std::string("a\0", 2));
    add(90, "-70000", LittleEndian(-70000, 4));
    add(160, "0", LittleEndian(1LL << 40, 8));
    add(290, "1", LittleEndian(-1, 1));
    add(310, "00FF", std::string("\2\0\xff", 3));
    // Last, ASCII lines around a line read's length, which cuts them into
    // pieces that then read as groups of their own.
    for (int length = 497; length < 503; ++length)
        ascii += "1\n" + std::string(static_cast<std::size_t>(length), 'x') + "\n";
    const std::string padding = std::string(2000, '\n');
    for (bool isBinary : {false, true}) {
        TempFile file((isBinary ? binary : ascii) + padding);
        GroupSource quick{}, general{};
        rt::File files[2]{};
        for (GroupSource *source : {&quick, &general}) {
            source->file = rt::Open(files[source == &general], file.c_str(), "r", nullptr);
            source->binary = isBinary;
            source->lineNumber = 1;
            if (isBinary) rt::Seek(source->file, 22, nullptr);
            OpenGroupSource(*source);
        }
        qerr_Report *report = nullptr;
        int taken = 0;
        for (int i = 0; i < groups + 12; ++i) {
            GroupView q{}, g{};
            ReadGroupInFull(general, &report, &g);
            ASSERT_EQ(report, nullptr);
            QuickCursor at = QuickCursor::Of(quick);
            bool took = isBinary ? quick::BinaryGroup(at, &q) : quick::AsciiGroup(at, &q);
            if (took) at.Into(quick);
            if (!took) ReadGroupInFull(quick, &report, &q);
            taken += took;
            std::string where = std::to_string(g.code) + " of group " + std::to_string(i);
            ASSERT_EQ(q.code, g.code) << where;
            ASSERT_EQ(q.kind, g.kind) << where;
            if (g.kind == QDXF_VALUE_REAL) {
                EXPECT_EQ(DoubleBytes(q.real), DoubleBytes(g.real)) << where;
            }
            if (g.kind == QDXF_VALUE_INT) {
                EXPECT_EQ(q.integer, g.integer) << where;
            }
            if (g.kind == QDXF_VALUE_TEXT) {
                EXPECT_EQ(std::string_view(q.text, q.length), std::string_view(g.text, g.length))
                    << where;
            }
            ASSERT_EQ(GroupPosition(quick), GroupPosition(general)) << where;
            ASSERT_EQ(quick.lineNumber, general.lineNumber) << where;
        }
        EXPECT_GT(taken, groups * 9 / 10) << (isBinary ? "binary" : "ASCII");
        rt::CloseQuietly(quick.file);
        rt::CloseQuietly(general.file);
    }
}

}  // namespace
