// SPDX-License-Identifier: MIT
// The page is chosen by the pages' own decoders, the reader's: a page holds a
// character when one of its codes decodes to it, and the lowest such code is
// the one written. Each code written thus reads back as the character it was
// written for, by this library, by ezdxf and by Windows programs, and the
// choice is the same on every platform.
#include "write/text_page.h"

#include <cstring>
#include <iterator>

#include "codec/utf8.h"
#include "runtime/toolkit.h"
#include "translate/code_pages.h"

namespace vexlith {
namespace {

struct WrittenPage {
    int codePage;
    const char *name;
};

// The pages a write chooses from, in the order it prefers them: the Western
// page every R12 program reads, the other single-byte pages of Windows, and
// the double-byte pages of Japanese, Simplified Chinese, Korean and
// Traditional Chinese.
constexpr WrittenPage kWrittenPages[] = {
    {1252, "ANSI_1252"}, {1250, "ANSI_1250"}, {1251, "ANSI_1251"}, {1253, "ANSI_1253"},
    {1254, "ANSI_1254"}, {1255, "ANSI_1255"}, {1256, "ANSI_1256"}, {1257, "ANSI_1257"},
    {1258, "ANSI_1258"}, {874, "ANSI_874"},   {932, "ANSI_932"},   {936, "ANSI_936"},
    {949, "ANSI_949"},   {950, "ANSI_950"},
};

// Gives every character of `characters` that `codePage` holds its lowest
// code in `codes` (all 0 before) and sets *held to how many it holds. False
// when the page's converter could not be opened for want of memory.
bool HeldCodes(int codePage, const TextCharacters &characters,
               translate::DoubleByteConverters &converters, std::uint16_t *codes,
               std::size_t *held) {
    *held = 0;
    auto hold = [&](std::uint32_t character, unsigned code) {
        if (!characters.Has(character) || codes[character]) return;
        codes[character] = static_cast<std::uint16_t>(code);
        ++*held;
    };
    if (const char16_t *high = translate::SingleByteTable(codePage)) {
        for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
            if (high[byte - 0x80] != translate::kReplacement) hold(high[byte - 0x80], byte);
        }
        return true;
    }
    for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
        auto lead = static_cast<unsigned char>(byte);
        if (std::uint32_t character = translate::SingleByteOfDoubleBytePage(codePage, lead)) {
            hold(character, byte);
        }
    }
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        if (!translate::IsLeadByte(codePage, static_cast<unsigned char>(lead))) continue;
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            auto second = static_cast<unsigned char>(trail);
            if (!translate::IsTrailByte(codePage, second)) continue;
            char32_t character = 0;
            if (!converters.Decode(codePage, static_cast<unsigned char>(lead), second, &character))
                return false;
            if (character) hold(character, lead << 8 | trail);
        }
    }
    return true;
}

}  // namespace

bool TextCharacters::Add(const char *text) {
    if (!text) return true;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    while (*bytes && *bytes < 0x80)
        ++bytes;
    if (!*bytes || !IsUtf8(bytes)) return true;
    if (!bits_ && !(bits_ = rt::NewArray<std::uint64_t>(kCount / 64))) return false;
    while (*bytes) {
        std::uint32_t character = *bytes;
        bytes += character < 0x80 ? 1 : DecodeUtf8(bytes, &character);
        if (character < 0x80 || character >= kCount) continue;
        std::uint64_t &word = bits_[character / 64], bit = std::uint64_t{1} << (character % 64);
        count_ += (word & bit) == 0;
        word |= bit;
    }
    return true;
}

void TextCharacters::Release() {
    rt::Free(bits_);
    bits_ = nullptr;
    count_ = 0;
}

// The rule: ANSI_1252 when the texts are ASCII; else the first page of
// kWrittenPages that holds every character beyond ASCII of them; else, for
// texts in scripts that no one page holds, the page that leaves the fewest
// of those characters outside (the first of them in the table), whose
// characters go out as its codes and the others as \U+XXXX.
bool ChooseTextPage(const TextCharacters &characters, TextPage *page) {
    *page = TextPage{};
    if (characters.count() == 0) return true;
    rt::Owned<std::uint16_t> codes(rt::NewArray<std::uint16_t>(TextCharacters::kCount));
    if (!codes) return false;
    const std::size_t size = TextCharacters::kCount * sizeof(std::uint16_t);
    translate::DoubleByteConverters converters;
    std::size_t best = 0, fewestOutside = characters.count() + 1, filled = 0, held = 0;
    for (std::size_t index = 0; index < std::size(kWrittenPages) && fewestOutside > 0; ++index) {
        if (index > 0) std::memset(codes.get(), 0, size);
        if (!HeldCodes(kWrittenPages[index].codePage, characters, converters, codes.get(), &held))
            return false;
        std::size_t outside = characters.count() - held;
        filled = index;
        if (outside < fewestOutside) {
            best = index;
            fewestOutside = outside;
        }
    }
    if (filled != best) {
        std::memset(codes.get(), 0, size);
        if (!HeldCodes(kWrittenPages[best].codePage, characters, converters, codes.get(), &held))
            return false;
    }
    page->name = kWrittenPages[best].name;
    page->codes = codes.release();
    return true;
}

void ReleaseTextPage(TextPage &page) {
    rt::Free(page.codes);
    page = TextPage{};
}

}  // namespace vexlith
