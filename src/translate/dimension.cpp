// SPDX-License-Identifier: MIT
// A DIMENSION without its block (QCAD and other programs write them so),
// drawn as CAD programs draw one from its definition points and its
// dimension style, in the plane of its extrusion direction:
//
//   rotated (type 0) and aligned (1): the dimension line through point 10,
//     at the angle of group 50 or parallel to the origins 13 and 14, between
//     the feet of the extension lines, which run from DIMEXO off each origin
//     to DIMEXE beyond the line, square to it or at the oblique angle 52.
//   angular (2: the lines 13-14 and 10-15; 5: the vertex 15 and the points
//     13 and 14): the arc about the vertex through point 16 (5: through 10),
//     over the angle between the lines that holds that point; extension
//     lines where the arc passes beyond the lines.
//   diameter (3: points 15 and 10 on the circle) and radius (4: centre 10,
//     point 15): the line across the circle or from its centre; a text
//     outside the circle gets a line out to it.
//   ordinate (6: feature 13, leader end 14, 64 in the type for an X
//     ordinate): the leader from the feature, with a jog when it ends aside.
//
// Arrowheads at both ends of the dimension line, inside it, outside when it
// is shorter than two of them (then the line runs on past them). The text is
// the measurement (times DIMLFAC, rounded by DIMRND, with DIMDEC decimals,
// DIMZIN's zeros and DIMDSEP's separator, inside DIMPOST; "R" before a
// radius, %%c before a diameter, %%d after an angle) where group 1 is empty
// or holds "<>", no text for a single blank; a line of it per line of its
// MTEXT formatting. It is centred where CAD programs put it (at the middle
// of the line or arc, above it for DIMTAD, else on it, which it then breaks
// by its estimated width), or on point 11 where the user placed it (128 in
// the type) and for radius, diameter and ordinate dimensions, whose point 11
// is where the user picked; along the line and readable from below or the
// right, horizontal where DIMTIH or DIMTOH ask, at group 53's angle where
// given.
//
// Approximated: every arrowhead is closed filled but ticks and DIMBLK "NONE";
// the fit of text and arrows is decided by the length of the line alone, and
// a text that does not fit is not moved; units other than decimal,
// tolerances, alternate units, text styles and the text's background are not
// drawn; the measured text of an angle is in decimal degrees.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <string_view>

#include "model/text_advance.h"
#include "read/readers.h"
#include "translate/geometry.h"
#include "translate/mtext.h"
#include "translate/sketch.h"
#include "translate/styles.h"
#include "translate/vector.h"

