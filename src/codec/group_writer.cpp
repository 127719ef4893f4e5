// SPDX-License-Identifier: MIT
// The group writer: every group of a write goes out through here, as two text
// lines in the ASCII form or as packed little-endian bytes in the binary form.
//
// Numbers are spelled as in the C locale whatever locale the host has set:
// codes and integers are right-aligned decimal ("%3d", "%6d"), reals take the
// shortest spelling that reads back to the same double (std::to_chars), so a
// surveyed coordinate of many digits is written as exactly as it is held.
// Every group is written as two writes, its code and then its value, so that a
// failure after the code leaves the code in the file and no value after it.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "codec/group.h"
#include "codec/group_writer.h"

namespace vexlith {
namespace {

// Room for the longest number line: the shortest spelling of a double takes
// at most 24 characters ("-2.2250738585072014e-308", or "-0.000012345678901234567"
// in fixed notation), an int at most 11, then the newline.
constexpr std::size_t kNumberLine = 40;

// `value` in decimal, right-aligned in `width` columns (more when it needs
// them), and a newline. Returns the length of the line.
std::size_t IntegerLine(char (&line)[kNumberLine], int value, std::size_t width) {
    char digits[12];
    char *end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    std::size_t length = static_cast<std::size_t>(end - digits);
    std::size_t pad = length < width ? width - length : 0;
    std::memset(line, ' ', pad);
    std::memcpy(line + pad, digits, length);
    line[pad + length] = '\n';
    return pad + length + 1;
}

// `value` in the fewest digits that read back to it, independent of the
// locale; and a newline. Magnitudes a drawing holds (1e-5 up to 1e16) are
// spelled in fixed notation, as old programs with a plain number parser
// expect ("100000", not "1e+05"); others in the shorter of the two.
std::size_t RealLine(char (&line)[kNumberLine], double value) {
    double magnitude = std::fabs(value);
    bool fixed = magnitude == 0.0 || (magnitude >= 1e-5 && magnitude < 1e16);
    char *last = line + kNumberLine - 1;
    char *end = fixed ? std::to_chars(line, last, value, std::chars_format::fixed).ptr
                      : std::to_chars(line, last, value).ptr;
    *end = '\n';
    return static_cast<std::size_t>(end - line) + 1;
}

// Writes `count` bytes. On failure `*inner` receives the toolkit's report in
// the binary form; the ASCII form reports only the file, so it is dropped,
// except where the heap gave out under a write to memory.
bool Put(const Qdxf_WriteState &state, const void *bytes, std::size_t count, rt::Report **inner) {
    rt::WriteSeq(state.file, bytes, count, inner);
    if (!*inner) return true;
    if (!state.binary && !rt::InMemory(state.file)) {
        rt::Discard(*inner);
        *inner = nullptr;
    }
    return false;
}

bool PutCode(const Qdxf_WriteState &state, int code, rt::Report **inner) {
    if (state.binary) {
        // One-byte codes: the low 8 bits.
        unsigned char byte = static_cast<unsigned char>(code & 0xff);
        return Put(state, &byte, 1, inner);
    }
    char line[kNumberLine];
    return Put(state, line, IntegerLine(line, code, 3), inner);
}

bool PutInt(const Qdxf_WriteState &state, int value, rt::Report **inner) {
    if (state.binary) {
        // Two bytes: the low 16 bits, two's complement.
        auto bits = static_cast<std::uint32_t>(value);
        unsigned char bytes[2] = {static_cast<unsigned char>(bits & 0xff),
                                  static_cast<unsigned char>((bits >> 8) & 0xff)};
        return Put(state, bytes, sizeof bytes, inner);
    }
    char line[kNumberLine];
    return Put(state, line, IntegerLine(line, value, 6), inner);
}

bool PutReal(const Qdxf_WriteState &state, double value, rt::Report **inner) {
    if (state.binary) {
        std::uint64_t bits;
        static_assert(sizeof bits == sizeof value);
        std::memcpy(&bits, &value, sizeof bits);
        unsigned char bytes[8];
        for (unsigned char &byte : bytes) {
            byte = static_cast<unsigned char>(bits & 0xff);
            bits >>= 8;
        }
        return Put(state, bytes, sizeof bytes, inner);
    }
    char line[kNumberLine];
    return Put(state, line, RealLine(line, value), inner);
}

// The longest texts the reader takes back: an ASCII value line of at most
// kLineSize - 1 characters with its newline, a binary text of at most
// kGroupTextSize - 1 characters before its NUL.
constexpr std::size_t kAsciiTextMost = rt::kLineSize - 2;
constexpr std::size_t kBinaryTextMost = kGroupTextSize - 1;

// The characters `text` takes in the form written: in the ASCII form a CR or
// an LF goes out in the caret notation of DXF texts ("^M", "^J"), since a
// value is one line.
std::size_t WrittenLength(const Qdxf_WriteState &state, const char *text) {
    std::size_t length = std::strlen(text);
    if (state.binary) return length;
    for (const char *c = text; *c; ++c)
        length += *c == '\r' || *c == '\n';
    return length;
}

// A text longer than the reader takes back would make a file that cannot be
// read: the write fails instead, before the group's code.
bool RefuseLongText(const Qdxf_WriteState &state, std::size_t length, rt::Report **report) {
    rt::ReportOut out(report);
    std::size_t most = state.binary ? kBinaryTextMost : kAsciiTextMost;
    if (length <= most) return false;
    VX_FAIL(out, nullptr, "Text of %zu characters is more than %s can hold (%zu)", length,
            state.binary ? "a binary group" : "an ASCII line", most);
    return true;
}

// A text whose written length the caller has checked, with its NUL in the
// binary form and its newline in the ASCII form. Every character but CR and
// LF, a caret included, is written as it is, so that texts without them keep
// their spelling.
bool PutText(const Qdxf_WriteState &state, const char *text, rt::Report **inner) {
    if (state.binary) return Put(state, text, std::strlen(text) + 1, inner);
    char line[kAsciiTextMost + 1];
    std::size_t used = 0;
    for (const char *c = text; *c; ++c) {
        if (*c == '\r' || *c == '\n') {
            line[used++] = '^';
            line[used++] = *c == '\r' ? 'M' : 'J';
        } else {
            line[used++] = *c;
        }
    }
    line[used++] = '\n';
    return Put(state, line, used, inner);
}

// QDXF_WRITE_COMPLETE writes texts for programs of DXF R12, whose texts are
// in a code page ($DWGCODEPAGE ANSI_1252): ASCII as it is, every other
// character of a UTF-8 text in the DXF escape \U+XXXX (a character beyond
// U+FFFF as the two escapes of its UTF-16 surrogate pair), and a byte that
// starts no UTF-8 character as it is.

// The character of the UTF-8 sequence at `text`: its length, 0 when the
// bytes are no valid UTF-8 (overlong forms and surrogates included). The
// NUL at the end is no continuation byte, so nothing is read past it.
std::size_t DecodeUtf8(const unsigned char *text, std::uint32_t *character) {
    unsigned char lead = text[0];
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text[1] < low || text[1] > high) return 0;
    std::uint32_t value = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) return 0;
        value = value << 6 | (text[i] & 0x3Fu);
    }
    *character = value;
    return length;
}

