// SPDX-License-Identifier: MIT
// MTEXT content as plain text.
#include "translate/mtext.h"

#include <cstring>

namespace vexlith::translate {
namespace {

// Format codes of one letter, without an argument: \L \l \O \o \K \k
// (underline, overline, strike-through on and off), \X (dimension text
// break), \P (a new paragraph) and \N (a new column).
bool IsLetterCode(char c) {
    return c != '\0' && std::strchr("LlOoKkXPN", c) != nullptr;
}

}  // namespace

bool AppendPlainText(std::string_view content, rt::Scratch<char> &out) {
    const char *at = content.data();
    const char *end = at + content.size();
    auto put = [&](char c) { return out.Append(c); };
    while (at < end) {
        char c = *at++;
        if (c == '{' || c == '}' || c == '\r') continue;
        if (c == '^' && at < end) {
            // Caret notation: ^J a line break, ^I a tab, "^ " a caret.
            char next = *at;
            if (next == 'J' || next == 'I' || next == ' ' || next == 'M') {
                ++at;
                if (next == 'M') continue;
                if (!put(next == 'J' ? '\n' : next == 'I' ? '\t' : '^')) return false;
                continue;
            }
        }
        if (c != '\\' || at == end) {
            if (!put(c)) return false;
            continue;
        }
        char code = *at++;
        if (code == '\\' || code == '{' || code == '}') {
            if (!put(code)) return false;
        } else if (code == '~') {
            if (!put(' ')) return false;
        } else if (IsLetterCode(code)) {
            if (code == 'P' && !put('\n')) return false;
            if (code == 'N' && !put(' ')) return false;
        } else if (code == 'U' || code == 'M') {
            // A character escape: kept whole for the conversion.
            if (!put('\\') || !put(code)) return false;
        } else {
            // A code with an argument up to ';': dropped, but a stacked
            // fraction's argument is text. Without its ';' the code is text.
            const char *semicolon =
                static_cast<const char *>(std::memchr(at, ';', static_cast<std::size_t>(end - at)));
            if (!semicolon) {
                if (!put('\\') || !put(code)) return false;
                continue;
            }
            if (code == 'S') {
                for (const char *s = at; s < semicolon; ++s) {
                    if (!put(*s)) return false;
                }
            }
            at = semicolon + 1;
        }
    }
    return true;
}

}  // namespace vexlith::translate
