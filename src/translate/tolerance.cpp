// SPDX-License-Identifier: MIT
// TOLERANCE: its feature control frames as LINEs and its texts as TEXTs in
// the plane of its extrusion direction, from its insertion point (the
// middle of the first frame's left side) along its direction: a row of
// frames per line of its text (^J), a compartment per part (%%v) that holds
// something, each TEXT centred in its compartment. The symbols of the GDT
// font ({\Fgdt;j}) become their Unicode characters (⌖ for j, ⌀ for n, ...).
// The text height is DIMTXT of its dimension style (group 3) times DIMSCALE.
// Approximated: a row is twice the text height, a compartment as wide as its
// estimated text and a text height more, a symbol's compartment square;
// composite frames and datum identifiers are drawn as plain rows.
#include <cctype>
#include <cmath>
#include <cstring>
#include <string_view>

#include "model/text_advance.h"
#include "translate/geometry.h"
#include "translate/mtext.h"
#include "translate/sketch.h"
#include "translate/styles.h"
#include "translate/vector.h"

namespace vexlith::translate {
namespace {

// The characters of the GDT font's letters a to z ("": the letter itself).
constexpr const char *kGdtSymbols[26] = {
    "\\U+2220", "\\U+22A5", "\\U+23E5", "\\U+2313", "\\U+25CB", "\\U+2225", "\\U+232D",
    "\\U+2197", "\\U+232F", "\\U+2316", "\\U+2312", "\\U+24C1", "\\U+24C2", "\\U+2300",
    "",         "\\U+24C5", "",         "\\U+25CE", "\\U+24C8", "\\U+2330", "\\U+23E4",
    "",         "",         "",         "",         "",
};

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

// The text of one compartment with the GDT symbols as escapes, its MTEXT
// formatting removed, into `plain`; false when the heap is exhausted.
bool CompartmentText(std::string_view part, rt::Scratch<char> &symbols, rt::Scratch<char> &plain) {
    symbols.Clear();
    plain.Clear();
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (!StartsWithFolded(part.substr(i), "{\\fgdt;")) {
            if (!symbols.Append(part[i])) return false;
            continue;
        }
        for (i += 7; i < part.size() && part[i] != '}'; ++i) {
            char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(part[i])));
            const char *symbol = letter >= 'a' && letter <= 'z' ? kGdtSymbols[letter - 'a'] : "";
            bool ok =
                *symbol ? symbols.Append(symbol, std::strlen(symbol)) : symbols.Append(part[i]);
            if (!ok) return false;
        }
    }
    return AppendPlainText(std::string_view(symbols.data(), symbols.size()), plain);
}

// The characters a text shows: an escape \U+XXXX counts as one.
std::size_t Shown(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        i += StartsWithFolded(text.substr(i), "\\u+") && text.size() - i >= 7 ? 7 : 1;
    }
    return count;
}

// The next piece of `text` up to `separator` (either case), taken off it.
std::string_view NextPiece(std::string_view &text, std::string_view separator) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (StartsWithFolded(text.substr(i), separator)) {
            std::string_view piece = text.substr(0, i);
            text.remove_prefix(i + separator.size());
            return piece;
        }
    }
    std::string_view piece = text;
    text = {};
    return piece;
}

}  // namespace

Outcome TranslateTolerance(Context &context) {
    Translation &translation = context.translation();
    Qdxf_Coord insertion{}, direction{1, 0, 0};
    const EntityGroup *text = nullptr, *styleName = nullptr;
    for (const EntityGroup &group : context.groups) {
        if (group.code == 1 && !text) text = &group;
        if (group.code == 3 && !styleName) styleName = &group;
        if (!SetAxis(insertion, group, 10)) SetAxis(direction, group, 11);
    }
    DimStyle style =
        translation.styles.Resolve(styleName ? styleName->text : nullptr, context.groups);
    double height = style.Scaled(Dim::kTextHeight);
    if (!(height > 0) || !std::isfinite(height)) return context.Invalid("a text height of 0");
    Ocs ocs;
    if (!MakeOcs(translation.extrusion, &ocs))
        return context.Invalid("an extrusion direction without length");
    Qdxf_Coord origin{vec::Dot(insertion, ocs.x), vec::Dot(insertion, ocs.y),
                      vec::Dot(insertion, ocs.z)};
    double angle = std::atan2(vec::Dot(direction, ocs.y), vec::Dot(direction, ocs.x));
    if (!std::isfinite(angle)) angle = 0;
    Qdxf_Coord across{std::cos(angle), std::sin(angle), 0}, up{-across.y, across.x, 0};
    auto at = [&](double u, double v) {
        return vec::AddScaled(vec::AddScaled(origin, across, u), up, v);
    };

    Sketch sketch(context);
    if (!sketch.InPlane(translation.extrusion)) return Outcome::Invalid;
    double rowHeight = 2 * height;
    std::string_view rest = text ? std::string_view(text->text, text->length) : "";
    for (int row = 0; !rest.empty(); ++row) {
        std::string_view line = NextPiece(rest, "^j");
        double top = rowHeight / 2 - row * rowHeight, middle = top - rowHeight / 2;
        double x = 0;
        Outcome outcome = Outcome::Done;
        while (!line.empty() && outcome == Outcome::Done) {
            std::string_view part = NextPiece(line, "%%v");
            if (!CompartmentText(part, translation.line, translation.plain))
                return Outcome::NoMemory;
            std::string_view shown(translation.plain.data(), translation.plain.size());
            if (shown.find_first_not_of(' ') == std::string_view::npos) continue;
            // An escape advances as one character, not as its seven.
            std::size_t characters = Shown(shown);
            double advance = TextAdvance(shown) -
                             static_cast<double>(shown.size() - characters) * kAdvancePerHeight;
            double width =
                characters == 1 ? rowHeight : std::max(rowHeight, (advance + 1) * height);
            outcome = sketch.Line(at(x, top), at(x, top - rowHeight));
            if (outcome == Outcome::Done)
                outcome = sketch.Text(shown, at(x + width / 2, middle), height, angle);
            x += width;
        }
        if (outcome == Outcome::Done && x > 0)
            outcome = sketch.Line(at(x, top), at(x, top - rowHeight));
        if (outcome == Outcome::Done && x > 0) outcome = sketch.Line(at(0, top), at(x, top));
        if (outcome == Outcome::Done && x > 0)
            outcome = sketch.Line(at(0, top - rowHeight), at(x, top - rowHeight));
        if (outcome != Outcome::Done) return outcome;
    }
    return sketch.Finish();
}

}  // namespace vexlith::translate
