// SPDX-License-Identifier: MIT
// Object coordinate systems, and circular and elliptic arcs flattened with a
// segment count worked out from the tolerance: a chord of angle θ on a circle
// of radius r stays within r (1 - cos(θ/2)) of it.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "translate/geometry.h"
#include "translate/vector.h"

namespace vexlith::translate {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kDefaultRelativeTolerance = 1e-4;
constexpr double kMinSegmentsPerTurn = 8;
// A sweep this close to a whole, non-zero number of turns is a full turn: a
// full ellipse from 0 to 2π written with 7 decimals ends just past 2π.
constexpr double kFullTurnSlack = 1e-6;
// A ratio this close to 1 (rounding in the writer) makes a circle.
constexpr double kCircularSlack = 1e-9;

// The angle from `start` to `end` counterclockwise, in (0, 2π].
double Sweep(double start, double end) {
    double difference = end - start;
    double sweep = std::fmod(difference, kTwoPi);
    if (sweep < 0) sweep += kTwoPi;
    if (sweep == 0 || (sweep <= kFullTurnSlack && std::fabs(difference) > kPi)) return kTwoPi;
    return sweep;
}

bool IsFullTurn(double start, double end) {
    return Sweep(start, end) == kTwoPi;
}

// An angle in [0, 2π).
double NormalAngle(double angle) {
    double normal = std::fmod(angle, kTwoPi);
    if (normal < 0) normal += kTwoPi;
    return normal < kTwoPi ? normal : 0;
}

// The segments of `sweep` radians of a circle of `radius`: within `tolerance`,
// at least 8 a full turn and 1 in all, at most the cap.
std::size_t ArcSegments(double radius, double sweep, double tolerance) {
    double count = std::ceil(kMinSegmentsPerTurn * sweep / kTwoPi - 1e-9);
    if (tolerance < radius) {
        // 1 - cos(θ/2) = 2 sin²(θ/4): exact for the tiny ratios where the
        // cosine form rounds to 0.
        double step = 4 * std::asin(std::sqrt(tolerance / (2 * radius)));
        count = std::max(count, std::ceil(sweep / step));
    }
    if (!(count >= 1)) return 1;
    return count < static_cast<double>(kMaxCurveSegments) ? static_cast<std::size_t>(count)
                                                          : kMaxCurveSegments;
}

// The largest extent of an arc of `sweep` radians.
double ArcExtent(double radius, double sweep) {
    return sweep >= kPi ? 2 * radius : 2 * radius * std::sin(sweep / 2);
}

bool Finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// Appends the points of a curve at `count` + 1 parameters, the last one
// computed at `end` itself; all or none.
template <typename PointAt>
Outcome AppendCurve(double start, double sweep, double end, std::size_t count, PointAt pointAt,
                    Points &out) {
    std::size_t mark = out.size();
    for (std::size_t i = 0; i <= count; ++i) {
        double parameter =
            i == count ? end : start + sweep * static_cast<double>(i) / static_cast<double>(count);
        Qdxf_Coord point = pointAt(parameter);
        if (!vec::IsFinite(point)) {
            out.Truncate(mark);
            return Outcome::Invalid;
        }
        if (!out.Append(point)) {
            out.Truncate(mark);
            return Outcome::NoMemory;
        }
    }
    return Outcome::Done;
}

}  // namespace

double GroupNumber(const EntityGroup &group) {
    if (group.kind == QDXF_VALUE_REAL) return group.real;
    if (group.kind == QDXF_VALUE_INT) return group.integer;
    if (group.text && group.length > 0) return ParseReal(group.text, group.text + group.length);
    return std::numeric_limits<double>::quiet_NaN();
}

double CurveTolerance(double requested, double curveSize) {
    if (requested > 0) return requested;
    double size = curveSize > 0 && std::isfinite(curveSize) ? curveSize : 0;
    return std::max(size * kDefaultRelativeTolerance, std::numeric_limits<double>::min());
}