// Appends `count` characters to `line` while there is room; counts them all.
void Append(char *line, std::size_t room, std::size_t *used, const char *characters,
            std::size_t count) {
    for (std::size_t i = 0; i < count; ++i, ++*used) {
        if (*used < room) line[*used] = characters[i];
    }
}

void AppendEscape(char *line, std::size_t room, std::size_t *used, std::uint32_t unit) {
    static const char kHex[] = "0123456789ABCDEF";
    const char escape[7] = {'\\',
                            'U',
                            '+',
                            kHex[unit >> 12 & 0xF],
                            kHex[unit >> 8 & 0xF],
                            kHex[unit >> 4 & 0xF],
                            kHex[unit & 0xF]};
    Append(line, room, used, escape, sizeof escape);
}

// `text` as R12 programs read it, in the form written (CR and LF in caret
// notation in the ASCII form), into `line` as far as `room` goes; the length
// of the whole.
std::size_t R12Text(const Qdxf_WriteState &state, const char *text, char *line, std::size_t room) {
    std::size_t used = 0;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    while (*bytes) {
        unsigned char byte = *bytes;
        std::uint32_t character;
        std::size_t length = byte < 0x80 ? 0 : DecodeUtf8(bytes, &character);
        if (length == 0) {
            if (!state.binary && (byte == '\r' || byte == '\n')) {
                Append(line, room, &used, byte == '\r' ? "^M" : "^J", 2);
            } else {
                Append(line, room, &used, reinterpret_cast<const char *>(bytes), 1);
            }
            ++bytes;
            continue;
        }
        if (character < 0x10000) {
            AppendEscape(line, room, &used, character);
        } else {
            character -= 0x10000;
            AppendEscape(line, room, &used, 0xD800 + (character >> 10));
            AppendEscape(line, room, &used, 0xDC00 + (character & 0x3FF));
        }
        bytes += length;
    }
    return used;
}

// The whole group in one write: its code, then the text as R12Text makes it.
bool WriteR12Text(const Qdxf_WriteState &state, int code, const char *text, rt::Report **inner) {
    char group[kNumberLine + std::max(kAsciiTextMost, kBinaryTextMost) + 1];
    char codeLine[kNumberLine];
    std::size_t at = 1;
    if (state.binary) {
        group[0] = static_cast<char>(code & 0xff);
    } else {
        at = IntegerLine(codeLine, code, 3);
        std::memcpy(group, codeLine, at);
    }
    std::size_t room = sizeof group - at - 1;
    std::size_t length = R12Text(state, text, group + at, room);
    if (RefuseLongText(state, length, inner)) return false;
    group[at + length] = state.binary ? '\0' : '\n';
    return Put(state, group, at + length + 1, inner);
}

}  // namespace

void WriteIntGroup(const Qdxf_WriteState &state, int code, rt::Report **report, int value) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    if (PutCode(state, code, &inner) && PutInt(state, value, &inner)) return;
    VX_FAIL(out, inner, "Error writing to %s", state.fileName);
}

void WriteFloatGroup(const Qdxf_WriteState &state, int code, rt::Report **report, double value) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    if (PutCode(state, code, &inner) && PutReal(state, value, &inner)) return;
    VX_FAIL(out, inner, "Error writing to %s", state.fileName);
}

void WriteStringGroup(const Qdxf_WriteState &state, int code, rt::Report **report,
                      const char *text) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    if (state.flags & QDXF_WRITE_COMPLETE) {
        if (WriteR12Text(state, code, text, &inner)) return;
        return VX_FAIL(out, inner, "Error writing to %s", state.fileName);
    }
    if (!RefuseLongText(state, WrittenLength(state, text), &inner) &&
        PutCode(state, code, &inner) && PutText(state, text, &inner)) {
        return;
    }
    VX_FAIL(out, inner, "Error writing to %s", state.fileName);
}

void WritePointGroups(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Coord *point,
                      int base) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    const double values[3] = {point->x, point->y, point->z};
    for (int axis = 0; axis < 3; ++axis) {
        WriteFloatGroup(state, base + 10 * (axis + 1), &inner, values[axis]);
        if (inner) return VX_FAIL(out, inner, "Error writing group");
    }
}

}  // namespace vexlith
