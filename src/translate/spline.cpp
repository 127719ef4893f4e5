// SPDX-License-Identifier: MIT
// Splines: NURBS curves flattened span by span, and the cubic curve through
// fit points that CAD programs make.
//
// Each knot span of a NURBS curve is taken out as a rational Bézier curve
// (two rounds of the de Boor triangle, in homogeneous coordinates) and split
// in halves until the control points of every piece lie within the tolerance
// of its chord: with positive weights a piece lies in the hull of its control
// points, so the chord is then within the tolerance of the curve. The work is
// linear in the control points: a bounded amount per span.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "translate/geometry.h"
#include "translate/vector.h"

namespace vexlith::translate {

namespace {

// Halvings of one span: far more than a tolerance above rounding needs.
constexpr int kMaxDepth = 20;
// When the tolerance would need more segments than the cap, it is widened
// this much, up to so many times, before the spans are sampled evenly.
constexpr double kWidening = 16;
constexpr int kWidenings = 3;

constexpr const char *kNotFinite = "NaN or infinity in its data";

struct Homogeneous {
    double x, y, z, w;
};

Homogeneous Mix(const Homogeneous &a, const Homogeneous &b, double t) {
    double s = 1 - t;
    return {s * a.x + t * b.x, s * a.y + t * b.y, s * a.z + t * b.z, s * a.w + t * b.w};
}

Qdxf_Coord Project(const Homogeneous &h) {
    return {h.x / h.w, h.y / h.w, h.z / h.w};
}

using Polygon = std::array<Homogeneous, kMaxSplineDegree + 1>;

// One de Boor triangle at `t` in place over the degree + 1 points of a span
// and its 2 * degree knots around it: afterwards points[r] is the point of
// level r on the triangle's left edge; `rightEdge`, when given, receives
// those of its right edge.
void DeBoorTriangle(Homogeneous *points, const double *knots, int degree, double t,
                    Homogeneous *rightEdge) {
    if (rightEdge) rightEdge[0] = points[degree];
    for (int r = 1; r <= degree; ++r) {
        for (int k = degree; k >= r; --k) {
            double low = knots[k - 1], high = knots[k + degree - r];
            points[k] = Mix(points[k - 1], points[k], (t - low) / (high - low));
        }
        if (rightEdge) rightEdge[r] = points[degree];
    }
}

// A validated NURBS curve.
struct Curve {
    int degree;
    std::size_t count;  // control points
    const Qdxf_Coord *control;
    const double *weights;  // null: all 1
    const double *knots;

    // Span `span` (knots[span] < knots[span + 1]) as a rational Bézier curve
    // of degree + 1 points.
    void SpanBezier(std::size_t span, Homogeneous *bezier) const {
        Polygon edge;
        std::size_t first = span - static_cast<std::size_t>(degree);
        for (int k = 0; k <= degree; ++k) {
            const Qdxf_Coord &p = control[first + static_cast<std::size_t>(k)];
            double w = weights ? weights[first + static_cast<std::size_t>(k)] : 1;
            bezier[k] = {p.x * w, p.y * w, p.z * w, w};
        }
        double start = knots[span], end = knots[span + 1];
        // Inserting the start `degree` times leaves the right edge as the
        // control points of the curve from the start on, over the knots
        // start (degree times) and those after the span; inserting the end
        // into those leaves the Bézier points on the left edge.
        DeBoorTriangle(bezier, knots + first + 1, degree, start, edge.data());
        std::array<double, 2 * kMaxSplineDegree> after;
        for (int k = 0; k < degree; ++k) {
            after[static_cast<std::size_t>(k)] = start;
            after[static_cast<std::size_t>(degree + k)] =
                knots[span + 1 + static_cast<std::size_t>(k)];
        }
        for (int k = 0; k <= degree; ++k)
            bezier[k] = edge[static_cast<std::size_t>(degree - k)];
        DeBoorTriangle(bezier, after.data(), degree, end, nullptr);
    }
};

enum class Step { Done, Overflow, NotFinite, NoMemory };

// Appends the points of Bézier pieces after their first within the tolerance,
// failing once more than `budget` segments are appended.
class BezierFlattener {
public:
    BezierFlattener(int degree, double tolerance, std::size_t budget, Homogeneous *pending,
                    Points &out)
        : degree_(degree), tolerance_(tolerance), budget_(budget), pending_(pending), out_(out) {}

