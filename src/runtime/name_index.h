// SPDX-License-Identifier: MIT
// An index of records by name, for lookups that must find "the first record
// of that name" in a list without walking the list: layers for entities and
// blocks, line types for layers, the entity kinds already reported. Open
// addressing over a power-of-two table on the toolkit heap, kept at most half
// full, placed by a keyed hash so that a file cannot choose colliding names.
// A null name is a name of its own, as when two absent names match.
#ifndef VEXLITH_RUNTIME_NAME_INDEX_H
#define VEXLITH_RUNTIME_NAME_INDEX_H

#include <cstddef>
#include <cstdint>

namespace vexlith::rt {

class NameIndex {
public:
    // The record first added under `name`, or null.
    void *Find(const char *name) const;
    // Adds `record` under `name` unless that name is there already (the first
    // one stays). The name must live as long as the index. False when the heap
    // is exhausted; the index is then unchanged.
    bool Add(const char *name, void *record);
    // Releases the table; the index is empty again.
    void Release();

    std::size_t size() const { return count_; }
    // How many slots a lookup of `name` examines (0 for a null name or an
    // empty index): what a lookup costs, whatever the names are.
    std::size_t ProbesOf(const char *name) const;

private:
    struct Slot {
        const char *name;
        void *record;
        std::size_t hash;
    };
    const Slot *SlotOf(const char *name, std::size_t hash, std::size_t *probes) const;
    const Slot *SlotOf(const char *name, std::size_t hash) const;
    bool Grow();

    // Zero is the empty index: a read state that is value-initialised holds one.
    Slot *slots_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t count_ = 0;
    void *nameless_ = nullptr;
};

// A set of 64-bit numbers (the handles of a drawing), placed by the same
// keyed hash, so that a file cannot choose numbers that all land in one slot.
class NumberSet {
public:
    // Adds `number`; *added tells whether it was new. False when the heap is
    // exhausted; the set is then unchanged.
    bool Add(std::uint64_t number, bool *added);
    void Release();
    std::size_t size() const { return count_ + (hasZero_ ? 1 : 0); }

private:
    static std::uint64_t *Slot(std::uint64_t *slots, std::size_t capacity, std::uint64_t number);

    // 0 marks an empty slot; the number 0 is kept apart.
    std::uint64_t *slots_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t count_ = 0;
    bool hasZero_ = false;
};

}  // namespace vexlith::rt

#endif
