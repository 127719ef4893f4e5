// SPDX-License-Identifier: MIT
// Formatted output to the print sink, standard output unless the host set one.
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "internal.h"

namespace {

struct PrintSink {
    void (*sink)(void *context, const char *text, size_t length) = nullptr;
    void *context = nullptr;
};

#if defined(__wasi__)
// WebAssembly runs one thread: there is nothing to exclude.
struct {
    void lock() {}
    void unlock() {}
} sinkMutex;
#else
std::mutex sinkMutex;
#endif
PrintSink printSink;

}  // namespace

extern "C" {

void qfio_SetPrintSink(void (*sink)(void *context, const char *text, size_t length),
                       void *context) {
    std::lock_guard lock(sinkMutex);
    printSink = {sink, context};
}

void qfio_Printf(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    pellund::FormattedText text(format, arguments);
    va_end(arguments);
    if (!text.data()) return;
    PrintSink target;
    {
        std::lock_guard lock(sinkMutex);
        target = printSink;
    }
    if (target.sink) {
        target.sink(target.context, text.data(), text.size());
    } else {
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
}

}  // extern "C"
