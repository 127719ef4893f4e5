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
#include "codec/utf8.h"

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

std::size_t TextMost(const Qdxf_WriteState &state) {
    return state.binary ? kBinaryTextMost : kAsciiTextMost;
}
const char *FormHolding(const Qdxf_WriteState &state) {
    return state.binary ? "a binary group" : "an ASCII line";
}

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
    std::size_t most = TextMost(state);
    if (length <= most) return false;
    VX_FAIL(out, nullptr, "Text of %zu characters is more than %s can hold (%zu)", length,
            FormHolding(state), most);
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

// A text's value as written, made of units that are never split (a
// character, its code in the code page, an escape, a caret pair): the units
// up to `most` bytes go into `line`, the first that would pass it and every
// one after it are only counted.
class TextValue {
public:
    TextValue(char *line, std::size_t most) : line_(line), most_(most) {}
    void Unit(const char *bytes, std::size_t count) {
        if (!cut_ && length_ + count > most_) {
            cut_ = true;
            kept_ = length_;
        }
        if (!cut_) std::memcpy(line_ + length_, bytes, count);
        length_ += count;
    }
    // One byte as it is, CR and LF in caret notation in the ASCII form.
    void Byte(const Qdxf_WriteState &state, char byte) {
        if (!state.binary && (byte == '\r' || byte == '\n')) {
            Unit(byte == '\r' ? "^M" : "^J", 2);
        } else {
            Unit(&byte, 1);
        }
    }
    std::size_t length() const { return length_; }
    std::size_t kept() const { return cut_ ? kept_ : length_; }
    bool cut() const { return cut_; }

private:
    char *line_;
    std::size_t most_;
    std::size_t length_ = 0, kept_ = 0;
    bool cut_ = false;
};

// `text` for qdxf_Write's form: as it is, CR and LF in caret notation in
// ASCII; a UTF-8 sequence is one unit.
void PlainText(const Qdxf_WriteState &state, const char *text, TextValue &value) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    std::uint32_t character;
    while (*bytes) {
        std::size_t length = *bytes < 0x80 ? 0 : DecodeUtf8(bytes, &character);
        if (length == 0) {
            value.Byte(state, static_cast<char>(*bytes++));
        } else {
            value.Unit(reinterpret_cast<const char *>(bytes), length);
            bytes += length;
        }
    }
}

// The escape \U+XXXX of each UTF-16 unit of `character`, as one unit.
void Escape(std::uint32_t character, TextValue &value) {
    static const char kHex[] = "0123456789ABCDEF";
    std::uint32_t units[2] = {character, 0};
    std::size_t count = 1;
    if (character >= 0x10000) {
        character -= 0x10000;
        units[0] = 0xD800 + (character >> 10);
        units[1] = 0xDC00 + (character & 0x3FF);
        count = 2;
    }
    char escapes[14];
    for (std::size_t i = 0; i < count; ++i) {
        char *escape = escapes + 7 * i;
        escape[0] = '\\';
        escape[1] = 'U';
        escape[2] = '+';
        for (int digit = 0; digit < 4; ++digit)
            escape[3 + digit] = kHex[units[i] >> (12 - 4 * digit) & 0xF];
    }
    value.Unit(escapes, 7 * count);
}

// QDXF_WRITE_COMPLETE writes texts for programs of DXF R12, whose texts are
// in the code page $DWGCODEPAGE names. A text that is valid UTF-8 goes out
// as characters: ASCII as it is, every other character as its code in the
// page (`usePage`) or as the DXF escape \U+XXXX (a character beyond U+FFFF
// as the two escapes of its UTF-16 surrogate pair). Any other text holds
// the bytes of a code page of its own (read without QDXF_READ_UTF8) and
// goes out byte for byte. Returns whether a code of the page was written.
bool R12Text(const Qdxf_WriteState &state, const char *text, bool usePage, TextValue &value) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    const std::uint16_t *codes = usePage ? state.pageCodes : nullptr;
    bool checked = false, characters = false, paged = false;
    while (*bytes) {
        if (*bytes < 0x80) {
            value.Byte(state, static_cast<char>(*bytes++));
            continue;
        }
        if (!checked) {
            characters = IsUtf8(bytes);  // what came before is ASCII
            checked = true;
        }
        if (!characters) {
            value.Unit(reinterpret_cast<const char *>(bytes++), 1);
            continue;
        }
        std::uint32_t character = 0;
        bytes += DecodeUtf8(bytes, &character);
        unsigned code = codes && character < 0x10000 ? codes[character] : 0;
        if (code == 0) {
            Escape(character, value);
            continue;
        }
        const char page[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        if (code > 0xFF) {
            value.Unit(page, 2);
        } else {
            value.Unit(page + 1, 1);
        }
        paged = true;
    }
    return paged;
}

