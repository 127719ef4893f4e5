// SPDX-License-Identifier: MIT
// Even-odd filling by a sweep from bottom to top (a trapezoidation). The
// edges that cross the sweep line are kept in order of x; between the edges
// 2i and 2i+1 of that order lies the inside. Each such region stays one
// trapezoid until one of its two edges ends, changes rank or crosses a
// neighbour, so a boundary of n edges gives O(n) trapezoids, two triangles
// each. Crossing edges (self-intersecting or overlapping loops) are found
// between neighbours in the order, as a Bentley-Ottmann sweep does, and swap
// places at their crossing.
#include <algorithm>
#include <cmath>
#include <limits>

#include "translate/fill.h"

namespace vexlith::translate {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// An edge that is not horizontal, its lower end first.
struct Edge {
    double x0, y0, x1, y1;
};

double XAt(const Edge &e, double y) {
    if (y <= e.y0) return e.x0;
    if (y >= e.y1) return e.x1;
    return e.x0 + (e.x1 - e.x0) * ((y - e.y0) / (e.y1 - e.y0));
}

// `a` lies left of `b` just above the height y.
bool LeftOf(const Edge &a, const Edge &b, double y) {
    double xa = XAt(a, y), xb = XAt(b, y);
    if (xa != xb) return xa < xb;
    return (a.x1 - a.x0) * (b.y1 - b.y0) < (b.x1 - b.x0) * (a.y1 - a.y0);
}

struct EdgeState {
    std::uint32_t position;  // in the order of the sweep line
    std::uint32_t partner;   // the right edge of the open region this one bounds on the left
    std::uint32_t checked;   // the right neighbour last tested for a crossing
    bool active;
    double openY;  // where that region began
};

struct Crossing {
    double y;
    std::uint32_t left, right;
};
bool LaterCrossing(const Crossing &a, const Crossing &b) {
    return a.y > b.y;
}

class Sweep {
public:
    Sweep(double elevation, std::size_t maxTriangles, Points &triangles)
        : elevation_(elevation), maxTriangles_(maxTriangles), triangles_(triangles) {}

    bool Run(const Rings &rings);
    bool cut() const { return cut_; }

private:
    bool AddEdges(const Rings &rings);
    bool Batch(double y);
    bool Emit(std::uint32_t left, std::uint32_t right, double from, double to);
    bool CheckCrossing(std::uint32_t left, std::uint32_t right, double y);
    bool Spend(std::size_t steps) {
        steps_ += steps;
        if (steps_ > kMaxSweepSteps) stopped_ = true;
        return !stopped_;
    }

    double elevation_;
    std::size_t maxTriangles_;
    Points &triangles_;
    std::size_t triangleCount_ = 0;
    double epsilon_ = 0;  // widths below it are the rounding of coordinates (edges on edges)
    std::size_t steps_ = 0;
    bool stopped_ = false;
    bool cut_ = false;  // stopped at maxTriangles_, with more to come

