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
    FormattedText message(format, arguments);
    std::size_t messageLength = message.size();
    if (!function) function = "";
    std::size_t functionSize = std::strlen(function) + 1;
    qerr_Report *report = nullptr;
    if (message.data()) {
        report = static_cast<qerr_Report *>(
            Allocate(sizeof(qerr_Report) + functionSize + messageLength + 1, false));
    }
    if (report) {
        char *text = reinterpret_cast<char *>(report + 1);
        std::memcpy(text, function, functionSize);
        std::memcpy(text + functionSize, message.data(), messageLength + 1);
        *report = {inner, text, text + functionSize, line, errorClass};
    } else {
        qerr_ReportFree(inner);
        report = &outOfMemory;
    }
    return report;
}

}  // namespace

#if defined(__MINGW32__)
// MinGW's own C99 vsnprintf gives the text glibc gives (two-digit exponents,
// %zu and %lld) and the needed length when the buffer is short; the CRT's
// _vsnprintf_l gives neither (it answers -1). It takes the decimal point from
// the locale, so when the calling thread has one other than '.', the C
// numeric locale is put in force for this thread alone during the call.
int FormatC(char *buffer, std::size_t size, const char *format, va_list arguments) {
    const char *point = std::localeconv()->decimal_point;
    if (point[0] == '.' && point[1] == '\0')
        return __mingw_vsnprintf(buffer, size, format, arguments);
    int previousMode = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
    char previous[256] = "";
    if (const char *name = std::setlocale(LC_NUMERIC, nullptr))
        std::snprintf(previous, sizeof previous, "%s", name);
    std::setlocale(LC_NUMERIC, "C");
    int length = __mingw_vsnprintf(buffer, size, format, arguments);
    std::setlocale(LC_NUMERIC, previous);
    _configthreadlocale(previousMode);
    return length;
}
#elif defined(_WIN32)
// The UCRT's _vsnprintf_l answers -1 for a short buffer, so the length
// comes first from _vscprintf_l.
int FormatC(char *buffer, std::size_t size, const char *format, va_list arguments) {
    static _locale_t locale = _create_locale(LC_ALL, "C");
    va_list again;
    va_copy(again, arguments);
    int length = _vscprintf_l(format, locale, arguments);
    if (length >= 0 && static_cast<std::size_t>(length) < size)
        _vsnprintf_l(buffer, size, format, locale, again);
    else if (size > 0)
        buffer[0] = '\0';
    va_end(again);
    return length;
}
#else
int FormatC(char *buffer, std::size_t size, const char *format, va_list arguments) {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
    locale_t previous = uselocale(locale);
    int length = std::vsnprintf(buffer, size, format, arguments);
    uselocale(previous);
    return length;
}
#endif

FormattedText::FormattedText(const char *format, va_list arguments) {
    va_list again;
    va_copy(again, arguments);
    int needed = FormatC(stack_, sizeof stack_, format, arguments);
    if (needed < 0) {
        stack_[0] = '\0';
        needed = 0;
    } else if (static_cast<std::size_t>(needed) >= sizeof stack_) {
        text_ = static_cast<char *>(Allocate(static_cast<std::size_t>(needed) + 1, false));
        if (text_) FormatC(text_, static_cast<std::size_t>(needed) + 1, format, again);
    }
    va_end(again);
    length_ = static_cast<std::size_t>(needed);
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
