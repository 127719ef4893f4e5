// SPDX-License-Identifier: MIT
// MTEXT content parsed into items, broken into lines and set in pieces.
#include "translate/mtext.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

#include "codec/group.h"
#include "model/text_advance.h"
#include "translate/code_pages.h"

namespace vexlith::translate {
namespace {

// The most characters in one TEXT, for R12 programs; a full-width one
// counts two, the bytes of a double-byte code page.
constexpr std::uint32_t kMostCharacters = 250;
constexpr int kMostNesting = 64;             // brace levels whose formats are kept
constexpr double kItalicSlant = 15.0;        // degrees
constexpr double kStackScale = 0.7;          // a stack's parts, of the height
constexpr double kLineDistance = 5.0 / 3.0;  // baseline to baseline, in line heights
constexpr double kStrokeGap = 0.2;           // an underline below, an overline above
constexpr double kTabStop = 4.0;             // in MTEXT heights

// Format codes of one letter, without an argument: \L \l \O \o \K \k
// (underline, overline, strike-through on and off), \X (dimension text
// break), \P (a new paragraph) and \N (a new column).
bool IsLetterCode(char c) {
    return c != '\0' && std::strchr("LlOoKkXPN", c) != nullptr;
}

// A finite positive value of \H, \W or \T: "2.5" or "2x" (times `current`).
double ScaleValue(const char *argument, const char *end, double current) {
    double value = std::fabs(ParseReal(argument, end));
    while (end > argument && IsSpace(end[-1]))
        --end;
    if (end > argument && (end[-1] == 'x' || end[-1] == 'X')) value *= current;
    return value > 0 && std::isfinite(value) ? value : current;
}

// The colour number nearest to a \c colour (0xBBGGRR, as MTEXT writes it).
int NearestColor(const Qdxf_ColorTable &table, long long bgr) {
    double red = static_cast<double>(bgr & 0xFF) / 255.0;
    double green = static_cast<double>(bgr >> 8 & 0xFF) / 255.0;
    double blue = static_cast<double>(bgr >> 16 & 0xFF) / 255.0;
    int nearest = 7;
    double best = INFINITY;
    for (int n = 1; n < 256; ++n) {
        const Qdxf_ColorEntry &entry = table.entries[n];
        double d = (entry.red - red) * (entry.red - red) +
                   (entry.green - green) * (entry.green - green) +
                   (entry.blue - blue) * (entry.blue - blue);
        if (d < best) {
            best = d;
            nearest = n;
        }
    }
    return nearest;
}

// The length of a number at `p`: a sign, digits, a fraction, an exponent.
std::size_t NumberLength(const char *p, const char *end) {
    const char *q = p;
    if (q < end && (*q == '+' || *q == '-')) ++q;
    while (q < end && (IsDigit(*q) || *q == '.'))
        ++q;
    if (q < end && (*q == 'e' || *q == 'E')) {
        const char *e = q + 1;
        if (e < end && (*e == '+' || *e == '-')) ++e;
        if (e < end && IsDigit(*e)) {
            q = e;
            while (q < end && IsDigit(*q))
                ++q;
        }
    }
    return static_cast<std::size_t>(q - p);
}

// \p's argument: "xqc", "i-2,l2,qj", "xi-3,l3,t4".
void ParseParagraph(const char *p, const char *end, ParagraphFormat &paragraph) {
    while (p < end) {
        char option = *p++;
        if (option == 'i' || option == 'l' || option == 'r') {
            std::size_t length = NumberLength(p, end);
            double value = length ? ParseReal(p, p + length) : 0.0;
            if (!std::isfinite(value)) value = 0;
            (option == 'i'   ? paragraph.firstIndent
             : option == 'l' ? paragraph.leftIndent
                             : paragraph.rightIndent) = value;
            p += length;
        } else if (option == 'q' && p < end) {
            char align = *p++;
            paragraph.align = align == 'l'                   ? 0
                              : align == 'c'                 ? 1
                              : align == 'r'                 ? 2
                              : align == 'j' || align == 'd' ? 3
                                                             : -1;
        } else if (option == 't') {
            return;  // tab stops, to the end
        }
    }
}

// What a character counts towards kMostCharacters.
std::uint32_t Weight(const TextCharacter &character) {
    return character.advance == kFullWidthAdvancePerHeight ? 2 : 1;
}

// The character at `at` of text in `page` (a double-byte code page, or 0):
// a pair of the page one full-width character, else as CharacterAt.
TextCharacter CharacterIn(std::string_view text, std::size_t at, int page) {
    auto byte = static_cast<unsigned char>(text[at]);
    if (page && byte >= 0x80 && at + 1 < text.size() && IsLeadByte(page, byte) &&
        IsTrailByte(page, static_cast<unsigned char>(text[at + 1])))
        return {2, kFullWidthAdvancePerHeight};
    return CharacterAt(text, at);
}

// The advance of text in `page`, in heights.
double AdvanceIn(std::string_view text, int page) {
    double advance = 0;
    for (std::size_t at = 0; at < text.size();) {
        TextCharacter character = CharacterIn(text, at, page);
        advance += character.advance;
        at += character.length;
    }
    return advance;
}

class Parser {
public:
    Parser(std::string_view content, const MTextBox &box, MTextLayout &out)
        : content_(content), box_(box), out_(out) {
        state_.format = {box.height, 1.0, 0.0, 1.0, -1, 0, 0};
        state_.paragraph = {-1, 0, 0, 0};
        state_.italic = false;
    }

