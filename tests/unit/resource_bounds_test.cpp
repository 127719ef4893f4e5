// SPDX-License-Identifier: MIT
// What reading may cost on hostile input: heap in proportion to the file
// (never in proportion to a count the file states), a call stack that does not
// grow with the input, work in proportion to the groups read, and an end to
// every read, even of a file that has none.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <functional>
#include <thread>

#include "pellund_testing.h"
#include "runtime/name_index.h"
#include "test_support.h"

using namespace testing_support;

namespace {

// Binary groups written byte by byte, for groups no builder makes: a code
// without a value (200 has no kind, and nothing follows it).
const std::string kNoValue = "\xC8";
std::string BinaryTag(const std::string &text, int code = 0) {
    return std::string(1, static_cast<char>(code)) + text + '\0';
}
std::string BinaryFile(const std::string &body) {
    return kSentinel + body + BinaryTag("EOF");
}
std::string BinarySection(const std::string &name, const std::string &body) {
    return BinaryTag("SECTION") + BinaryTag(name, 2) + body + BinaryTag("ENDSEC");
}
// `prefix` followed by `number` in decimal.
std::string Numbered(const char *prefix, int number) {
    std::string text = prefix;
    text += std::to_string(number);
    return text;
}
std::string Repeat(const std::string &piece, int times) {
    std::string text;
    text.reserve(piece.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

constexpr int kMany = 400000;

struct HostileFile {
    const char *name;
    std::string contents;
    // Heap the read may hold at its peak per byte of the file, beyond a fixed
    // allowance for the file buffer; 0 for structures that do not grow with
    // the file at all.
    double heapPerByte;
    bool reads;  // whether the file is a drawing that reads
};

std::vector<HostileFile> HostileFiles() {
    std::string distinctKinds;
    for (int i = 0; i < kMany / 4; ++i)
        distinctKinds += BinaryTag(Numbered("K", i));
    std::string asciiEntities =
        "  0\nSECTION\n  2\nENTITIES\n" + Repeat("0\n\n", kMany) + "  0\nENDSEC\n  0\nEOF\n";
    // The largest record per byte: an entity of an unknown kind takes two bytes
    // of a binary file (code 0 and an empty name) and a whole Qdxf_Entity.
    const double entityPerByte = (sizeof(Qdxf_Entity) + 32) / 2.0;
    return {
        // A variable or an entity is read whole before it is used: their
        // groups without a value (one byte each) hold nothing.
        {"a header variable of groups without value",
         BinaryFile(BinarySection("HEADER", BinaryTag("$X", 9) + Repeat(kNoValue, 8 * kMany))), 0,
         true},
        {"a header variable of empty ASCII groups",
         "  0\nSECTION\n  2\nHEADER\n  9\n$X\n" + Repeat("\n\n", 4 * kMany) +
             "  0\nENDSEC\n  0\nEOF\n",
         0, true},
        {"an entity of groups without value",
         BinaryFile(BinarySection("ENTITIES", BinaryTag("LINE") + Repeat(kNoValue, 8 * kMany))), 0,
         true},
        // An entity's groups are held while it is built, a small block each.
        {"an entity of empty texts",
         BinaryFile(BinarySection("ENTITIES", BinaryTag("LINE") + Repeat(BinaryTag("", 1), kMany))),
         24, true},
        // A vertex record of 72 bytes from eight: 9 per byte, read into a
        // scratch array that grows by doubling before the polyline's own.
        {"a polyline of vertices without groups",
         BinaryFile(
             BinarySection("ENTITIES", BinaryTag("POLYLINE") + Repeat(BinaryTag("VERTEX"), kMany))),
         32, true},
        {"a 3DFACE of corners",
         BinaryFile(BinarySection(
             "ENTITIES",
             BinaryTag("3DFACE") + Repeat(std::string("\x0A\0\0\0\0\0\0\0\0", 9), kMany))),
         16, true},
        // Records of the drawing.
        {"entities of an empty kind",
         BinaryFile(BinarySection("ENTITIES", Repeat(BinaryTag(""), kMany))), entityPerByte, true},
        {"entities of distinct kinds", BinaryFile(BinarySection("ENTITIES", distinctKinds)),
         entityPerByte, true},
        {"ASCII entities of an empty kind", asciiEntities, entityPerByte, true},
        // Six bytes each, an entity and its line record: about 33 per byte.
        {"LINEs without groups",
         BinaryFile(BinarySection("ENTITIES", Repeat(BinaryTag("LINE"), kMany / 4))), 36, true},
        {"layers",
         BinaryFile(BinarySection(
             "TABLES", BinaryTag("TABLE") + BinaryTag("LAYER", 2) +
                           Repeat(BinaryTag("LAYER") + std::string("\x46\1\0", 3), kMany / 4))),
         16, true},
        {"blocks",
         BinaryFile(
             BinarySection("BLOCKS", Repeat(BinaryTag("BLOCK") + BinaryTag("ENDBLK"), kMany / 4))),
         16, true},
        // A count the file states is not taken on trust.
        {"a dash count beyond the file",
         BinaryFile(BinarySection("TABLES", BinaryTag("TABLE") + BinaryTag("LTYPE", 2) +
                                                BinaryTag("LTYPE") + "\x49\xFF\x7F")),
         0, false},
    };
}

// Runs `work` on a thread whose stack is `stackBytes`: recursion driven by the
// input overflows it.
void OnSmallStack(std::size_t stackBytes, const std::function<void()> &work) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, stackBytes);
    pthread_t thread;
    auto run = [](void *argument) -> void * {
        (*static_cast<const std::function<void()> *>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()> *>(&work)),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

// Heap beyond the file's size times the case's allowance: the file buffer.
constexpr long long kFixedHeap = 2 << 20;

// Every hostile file reads (or fails) with its heap in proportion to its size,
// on a thread with a small stack, and leaves nothing behind.
TEST(ResourceBounds, HeapStaysInProportionToTheFileAndTheStackFlat) {
    LogCapture quiet;
    for (const HostileFile &file : HostileFiles()) {
        TempFile path(file.contents);
        long long before = pellund_TestLiveBytes();
        long long peak = 0;
        bool read = false;
        OnSmallStack(256 << 10, [&] {
            pellund_TestReset();
            qerr_Report *report = nullptr;
            Qdxf_Info *drawing = qdxf_Read(path.c_str(), nullptr, &report);
            peak = pellund_TestPeakBytes() - before;
            read = drawing != nullptr;
            qdxf_InfoFree(drawing);
            qerr_ReportFree(report);
        });
        auto size = static_cast<double>(file.contents.size());
        EXPECT_EQ(read, file.reads) << file.name;
        EXPECT_LE(static_cast<double>(peak), file.heapPerByte * size + kFixedHeap)
            << file.name << ": " << static_cast<double>(peak) / size
            << " bytes of heap per byte of " << file.contents.size();
        EXPECT_EQ(pellund_TestLiveBytes(), before) << file.name;
    }
}

// Work per group read stays bounded: names are never looked up by walking
// every record read so far. Text comparisons stand for the work.
struct LookupCase {
    const char *name;
    std::string contents;
    long groups;
};

constexpr long kComparesPerGroup = 32;
constexpr int kRecords = 3000;

void ExpectComparesInProportion(const LookupCase &c) {
    LogCapture quiet;
    pellund_TestReset();
    ReadOutcome outcome = ReadContents(c.contents);
    long compares = pellund_TestTextCompares();
    ASSERT_TRUE(outcome.drawing) << c.name << ": " << ::testing::PrintToString(outcome.messages());
    EXPECT_LE(compares, kComparesPerGroup * c.groups)
        << c.name << ": " << compares / c.groups << " text comparisons per group";
}

std::string Layers(int count) {
    std::string table = "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n";
    for (int i = 0; i < count; ++i)
        table += Numbered("  0\nLAYER\n  2\nL", i) + "\n  6\nmissing\n";
    return table + "  0\nENDTAB\n  0\nENDSEC\n";
}

TEST(ResourceBounds, UnknownKindsAreLookedUpInConstantTime) {
    std::string entities;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < kRecords; ++i)
            entities += Numbered("  0\nKIND", i) + "\n";
    }
    ExpectComparesInProportion(
        {"distinct unknown kinds, each twice",
         "  0\nSECTION\n  2\nENTITIES\n" + entities + "  0\nENDSEC\n  0\nEOF\n", 2 * kRecords + 5});
}

// An entity finds its layer, and a layer its line type, through an index:
// walking the table for each would be quadratic in a file of many of both.
TEST(ResourceBounds, EntitiesFindTheirLayersInConstantTime) {
    std::string entities = Repeat("  0\nPOINT\n  8\nmissing\n", kRecords);
    ExpectComparesInProportion(
        {"entities on a missing layer after many layers",
         Layers(kRecords) + "  0\nSECTION\n  2\nENTITIES\n" + entities + "  0\nENDSEC\n  0\nEOF\n",
         5 * kRecords + 10});
}

TEST(ResourceBounds, LayersFindTheirLineTypesInConstantTime) {
    std::string ltypes = "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLTYPE\n";
    for (int i = 0; i < kRecords; ++i)
        ltypes += Numbered("  0\nLTYPE\n  2\nT", i) + "\n";
    ltypes += "  0\nENDTAB\n  0\nENDSEC\n";
    ExpectComparesInProportion({"layers on a missing line type after many line types",
                                ltypes + Layers(kRecords) + "  0\nEOF\n", 5 * kRecords + 20});
}

// Names whose FNV-1a hashes share their low 12 bits, made as cheaply as an
// attacker would: FNV-1a's low bits depend only on the low bits before them,
// so for most prefixes one last byte lands the name where the others are.
std::vector<std::string> NamesSharingLowHashBits(int count) {
    std::vector<std::string> names;
    for (int prefix = 0; static_cast<int>(names.size()) < count; ++prefix) {
        std::string name = Numbered("L", prefix);
        std::uint64_t state = 14695981039346656037ull;
        for (unsigned char c : name)
            state = (state ^ c) * 1099511628211ull;
        for (int last = 1; last < 256; ++last) {
            if ((((state ^ static_cast<unsigned>(last)) * 1099511628211ull) & 0xfff) == 0) {
                names.push_back(name + static_cast<char>(last));
                break;
            }
        }
    }
    return names;
}

// Lookups cost a few probes whatever names the file chose.
TEST(ResourceBounds, NamesChosenToCollideCostNoMoreProbes) {
    std::vector<std::string> names = NamesSharingLowHashBits(2000);
    vexlith::rt::NameIndex index;
    for (std::string &name : names)
        ASSERT_TRUE(index.Add(name.c_str(), &name));
    std::size_t total = 0, most = 0;
    for (const std::string &name : names) {
        std::size_t probes = index.ProbesOf(name.c_str());
        total += probes;
        most = std::max(most, probes);
        EXPECT_EQ(index.Find(name.c_str()), &name);
    }
    EXPECT_LE(total, 3 * names.size()) << "probes per lookup";
    EXPECT_LE(most, 64u);
    EXPECT_LE(index.ProbesOf("absent"), 64u);
    index.Release();
}

// Reads `contents` through a pipe: a file of unknown size that cannot seek.
ReadOutcome ReadThroughPipe(const std::string &contents) {
#if defined(_WIN32)
    (void)contents;
    return {};
#else
    TempFile directory;
    std::string fifo = directory.path() + ".fifo";
    if (mkfifo(fifo.c_str(), 0600) != 0) return {};
    std::thread writer([&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        for (std::size_t done = 0; fd >= 0 && done < contents.size();) {
            ssize_t put = write(fd, contents.data() + done, contents.size() - done);
            if (put <= 0) break;
            done += static_cast<std::size_t>(put);
        }
        if (fd >= 0) close(fd);
    });
    // With a meter, whose total the size would give.
    qmet_Meter meter{[](void *, double) {}, nullptr};
    ReadOutcome outcome = ReadFile(fifo, &meter);
    writer.join();
    unlink(fifo.c_str());
    return outcome;
#endif
}

// A file of unknown size gets a fixed allowance of dash lengths, and a group
// that cannot be given back (a pipe keeps at least the last 64 KiB, and comments
// skipped on the way count) fails the read instead of misreading it.
TEST(ResourceBounds, FilesOfUnknownSizeKeepTheBoundsOrFail) {
#if defined(_WIN32)
    GTEST_SKIP() << "no FIFO in the file system on Windows";
#endif
    auto ltypes = [](int entries) {
        std::vector<Group> table;
        for (int i = 0; i < entries; ++i)
            table = table + std::vector<Group>{{0, "LTYPE"}, {2, "T"}, {73, 32767}};
        return Binary(Drawing({Section("TABLES", Table("LTYPE", table))}));
    };
    std::string comments = Repeat("999\n" + std::string(80, 'c') + "\n", 3000);
    const struct {
        const char *name;
        std::string contents;
        const char *innermost;  // null: the drawing reads
    } cases[] = {
        {"two dash counts of 32767", ltypes(2), nullptr},
        {"three of them", ltypes(3), "Dash count 32767 is more than the file can hold"},
        {"a group given back over 250 KB of comments",
         "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n" + comments + "  0\nENDSEC\n  0\nEOF\n",
         "Error reading file"},
        {"the same over 8 KB",
         "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n" + comments.substr(0, 8500) +
             "  0\nENDSEC\n  0\nEOF\n",
         nullptr},
    };
    for (const auto &c : cases) {
        ReadOutcome outcome = ReadThroughPipe(c.contents);
        if (!c.innermost) {
            EXPECT_TRUE(outcome.drawing)
                << c.name << ": " << ::testing::PrintToString(outcome.messages());
            continue;
        }
        ASSERT_FALSE(outcome.drawing) << c.name;
        ASSERT_FALSE(outcome.messages().empty()) << c.name;
        EXPECT_NE(outcome.messages().back().find(c.innermost), std::string::npos)
            << c.name << ": " << ::testing::PrintToString(outcome.messages());
    }
}

// A file that never ends (a device such as /dev/zero) is not counted for the
// progress meter before it is read; the read ends at its first group.
TEST(ResourceBounds, AFileWithoutEndIsReadWithAMeterToo) {
#if defined(_WIN32)
    GTEST_SKIP() << "no endless device such as /dev/zero on Windows";
#else
    if (access("/dev/zero", R_OK) != 0) GTEST_SKIP() << "no /dev/zero";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(30);
        qmet_Meter meter{[](void *, double) {}, nullptr};
        qerr_Report *report = nullptr;
        Qdxf_Info *drawing = qdxf_Read("/dev/zero", &meter, &report);
        bool failed = !drawing && report &&
                      std::string(qerr_ReportMessage(report)) == "Error reading section";
        qerr_ReportFree(report);
        _exit(failed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_FALSE(WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) << "the read never ended";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

}  // namespace
