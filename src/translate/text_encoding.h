// SPDX-License-Identifier: MIT
// The texts of a drawing in UTF-8: the code page a drawing's texts are in
// (before AC1021 its $DWGCODEPAGE, from AC1021 on UTF-8), and each text
// converted, with the \U+XXXX and \M+NXXXX escapes decoded.
//
// What a text becomes:
//  - a valid \U+XXXX escape (four hexadecimal digits; a surrogate pair as two
//    escapes) its character, a valid \M+NXXXX escape (N 1 to 5: code pages
//    932, 950, 949, 1361, 936; XXXX the character's bytes, lead byte first,
//    or 00 and one byte) its character; any other escape stays as written;
//  - a text that is valid UTF-8 stays UTF-8, whatever the code page says
//    (files that hold UTF-8 under an ANSI_1252 header are common);
//  - otherwise each byte, or each pair of a double-byte page, its character
//    in the code page, and a byte or pair the code page (or, in a UTF-8 file,
//    UTF-8) defines nothing for becomes U+FFFD; a second byte that is ASCII
//    then stands for itself. Every converted text is valid UTF-8.
// The conversion depends on nothing but the encoding and the bytes: no
// locale, no state shared between threads, the same result on every
// platform. Convert a text whole: a piece may end inside a character.
#ifndef VEXLITH_TRANSLATE_TEXT_ENCODING_H
#define VEXLITH_TRANSLATE_TEXT_ENCODING_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "translate/code_pages.h"
#include "vexlith.h"

namespace vexlith::translate {

// The encoding of a drawing's texts. Zero-filled it is the encoding of a
// drawing without a HEADER (ANSI_1252).
struct TextEncoding {
    // The Windows number of the code page the texts are in: 874, 932, 936,
    // 949, 950, 1250 to 1258, 1361; the DOS pages 437, 850, 852, 855, 857,
    // 860, 861, 863, 864, 865, 866, 869; 10000 (Mac Roman); 28591 to 28599
    // (ISO 8859-1 to -9); 65001 (UTF-8). 0: ANSI_1252.
    int codePage;
    bool utf8;  // AC1021 and later: the file is UTF-8
    // The converters its texts and escapes have needed so far, for the read
    // that owns it.
    mutable DoubleByteConverters converters{};
};

// The code page a $DWGCODEPAGE value names, in any case: ANSI_n, DOSn and CPn
// for the pages above, and the names iso8859-1 to -9, mac-roman, big5 (950),
// gb2312 (936), ksc5601 (949), johab (1361), ascii (ANSI_1252) and utf-8.
// Null and unknown names give 0, ANSI_1252.
int CodePageOf(const char *dwgcodepage);
// $ACADVER names AC1021 or a later release, whose files are UTF-8.
bool IsUtf8Release(const char *acadver);
// From $ACADVER and $DWGCODEPAGE (either may be null). Unknown names give
// ANSI_1252.
TextEncoding EncodingOf(const char *acadver, const char *dwgcodepage);

// `length` bytes of `text` as a new NUL-terminated UTF-8 text on the toolkit
// heap; null when the heap is exhausted (or a code page's converter could
// not be opened, for the same want). A text that is valid multi-byte
// UTF-8 is taken as UTF-8 whatever the code page (mislabelled files).
char *Utf8Copy(const TextEncoding &encoding, const char *text, std::size_t length);
// A text member in UTF-8: replaced by a new block when it changes, untouched
// (and no heap call made) when it is plain ASCII without escapes. False when
// the heap is exhausted, the member unchanged.
bool ToUtf8(const TextEncoding &encoding, char **member);
// What tells whether texts may need converting, for the reader's hot path,
// where most texts are short ASCII names: the heap blocks of the texts are
// looked at eight bytes at a time, those after a text's end included, for a
// byte beyond ASCII or a backslash. A yes only costs a closer look.
class ConversionSieve {
public:
    // A block of `size` bytes, a multiple of 8, all of them readable.
    void Add(const char *block, std::size_t size) {
        for (std::size_t at = 0; at < size; at += 8) {
            std::uint64_t word;
            std::memcpy(&word, block + at, 8);
            std::uint64_t backslashes = word ^ (0x5C * kOnes);  // a zero byte for each backslash
            found_ |= word | ((backslashes - kOnes) & ~backslashes);
        }
    }
    bool MayNeedConverting() const { return found_ & (0x80 * kOnes); }

private:
    static constexpr std::uint64_t kOnes = 0x0101010101010101u;
    std::uint64_t found_ = 0;
};
// The texts of an entity of the ten kinds, or of an unknown kind (its common
// members), in UTF-8: handle, line type and layer names, a TEXT's text and
// style, an INSERT's block name. False when the heap is exhausted; the texts
// not converted by then stay as they were.
bool EntityTextsToUtf8(const TextEncoding &encoding, Qdxf_Entity &entity);

}  // namespace vexlith::translate

#endif
