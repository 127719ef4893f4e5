// Drawings from other producers. Every binary file reads to its EOF group:
// values are consumed with the widths of the DXF binary encoding.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

namespace {

TEST(Corpus, EveryBinaryFileReadsToItsEnd) {
    std::filesystem::path corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "the corpus is not present";
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(corpus / "binary")) {
        ReadOutcome outcome = ReadFile(entry.path().string());
        EXPECT_TRUE(outcome.drawing)
            << entry.path().filename() << ": " << ::testing::PrintToString(outcome.messages());
        ++files;
    }
    EXPECT_EQ(files, 13);
}

}  // namespace