bool MakeOcs(const Qdxf_Coord &extrusion, Ocs *ocs) {
    Qdxf_Coord z;
    if (!vec::Normalize(extrusion, &z)) return false;
    // The arbitrary axis algorithm of the DXF reference.
    constexpr double kArbitraryBound = 1.0 / 64;
    Qdxf_Coord world = std::fabs(z.x) < kArbitraryBound && std::fabs(z.y) < kArbitraryBound
                           ? Qdxf_Coord{0, 1, 0}
                           : Qdxf_Coord{0, 0, 1};
    Qdxf_Coord x, y;
    if (!vec::Normalize(vec::Cross(world, z), &x) || !vec::Normalize(vec::Cross(z, x), &y)) {
        return false;
    }
    *ocs = {x, y, z};
    return true;
}

Qdxf_Coord ToWorld(const Ocs &ocs, const Qdxf_Coord &point) {
    return vec::AddScaled(vec::AddScaled(vec::Scale(ocs.x, point.x), ocs.y, point.y), ocs.z,
                          point.z);
}

Outcome FlattenArc(const Qdxf_Coord &center, double radius, double start, double end,
                   double tolerance, Points &out) {
    if (!vec::IsFinite(center) || !Finite({radius, start, end}) || radius < 0) {
        return Outcome::Invalid;
    }
    double sweep = Sweep(start, end);
    double limit = CurveTolerance(tolerance, ArcExtent(radius, sweep));
    auto pointAt = [&](double angle) {
        return Qdxf_Coord{center.x + radius * std::cos(angle), center.y + radius * std::sin(angle),
                          center.z};
    };
    return AppendCurve(start, sweep, end, ArcSegments(radius, sweep, limit), pointAt, out);
}

Outcome FlattenBulge(const Qdxf_Coord &from, const Qdxf_Coord &to, double bulge, double tolerance,
                     Points &out) {
    if (!vec::IsFinite(from) || !vec::IsFinite(to) || !std::isfinite(bulge)) {
        return Outcome::Invalid;
    }
    double dx = to.x - from.x, dy = to.y - from.y;
    double chord = std::hypot(dx, dy);
    if (bulge == 0 || !(chord > 0)) {
        return out.Append(to) ? Outcome::Done : Outcome::NoMemory;
    }
    // bulge = tan(θ/4), θ the included angle, counterclockwise when positive;
    // the centre lies left of the chord by (1/b - b)/4 chords.
    double offset = (1 / bulge - bulge) / 4;
    double cx = (from.x + to.x) / 2 - dy * offset;
    double cy = (from.y + to.y) / 2 + dx * offset;
    double radius = chord * (1 / std::fabs(bulge) + std::fabs(bulge)) / 4;
    double included = 4 * std::atan(bulge);
    double sweep = std::fabs(included);
    double first = std::atan2(from.y - cy, from.x - cx);
    double limit = CurveTolerance(tolerance, std::max(chord, ArcExtent(radius, sweep)));
    std::size_t count = ArcSegments(radius, sweep, limit);
    std::size_t mark = out.size();
    for (std::size_t i = 1; i <= count; ++i) {
        double fraction = static_cast<double>(i) / static_cast<double>(count);
        double angle = first + included * fraction;
        Qdxf_Coord point =
            i == count ? to
                       : Qdxf_Coord{cx + radius * std::cos(angle), cy + radius * std::sin(angle),
                                    from.z + (to.z - from.z) * fraction};
        if (!vec::IsFinite(point)) {
            out.Truncate(mark);
            return Outcome::Invalid;
        }
        if (!out.Append(point)) {
            out.Truncate(mark);
            return Outcome::NoMemory;
        }
    }
    return Outcome::Done;
}