namespace vexlith::translate {
namespace {

constexpr double kPi = std::numbers::pi;

// The groups of a DIMENSION. Points 10, 13, 14 and 15 are read in world
// coordinates, 11 and 16 in the coordinate system of the extrusion.
struct Definition {
    Qdxf_Coord point[7] = {};  // groups 10 to 16
    bool textPlaced = false;   // group 11 given
    double angle = 0;          // 50, degrees
    double oblique = 0;        // 52
    double textAngle = 0;      // 53
    bool textTurned = false;
    int type = 0;  // 70
    const EntityGroup *text = nullptr;
    const EntityGroup *style = nullptr;
};

Definition ReadDefinition(Groups groups) {
    Definition d;
    for (const EntityGroup &group : groups) {
        switch (group.code) {
            case 1:
                if (!d.text) d.text = &group;
                break;
            case 3:
                if (!d.style) d.style = &group;
                break;
            case 50:
                d.angle = group.real;
                break;
            case 52:
                d.oblique = group.real;
                break;
            case 53:
                d.textAngle = group.real;
                d.textTurned = true;
                break;
            case 70:
                d.type = group.integer;
                break;
            default:
                for (int base = 10; base <= 16; ++base) {
                    if (!SetAxis(d.point[base - 10], group, base)) continue;
                    d.textPlaced |= base == 11;
                    break;
                }
                break;
        }
    }
    return d;
}

Qdxf_Coord Direction(double angle) {
    return {std::cos(angle), std::sin(angle), 0};
}
double AngleOf(const Qdxf_Coord &v) {
    return std::atan2(v.y, v.x);
}
double Cross(const Qdxf_Coord &a, const Qdxf_Coord &b) {
    return a.x * b.y - a.y * b.x;
}
// The unit vector from `a` towards `b`, or `otherwise` when they meet.
Qdxf_Coord Towards(const Qdxf_Coord &a, const Qdxf_Coord &b, const Qdxf_Coord &otherwise) {
    Qdxf_Coord unit;
    Qdxf_Coord d = vec::Sub(b, a);
    d.z = 0;
    return vec::Normalize(d, &unit) ? unit : otherwise;
}
// The angle counterclockwise from `from` to `to`, in [0, 2π).
double Sweep(double from, double to) {
    double sweep = std::fmod(to - from, 2 * kPi);
    return sweep < 0 ? sweep + 2 * kPi : sweep;
}
// An angle of a text turned to read from below or from the right.
double Readable(double angle) {
    double turned = Sweep(0, angle);
    return turned > kPi / 2 + 1e-9 && turned <= 3 * kPi / 2 + 1e-9 ? turned - kPi : turned;
}

int ColorOf(const DimStyle &style, Dim which) {
    int color = style.Int(which);
    return color >= 0 && color <= 256 ? color : 0;
}

// The measurement as the style writes a number: `decimals` decimals, the
// zeros DIMZIN leaves (4: none before the point, 8: none after the last
// digit), DIMDSEP's separator.
std::string_view FormatNumber(double value, int decimals, int zeros, char separator,
                              char (&out)[64]) {
    decimals = std::clamp(decimals, 0, 8);
    if (!std::isfinite(value) || std::fabs(value) > 1e15) value = 0;
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;  // no "-0"
    char digits[64];
    auto [end, error] =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    std::string_view text(digits,
                          error == std::errc{} ? static_cast<std::size_t>(end - digits) : 0);
    if ((zeros & 8) && text.find('.') != std::string_view::npos) {
        while (text.back() == '0')
            text.remove_suffix(1);
        if (text.back() == '.') text.remove_suffix(1);
    }
    std::size_t length = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool leadingZero = text[i] == '0' && i + 1 < text.size() && text[i + 1] == '.' &&
                           (i == 0 || text[i - 1] == '-');
        if ((zeros & 4) && leadingZero) continue;
        out[length++] = text[i] == '.' ? separator : text[i];
    }
    return {out, length};
}

// Draws one dimension in its plane, at the elevation of point 10.
class Drawing {
public:
    Drawing(Sketch &sketch, Translation &translation, const DimStyle &style, const Definition &d,
            double z)
        : sketch_(sketch), translation_(translation), style_(style), d_(d), z_(z) {
        arrowSize_ = style.Scaled(Dim::kArrowSize);
        textHeight_ = style.Scaled(Dim::kTextHeight);
        gap_ = std::fabs(style.Scaled(Dim::kGap));
        arrowhead_ = ArrowheadOf(style.arrow, style.Scaled(Dim::kTickSize));
        if (arrowhead_ == Arrowhead::kTick) arrowSize_ = style.Scaled(Dim::kTickSize);
        if (!(arrowSize_ >= 0) || !std::isfinite(arrowSize_)) arrowSize_ = 0;
        lineColor_ = ColorOf(style, Dim::kLineColor);
        extensionColor_ = ColorOf(style, Dim::kExtensionColor);
        textColor_ = ColorOf(style, Dim::kTextColor);
    }

    Outcome Linear(const Qdxf_Coord *at, bool aligned);
    Outcome Angular(const Qdxf_Coord *at, bool threePoint);
    Outcome Radial(const Qdxf_Coord *at, bool diameter);
    Outcome Ordinate(const Qdxf_Coord *at);

private:
    Qdxf_Coord Flat(Qdxf_Coord p) const {
        p.z = z_;
        return p;
    }
    // The dimension line from `a` to `b` with its arrowheads, broken where
    // a text centred on it sits (with `breakForText`).
    Outcome DimensionLine(const Qdxf_Coord &a, const Qdxf_Coord &b, bool breakForText);
    Outcome Extension(const Qdxf_Coord &origin, const Qdxf_Coord &foot, bool suppressed);
    // The text and its lines; `along` the direction of the dimension line,
    // `middle` where the text goes without group 11, `inside` whether it is
    // within the dimension.
    Outcome Texts(const Qdxf_Coord &middle, double along, bool inside, bool picked = false);
    // The text of the measurement `value` (an angle in radians when
    // `angle`), with `prefix`, as its lines in translation.plain; false
    // when the heap is exhausted.
    bool MakeText(double value, bool angle, std::string_view prefix);
    double TextWidth() const;
    // Where the text goes: at point 11 where the user moved it there (128
    // in the type), or for a text whose place the user picks (radius,
    // diameter, ordinate); else where CAD programs put it.
    Qdxf_Coord TextPoint(const Qdxf_Coord &otherwise, bool picked = false) const {
        bool given = d_.textPlaced && (picked || (d_.type & 128));
        return given ? Flat(d_.point[1]) : Flat(otherwise);
    }
    double TextAngle(double along, bool inside) const {
        if (d_.textTurned) return Radians(d_.textAngle);
        Dim horizontal = inside ? Dim::kTextInsideHorizontal : Dim::kTextOutsideHorizontal;
        return style_.Int(horizontal) != 0 ? 0 : Readable(along);
    }
    // Where a text centred on the line sits off it: above it for DIMTAD.
    double TextLift() const { return style_.Int(Dim::kTextAbove) ? gap_ + textHeight_ / 2 : 0; }

