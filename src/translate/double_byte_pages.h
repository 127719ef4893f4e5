// SPDX-License-Identifier: MIT
// The double-byte code pages as tables of our own, for the WebAssembly
// build, whose C library has no converters for them
// (make_double_byte_pages.py writes them from glibc's, and describes the
// form: characters and runs of codes in 16-bit words).
#ifndef VEXLITH_TRANSLATE_DOUBLE_BYTE_PAGES_H
#define VEXLITH_TRANSLATE_DOUBLE_BYTE_PAGES_H

#include <cstddef>
#include <iterator>

namespace vexlith::translate {

struct DoubleBytePage {
    int codePage;
    const char16_t *words;
    std::size_t count;
};
extern const DoubleBytePage kDoubleBytePages[];
extern const std::size_t kDoubleBytePageCount;

}  // namespace vexlith::translate

#endif
