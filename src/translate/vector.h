// SPDX-License-Identifier: MIT
// Vector arithmetic on coordinates for the geometry of the translations.
#ifndef VEXLITH_TRANSLATE_VECTOR_H
#define VEXLITH_TRANSLATE_VECTOR_H

#include <algorithm>
#include <cmath>

#include "vexlith.h"

namespace vexlith::translate::vec {

inline Qdxf_Coord Add(const Qdxf_Coord &a, const Qdxf_Coord &b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Qdxf_Coord Sub(const Qdxf_Coord &a, const Qdxf_Coord &b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Qdxf_Coord Scale(const Qdxf_Coord &a, double factor) {
    return {a.x * factor, a.y * factor, a.z * factor};
}
// a + factor * b
inline Qdxf_Coord AddScaled(const Qdxf_Coord &a, const Qdxf_Coord &b, double factor) {
    return {a.x + factor * b.x, a.y + factor * b.y, a.z + factor * b.z};
}
inline double Dot(const Qdxf_Coord &a, const Qdxf_Coord &b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Qdxf_Coord Cross(const Qdxf_Coord &a, const Qdxf_Coord &b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const Qdxf_Coord &a) {
    return std::sqrt(Dot(a, a));
}
inline double Distance(const Qdxf_Coord &a, const Qdxf_Coord &b) {
    return Length(Sub(a, b));
}
inline bool IsFinite(const Qdxf_Coord &a) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}
// The direction of `a` as a unit vector; false for a vector without length or
// one that is not finite. Scaled first, so that tiny and huge vectors work.
inline bool Normalize(const Qdxf_Coord &a, Qdxf_Coord *unit) {
    double largest = std::max({std::fabs(a.x), std::fabs(a.y), std::fabs(a.z)});
    if (!(largest > 0) || !std::isfinite(largest)) return false;
    Qdxf_Coord scaled = Scale(a, 1 / largest);
    *unit = Scale(scaled, 1 / Length(scaled));
    return true;
}

// The largest extent of the box around `points`.
template <typename Range>
double Extent(const Range &points) {
    bool first = true;
    Qdxf_Coord low{}, high{};
    for (const Qdxf_Coord &p : points) {
        if (first) low = high = p;
        first = false;
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    return std::max({high.x - low.x, high.y - low.y, high.z - low.z});
}

}  // namespace vexlith::translate::vec

#endif