    bool Parse() {
        const char *at = content_.data();
        const char *end = at + content_.size();
        while (at < end) {
            char c = *at;
            if (c == '{' || c == '}') {
                Brace(c == '{');
                ++at;
            } else if (c == '\r') {
                ++at;
            } else if (c == '\n') {
                if (!EndParagraph()) return false;
                ++at;
            } else if (c == '\t') {
                if (!Add(ContentItem::kTab)) return false;
                ++at;
            } else if (c == '^' && at + 1 < end && at[1] && std::strchr("JI M", at[1])) {
                char next = at[1];
                at += 2;
                bool done = next == 'J'   ? EndParagraph()
                            : next == 'I' ? Add(ContentItem::kTab) != nullptr
                            : next == ' ' ? Put("^", 1, kAdvancePerHeight, false)
                                          : true;
                if (!done) return false;
            } else if (c == '\\' && at + 1 < end) {
                if (!Code(at, end)) return false;
            } else {
                TextCharacter character = CharacterOf(at);
                if (!Put(at, character.length, character.advance, c == ' ')) return false;
                at += character.length;
            }
        }
        return EndParagraph();
    }

private:
    struct State {
        TextFormat format;
        ParagraphFormat paragraph;
        bool italic;
    };

    TextCharacter CharacterOf(const char *at) const {
        return CharacterIn(content_, static_cast<std::size_t>(at - content_.data()),
                           box_.doubleBytePage);
    }

    void Brace(bool open) {
        changed_ = true;
        if (open) {
            if (depth_ < kMostNesting) saved_[depth_] = state_;
            ++depth_;
        } else if (depth_ > 0) {
            --depth_;
            if (depth_ < kMostNesting) state_ = saved_[depth_];
        }
    }

