// SPDX-License-Identifier: MIT
// The quick path of the group reader: a group decoded straight from the view
// of the file service's buffer, inline, for the readers that take most of a
// drawing's groups. It takes the groups that need no care: the view holds
// them whole with room to spare, an ASCII code is a short run of digits and
// its value line ends within a line read's length, a binary code is tabled
// and its value is not a chunk. Anything else is left to the general reader
// (ReadGroupInFull), which gives the same group, or the report of its
// failure; the quick path consumes nothing when it declines.
// A read that recovers (QDXF_READ_RECOVER) takes its own instance of the
// quick path, which also declines every group the recovering reader would
// list a repair for (recover/forms.h), and so takes a sound file's groups
// as quickly as the plain read.
#ifndef VEXLITH_CODEC_GROUP_DECODE_H
#define VEXLITH_CODEC_GROUP_DECODE_H

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/group.h"
#include "recover/forms.h"

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
// The encoding and kind of any code, tabled or not.
BinaryCode BinaryCodeOf(int code);

// What the general reader does where the quick path declines; it shows
// progress itself.
void ReadGroupInFull(GroupSource &source, rt::Report **report, GroupView *group);

// Progress at `position`, a line number in ASCII, a byte offset in binary:
// inline, as it follows every group read.
inline void ShowGroupProgress(const GroupSource &source, long long position) {
    rt::ShowProgress(source.meter, static_cast<double>(position) * 100.0 /
                                       static_cast<double>(source.progressTotal));
}

// The text [line, line + length) without its trailing white space (leading
// white space is kept).
inline void TrimmedText(GroupView *group, const char *line, std::size_t length) {
    while (length > 0 && IsSpace(line[length - 1]))
        --length;
    group->text = line;
    group->length = length;
}

// The blanks and tabs an ASCII text value just read from `source` lost to
// the trimming: those between its end and the line's end, which the view
// still holds. 0 for a binary value, which keeps them.
inline std::size_t TrimmedBlanks(const GroupSource &source, const GroupView &group) {
    const char *p = group.text + group.length;
    if (source.binary || std::less<>{}(p, source.base) || std::less<>{}(source.cursor, p)) return 0;
    std::size_t count = 0;
    while (p + count < source.cursor && (p[count] == ' ' || p[count] == '\t'))
        ++count;
    return count;
}

// A value line as text, up to a NUL if the line holds one, trimmed.
inline void ViewText(GroupView *group, const char *line, std::size_t length) {
    const void *nul = std::memchr(line, '\0', length);
    if (nul) length = static_cast<std::size_t>(static_cast<const char *>(nul) - line);
    TrimmedText(group, line, length);
}

// What the quick path reads and moves of a source, held apart by a reader's
// loop so that it stays in registers however the reader stores what it reads
// (a store through a char pointer could otherwise change the source, and the
// source would be read again for every group). It is put back into the
// source before anything else reads the source. A source whose position is
// lost gives an empty view, which the quick path declines.
struct QuickCursor {
    const char *cursor;
    const char *end;
    long long lineNumber;
    bool twoByteCodes;

    static QuickCursor Of(const GroupSource &source) {
        return {source.cursor, source.positionLost ? source.cursor : source.end, source.lineNumber,
                source.twoByteCodes != 0};
    }
    void Into(GroupSource &source) const {
        source.cursor = cursor;
        source.lineNumber = lineNumber;
    }
};

