// SPDX-License-Identifier: MIT
// Log messages: formatted into a bounded buffer and handed to the sink.
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "corvane.h"

namespace {

struct MessageSink {
    void (*sink)(void *context, const char *message) = nullptr;
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
MessageSink messageSink;

}  // namespace

extern "C" {

void qsmg_SetSink(void (*sink)(void *context, const char *message), void *context) {
    std::lock_guard lock(sinkMutex);
    messageSink = {sink, context};
}

void qsmg_LogMessage(int /*level*/, qerr_Report **report, const char *format, ...) {
    if (report) *report = nullptr;
    // Messages are short; a longer one is cut rather than allocated for, so
    // that posting a message never fails.
    char message[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    MessageSink target;
    {
        std::lock_guard lock(sinkMutex);
        target = messageSink;
    }
    if (target.sink) {
        target.sink(target.context, message);
    } else {
        std::fprintf(stderr, "%s\n", message);
    }
}

}  // extern "C"
