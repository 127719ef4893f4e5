// SPDX-License-Identifier: MIT
// Sound corpus drawings damaged in each way a recovering read repairs
// (make_damaged.py), read with QDXF_READ_RECOVER: the repair the damage
// calls for at its line and offset, the entities that come back (no fewer
// than ezdxf's recover module keeps), the sound drawing itself where the
// damage lost nothing, and the same outcome from memory, through
// qdxf_ReadEach and with every other flag.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "test_support.h"

using namespace testing_support;

namespace {

struct Recovered {
    DrawingPtr drawing;
    ReportPtr report;
    std::vector<std::tuple<int, long long, int>> places;  // line, offset, action
    std::vector<std::string> messages;
    long each = 0;  // entities handed to qdxf_ReadEach's callback
};

int CountEntity(void *count, const Qdxf_Info *, const Qdxf_Entity *) {
    ++*static_cast<long *>(count);
    return 0;
}

Recovered Recover(const std::string &path, unsigned flags, const std::string *bytes = nullptr,
                  bool each = false) {
    Recovered read;
    Qdxf_Repair *repairs = nullptr;
    Qdxf_ReadOptions options{sizeof options,
                             flags | QDXF_READ_RECOVER,
                             0,
                             bytes ? bytes->data() : nullptr,
                             bytes ? bytes->size() : 0,
                             &repairs};
    qerr_Report *report = nullptr;
    read.drawing.reset(
        each ? qdxf_ReadEach(path.c_str(), nullptr, &options, CountEntity, &read.each, &report)
             : qdxf_ReadWithOptions(path.c_str(), nullptr, &options, &report));
    read.report.reset(report);
    for (const Qdxf_Repair *repair = repairs; repair; repair = repair->next) {
        read.places.emplace_back(repair->line, repair->offset, repair->action);
        read.messages.push_back(repair->message);
    }
    qdxf_RepairsFree(repairs);
    return read;
}

// The entities of ENTITIES, or those of the ten kinds.
long Entities(const Qdxf_Info &drawing, bool tenKinds = false) {
    long count = 0;
    for (const Qdxf_Entity *entity = drawing.entities; entity; entity = entity->next)
        count += !tenKinds || entity->type != QDXF_INVALID;
    return count;
}

std::string Written(const Qdxf_Info &drawing) {
    void *data = nullptr;
    std::size_t size = 0;
    Qdxf_WriteOptions options{sizeof options, QDXF_WRITE_COMPLETE, &data, &size};
    qerr_Report *report = nullptr;
    qdxf_WriteWithOptions(&drawing, "written", 0, &options, &report);
    ReportPtr failed(report);
    std::string written(static_cast<const char *>(data), data ? size : 0);
    qmsc_HeapFree(data);
    return written;
}

TEST(DamagedDrawings, ComeBackWithTheirRepairsListed) {
    std::filesystem::path dir = std::filesystem::path(VEXLITH_INTEROP_DIR) / "damaged";
    std::ifstream table(dir / "damaged.tsv");
    if (!table) GTEST_SKIP() << "make_damaged.py has not run";
    int cases = 0;
    for (std::string row; std::getline(table, row); ++cases) {
        std::istringstream fields(row);
        std::string name, source;
        int line = 0, action = 0, same = 0;
        long long offset = 0;
        long entities = 0, ezdxf = 0;
        fields >> name >> source >> line >> offset >> action >> entities >> same >> ezdxf;
        SCOPED_TRACE(name);
        std::string path = (dir / (name + ".dxf")).string();
        Recovered read = Recover(path, 0);
        if (action == 0) {  // not a drawing
            EXPECT_FALSE(read.drawing);
            EXPECT_NE(Messages(read.report.get()).back().find("not a DXF file"), std::string::npos);
            continue;
        }
        ASSERT_TRUE(read.drawing) << Levels(read.report.get()).back();
        EXPECT_EQ(Entities(*read.drawing, true), entities);
        EXPECT_GE(Entities(*read.drawing, true), ezdxf);
        EXPECT_NE(std::find(read.places.begin(), read.places.end(),
                            std::make_tuple(line, offset, action)),
                  read.places.end())
            << ::testing::PrintToString(read.messages);
        if (same) {
            ReadOutcome sound = ReadFile((CorpusDir() / source).string());
            EXPECT_EQ(Written(*read.drawing), Written(*sound.drawing));
        }
        std::string bytes = ReadWholeFile(path);
        Recovered fromMemory = Recover(path, 0, &bytes);
        ASSERT_TRUE(fromMemory.drawing);
        EXPECT_EQ(fromMemory.messages, read.messages);
        EXPECT_EQ(Written(*fromMemory.drawing), Written(*read.drawing));
        Recovered all = Recover(path, QDXF_READ_ALL), each = Recover(path, QDXF_READ_ALL, {}, true);
        ASSERT_TRUE(all.drawing && each.drawing);
        EXPECT_EQ(each.messages, all.messages);
        EXPECT_EQ(each.each, Entities(*all.drawing));
    }
    EXPECT_GT(cases, 40);
}

}  // namespace