namespace quick {

// Room the view must hold beyond the cursor: the longest code line the quick
// path takes (spaces, digits, CR LF), a whole line read (or the longest binary
// text with its code), and the word a scan may read past its end.
constexpr std::size_t kLine = rt::kLineSize - 1;
constexpr std::size_t kRoom = 64 + kLine + 8;

// The scans below look at eight bytes at a time, the first of them in the
// word's lowest byte: the quick path runs on little-endian hosts only.
constexpr bool kWordScans = std::endian::native == std::endian::little;

inline std::uint64_t Word(const char *p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

constexpr std::uint64_t kEachByte = 0x0101010101010101;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

// The high bit of each byte of `word` that is 0, and perhaps of bytes after
// the first of them: the first flagged byte is the first zero byte.
inline std::uint64_t ZeroBytes(std::uint64_t word) {
    return (word - kEachByte) & ~word & kHighBits;
}

// The index of the first flagged byte (flags not 0).
inline int FirstFlagged(std::uint64_t flags) {
    return std::countr_zero(flags) / 8;
}

// The number of decimal digits `word` begins with, 0 to 8. A byte below '0'
// borrows only from the bytes after it, a byte above '9' carries only into
// them, so the first flagged byte is the first that is not a digit.
inline int LeadingDigits(std::uint64_t word) {
    std::uint64_t flags = ((word - '0' * kEachByte) | (word + 0x46 * kEachByte)) & kHighBits;
    return flags ? FirstFlagged(flags) : 8;
}

// The value of the first `count` (1 to 8) digits of `word`: the digits moved
// to the top, behind zeros, and summed pairwise.
inline std::uint64_t DigitsValue(std::uint64_t word, int count) {
    std::uint64_t digits = (word - '0' * kEachByte) << (8 * (8 - count));
    digits = digits * 10 + (digits >> 8);
    constexpr std::uint64_t kPairs = 0x000000FF000000FF;
    return ((digits & kPairs) * (100 + (1000000ULL << 32)) +
            ((digits >> 16) & kPairs) * (1 + (10000ULL << 32))) >>
           32;
}

constexpr std::uint64_t kPowersOfTen[] = {1,      10,      100,      1000,     10000,
                                          100000, 1000000, 10000000, 100000000};

// The digits from `p` on into `value`, at most 24 of them (more than the
// callers take): their count. `value` wraps past 19 digits.
[[gnu::always_inline]] inline int TakeDigits(const char *&p, std::uint64_t &value) {
    int count = 0;
    for (;;) {
        std::uint64_t word = Word(p);
        int digits = LeadingDigits(word);
        if (digits == 0) return count;
        value = value * kPowersOfTen[digits] + DigitsValue(word, digits);
        p += digits;
        count += digits;
        if (digits < 8 || count > 16) return count;
    }
}

// Past the spaces at `p`. After more than 15 the result is still a space,
// which the callers decline.
[[gnu::always_inline]] inline const char *SkipSpaces(const char *p) {
    for (int words = 0; words < 2; ++words, p += 8) {
        // Spaces become zero bytes; every other byte gets its high bit set,
        // with no carry from one byte into the next.
        std::uint64_t word = Word(p) ^ (' ' * kEachByte);
        std::uint64_t others = (((word & ~kHighBits) + ~kHighBits) | word) & kHighBits;
        if (others) return p + FirstFlagged(others);
    }
    return p;
}

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

// A code of one to seven digits after spaces: past its last digit, or null.
// Longer codes are rare, may clamp, and go to the general parser.
[[gnu::always_inline]] inline const char *CodeDigits(const char *p, int *code) {
    p = SkipSpaces(p);
    std::uint64_t word = Word(p);
    int digits = LeadingDigits(word);
    if (digits == 0 || digits == 8) return nullptr;
    *code = static_cast<int>(DigitsValue(word, digits));
    return p + digits;
}

// A code line of such a code: past its end, or null.
inline const char *ShortCode(const char *p, int *code) {
    const char *end = CodeDigits(p, code);
    return end ? LineEnd(end) : nullptr;
}

// An integer of one to seven digits, perhaps after spaces and a minus: past
// its last digit, or null.
[[gnu::always_inline]] inline const char *ShortInteger(const char *p, std::int32_t *integer) {
    p = SkipSpaces(p);
    bool negative = *p == '-';
    p += negative;
    std::uint64_t word = Word(p);
    int digits = LeadingDigits(word);
    if (digits == 0 || digits == 8) return nullptr;
    auto value = static_cast<std::int32_t>(DigitsValue(word, digits));
    *integer = negative ? -value : value;
    return p + digits;
}

// A real in plain decimal notation (digits, perhaps a point and more digits)
// with at most 19 digits whose value, the point taken away, is at most 2^53:
// past its last character, or null. Such a number and the power of ten that
// scales it are exact doubles, so their quotient is the correctly rounded
// value, the very double from_chars gives. Exponents, signs other than one
// minus, and longer digit runs go to the general parser.
[[gnu::always_inline]] inline const char *PlainReal(const char *p, double *real) {
    p = SkipSpaces(p);
    bool negative = *p == '-';
    p += negative;
    std::uint64_t mantissa = 0;
    int digits = TakeDigits(p, mantissa);
    int fraction = 0;
    if (*p == '.') {
        ++p;
        fraction = TakeDigits(p, mantissa);
        digits += fraction;
    }
    if (digits == 0 || digits > 19 || mantissa > (std::uint64_t{1} << 53)) return nullptr;
    double value = static_cast<double>(mantissa) / kExactPowers[fraction];
    *real = negative ? -value : value;
    return p;
}

// The first newline within a line read's length from `p`, or null.
[[gnu::always_inline]] inline const char *Newline(const char *p) {
    for (std::size_t at = 0; at < kLine; at += 8) {
        if (std::uint64_t flags = ZeroBytes(Word(p + at) ^ ('\n' * kEachByte))) {
            std::size_t found = at + static_cast<std::size_t>(FirstFlagged(flags));
            return found < kLine ? p + found : nullptr;
        }
    }
    return nullptr;
}

// A number that ends right where its line does (`newline`, or a CR before
// it): what the quick parsers found is the line's value.
[[gnu::always_inline]] inline bool EndsTheLine(const char *end, const char *newline) {
    return end && (end == newline || (end + 1 == newline && *end == '\r'));
}

// The newlines, and the newlines and NULs (where a text stops), among the 32
// bytes from `p`: bit i stands for p[i]. Found together, for the short lines
// of most groups, so that the ends of a group's two lines are known at once;
// none where the host has no SSE2, and the scans above find them one by one.
struct LineEnds {
    std::uint32_t newlines = 0;
    std::uint32_t stops = 0;
};
[[gnu::always_inline]] inline LineEnds LineEndsAt(const char *p) {
    LineEnds ends;
#if defined(__SSE2__)
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i nul = _mm_setzero_si128();
    __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16));
    auto bits = [](__m128i first, __m128i second) {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(first)) |
               static_cast<std::uint32_t>(_mm_movemask_epi8(second)) << 16;
    };
    ends.newlines = bits(_mm_cmpeq_epi8(low, newline), _mm_cmpeq_epi8(high, newline));
    ends.stops = ends.newlines | bits(_mm_cmpeq_epi8(low, nul), _mm_cmpeq_epi8(high, nul));
