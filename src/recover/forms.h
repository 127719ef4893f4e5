// SPDX-License-Identifier: MIT
// The forms of values a recovering read takes as they are: whole numbers and
// the names of 0 groups as DXF writes them. A value in any other form is
// read by the recovering group reader, which lists what it made of it. Inline:
// the recovering quick path asks for every number it cannot read plainly.
#ifndef VEXLITH_RECOVER_FORMS_H
#define VEXLITH_RECOVER_FORMS_H

#include <cstddef>

namespace vexlith::recover {

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

inline bool IsDecimal(char c) {
    return c >= '0' && c <= '9';
}

// Past the digits at `p`, none beyond `end`.
inline const char *SkipDecimals(const char *p, const char *end) {
    while (p < end && IsDecimal(*p))
        ++p;
    return p;
}

// The end of a number line: blanks, and the CR of a CR LF line end.
inline bool OnlyBlanksLeft(const char *p, const char *end) {
    while (p < end && IsBlank(*p))
        ++p;
    return p == end || (p + 1 == end && *p == '\r');
}

inline const char *SkipSign(const char *p, const char *end) {
    while (p < end && IsBlank(*p))
        ++p;
    return p < end && (*p == '-' || *p == '+') ? p + 1 : p;
}

// [p, end) is an integer with blanks around it, and nothing else.
inline bool IsWholeInteger(const char *p, const char *end) {
    p = SkipSign(p, end);
    const char *digits = p;
    p = SkipDecimals(p, end);
    return p > digits && OnlyBlanksLeft(p, end);
}

// [p, end) is a real in decimal notation, perhaps with an exponent, with
// blanks around it, and nothing else.
inline bool IsWholeReal(const char *p, const char *end) {
    p = SkipSign(p, end);
    const char *digits = p;
    p = SkipDecimals(p, end);
    bool any = p > digits;
    if (p < end && *p == '.') {
        const char *fraction = ++p;
        p = SkipDecimals(p, end);
        any = any || p > fraction;
    }
    if (!any) return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '-' || *p == '+')) ++p;
        const char *exponent = p;
        p = SkipDecimals(p, end);
        if (p == exponent) return false;
    }
    return OnlyBlanksLeft(p, end);
}

// The name of a 0 group read as written: one that begins with neither a
// blank nor a lowercase letter (a name written in lowercase or after blanks
// is read in uppercase, without them).
inline bool IsTagAsWritten(const char *text, std::size_t length) {
    return length > 0 && !IsBlank(text[0]) && !(text[0] >= 'a' && text[0] <= 'z');
}

// A character of such a name: what a binary file's 0 group holds unless
// its bytes are out of step.
inline bool IsTagCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || IsDecimal(c) || c == '_' || c == '$' || c == '*' || c == '-' ||
           c == '.';
}

// A binary 0 group's name read as written: one that begins with such a
// character. (One that begins with a lowercase letter or a blank is read in
// uppercase; any other means the bytes are out of step.)
inline bool IsBinaryTag(const char *text, std::size_t length) {
    return length > 0 && IsTagCharacter(text[0]);
}

}  // namespace vexlith::recover

#endif
