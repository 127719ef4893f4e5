// SPDX-License-Identifier: MIT
// What a drawing keeps when qdxf_Write writes it and qdxf_Read reads it back:
// every member the writer writes, as the form keeps its value, and every
// other member as the reader leaves it when the file has no group for it.
// Shared by the round-trip tests and the round-trip fuzz target, so it needs
// nothing but the library's public records, the standard library and the
// library's own conversion of texts to UTF-8 (for a complete file's code
// page).
//
// How each form keeps a value:
//  - binary: reals and texts unchanged, integers their low 16 bits;
//  - ASCII: reals unchanged (their shortest spelling reads back), integers
//    whole, texts with CR and LF in caret notation ("^M", "^J") and without
//    trailing white space, which the reader strips from every value line.
// Angles go out in degrees and come back in radians, so they compare as the
// two conversions leave them.
#ifndef VEXLITH_TESTS_WRITTEN_MEMBERS_H
#define VEXLITH_TESTS_WRITTEN_MEMBERS_H

#include <string>
#include <vector>

#include "vexlith.h"

namespace testing_support {

// `value` as snprintf formats it in the C locale, whatever locale is set.
std::string FormatReal(const char *format, double value);

// The members in which `readBack`, read from a file that qdxf_Write wrote
// from `written` in the binary form (`binary`) or in ASCII, differs from
// what the form keeps of `written`; each a line "where: member: expected X,
// read Y". Empty when the drawing came back as it should. At most `limit`
// differences are listed.
std::vector<std::string> WrittenMemberDifferences(const Qdxf_Info &written,
                                                  const Qdxf_Info &readBack, bool binary,
                                                  std::size_t limit = 20);

// A file written with QDXF_WRITE_COMPLETE: its $DWGCODEPAGE and the write's flags.
struct CompleteFile {
    std::string codePage;
    unsigned int flags;
};
CompleteFile CompleteFileAt(const std::string &path, unsigned int flags);

// The same for a complete `file`: every member bit for bit, but what the
// complete form documents (README: "vexlith convert"); texts as a reader of
// the file's code page takes them, a cut one as its start.
std::vector<std::string> CompleteMemberDifferences(const Qdxf_Info &written,
                                                   const Qdxf_Info &readBack, bool binary,
                                                   const CompleteFile &file,
                                                   std::size_t limit = 20);

// The reader takes an ASCII value line of at most 498 characters and its
// newline in one piece; a longer line is split, and the rest is read as the
// next line. True when every text the writer writes of `drawing` fits on one
// line that way, so that its ASCII form reads back group for group.
bool TextsFitOnAsciiLines(const Qdxf_Info &drawing);

}  // namespace testing_support

#endif