#else
    (void)p;
#endif
    return ends;
}

// The first of `mask`'s bits above bit `after`, as a place from `p`, or null.
inline const char *FirstAbove(const char *p, std::uint32_t mask, int after) {
    mask = after >= 31 ? 0 : mask & (~std::uint32_t{0} << (after + 1));
    return mask ? p + std::countr_zero(mask) : nullptr;
}

// The first line end or NUL within a line read's length from `p`, or null.
[[gnu::always_inline]] inline const char *LineEndOrNul(const char *p) {
    for (std::size_t at = 0; at < kLine; at += 8) {
        std::uint64_t word = Word(p + at);
        std::uint64_t flags = ZeroBytes(word) | ZeroBytes(word ^ ('\n' * kEachByte));
        if (flags) {
            std::size_t found = at + static_cast<std::size_t>(FirstFlagged(flags));
            return found < kLine ? p + found : nullptr;
        }
    }
    return nullptr;
}

// The value line at `p` as text (see ViewText): past its end, or null when
// no line end comes within a line read's length.
[[gnu::always_inline]] inline const char *TextLine(const char *p, GroupView *group) {
    const char *end = LineEndOrNul(p);
    if (!end) return nullptr;
    if (*end == '\0') {  // a NUL ends the text, not the line
        const void *newline = std::memchr(end, '\n', kLine - static_cast<std::size_t>(end - p));
        if (!newline) return nullptr;
        TrimmedText(group, p, static_cast<std::size_t>(end - p));
        return static_cast<const char *>(newline) + 1;
    }
    TrimmedText(group, p, static_cast<std::size_t>(end - p));
    return end + 1;
}

// Past the line at `p`, or null (as TextLine).
inline const char *SkipLine(const char *p) {
    const void *newline = std::memchr(p, '\n', kLine);
    return newline ? static_cast<const char *>(newline) + 1 : nullptr;
}

// For a recovering read, a text must be whole where it stands: no CR alone
// in it, a 0 group's name as written, and a code line after it (else the
// line after it may be the rest of the text). Room for that line is asked
// for. A few words' look, inline: most groups with a text are sound.
[[gnu::always_inline]] inline bool TextIsWhole(const QuickCursor &at, const GroupView *group,
                                               const char *next) {
    const char *text = group->text;
    std::size_t length = group->length;
    for (std::size_t word = 0; word < length; word += 8) {
        if (std::uint64_t flags = ZeroBytes(Word(text + word) ^ ('\r' * kEachByte))) {
            if (word + static_cast<std::size_t>(FirstFlagged(flags)) < length) return false;
            break;
        }
    }
    if (group->code == 0 && !recover::IsTagAsWritten(text, length)) return false;
    if (static_cast<std::size_t>(at.end - next) < kLine + 8) return false;
    const char *code = SkipSpaces(next);
    int digits = LeadingDigits(Word(code));
    return digits > 0 && digits < 8 && LineEnd(code + digits);
}

