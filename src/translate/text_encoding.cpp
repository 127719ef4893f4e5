// SPDX-License-Identifier: MIT
// Texts in UTF-8. A text is walked once, character by character: a valid
// \U+XXXX or \M+NXXXX escape becomes its character, an ASCII byte stays, and
// every other byte is read as UTF-8 (a file of AC1021 or later, or a text
// that is valid UTF-8 whatever its header says) or in the file's code page.
// A byte that begins no character there becomes U+FFFD, so that every text
// that leaves here is valid UTF-8.
//
// No character grows to more than three times the bytes it was read from
// (an escape of 7 or 8 bytes gives at most 3, a surrogate pair of 14 gives
// 4), so one buffer of three times the text holds any result.
#include "translate/text_encoding.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "runtime/toolkit.h"
#include "translate/code_pages.h"

namespace vexlith::translate {

const char16_t *SingleByteTable(int codePage) {
    if (codePage == 0) codePage = 1252;
    for (std::size_t page = 0; page < kSingleBytePageCount; ++page) {
        if (kSingleBytePages[page].codePage == codePage) return kSingleBytePages[page].high;
    }
    return nullptr;
}

namespace {

// ---------------------------------------------------------------------------
// Code page names
// ---------------------------------------------------------------------------

struct NamedPage {
    std::string_view name;
    int codePage;
};

// The names $DWGCODEPAGE takes besides "ANSI_n", "DOSn" and "CPn".
constexpr NamedPage kNamedPages[] = {
    {"ascii", 0},
    {"iso8859-1", 28591},
    {"iso8859-2", 28592},
    {"iso8859-3", 28593},
    {"iso8859-4", 28594},
    {"iso8859-5", 28595},
    {"iso8859-6", 28596},
    {"iso8859-7", 28597},
    {"iso8859-8", 28598},
    {"iso8859-9", 28599},
    {"mac-roman", 10000},
    {"big5", 950},
    {"ksc5601", 949},
    {"johab", 1361},
    {"gb2312", 936},
    {"utf-8", kUtf8CodePage},
    {"utf8", kUtf8CodePage},
};

constexpr std::string_view kNumberPrefixes[] = {"ansi_", "dos", "cp"};

bool IsKnownPage(int codePage) {
    return SingleByteTable(codePage) || IsDoubleBytePage(codePage);
}

// The name in lower case without surrounding blanks, in `buffer`; empty when
// it is longer than any name of a code page.
std::string_view Normalised(const char *name, char (&buffer)[16]) {
    std::string_view text(name);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    if (text.size() > sizeof buffer) return {};
    std::size_t length = 0;
    for (char c : text)
        buffer[length++] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return {buffer, length};
}

// ---------------------------------------------------------------------------
// UTF-8
// ---------------------------------------------------------------------------

// The length of the valid UTF-8 sequence at `text` (shortest form, no
// surrogate, at most U+10FFFF), or 0.
std::size_t Utf8SequenceAt(const unsigned char *text, std::size_t available) {
    unsigned char first = text[0];
    if (first < 0x80) return 1;
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        if (first == 0xE0) low = 0xA0;
        if (first == 0xED) high = 0x9F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        if (first == 0xF0) low = 0x90;
        if (first == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (available < length || text[1] < low || text[1] > high) return 0;
    for (std::size_t at = 2; at < length; ++at) {
        if ((text[at] & 0xC0) != 0x80) return 0;
    }
    return length;
}

bool IsValidUtf8(const unsigned char *text, std::size_t length) {
    for (std::size_t at = 0; at < length;) {
        std::size_t sequence = Utf8SequenceAt(text + at, length - at);
        if (!sequence) return false;
        at += sequence;
    }
    return true;
}

// The bytes written into a buffer the caller sized for the whole result.
class Utf8Out {
public:
    explicit Utf8Out(char *at) : at_(at) {}
    void Put(char32_t c) {
        if (c < 0x80) {
            Byte(c);
        } else if (c < 0x800) {
            Byte(0xC0 | c >> 6);
            Byte(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            Byte(0xE0 | c >> 12);
            Byte(0x80 | (c >> 6 & 0x3F));
            Byte(0x80 | (c & 0x3F));
        } else {
            Byte(0xF0 | c >> 18);
            Byte(0x80 | (c >> 12 & 0x3F));
            Byte(0x80 | (c >> 6 & 0x3F));
            Byte(0x80 | (c & 0x3F));
        }
    }
    void Copy(const char *bytes, std::size_t count) {
        std::memcpy(at_, bytes, count);
        at_ += count;
    }
    char *at() const { return at_; }

private:
    void Byte(char32_t value) { *at_++ = static_cast<char>(value); }
    char *at_;
};

// ---------------------------------------------------------------------------
// Escapes
// ---------------------------------------------------------------------------

// The value of four hexadecimal digits at `text`, or -1.
long Hex4(const char *text, std::size_t available) {
    if (available < 4) return -1;
    unsigned value = 0;
    auto [end, error] = std::from_chars(text, text + 4, value, 16);
    return error == std::errc() && end == text + 4 ? static_cast<long>(value) : -1;
}

// The double-byte pages \M+N names: 1 Japanese, 2 Traditional Chinese,
// 3 Korean (Wansung), 4 Korean (Johab), 5 Simplified Chinese.
// The pairs of double-byte pages one conversion decodes, through its
// encoding's converters; `failed` once a converter could not be opened.
struct Pairs {
    DoubleByteConverters &converters;
    bool failed = false;
    char32_t Decode(int codePage, unsigned char lead, unsigned char trail) {
        char32_t character = 0;
        failed = !converters.Decode(codePage, lead, trail, &character) || failed;
        return character;
    }
};

constexpr int kEscapePages[] = {932, 950, 949, 1361, 936};

// The character of \U+XXXX at `text` (a surrogate pair takes two escapes),
// and through `length` the bytes it takes; 0 when there is none.
char32_t UnicodeEscape(const char *text, std::size_t available, std::size_t *length) {
    if (available < 7 || text[1] != 'U' || text[2] != '+') return 0;
    long value = Hex4(text + 3, available - 3);
    if (value <= 0 || (value >= 0xDC00 && value <= 0xDFFF)) return 0;
    *length = 7;
    if (value < 0xD800 || value > 0xDBFF) return static_cast<char32_t>(value);
    if (available < 14 || text[7] != '\\' || text[8] != 'U' || text[9] != '+') return 0;
    long low = Hex4(text + 10, available - 10);
    if (low < 0xDC00 || low > 0xDFFF) return 0;
    *length = 14;
    return static_cast<char32_t>(0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00));
}

// The character of \M+NXXXX at `text`: XXXX a code of the page N names, its
// lead byte first, or 00 and one byte. 0 when there is none.
char32_t MultiByteEscape(const char *text, std::size_t available, Pairs &pairs) {
    if (available < 8 || (text[1] != 'M' && text[1] != 'm') || text[2] != '+') return 0;
    if (text[3] < '1' || text[3] > '5') return 0;
    long code = Hex4(text + 4, available - 4);
    if (code < 0) return 0;
    int codePage = kEscapePages[text[3] - '1'];
    auto lead = static_cast<unsigned char>(code >> 8), trail = static_cast<unsigned char>(code);
    if (lead == 0) return trail < 0x80 ? trail : SingleByteOfDoubleBytePage(codePage, trail);
    if (!IsLeadByte(codePage, lead) || !IsTrailByte(codePage, trail)) return 0;
    return pairs.Decode(codePage, lead, trail);
}

// Writes the character of a valid escape at `text` (a backslash) and returns
// the bytes it took; 0, writing nothing, for anything else.
std::size_t Escape(const char *text, std::size_t available, Pairs &pairs, Utf8Out &out) {
    std::size_t length = 0;
    char32_t character = UnicodeEscape(text, available, &length);
    if (!character && (character = MultiByteEscape(text, available, pairs))) length = 8;
    if (!character) return 0;
    out.Put(character);
    return length;
}

// ---------------------------------------------------------------------------
// Conversion
// ---------------------------------------------------------------------------

// Whether the byte at `text` keeps a text from being its own UTF-8: a byte
// beyond ASCII, or what could begin an escape. The quick look every text
// gets; `text` is NUL-terminated, or has two bytes after a backslash.
bool IsSpecial(const char *text) {
    auto byte = static_cast<unsigned char>(*text);
    return byte >= 0x80 ||
           (byte == '\\' && (text[1] == 'U' || text[1] == 'M' || text[1] == 'm') && text[2] == '+');
}

bool IsPlain(const char *text, std::size_t length) {
    for (std::size_t at = 0; at < length; ++at) {
        if (text[at] == '\\' && length - at < 3) continue;  // too short for an escape
        if (IsSpecial(text + at)) return false;
    }
    return true;
}

// Converts `length` bytes of `text` into `buffer`, which has room for three
// times as many; returns the bytes written, or kFailed when a converter could
// not be opened.
constexpr std::size_t kFailed = SIZE_MAX;

std::size_t Convert(const TextEncoding &encoding, const char *text, std::size_t length,
                    char *buffer) {
    Pairs pairs{encoding.converters};
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    int codePage = encoding.codePage;
    bool utf8 = encoding.utf8 || codePage == kUtf8CodePage || IsValidUtf8(bytes, length);
    const char16_t *table = utf8 ? nullptr : SingleByteTable(codePage);
    // A page the library does not know is read as ANSI_1252.
    if (!utf8 && !table && !IsDoubleBytePage(codePage)) table = SingleByteTable(0);
    Utf8Out out(buffer);
    for (std::size_t at = 0; at < length;) {
        unsigned char byte = bytes[at];
        if (byte == '\\') {
            if (std::size_t taken = Escape(text + at, length - at, pairs, out)) {
                at += taken;
                continue;
            }
        }
        if (byte < 0x80) {
            out.Put(byte);
            ++at;
        } else if (utf8) {
            std::size_t sequence = Utf8SequenceAt(bytes + at, length - at);
            if (sequence) {
                out.Copy(text + at, sequence);
                at += sequence;
            } else {
                out.Put(kReplacement);
                ++at;
            }
        } else if (table) {
            out.Put(table[byte - 0x80]);
            ++at;
        } else if (at + 1 < length && IsLeadByte(codePage, byte) &&
                   IsTrailByte(codePage, bytes[at + 1])) {
            char32_t character = pairs.Decode(codePage, byte, bytes[at + 1]);
            out.Put(character ? character : kReplacement);
            // An undefined pair whose second byte is ASCII leaves that byte
            // to stand for itself (it may begin an escape).
            at += character || bytes[at + 1] >= 0x80 ? 2 : 1;
        } else {
            char32_t character = SingleByteOfDoubleBytePage(codePage, byte);
            out.Put(character ? character : kReplacement);
            ++at;
        }
    }
    return pairs.failed ? kFailed : static_cast<std::size_t>(out.at() - buffer);
}

// A buffer for a conversion: on the stack for the texts a group can hold, on
// the heap beyond.
class ConversionBuffer {
public:
    explicit ConversionBuffer(std::size_t length) {
        if (length > (SIZE_MAX - 1) / 3) return;
        std::size_t size = 3 * length + 1;
        data_ = size <= sizeof local_ ? local_ : (heap_ = rt::NewArray<char>(size));
    }
    ~ConversionBuffer() { rt::Free(heap_); }
    ConversionBuffer(const ConversionBuffer &) = delete;
    ConversionBuffer &operator=(const ConversionBuffer &) = delete;
    char *data() const { return data_; }

private:
    char local_[1536];
    char *heap_ = nullptr;
    char *data_ = nullptr;
};

char *HeapCopy(const char *text, std::size_t length) {
    char *copy = rt::NewArray<char>(length + 1);
    if (copy) std::memcpy(copy, text, length);
    return copy;
}

}  // namespace

int CodePageOf(const char *dwgcodepage) {
    if (!dwgcodepage) return 0;
    char buffer[16];
    std::string_view name = Normalised(dwgcodepage, buffer);
    for (const NamedPage &named : kNamedPages) {
        if (named.name == name) return named.codePage;
    }
    for (std::string_view prefix : kNumberPrefixes) {
        if (!name.starts_with(prefix)) continue;
        std::string_view digits = name.substr(prefix.size());
        int number = 0;
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (error != std::errc() || end != digits.data() + digits.size()) return 0;
        if (number == 1252 || !IsKnownPage(number)) return 0;
        return number;
    }
    return 0;
}

bool IsUtf8Release(const char *acadver) {
    if (!acadver || acadver[0] != 'A' || acadver[1] != 'C') return false;
    std::string_view digits(acadver + 2);
    int release = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), release);
    return error == std::errc() && end == digits.data() + digits.size() && release >= 1021;
}

