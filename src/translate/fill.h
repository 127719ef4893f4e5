// SPDX-License-Identifier: MIT
// Filling and hatching closed polygons by the even-odd rule: a point is
// inside when a ray from it crosses the polygons' edges an odd number of
// times, so holes, islands in holes and overlapping loops need no nesting
// analysis. Used by the HATCH translation; the work of both is bounded
// whatever the polygons look like.
#ifndef VEXLITH_TRANSLATE_FILL_H
#define VEXLITH_TRANSLATE_FILL_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

#include "runtime/toolkit.h"
#include "translate/groups.h"

namespace vexlith::translate {

// A growable array on the toolkit heap, freed with the object.
template <typename T>
class Buffer {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    Buffer() = default;
    Buffer(const Buffer &) = delete;
    Buffer &operator=(const Buffer &) = delete;
    ~Buffer() { rt::Free(data_); }

    // False when the heap is exhausted; the records held stay.
    bool Append(const T &record) {
        if (size_ == capacity_ && !Reserve(capacity_ ? 2 * capacity_ : 64)) return false;
        data_[size_++] = record;
        return true;
    }
    bool Reserve(std::size_t capacity) {
        if (capacity <= capacity_) return true;
        T *data = rt::NewArray<T>(capacity);
        if (!data) return false;
        if (size_) std::memcpy(data, data_, size_ * sizeof(T));
        rt::Free(data_);
        data_ = data;
        capacity_ = capacity;
        return true;
    }
    // Sized to `size` records, the new ones zero; false when the heap is exhausted.
    bool Resize(std::size_t size) {
        if (!Reserve(size)) return false;
        if (size > size_)
            std::memset(static_cast<void *>(data_ + size_), 0, (size - size_) * sizeof(T));
        size_ = size;
        return true;
    }
    void Truncate(std::size_t size) {
        if (size < size_) size_ = size;
    }
    void Clear() { size_ = 0; }
    T *data() { return data_; }
    const T *data() const { return data_; }
    T *begin() { return data_; }
    T *end() { return data_ + size_; }
    const T *begin() const { return data_; }
    const T *end() const { return data_ + size_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T &back() { return data_[size_ - 1]; }
    T &operator[](std::size_t index) { return data_[index]; }
    const T &operator[](std::size_t index) const { return data_[index]; }

private:
    T *data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Closed polygons: ring i is the points from ends[i - 1] (0 for the first) up
// to ends[i], the last point joined to the first. Only x and y are used; every
// coordinate is finite and within kMaxCoordinate.
struct Rings {
    std::span<const Qdxf_Coord> points;
    std::span<const std::uint32_t> ends;
};

// The largest coordinate a fill works with: products of two stay finite.
constexpr double kMaxCoordinate = 1e100;

// What one fill or pattern may cost: the steps of its sweep (an edge passed
// over or moved, a crossing handled, a dash laid), whatever its shape; about
// half a second. A fill or a pattern that would take more is cut there.
constexpr std::size_t kMaxSweepSteps = std::size_t{1} << 25;

// The triangles that cover the inside of `rings` by the even-odd rule,
// counterclockwise, three corners each at z `elevation`, appended to
// `triangles`; at most `maxTriangles` (*cut, when given, tells whether the
// fill stopped there). False when the heap is exhausted.
bool FillEvenOdd(const Rings &rings, double elevation, std::size_t maxTriangles, Points &triangles,
                 bool *cut = nullptr);

// One line family of a hatch pattern, as the HATCH carries it (its angle and
// scale applied): lines in direction `angle` (radians) through `base` and
// through base + k * offset for every integer k, each drawn with `dashes`
// from its own point (a positive length drawn, a negative one a gap, zero a
// dot; none: a continuous line).
struct PatternFamily {
    double angle;
    double baseX, baseY;
    double offsetX, offsetY;
    std::span<const double> dashes;
};

// The segments of the families' lines inside `rings` by the even-odd rule,
// two ends each at z `elevation`, appended to `lines`; at most `maxSegments`
// (shared fairly among the families; *cut, when given, is set when a family
// stopped at its share). A dot is a segment of length zero. False when the
// heap is exhausted.
bool HatchEvenOdd(const Rings &rings, std::span<const PatternFamily> families, double elevation,
                  std::size_t maxSegments, Points &lines, bool *cut = nullptr);

}  // namespace vexlith::translate

#endif
