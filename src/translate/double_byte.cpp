// SPDX-License-Identifier: MIT
// The double-byte code pages: their byte layout here, their characters from
// the platform's converter. Both converters are told the code page outright,
// so neither depends on the process's locale.
#include "translate/code_pages.h"

#include <cerrno>
#include <iterator>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#elif !defined(__wasi__)
#include <iconv.h>
#endif

namespace vexlith::translate {
namespace {

bool Within(unsigned char byte, unsigned char low, unsigned char high) {
    return byte >= low && byte <= high;
}

// A character the two platforms agree on: not a user-defined code, which
// Windows maps into the Private Use Area, nor anything a text cannot hold.
[[maybe_unused]] char32_t Agreed(char32_t character) {
    if (character == 0 || (character >= 0xE000 && character <= 0xF8FF)) return 0;
    if ((character >= 0xD800 && character <= 0xDFFF) || character > 0x10FFFF) return 0;
    return character;
}

#if !defined(_WIN32) && !defined(__wasi__)
constexpr int kPages[] = {932, 936, 949, 950, 1361};
constexpr const char *kIconvNames[] = {"CP932", "CP936", "CP949", "CP950", "JOHAB"};
const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
#endif

}  // namespace

bool IsDoubleBytePage(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
           codePage == 1361;
}

bool IsLeadByte(int codePage, unsigned char byte) {
    switch (codePage) {
        case 932:
            return Within(byte, 0x81, 0x9F) || Within(byte, 0xE0, 0xFC);
        case 1361:
            return Within(byte, 0x84, 0xD3) || Within(byte, 0xD8, 0xDE) || Within(byte, 0xE0, 0xF9);
        default:
            return Within(byte, 0x81, 0xFE);
    }
}

bool IsTrailByte(int codePage, unsigned char byte) {
    switch (codePage) {
        case 932:
            return Within(byte, 0x40, 0x7E) || Within(byte, 0x80, 0xFC);
        case 936:
            return Within(byte, 0x40, 0x7E) || Within(byte, 0x80, 0xFE);
        case 949:
            return Within(byte, 0x41, 0x5A) || Within(byte, 0x61, 0x7A) || Within(byte, 0x81, 0xFE);
        case 950:
            return Within(byte, 0x40, 0x7E) || Within(byte, 0xA1, 0xFE);
        default:
            return Within(byte, 0x31, 0x7E) || Within(byte, 0x81, 0xFE);
    }
}

char32_t SingleByteOfDoubleBytePage(int codePage, unsigned char byte) {
    if (codePage == 932 && Within(byte, 0xA1, 0xDF)) return 0xFF61 + (byte - 0xA1u);
    if (codePage == 936 && byte == 0x80) return 0x20AC;
    return 0;
}

#if defined(_WIN32)

bool DoubleByteConverters::Decode(int codePage, unsigned char lead, unsigned char trail,
                                  char32_t *character) {
    const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    wchar_t wide[2];
    int count =
        MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, bytes, 2, wide, 2);
    *character = count == 1 ? Agreed(wide[0]) : 0;
    return true;
}

void DoubleByteConverters::Release() {}

#elif !defined(__wasi__)  // WebAssembly has tables of its own: double_byte_tables.cpp

bool DoubleByteConverters::Decode(int codePage, unsigned char lead, unsigned char trail,
                                  char32_t *character) {
    *character = 0;
    static_assert(std::size(kPages) == kPageCount);
    std::size_t page = 0;
    while (page < std::size(kPages) && kPages[page] != codePage)
        ++page;
    if (page == std::size(kPages) || missing_[page]) return true;
    if (!converters_[page]) {
        iconv_t opened = iconv_open("UTF-32LE", kIconvNames[page]);
        if (opened == kNone) {
            // Only a page the C library lacks is remembered; memory or
            // handles may be there at the next call.
            missing_[page] = errno == EINVAL;
            return missing_[page];
        }
        converters_[page] = opened;
    }
    auto converter = static_cast<iconv_t>(converters_[page]);
    char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    unsigned char utf32[8];
    char *in = bytes;
    auto *out = reinterpret_cast<char *>(utf32);
    std::size_t inLeft = sizeof bytes, outLeft = sizeof utf32;
    std::size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
    if (done == static_cast<std::size_t>(-1) || inLeft != 0 || outLeft != sizeof utf32 - 4) {
        // Back to the initial state for the next character (the pages are
        // stateless, but a failed call may leave input half taken).
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        return true;
    }
    *character = Agreed(char32_t{utf32[0]} | char32_t{utf32[1]} << 8 | char32_t{utf32[2]} << 16 |
                        char32_t{utf32[3]} << 24);
    return true;
}

void DoubleByteConverters::Release() {
    for (void *&converter : converters_) {
        if (converter) iconv_close(static_cast<iconv_t>(converter));
        converter = nullptr;
    }
}

#endif

}  // namespace vexlith::translate
