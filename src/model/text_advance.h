// SPDX-License-Identifier: MIT
// The one estimate of how far a line of text reaches, for the library (the
// wrapping of MTEXT, the layout of formatted text) and the renderer (the
// extents of a text). DXF names fonts but a reader has no glyphs, so the
// advance of a character is estimated from the text height alone: an
// average proportional glyph advances 0.75 heights, a full-width one (CJK
// ideographs, kana, Hangul syllables, the fullwidth forms) one height, the
// square cell of a CAD program's big fonts.
// Header only, on nothing but the standard library, so that the renderer,
// which uses only the public interface, can include it.
#ifndef VEXLITH_MODEL_TEXT_ADVANCE_H
#define VEXLITH_MODEL_TEXT_ADVANCE_H

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vexlith {

inline constexpr double kAdvancePerHeight = 0.75;
inline constexpr double kFullWidthAdvancePerHeight = 1.0;
// How far below the baseline a text's descenders reach, in text heights:
// where a TEXT justified to its bottom rests.
inline constexpr double kDescentPerHeight = 0.3;

// Characters a CJK font sets on a square body.
constexpr bool IsFullWidth(std::uint32_t c) {
    return (c >= 0x1100 && c <= 0x115F) ||  // Hangul leading jamo
           (c >= 0x2E80 && c <= 0x303E) ||  // CJK radicals, punctuation
           (c >= 0x3041 && c <= 0x33FF) ||  // kana, CJK symbols
           (c >= 0x3400 && c <= 0x4DBF) ||  // CJK extension A
           (c >= 0x4E00 && c <= 0x9FFF) ||  // CJK unified ideographs
           (c >= 0xA000 && c <= 0xA4CF) ||  // Yi
           (c >= 0xAC00 && c <= 0xD7A3) ||  // Hangul syllables
           (c >= 0xF900 && c <= 0xFAFF) ||  // CJK compatibility ideographs
           (c >= 0xFE30 && c <= 0xFE4F) ||  // CJK compatibility forms
           (c >= 0xFF00 && c <= 0xFF60) ||  // fullwidth forms
           (c >= 0xFFE0 && c <= 0xFFE6) ||  // fullwidth signs
           (c >= 0x20000 && c <= 0x3FFFD);  // supplementary ideographs
}

// One character of a text: its bytes and its advance in text heights.
struct TextCharacter {
    std::size_t length;
    double advance;
};

constexpr int HexDigit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
}

// The character at `at` (before the end) of a text in UTF-8 or as a TEXT
// holds it: a \U+XXXX escape is its character, a \M+NXXXX escape a
// double-byte (full-width) one, %%d %%p %%c %%% and %%nnn one character,
// the toggles %%u %%o %%k none. A byte that does not begin valid UTF-8 is
// one proportional character.
constexpr TextCharacter CharacterAt(std::string_view text, std::size_t at) {
    std::size_t left = text.size() - at;
    const char *p = text.data() + at;
    auto advanceOf = [](std::uint32_t c) {
        return IsFullWidth(c) ? kFullWidthAdvancePerHeight : kAdvancePerHeight;
    };
    if (p[0] == '\\' && left >= 7 && (p[1] == 'U' || p[1] == 'u') && p[2] == '+') {
        std::uint32_t c = 0;
        bool hex = true;
        for (int i = 3; i < 7; ++i) {
            int digit = HexDigit(p[i]);
            hex = hex && digit >= 0;
            c = c << 4 | static_cast<std::uint32_t>(digit < 0 ? 0 : digit);
        }
        if (hex) return {7, advanceOf(c)};
    }
    if (p[0] == '\\' && left >= 8 && (p[1] == 'M' || p[1] == 'm') && p[2] == '+' && p[3] >= '1' &&
        p[3] <= '5' && HexDigit(p[4]) >= 0 && HexDigit(p[5]) >= 0 && HexDigit(p[6]) >= 0 &&
        HexDigit(p[7]) >= 0)
        return {8, kFullWidthAdvancePerHeight};
    if (p[0] == '%' && left >= 3 && p[1] == '%') {
        char code = static_cast<char>(p[2] | 0x20);
        if (code == 'u' || code == 'o' || code == 'k') return {3, 0.0};
        if (code == 'd' || code == 'p' || code == 'c' || p[2] == '%') return {3, kAdvancePerHeight};
        if (left >= 5 && p[2] >= '0' && p[2] <= '9' && p[3] >= '0' && p[3] <= '9' && p[4] >= '0' &&
            p[4] <= '9')
            return {5, kAdvancePerHeight};
    }
    auto lead = static_cast<unsigned char>(p[0]);
    std::size_t length = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 1;
    if (length == 1 || length > left) return {1, kAdvancePerHeight};
    std::uint32_t c = lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        auto next = static_cast<unsigned char>(p[i]);
        if ((next & 0xC0) != 0x80) return {1, kAdvancePerHeight};
        c = (c << 6) | (next & 0x3Fu);
    }
    return {length, advanceOf(c)};
}

// The advance of a text in text heights (see CharacterAt).
constexpr double TextAdvance(std::string_view text) {
    double advance = 0.0;
    for (std::size_t at = 0; at < text.size();) {
        TextCharacter character = CharacterAt(text, at);
        advance += character.advance;
        at += character.length;
    }
    return advance;
}

}  // namespace vexlith

#endif
