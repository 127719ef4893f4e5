// SPDX-License-Identifier: MIT
// Error reports: one heap block per level holding the function name and the
// formatted message, plus the wrapped inner report.
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#if !defined(_WIN32)
#include <locale.h>
#endif

#include "internal.h"

struct qerr_Report {
    qerr_Report *inner;
    const char *function;
    const char *message;
    int line;
    int errorClass;
};

namespace pellund {
namespace {

// Handed out when a report cannot be allocated, so that reporting a failure
// never fails itself. It wraps nothing and is never released.
qerr_Report outOfMemory{nullptr, "qerr_CreateErrorReport", "Out of memory", __LINE__, 1};

qerr_Report *NewReport(const char *function, int line, int errorClass, qerr_Report *inner,
                       const char *format, va_list arguments) {
    char stack[512];
    std::size_t messageLength = 0;
    char *message = FormatToBuffer(stack, sizeof stack, &messageLength, format, arguments);
    if (!function) function = "";
    std::size_t functionSize = std::strlen(function) + 1;
    qerr_Report *report = nullptr;
    if (message) {
        report = static_cast<qerr_Report *>(
            Allocate(sizeof(qerr_Report) + functionSize + messageLength + 1, false));
    }
    if (report) {
        char *text = reinterpret_cast<char *>(report + 1);
        std::memcpy(text, function, functionSize);
        std::memcpy(text + functionSize, message, messageLength + 1);
        *report = {inner, text, text + functionSize, line, errorClass};
    } else {
        qerr_ReportFree(inner);
        report = &outOfMemory;
    }
    if (message != stack) Release(message);
    return report;
}

#if defined(_WIN32)
_locale_t CLocale() {
    static _locale_t locale = _create_locale(LC_ALL, "C");
    return locale;
}
#else
locale_t CLocale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
    return locale;
}
#endif

}  // namespace

int FormatC(char *buffer, std::size_t size, const char *format, va_list arguments) {
#if defined(_WIN32)
    return _vsnprintf_l(buffer, size, format, CLocale(), arguments);
#else
    locale_t previous = uselocale(CLocale());
    int length = std::vsnprintf(buffer, size, format, arguments);
    uselocale(previous);
    return length;
#endif
}

char *FormatToBuffer(char *stack, std::size_t stackSize, std::size_t *length, const char *format,
                     va_list arguments) {
    va_list again;
    va_copy(again, arguments);
    int needed = FormatC(stack, stackSize, format, arguments);
    char *text = stack;
    if (needed < 0) {
        stack[0] = '\0';
        needed = 0;
    } else if (static_cast<std::size_t>(needed) >= stackSize) {
        text = static_cast<char *>(Allocate(static_cast<std::size_t>(needed) + 1, false));
        if (text) FormatC(text, static_cast<std::size_t>(needed) + 1, format, again);
    }
    va_end(again);
    *length = static_cast<std::size_t>(needed);
    return text;
}

qerr_Report *SystemReport(const char *function, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    qerr_Report *report = NewReport(function, 0, 1, nullptr, format, arguments);
    va_end(arguments);
    return report;
}

}  // namespace pellund

extern "C" {

qerr_Report *qerr_CreateErrorReport(const char *function, int line, int errorClass,
                                    qerr_Report *inner, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    qerr_Report *report =
        pellund::NewReport(function, line, errorClass, inner, format ? format : "", arguments);
    va_end(arguments);
    return report;
}

const char *qerr_ReportMessage(const qerr_Report *report) {
    return report ? report->message : "";
}
const char *qerr_ReportFunction(const qerr_Report *report) {
    return report ? report->function : "";
}
int qerr_ReportLine(const qerr_Report *report) {
    return report ? report->line : 0;
}
int qerr_ReportClass(const qerr_Report *report) {
    return report ? report->errorClass : 0;
}
const qerr_Report *qerr_ReportInner(const qerr_Report *report) {
    return report ? report->inner : nullptr;
}

void qerr_ReportFree(qerr_Report *report) {
    // Iterative, so that a chain of any depth is released without recursion.
    while (report && report != &pellund::outOfMemory) {
        qerr_Report *inner = report->inner;
        pellund::Release(report);
        report = inner;
    }
}

}  // extern "C"