    // The first point, then the end of each segment.
    Step Append(const Qdxf_Coord &point) {
        if (!vec::IsFinite(point)) return Step::NotFinite;
        if (!out_.Append(point)) return Step::NoMemory;
        if (!started_) {
            started_ = true;
            return Step::Done;
        }
        return ++segments_ > budget_ ? Step::Overflow : Step::Done;
    }

    // Flattens `piece` (degree + 1 points, overwritten). The right halves
    // wait in `pending`, one slot per depth: they are taken deepest first.
    Step Flatten(Homogeneous *piece) {
        std::array<int, kMaxDepth + 1> waiting;
        int waitingCount = 0, depth = 0;
        for (;;) {
            if (depth == kMaxDepth || IsFlat(piece)) {
                Step step = Append(Project(piece[degree_]));
                if (step != Step::Done) return step;
                if (waitingCount == 0) return Step::Done;
                depth = waiting[static_cast<std::size_t>(--waitingCount)];
                std::copy_n(Slot(depth), degree_ + 1, piece);
                continue;
            }
            ++depth;
            Split(piece, Slot(depth));
            waiting[static_cast<std::size_t>(waitingCount++)] = depth;
        }
    }

private:
    Homogeneous *Slot(int depth) { return pending_ + depth * (degree_ + 1); }

    // de Casteljau at the middle: `piece` keeps the first half, `right`
    // receives the second.
    void Split(Homogeneous *piece, Homogeneous *right) const {
        std::copy_n(piece, degree_ + 1, right);
        for (int r = 1; r <= degree_; ++r) {
            for (int k = 0; k <= degree_ - r; ++k)
                right[k] = Mix(right[k], right[k + 1], 0.5);
            piece[r] = right[0];
        }
    }

    // Every control point within the tolerance of the chord; false for NaN.
    bool IsFlat(const Homogeneous *piece) const {
        Qdxf_Coord a = Project(piece[0]);
        Qdxf_Coord chord = vec::Sub(Project(piece[degree_]), a);
        double chordSquared = vec::Dot(chord, chord);
        for (int k = 1; k < degree_; ++k) {
            Qdxf_Coord offset = vec::Sub(Project(piece[k]), a);
            double along = chordSquared > 0 ? vec::Dot(offset, chord) / chordSquared : 0;
            along = std::clamp(along, 0.0, 1.0);
            Qdxf_Coord away = vec::AddScaled(offset, chord, -along);
            if (!(vec::Dot(away, away) <= tolerance_ * tolerance_)) return false;
        }
        return true;
    }