    // The code at `at` (a backslash and more), past it.
    bool Code(const char *&at, const char *end) {
        changed_ = true;
        char code = at[1];
        if (code == '\\' || code == '{' || code == '}') {
            at += 2;
            return Put(&code, 1, kAdvancePerHeight, false);
        }
        if (code == '~') {
            at += 2;
            return Put(" ", 1, kAdvancePerHeight, false);
        }
        if (IsLetterCode(code)) {
            at += 2;
            std::uint8_t &strokes = state_.format.strokes;
            switch (code) {
                case 'P':
                    return EndParagraph();
                case 'N':
                    return Put(" ", 1, kAdvancePerHeight, true);
                case 'L':
                case 'l':
                    strokes = code == 'L' ? strokes | kUnderline : strokes & ~kUnderline;
                    break;
                case 'O':
                case 'o':
                    strokes = code == 'O' ? strokes | kOverline : strokes & ~kOverline;
                    break;
                case 'K':
                case 'k':
                    strokes = code == 'K' ? strokes | kStrikeThrough : strokes & ~kStrikeThrough;
                    break;
                default:
                    break;
            }
            return true;
        }
        const char *argument = at + 2;
        const char *semicolon = code == 'U' || code == 'M'
                                    ? nullptr
                                    : static_cast<const char *>(std::memchr(
                                          argument, ';', static_cast<std::size_t>(end - argument)));
        if (!semicolon) {
            // A character escape, kept whole for the conversion; a code
            // without its ';' is text.
            TextCharacter escape = CharacterOf(at);
            if (escape.length >= 7) {
                at += escape.length;
                return Put(at - escape.length, escape.length, escape.advance, false);
            }
            at += 2;
            return Put(at - 2, 1, kAdvancePerHeight, false) &&
                   Put(at - 1, 1, kAdvancePerHeight, false);
        }
        at = semicolon + 1;
        TextFormat &format = state_.format;
        switch (code) {
            case 'H':
                format.height = ScaleValue(argument, semicolon, format.height);
                break;
            case 'W':
                format.widthFactor = ScaleValue(argument, semicolon, format.widthFactor);
                break;
            case 'T':
                format.tracking = ScaleValue(argument, semicolon, format.tracking);
                break;
            case 'Q': {
                double oblique = ParseReal(argument, semicolon);
                if (std::isfinite(oblique)) format.oblique = std::clamp(oblique, -85.0, 85.0);
                break;
            }
            case 'C': {
                int color = ParseInteger(argument, semicolon);
                format.color = color >= 1 && color <= 255 ? color : -1;
                break;
            }
            case 'c':
                if (box_.colors) {
                    long long bgr = std::clamp(ParseInteger(argument, semicolon), 0, 0xFFFFFF);
                    format.color = NearestColor(*box_.colors, bgr);
                }
                break;
            case 'A':
                format.align = argument < semicolon && *argument >= '0' && *argument <= '2'
                                   ? static_cast<std::uint8_t>(*argument - '0')
                                   : 0;
                break;
            case 'f':
            case 'F':
                Font(argument, semicolon);
                break;
            case 'p':
                ParseParagraph(argument, semicolon, state_.paragraph);
                break;
            case 'S':
                return Stack(argument, semicolon);
            default:
                break;
        }
        return true;
    }

    // \f's argument: "Arial|b1|i1|c0|p34"; a font without a name changes
    // nothing.
    void Font(const char *p, const char *end) {
        if (p == end || *p == '|') return;
        state_.italic = false;
        for (const char *bar = p; bar < end; ++bar) {
            if (*bar == '|' && end - bar >= 3 && bar[1] == 'i' && bar[2] == '1')
                state_.italic = true;
        }
    }

    // A stack: its parts split at the first '/', '#' or '^' that no
    // backslash escapes; without one, its argument is text.
    bool Stack(const char *p, const char *end) {
        const char *split = nullptr;
        for (const char *q = p; q < end && !split; ++q) {
            if (*q == '\\' && q + 1 < end) {
                ++q;
            } else if (*q == '/' || *q == '#' || *q == '^') {
                split = q;
            }
        }
        if (!split) {
            for (const char *q = p; q < end;) {
                TextCharacter character = CharacterOf(q);
                if (!Put(q, character.length, character.advance, *q == ' ')) return false;
                q += character.length;
            }
            return true;
        }
        ContentItem *item = Add(ContentItem::kStack);
        if (!item) return false;
        item->stack = *split;
        double upper = 0, lower = 0;
        if (!StackPart(p, split, &upper) || (*split == '#' && !out_.text.Append('/'))) return false;
        item = &out_.items[out_.items.size() - 1];
        item->middle = static_cast<std::uint32_t>(out_.text.size());
        if (!StackPart(split + 1, end, &lower)) return false;
        item = &out_.items[out_.items.size() - 1];
        item->end = static_cast<std::uint32_t>(out_.text.size());
        const TextFormat &format = out_.formats[item->format];
        double scale = format.height * format.widthFactor * format.tracking;
        item->advance = *split == '#' ? (upper + kAdvancePerHeight + lower) * scale
                                      : std::max(upper, lower) * kStackScale * scale;
        return true;
    }

    // A part of a stack into the text, its escaped separators unescaped: at
    // most half of what a TEXT holds, so that "a/b" fits one.
    bool StackPart(const char *p, const char *end, double *advance) {
        std::uint32_t count = 0;
        while (p < end && count + 2 < kMostCharacters / 2) {
            if (*p == '\\' && p + 1 < end && p[1] && std::strchr("/#^", p[1])) ++p;
            TextCharacter character = CharacterOf(p);
            character.length = std::min(character.length, static_cast<std::size_t>(end - p));
            if (!out_.text.Append(p, character.length)) return false;
            *advance += character.advance;
            p += character.length;
            count += Weight(character);
        }
        return true;
    }

