// SPDX-License-Identifier: MIT
// Placeholders until the text translations are written.
#include <cstring>

#include "runtime/toolkit.h"
#include "translate/text_encoding.h"

namespace vexlith::translate {

TextEncoding EncodingOf(const char *, const char *) {
    return {};
}
char *Utf8Copy(const TextEncoding &, const char *text, std::size_t length) {
    char *copy = rt::NewArray<char>(length + 1);
    if (copy) std::memcpy(copy, text, length);
    return copy;
}
bool ToUtf8(const TextEncoding &, char **) {
    return true;
}

}  // namespace vexlith::translate
