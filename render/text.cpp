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

}  // namespace

std::string DecodeText(const char *raw) {
    if (!raw) return {};
    std::u32string points = CodePoints(raw);
    std::u32string shown;
    shown.reserve(points.size());
    std::size_t n = points.size();
    for (std::size_t i = 0; i < n;) {
        char32_t c = points[i];
        if (c == '%' && i + 2 < n && points[i + 1] == '%') {
            char32_t code = points[i + 2];
            switch (code) {
                case 'd':
                case 'D':
                    shown += U'\u00B0';  // degree sign
                    i += 3;
                    continue;
                case 'p':
                case 'P':
                    shown += U'\u00B1';  // plus-minus
                    i += 3;
                    continue;
                case 'c':
                case 'C':
                    shown += U'\u2300';  // diameter
                    i += 3;
                    continue;
                case '%':
                    shown += U'%';
                    i += 3;
                    continue;
                case 'u':
                case 'U':
                case 'o':
                case 'O':
                case 'k':
                case 'K':
                    i += 3;  // underline, overline and strike-through toggles
                    continue;
                default:
                    break;
            }
            if (code >= '0' && code <= '9') {
                char32_t value = 0;
                std::size_t k = i + 2;
                for (; k < n && k < i + 5 && points[k] >= '0' && points[k] <= '9'; ++k)
                    value = value * 10 + (points[k] - '0');
                shown += value;
                i = k;
                continue;
            }
        }
        if (c == '\\' && i + 6 < n && (points[i + 1] == 'U' || points[i + 1] == 'u') &&
            points[i + 2] == '+') {
            int value = 0;
            bool hex = true;
            for (std::size_t k = i + 3; k < i + 7; ++k) {
                int digit = HexValue(points[k]);
                hex = hex && digit >= 0;
                value = value * 16 + digit;
            }
            if (hex) {
                shown += static_cast<char32_t>(value);
                i += 7;
                continue;
            }
        }
        if (c == '^' && i + 1 < n) {
            char32_t next = points[i + 1];
            if (next == ' ') {
                shown += U'^';
                i += 2;
                continue;
            }
            if (next >= 0x40 && next <= 0x5F) {  // a control character: shown as a space
                shown += U' ';
                i += 2;
                continue;
            }
        }
        shown += c;
        ++i;
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

}  // namespace render
