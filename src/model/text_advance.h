// SPDX-License-Identifier: MIT
// The one estimate of how far a line of text reaches, for the library (the
// wrapping of MTEXT, the layout of formatted text) and the renderer (the
// extents of a text). DXF names fonts but a reader has no glyphs, so the
// advance of a character is estimated from the text height alone: an
// average proportional glyph advances 0.75 heights, a full-width one (CJK
// ideographs, kana, Hangul syllables, the fullwidth forms) one height.
// Header only, on nothing but the standard library, so that the renderer,
// which uses only the public interface, can include it.
#ifndef VEXLITH_MODEL_TEXT_ADVANCE_H
#define VEXLITH_MODEL_TEXT_ADVANCE_H

#include <cstdint>
#include <string_view>

namespace vexlith {

inline constexpr double kAdvancePerHeight = 0.75;
inline constexpr double kFullWidthAdvancePerHeight = 1.0;

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

// The advance of UTF-8 text in text heights. Bytes that do not decode
// count as one proportional character each.
constexpr double TextAdvance(std::string_view utf8) {
    double advance = 0.0;
    std::size_t at = 0;
    while (at < utf8.size()) {
        auto lead = static_cast<unsigned char>(utf8[at]);
        std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::uint32_t c = lead;
        if (length > 1 && at + length <= utf8.size()) {
            c = lead & (0x7F >> length);
            for (std::size_t i = 1; i < length; ++i)
                c = (c << 6) | (static_cast<unsigned char>(utf8[at + i]) & 0x3F);
        } else {
            length = 1;
        }
        advance += IsFullWidth(c) ? kFullWidthAdvancePerHeight : kAdvancePerHeight;
        at += length;
    }
    return advance;
}

}  // namespace vexlith

#endif
