// SPDX-License-Identifier: MIT
// One DXF group (a code and its value) as the readers see it, the rule from
// code to value kind, and the group reader for both encodings.
#ifndef VEXLITH_CODEC_GROUP_H
#define VEXLITH_CODEC_GROUP_H

#include <cstdint>

#include "runtime/toolkit.h"

namespace vexlith {

struct Qdxf_ReadState;

enum Qdxf_ValueKind : int {
    QDXF_VALUE_NONE = 0,
    QDXF_VALUE_INT = 1,
    QDXF_VALUE_REAL = 2,
    QDXF_VALUE_TEXT = 3,
};

// Texts are held in the record: at most 499 characters and a NUL.
constexpr int kGroupTextSize = 500;

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

// The value kind of a code, by the remainder of code / 1000.
Qdxf_ValueKind GetGroupKind(int code);

// A new zero-filled group, or null when the heap is exhausted.
Qdxf_Group *NewGroup();
// Releases every group of a group list.
void FreeGroupList(Qdxf_Group *list);

// True for a code-0 group with the given text, such as (0, "ENDSEC").
bool IsTag(const Qdxf_Group &group, const char *text);

// Read the next group of the read in progress into `group`; failure only
// through the report, after which the group's members are undefined.
void ReadAsciiGroup(rt::Report **report, rt::File *file, Qdxf_Group *group);
void ReadBinaryGroup(rt::Report **report, rt::File *file, Qdxf_Group *group);
void ReadGroup(rt::Report **report, rt::File *file, Qdxf_Group *group);
// ReadGroup, failing unless the group's code is `expectedCode`.
void ReadKnownGroup(rt::Report **report, rt::File *file, Qdxf_Group *group, int expectedCode);
// The same, but a code-0 group with the text `acceptedTag` is taken instead of
// the expected code: then it returns true, without a report.
bool ReadKnownGroup(rt::Report **report, rt::File *file, Qdxf_Group *group, int expectedCode,
                    const char *acceptedTag);

// The same, for callers on the per-group path that hold the thread's read
// state already (finding it costs a thread-local lookup per call).
void ReadAsciiGroup(Qdxf_ReadState &state, rt::Report **report, rt::File *file, Qdxf_Group *group);
void ReadBinaryGroup(Qdxf_ReadState &state, rt::Report **report, rt::File *file, Qdxf_Group *group);
void ReadGroup(Qdxf_ReadState &state, rt::Report **report, rt::File *file, Qdxf_Group *group);
bool ReadKnownGroup(Qdxf_ReadState &state, rt::Report **report, rt::File *file, Qdxf_Group *group,
                    int expectedCode, const char *acceptedTag);

// The place of a group in the file, taken just before it is read, so that a
// reader that has read a group it does not own can give it back. The line
// number travels with the byte position: comment groups skipped on the way
// make any fixed correction wrong.
struct GroupMark {
    rt::Position position;
    int lineNumber;
};
GroupMark MarkGroup(rt::File *file);
// From the file's current position on, groups are read through a window of
// the file (when its size is known). False when the heap is exhausted.
bool OpenGroupWindow(Qdxf_ReadState &state);
GroupMark MarkGroup(const Qdxf_ReadState &state, rt::File *file);
// Returns to `mark`: the next read yields the same group again.
void PushBackGroup(rt::File *file, const GroupMark &mark);
void PushBackGroup(Qdxf_ReadState &state, rt::File *file, const GroupMark &mark);

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

}  // namespace vexlith

#endif