    Buffer<Edge> edges_;
    Buffer<EdgeState> states_;
    Buffer<std::uint32_t> starts_, ends_;  // edges by lower and by upper end
    std::size_t nextStart_ = 0, nextEnd_ = 0;
    Buffer<std::uint32_t> order_, rebuilt_;
    Buffer<std::uint32_t> insertAt_;
    Buffer<Crossing> crossings_;  // a heap, earliest on top
};

bool Sweep::AddEdges(const Rings &rings) {
    if (!edges_.Reserve(rings.points.size())) return false;
    std::size_t begin = 0;
    for (std::uint32_t end : rings.ends) {
        for (std::size_t i = begin; i < end; ++i) {
            const Qdxf_Coord &a = rings.points[i];
            const Qdxf_Coord &b = rings.points[i + 1 < end ? i + 1 : begin];
            if (a.y == b.y) continue;  // adds nothing to a sweep by the even-odd rule
            Edge edge = a.y < b.y ? Edge{a.x, a.y, b.x, b.y} : Edge{b.x, b.y, a.x, a.y};
            if (!edges_.Append(edge)) return false;
            epsilon_ = std::max({epsilon_, std::fabs(a.x), std::fabs(b.x)});
        }
        begin = end;
    }
    epsilon_ *= 1e-12;
    std::size_t count = edges_.size();
    if (!states_.Resize(count) || !starts_.Resize(count) || !ends_.Resize(count)) return false;
    for (std::size_t i = 0; i < count; ++i) {
        starts_[i] = ends_[i] = static_cast<std::uint32_t>(i);
        states_[i].partner = states_[i].checked = kNone;
    }
    const Edge *edges = edges_.data();
    std::sort(starts_.begin(), starts_.end(), [edges](std::uint32_t a, std::uint32_t b) {
        return edges[a].y0 < edges[b].y0 ||
               (edges[a].y0 == edges[b].y0 && edges[a].x0 < edges[b].x0);
    });
    std::sort(ends_.begin(), ends_.end(),
              [edges](std::uint32_t a, std::uint32_t b) { return edges[a].y1 < edges[b].y1; });
    return Spend(count);
}

bool Sweep::Run(const Rings &rings) {
    if (!AddEdges(rings)) return false;
    std::size_t count = edges_.size();
    while (!stopped_) {
        double y = kInfinity;
        if (nextStart_ < count) y = edges_[starts_[nextStart_]].y0;
        if (nextEnd_ < count) y = std::min(y, edges_[ends_[nextEnd_]].y1);
        if (!crossings_.empty()) y = std::min(y, crossings_[0].y);
        if (y == kInfinity) break;
        if (!Batch(y)) return false;
    }
    return true;
}

// Everything that happens at the height y: crossings swap, edges end, edges
// begin; then the regions next to those changes close and open.
bool Sweep::Batch(double y) {
    constexpr std::size_t kNoChange = std::numeric_limits<std::size_t>::max();
    std::size_t low = kNoChange, high = 0;  // the changed positions, before the change
    auto changed = [&](std::size_t position) {
        low = std::min(low, position);
        high = std::max(high, position);
    };
    EdgeState *states = states_.data();

    while (!crossings_.empty() && crossings_[0].y <= y) {
        std::pop_heap(crossings_.begin(), crossings_.end(), LaterCrossing);
        Crossing crossing = crossings_.back();
        crossings_.Truncate(crossings_.size() - 1);
        EdgeState &left = states[crossing.left], &right = states[crossing.right];
        if (!left.active || !right.active || right.position != left.position + 1) continue;
        const Edge &a = edges_[crossing.left], &b = edges_[crossing.right];
        double top = std::min(a.y1, b.y1);
        if (!(XAt(a, top) > XAt(b, top))) continue;
        std::swap(order_[left.position], order_[right.position]);
        std::swap(left.position, right.position);
        changed(right.position);
        changed(left.position);
        if (!Spend(1)) return true;
    }

    std::size_t removed = 0;
    while (nextEnd_ < edges_.size() && edges_[ends_[nextEnd_]].y1 <= y) {
        std::uint32_t edge = ends_[nextEnd_++];
        EdgeState &state = states[edge];
        state.active = false;
        changed(state.position);
        ++removed;
        if (state.partner != kNone) {
            if (!Emit(edge, state.partner, state.openY, y)) return false;
            state.partner = kNone;
        }
    }

    std::size_t firstNew = nextStart_;
    while (nextStart_ < edges_.size() && edges_[starts_[nextStart_]].y0 <= y)
        ++nextStart_;
    std::size_t inserted = nextStart_ - firstNew;
    std::size_t oldSize = order_.size();
    if (inserted) {
        const Edge *edges = edges_.data();
        std::uint32_t *begin = starts_.data() + firstNew;
        std::sort(begin, begin + inserted, [edges, y](std::uint32_t a, std::uint32_t b) {
            return LeftOf(edges[a], edges[b], y);
        });
        if (!insertAt_.Resize(inserted)) return false;
        for (std::size_t i = 0; i < inserted; ++i) {
            const Edge &edge = edges_[begin[i]];
            std::size_t from = i ? insertAt_[i - 1] : 0, to = oldSize;
            while (from < to) {
                std::size_t middle = from + (to - from) / 2;
                if (LeftOf(edges_[order_[middle]], edge, y))
                    from = middle + 1;
                else
                    to = middle;
            }
            insertAt_[i] = static_cast<std::uint32_t>(from);
        }
        changed(insertAt_[0]);
        changed(insertAt_[inserted - 1]);
        if (!Spend(inserted * 2)) return true;
    }
    if (low == kNoChange) return true;

    if (removed || inserted) {
        // Merge the changed block of the order with the new edges; the edges
        // after it only move, and only when the block's size changes.
        std::size_t blockEnd = std::min(high + 1, oldSize);
        rebuilt_.Clear();
        std::size_t next = 0;
        const std::uint32_t *newEdges = starts_.data() + firstNew;
        for (std::size_t i = low; i <= blockEnd; ++i) {
            while (next < inserted && insertAt_[next] == i) {
                states[newEdges[next]].active = true;
                if (!rebuilt_.Append(newEdges[next++])) return false;
            }
            if (i < blockEnd && states[order_[i]].active && !rebuilt_.Append(order_[i]))
                return false;
        }
        std::size_t newEnd = low + rebuilt_.size(), tail = oldSize - blockEnd;
        if (newEnd != blockEnd) {
            if (!order_.Resize(std::max(oldSize, newEnd + tail))) return false;
            std::memmove(order_.data() + newEnd, order_.data() + blockEnd,
                         tail * sizeof(std::uint32_t));
            order_.Truncate(newEnd + tail);
            for (std::size_t i = newEnd; i < newEnd + tail; ++i)
                states[order_[i]].position = static_cast<std::uint32_t>(i);
            if (!Spend(tail)) return true;
        }
        for (std::size_t i = 0; i < rebuilt_.size(); ++i) {
            order_[low + i] = rebuilt_[i];
            states[rebuilt_[i]].position = static_cast<std::uint32_t>(low + i);
        }
        if (!Spend(blockEnd - low + inserted)) return true;
    }

    std::size_t size = order_.size();
    if (size == 0) return true;
    std::size_t from = low ? low - 1 : 0;
    // Beyond the changed block every edge moved by an even count (each loop
    // crosses a horizontal line an even number of times), so the regions there
    // go on; an odd count would shift them all.
    std::size_t shift = inserted > removed ? inserted - removed : removed - inserted;
    std::size_t to = shift % 2 ? size - 1 : std::min(size - 1, high + inserted - removed + 1);
    if (!Spend(to - from + 1)) return true;
    for (std::size_t i = from; i <= to; ++i) {
        std::uint32_t edge = order_[i];
        EdgeState &state = states[edge];
        bool bounds = i % 2 == 0 && i + 1 < size;
        if (state.partner != kNone && (!bounds || order_[i + 1] != state.partner)) {
            if (!Emit(edge, state.partner, state.openY, y)) return false;
            state.partner = kNone;
        }
        if (bounds && state.partner == kNone) {
            state.partner = order_[i + 1];
            state.openY = y;
        }
        if (i + 1 < size && state.checked != order_[i + 1]) {
            state.checked = order_[i + 1];
            if (!CheckCrossing(edge, order_[i + 1], y)) return false;
        }
    }
    return true;
}

bool Sweep::CheckCrossing(std::uint32_t left, std::uint32_t right, double y) {
    const Edge &a = edges_[left], &b = edges_[right];
    double top = std::min(a.y1, b.y1);
    double above = XAt(a, top) - XAt(b, top);
    if (!(above > 0)) return true;
    double now = XAt(a, y) - XAt(b, y);
    double at = now >= 0 ? y : y + (top - y) * (-now / (above - now));
    if (!(at > y)) at = std::nextafter(y, kInfinity);
    if (at > top) at = top;
    if (!crossings_.Append({at, left, right})) return false;
    std::push_heap(crossings_.begin(), crossings_.end(), LaterCrossing);
    Spend(1);
    return true;
}

// The region between `left` and `right` from the height `from` to `to`.
bool Sweep::Emit(std::uint32_t left, std::uint32_t right, double from, double to) {
    if (!(to > from)) return true;
    const Edge &l = edges_[left], &r = edges_[right];
    Qdxf_Coord lowLeft{XAt(l, from), from, elevation_}, lowRight{XAt(r, from), from, elevation_};
    Qdxf_Coord highLeft{XAt(l, to), to, elevation_}, highRight{XAt(r, to), to, elevation_};
    const Qdxf_Coord corners[2][3] = {{lowLeft, lowRight, highRight},
                                      {lowLeft, highRight, highLeft}};
    const bool wide[2] = {lowRight.x - lowLeft.x > epsilon_, highRight.x - highLeft.x > epsilon_};
    for (int t = 0; t < 2; ++t) {
        if (!wide[t]) continue;
        if (triangleCount_ == maxTriangles_) {
            stopped_ = cut_ = true;
            return true;
        }
        for (const Qdxf_Coord &corner : corners[t])
            if (!triangles_.Append(corner)) return false;
        ++triangleCount_;
    }
    return true;
}

}  // namespace

bool FillEvenOdd(const Rings &rings, double elevation, std::size_t maxTriangles, Points &triangles,
                 bool *cut) {
    Sweep sweep(elevation, maxTriangles, triangles);
    bool run = sweep.Run(rings);
    if (cut) *cut = sweep.cut();
    return run;
}

}  // namespace vexlith::translate
