// SPDX-License-Identifier: MIT
// One DXF group (a code and its value) as the readers see it, the rule from
// code to value kind, and the group reader for both encodings.
#ifndef VEXLITH_CODEC_GROUP_H
#define VEXLITH_CODEC_GROUP_H

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/toolkit.h"

namespace vexlith {

namespace recover {
class Recovery;
}

enum Qdxf_ValueKind : int {
    QDXF_VALUE_NONE = 0,
    QDXF_VALUE_INT = 1,
    QDXF_VALUE_REAL = 2,
    QDXF_VALUE_TEXT = 3,
};

// Texts are held in the record: at most 499 characters and a NUL.
constexpr int kGroupTextSize = 500;

// What begins a binary DXF file: "AutoCAD Binary DXF", CR, LF, SUB and a NUL.
constexpr char kBinarySentinel[] = "AutoCAD Binary DXF\r\n\x1a";
constexpr std::size_t kBinarySentinelSize = sizeof kBinarySentinel;
static_assert(kBinarySentinelSize == 22);

struct Qdxf_Group {
    Qdxf_Group *next;
    Qdxf_Group *prev;
    std::int32_t code;
    Qdxf_ValueKind kind;
    // Only the member selected by `kind` is written by a read; a group of
    // kind none keeps whatever value it held.
    union {
        std::int32_t integer;
        double real;
        char text[kGroupTextSize];
    } value;
};

// A group decoded in place: its number converted, its text left where it
// lies in the read's buffer (not NUL-terminated), valid until the next read
// from the same source. Readers that keep the text copy it once, to where it
// is kept.
struct GroupView {
    std::int32_t code;
    Qdxf_ValueKind kind;
    std::int32_t integer;
    double real;
    const char *text;
    std::size_t length;
};

// The value kind of a code, by the remainder of code / 1000.
Qdxf_ValueKind GetGroupKind(int code);

// A new zero-filled group, or null when the heap is exhausted.
Qdxf_Group *NewGroup();
// Releases every group of a group list.
void FreeGroupList(Qdxf_Group *list);

// True for a code-0 group with the given text, such as (0, "ENDSEC").
bool IsTag(const Qdxf_Group &group, const char *text);
// The same for a group seen in place.
template <std::size_t N>
bool IsTag(const GroupView &group, const char (&text)[N]) {
    return group.code == 0 && group.kind == QDXF_VALUE_TEXT && group.length == N - 1 &&
           std::memcmp(group.text, text, N - 1) == 0;
}

// Where the groups of one read come from, and what the group reader needs to
// read them: the read's own, kept on the stack of qdxf_Read and handed down,
// so that reads on different threads, or one read started from the meter
// callback of another, never meet.
struct GroupSource {
    rt::File *file;
    const char *fileName;    // the caller's text, valid during the read
    const rt::Meter *meter;  // null: no progress is shown
    int binary;
    int twoByteCodes;
    long long progressTotal;  // lines (ASCII) or bytes (binary) at 100 %
    long long lineNumber;     // the next ASCII line to be read, from 1
    bool positionLost;        // a push back could not return; nothing more can be read
    bool laterKinds;          // the general reader gives codes the kinds of LaterGroupKind
    // QDXF_READ_RECOVER: where the group reader takes what it cannot read
    // plainly (recover/recovery.h); null for the plain read.
    recover::Recovery *recovery;
    // The bytes groups are read from: a view of the file service's buffer,
    // [base, end), the next byte at `cursor`; `base` is at file offset
    // `viewStart`.
    const char *base;
    const char *cursor;
    const char *end;
    rt::Position viewStart;
    // The hexadecimal text of the last binary chunk read.
    char chunkText[kGroupTextSize];
};

// Groups are read from the file's current position on.
void OpenGroupSource(GroupSource &source);

// Makes `need` bytes available after the cursor, or all the file has left;
// the bytes before the cursor may move. False when the file fails.
bool RefillView(GroupSource &source, std::size_t need, rt::Report **failure);

// The kind of a code in the DXF versions after R12 where the kind rule gives
// it none (210 to 239 reals, 280 to 289 integers, 300 to 369 texts, ...): the
// kind of the value the binary encoding holds for it. QDXF_VALUE_NONE where
// the encoding defines no value either.
Qdxf_ValueKind LaterGroupKind(int code);

// Read the next group of `source` into `group`; failure only through the
// report, after which the group's value is undefined (its code and kind are
// those of the group that failed, as far as they were read). ReadGroup into a
// view takes the quick path of codec/group_decode.h where it can.
void ReadAsciiGroup(GroupSource &source, rt::Report **report, GroupView *group);
void ReadBinaryGroup(GroupSource &source, rt::Report **report, GroupView *group);
void ReadGroup(GroupSource &source, rt::Report **report, GroupView *group);
// The same, the text copied into the record.
void ReadGroup(GroupSource &source, rt::Report **report, Qdxf_Group *group);
// ReadGroup, failing unless the group's code is `expectedCode`.
void ReadKnownGroup(GroupSource &source, rt::Report **report, Qdxf_Group *group, int expectedCode);
void ReadKnownGroup(GroupSource &source, rt::Report **report, GroupView *group, int expectedCode);
// The same, but a code-0 group with the text `acceptedTag` is taken instead of
// the expected code: then it returns true, without a report.
bool ReadKnownGroup(GroupSource &source, rt::Report **report, Qdxf_Group *group, int expectedCode,
                    const char *acceptedTag);

// The place of a group in the file, taken just before it is read, so that a
// reader that has read a group it does not own can give it back. The line
// number travels with the byte position: comment groups skipped on the way
// make any fixed correction wrong.
struct GroupMark {
    rt::Position position;
    long long lineNumber;
};

// The position of the next group: where the group reader is in the file.
inline rt::Position GroupPosition(const GroupSource &source) {
    return source.viewStart + (source.cursor - source.base);
}

// The place of the next group.
inline GroupMark MarkGroup(const GroupSource &source) {
    return {GroupPosition(source), source.lineNumber};
}
// Returns to `mark`: the next read yields the same group again.
void PushBackGroup(GroupSource &source, const GroupMark &mark);

// The group at `mark`, just read as a group of kind none, read again with the
// kind LaterGroupKind gives its code (for the translations of the read
// options, which need the values of codes R12 does not have).
void ReadGroupWithLaterKind(GroupSource &source, const GroupMark &mark, rt::Report **report,
                            GroupView *group);

// Where the last group read lies, as messages name it: "Line N" (its value
// line) in ASCII, "Byte offset N" (the next group) in binary.
struct PlaceText {
    char text[40];
};
PlaceText LastGroupPlace(const GroupSource &source);

// The white space and digits of the ASCII form, as in the C locale.
inline bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value conversions of the ASCII form: leading white space skipped, an
// optional sign, then digits (and for reals a fraction and an exponent); what
// does not parse gives 0. Integers beyond the int range clamp to it. The
// decimal point is always '.', whatever the locale.
// [text, end) is the buffer that holds the NUL-terminated text: the
// conversions stop at the first character that cannot continue the number,
// the NUL at the latest, so no pass over the text is needed to find its end.
int ParseInteger(const char *text, const char *end);
double ParseReal(const char *text, const char *end);
int ParseInteger(const char *text);
double ParseReal(const char *text);
// A real at p, as std::from_chars reads one (no leading blanks, no
// hexadecimal), on every platform: WebAssembly's C++ library has no
// floating from_chars.
std::from_chars_result ReadReal(const char *p, const char *end, double &value);

}  // namespace vexlith

#endif