    Sketch &sketch_;
    Translation &translation_;
    const DimStyle &style_;
    const Definition &d_;
    double z_;
    double arrowSize_, textHeight_, gap_;
    Arrowhead arrowhead_;
    int lineColor_, extensionColor_, textColor_;
};

bool Drawing::MakeText(double value, bool angle, std::string_view prefix) {
    rt::Scratch<char> &content = translation_.line;
    content.Clear();
    char digits[64];
    std::string_view number;
    if (angle) {
        int decimals = style_.Int(Dim::kAngleDecimals);
        if (decimals < 0) decimals = style_.Int(Dim::kDecimals);
        int zeros = style_.Int(Dim::kAngleZeros);
        number = FormatNumber(value * 180 / kPi, decimals,
                              (zeros & 1 ? 4 : 0) | (zeros & 2 ? 8 : 0), '.', digits);
    } else {
        double measured = value * style_[Dim::kLinearFactor];
        double rounding = style_[Dim::kRounding];
        if (rounding > 0 && std::isfinite(rounding))
            measured = std::round(measured / rounding) * rounding;
        int separator = style_.Int(Dim::kDecimalSeparator);
        number = FormatNumber(
            measured, style_.Int(Dim::kDecimals), style_.Int(Dim::kZeros),
            separator > 32 && separator < 127 ? static_cast<char>(separator) : '.', digits);
    }
    // The measurement, inside DIMPOST for lengths.
    rt::Scratch<char> &measurement = translation_.plain;
    measurement.Clear();
    std::string_view post = angle ? std::string_view() : style_.post;
    std::size_t slot = post.find("<>");
    std::string_view before =
        slot == std::string_view::npos ? std::string_view() : post.substr(0, slot);
    std::string_view after = slot == std::string_view::npos ? post : post.substr(slot + 2);
    if (!measurement.Append(prefix.data(), prefix.size()) ||
        !measurement.Append(before.data(), before.size()) ||
        !measurement.Append(number.data(), number.size()) ||
        !measurement.Append(after.data(), after.size()) || (angle && !measurement.Append("%%d", 3)))
        return false;

    // Group 1: "" the measurement, " " none, else the text with "<>" for it.
    std::string_view given = d_.text ? std::string_view(d_.text->text, d_.text->length) : "";
    if (given == " ")
        given = "";
    else if (given.empty())
        given = "<>";
    std::size_t at = given.find("<>");
    bool ok = at == std::string_view::npos
                  ? content.Append(given.data(), given.size())
                  : content.Append(given.data(), at) &&
                        content.Append(measurement.data(), measurement.size()) &&
                        content.Append(given.data() + at + 2, given.size() - at - 2);
    if (!ok) return false;
    measurement.Clear();
    return AppendPlainText(std::string_view(content.data(), content.size()), measurement);
}

double Drawing::TextWidth() const {
    const rt::Scratch<char> &plain = translation_.plain;
    std::string_view text(plain.data(), plain.size());
    double widest = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        widest = std::max(widest, TextAdvance(text.substr(0, end)));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return widest * textHeight_;
}

Outcome Drawing::Texts(const Qdxf_Coord &middle, double along, bool inside, bool picked) {
    Qdxf_Coord at = TextPoint(middle, picked);
    double angle = TextAngle(along, inside);
    const rt::Scratch<char> &plain = translation_.plain;
    std::string_view text(plain.data(), plain.size());
    std::size_t lines = 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    Qdxf_Coord up = Direction(angle + kPi / 2);
    double distance = textHeight_ * 5.0 / 3.0;
    for (std::size_t index = 0; !text.empty(); ++index) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        double lift =
            ((static_cast<double>(lines) - 1) / 2 - static_cast<double>(index)) * distance;
        if (!line.empty()) {
            Outcome outcome =
                sketch_.Text(line, vec::AddScaled(at, up, lift), textHeight_, angle, textColor_);
            if (outcome != Outcome::Done) return outcome;
        }
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return Outcome::Done;
}

Outcome Drawing::Extension(const Qdxf_Coord &origin, const Qdxf_Coord &foot, bool suppressed) {
    Qdxf_Coord unit;
    Qdxf_Coord v = vec::Sub(foot, origin);
    v.z = 0;
    if (suppressed || !vec::Normalize(v, &unit)) return Outcome::Done;
    double offset = style_.Scaled(Dim::kExtensionOffset);
    double beyond = style_.Scaled(Dim::kExtensionBeyond);
    return sketch_.Line(Flat(vec::AddScaled(origin, unit, offset)),
                        Flat(vec::AddScaled(foot, unit, beyond)), extensionColor_);
}

Outcome Drawing::DimensionLine(const Qdxf_Coord &a, const Qdxf_Coord &b, bool breakForText) {
    Qdxf_Coord u = Towards(a, b, {1, 0, 0});
    double length = vec::Distance(Flat(a), Flat(b));
    bool outside = arrowhead_ == Arrowhead::kClosedFilled && length < 2 * arrowSize_;
    Qdxf_Coord from = a, to = b;
    if (outside) {
        from = vec::AddScaled(a, u, -2 * arrowSize_);
        to = vec::AddScaled(b, u, 2 * arrowSize_);
    }
    // The text centred on the line breaks it where it sits.
    double cutFrom = 0, cutTo = 0;
    if (breakForText && style_.Int(Dim::kTextAbove) == 0) {
        Qdxf_Coord t = TextPoint(vec::Scale(vec::Add(a, b), 0.5));
        double offLine = std::fabs(Cross(u, vec::Sub(t, a)));
        if (offLine < textHeight_) {
            double angle = TextAngle(AngleOf(u), true) - AngleOf(u);
            double half = (std::fabs(TextWidth() * std::cos(angle)) +
                           std::fabs(textHeight_ * std::sin(angle))) /
                              2 +
                          gap_;
            double center = vec::Dot(vec::Sub(t, from), u);
            cutFrom = center - half;
            cutTo = center + half;
        }
    }
    double total = vec::Distance(Flat(from), Flat(to));
    auto piece = [&](double start, double end) {
        start = std::max(start, 0.0);
        end = std::min(end, total);
        if (!(end > start)) return Outcome::Done;
        return sketch_.Line(Flat(vec::AddScaled(from, u, start)),
                            Flat(vec::AddScaled(from, u, end)), lineColor_);
    };
    Outcome outcome = cutTo > cutFrom ? piece(0, cutFrom) : piece(0, total);
    if (outcome == Outcome::Done && cutTo > cutFrom) outcome = piece(cutTo, total);
    if (outcome != Outcome::Done) return outcome;
    Qdxf_Coord back = vec::Scale(u, -1);
    outcome = sketch_.Arrow(arrowhead_, Flat(a), outside ? u : back, arrowSize_, lineColor_);
    if (outcome != Outcome::Done) return outcome;
    return sketch_.Arrow(arrowhead_, Flat(b), outside ? back : u, arrowSize_, lineColor_);
}

Outcome Drawing::Linear(const Qdxf_Coord *at, bool aligned) {
    const Qdxf_Coord &first = at[3], &second = at[4], &onLine = at[0];
    Qdxf_Coord along = aligned ? Towards(first, second, {1, 0, 0}) : Direction(Radians(d_.angle));
    Qdxf_Coord square{-along.y, along.x, 0};
    Qdxf_Coord extension = square;
    if (d_.oblique != 0) {
        Qdxf_Coord oblique = Direction(Radians(d_.oblique));
        if (std::fabs(Cross(oblique, along)) > 1e-9) extension = oblique;
    }
    // The feet of the extension lines on the dimension line.
    auto foot = [&](const Qdxf_Coord &origin) {
        double t = Cross(vec::Sub(onLine, origin), along) / Cross(extension, along);
        return vec::AddScaled(origin, extension, t);
    };
    Qdxf_Coord a = foot(first), b = foot(second);
    // The text first: its width breaks the line.
    if (!MakeText(std::fabs(vec::Dot(vec::Sub(b, a), along)), false, "")) return Outcome::NoMemory;
    Outcome outcome = Extension(first, a, style_.Int(Dim::kSuppressFirst) != 0);
    if (outcome == Outcome::Done)
        outcome = Extension(second, b, style_.Int(Dim::kSuppressSecond) != 0);
    if (outcome == Outcome::Done) outcome = DimensionLine(a, b, true);
    if (outcome != Outcome::Done) return outcome;
    Qdxf_Coord middle = vec::Scale(vec::Add(a, b), 0.5);
    double textAlong = Readable(AngleOf(along));
    Qdxf_Coord up = Direction(textAlong + kPi / 2);
    double measure = vec::Dot(vec::Sub(TextPoint(middle), a), Towards(a, b, along));
    bool inside = measure >= 0 && measure <= vec::Distance(a, b);
    return Texts(vec::AddScaled(middle, up, TextLift()), AngleOf(along), inside);
}

Outcome Drawing::Angular(const Qdxf_Coord *at, bool threePoint) {
    Qdxf_Coord center, arcPoint;
    // Each side of the angle: a line on it, as two points.
    Qdxf_Coord side[2][2];
    if (threePoint) {
        center = at[5];
        arcPoint = at[0];
        side[0][0] = side[0][1] = at[3];
        side[1][0] = side[1][1] = at[4];
    } else {
        side[0][0] = at[3];
        side[0][1] = at[4];
        side[1][0] = at[0];
        side[1][1] = at[5];
        arcPoint = at[6];
        Qdxf_Coord d1 = vec::Sub(side[0][1], side[0][0]), d2 = vec::Sub(side[1][1], side[1][0]);
        double denominator = Cross(d1, d2);
        if (!(std::fabs(denominator) > 0)) return Outcome::Invalid;  // parallel lines
        double t = Cross(vec::Sub(side[1][0], side[0][0]), d2) / denominator;
        center = vec::AddScaled(side[0][0], d1, t);
    }
    center = Flat(center);
    double radius = vec::Distance(center, Flat(arcPoint));
    double through = AngleOf(vec::Sub(arcPoint, center));
    // The rays the sides lie on and the one of each that bounds the angle
    // holding the arc's point.
    double ray[2];
    for (int i = 0; i < 2; ++i) {
        const Qdxf_Coord &far =
            vec::Distance(side[i][1], center) > vec::Distance(side[i][0], center) ? side[i][1]
                                                                                  : side[i][0];
        ray[i] = AngleOf(vec::Sub(far, center));
    }
    double start, end;
    if (threePoint) {
        bool forward = Sweep(ray[0], through) <= Sweep(ray[0], ray[1]);
        start = forward ? ray[0] : ray[1];
        end = forward ? ray[1] : ray[0];
    } else {
        // Of the four rays of the two lines, the two about the point.
        double before = 2 * kPi, after = 2 * kPi;
        for (double r : {ray[0], ray[0] + kPi, ray[1], ray[1] + kPi}) {
            before = std::min(before, Sweep(r, through));
            if (Sweep(through, r) > 0) after = std::min(after, Sweep(through, r));
        }
        start = through - before;
        end = through + after;
    }
    double sweep = Sweep(start, end);
    if (!(radius > 0) || !std::isfinite(radius) || !(sweep > 0)) return Outcome::Invalid;

    // Extension lines from the sides to the arc where it passes beyond them:
    // each bounding ray has the side whose ray it is, or is opposite to.
    Dim suppress[2] = {Dim::kSuppressFirst, Dim::kSuppressSecond};
    for (double angle : {start, end}) {
        int i = std::fabs(std::sin(angle - ray[0])) <= std::fabs(std::sin(angle - ray[1])) ? 0 : 1;
        if (threePoint) i = angle == ray[0] ? 0 : 1;
        Qdxf_Coord u = Direction(angle);
        // The side's span along the bounding ray.
        double low = HUGE_VAL, high = -HUGE_VAL;
        for (const Qdxf_Coord &p : side[i]) {
            double along = vec::Dot(vec::Sub(Flat(p), center), u);
            low = std::min(low, along);
            high = std::max(high, along);
        }
        if (style_.Int(suppress[i]) || (radius >= low && radius <= high)) continue;
        double offset = style_.Scaled(Dim::kExtensionOffset);
        double beyond = style_.Scaled(Dim::kExtensionBeyond);
        double from = radius > high ? std::max(high, 0.0) + offset : low - offset;
        double to = radius > high ? radius + beyond : radius - beyond;
        Outcome outcome = sketch_.Line(vec::AddScaled(center, u, from),
                                       vec::AddScaled(center, u, to), extensionColor_);
        if (outcome != Outcome::Done) return outcome;
    }
    Outcome outcome = sketch_.Arc(center, radius, start, end, lineColor_);
    if (outcome != Outcome::Done) return outcome;
    // Each arrowhead along the chord from its tip to where its base meets
    // the arc, inside the arc or, when it is too short, outside.
    bool outside = arrowhead_ == Arrowhead::kClosedFilled && radius * sweep < 2 * arrowSize_;
    auto tip = [&](double angle) { return vec::AddScaled(center, Direction(angle), radius); };
    double turn = (outside ? -1 : 1) * std::min(arrowSize_ / radius, kPi / 2);
    for (double angle : {start, end}) {
        double base = angle == start ? start + turn : end - turn;
        Qdxf_Coord direction = Towards(tip(base), tip(angle), Direction(angle + kPi / 2));
        outcome = sketch_.Arrow(arrowhead_, tip(angle), direction, arrowSize_, lineColor_);
        if (outcome != Outcome::Done) return outcome;
    }

    if (!MakeText(sweep, true, "")) return Outcome::NoMemory;
    double middle = start + sweep / 2;
    Qdxf_Coord textPoint = TextPoint(tip(middle));
    bool inside = Sweep(start, AngleOf(vec::Sub(textPoint, center))) <= sweep;
    return Texts(vec::AddScaled(center, Direction(middle), radius + TextLift()), middle + kPi / 2,
                 inside);
}

Outcome Drawing::Radial(const Qdxf_Coord *at, bool diameter) {
    Qdxf_Coord first = Flat(at[5]), second = Flat(at[0]);
    Qdxf_Coord center = diameter ? vec::Scale(vec::Add(first, second), 0.5) : second;
    double radius = vec::Distance(first, center);
    Qdxf_Coord u = Towards(center, first, {1, 0, 0});  // from the centre out to point 15
    if (!MakeText(diameter ? 2 * radius : radius, false, diameter ? "%%c" : "R"))
        return Outcome::NoMemory;
    Qdxf_Coord textPoint = TextPoint(vec::AddScaled(center, u, diameter ? 0 : radius / 2), true);
    double textDistance = vec::Distance(textPoint, center);
    bool inside = textDistance <= radius;
    Outcome outcome = sketch_.Line(diameter ? second : center, first, lineColor_);
    if (outcome != Outcome::Done) return outcome;
    // A text outside: a line from the circle out to it, the arrowhead
    // outside pointing in.
    if (!inside) {
        bool nearFirst = !diameter || vec::Dot(vec::Sub(textPoint, center), u) >= 0;
        Qdxf_Coord out = nearFirst ? u : vec::Scale(u, -1);
        Qdxf_Coord rim = vec::AddScaled(center, out, radius);
        // Up to the text, or on under it when it sits above the line.
        double along = vec::Dot(vec::Sub(textPoint, center), out);
        double reach =
            style_.Int(Dim::kTextAbove) ? along + TextWidth() / 2 : along - TextWidth() / 2 - gap_;
        if (reach > radius + arrowSize_) {
            outcome = sketch_.Line(vec::AddScaled(rim, out, arrowSize_),
                                   vec::AddScaled(center, out, reach), lineColor_);
        }
        if (outcome == Outcome::Done)
            outcome = sketch_.Arrow(arrowhead_, rim, vec::Scale(out, -1), arrowSize_, lineColor_);
        if (outcome == Outcome::Done && diameter)
            outcome = sketch_.Arrow(arrowhead_, vec::AddScaled(center, out, -radius),
                                    vec::Scale(out, -1), arrowSize_, lineColor_);
    } else {
        outcome = sketch_.Arrow(arrowhead_, first, u, arrowSize_, lineColor_);
        if (outcome == Outcome::Done && diameter)
            outcome = sketch_.Arrow(arrowhead_, second, vec::Scale(u, -1), arrowSize_, lineColor_);
    }
    if (outcome != Outcome::Done) return outcome;
    return Texts(textPoint, AngleOf(u), inside, true);
}

Outcome Drawing::Ordinate(const Qdxf_Coord *at) {
    const Qdxf_Coord origin = at[0], feature = Flat(at[3]), end = Flat(at[4]);
    bool xOrdinate = (d_.type & 64) != 0;
    Qdxf_Coord axis = xOrdinate ? Qdxf_Coord{0, 1, 0} : Qdxf_Coord{1, 0, 0};
    double rise = vec::Dot(vec::Sub(end, feature), axis);
    double sign = rise < 0 ? -1 : 1;
    Qdxf_Coord start = vec::AddScaled(feature, axis, sign * style_.Scaled(Dim::kExtensionOffset));
    double aside = xOrdinate ? end.x - feature.x : end.y - feature.y;
    // The text goes on from the leader's end, beside the leader (which runs
    // on under it) when it sits above the line.
    bool above = style_.Int(Dim::kTextAbove) != 0;
    double value = xOrdinate ? feature.x - origin.x : feature.y - origin.y;
    if (!MakeText(std::fabs(value), false, "")) return Outcome::NoMemory;
    Qdxf_Coord last = above ? vec::AddScaled(end, axis, sign * TextWidth()) : end;
    Qdxf_Coord points[4] = {start, last, last, last};
    int count = 2;
    if (std::fabs(aside) > 1e-9 * (1 + std::fabs(rise))) {
        points[1] = vec::AddScaled(feature, axis, rise - sign * 4 * arrowSize_);
        points[2] = vec::AddScaled(end, axis, -sign * 2 * arrowSize_);
        count = 4;
    }
    for (int i = 1; i < count; ++i) {
        Outcome outcome = sketch_.Line(points[i - 1], points[i], extensionColor_);
        if (outcome != Outcome::Done) return outcome;
    }
    double along = AngleOf(axis) + (sign < 0 ? kPi : 0);
    Qdxf_Coord beyond = vec::AddScaled(end, axis, sign * (TextWidth() / 2 + (above ? 0 : gap_)));
    if (above) beyond = vec::AddScaled(beyond, Direction(Readable(along) + kPi / 2), TextLift());
    return Texts(beyond, along, false, true);
}

}  // namespace

