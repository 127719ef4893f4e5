// SPDX-License-Identifier: MIT
// Number lines read as the writer meant them (recover/numbers.h).
#include "recover/numbers.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "recover/forms.h"

namespace vexlith::recover {
namespace {

std::string_view Trimmed(std::string_view line) {
    while (!line.empty() && IsBlank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && (IsBlank(line.back()) || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

bool StartsWithWord(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != word[i]) return false;
    }
    return true;
}

// NaN and infinity as C libraries print them: "nan", "nan.0", "-nan(ind)",
// "inf", "infinity", and the Microsoft forms "1.#QNAN", "-1.#IND", "1.#INF".
// `unsigned` is the text after its sign.
Kind SpecialValue(std::string_view unsigned_, bool negative, double *value) {
    std::string_view word = unsigned_;
    if (std::size_t mark = unsigned_.find(".#");
        mark != std::string_view::npos && mark > 0 &&
        SkipDecimals(unsigned_.data(), unsigned_.data() + mark) == unsigned_.data() + mark) {
        word = unsigned_.substr(mark + 2);
        if (StartsWithWord(word, "QNAN") || StartsWithWord(word, "SNAN") ||
            StartsWithWord(word, "IND"))
            word = "NAN";
    }
    if (StartsWithWord(word, "NAN")) {
        *value = std::numeric_limits<double>::quiet_NaN();
        return Kind::NanWord;
    }
    if (StartsWithWord(word, "INF")) {
        *value = negative ? -HUGE_VAL : HUGE_VAL;
        return Kind::InfinityWord;
    }
    return Kind::None;
}

// A copy of `text` in `buffer` with the changes a caller makes to it.
struct Copy {
    char text[kGroupTextSize + 8];
    std::size_t length = 0;
    void Add(char c) {
        if (length < sizeof text) text[length++] = c;
    }
    const char *end() const { return text + length; }
};

}  // namespace

Kind RepairReal(std::string_view line, double *value) {
    const char *begin = line.data();
    const char *end = begin + line.size();
    if (IsWholeReal(begin, end)) {
        *value = ParseReal(begin, end);
        return std::isinf(*value) ? Kind::OutOfRange : Kind::None;
    }
    std::string_view text = Trimmed(line);
    *value = 0;
    if (text.empty()) return Kind::NoNumber;
    bool negative = text[0] == '-';
    std::string_view digits = text[0] == '-' || text[0] == '+' ? text.substr(1) : text;
    if (Kind special = SpecialValue(digits, negative, value); special != Kind::None) return special;
    Copy copy;
    // A decimal comma: one comma and no point.
    if (text.find('.') == std::string_view::npos && text.find(',') != std::string_view::npos &&
        text.find(',') == text.rfind(',')) {
        for (char c : text)
            copy.Add(c == ',' ? '.' : c);
        if (IsWholeReal(copy.text, copy.end())) {
            *value = ParseReal(copy.text, copy.end());
            return Kind::DecimalComma;
        }
    }
    // Blanks between the exponent's letter and its digits ("1.0E 20").
    if (std::size_t letter = text.find_first_of("eE"); letter != std::string_view::npos) {
        std::size_t after = letter + 1;
        std::size_t digitsAt = text.find_first_not_of(" \t", after);
        if (digitsAt != after && digitsAt != std::string_view::npos) {
            copy.length = 0;
            for (char c : text.substr(0, after))
                copy.Add(c);
            for (char c : text.substr(digitsAt))
                copy.Add(c);
            if (IsWholeReal(copy.text, copy.end())) {
                *value = ParseReal(copy.text, copy.end());
                return Kind::ExponentBlank;
            }
        }
    }
    // Junk after a number: its digits are taken.
    const char *start = digits.data();
    if (!digits.empty() &&
        (IsDecimal(*start) || (*start == '.' && digits.size() > 1 && IsDecimal(start[1])))) {
        *value = ParseReal(text.data(), text.data() + text.size());
        return Kind::TrailingJunk;
    }
    return Kind::NoNumber;
}

Kind RepairInteger(std::string_view line, int *value) {
    const char *begin = line.data();
    const char *end = begin + line.size();
    if (IsWholeInteger(begin, end)) {
        *value = ParseInteger(begin, end);
        return Kind::None;
    }
    std::string_view text = Trimmed(line);
    *value = 0;
    if (text.empty()) return Kind::NoNumber;
    if (IsWholeReal(text.data(), text.data() + text.size())) {
        double real = ParseReal(text.data(), text.data() + text.size());
        if (real >= std::numeric_limits<int>::max()) {
            *value = std::numeric_limits<int>::max();
        } else if (real <= std::numeric_limits<int>::min()) {
            *value = std::numeric_limits<int>::min();
        } else {
            *value = static_cast<int>(real);
        }
        return Kind::RealForInteger;
    }
    const char *digits = SkipSign(text.data(), text.data() + text.size());
    if (digits < text.data() + text.size() && IsDecimal(*digits)) {
        *value = ParseInteger(text.data(), text.data() + text.size());
        return Kind::TrailingJunk;
    }
    return Kind::NoNumber;
}

RealText FormatReal(double value) {
    RealText result{};
    auto [end, error] = std::to_chars(result.text, result.text + sizeof result.text - 1, value);
    *(error == std::errc{} ? end : result.text) = '\0';
    return result;
}

}  // namespace vexlith::recover