    // The index of the current format in the formats, added where it is new.
    bool CurrentFormat(std::uint32_t *index) {
        if (!changed_) {
            *index = static_cast<std::uint32_t>(out_.formats.size() - 1);
            return true;
        }
        TextFormat format = state_.format;
        if (state_.italic && format.oblique == 0) format.oblique = kItalicSlant;
        rt::Scratch<TextFormat> &formats = out_.formats;
        if (formats.empty() || !(formats[formats.size() - 1] == format)) {
            if (!formats.Append(format)) return false;
        }
        changed_ = false;
        *index = static_cast<std::uint32_t>(formats.size() - 1);
        return true;
    }

    // A new item of `kind` in the current format; null when the heap is
    // exhausted.
    ContentItem *Add(ContentItem::Kind kind) {
        std::uint32_t format;
        if (!CurrentFormat(&format)) return nullptr;
        const ContentItem *last = out_.items.empty() ? nullptr : &out_.items[out_.items.size() - 1];
        bool afterWord =
            last && (last->kind == ContentItem::kWord || last->kind == ContentItem::kStack);
        ContentItem *item = out_.items.AppendZeroed();
        if (!item) return nullptr;
        item->kind = kind;
        item->glued = afterWord && (kind == ContentItem::kWord || kind == ContentItem::kStack);
        item->format = format;
        item->begin = item->middle = item->end = static_cast<std::uint32_t>(out_.text.size());
        if (kind != ContentItem::kWord && kind != ContentItem::kStack) wordCharacters_ = 0;
        return item;
    }

    // One character of `length` bytes, `advance` heights wide; a blank that
    // a line may break at, or part of a word.
    bool Put(const char *bytes, std::size_t length, double advance, bool blank) {
        std::uint32_t format;
        if (!CurrentFormat(&format)) return false;
        ContentItem::Kind kind = blank ? ContentItem::kBlank : ContentItem::kWord;
        std::uint32_t weight = Weight({length, advance});
        bool cut = !blank && wordCharacters_ + weight > kMostCharacters;
        ContentItem *item = out_.items.empty() ? nullptr : &out_.items[out_.items.size() - 1];
        if (!item || item->kind != kind || item->format != format || cut) {
            item = Add(kind);
            if (!item) return false;
            if (cut) {
                item->glued = false;
                wordCharacters_ = 0;
            }
        }
        if (!out_.text.Append(bytes, length)) return false;
        const TextFormat &f = out_.formats[format];
        item->end = static_cast<std::uint32_t>(out_.text.size());
        item->advance += advance * f.height * f.widthFactor * f.tracking;
        item->characters += weight;
        wordCharacters_ = blank ? 0 : wordCharacters_ + weight;
        return true;
    }

    bool EndParagraph() {
        if (!out_.paragraphs.Append(state_.paragraph)) return false;
        ContentItem *item = Add(ContentItem::kParagraphEnd);
        if (!item) return false;
        item->paragraph = static_cast<std::uint32_t>(out_.paragraphs.size() - 1);
        return true;
    }

