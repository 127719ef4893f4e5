// SPDX-License-Identifier: MIT
// The texts of a drawing in UTF-8. DXF files hold texts in the code page of
// the program that wrote them; bytes that are not UTF-8 are taken as
// Windows-1252, the code page of most drawings that are not UTF-8.
#ifndef VEXLITH_RENDER_TEXT_H
#define VEXLITH_RENDER_TEXT_H

#include <string>
#include <string_view>

namespace render {

// The text as the file holds it, in UTF-8: valid UTF-8 kept, every other byte
// taken as Windows-1252. Control characters and escapes are kept as written.
std::string ToUtf8(const char *raw);

// A text value as shown: DXF control codes (%%d, %%p, %%c, %%%, %%nnn),
// \U+XXXX escapes and caret-encoded control characters decoded, bytes that are
// not UTF-8 taken as Windows-1252, control characters dropped.
std::string DecodeText(const char *raw);

// Appends UTF-8 text as a JSON string, every control character as a \u escape
// so that even a terminal shown the JSON raw is not driven by it.
void AppendJsonString(std::string &out, std::string_view utf8);

}  // namespace render

#endif
