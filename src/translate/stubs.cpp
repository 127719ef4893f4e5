// SPDX-License-Identifier: MIT
// Placeholders until the hatch and text translations are written.
#include <cstring>

#include "runtime/toolkit.h"
#include "translate/hatch.h"
#include "translate/text_encoding.h"

namespace vexlith::translate {

namespace {
constexpr const char *kNotYet = "not translated yet";
}

Outcome TranslateHatch(Groups, double, HatchShapes &, const char **why) {
    *why = kNotYet;
    return Outcome::Invalid;
}
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