template <bool recovering = false>
[[gnu::always_inline]] inline bool AsciiGroup(QuickCursor &at, GroupView *group) {
    if constexpr (!kWordScans) return false;
    const char *p = at.cursor;
    if (static_cast<std::size_t>(at.end - p) < kRoom) return false;
    // Each line's end is found first, apart from its number: the next group
    // need not wait for the digits to be converted. The ends of both lines
    // come from one look at the bytes where it reaches them.
    const char *codeEnd = nullptr, *valueEnd = nullptr, *textEnd = nullptr;
    if (LineEnds ends = LineEndsAt(p); ends.newlines) {
        int first = std::countr_zero(ends.newlines);
        codeEnd = p + first;
        valueEnd = FirstAbove(p, ends.newlines, first);
        textEnd = FirstAbove(p, ends.stops, first);
    }
    int code = 0;
    if (!codeEnd && !(codeEnd = Newline(p))) return false;
    if (!EndsTheLine(CodeDigits(p, &code), codeEnd)) return false;
    if (code == 999) return false;  // comments are dropped by the general reader
    p = codeEnd + 1;
    Qdxf_ValueKind kind = kGroupKinds[static_cast<std::size_t>(code < 1000 ? code : code % 1000)];
    group->code = code;
    group->kind = kind;
    const char *next = nullptr;
    switch (kind) {
        case QDXF_VALUE_REAL:
            if (!valueEnd && !(valueEnd = Newline(p))) return false;
            next = valueEnd + 1;
            if (!EndsTheLine(PlainReal(p, &group->real), valueEnd)) {
                if constexpr (recovering) {
                    if (!recover::IsWholeReal(p, valueEnd)) return false;
                }
                group->real = ParseReal(p, next);
                if constexpr (recovering) {
                    // Beyond the range of a double: listed by the reader.
                    if (group->real - group->real != 0) return false;
                }
            }
            break;
        case QDXF_VALUE_INT:
            if (!valueEnd && !(valueEnd = Newline(p))) return false;
            next = valueEnd + 1;
            if (!EndsTheLine(ShortInteger(p, &group->integer), valueEnd)) {
                if constexpr (recovering) {
                    if (!recover::IsWholeInteger(p, valueEnd)) return false;
                }
                group->integer = ParseInteger(p, next);
            }
            break;
        case QDXF_VALUE_TEXT:
            if (textEnd && *textEnd == '\n') {
                TrimmedText(group, p, static_cast<std::size_t>(textEnd - p));
                next = textEnd + 1;
            } else {
                next = TextLine(p, group);  // long, or a NUL ends the text
            }
            if constexpr (recovering) {
                if (next && !TextIsWhole(at, group, next)) return false;
            }
            break;
        case QDXF_VALUE_NONE:
            next = valueEnd ? valueEnd + 1 : SkipLine(p);
            if constexpr (recovering) {
                // A CR alone ends a line: the reader tells them apart.
                if (next) {
                    const char *lineEnd = next - 1;
                    if (lineEnd > p && lineEnd[-1] == '\r') --lineEnd;
                    if (std::memchr(p, '\r', static_cast<std::size_t>(lineEnd - p))) return false;
                }
            }
            break;
    }
    if (!next) return false;
    at.cursor = next;
    at.lineNumber += 2;
    return true;
}