Outcome DrawDimension(Context &context) {
    Translation &translation = context.translation();
    Definition d = ReadDefinition(context.groups);
    DimStyle style = translation.styles.Resolve(d.style ? d.style->text : nullptr, context.groups);
    Ocs ocs;
    if (!MakeOcs(translation.extrusion, &ocs))
        return context.Invalid("an extrusion direction without length");
    // Every point in the coordinate system of the extrusion.
    Qdxf_Coord at[7];
    for (int i = 0; i < 7; ++i) {
        const Qdxf_Coord &p = d.point[i];
        bool world = i == 0 || (i >= 3 && i <= 5);
        at[i] = world ? Qdxf_Coord{vec::Dot(p, ocs.x), vec::Dot(p, ocs.y), vec::Dot(p, ocs.z)} : p;
    }
    Sketch sketch(context);
    if (!sketch.InPlane(translation.extrusion)) return Outcome::Invalid;
    Drawing drawing(sketch, translation, style, d, at[0].z);
    Outcome outcome;
    switch (d.type & 7) {
        case 0:
        case 1:
            outcome = drawing.Linear(at, (d.type & 7) == 1);
            break;
        case 2:
        case 5:
            outcome = drawing.Angular(at, (d.type & 7) == 5);
            break;
        case 3:
        case 4:
            outcome = drawing.Radial(at, (d.type & 7) == 3);
            break;
        case 6:
            outcome = drawing.Ordinate(at);
            break;
        default:
            return context.Invalid("a dimension of an unknown type");
    }
    if (outcome == Outcome::Invalid && !context.why)
        context.why = "definition points that make no dimension";
    return outcome == Outcome::Done ? sketch.Finish() : outcome;
}

}  // namespace vexlith::translate
