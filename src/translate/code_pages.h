// SPDX-License-Identifier: MIT
// The code pages a drawing's texts can be in besides UTF-8, each known by its
// Windows code page number. Single-byte pages are tables of our own: 128
// characters each, the same on every platform and looked up without a call.
// The five double-byte pages of the East Asian releases (932, 936, 949, 950,
// 1361) carry tens of thousands of characters each; those the platform
// converter decodes (glibc's iconv, Windows' MultiByteToWideChar), which
// carries the same vendors' tables.
#ifndef VEXLITH_TRANSLATE_CODE_PAGES_H
#define VEXLITH_TRANSLATE_CODE_PAGES_H

#include <cstddef>
#include <iterator>

namespace vexlith::translate {

inline constexpr char32_t kReplacement = 0xFFFD;
inline constexpr int kUtf8CodePage = 65001;

struct SingleBytePage {
    int codePage;
    char16_t high[128];  // the characters of bytes 0x80 to 0xFF; kReplacement: none
};
extern const SingleBytePage kSingleBytePages[];
extern const std::size_t kSingleBytePageCount;

// The characters of bytes 0x80 to 0xFF of a single-byte page; null for any
// other page.
const char16_t *SingleByteTable(int codePage);

// The double-byte pages: which bytes begin a two-byte character and which
// may follow one. A byte of 0x80 or above that begins none stands alone.
bool IsDoubleBytePage(int codePage);
bool IsLeadByte(int codePage, unsigned char byte);
bool IsTrailByte(int codePage, unsigned char byte);
// The character of a byte of 0x80 or above standing alone in a double-byte
// page (932's half-width katakana, 936's euro sign); 0 when it has none.
char32_t SingleByteOfDoubleBytePage(int codePage, unsigned char byte);

// The platform's converters of the double-byte pages, each opened at its
// first use and kept until Release (or the end of its owner): one set per read
// or write, in its own state, so that no thread keeps anything and a thread
// that ends leaves nothing behind. MultiByteToWideChar keeps no state; glibc's
// converters do, and opening one costs a hundred times more than a character.
class DoubleByteConverters {
public:
    DoubleByteConverters() = default;
    DoubleByteConverters(const DoubleByteConverters &) = delete;
    DoubleByteConverters &operator=(const DoubleByteConverters &) = delete;
    ~DoubleByteConverters() { Release(); }

    // Sets *character to the character of a lead and a trail byte of a
    // double-byte page; 0 when the page defines none there (or the platform
    // lacks the page). A code of a user-defined area, which only the
    // drawing's own fonts give a meaning (Windows maps it into the Private
    // Use Area, glibc refuses it), has none either, so that both platforms
    // agree. False when the page's converter could not be opened for want of
    // memory or handles: nothing is remembered, the next call tries again.
    bool Decode(int codePage, unsigned char lead, unsigned char trail, char32_t *character);
    void Release();

private:
#if !defined(_WIN32) && !defined(__wasi__)  // Windows converts outright; WebAssembly has tables
    static constexpr int kPageCount = 5;
    void *converters_[kPageCount] = {};  // glibc's iconv_t; null until opened
    bool missing_[kPageCount] = {};      // the platform has no converter for the page
#endif
};

}  // namespace vexlith::translate

#endif
