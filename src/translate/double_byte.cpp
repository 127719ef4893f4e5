// SPDX-License-Identifier: MIT
// The double-byte code pages: their byte layout here, their characters from
// the platform's converter. Both converters are told the code page outright,
// so neither depends on the process's locale, and each decoder is used by one
// conversion only, so reads on several threads never share one.
#include "translate/code_pages.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace vexlith::translate {
namespace {

bool Within(unsigned char byte, unsigned char low, unsigned char high) {
    return byte >= low && byte <= high;
}

// A character the two platforms agree on: not a user-defined code, which
// Windows maps into the Private Use Area, nor anything a text cannot hold.
char32_t Agreed(char32_t character) {
    if (character == 0 || (character >= 0xE000 && character <= 0xF8FF)) return 0;
    if ((character >= 0xD800 && character <= 0xDFFF) || character > 0x10FFFF) return 0;
    return character;
}

#if !defined(_WIN32)
const char *IconvName(int codePage) {
    switch (codePage) {
        case 932:
            return "CP932";
        case 936:
            return "CP936";
        case 949:
            return "CP949";
        case 950:
            return "CP950";
        default:
            return "JOHAB";
    }
}
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

DoubleByteDecoder::~DoubleByteDecoder() = default;

char32_t DoubleByteDecoder::Decode(unsigned char lead, unsigned char trail) {
    const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    wchar_t wide[2];
    int count =
        MultiByteToWideChar(static_cast<UINT>(codePage_), MB_ERR_INVALID_CHARS, bytes, 2, wide, 2);
    return count == 1 ? Agreed(wide[0]) : 0;
}

#else

DoubleByteDecoder::~DoubleByteDecoder() {
    if (converter_) iconv_close(static_cast<iconv_t>(converter_));
}

char32_t DoubleByteDecoder::Decode(unsigned char lead, unsigned char trail) {
    if (!opened_) {
        opened_ = true;
        iconv_t converter = iconv_open("UTF-32LE", IconvName(codePage_));
        if (converter != reinterpret_cast<iconv_t>(-1)) converter_ = converter;
    }
    // Without the page's converter (a C library that lacks it) the page's
    // characters cannot be told: none is defined.
    if (!converter_) return 0;
    char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    unsigned char utf32[8];
    char *in = bytes;
    auto *out = reinterpret_cast<char *>(utf32);
    std::size_t inLeft = sizeof bytes, outLeft = sizeof utf32;
    std::size_t done = iconv(static_cast<iconv_t>(converter_), &in, &inLeft, &out, &outLeft);
    if (done == static_cast<std::size_t>(-1) || inLeft != 0 || outLeft != sizeof utf32 - 4) {
        // Back to the initial state for the next character (the pages are
        // stateless, but a failed call may leave input half taken).
        iconv(static_cast<iconv_t>(converter_), nullptr, nullptr, nullptr, nullptr);
        return 0;
    }
    return Agreed(char32_t{utf32[0]} | char32_t{utf32[1]} << 8 | char32_t{utf32[2]} << 16 |
                  char32_t{utf32[3]} << 24);
}

#endif

}  // namespace vexlith::translate