TextEncoding EncodingOf(const char *acadver, const char *dwgcodepage) {
    return {CodePageOf(dwgcodepage), IsUtf8Release(acadver)};
}

char *Utf8Copy(const TextEncoding &encoding, const char *text, std::size_t length) {
    if (IsPlain(text, length)) return HeapCopy(text, length);
    ConversionBuffer buffer(length);
    if (!buffer.data()) return nullptr;
    std::size_t converted = Convert(encoding, text, length, buffer.data());
    return converted == kFailed ? nullptr : HeapCopy(buffer.data(), converted);
}

bool ToUtf8(const TextEncoding &encoding, char **member) {
    const char *text = *member;
    if (!text) return true;
    std::size_t at = 0;
    while (text[at] && !IsSpecial(text + at))
        ++at;
    if (!text[at]) return true;
    std::size_t length = at + std::strlen(text + at);
    ConversionBuffer buffer(length);
    if (!buffer.data()) return false;
    std::size_t converted = Convert(encoding, text, length, buffer.data());
    if (converted == kFailed) return false;
    if (converted == length && std::memcmp(buffer.data(), text, length) == 0) return true;
    char *copy = HeapCopy(buffer.data(), converted);
    if (!copy) return false;
    rt::Free(*member);
    *member = copy;
    return true;
}

bool EntityTextsToUtf8(const TextEncoding &encoding, Qdxf_Entity &entity) {
    bool converted = ToUtf8(encoding, &entity.handle) && ToUtf8(encoding, &entity.ltypeName) &&
                     ToUtf8(encoding, &entity.layerName);
    if (entity.type == QDXF_TEXT) {
        converted = converted && ToUtf8(encoding, &entity.data.text.text) &&
                    ToUtf8(encoding, &entity.data.text.style);
    } else if (entity.type == QDXF_INSERT) {
        converted = converted && ToUtf8(encoding, &entity.data.insert.blockName);
    }
    return converted;
}

}  // namespace vexlith::translate