// A text longer than the form holds: refused (false), or with
// QDXF_WRITE_FIT_TEXTS kept to the units that fit, with a log message that
// names it by its first characters.
bool FitText(const Qdxf_WriteState &state, const char *text, const TextValue &value,
             rt::Report **inner) {
    if (!value.cut()) return true;
    if (!(state.flags & QDXF_WRITE_FIT_TEXTS)) return !RefuseLongText(state, value.length(), inner);
    constexpr std::size_t kShown = 40;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    std::size_t shown = 0;
    std::uint32_t character;
    while (bytes[shown]) {
        std::size_t length = bytes[shown] < 0x80 ? 1 : DecodeUtf8(bytes + shown, &character);
        length = length ? length : 1;
        if (shown + length > kShown) break;
        shown += length;
    }
    VX_LOG_MESSAGE(inner, "Text of %zu characters cut to %zu, as much as %s can hold: \"%.*s%s\"",
                   value.length(), value.kept(), FormHolding(state), static_cast<int>(shown), text,
                   bytes[shown] ? "..." : "");
    return !*inner;
}

// A byte that every form writes as it is: ASCII but NUL, CR and LF.
bool IsPlainByte(char byte) {
    auto value = static_cast<unsigned char>(byte);
    return value - 1u < 0x7Fu && value != '\r' && value != '\n';
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
    char *line = group + at;
    const std::size_t most = TextMost(state);
    // Most texts are ASCII without CR or LF, and short: as they are.
    std::size_t kept = 0;
    while (kept <= most && IsPlainByte(text[kept]))
        ++kept;
    if (text[kept] || kept > most) {
        TextValue value(line, most);
        if (R12Text(state, text, true, value)) {
            // A text of the page's codes that is valid UTF-8 as well would
            // be taken for UTF-8 by a reader of QDXF_READ_UTF8: it goes out
            // in escapes instead.
            line[value.kept()] = '\0';
            if (IsUtf8(reinterpret_cast<const unsigned char *>(line))) {
                value = TextValue(line, most);
                R12Text(state, text, false, value);
            }
        }
        if (!FitText(state, text, value, inner)) return false;
        kept = value.kept();
    } else {
        std::memcpy(line, text, kept);
    }
    line[kept] = state.binary ? '\0' : '\n';
    return Put(state, group, at + kept + 1, inner);
}

// qdxf_Write's form of a text too long for it, cut as FitText keeps it.
bool WriteFittedText(const Qdxf_WriteState &state, int code, const char *text, rt::Report **inner) {
    char line[std::max(kAsciiTextMost, kBinaryTextMost) + 1];
    TextValue value(line, TextMost(state));
    PlainText(state, text, value);
    if (!FitText(state, text, value, inner)) return false;
    line[value.kept()] = state.binary ? '\0' : '\n';
    return PutCode(state, code, inner) && Put(state, line, value.kept() + 1, inner);
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
    std::size_t length = WrittenLength(state, text);
    if (length > TextMost(state) && (state.flags & QDXF_WRITE_FIT_TEXTS)) {
        if (WriteFittedText(state, code, text, &inner)) return;
    } else if (!RefuseLongText(state, length, &inner) && PutCode(state, code, &inner) &&
               PutText(state, text, &inner)) {
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
