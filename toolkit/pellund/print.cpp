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

std::mutex sinkMutex;
PrintSink printSink;

}  // namespace

extern "C" {

void qfio_SetPrintSink(void (*sink)(void *context, const char *text, size_t length),
                       void *context) {
    std::lock_guard lock(sinkMutex);
    printSink = {sink, context};
}

void qfio_Printf(const char *format, ...) {
    char stack[1024];
    std::size_t length = 0;
    va_list arguments;
    va_start(arguments, format);
    char *text = pellund::FormatToBuffer(stack, sizeof stack, &length, format, arguments);
    va_end(arguments);
    if (!text) return;
    PrintSink target;
    {
        std::lock_guard lock(sinkMutex);
        target = printSink;
    }
    if (target.sink) {
        target.sink(target.context, text, length);
    } else {
        std::fwrite(text, 1, length, stdout);
    }
    if (text != stack) pellund::Release(text);
}

}  // extern "C"
