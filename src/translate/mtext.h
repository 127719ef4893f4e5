// SPDX-License-Identifier: MIT
// The plain text of an MTEXT's content.
#ifndef VEXLITH_TRANSLATE_MTEXT_H
#define VEXLITH_TRANSLATE_MTEXT_H

#include <string_view>

#include "runtime/scratch.h"

namespace vexlith::translate {

// Appends the plain text of MTEXT content to `out`, its lines separated by
// '\n': braces and format codes removed (\A1; \C3; \fArial|b1; \H2x; \L ...),
// \P and ^J a line break, \N (a new column) a space, \~ a space, \\ \{ \} the
// character itself, a stacked fraction (\S1/2;) as its characters (1/2). The
// character escapes \U+XXXX and \M+NXXXX are kept for the UTF-8 conversion,
// %%d and the like for the TEXT that takes them. False when the heap is
// exhausted.
bool AppendPlainText(std::string_view content, rt::Scratch<char> &out);

}  // namespace vexlith::translate

#endif
