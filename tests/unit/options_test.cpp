// SPDX-License-Identifier: MIT
// The exports that take options: what null options mean, which options are
// refused, and what an entity callback sees and can stop.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "drawings.h"
#include "pellund_testing.h"
#include "test_support.h"

using namespace testing_support;

namespace {

const std::string kTwoLines = Ascii(Drawing(
    {Section("ENTITIES", {{0, "LINE"}, {8, "0"}, {10, 1.0}, {0, "LINE"}, {8, "0"}, {11, 2.0}})}));

TEST(Options, BadOptionsAreRefusedByEveryExport) {
    TempFile file(kTwoLines);
    struct Case {
        unsigned size;
        unsigned flags;
        const char *message;
    };
    const Case cases[] = {
        {4, 0, "Read options of 4 bytes: at least 8 expected"},
        {sizeof(Qdxf_ReadOptions), 0x10, "Unknown read option flags 0x10"},
    };
    for (const Case &bad : cases) {
        Qdxf_ReadOptions options{bad.size, bad.flags, 0.0, nullptr, 0, nullptr};
        qerr_Report *report = nullptr;
        EXPECT_EQ(qdxf_ReadWithOptions(file.c_str(), nullptr, &options, &report), nullptr);
        EXPECT_EQ(Levels(report),
                  std::vector<std::string>{std::string("qdxf_ReadWithOptions: ") + bad.message});
        qerr_ReportFree(report);
        auto count = [](void *, const Qdxf_Info *, const Qdxf_Entity *) { return 0; };
        EXPECT_EQ(qdxf_ReadEach(file.c_str(), nullptr, &options, count, nullptr, &report), nullptr);
        EXPECT_EQ(Messages(report), std::vector<std::string>{bad.message});
        qerr_ReportFree(report);
    }
    Qdxf_WriteOptions write{4, 0, nullptr, nullptr};
    qerr_Report *report = nullptr;
    TempFile out;
    qdxf_WriteWithOptions(ReadFile(file.path()).drawing.get(), out.c_str(), 0, &write, &report);
    EXPECT_EQ(Messages(report),
              std::vector<std::string>{"Write options of 4 bytes: at least 8 expected"});
    qerr_ReportFree(report);
}

TEST(Options, NullOptionsReadAndWriteAsThePlainExports) {
    TempFile file(kTwoLines);
    ReadOutcome plain = ReadFile(file.path());
    DrawingPtr drawing(qdxf_ReadWithOptions(file.c_str(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(drawing && plain.drawing);
    EXPECT_EQ(drawing->entities->next->data.line.end.x, 2.0);
    TempFile a, b;
    qdxf_Write(plain.drawing.get(), a.c_str(), 0, 0, nullptr);
    qdxf_WriteWithOptions(drawing.get(), b.c_str(), 0, nullptr, nullptr);
    EXPECT_EQ(a.Contents(), b.Contents());
    // A missing file gives the chain of qdxf_Read.
    qerr_Report *report = nullptr;
    EXPECT_EQ(qdxf_ReadWithOptions("missing.dxf", nullptr, nullptr, &report), nullptr);
    EXPECT_EQ(Levels(report)[0], "qdxf_Read: Error opening file missing.dxf");
    qerr_ReportFree(report);
}

TEST(Options, EachEntityGoesToTheCallbackUntilItStops) {
    TempFile file(kTwoLines);
    for (int stopAfter : {0, 1}) {
        struct Seen {
            int stopAfter;
            std::vector<double> endX;
        } seen{stopAfter, {}};
        auto take = [](void *context, const Qdxf_Info *, const Qdxf_Entity *entity) {
            auto &state = *static_cast<Seen *>(context);
            state.endX.push_back(entity->data.line.end.x);
            return static_cast<int>(state.endX.size()) == state.stopAfter ? 1 : 0;
        };
        qerr_Report *report = nullptr;
        DrawingPtr drawing(qdxf_ReadEach(file.c_str(), nullptr, nullptr, take, &seen, &report));
        ASSERT_TRUE(drawing);
        EXPECT_EQ(report, nullptr);
        EXPECT_EQ(drawing->entities, nullptr);
        const std::vector<double> expected =
            stopAfter ? std::vector<double>{0.0} : std::vector<double>{0.0, 2.0};
        EXPECT_EQ(seen.endX, expected);
    }
}

// An entity as bytes, its texts and arrays followed and its layer named: the
// same entity read twice gives the same bytes wherever its blocks lie.
std::string Flattened(const Qdxf_Entity &entity) {
    Qdxf_Entity record;
    std::memcpy(&record, &entity, sizeof record);
    std::string bytes = entity.layer && entity.layer->name ? entity.layer->name : "(none)";
    auto follow = [&bytes](auto *&block, std::size_t size) {
        if (block) bytes.append(reinterpret_cast<const char *>(block), size);
        bytes += block ? '+' : '-';
        block = nullptr;
    };
    auto text = [&follow](char *&member) { follow(member, member ? std::strlen(member) : 0); };
    record.next = record.prev = nullptr;
    record.layer = nullptr;
    text(record.layerName);
    text(record.handle);
    text(record.ltypeName);
    if (record.type == QDXF_TEXT) {
        text(record.data.text.text);
        text(record.data.text.style);
        follow(record.data.text.alignmentPoint, sizeof(Qdxf_Coord));
    } else if (record.type == QDXF_INSERT) {
        text(record.data.insert.blockName);
    } else if (record.type == QDXF_POLYLINE || record.type == QDXF_3DFACE) {
        Qdxf_Polyline &polyline = record.data.polyline;
        follow(polyline.vertices, static_cast<std::size_t>(polyline.count) * sizeof(Qdxf_Vertex));
    }
    return bytes.append(reinterpret_cast<const char *>(&record), sizeof record);
}

int TakeFlattened(void *context, const Qdxf_Info *, const Qdxf_Entity *entity) {
    static_cast<std::vector<std::string> *>(context)->push_back(Flattened(*entity));
    return 0;
}

// Every drawing at hand, and one that fails inside its ENTITIES section, with
// and without the options: the callback sees the entities the whole read
// lists, a failure gives its report chain, and nothing is left behind.
TEST(ReadEach, GivesWhatQdxfReadGives) {
    TempFile cut(kTwoLines.substr(0, kTwoLines.rfind("ENDSEC")));
    std::vector<std::string> files = {cut.path(), VEXLITH_SOURCE_DIR "/examples/house.dxf"};
    for (const auto &directory : {TestDataDir(), CorpusDir()}) {
        if (directory.empty()) continue;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(directory)) {
            if (entry.path().extension() == ".dxf") files.push_back(entry.path().string());
        }
    }
    LogCapture quiet;
    long live = pellund_TestLiveBlocks();
    for (unsigned flags : {0u, unsigned{QDXF_READ_ALL}}) {
        const Qdxf_ReadOptions options{sizeof options, flags, 0.0, nullptr, 0, nullptr};
        for (const std::string &file : files) {
            std::vector<std::string> seen, listed;
            qerr_Report *eachReport = nullptr, *wholeReport = nullptr;
            ReadOutcome each{DrawingPtr(qdxf_ReadEach(file.c_str(), nullptr, &options,
                                                      TakeFlattened, &seen, &eachReport)),
                             ReportPtr(eachReport)};
            ReadOutcome whole{
                DrawingPtr(qdxf_ReadWithOptions(file.c_str(), nullptr, &options, &wholeReport)),
                ReportPtr(wholeReport)};
            std::string where = file + " with flags " + std::to_string(flags);
            EXPECT_EQ(Levels(each.report.get()), Levels(whole.report.get())) << where;
            ASSERT_EQ(each.drawing == nullptr, whole.drawing == nullptr) << where;
            if (!whole.drawing) continue;
            for (const Qdxf_Entity *entity = whole.drawing->entities; entity; entity = entity->next)
                listed.push_back(Flattened(*entity));
            EXPECT_TRUE(seen == listed) << where << ": " << seen.size() << " of " << listed.size();
            EXPECT_EQ(each.drawing->entities, nullptr) << where;
        }
    }
    EXPECT_EQ(pellund_TestLiveBlocks(), live);
}

// A read started from the callback leaves the entity being seen as it was.
TEST(ReadEach, ACallbackMayStartAnotherRead) {
    TempFile file(kTwoLines);
    struct Nested {
        std::string path;
        std::vector<double> endX;
    } nested{file.path(), {}};
    auto take = [](void *context, const Qdxf_Info *, const Qdxf_Entity *entity) {
        auto &state = *static_cast<Nested *>(context);
        if (!ReadFileEach(state.path).drawing) return 1;
        state.endX.push_back(entity->data.line.end.x);
        return 0;
    };
    EXPECT_NE(ReadFileEach(file.path(), nullptr, take, &nested).drawing, nullptr);
    EXPECT_EQ(nested.endX, (std::vector<double>{0.0, 2.0}));
}

}  // namespace

namespace {

// A drawing as the complete writer puts it, in memory: equal bytes, equal drawings.
std::string WrittenInMemory(const Qdxf_Info *drawing, int binary, qerr_Report **report) {
    void *block = nullptr;
    std::size_t size = 0;
    const Qdxf_WriteOptions options{sizeof options, QDXF_WRITE_COMPLETE, &block, &size};
    qdxf_WriteWithOptions(drawing, nullptr, binary, &options, report);
    std::string bytes = block ? std::string(static_cast<const char *>(block), size) : "";
    qmsc_HeapFree(block);
    return bytes;
}

// Every drawing at hand read from its bytes in memory, with and without the
// options: the drawing and the report chain of the file (its name or
// "(memory)"), and written into memory, the bytes a file gets.
TEST(Bytes, ReadAndWrittenInMemoryAsInAFile) {
    TempFile cut(kTwoLines.substr(0, kTwoLines.rfind("ENDSEC")));
    std::vector<std::string> files = {cut.path()};
    for (const auto &directory : {TestDataDir(), CorpusDir()}) {
        if (directory.empty()) continue;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(directory)) {
            if (entry.path().extension() == ".dxf") files.push_back(entry.path().string());
        }
    }
    LogCapture quiet;
    long live = pellund_TestLiveBlocks();
    for (unsigned flags : {0u, unsigned{QDXF_READ_ALL}}) {
        for (const std::string &file : files) {
            const std::string bytes = ReadWholeFile(file);
            Qdxf_ReadOptions options{sizeof options, flags, 0.0, nullptr, 0, nullptr};
            qerr_Report *fileReport = nullptr, *memoryReport = nullptr;
            ReadOutcome fromFile{
                DrawingPtr(qdxf_ReadWithOptions(file.c_str(), nullptr, &options, &fileReport)),
                ReportPtr(fileReport)};
            options.data = bytes.data();
            options.dataSize = bytes.size();
            const char *name = file == cut.path() ? nullptr : file.c_str();
            ReadOutcome fromMemory{
                DrawingPtr(qdxf_ReadWithOptions(name, nullptr, &options, &memoryReport)),
                ReportPtr(memoryReport)};
            const std::string where = file + " with flags " + std::to_string(flags);
            // Only the innermost level, the file service's own, may differ.
            std::vector<std::string> chain = Messages(fromFile.report.get());
            std::vector<std::string> memoryChain = Messages(fromMemory.report.get());
            ASSERT_EQ(memoryChain.size(), chain.size()) << where;
            for (std::size_t level = 0; level + 1 < chain.size(); ++level) {
                std::string &message = chain[level];
                if (auto at = message.find(file); !name && at != std::string::npos)
                    message.replace(at, file.size(), "(memory)");
                EXPECT_EQ(memoryChain[level], message) << where;
            }
            ASSERT_EQ(fromFile.drawing == nullptr, fromMemory.drawing == nullptr) << where;
            if (!fromFile.drawing) continue;
            for (int binary : {0, 1}) {
                qerr_Report *report = nullptr;
                EXPECT_EQ(
                    WrittenInMemory(fromMemory.drawing.get(), binary, &report),
                    WriteDrawing(fromFile.drawing.get(), binary, QDXF_WRITE_COMPLETE).contents)
                    << where;
                EXPECT_EQ(report, nullptr) << where;
                qerr_ReportFree(report);
            }
        }
    }
    EXPECT_EQ(pellund_TestLiveBlocks(), live);
}

// Options of an older size do not reach the bytes: the file is read. Under
// every failed allocation a write into memory hands out nothing, says why
// and leaves nothing behind.
TEST(Bytes, OlderOptionsAndAnExhaustedHeap) {
    TempFile file(kTwoLines);
    const std::string other = Ascii(Drawing({Section("ENTITIES", {{0, "POINT"}, {8, "0"}})}));
    Qdxf_ReadOptions older{
        offsetof(Qdxf_ReadOptions, data), 0, 0.0, other.data(), other.size(), nullptr};
    DrawingPtr drawing(qdxf_ReadWithOptions(file.c_str(), nullptr, &older, nullptr));
    ASSERT_TRUE(drawing);
    EXPECT_EQ(drawing->entities->type, QDXF_LINE);
    long live = pellund_TestLiveBlocks();
    for (long n = 0, calls = 0; n <= calls; ++n) {
        pellund_TestReset();
        if (n) pellund_TestFailAllocation(n);  // n 0: the clean write, which counts them
        qerr_Report *report = nullptr;
        std::string bytes = WrittenInMemory(drawing.get(), 0, &report);
        if (!n) calls = pellund_TestAllocationCount();
        pellund_TestReset();
        ASSERT_EQ(report != nullptr, n != 0) << "allocation " << n;
        if (!n) continue;
        EXPECT_EQ(bytes, "") << "allocation " << n;
        EXPECT_EQ(Messages(report).back(), "Memory allocation error") << "allocation " << n;
        qerr_ReportFree(report);
        EXPECT_EQ(pellund_TestLiveBlocks(), live) << "allocation " << n;
    }
}

}  // namespace