Outcome FlattenEllipse(const Qdxf_Coord &center, const Qdxf_Coord &majorAxis,
                       const Qdxf_Coord &normal, double ratio, double start, double end,
                       double tolerance, Points &out) {
    Qdxf_Coord unitNormal, minorDirection;
    if (!vec::IsFinite(center) || !vec::IsFinite(majorAxis) || !Finite({ratio, start, end}) ||
        !(ratio > 0) || !vec::Normalize(normal, &unitNormal) ||
        !vec::Normalize(vec::Cross(unitNormal, majorAxis), &minorDirection)) {
        return Outcome::Invalid;
    }
    double major = vec::Length(majorAxis);
    Qdxf_Coord minorAxis = vec::Scale(minorDirection, major * ratio);
    // An ellipse is its major circle squeezed along the minor axis: the
    // squeeze brings no point farther from its chord, so the circle's
    // segment count at equal parameter steps holds for the ellipse.
    double largest = major * std::max(1.0, ratio);
    double sweep = Sweep(start, end);
    double limit = CurveTolerance(tolerance, 2 * largest);
    auto pointAt = [&](double parameter) {
        return vec::AddScaled(vec::AddScaled(center, majorAxis, std::cos(parameter)), minorAxis,
                              std::sin(parameter));
    };
    return AppendCurve(start, sweep, end, ArcSegments(largest, sweep, limit), pointAt, out);
}

Outcome TranslateEllipse(Groups groups, double tolerance, CircularShape *circular, Points &out,
                         const char **why) {
    Qdxf_Coord center{}, majorAxis{}, normal{0, 0, 1};
    double ratio = 1, start = 0, end = kTwoPi;
    for (const EntityGroup &group : groups) {
        double value = GroupNumber(group);
        switch (group.code) {
            case 10:
                center.x = value;
                break;
            case 20:
                center.y = value;
                break;
            case 30:
                center.z = value;
                break;
            case 11:
                majorAxis.x = value;
                break;
            case 21:
                majorAxis.y = value;
                break;
            case 31:
                majorAxis.z = value;
                break;
            case 40:
                ratio = value;
                break;
            case 41:
                start = value;
                break;
            case 42:
                end = value;
                break;
            case 210:
                normal.x = value;
                break;
            case 220:
                normal.y = value;
                break;
            case 230:
                normal.z = value;
                break;
            default:
                break;
        }
    }
    *circular = {};
    Ocs ocs;
    Qdxf_Coord unitMajor;
    if (!vec::IsFinite(center) || !vec::IsFinite(majorAxis) || !vec::IsFinite(normal) ||
        !Finite({ratio, start, end})) {
        *why = "NaN or infinity in its data";
        return Outcome::Invalid;
    }
    if (!vec::Normalize(majorAxis, &unitMajor)) {
        *why = "zero major axis";
        return Outcome::Invalid;
    }
    if (!MakeOcs(normal, &ocs)) {
        *why = "zero normal";
        return Outcome::Invalid;
    }
    if (!(ratio > 0)) {
        *why = "axis ratio not positive";
        return Outcome::Invalid;
    }
    if (vec::Length(vec::Cross(ocs.z, unitMajor)) <= kCircularSlack) {
        *why = "major axis along the normal";
        return Outcome::Invalid;
    }
    if (std::fabs(ratio - 1) <= kCircularSlack &&
        std::fabs(vec::Dot(unitMajor, ocs.z)) <= kCircularSlack) {
        // In the plane's own system the major axis is at angle φ and the
        // minor one at φ + 90°, so parameter t is the angle φ + t.
        double axisAngle = std::atan2(vec::Dot(unitMajor, ocs.y), vec::Dot(unitMajor, ocs.x));
        *circular = {
            .isCircular = true,
            .fullCircle = IsFullTurn(start, end),
            .center = {vec::Dot(center, ocs.x), vec::Dot(center, ocs.y), vec::Dot(center, ocs.z)},
            .extrusion = ocs.z,
            .radius = vec::Length(majorAxis),
            .startAngle = NormalAngle(axisAngle + start),
            .endAngle = NormalAngle(axisAngle + end),
        };
        return Outcome::Done;
    }
    Outcome outcome = FlattenEllipse(center, majorAxis, normal, ratio, start, end, tolerance, out);
    if (outcome == Outcome::Invalid) *why = "coordinates out of range";
    return outcome;
}

}  // namespace vexlith::translate