    std::string_view content_;
    const MTextBox &box_;
    MTextLayout &out_;
    State state_;
    State saved_[kMostNesting];
    int depth_ = 0;
    bool changed_ = true;               // the format may differ from the last in formats
    std::uint32_t wordCharacters_ = 0;  // since the last place a line may break
};

bool IsWordLike(const ContentItem &item) {
    return item.kind == ContentItem::kWord || item.kind == ContentItem::kStack;
}

// The advance from `x` to the next tab stop.
double TabAdvance(double x, double height) {
    double step = kTabStop * height;
    if (!(step > 0) || !std::isfinite(step)) return 0;
    return (std::floor(x / step) + 1) * step - x;
}

// Breaks each paragraph into lines: a line takes the next word (with the
// blanks before it) while it reaches no further than the room and holds no
// more than a TEXT takes; the first word of a line always. The blanks where
// a line breaks belong to neither line.
bool BreakLines(const MTextBox &box, MTextLayout &layout) {
    bool wrapping = box.width > 0 && std::isfinite(box.width);
    rt::Scratch<ContentItem> &items = layout.items;
    auto count = static_cast<std::uint32_t>(items.size());
    std::uint32_t at = 0;
    for (std::uint32_t end = 0; end < count; ++end) {
        if (items[end].kind != ContentItem::kParagraphEnd) continue;
        const ParagraphFormat &paragraph = layout.paragraphs[items[end].paragraph];
        bool first = true;
        do {
            double indent = (paragraph.leftIndent + (first ? paragraph.firstIndent : 0) +
                             paragraph.rightIndent) *
                            box.height;
            double room = wrapping ? box.width - indent : INFINITY;
            if (!first) {
                while (at < end && items[at].kind == ContentItem::kBlank)
                    ++at;
                if (at == end) break;
            }
            MTextLine line{at, at, items[end].paragraph, items[end].format, first, false, 0, 0};
            double x = 0;
            std::uint32_t characters = 0;
            while (at < end) {
                std::uint32_t next = at;
                double advance = 0;
                std::uint32_t unitCharacters = 0;
                bool word = false;
                if (items[next].kind == ContentItem::kTab) {
                    advance = TabAdvance(x, box.height);
                    ++next;
                } else {
                    for (; next < end && items[next].kind == ContentItem::kBlank; ++next) {
                        advance += items[next].advance;
                        unitCharacters += items[next].characters;
                    }
                    while (next < end && IsWordLike(items[next]) && (!word || items[next].glued)) {
                        advance += items[next].advance;
                        if (items[next].kind == ContentItem::kWord)
                            unitCharacters += items[next].characters;
                        word = true;
                        ++next;
                    }
                }
                if (at == line.first && characters + unitCharacters > kMostCharacters) {
                    // Blanks that begin a paragraph, too many to go with the
                    // word after them.
                    while (items[at].kind == ContentItem::kBlank)
                        ++at;
                    line.first = at;
                    continue;
                }
                bool fits = x + advance <= room && characters + unitCharacters <= kMostCharacters;
                if (at != line.first && !fits) {
                    if (!word && items[next].kind == ContentItem::kParagraphEnd) at = next;
                    break;
                }
                if (items[at].kind == ContentItem::kTab) items[at].advance = advance;
                x += advance;
                characters += unitCharacters;
                at = next;
            }
            line.end = at;
            line.lastOfParagraph = at == end;
            line.width = x;
            for (std::uint32_t i = line.first; i < line.end; ++i) {
                if (items[i].kind != ContentItem::kTab)
                    line.height = std::max(line.height, layout.formats[items[i].format].height);
            }
            if (line.first == line.end) line.height = layout.formats[line.format].height;
            if (!layout.lines.Append(line)) return false;
            first = false;
        } while (at < end);
        at = end + 1;
    }
    return true;
}

// Sets the lines in pieces (see LayOutMText).
class Setter {
public:
    Setter(const MTextBox &box, MTextLayout &layout) : box_(box), layout_(layout) {}

    bool Set() {
        const rt::Scratch<MTextLine> &lines = layout_.lines;
        column_ = (box_.attachment - 1) % 3;
        row_ = (box_.attachment - 1) / 3;
        wrapping_ = box_.width > 0 && std::isfinite(box_.width);
        frame_ = 0;
        double bottom = 0, top = 0, lastHeight = 0;
        for (const MTextLine &line : lines) {
            const ParagraphFormat &p = layout_.paragraphs[line.paragraph];
            double indent =
                p.leftIndent + (line.firstOfParagraph ? p.firstIndent : 0) + p.rightIndent;
            frame_ = std::max(frame_, line.width + indent * box_.height);
            bottom = top - line.height;
            lastHeight = line.height;
            top -= kLineDistance * box_.spacing * line.height;
        }
        if (wrapping_) frame_ = box_.width;
        top = 0;
        for (const MTextLine &line : lines) {
            if (!SetLine(line, top)) return false;
            top -= kLineDistance * box_.spacing * line.height;
        }
        // The attachment's row: the top of the first line, the middle
        // between it and the last baseline, or the last line's descenders
        // at the insertion point.
        double shift = row_ == 0   ? 0
                       : row_ == 1 ? -bottom / 2
                                   : -(bottom - kDescentPerHeight * lastHeight);
        for (MTextPiece &piece : std::span(layout_.pieces.data(), layout_.pieces.size()))
            piece.y += shift;
        return true;
    }

private:
    const TextFormat &FormatOf(const ContentItem &item) const {
        return layout_.formats[item.format];
    }

