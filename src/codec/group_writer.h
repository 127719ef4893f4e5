// SPDX-License-Identifier: MIT
// The group writer: one DXF group at a time into the file of the write in
// progress, in the ASCII or the binary form, and the state of that write.
#ifndef VEXLITH_CODEC_GROUP_WRITER_H
#define VEXLITH_CODEC_GROUP_WRITER_H

#include <cstdint>

#include "runtime/toolkit.h"
#include "vexlith.h"

namespace vexlith {

struct WritePlan;

// One write: set by qdxf_Write on its own stack before the first group and
// handed to every group written during it.
struct Qdxf_WriteState {
    char *fileName;      // heap copy of the output file's name, used only in messages
    rt::File *file;      // the open output file
    int binary;          // non-zero: binary form; zero: ASCII form
    unsigned int flags;  // QDXF_WRITE_... (0 for qdxf_Write)
    // With options: what the write worked out before its first group
    // (write/write_plan.h); null for qdxf_Write.
    const WritePlan *plan;
    // QDXF_WRITE_COMPLETE: the code in the file's code page of each
    // character of the Basic Multilingual Plane (write/text_page.h); null
    // when the texts are ASCII.
    const std::uint16_t *pageCodes;
};

// One group each, into the file of `state`. The caller picks the operation
// that fits the value kind of the code; the code is not checked against it.
// Failure only through the report ("Error writing to %s"); a code already
// written stays in the file and no value follows it.
void WriteIntGroup(const Qdxf_WriteState &state, int code, rt::Report **report, int value);
void WriteFloatGroup(const Qdxf_WriteState &state, int code, rt::Report **report, double value);
// `text` must not be null. In the ASCII form its CR and LF characters go out
// in caret notation ("^M", "^J"), since a value is one line. With
// QDXF_WRITE_COMPLETE a UTF-8 text is written for programs of DXF R12: every
// character outside ASCII as its code in the file's code page (`pageCodes`),
// or as the escape \U+XXXX where the page has none. A text the reader could
// not take back (ASCII: more than 498 characters, a CR or LF counting as
// two; binary: more than 499) fails the group before its code is written,
// the inner report saying "Text of N characters is more than ... can hold";
// with QDXF_WRITE_FIT_TEXTS it is cut to what the form holds instead, at a
// character (never inside a UTF-8 sequence, a code of the page, an escape
// or a caret pair), and a log message names it.
void WriteStringGroup(const Qdxf_WriteState &state, int code, rt::Report **report,
                      const char *text);
// The three real groups of a point: x under base + 10, y under base + 20 and
// z under base + 30. Groups written before a failure stay in the file.
void WritePointGroups(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Coord *point,
                      int base);

}  // namespace vexlith

#endif