    int degree_;
    double tolerance_;
    std::size_t budget_;
    Homogeneous *pending_;
    Points &out_;
    std::size_t segments_ = 0;
    bool started_ = false;
};

std::size_t NextSpan(const Curve &curve, std::size_t span) {
    while (span < curve.count && !(curve.knots[span] < curve.knots[span + 1]))
        ++span;
    return span;
}

Step FlattenAdaptively(const Curve &curve, double tolerance, Homogeneous *pending, Points &out) {
    BezierFlattener flattener(curve.degree, tolerance, kMaxCurveSegments, pending, out);
    Polygon piece;
    std::size_t span = NextSpan(curve, static_cast<std::size_t>(curve.degree));
    curve.SpanBezier(span, piece.data());
    if (Step step = flattener.Append(Project(piece[0])); step != Step::Done) return step;
    for (; span < curve.count; span = NextSpan(curve, span + 1)) {
        curve.SpanBezier(span, piece.data());
        if (Step step = flattener.Flatten(piece.data()); step != Step::Done) return step;
    }
    return Step::Done;
}

// The cap's share of segments for each span at even steps of its parameter;
// with more spans than the cap only some span ends.
Step SampleEvenly(const Curve &curve, std::size_t spans, Points &out) {
    BezierFlattener flattener(curve.degree, 0, kMaxCurveSegments, nullptr, out);
    Polygon piece, scratch;
    std::size_t span = NextSpan(curve, static_cast<std::size_t>(curve.degree));
    curve.SpanBezier(span, piece.data());
    if (Step step = flattener.Append(Project(piece[0])); step != Step::Done) return step;
    for (std::size_t index = 0; span < curve.count; span = NextSpan(curve, span + 1), ++index) {
        std::size_t share =
            (index + 1) * kMaxCurveSegments / spans - index * kMaxCurveSegments / spans;
        if (share == 0) continue;
        curve.SpanBezier(span, piece.data());
        for (std::size_t i = 1; i <= share; ++i) {
            Homogeneous point = piece[static_cast<std::size_t>(curve.degree)];
            if (i < share) {
                // de Casteljau at the fraction i / share.
                double t = static_cast<double>(i) / static_cast<double>(share);
                std::copy_n(piece.begin(), curve.degree + 1, scratch.begin());
                for (int r = 1; r <= curve.degree; ++r) {
                    for (int k = 0; k <= curve.degree - r; ++k) {
                        auto at = static_cast<std::size_t>(k);
                        scratch[at] = Mix(scratch[at], scratch[at + 1], t);
                    }
                }
                point = scratch[0];
            }
            if (Step step = flattener.Append(Project(point)); step != Step::Done) return step;
        }
    }
    return Step::Done;
}

const char *CheckNurbs(const Nurbs &curve) {
    std::size_t count = curve.control.size();
    if (curve.degree < 1 || curve.degree > kMaxSplineDegree) return "degree out of range";
    auto degree = static_cast<std::size_t>(curve.degree);
    if (count < degree + 1) return "too few control points";
    if (curve.knots.size() != count + degree + 1) return "knot vector does not fit";
    if (!curve.weights.empty() && curve.weights.size() != count) {
        return "weights do not fit the control points";
    }
    for (const Qdxf_Coord &point : curve.control) {
        if (!vec::IsFinite(point)) return kNotFinite;
    }
    for (double weight : curve.weights) {
        if (!std::isfinite(weight)) return kNotFinite;
        if (!(weight > 0)) return "weight not positive";
    }
    for (std::size_t i = 0; i < curve.knots.size(); ++i) {
        if (!std::isfinite(curve.knots[i])) return kNotFinite;
        if (i > 0 && curve.knots[i] < curve.knots[i - 1]) return "knots decrease";
    }
    if (!std::isfinite(curve.knots.back() - curve.knots.front())) return "knots out of range";
    if (!(curve.knots[degree] < curve.knots[count])) return "knot vector does not fit";
    return nullptr;
}

}  // namespace

Outcome FlattenNurbs(const Nurbs &nurbs, double tolerance, Points &out, const char **why) {
    if (const char *fault = CheckNurbs(nurbs)) {
        *why = fault;
        return Outcome::Invalid;
    }
    Curve curve{nurbs.degree, nurbs.control.size(), nurbs.control.data(),
                nurbs.weights.empty() ? nullptr : nurbs.weights.data(), nurbs.knots.data()};
    std::size_t spans = 0;
    for (std::size_t span = NextSpan(curve, static_cast<std::size_t>(curve.degree));
         span < curve.count; span = NextSpan(curve, span + 1)) {
        ++spans;
    }
    std::size_t mark = out.size();
    Step step = Step::Overflow;
    if (spans <= kMaxCurveSegments) {
        auto slots = static_cast<std::size_t>((kMaxDepth + 1) * (curve.degree + 1));
        rt::Owned<Homogeneous[]> pending(rt::NewArray<Homogeneous>(slots));
        if (!pending) return Outcome::NoMemory;
        double limit = CurveTolerance(tolerance, vec::Extent(nurbs.control));
        for (int attempt = 0; attempt <= kWidenings && step == Step::Overflow; ++attempt) {
            out.Truncate(mark);
            step = FlattenAdaptively(curve, limit, pending.get(), out);
            limit *= kWidening;
        }
    }
    if (step == Step::Overflow) {
        out.Truncate(mark);
        step = SampleEvenly(curve, spans, out);
    }
    switch (step) {
        case Step::Done:
            return Outcome::Done;
        case Step::NoMemory:
            out.Truncate(mark);
            return Outcome::NoMemory;
        default:
            out.Truncate(mark);
            *why = "coordinates out of range";
            return Outcome::Invalid;
    }
}

namespace {

// Solves the tridiagonal system sub[k] x[k-1] + diagonal[k] x[k] +
// super[k] x[k+1] = rhs[k] (the solution replaces rhs); `work` holds n
// numbers. The systems here are diagonally dominant: no pivoting needed.
void SolveTridiagonal(const double *sub, const double *diagonal, const double *super,
                      Qdxf_Coord *rhs, double *work, std::size_t n) {
    work[0] = super[0] / diagonal[0];
    rhs[0] = vec::Scale(rhs[0], 1 / diagonal[0]);
    for (std::size_t k = 1; k < n; ++k) {
        double pivot = diagonal[k] - sub[k] * work[k - 1];
        work[k] = super[k] / pivot;
        rhs[k] = vec::Scale(vec::AddScaled(rhs[k], rhs[k - 1], -sub[k]), 1 / pivot);
    }
    for (std::size_t k = n - 1; k-- > 0;)
        rhs[k] = vec::AddScaled(rhs[k], rhs[k + 1], -work[k]);
}

// The tangent direction at the first of `points` (at least three, taken by
// `at`) by the five-point estimate CAD programs use (Akima's weighting of the
// chords, the two chords before the start extrapolated).
template <typename At>
Qdxf_Coord EstimateStartTangent(At at) {
    Qdxf_Coord d1 = vec::Sub(at(1), at(0)), d2 = vec::Sub(at(2), at(1));
    Qdxf_Coord d0 = vec::Sub(vec::Scale(d1, 2), d2);
    Qdxf_Coord before = vec::Sub(vec::Scale(d0, 2), d1);
    double v1 = vec::Length(vec::Cross(before, d0)), v2 = vec::Length(vec::Cross(d1, d2));
    double alpha = v1 + v2 > 0 ? v1 / (v1 + v2) : 0.5;
    Qdxf_Coord tangent = vec::AddScaled(vec::Scale(d0, 1 - alpha), d1, alpha);
    return vec::Length(tangent) > 0 ? tangent : d1;
}

// The C2 cubic through `points` at their chord-length parameters `at`, with
// unit derivatives `tangents` at both ends when they are given (clamped), or
// the same derivative at both ends found with the rest (periodic: the last
// point is the first). Writes the derivative at every point.
bool SolveDerivatives(const Qdxf_Coord *points, const double *lengths, std::size_t segments,
                      bool periodic, Qdxf_Coord *derivatives) {
    // Row k: h[k] m[k-1] + 2 (h[k-1] + h[k]) m[k] + h[k-1] m[k+1]
    //        = 3 (h[k] e[k-1] + h[k-1] e[k]), e the unit chords.
    std::size_t first = periodic ? 0 : 1;
    std::size_t n = periodic ? segments : segments - 1;
    if (n == 0) return true;
    rt::Owned<double[]> numbers(rt::NewArray<double>(4 * n));
    rt::Owned<Qdxf_Coord[]> extra(rt::NewArray<Qdxf_Coord>(periodic ? n : 0));
    if (!numbers || (periodic && !extra)) return false;
    double *sub = numbers.get(), *diagonal = sub + n, *super = diagonal + n, *work = super + n;
    Qdxf_Coord *rhs = derivatives + first;
    for (std::size_t row = 0; row < n; ++row) {
        std::size_t k = row + first;
        std::size_t before = k == 0 ? segments - 1 : k - 1;
        double hBefore = lengths[before], h = lengths[k];
        Qdxf_Coord eBefore = vec::Scale(vec::Sub(points[before + 1], points[before]), 1 / hBefore);
        Qdxf_Coord e = vec::Scale(vec::Sub(points[k + 1], points[k]), 1 / h);
        sub[row] = h;
        diagonal[row] = 2 * (hBefore + h);
        super[row] = hBefore;
        rhs[row] = vec::Scale(vec::AddScaled(vec::Scale(eBefore, h), e, hBefore), 3);
    }
    if (!periodic) {
        rhs[0] = vec::AddScaled(rhs[0], derivatives[0], -sub[0]);
        rhs[n - 1] = vec::AddScaled(rhs[n - 1], derivatives[segments], -super[n - 1]);
        SolveTridiagonal(sub, diagonal, super, rhs, work, n);
        return true;
    }
    // Cyclic: the corners sub[0] and super[n-1] by Sherman and Morrison.
    double gamma = -diagonal[0], cornerLow = super[n - 1], cornerHigh = sub[0];
    diagonal[0] -= gamma;
    diagonal[n - 1] -= cornerLow * cornerHigh / gamma;
    Qdxf_Coord *z = extra.get();
    for (std::size_t k = 0; k < n; ++k)
        z[k] = {0, 0, 0};
    z[0].x = gamma;
    z[n - 1].x = cornerLow;
    SolveTridiagonal(sub, diagonal, super, rhs, work, n);
    SolveTridiagonal(sub, diagonal, super, z, work, n);
    Qdxf_Coord numerator = vec::AddScaled(rhs[0], rhs[n - 1], cornerHigh / gamma);
    double denominator = 1 + z[0].x + cornerHigh * z[n - 1].x / gamma;
    Qdxf_Coord factor = vec::Scale(numerator, 1 / denominator);
    for (std::size_t k = 0; k < n; ++k)
        rhs[k] = vec::AddScaled(rhs[k], factor, -z[k].x);
    derivatives[segments] = derivatives[0];
    return true;
}

}  // namespace

Outcome FlattenFitPoints(int degree, std::span<const Qdxf_Coord> fit,
                         const Qdxf_Coord *startTangent, const Qdxf_Coord *endTangent,
                         double tolerance, Points &out, const char **why) {
    return FlattenFitPoints(degree, fit, startTangent, endTangent, false, tolerance, out, why);
}

Outcome FlattenFitPoints(int degree, std::span<const Qdxf_Coord> fit,
                         const Qdxf_Coord *startTangent, const Qdxf_Coord *endTangent, bool closed,
                         double tolerance, Points &out, const char **why) {
    for (const Qdxf_Coord &point : fit) {
        if (!vec::IsFinite(point)) {
            *why = kNotFinite;
            return Outcome::Invalid;
        }
    }
    for (const Qdxf_Coord *tangent : {startTangent, endTangent}) {
        if (tangent && !vec::IsFinite(*tangent)) {
            *why = kNotFinite;
            return Outcome::Invalid;
        }
    }
    // The points without repeats (which have no chord to take a parameter
    // from), the first again at the end of a closed curve.
    double extent = vec::Extent(fit);
    if (!std::isfinite(extent)) {
        *why = "coordinates out of range";
        return Outcome::Invalid;
    }
    double same = extent * 1e-12;
    rt::Owned<Qdxf_Coord[]> kept(rt::NewArray<Qdxf_Coord>(fit.size() + 1));
    if (!kept) return Outcome::NoMemory;
    std::size_t count = 0;
    for (const Qdxf_Coord &point : fit) {
        if (count == 0 || vec::Distance(point, kept[count - 1]) > same) kept[count++] = point;
    }
    if (closed && count > 1) {
        if (vec::Distance(kept[count - 1], kept[0]) <= same) --count;
        if (count > 1) kept[count++] = kept[0];
    }
    if (count < 2) {
        *why = fit.size() < 2 ? "fewer than two fit points" : "fit points coincide";
        return Outcome::Invalid;
    }
    std::size_t mark = out.size();
    if (degree == 1) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!out.Append(kept[i])) {
                out.Truncate(mark);
                return Outcome::NoMemory;
            }
        }
        return Outcome::Done;
    }

    std::size_t segments = count - 1;
    const Qdxf_Coord *points = kept.get();
    rt::Owned<double[]> lengths(rt::NewArray<double>(segments));
    rt::Owned<Qdxf_Coord[]> derivatives(rt::NewArray<Qdxf_Coord>(count));
    if (!lengths || !derivatives) return Outcome::NoMemory;
    for (std::size_t k = 0; k < segments; ++k)
        lengths[k] = vec::Distance(points[k + 1], points[k]);

    Qdxf_Coord start{}, end{};
    bool hasStart = startTangent && vec::Normalize(*startTangent, &start);
    bool hasEnd = endTangent && vec::Normalize(*endTangent, &end);
    bool periodic = closed && !hasStart && !hasEnd && segments >= 3;
    if (!periodic) {
        auto forward = [&](std::size_t i) { return points[i]; };
        auto backward = [&](std::size_t i) { return points[count - 1 - i]; };
        Qdxf_Coord chord = vec::Sub(points[1], points[0]);
        if (!hasStart) {
            Qdxf_Coord estimate = count >= 3 ? EstimateStartTangent(forward) : chord;
            vec::Normalize(estimate, &start);
        }
        if (!hasEnd) {
            Qdxf_Coord estimate =
                count >= 3 ? vec::Scale(EstimateStartTangent(backward), -1) : chord;
            vec::Normalize(estimate, &end);
        }
        derivatives[0] = start;
        derivatives[segments] = end;
    }
    if (!SolveDerivatives(points, lengths.get(), segments, periodic, derivatives.get())) {
        return Outcome::NoMemory;
    }

    // The cubic pieces as a B-spline whose inner knots are triple.
    std::size_t controlCount = 3 * segments + 1;
    rt::Owned<Qdxf_Coord[]> control(rt::NewArray<Qdxf_Coord>(controlCount));
    rt::Owned<double[]> knots(rt::NewArray<double>(controlCount + 4));
    if (!control || !knots) return Outcome::NoMemory;
    double parameter = 0;
    for (std::size_t k = 0; k < segments; ++k) {
        double third = lengths[k] / 3;
        control[3 * k] = points[k];
        control[3 * k + 1] = vec::AddScaled(points[k], derivatives[k], third);
        control[3 * k + 2] = vec::AddScaled(points[k + 1], derivatives[k + 1], -third);
        for (std::size_t i = k == 0 ? 0 : 1; i < 4; ++i)
            knots[3 * k + i] = parameter;
        parameter += lengths[k];
    }
    control[3 * segments] = points[segments];
    for (std::size_t i = 0; i < 4; ++i)
        knots[controlCount + i] = parameter;
    Nurbs cubic{3, {control.get(), controlCount}, {}, {knots.get(), controlCount + 4}};
    return FlattenNurbs(cubic, CurveTolerance(tolerance, extent), out, why);
}