    // A line of one run: words and blanks of one format.
    bool OneRun(const MTextLine &line) const {
        const rt::Scratch<ContentItem> &items = layout_.items;
        if (line.first == line.end) return false;
        for (std::uint32_t i = line.first; i < line.end; ++i) {
            if (items[i].kind != ContentItem::kWord && items[i].kind != ContentItem::kBlank)
                return false;
            if (!(FormatOf(items[i]) == FormatOf(items[line.first]))) return false;
        }
        return true;
    }

    bool Blank(std::uint32_t begin, std::uint32_t end) const {
        for (std::uint32_t i = begin; i < end; ++i) {
            if (layout_.text[i] != ' ') return false;
        }
        return true;
    }

    bool Text(std::uint8_t horizJust, std::uint8_t vertJust, std::uint32_t format,
              std::uint32_t begin, std::uint32_t end, double height, double x, double y,
              double toX = 0) {
        return layout_.pieces.Append(
            {MTextPiece::kText, horizJust, vertJust, format, begin, end, height, x, y, toX});
    }

    // The strokes of a run of `format` from `from` to `to` on `baseline`.
    bool Strokes(std::uint32_t format, double from, double to, double baseline) {
        const TextFormat &f = layout_.formats[format];
        if (!f.strokes || !(to > from)) return true;
        const double at[] = {baseline - kStrokeGap * f.height,
                             baseline + (1 + kStrokeGap) * f.height, baseline + f.height / 2};
        for (int stroke = 0; stroke < 3; ++stroke) {
            if (!(f.strokes & (1 << stroke))) continue;
            if (!layout_.pieces.Append(
                    {MTextPiece::kLine, 0, 0, format, 0, 0, 0, from, at[stroke], to}))
                return false;
        }
        return true;
    }

    bool SetLine(const MTextLine &line, double top) {
        const rt::Scratch<ContentItem> &items = layout_.items;
        const ParagraphFormat &p = layout_.paragraphs[line.paragraph];
        int align = p.align >= 0 ? p.align : column_;
        double frameLeft = -frame_ * column_ / 2.0;
        double left =
            frameLeft + (p.leftIndent + (line.firstOfParagraph ? p.firstIndent : 0)) * box_.height;
        double right = frameLeft + frame_ - p.rightIndent * box_.height;
        double baseline = top - line.height;
        bool justified = align == 3 && wrapping_ && !line.lastOfParagraph && !box_.backward &&
                         line.width > 0 && right - left > line.width;
        double stretch = justified ? (right - left) / line.width : 1.0;
        if (align == 3) align = 0;
        double start = align == 0   ? left
                       : align == 1 ? (left + right - line.width) / 2
                                    : right - line.width;
        if (!justified && OneRun(line)) {
            // As the attachment and the paragraph justify it.
            const ContentItem &first = items[line.first];
            double x = align == 0 ? left : align == 1 ? (left + right) / 2 : right;
            double y = row_ == 0   ? top
                       : row_ == 1 ? baseline + line.height / 2
                                   : baseline - kDescentPerHeight * line.height;
            return Text(static_cast<std::uint8_t>(align), static_cast<std::uint8_t>(3 - row_),
                        first.format, first.begin, items[line.end - 1].end, line.height, x, y) &&
                   Strokes(first.format, start, start + line.width, baseline);
        }
        double offset = 0;
        for (std::uint32_t i = line.first; i < line.end;) {
            const ContentItem &item = items[i];
            double from = start + stretch * offset;
            if (item.kind == ContentItem::kTab) {
                offset += item.advance;
                ++i;
                continue;
            }
            if (item.kind == ContentItem::kStack) {
                if (!SetStack(item, from, baseline)) return false;
                offset += item.advance;
                ++i;
                continue;
            }
            const TextFormat &f = FormatOf(item);
            double advance = 0;
            bool blank = true;
            std::uint32_t j = i;
            for (; j < line.end &&
                   (items[j].kind == ContentItem::kWord || items[j].kind == ContentItem::kBlank) &&
                   FormatOf(items[j]) == f;
                 ++j) {
                advance += items[j].advance;
                blank = blank && items[j].kind == ContentItem::kBlank;
            }
            double to = start + stretch * (offset + advance);
            double y = f.align == 0   ? baseline
                       : f.align == 1 ? baseline + (line.height - f.height) / 2
                                      : baseline + line.height - f.height;
            if (!blank && !Text(justified ? 5 : 0, 0, item.format, item.begin, items[j - 1].end,
                                f.height, from, y, to))
                return false;
            if (!Strokes(item.format, from, to, y)) return false;
            offset += advance;
            i = j;
        }
        return true;
    }

