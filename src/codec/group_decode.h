// SPDX-License-Identifier: MIT
// The quick path of the group reader: a group decoded straight from the view
// of the file service's buffer, inline, for the readers that take most of a
// drawing's groups. It takes the groups that need no care: the view holds
// them whole with room to spare, an ASCII code is a short run of digits and
// its value line ends within a line read's length, a binary code is tabled
// and its value is not a chunk. Anything else is left to the general reader
// (ReadGroupInFull), which gives the same group, or the report of its
// failure; the quick path consumes nothing when it declines.
#ifndef VEXLITH_CODEC_GROUP_DECODE_H
#define VEXLITH_CODEC_GROUP_DECODE_H

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "codec/group.h"

namespace vexlith {

// How a binary file encodes the value of a code.
enum class BinaryValue : std::uint8_t {
    None,   // no value follows the code
    Text,   // characters up to a NUL byte
    Real,   // 8-byte IEEE double
    Int16,  // 2-byte signed integer
    Int32,  // 4-byte signed integer
    Int64,  // 8-byte signed integer
    Byte,   // 1-byte flag
    Chunk,  // a length byte and that many bytes of binary data
};

struct BinaryCode {
    BinaryValue encoding;
    Qdxf_ValueKind kind;
};

// Binary codes 0 to kTabledCodes - 1, and the value kind of each remainder
// code % 1000 (group_reader.cpp).
constexpr int kTabledCodes = 1100;
extern const std::array<BinaryCode, kTabledCodes> kBinaryCodes;
extern const std::array<Qdxf_ValueKind, 1000> kGroupKinds;

// What the general reader does where the quick path declines; it shows
// progress itself.
void ReadGroupInFull(GroupSource &source, rt::Report **report, GroupView *group);
// Progress at `position`: a line number in ASCII, a byte offset in binary.
void ShowGroupProgress(const GroupSource &source, long long position);

// A value line as text, up to a NUL if the line holds one, without its
// trailing white space (leading white space is kept).
inline void ViewText(GroupView *group, const char *line, std::size_t length) {
    const void *nul = std::memchr(line, '\0', length);
    if (nul) length = static_cast<std::size_t>(static_cast<const char *>(nul) - line);
    while (length > 0 && IsSpace(line[length - 1]))
        --length;
    group->text = line;
    group->length = length;
}

namespace quick {

// Room the view must hold beyond the cursor: the longest code line the quick
// path takes, a whole line read (or the longest binary text with its code),
// and the bytes a scan may look at past the end it finds.
constexpr std::size_t kRoom = 16 + (rt::kLineSize - 1) + 16;
constexpr std::size_t kLine = rt::kLineSize - 1;

// Powers of ten a double holds exactly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Past the line end right at `p` (LF, or CR LF), or null.
inline const char *LineEnd(const char *p) {
    if (*p == '\n') return p + 1;
    if (*p == '\r' && p[1] == '\n') return p + 2;
    return nullptr;
}

// Spaces before a number; more than a few go to the general parsers.
inline const char *SkipSpaces(const char *p) {
    for (int i = 0; i < 16 && *p == ' '; ++i)
        ++p;
    return p;
}

// A code line of one to nine digits after spaces: past its end, or null.
// Nine digits never overflow an int; longer codes may clamp, and go to the
// general parser.
inline const char *ShortCode(const char *p, int *code) {
    p = SkipSpaces(p);
    const char *digits = p;
    int value = 0;
    while (p - digits < 9 && IsDigit(*p)) {
        value = value * 10 + (*p - '0');
        ++p;
    }
    if (p == digits) return nullptr;
    *code = value;
    return LineEnd(p);
}

// An integer value line of one to nine digits, perhaps after spaces and a
// minus: past its end, or null.
inline const char *ShortInteger(const char *p, std::int32_t *integer) {
    p = SkipSpaces(p);
    bool negative = *p == '-';
    p += negative;
    const char *digits = p;
    int value = 0;
    while (p - digits < 9 && IsDigit(*p)) {
        value = value * 10 + (*p - '0');
        ++p;
    }
    if (p == digits) return nullptr;
    *integer = negative ? -value : value;
    return LineEnd(p);
}

// A real value line in plain decimal notation (digits, perhaps a point and
// more digits) with at most 19 digits whose value, the point taken away, is
// at most 2^53: past its end, or null. Such a number and the power of ten
// that scales it are exact doubles, so their quotient is the correctly
// rounded value, the very double from_chars gives. Exponents, signs other
// than one minus, and longer digit runs go to the general parser.
inline const char *PlainReal(const char *p, double *real) {
    p = SkipSpaces(p);
    bool negative = *p == '-';
    p += negative;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    for (; digits < 20 && IsDigit(*p); ++p, ++digits)
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    if (*p == '.') {
        ++p;
        const char *first = p;
        for (; digits < 20 && IsDigit(*p); ++p, ++digits)
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        fraction = static_cast<int>(p - first);
    }
    if (digits == 0 || digits > 19 || mantissa > (std::uint64_t{1} << 53)) return nullptr;
    const char *end = LineEnd(p);
    if (!end) return nullptr;
    double value = static_cast<double>(mantissa) / kExactPowers[fraction];
    *real = negative ? -value : value;
    return end;
}

// The value line at `p` as text (see ViewText): past its end, or null when
// no line end comes within a line read's length.
inline const char *TextLine(const char *p, GroupView *group) {
    const void *newline = std::memchr(p, '\n', kLine);
    if (!newline) return nullptr;
    const char *end = static_cast<const char *>(newline) + 1;
    ViewText(group, p, static_cast<std::size_t>(end - p));
    return end;
}

// Past the line at `p`, or null (as TextLine).
inline const char *SkipLine(const char *p) {
    const void *newline = std::memchr(p, '\n', kLine);
    return newline ? static_cast<const char *>(newline) + 1 : nullptr;
}

inline bool AsciiGroup(GroupSource &source, GroupView *group) {
    const char *p = source.cursor;
    if (source.positionLost || static_cast<std::size_t>(source.end - p) < kRoom) return false;
    int code = 0;
    p = ShortCode(p, &code);
    if (!p || code == 999) return false;  // comments are dropped by the general reader
    Qdxf_ValueKind kind = kGroupKinds[static_cast<std::size_t>(code % 1000)];
    group->code = code;
    group->kind = kind;
    const char *next = nullptr;
    switch (kind) {
        case QDXF_VALUE_REAL:
            next = PlainReal(p, &group->real);
            if (!next && (next = SkipLine(p))) group->real = ParseReal(p, next);
            break;
        case QDXF_VALUE_INT:
            next = ShortInteger(p, &group->integer);
            if (!next && (next = SkipLine(p))) group->integer = ParseInteger(p, next);
            break;
        case QDXF_VALUE_TEXT:
            next = TextLine(p, group);
            break;
        case QDXF_VALUE_NONE:
            next = SkipLine(p);
            break;
    }
    if (!next) return false;
    source.cursor = next;
    source.lineNumber += 2;
    return true;
}

template <typename T>
T LittleEndianAt(const char *p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

inline bool BinaryGroup(GroupSource &source, GroupView *group) {
    if constexpr (std::endian::native != std::endian::little) return false;
    const char *p = source.cursor;
    if (source.positionLost || static_cast<std::size_t>(source.end - p) < kRoom) return false;
    int code;
    if (source.twoByteCodes) {
        code = LittleEndianAt<std::int16_t>(p);
        p += 2;
    } else {
        code = static_cast<unsigned char>(*p++);
        if (code == 255) {
            code = LittleEndianAt<std::int16_t>(p);
            p += 2;
        }
    }
    if (code < 0 || code >= kTabledCodes) return false;
    BinaryCode binary = kBinaryCodes[static_cast<std::size_t>(code)];
    group->code = code;
    group->kind = binary.kind;
    bool number = binary.kind == QDXF_VALUE_INT;
    switch (binary.encoding) {
        case BinaryValue::None:
            break;
        case BinaryValue::Text: {
            const void *nul = std::memchr(p, '\0', kGroupTextSize);
            if (!nul) return false;  // too long: the general reader fails it
            group->text = p;
            group->length = static_cast<std::size_t>(static_cast<const char *>(nul) - p);
            p += group->length + 1;
            break;
        }
        case BinaryValue::Real:
            if (binary.kind == QDXF_VALUE_REAL) group->real = LittleEndianAt<double>(p);
            p += 8;
            break;
        case BinaryValue::Int16:
            if (number) group->integer = LittleEndianAt<std::int16_t>(p);
            p += 2;
            break;
        case BinaryValue::Int32:
            if (number) group->integer = LittleEndianAt<std::int32_t>(p);
            p += 4;
            break;
        case BinaryValue::Byte:
            if (number) group->integer = static_cast<signed char>(*p);
            p += 1;
            break;
        case BinaryValue::Int64:  // clamped by the general reader
        case BinaryValue::Chunk:
            return false;
    }
    source.cursor = p;
    return true;
}

}  // namespace quick

// The next group of `source`, as ReadGroup gives it: decoded in place when
// the quick path takes it, else by the general reader.
inline void NextGroup(GroupSource &source, rt::Report **report, GroupView *group) {
    if (source.binary) {
        const char *start = source.cursor;
        if (quick::BinaryGroup(source, group)) {
            *report = nullptr;
            if (source.meter) ShowGroupProgress(source, source.viewStart + (start - source.base));
            return;
        }
    } else if (quick::AsciiGroup(source, group)) {
        *report = nullptr;
        if (source.meter) ShowGroupProgress(source, source.lineNumber);
        return;
    }
    ReadGroupInFull(source, report, group);
}

}  // namespace vexlith

#endif
