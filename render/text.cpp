// SPDX-License-Identifier: MIT
// Texts of a drawing as UTF-8: the bytes as the file holds them (UTF-8 where
// valid, Windows-1252 otherwise), and the text a TEXT entity shows.
#include "text.h"

#include <string_view>

namespace render {
namespace {

// Windows-1252 for the bytes 0x80 to 0x9F; the others are Latin-1.
constexpr char32_t kWindows1252[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

// The characters of `raw`: UTF-8 where it is valid, else one byte each.
std::u32string CodePoints(std::string_view raw) {
    std::u32string points;
    points.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        auto byte = static_cast<unsigned char>(raw[i]);
        int length = byte >= 0xC2 && byte <= 0xDF   ? 2
                     : byte >= 0xE0 && byte <= 0xEF ? 3
                     : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                    : 1;
        char32_t point = length == 2 ? byte & 0x1Fu : length == 3 ? byte & 0x0Fu : byte & 0x07u;
        bool valid = length > 1 && i + static_cast<std::size_t>(length) <= raw.size();
        for (int k = 1; valid && k < length; ++k) {
            auto next = static_cast<unsigned char>(raw[i + static_cast<std::size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3Fu);
        }
        // No overlong forms, surrogates or points past U+10FFFF.
        valid = valid && !(length == 3 && point < 0x800) && !(length == 4 && point < 0x10000) &&
                !(point >= 0xD800 && point <= 0xDFFF) && point <= 0x10FFFF;
        if (valid) {
            points.push_back(point);
            i += static_cast<std::size_t>(length);
        } else {
            points.push_back(byte >= 0x80 && byte <= 0x9F ? kWindows1252[byte - 0x80] : byte);
            ++i;
        }
    }
    return points;
}

int HexValue(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    return -1;
}

void AppendUtf8(std::string &out, char32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// Each decoder below looks at the sequence that starts at points[i] and,
// where it is one it knows, appends what it shows and returns the number of
// characters it took; 0 otherwise.

// %%d, %%p, %%c (degree, plus-minus, diameter), %%% and %%nnn (a character by
// its decimal number); the underline, overline and strike-through toggles
// show nothing.
std::size_t DecodePercentCode(std::u32string_view points, std::size_t i, std::u32string &shown) {
    std::size_t n = points.size();
    if (points[i] != '%' || i + 2 >= n || points[i + 1] != '%') return 0;
    switch (points[i + 2]) {
        case 'd':
        case 'D':
            shown += U'\u00B0';
            return 3;
        case 'p':
        case 'P':
            shown += U'\u00B1';
            return 3;
        case 'c':
        case 'C':
            shown += U'\u2300';
            return 3;
        case '%':
            shown += U'%';
            return 3;
        case 'u':
        case 'U':
        case 'o':
        case 'O':
        case 'k':
        case 'K':
            return 3;
        default:
            break;
    }
    char32_t value = 0;
    std::size_t k = i + 2;
    for (; k < n && k < i + 5 && points[k] >= '0' && points[k] <= '9'; ++k)
        value = value * 10 + (points[k] - '0');
    if (k == i + 2) return 0;
    shown += value;
    return k - i;
}

// \U+XXXX: a character by its four hexadecimal digits.
std::size_t DecodeUnicodeEscape(std::u32string_view points, std::size_t i, std::u32string &shown) {
    if (points[i] != '\\' || i + 6 >= points.size() ||
        (points[i + 1] != 'U' && points[i + 1] != 'u') || points[i + 2] != '+')
        return 0;
    int value = 0;
    for (std::size_t k = i + 3; k < i + 7; ++k) {
        int digit = HexValue(points[k]);
        if (digit < 0) return 0;
        value = value * 16 + digit;
    }
    shown += static_cast<char32_t>(value);
    return 7;
}

// ^ and a space is a caret; ^ and @ to _ is a control character, shown as a
// space.
std::size_t DecodeCaret(std::u32string_view points, std::size_t i, std::u32string &shown) {
    if (points[i] != '^' || i + 1 >= points.size()) return 0;
    char32_t next = points[i + 1];
    if (next == ' ') {
        shown += U'^';
        return 2;
    }
    if (next >= 0x40 && next <= 0x5F) {
        shown += U' ';
        return 2;
    }
    return 0;
}

}  // namespace

std::string DecodeText(const char *raw) {
    if (!raw) return {};
    std::u32string points = CodePoints(raw);
    std::u32string shown;
    shown.reserve(points.size());
    for (std::size_t i = 0; i < points.size();) {
        std::size_t taken = DecodePercentCode(points, i, shown);
        if (!taken) taken = DecodeUnicodeEscape(points, i, shown);
        if (!taken) taken = DecodeCaret(points, i, shown);
        if (!taken) {
            shown += points[i];
            taken = 1;
        }
        i += taken;
    }

    std::string out;
    out.reserve(shown.size());
    for (char32_t c : shown) {
        if (c == '\t') c = ' ';
        if (c < 0x20 || c == 0x7F) continue;
        if ((c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF || c > 0x10FFFF) c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}

std::string ToUtf8(const char *raw) {
    std::string out;
    if (!raw) return out;
    for (char32_t point : CodePoints(raw))
        AppendUtf8(out, point);
    return out;
}

void AppendJsonString(std::string &out, std::string_view utf8) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += '"';
    for (char c : utf8) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.append(1, '\\').append(1, c);
        } else if (byte < 0x20 || byte == 0x7f) {
            out.append("\\u00").append(1, kDigits[byte >> 4]).append(1, kDigits[byte & 15]);
        } else {
            out += c;
        }
    }
    out += '"';
}

}  // namespace render