    // A stack at `x` on `baseline`: "a/b" in one line for '#', else its
    // parts smaller above and below the middle of the line's capitals,
    // centred under each other with a bar for '/', from the left for '^'.
    bool SetStack(const ContentItem &item, double x, double baseline) {
        const TextFormat &f = FormatOf(item);
        if (item.stack == '#') {
            return Blank(item.begin, item.end) ||
                   Text(0, 0, item.format, item.begin, item.end, f.height, x, baseline);
        }
        double size = kStackScale * f.height;
        double scale = size * f.widthFactor * f.tracking;
        std::string_view text(layout_.text.data(), layout_.text.size());
        const std::uint32_t bounds[] = {item.begin, item.middle, item.end};
        const double baselines[] = {baseline + 0.6 * f.height, baseline + 0.4 * f.height - size};
        for (int part = 0; part < 2; ++part) {
            std::uint32_t begin = bounds[part], end = bounds[part + 1];
            if (Blank(begin, end)) continue;
            double advance =
                AdvanceIn(text.substr(begin, end - begin), box_.doubleBytePage) * scale;
            double from = item.stack == '/' ? x + (item.advance - advance) / 2 : x;
            if (!Text(0, 0, item.format, begin, end, size, from, baselines[part])) return false;
        }
        if (item.stack != '/') return true;
        return layout_.pieces.Append({MTextPiece::kLine, 0, 0, item.format, 0, 0, 0, x,
                                      baseline + f.height / 2, x + item.advance});
    }

    const MTextBox &box_;
    MTextLayout &layout_;
    int column_ = 0, row_ = 0;
    bool wrapping_ = false;
    double frame_ = 0;
};

}  // namespace

bool LayOutMText(std::string_view content, const MTextBox &box, MTextLayout &layout) {
    layout.text.Clear();
    layout.formats.Clear();
    layout.paragraphs.Clear();
    layout.items.Clear();
    layout.lines.Clear();
    layout.pieces.Clear();
    Parser parser(content, box, layout);
    return parser.Parse() && BreakLines(box, layout) && Setter(box, layout).Set();
}

void MTextLayout::Release() {
    text.Release();
    formats.Release();
    paragraphs.Release();
    items.Release();
    lines.Release();
    pieces.Release();
}

bool AppendPlainText(std::string_view content, rt::Scratch<char> &out) {
    const char *at = content.data();
    const char *end = at + content.size();
    auto put = [&](char c) { return out.Append(c); };
    while (at < end) {
        char c = *at++;
        if (c == '{' || c == '}' || c == '\r') continue;
        if (c == '^' && at < end) {
            // Caret notation: ^J a line break, ^I a tab, "^ " a caret.
            char next = *at;
            if (next == 'J' || next == 'I' || next == ' ' || next == 'M') {
                ++at;
                if (next == 'M') continue;
                if (!put(next == 'J' ? '\n' : next == 'I' ? '\t' : '^')) return false;
                continue;
            }
        }
        if (c != '\\' || at == end) {
            if (!put(c)) return false;
            continue;
        }
        char code = *at++;
        if (code == '\\' || code == '{' || code == '}') {
            if (!put(code)) return false;
        } else if (code == '~') {
            if (!put(' ')) return false;
        } else if (IsLetterCode(code)) {
            if (code == 'P' && !put('\n')) return false;
            if (code == 'N' && !put(' ')) return false;
        } else if (code == 'U' || code == 'M') {
            // A character escape: kept whole for the conversion.
            if (!put('\\') || !put(code)) return false;
        } else {
            // A code with an argument up to ';': dropped, but a stacked
            // fraction's argument is text. Without its ';' the code is text.
            const char *semicolon =
                static_cast<const char *>(std::memchr(at, ';', static_cast<std::size_t>(end - at)));
            if (!semicolon) {
                if (!put('\\') || !put(code)) return false;
                continue;
            }
            if (code == 'S') {
                for (const char *s = at; s < semicolon; ++s) {
                    if (!put(*s)) return false;
                }
            }
            at = semicolon + 1;
        }
    }
    return true;
}

}  // namespace vexlith::translate
