// SPDX-License-Identifier: MIT
// Pattern lines clipped to polygons by the even-odd rule. Each line family is
// worked in its own frame: u along its lines, t across them. The polygons'
// edges, sorted by their lowest t, are swept line by line: the edges a line
// crosses are those whose t range holds it, their crossings sorted along u
// pair into the inside intervals, and the dashes are laid from the line's
// own origin. Lines that cross no edge are skipped in one step, so the work
// follows the lines that meet the polygons, and it stops at the caps.
#include <algorithm>
#include <bit>
#include <cmath>

#include "translate/fill.h"

namespace vexlith::translate {

namespace {

// Beyond this many line spacings (or dash periods) from its origin a line
// (or a dash) cannot be placed in a double any more.
constexpr double kMaxSteps = 4503599627370496.0;  // 2^52
// The rounding of a coordinate computed from others, relative to their size.
constexpr double kRounding = 1e-12;

// An edge in the family's frame, the end with the lower t first.
struct FrameEdge {
    double u0, t0, u1, t1;
};

class Hatcher {
public:
    Hatcher(const PatternFamily &family, double elevation, Points &lines)
        : family_(family),
          elevation_(elevation),
          lines_(lines),
          cos_(std::cos(family.angle)),
          sin_(std::sin(family.angle)) {}

    bool Run(const Rings &rings, std::size_t maxSegments, std::size_t maxSteps);
    std::size_t segments() const { return segments_; }
    std::size_t steps() const { return steps_; }
    // Stopped at its most segments, with more to come.
    bool cut() const { return stopped_ && segments_ >= maxSegments_; }

private:
    bool Line(double t, double origin);
    bool Dashes(double from, double to, double t, double origin);
    bool Segment(double from, double to, double t);
    bool Spend() { return ++steps_ <= maxSteps_ && segments_ < maxSegments_; }