Outcome TranslateSpline(Groups groups, double tolerance, Points &out, const char **why) {
    std::size_t controlCount = 0, fitCount = 0, knotCount = 0, weightCount = 0;
    for (const EntityGroup &group : groups) {
        controlCount += group.code == 10;
        fitCount += group.code == 11;
        knotCount += group.code == 40;
        weightCount += group.code == 41;
    }
    rt::Owned<Qdxf_Coord[]> control(rt::NewArray<Qdxf_Coord>(controlCount));
    rt::Owned<Qdxf_Coord[]> fit(rt::NewArray<Qdxf_Coord>(fitCount));
    rt::Owned<double[]> knots(rt::NewArray<double>(knotCount));
    rt::Owned<double[]> weights(rt::NewArray<double>(weightCount));
    if (!control || !fit || !knots || !weights) return Outcome::NoMemory;

    int flags = 0, degree = 3;
    Qdxf_Coord tangents[2]{};
    bool hasTangent[2]{};
    std::size_t controls = 0, fits = 0, knotsRead = 0, weightsRead = 0;
    for (const EntityGroup &group : groups) {
        double value = GroupNumber(group);
        // 10/20/30 a control point, 11/21/31 a fit point, 12/22/32 and
        // 13/23/33 the start and end tangents: the x group begins a point.
        int axis = group.code / 10 - 1, which = group.code % 10;
        if (group.code >= 10 && group.code < 40 && which <= 3) {
            if (axis == 0 && which == 0) control[controls++] = {};
            if (axis == 0 && which == 1) fit[fits++] = {};
            Qdxf_Coord *point = nullptr;
            if (which == 0 && controls > 0) point = &control[controls - 1];
            if (which == 1 && fits > 0) point = &fit[fits - 1];
            if (which >= 2) {
                point = &tangents[which - 2];
                hasTangent[which - 2] = true;
            }
            if (point) (axis == 0 ? point->x : axis == 1 ? point->y : point->z) = value;
            continue;
        }
        switch (group.code) {
            case 40:
                knots[knotsRead++] = value;
                break;
            case 41:
                weights[weightsRead++] = value;
                break;
            case 70:
                flags = std::fabs(value) < 1e9 ? static_cast<int>(value) : 0;
                break;
            case 71:
                degree = std::fabs(value) < 1e9 ? static_cast<int>(value) : -1;
                break;
            default:
                break;
        }
    }

    if (controls == 0) {
        if (fits == 0) {
            *why = "neither control nor fit points";
            return Outcome::Invalid;
        }
        return FlattenFitPoints(degree, {fit.get(), fits}, hasTangent[0] ? &tangents[0] : nullptr,
                                hasTangent[1] ? &tangents[1] : nullptr, (flags & 1) != 0, tolerance,
                                out, why);
    }
    if (knotsRead == 0 && degree >= 1 && degree <= kMaxSplineDegree &&
        controls > static_cast<std::size_t>(degree)) {
        // No knots written: the clamped uniform vector, as other readers take.
        knotCount = controls + static_cast<std::size_t>(degree) + 1;
        knots.reset(rt::NewArray<double>(knotCount));
        if (!knots) return Outcome::NoMemory;
        for (std::size_t i = 0; i < knotCount; ++i) {
            double inner = static_cast<double>(i) - degree;
            knots[i] = std::clamp(inner, 0.0, static_cast<double>(controls) - degree);
        }
        knotsRead = knotCount;
    }
    Nurbs curve{
        degree, {control.get(), controls}, {weights.get(), weightsRead}, {knots.get(), knotsRead}};
    return FlattenNurbs(curve, tolerance, out, why);
}

}  // namespace vexlith::translate
