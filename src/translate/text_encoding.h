// SPDX-License-Identifier: MIT
// The texts of a drawing in UTF-8: the code page a drawing's texts are in
// (before AC1021 its $DWGCODEPAGE, from AC1021 on UTF-8), and each text
// converted, with the \U+XXXX and \M+NXXXX escapes decoded.
#ifndef VEXLITH_TRANSLATE_TEXT_ENCODING_H
#define VEXLITH_TRANSLATE_TEXT_ENCODING_H

#include <cstddef>

#include "vexlith.h"

namespace vexlith::translate {

// The encoding of a drawing's texts. Zero-filled it is the encoding of a
// drawing without a HEADER (ANSI_1252).
struct TextEncoding {
    int codePage;  // an identifier of the code page, 0: ANSI_1252
    bool utf8;     // AC1021 and later: the file is UTF-8
};

// From $ACADVER and $DWGCODEPAGE (either may be null). Unknown names give
// ANSI_1252.
TextEncoding EncodingOf(const char *acadver, const char *dwgcodepage);

// `length` bytes of `text` as a new NUL-terminated UTF-8 text on the toolkit
// heap; null when the heap is exhausted. A text that is valid multi-byte
// UTF-8 is taken as UTF-8 whatever the code page (mislabelled files).
char *Utf8Copy(const TextEncoding &encoding, const char *text, std::size_t length);
// A text member in UTF-8: replaced by a new block when it changes, untouched
// (and no heap call made) when it is plain ASCII without escapes. False when
// the heap is exhausted, the member unchanged.
bool ToUtf8(const TextEncoding &encoding, char **member);

}  // namespace vexlith::translate

#endif
