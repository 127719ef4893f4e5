// SPDX-License-Identifier: MIT
// UTF-8 as the writer takes a text: a text that is valid UTF-8 throughout is
// characters, any other holds the bytes of some code page (a drawing read
// without QDXF_READ_UTF8 keeps its file's own bytes), as the reader with
// QDXF_READ_UTF8 tells them apart.
#ifndef VEXLITH_CODEC_UTF8_H
#define VEXLITH_CODEC_UTF8_H

#include <cstddef>
#include <cstdint>

namespace vexlith {

// The character of the UTF-8 sequence at `text`, a byte of 0x80 or above:
// its length, 0 when the bytes are no valid UTF-8 (overlong forms and
// surrogates included). The NUL at the end of a text is no continuation
// byte, so nothing is read past it.
inline std::size_t DecodeUtf8(const unsigned char *text, std::uint32_t *character) {
    unsigned char lead = text[0];
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text[1] < low || text[1] > high) return 0;
    std::uint32_t value = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) return 0;
        value = value << 6 | (text[i] & 0x3Fu);
    }
    *character = value;
    return length;
}

// Whether the NUL-terminated `text` is valid UTF-8 throughout.
inline bool IsUtf8(const unsigned char *text) {
    std::uint32_t character;
    while (*text) {
        if (*text < 0x80) {
            ++text;
        } else if (std::size_t length = DecodeUtf8(text, &character)) {
            text += length;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace vexlith

#endif