    const PatternFamily &family_;
    double elevation_;
    Points &lines_;
    double cos_, sin_;
    std::size_t maxSegments_ = 0, maxSteps_ = 0;
    std::size_t segments_ = 0, steps_ = 0;
    bool stopped_ = false;
    double epsilon_ = 0;  // lengths below it are the rounding of the crossings
    Buffer<FrameEdge> edges_;
    Buffer<std::uint32_t> active_;
    Buffer<double> crossings_;
};

bool Hatcher::Run(const Rings &rings, std::size_t maxSegments, std::size_t maxSteps) {
    maxSegments_ = maxSegments;
    maxSteps_ = maxSteps;
    // t across the lines, u along them.
    auto u = [this](const Qdxf_Coord &p) { return p.x * cos_ + p.y * sin_; };
    auto t = [this](const Qdxf_Coord &p) { return p.y * cos_ - p.x * sin_; };
    Qdxf_Coord base{family_.baseX, family_.baseY, 0}, offset{family_.offsetX, family_.offsetY, 0};
    double spacing = t(offset), along = u(offset);
    if (spacing < 0) {  // the same lines, counted the other way
        spacing = -spacing;
        along = -along;
    }
    if (!(spacing > 0)) return true;  // every line on one: no family to draw
    // Setting up costs a step an edge: a family that cannot afford it is cut whole.
    steps_ = rings.points.size();
    if (steps_ > maxSteps_) return true;
    if (!edges_.Reserve(rings.points.size())) return false;

    std::size_t begin = 0;
    double low = INFINITY, high = -INFINITY;
    for (std::uint32_t end : rings.ends) {
        for (std::size_t i = begin; i < end; ++i) {
            const Qdxf_Coord &a = rings.points[i];
            const Qdxf_Coord &b = rings.points[i + 1 < end ? i + 1 : begin];
            FrameEdge edge{u(a), t(a), u(b), t(b)};
            if (edge.t0 == edge.t1) continue;  // along the lines: crosses none
            if (edge.t0 > edge.t1) edge = {edge.u1, edge.t1, edge.u0, edge.t0};
            epsilon_ = std::max({epsilon_, std::fabs(edge.u0), std::fabs(edge.u1)});
            low = std::min(low, edge.t0);
            high = std::max(high, edge.t1);
            if (!edges_.Append(edge)) return false;
        }
        begin = end;
    }
    if (edges_.empty()) return true;
    epsilon_ *= kRounding;
    std::sort(edges_.begin(), edges_.end(),
              [](const FrameEdge &a, const FrameEdge &b) { return a.t0 < b.t0; });

    double baseT = t(base), baseU = u(base);
    double first = std::ceil((low - baseT) / spacing), last = std::floor((high - baseT) / spacing);
    if (!(std::fabs(first) < kMaxSteps && std::fabs(last) < kMaxSteps)) return true;  // too dense

    std::size_t next = 0;
    for (double line = first; line <= last && !stopped_; line += 1) {
        double at = baseT + line * spacing;
        if (active_.empty() && next < edges_.size() && edges_[next].t0 > at) {
            // No edge here: on to the first line that meets the next edge.
            double skip = std::ceil((edges_[next].t0 - baseT) / spacing);
            if (skip > line) {
                line = skip;
                at = baseT + line * spacing;
            }
        }
        while (next < edges_.size() && edges_[next].t0 <= at)
            if (!active_.Append(static_cast<std::uint32_t>(next++))) return false;
        std::size_t kept = 0;
        for (std::uint32_t edge : active_)
            if (edges_[edge].t1 > at) active_[kept++] = edge;
        active_.Truncate(kept);
        steps_ += kept * static_cast<std::size_t>(std::bit_width(kept));  // their crossings sorted
        if (!Spend()) break;
        if (kept && !Line(at, baseU + line * along)) return false;
        if (active_.empty() && next == edges_.size()) break;
    }
    return true;
}

// The line at `t` whose dash pattern starts at `origin` (along u).
bool Hatcher::Line(double t, double origin) {
    crossings_.Clear();
    for (std::uint32_t index : active_) {
        const FrameEdge &e = edges_[index];
        double crossing = e.u0 + (e.u1 - e.u0) * ((t - e.t0) / (e.t1 - e.t0));
        if (!crossings_.Append(crossing)) return false;
    }
    std::sort(crossings_.begin(), crossings_.end());
    std::size_t count = crossings_.size() & ~std::size_t{1};
    for (std::size_t i = 0; i < count && !stopped_; i += 2) {
        double from = crossings_[i], to = crossings_[i + 1];
        while (i + 2 < count &&
               crossings_[i + 2] - to <= epsilon_) {  // intervals that touch are one
            to = crossings_[i + 3];
            i += 2;
        }
        // Where edges meet or lie on one another only the rounding is inside.
        if (to - from > epsilon_ && !Dashes(from, to, t, origin)) return false;
    }
    return true;
}

bool Hatcher::Dashes(double from, double to, double t, double origin) {
    std::span<const double> dashes = family_.dashes;
    double period = 0;
    for (double dash : dashes)
        period += std::fabs(dash);
    double phase = (from - origin) / period, length = (to - from) / period;
    if (!(period > 0) || !(std::fabs(phase) < kMaxSteps && length < kMaxSteps))
        return Segment(from, to, t);  // continuous, or dashes too fine to place
    double repeat = std::floor(phase);
    for (double at = origin + repeat * period; at <= to && !stopped_;
         repeat += 1, at = origin + repeat * period) {
        for (double dash : dashes) {
            double end = at + std::fabs(dash);
            if (dash > 0 && end > from && at < to) {
                if (!Segment(std::max(at, from), std::min(end, to), t)) return false;
            } else if (dash == 0 && at >= from && at <= to) {
                if (!Segment(at, at, t)) return false;
            }
            at = end;
            if (at > to || !Spend()) break;
        }
        if (!Spend()) stopped_ = true;
    }
    return true;
}

bool Hatcher::Segment(double from, double to, double t) {
    if (segments_ >= maxSegments_) {
        stopped_ = true;
        return true;
    }
    for (double u : {from, to}) {
        Qdxf_Coord point{u * cos_ - t * sin_, u * sin_ + t * cos_, elevation_};
        if (!lines_.Append(point)) return false;
    }
    ++segments_;
    return true;
}

}  // namespace

bool HatchEvenOdd(const Rings &rings, std::span<const PatternFamily> families, double elevation,
                  std::size_t maxSegments, Points &lines, bool *cut) {
    std::size_t segments = 0, steps = 0;
    for (std::size_t i = 0; i < families.size(); ++i) {
        // What is left is shared among the families still to come.
        std::size_t left = families.size() - i;
        Hatcher hatcher(families[i], elevation, lines);
        if (!hatcher.Run(rings, (maxSegments - segments) / left, (kMaxSweepSteps - steps) / left))
            return false;
        segments += hatcher.segments();
        if (cut && hatcher.cut()) *cut = true;
        steps += std::min(hatcher.steps(), kMaxSweepSteps - steps);
    }
    return true;
}

}  // namespace vexlith::translate
