// SPDX-License-Identifier: MIT
// Number conversions of the ASCII form, as atoi and atof would do them in the
// C locale, without their undefined behaviour on overflow.
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <system_error>
#if defined(__wasi__)
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#endif

#include "codec/group.h"

namespace vexlith {
namespace {

const char *SkipSpace(const char *text, const char *end) {
    while (text < end && IsSpace(*text))
        ++text;
    return text;
}

// A value beyond the double range: the decimal exponent of its leading digit
// decides between overflow (infinity) and underflow (zero), as strtod does.
double OutOfRange(const char *number, const char *end) {
    auto at = [end](const char *p) { return p < end ? *p : '\0'; };
    long long scale = 0;  // digits before the point, from the first non-zero one
    bool significant = false;
    const char *p = number;
    for (; IsDigit(at(p)); ++p) {
        if (*p != '0') significant = true;
        if (significant) ++scale;
    }
    if (at(p) == '.') {
        for (++p; IsDigit(at(p)); ++p) {
            if (significant) continue;
            if (*p != '0') {
                significant = true;
            } else {
                --scale;
            }
        }
    }
    long long exponent = 0;
    if (at(p) == 'e' || at(p) == 'E') {
        ++p;
        bool negative = at(p) == '-';
        if (at(p) == '+' || at(p) == '-') ++p;
        for (; IsDigit(at(p)) && exponent < 100000; ++p)
            exponent = exponent * 10 + (*p - '0');
        if (negative) exponent = -exponent;
    }
    return scale + exponent > 0 ? HUGE_VAL : 0.0;
}

}  // namespace

#if defined(__wasi__)
// WebAssembly's libc++ has no floating from_chars. strtod reads the same
// numbers there (WASI knows the C locale alone, so the point is '.'), from a
// copy that ends it; the value lines of a file are shorter than the copy.
// What strtod takes and from_chars does not, hexadecimal and leading blanks,
// reads as from_chars reads it.
std::from_chars_result ReadReal(const char *p, const char *end, double &value) {
    if (p == end || IsSpace(*p)) return {p, std::errc::invalid_argument};
    char copy[512];
    std::size_t length = std::min(static_cast<std::size_t>(end - p), sizeof copy - 1);
    std::memcpy(copy, p, length);
    copy[length] = '\0';
    if (copy[0] == '0' && (copy[1] == 'x' || copy[1] == 'X')) copy[1] = '\0';
    char *stop = nullptr;
    errno = 0;
    double read = std::strtod(copy, &stop);
    if (stop == copy) return {p, std::errc::invalid_argument};
    const char *after = p + (stop - copy);
    if (errno == ERANGE && (read == 0.0 || std::isinf(read)))
        return {after, std::errc::result_out_of_range};
    value = read;
    return {after, std::errc{}};
}
#else
std::from_chars_result ReadReal(const char *p, const char *end, double &value) {
    return std::from_chars(p, end, value, std::chars_format::general);
}
#endif

// Every group's code goes through here, so the digits are summed in the one
// pass that finds them rather than handed to from_chars, whose generic
// integer parsing costs several times as much for a code of one to four
// digits. A value beyond the int range clamps as soon as it gets there.
int ParseInteger(const char *text, const char *end) {
    const char *p = SkipSpace(text, end);
    if (p == end) return 0;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; p < end && IsDigit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude >= kLimit) return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

double ParseReal(const char *text, const char *end) {
    const char *p = SkipSpace(text, end);
    if (p == end) return 0.0;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    // A second sign is not part of a number ("+-1" reads 0, as atof does).
    if (p == end || *p == '+' || *p == '-') return 0.0;
    double value = 0.0;
    auto [stop, error] = ReadReal(p, end, value);
    if (error == std::errc::result_out_of_range) {
        value = OutOfRange(p, end);
    } else if (error != std::errc{} || stop == p) {
        return 0.0;
    }
    return negative ? -value : value;
}

int ParseInteger(const char *text) {
    return ParseInteger(text, text + std::strlen(text));
}

double ParseReal(const char *text) {
    return ParseReal(text, text + std::strlen(text));
}

}  // namespace vexlith
