// SPDX-License-Identifier: MIT
// MTEXT content set as a CAD program sets it, in pieces that TEXT and LINE
// records can hold: its lines wrapped at the reference width by the one
// advance estimate (model/text_advance.h), and each line in runs of equal
// format, each run a TEXT.
//
// The content: braces group format codes; \H height, \W width factor, \Q
// oblique angle, \T tracking (each "x" after the value: relative), \C and \c
// colour, \f and \F font (only its italic flag is kept: a run in italics is
// slanted 15° where it has no oblique angle of its own; the font name and
// bold are lost, every run keeps the MTEXT's style), \A the vertical
// alignment of a run in its line (0 bottom, 1 middle, 2 top), \L \O \K
// underline, overline and strike-through (each a LINE), \p paragraph
// properties (q: alignment l, c, r, j or d; i, l, r: the first line's
// indent, the left and right indents in MTEXT heights), \S a stack (a/b and
// a^b two smaller texts above each other, with a bar for a/b; a#b "a/b" in
// one line), \P and ^J a new paragraph, ^I and a tab to the next stop (every
// four heights), \~ a blank that does not break, \\ \{ \} the character
// itself, \N (a new column) a blank, \X nothing. The character escapes
// \U+XXXX and \M+NXXXX are kept for the UTF-8 conversion, %%d and the like
// for the TEXT that takes them. A code with an argument but without its ';'
// is text.
//
// Lines break at blanks where the next word would reach past the reference
// width (a word wider than it stands alone), and wherever a line would hold
// more than 250 characters, the most an R12 program's TEXT takes (a
// full-width character counts two, as a double-byte code page holds it): at
// the last blank before, or within a word at 250.
#ifndef VEXLITH_TRANSLATE_MTEXT_H
#define VEXLITH_TRANSLATE_MTEXT_H

#include <cstdint>
#include <string_view>

#include "runtime/scratch.h"
#include "vexlith.h"

namespace vexlith::translate {

inline constexpr std::uint8_t kUnderline = 1, kOverline = 2, kStrikeThrough = 4;

// The format of a stretch of content; a run is a stretch of one format.
struct TextFormat {
    double height;
    double widthFactor;
    double oblique;        // degrees
    double tracking;       // a factor of the advance
    int color;             // 1 to 255; -1: the MTEXT's own
    std::uint8_t align;    // \A: 0 bottom, 1 middle, 2 top
    std::uint8_t strokes;  // kUnderline | kOverline | kStrikeThrough
    bool operator==(const TextFormat &) const = default;
};

// What an MTEXT's groups say about how it is set.
struct MTextBox {
    double height;                  // 40
    double width;                   // 41; not above 0: no wrapping
    double spacing;                 // 44, a factor of 5/3 of a line's height
    int attachment;                 // 71, 1 to 9
    int doubleBytePage;             // the double-byte code page of its bytes, else 0
    bool backward;                  // mirrored: a fitted TEXT cannot stand for a justified line
    const Qdxf_ColorTable *colors;  // for \c (the nearest colour number); may be null
};

// A piece of a laid out MTEXT, in the MTEXT's plane: x along its direction
// from the insertion point, y across it.
struct MTextPiece {
    enum Kind : std::uint8_t { kText, kLine } kind;
    std::uint8_t horizJust, vertJust;  // kText: as a TEXT's (5: fitted from x to toX)
    std::uint32_t format;              // in MTextLayout::formats
    std::uint32_t begin, end;          // kText: its text in MTextLayout::text
    double height;                     // kText
    double x, y;                       // kText: its anchor; kLine: its start
    double toX;                        // kText fitted, kLine: the end, at y
};

// One stretch of content: part of a word, blanks, a tab, a stack, the end of
// a paragraph.
struct ContentItem {
    enum Kind : std::uint8_t { kWord, kBlank, kTab, kStack, kParagraphEnd } kind;
    char stack;                        // kStack: '/', '^' or '#'
    bool glued;                        // kWord, kStack: no line may break before it
    std::uint32_t format;              // in formats
    std::uint32_t paragraph;           // kParagraphEnd: in paragraphs
    std::uint32_t begin, middle, end;  // its text; a stack's parts [begin, middle), [middle, end)
    std::uint32_t characters;          // as a TEXT counts them
    double advance;                    // along the line, in drawing units
};

// The properties of a paragraph, set by \p.
struct ParagraphFormat {
    int align;  // -1: the attachment's; 0 left, 1 centre, 2 right, 3 justified
    double firstIndent, leftIndent, rightIndent;  // in MTEXT heights
};

// One line: items [first, end) of one paragraph.
struct MTextLine {
    std::uint32_t first, end;
    std::uint32_t paragraph;  // in paragraphs
    std::uint32_t format;     // in formats: the height of a line without items
    bool firstOfParagraph, lastOfParagraph;
    double width, height;
};

// The room layouts use, reused from MTEXT to MTEXT.
struct MTextLayout {
    rt::Scratch<char> text;
    rt::Scratch<TextFormat> formats;
    rt::Scratch<ParagraphFormat> paragraphs;
    rt::Scratch<ContentItem> items;
    rt::Scratch<MTextLine> lines;
    rt::Scratch<MTextPiece> pieces;

    void Release();
};

// Sets `content` in the pieces of `layout` (emptied first): a line of one
// run is a TEXT justified as the attachment and the paragraph say, at the
// top, middle or bottom of the line as the attachment's row; any other line
// is a TEXT per run on its baseline. False when the heap is exhausted.
bool LayOutMText(std::string_view content, const MTextBox &box, MTextLayout &layout);

// Appends the plain text of content of this form to `out` (a dimension's
// text is drawn so), its lines separated by '\n': braces and format codes
// removed, \P and ^J a line break, \N and \~ a blank, \\ \{ \} the
// character itself, a stack (\S1/2;) as its characters (1/2); character
// escapes and %%d and the like kept, as above. False when the heap is
// exhausted.
bool AppendPlainText(std::string_view content, rt::Scratch<char> &out);

}  // namespace vexlith::translate

#endif
