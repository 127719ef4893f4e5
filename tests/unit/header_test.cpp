// SPDX-License-Identifier: MIT
// The HEADER section: the twenty known variables, what is dropped, and every
// failure of the header reader.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

namespace {

using Chain = std::vector<std::string>;

void ExpectAllTwenty(const Qdxf_Header &header) {
    EXPECT_STREQ(header.acadver, "AC1009");
    EXPECT_EQ(header.angbase, 90.0);  // as read, not in radians
    EXPECT_EQ(header.angdir, 1);
    EXPECT_EQ(header.aunits, 2);
    EXPECT_EQ(header.auprec, 3);
    EXPECT_EQ(header.cecolor, 256);
    EXPECT_STREQ(header.celtype, "BYLAYER");
    EXPECT_STREQ(header.clayer, "walls");
    ASSERT_NE(header.extmin, nullptr);
    ASSERT_NE(header.extmax, nullptr);
    EXPECT_EQ(header.extmin->x, -10.5);
    EXPECT_EQ(header.extmin->y, -20.25);
    EXPECT_EQ(header.extmin->z, 0.0);
    EXPECT_EQ(header.extmax->x, 110.5);
    EXPECT_EQ(header.extmax->y, 220.25);
    EXPECT_EQ(header.extmax->z, 5.0);
    EXPECT_EQ(header.fillmode, 1);
    EXPECT_EQ(header.ltscale, 2.5);
    EXPECT_EQ(header.lunits, 4);
    EXPECT_EQ(header.luprec, 6);
    EXPECT_EQ(header.plinegen, 1);
    EXPECT_EQ(header.plinewid, 0.35);
    EXPECT_EQ(header.tdcreate, 2459580.5);
    EXPECT_EQ(header.textsize, 0.2);
    EXPECT_STREQ(header.textstyle, "STANDARD");
    EXPECT_EQ(header.tracewid, 0.05);
}

TEST(Header, ReadsEveryKnownVariableAndDropsTheRest) {
    ReadOutcome outcome = ReadFile((TestDataDir() / "ascii/header_all.dxf").string());
    ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
    ASSERT_NE(outcome.drawing->header, nullptr);
    ExpectAllTwenty(*outcome.drawing->header);
}

TEST(Header, ReadsTheSameInBinaryForm) {
    // The same variables written as binary groups of both code widths.
    const std::vector<Group> groups = {
        {0, "SECTION"},   {2, "HEADER"},    {9, "$ACADVER"},   {1, "AC1009"},    {9, "$ANGBASE"},
        {50, 90.0},       {9, "$ANGDIR"},   {70, 1},           {9, "$AUNITS"},   {70, 2},
        {9, "$AUPREC"},   {70, 3},          {9, "$CECOLOR"},   {62, 256},        {9, "$CELTYPE"},
        {6, "BYLAYER"},   {9, "$CLAYER"},   {8, "walls"},      {9, "$EXTMIN"},   {10, -10.5},
        {20, -20.25},     {30, 0.0},        {9, "$EXTMAX"},    {10, 110.5},      {20, 220.25},
        {30, 5.0},        {9, "$FILLMODE"}, {70, 1},           {9, "$LTSCALE"},  {40, 2.5},
        {9, "$LUNITS"},   {70, 4},          {9, "$LUPREC"},    {70, 6},          {9, "$PLINEGEN"},
        {70, 1},          {9, "$PLINEWID"}, {40, 0.35},        {9, "$TDCREATE"}, {40, 2459580.5},
        {9, "$TEXTSIZE"}, {40, 0.2},        {9, "$TEXTSTYLE"}, {7, "STANDARD"},  {9, "$TRACEWID"},
        {40, 0.05},       {0, "ENDSEC"},    {0, "EOF"},
    };
    for (bool twoByteCodes : {false, true}) {
        ReadOutcome outcome = ReadContents(Binary(groups, twoByteCodes));
        ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
        ExpectAllTwenty(*outcome.drawing->header);
    }
}

std::vector<Group> HeaderSection(std::vector<Group> variables) {
    std::vector<Group> groups = {{0, "SECTION"}, {2, "HEADER"}};
    groups.insert(groups.end(), variables.begin(), variables.end());
    groups.push_back({0, "ENDSEC"});
    groups.push_back({0, "EOF"});
    return groups;
}

TEST(Header, TheLaterValueOfAVariableWins) {
    // In $EXTMIN, 40 and 14 are not coordinates of the point.
    ReadOutcome outcome = ReadContents(Ascii(HeaderSection({
        {9, "$CECOLOR"}, {62, 7},       {9, "$CECOLOR"}, {62, 1},        {9, "$EXTMIN"},
        {10, 1.0},       {20, 2.0},     {30, 3.0},       {10, 4.0},      {40, 9.0},
        {14, 9.0},       {12, 5.0},     {23, 6.0},       {9, "$CLAYER"}, {8, "first"},
        {9, "$CLAYER"},  {8, "second"}, {9, "$EXTMAX"},  {11, 5.0},      {9, "$EXTMAX"},
        {40, 7.0},       {21, 6.0},
    })));
    ASSERT_TRUE(outcome.drawing);
    const Qdxf_Header &header = *outcome.drawing->header;
    EXPECT_EQ(header.cecolor, 1);
    EXPECT_EQ(header.extmin->x, 5.0);
    EXPECT_EQ(header.extmin->y, 6.0);
    EXPECT_EQ(header.extmin->z, 3.0);
    EXPECT_STREQ(header.clayer, "second");
    // A point assigned twice is replaced whole: only the second one's y is set.
    EXPECT_EQ(header.extmax->x, 0.0);
    EXPECT_EQ(header.extmax->y, 6.0);
    EXPECT_EQ(header.acadver, nullptr);
}

TEST(Header, ASecondHeaderSectionUpdatesTheFirst) {
    std::vector<Group> groups = {{0, "SECTION"}, {2, "HEADER"},  {9, "$ACADVER"}, {1, "AC1009"},
                                 {9, "$LUNITS"}, {70, 2},        {0, "ENDSEC"},   {0, "SECTION"},
                                 {2, "HEADER"},  {9, "$LUNITS"}, {70, 4},         {0, "ENDSEC"},
                                 {0, "EOF"}};
    ReadOutcome outcome = ReadContents(Ascii(groups));
    ASSERT_TRUE(outcome.drawing);
    EXPECT_STREQ(outcome.drawing->header->acadver, "AC1009");
    EXPECT_EQ(outcome.drawing->header->lunits, 4);
}

TEST(Header, AnEmptySectionGivesAnEmptyHeader) {
    for (const std::string &contents : {Ascii(HeaderSection({})), Binary(HeaderSection({}))}) {
        ReadOutcome outcome = ReadContents(contents);
        ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
        ASSERT_NE(outcome.drawing->header, nullptr);
        EXPECT_EQ(outcome.drawing->header->acadver, nullptr);
        EXPECT_EQ(outcome.drawing->header->extmax, nullptr);
        EXPECT_EQ(outcome.drawing->header->cecolor, 0);
    }
}

TEST(Header, LineNumbersStayRightAfterAVariableEndsAtTheNextOne) {
    // $CLAYER's value ends at the next group 9, which is pushed back; the
    // failure two lines later must name line 10, past the comment.
    ReadOutcome outcome = ReadContents(Ascii({{0, "SECTION"},
                                              {2, "HEADER"},
                                              {9, "$CLAYER"},
                                              {8, "0"},
                                              {999, "comment"},
                                              {9, "ACADVER"}}));
    EXPECT_EQ(outcome.messages(),
              (Chain{"Error reading section", "Error reading HEADER section",
                     "Error reading variable", "Variable name does not begin with \"$\""}));
    ReadOutcome mismatch = ReadContents(Ascii({{0, "SECTION"},
                                               {2, "HEADER"},
                                               {9, "$CLAYER"},
                                               {8, "0"},
                                               {999, "comment"},
                                               {9, "$ACADVER"},
                                               {1, "AC1009"},
                                               {0, "ENDSEC"},
                                               {2, "X"}}));
    EXPECT_EQ(mismatch.messages().back(),
              "Line 18: Expected group code of 0, group code 2 encountered");
}

struct HeaderFailure {
    const char *name;
    std::vector<Group> body;  // after (0, SECTION), (2, HEADER)
    Chain tail;               // after "Error reading section", "Error reading HEADER section"
};

TEST(Header, EveryFailureGivesItsWholeChain) {
    const HeaderFailure cases[] = {
        {"a first group that is no variable",
         {{8, "0"}, {0, "ENDSEC"}, {0, "EOF"}},
         {"Error reading variable", "Error reading group values",
          "Line 6: Expected group code of 9, group code 8 encountered"}},
        {"a name without $",
         {{9, "ACADVER"}, {1, "AC1009"}, {0, "ENDSEC"}, {0, "EOF"}},
         {"Error reading variable", "Variable name does not begin with \"$\""}},
        {"an empty name",
         {{9, ""}, {1, "AC1009"}, {0, "ENDSEC"}, {0, "EOF"}},
         {"Error reading variable", "Variable name does not begin with \"$\""}},
        {"no value before the next variable",
         {{9, "$ACADVER"}, {9, "$CLAYER"}, {8, "0"}},
         {"Error reading variable", "Not enough groups for variable assignment"}},
        {"no value before ENDSEC",
         {{9, "$ACADVER"}, {0, "ENDSEC"}, {0, "EOF"}},
         {"Error reading variable", "Not enough groups for variable assignment"}},
        {"a text variable with an integer",
         {{9, "$ACADVER"}, {70, 1}, {0, "ENDSEC"}},
         {"Error processing variable \"ACADVER\"",
          "Variable assignment does not contain string data"}},
        {"an integer variable with a text",
         {{9, "$LUNITS"}, {1, "two"}, {0, "ENDSEC"}},
         {"Error processing variable \"LUNITS\"",
          "Variable assignment does not contain integer data"}},
        {"a real variable with an integer",
         {{9, "$TEXTSIZE"}, {70, 2}, {0, "ENDSEC"}},
         {"Error processing variable \"TEXTSIZE\"",
          "Variable assignment does not contain floating point data"}},
        {"cut inside a variable",
         {{9, "$ACADVER"}, {1, "AC1009"}},
         {"Error reading variable", "Error reading group values", "Error reading group",
          "Error reading file {FILE}, line 9"}},
        {"cut right after the section name",
         {},
         {"Error reading variable", "Error reading group values", "Error reading group values",
          "Error reading group", "Error reading file {FILE}, line 5"}},
    };
    for (const HeaderFailure &c : cases) {
        std::vector<Group> groups = {{0, "SECTION"}, {2, "HEADER"}};
        groups.insert(groups.end(), c.body.begin(), c.body.end());
        TempFile file(Ascii(groups));
        ReadOutcome outcome = ReadFile(file.path());
        EXPECT_EQ(outcome.drawing, nullptr);
        Chain expected = {"Error reading section", "Error reading HEADER section"};
        for (std::string message : c.tail) {
            if (auto at = message.find("{FILE}"); at != std::string::npos)
                message.replace(at, 6, file.path());
            expected.push_back(message);
        }
        EXPECT_EQ(outcome.messages(), expected) << c.name;
    }
}

TEST(Header, UnknownVariablesOfAnyShapeAreDropped) {
    ReadOutcome outcome = ReadContents(Ascii(HeaderSection({
        {9, "$INSBASE"},
        {10, 1.0},
        {20, 2.0},
        {30, 3.0},
        {9, "$DWGCODEPAGE"},
        {3, "ANSI_1252"},
        {9, "$ODD"},
        {0, "NOT_ENDSEC"},
        {70, 5},
        {9, "$ACADVER"},
        {1, "AC1015"},
    })));
    ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
    EXPECT_STREQ(outcome.drawing->header->acadver, "AC1015");
}

}  // namespace