template <typename T>
T LittleEndianAt(const char *p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// The first NUL within a group text's size from `p`, or null.
[[gnu::always_inline]] inline const char *TextEnd(const char *p) {
    for (std::size_t at = 0; at < kGroupTextSize; at += 8) {
        if (std::uint64_t flags = ZeroBytes(Word(p + at))) {
            std::size_t found = at + static_cast<std::size_t>(FirstFlagged(flags));
            return found < kGroupTextSize ? p + found : nullptr;
        }
    }
    return nullptr;
}

// With `recovering`, a code the binary form defines no value for and a 0
// group whose name is not one are declined: the bytes may be out of step.
template <bool twoByteCodes, bool recovering = false>
[[gnu::always_inline]] inline bool BinaryGroupWith(QuickCursor &at, GroupView *group) {
    if constexpr (!kWordScans) return false;
    const char *p = at.cursor;
    if (static_cast<std::size_t>(at.end - p) < kRoom) return false;
    int code;
    if (twoByteCodes) {
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
    if constexpr (recovering) {
        if (binary.encoding == BinaryValue::None && code != 999) return false;
    }
    group->code = code;
    group->kind = binary.kind;
    // The commonest encodings first, tested in turn: a jump table costs more.
    // A value is stored whatever its kind; the readers look only at the
    // member the kind names.
    BinaryValue encoding = binary.encoding;
    if (encoding == BinaryValue::Real) {
        group->real = LittleEndianAt<double>(p);
        p += 8;
    } else if (encoding == BinaryValue::Text) {
        const char *nul = TextEnd(p);
        if (!nul) return false;  // too long: the general reader fails it
        group->text = p;
        group->length = static_cast<std::size_t>(nul - p);
        if constexpr (recovering) {
            if (code == 0 && !recover::IsBinaryTag(p, group->length)) return false;
        }
        p += group->length + 1;
    } else if (encoding == BinaryValue::Int16) {
        group->integer = LittleEndianAt<std::int16_t>(p);
        p += 2;
    } else if (encoding == BinaryValue::Int32) {
        group->integer = LittleEndianAt<std::int32_t>(p);
        p += 4;
    } else if (encoding == BinaryValue::Byte) {
        group->integer = static_cast<signed char>(*p);
        p += 1;
    } else if (encoding != BinaryValue::None) {
        return false;  // a chunk, or a 64-bit integer the general reader clamps
    }
    at.cursor = p;
    return true;
}

[[gnu::always_inline]] inline bool BinaryGroup(QuickCursor &at, GroupView *group) {
    return at.twoByteCodes ? BinaryGroupWith<true>(at, group) : BinaryGroupWith<false>(at, group);
}

}  // namespace quick

// NextGroup for a source that recovers (recover/group_recovery.cpp).
void ReadRecoveringGroup(GroupSource &source, rt::Report **report, GroupView *group);

// The next group of `source`, as ReadGroup gives it: decoded in place when
// the quick path takes it, else by the general reader. The plain read's:
// a source that recovers reads through ReadRecoveringGroup.
[[gnu::always_inline]] inline void NextGroup(GroupSource &source, rt::Report **report,
                                             GroupView *group) {
    QuickCursor at = QuickCursor::Of(source);
    if (source.binary ? quick::BinaryGroup(at, group) : quick::AsciiGroup(at, group)) {
        const char *start = source.cursor;
        at.Into(source);
        *report = nullptr;
        if (source.meter) {
            ShowGroupProgress(source, source.binary ? source.viewStart + (start - source.base)
                                                    : source.lineNumber);
        }
        return;
    }
    ReadGroupInFull(source, report, group);
}

// The form of a source, for a reader with a loop for each; a read that
// recovers has loops of its own. RecoveringAny is no source's form: the loop
// of a reader that recovers in any form, each group read out of line (for
// the rarer readers, which need not be as quick).
enum class Form {
    Ascii,
    BinaryOneByteCodes,
    BinaryTwoByteCodes,
    RecoveringAscii,
    RecoveringBinaryOneByteCodes,
    RecoveringBinaryTwoByteCodes,
    RecoveringAny,
};
constexpr std::size_t kForms = 6;
inline Form FormOf(const GroupSource &source) {
    int form = !source.binary ? 0 : source.twoByteCodes ? 2 : 1;
    return static_cast<Form>(source.recovery ? form + 3 : form);
}
constexpr bool IsBinary(Form form) {
    return form != Form::Ascii && form != Form::RecoveringAscii && form != Form::RecoveringAny;
}
constexpr bool IsRecovering(Form form) {
    return form >= Form::RecoveringAscii;
}

// The quick path for a reader that knows the form of its source and holds
// its cursor apart: false where the general reader must take the group.
template <Form form>
[[gnu::always_inline]] inline bool QuickGroup(QuickCursor &at, GroupView *group) {
    if constexpr (form == Form::RecoveringAny) return false;
    constexpr bool recovering = IsRecovering(form);
    if constexpr (!IsBinary(form)) return quick::AsciiGroup<recovering>(at, group);
    constexpr bool twoByteCodes =
        form == Form::BinaryTwoByteCodes || form == Form::RecoveringBinaryTwoByteCodes;
    return quick::BinaryGroupWith<twoByteCodes, recovering>(at, group);
}

// Progress after a group the quick path took from `start`, `lineNumber` the
// line after it. (The cursor's members are passed, not the cursor, whose
// address would keep it out of registers.)
template <Form form, bool binary = IsBinary(form)>
inline void ShowQuickProgress(const GroupSource &source, long long lineNumber, const char *start) {
    ShowGroupProgress(source, binary ? source.viewStart + (start - source.base) : lineNumber);
}

// The place of the group the quick path took from `start`, `lineNumber` the
// line after it.
template <Form form, bool binary = IsBinary(form)>
inline GroupMark QuickGroupMark(const GroupSource &source, long long lineNumber,
                                const char *start) {
    return {source.viewStart + (start - source.base), binary ? lineNumber : lineNumber - 2};
}

}  // namespace vexlith

#endif
