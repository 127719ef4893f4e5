// SPDX-License-Identifier: MIT
// Timed reads and writes of one drawing through the public API.
//
//     vexlith_bench read FILE [--meter] [--options FLAGS] [--repeat N]
//     vexlith_bench each FILE [--meter] [--options FLAGS] [--repeat N]
//     vexlith_bench write FILE OUT [--binary] [--complete | --r12] [--repeat N]
//
// --options reads with qdxf_ReadWithOptions and those QDXF_READ_ flags (7:
// QDXF_READ_ALL, 8: QDXF_READ_RECOVER) instead of qdxf_Read; a recovering
// read also prints how many repair records it listed, for how many places. `each` reads through
// qdxf_ReadEach with a callback that counts the entities, so that no drawing is built.
//
// Prints one line: the operation, the size in MB, the best time of N runs,
// MB/s, the peak resident memory of the process above what it held before the
// first run, that peak over the file size, and the heap the drawing itself
// holds once read (the floor for any reader that builds these records).
// --complete writes with QDXF_WRITE_COMPLETE, --r12 with QDXF_WRITE_R12_NAMES
// as well.
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "corvane.h"
#include "vexlith.h"

namespace {

double ResidentMegabytes() {
    long pages = 0, resident = 0;
    if (std::FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1e3;  // kilobytes on Linux
}

double HeapMegabytes() {
    return static_cast<double>(mallinfo2().uordblks) / 1e6;
}

double FileMegabytes(const char *name) {
    std::FILE *file = std::fopen(name, "rb");
    if (!file) return 0;
    std::fseek(file, 0, SEEK_END);
    double size = static_cast<double>(std::ftell(file)) / 1e6;
    std::fclose(file);
    return size;
}

void CountCalls(void *context, double) {
    ++*static_cast<long *>(context);
}

void DropMessage(void *, const char *) {}

int CountEntity(void *context, const Qdxf_Info *, const Qdxf_Entity *) {
    ++*static_cast<long *>(context);
    return 0;
}

int Fail(qerr_Report *report) {
    for (const qerr_Report *level = report; level; level = qerr_ReportInner(level)) {
        std::fprintf(stderr, "%s: %s\n", qerr_ReportFunction(level), qerr_ReportMessage(level));
    }
    qerr_ReportFree(report);
    return 1;
}

using Clock = std::chrono::steady_clock;

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: vexlith_bench read|each FILE [--meter] [--options FLAGS] "
                     "[--repeat N]\n"
                     "       vexlith_bench write FILE OUT [--binary] [--complete | --r12] "
                     "[--repeat N]\n");
        return 2;
    }
    std::string operation = argv[1];
    const char *input = argv[2];
    const char *output = operation == "write" && argc > 3 ? argv[3] : nullptr;
    bool meter = false, binary = false;
    unsigned int flags = 0;
    int repeat = 3;
    int readFlags = -1;  // qdxf_Read
    for (int i = output ? 4 : 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--meter"))
            meter = true;
        else if (!std::strcmp(argv[i], "--binary"))
            binary = true;
        else if (!std::strcmp(argv[i], "--complete"))
            flags = QDXF_WRITE_COMPLETE;
        else if (!std::strcmp(argv[i], "--r12"))
            flags = QDXF_WRITE_COMPLETE | QDXF_WRITE_R12_NAMES;
        else if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc)
            repeat = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--options") && i + 1 < argc)
            readFlags = std::atoi(argv[++i]);
    }
    qsmg_SetSink(DropMessage, nullptr);  // "... entity ignored" is not what is measured
    double baseline = ResidentMegabytes();
    double heapBefore = HeapMegabytes();
    long calls = 0;
    qmet_Meter progress{CountCalls, &calls};
    double best = 1e300, megabytes = 0, drawingHeap = 0;

    long entities = 0;
    long repairRecords = 0, repairPlaces = 0;
    if (operation == "read" || operation == "each") {
        megabytes = FileMegabytes(input);
        for (int run = 0; run < repeat; ++run) {
            qerr_Report *report = nullptr;
            auto start = Clock::now();
            qmet_Meter *shown = meter ? &progress : nullptr;
            Qdxf_Repair *repairs = nullptr;
            Qdxf_ReadOptions options{
                sizeof options, static_cast<unsigned>(readFlags), 0.0, nullptr, 0, &repairs};
            const Qdxf_ReadOptions *chosen = readFlags < 0 ? nullptr : &options;
            Qdxf_Info *drawing =
                operation == "each"
                    ? qdxf_ReadEach(input, shown, chosen, CountEntity, &entities, &report)
                : chosen ? qdxf_ReadWithOptions(input, shown, chosen, &report)
                         : qdxf_Read(input, shown, &report);
            double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            if (!drawing) return Fail(report);
            repairRecords = repairPlaces = 0;
            for (const Qdxf_Repair *repair = repairs; repair; repair = repair->next) {
                ++repairRecords;
                repairPlaces += repair->count;
            }
            qdxf_RepairsFree(repairs);
            drawingHeap = HeapMegabytes() - heapBefore;
            qdxf_InfoFree(drawing);
            if (seconds < best) best = seconds;
        }
    } else if (operation == "write" && output) {
        qerr_Report *report = nullptr;
        Qdxf_Info *drawing = qdxf_Read(input, nullptr, &report);
        if (!drawing) return Fail(report);
        baseline = ResidentMegabytes();
        for (int run = 0; run < repeat; ++run) {
            auto start = Clock::now();
            const Qdxf_WriteOptions options{sizeof options, flags, nullptr, nullptr};
            qdxf_WriteWithOptions(drawing, output, binary ? 1 : 0, flags ? &options : nullptr,
                                  &report);
            double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            if (report) {
                qdxf_InfoFree(drawing);
                return Fail(report);
            }
            if (seconds < best) best = seconds;
        }
        qdxf_InfoFree(drawing);
        megabytes = FileMegabytes(output);
    } else {
        std::fprintf(stderr, "vexlith_bench: unknown operation %s\n", operation.c_str());
        return 2;
    }
    if (operation == "each") std::fprintf(stderr, "%ld entities\n", entities / repeat);
    if (readFlags > 0 && (readFlags & QDXF_READ_RECOVER)) {
        std::printf("repairs %ld records, %ld places\n", repairRecords, repairPlaces);
    }
    double peak = PeakMegabytes() - baseline;
    std::printf(
        "%-5s %s%s%s %.1f MB  best %.3f s  %.0f MB/s  peak %.1f MB (%.2fx)  drawing %.1f MB\n",
        operation.c_str(), operation == "write" ? output : input,
        meter    ? " (meter)"
        : binary ? " (binary)"
                 : "",
        flags & QDXF_WRITE_R12_NAMES ? " (R12 names)"
        : flags                      ? " (complete)"
                                     : "",
        megabytes, best, megabytes / best, peak, peak / megabytes, drawingHeap);
    return 0;
}
