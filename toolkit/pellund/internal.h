// SPDX-License-Identifier: MIT
// Shared by the pellund sources: the counting allocator every service uses,
// the report helper for the toolkit's own failures, and the fault hooks that
// only the test build (PELLUND_TESTING) compiles in.
#ifndef PELLUND_INTERNAL_H
#define PELLUND_INTERNAL_H

#include <cstdarg>
#include <cstddef>

#include "pellund.h"

namespace pellund {

// Every block the toolkit hands out or keeps comes from here, so that the
// test build can fail any one of them.
void *Allocate(std::size_t size, bool zeroFill);
void Release(void *block);

// A report of the toolkit's own, class 1, without an inner report.
qerr_Report *SystemReport(const char *function, const char *format, ...) PELLUND_PRINTF(2, 3);

// vsnprintf in the C locale whatever the host's locale is: decimal points in
// messages, dumps and files never depend on the host's settings.
int FormatC(char *buffer, std::size_t size, const char *format, va_list arguments);

// A text formatted by FormatC, whatever its length: on the stack when it
// fits, else in a block of its own, released with the text. Its data is null
// when the heap is exhausted.
class FormattedText {
public:
    FormattedText(const char *format, va_list arguments);
    ~FormattedText() {
        if (text_ != stack_) Release(text_);
    }
    FormattedText(const FormattedText &) = delete;
    FormattedText &operator=(const FormattedText &) = delete;

    const char *data() const { return text_; }
    std::size_t size() const { return length_; }

private:
    char stack_[1024];
    char *text_ = stack_;
    std::size_t length_ = 0;
};

#if defined(PELLUND_TESTING)
bool FailThisAllocation();
bool FailThisRead();
bool FailThisWrite();
void CountHandle(int delta);
void CountListSteps(long steps);
// The byte of a file from which reads fail, or -1.
long long FailReadAtByte();
#else
inline bool FailThisAllocation() {
    return false;
}
inline bool FailThisRead() {
    return false;
}
inline bool FailThisWrite() {
    return false;
}
inline void CountHandle(int) {}
inline void CountListSteps(long) {}
inline long long FailReadAtByte() {
    return -1;
}
#endif

}  // namespace pellund

#endif
