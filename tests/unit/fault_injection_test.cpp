// SPDX-License-Identifier: MIT
// Every allocation and every file read of reading a drawing is made to fail in
// turn. Each time the read must fail with a report (never report success),
// and leave nothing allocated and no file open.
#include <gtest/gtest.h>

#include "pellund_testing.h"
#include "test_support.h"

using namespace testing_support;

namespace {

struct Fault {
    const char *name;
    void (*arm)(long n);
    long (*count)();
};

const Fault kFaults[] = {
    {"allocation", pellund_TestFailAllocation, pellund_TestAllocationCount},
    {"read", pellund_TestFailRead, pellund_TestReadCount},
};

void NoProgress(void *, double) {}

// The example drawing (every entity kind, tables and blocks) in both forms,
// group for group.
std::vector<std::pair<std::string, std::string>> Drawings() {
    std::string ascii =
        ReadWholeFile(std::filesystem::path(VEXLITH_SOURCE_DIR) / "examples/house.dxf");
    return {{"ASCII", ascii}, {"binary", Binary(GroupsOf(ascii))}};
}

TEST(FaultInjection, EveryFailedAllocationOrReadFailsTheReadCleanly) {
    for (const auto &[form, contents] : Drawings()) {
        TempFile file(contents);
        for (bool withMeter : {false, true}) {
            qmet_Meter meter{NoProgress, nullptr};
            qmet_Meter *progress = withMeter ? &meter : nullptr;
            for (const Fault &fault : kFaults) {
                // How many calls of this kind a clean read makes: each one fails once.
                pellund_TestReset();
                ReadOutcome clean = ReadFile(file.path(), progress);
                long calls = fault.count();
                ASSERT_TRUE(clean.drawing && clean.drawing->tables && clean.drawing->blocks)
                    << form;
                clean = {};
                ASSERT_GT(calls, 0);
                long liveBefore = pellund_TestLiveBlocks();
                for (long n = 1; n <= calls; ++n) {
                    pellund_TestReset();
                    fault.arm(n);
                    ReadOutcome outcome = ReadFile(file.path(), progress);
                    pellund_TestReset();
                    std::string where = std::string(form) + (withMeter ? " with meter" : "") +
                                        ", failing " + fault.name + " " + std::to_string(n);
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

// The file becomes unreadable at each byte in turn, so that a read fails at
// every group, wherever the buffer's refills happen to fall.
TEST(FaultInjection, AFileThatFailsAtAnyByteFailsTheReadCleanly) {
    for (const auto &[form, contents] : Drawings()) {
        TempFile file(contents);
        for (bool withMeter : {false, true}) {
            qmet_Meter meter{NoProgress, nullptr};
            long liveBefore = pellund_TestLiveBlocks();
            for (std::size_t byte = 0; byte < contents.size(); ++byte) {
                pellund_TestReset();
                pellund_TestFailReadAtByte(static_cast<long long>(byte));
                ReadOutcome outcome = ReadFile(file.path(), withMeter ? &meter : nullptr);
                pellund_TestReset();
                std::string where = std::string(form) + ", failing at byte " + std::to_string(byte);
                EXPECT_EQ(outcome.drawing, nullptr) << where;
                EXPECT_NE(outcome.report, nullptr) << where;
                outcome = {};
                EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore) << where;
                EXPECT_EQ(pellund_TestOpenHandles(), 0) << where;
            }
        }
    }
}

}  // namespace
