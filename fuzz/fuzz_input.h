// SPDX-License-Identifier: MIT
// Shared by the fuzz targets: the library reads files, so each input is put
// into a file of its own first (in memory-backed storage where there is one).
#ifndef VEXLITH_FUZZ_INPUT_H
#define VEXLITH_FUZZ_INPUT_H

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "corvane.h"
#include "pellund.h"
#include "vexlith.h"

namespace fuzzing {

// A scratch file name for this process, in /dev/shm when it exists.
inline std::string ScratchName(const char *suffix) {
    const char *directory = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(directory) + "/vexlith-fuzz-" + std::to_string(getpid()) + suffix;
}

inline bool WriteFile(const std::string &name, const std::uint8_t *data, std::size_t size) {
    std::FILE *file = std::fopen(name.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

// The first byte of an input picks the read options: its low three bits the
// QDXF_READ_ flags, bit 3 a tolerance of 1e-3 drawing units instead of the
// default relative to each curve (the caps of the curves' segments bound
// what that costs), bit 4 QDXF_READ_RECOVER, whose repairs go to `repairs`;
// the rest of the input is the file. Null options (qdxf_Read's reading) for
// flags of 0; an empty input is an empty file.
struct Input {
    Qdxf_ReadOptions options;
    const std::uint8_t *file;
    std::size_t size;
    Qdxf_Repair *repairs = nullptr;
    const Qdxf_ReadOptions *Options() {
        options.repairs = &repairs;
        return options.flags ? &options : nullptr;
    }
};

inline Input TakeInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return {{sizeof(Qdxf_ReadOptions), 0, 0.0, nullptr, 0, nullptr}, data, 0};
    double tolerance = (data[0] & 8) ? 1e-3 : 0.0;
    unsigned flags = (data[0] & QDXF_READ_ALL) | ((data[0] & 16) ? QDXF_READ_RECOVER : 0u);
    return {{sizeof(Qdxf_ReadOptions), flags, tolerance, nullptr, 0, nullptr}, data + 1, size - 1};
}

// Aborts with a message: a broken invariant is a finding.
[[noreturn]] inline void Finding(const char *what) {
    std::fprintf(stderr, "fuzz finding: %s\n", what);
    std::abort();
}

// The same, with the report chain that came with it, outermost first.
[[noreturn]] inline void Finding(const char *what, const qerr_Report *report) {
    for (; report; report = qerr_ReportInner(report))
        std::fprintf(stderr, "  %s: %s\n", qerr_ReportFunction(report), qerr_ReportMessage(report));
    Finding(what);
}

// Log messages and dumps go nowhere: the targets look at results, and output
// would only slow them down.
inline void Silence() {
    qsmg_SetSink([](void *, const char *) {}, nullptr);
    qfio_SetPrintSink([](void *, const char *, std::size_t) {}, nullptr);
}

}  // namespace fuzzing

#endif
