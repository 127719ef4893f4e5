// SPDX-License-Identifier: MIT
#include "runtime/name_index.h"

#include <cstring>

#include "runtime/toolkit.h"

namespace vexlith::rt {
namespace {

std::size_t HashOf(const char *name) {
    std::size_t hash = 14695981039346656037ull;  // FNV-1a
    for (; *name; ++name)
        hash = (hash ^ static_cast<unsigned char>(*name)) * 1099511628211ull;
    return hash;
}

}  // namespace

const NameIndex::Slot *NameIndex::SlotOf(const char *name, std::size_t hash) const {
    std::size_t at = hash & (capacity_ - 1);
    while (slots_[at].name && (slots_[at].hash != hash || !TextEqual(slots_[at].name, name))) {
        at = (at + 1) & (capacity_ - 1);
    }
    return &slots_[at];
}

void *NameIndex::Find(const char *name) const {
    if (!name) return nameless_;
    if (count_ == 0) return nullptr;
    return SlotOf(name, HashOf(name))->record;
}

bool NameIndex::Grow() {
    std::size_t capacity = capacity_ ? 2 * capacity_ : 16;
    Slot *slots = NewArray<Slot>(capacity);
    if (!slots) return false;
    Slot *old = slots_;
    std::size_t oldCapacity = capacity_;
    slots_ = slots;
    capacity_ = capacity;
    for (std::size_t i = 0; i < oldCapacity; ++i) {
        if (old[i].name) *const_cast<Slot *>(SlotOf(old[i].name, old[i].hash)) = old[i];
    }
    Free(old);
    return true;
}

bool NameIndex::Add(const char *name, void *record) {
    if (!name) {
        if (!nameless_) nameless_ = record;
        return true;
    }
    std::size_t hash = HashOf(name);
    if (count_ > 0 && SlotOf(name, hash)->record) return true;
    if (2 * (count_ + 1) > capacity_ && !Grow()) return false;
    *const_cast<Slot *>(SlotOf(name, hash)) = {name, record, hash};
    ++count_;
    return true;
}

void NameIndex::Release() {
    Free(slots_);
    *this = {};
}

}  // namespace vexlith::rt
