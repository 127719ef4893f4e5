// SPDX-License-Identifier: MIT
// The code page the texts of a complete write go out in. A DXF R12 file
// holds its texts in the one code page its $DWGCODEPAGE names, and programs
// of R12 (and ezdxf) read them by it; a character outside that page goes out
// as the escape \U+XXXX, which they decode in texts but which some refuse
// in a name. So the write looks at every character beyond ASCII among the
// texts and names it writes and picks the page that holds them all
// (ChooseTextPage has the rule); a drawing of ASCII texts is ANSI_1252 and
// costs no more than the look.
#ifndef VEXLITH_WRITE_TEXT_PAGE_H
#define VEXLITH_WRITE_TEXT_PAGE_H

#include <cstddef>
#include <cstdint>

namespace vexlith {

// The characters beyond ASCII that the texts of a write hold, each once: a
// bit for each character of the Basic Multilingual Plane (no code page holds
// one beyond it). Only a text that is valid UTF-8 holds characters (utf8.h);
// any other goes out byte for byte.
class TextCharacters {
public:
    // Takes the characters of `text` (null is none); false when the heap is
    // exhausted.
    bool Add(const char *text);
    bool Has(std::uint32_t character) const {
        return bits_ && character < kCount && (bits_[character / 64] >> (character % 64) & 1);
    }
    std::size_t count() const { return count_; }
    void Release();

    static constexpr std::uint32_t kCount = 0x10000;

private:
    std::uint64_t *bits_ = nullptr;  // taken from the heap at the first character
    std::size_t count_ = 0;
};

// The page chosen for a write: its name for $DWGCODEPAGE and, when the
// texts hold characters beyond ASCII, the code in the page of each of them
// (TextCharacters::kCount entries: 0 none, below 0x100 one byte, else the
// lead byte times 256 and the trail byte).
struct TextPage {
    const char *name = "ANSI_1252";
    std::uint16_t *codes = nullptr;
};

// Picks the page for `characters` (see text_page.cpp); false when the heap
// is exhausted.
bool ChooseTextPage(const TextCharacters &characters, TextPage *page);
void ReleaseTextPage(TextPage &page);

}  // namespace vexlith

#endif
