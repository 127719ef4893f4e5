// SPDX-License-Identifier: MIT
// Scratch records that live only while one record of the drawing is built
// (the vertex groups of a polyline, until its vertex count is known): one
// block of the toolkit heap, grown by doubling and emptied, not freed, for
// the next record, so a read makes only a handful of heap calls for them.
#ifndef VEXLITH_RUNTIME_SCRATCH_H
#define VEXLITH_RUNTIME_SCRATCH_H

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "runtime/toolkit.h"

namespace vexlith::rt {

template <typename T>
class Scratch {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    // False when the heap is exhausted; the records held stay.
    bool Append(const T &record) {
        if (size_ == capacity_ && !Grow()) return false;
        data_[size_++] = record;
        return true;
    }
    // `count` records at once; false when the heap is exhausted.
    bool Append(const T *records, std::size_t count) {
        while (capacity_ - size_ < count) {
            if (!Grow()) return false;
        }
        if (count) std::memcpy(data_ + size_, records, count * sizeof(T));
        size_ += count;
        return true;
    }
    // A zero-filled record at the end, or null when the heap is exhausted.
    T *AppendZeroed() {
        if (size_ == capacity_ && !Grow()) return nullptr;
        T *record = data_ + size_++;
        std::memset(static_cast<void *>(record), 0, sizeof(T));
        return record;
    }
    const T *begin() const { return data_; }
    const T *end() const { return data_ + size_; }
    T *data() { return data_; }
    const T *data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T &operator[](std::size_t index) { return data_[index]; }
    const T &operator[](std::size_t index) const { return data_[index]; }
    // Empties it; the block is kept for reuse.
    void Clear() { size_ = 0; }
    // Hands its block over, with the number of records it holds room for,
    // and takes `block` (room for `capacity` records; may be null) in its
    // place, empty: the records read into it change hands without a copy.
    T *Exchange(T *block, std::size_t capacity, std::size_t *handedCapacity) {
        T *handed = data_;
        *handedCapacity = capacity_;
        data_ = block;
        capacity_ = block ? capacity : 0;
        size_ = 0;
        return handed;
    }
    // Drops the records from `size` on (none when it holds fewer).
    void Truncate(std::size_t size) {
        if (size < size_) size_ = size;
    }
    // Returns the block to the heap.
    void Release() {
        Free(data_);
        data_ = nullptr;
        size_ = capacity_ = 0;
    }

private:
    bool Grow() {
        std::size_t capacity = capacity_ ? 2 * capacity_ : 256;
        T *data = capacity > capacity_ ? NewArray<T>(capacity) : nullptr;
        if (!data) return false;
        if (size_) std::memcpy(data, data_, size_ * sizeof(T));
        Free(data_);
        data_ = data;
        capacity_ = capacity;
        return true;
    }

    // Zero is the empty scratch, as for a value-initialised read state.
    T *data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace vexlith::rt

#endif
