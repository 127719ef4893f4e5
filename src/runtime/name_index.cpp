// SPDX-License-Identifier: MIT
#if defined(_WIN32)
#define _CRT_RAND_S  // rand_s, from the system's random source
#endif
#include "runtime/name_index.h"

#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#include <stdlib.h>
#else
#include <sys/random.h>
#endif

#include "runtime/toolkit.h"

namespace vexlith::rt {
namespace {

// Names come from the file, so a hash anyone can compute lets a file choose
// names that all land in one slot and make every lookup walk them all. The
// slot is taken from SipHash-1-3 under a key drawn once per process: without
// the key, names that collide cannot be chosen. Lookups never depend on where
// a name lands, so results do not depend on the key.
struct HashKey {
    std::uint64_t k0;
    std::uint64_t k1;
};

// Eight bytes from the system's random source, or false when it has none.
bool SystemRandom(std::uint64_t *word) {
#if defined(_WIN32)
    unsigned int halves[2];
    if (rand_s(&halves[0]) != 0 || rand_s(&halves[1]) != 0) return false;
    *word = std::uint64_t{halves[0]} << 32 | halves[1];
    return true;
#elif defined(__wasi__)
    return getentropy(word, sizeof *word) == 0;  // WASI's random_get
#else
    return getrandom(word, sizeof *word, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof *word);
#endif
}

// splitmix64's finaliser: spreads every bit of `x` over the whole word.
std::uint64_t Mix(std::uint64_t x) {
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

HashKey DrawKey() {
    // Without a random source (an early-boot system, a sandbox), the clock and
    // where the system placed this library and this stack still differ
    // between runs, and a file written in advance cannot know them.
    static const int anchor = 0;
    int local = 0;
    auto now = static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    std::uint64_t fallback = Mix(now ^ Mix(reinterpret_cast<std::uintptr_t>(&anchor) ^
                                           Mix(reinterpret_cast<std::uintptr_t>(&local))));
    HashKey key{fallback, Mix(fallback)};
    std::uint64_t word;
    if (SystemRandom(&word)) key.k0 ^= word;
    if (SystemRandom(&word)) key.k1 ^= word;
    return key;
}

const HashKey &ProcessKey() {
    static const HashKey key = DrawKey();
    return key;
}

struct SipState {
    std::uint64_t v0, v1, v2, v3;

    void Round() {
        v0 += v1, v1 = std::rotl(v1, 13), v1 ^= v0, v0 = std::rotl(v0, 32);
        v2 += v3, v3 = std::rotl(v3, 16), v3 ^= v2;
        v0 += v3, v3 = std::rotl(v3, 21), v3 ^= v0;
        v2 += v1, v1 = std::rotl(v1, 17), v1 ^= v2, v2 = std::rotl(v2, 32);
    }
    void Absorb(std::uint64_t word) {
        v3 ^= word;
        Round();
        v0 ^= word;
    }
};

std::size_t HashOf(const unsigned char *bytes, std::size_t length) {
    const HashKey &key = ProcessKey();
    SipState sip{key.k0 ^ 0x736f6d6570736575ull, key.k1 ^ 0x646f72616e646f6dull,
                 key.k0 ^ 0x6c7967656e657261ull, key.k1 ^ 0x7465646279746573ull};
    std::size_t whole = length & ~std::size_t{7};
    for (std::size_t at = 0; at < whole; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + at, sizeof word);
        sip.Absorb(word);
    }
    std::uint64_t last = static_cast<std::uint64_t>(length) << 56;
    for (std::size_t at = whole; at < length; ++at) {
        last |= std::uint64_t{bytes[at]} << (8 * (at - whole));
    }
    sip.Absorb(last);
    sip.v2 ^= 0xff;
    for (int round = 0; round < 3; ++round)
        sip.Round();
    return static_cast<std::size_t>(sip.v0 ^ sip.v1 ^ sip.v2 ^ sip.v3);
}

std::size_t HashOf(const char *name) {
    return HashOf(reinterpret_cast<const unsigned char *>(name), std::strlen(name));
}

}  // namespace

const NameIndex::Slot *NameIndex::SlotOf(const char *name, std::size_t hash,
                                         std::size_t *probes) const {
    std::size_t at = hash & (capacity_ - 1);
    *probes = 1;
    while (slots_[at].name && (slots_[at].hash != hash || !TextEqual(slots_[at].name, name))) {
        at = (at + 1) & (capacity_ - 1);
        ++*probes;
    }
    return &slots_[at];
}

const NameIndex::Slot *NameIndex::SlotOf(const char *name, std::size_t hash) const {
    std::size_t probes;
    return SlotOf(name, hash, &probes);
}

std::size_t NameIndex::ProbesOf(const char *name) const {
    if (!name || count_ == 0) return 0;
    std::size_t probes;
    SlotOf(name, HashOf(name), &probes);
    return probes;
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

bool NumberSet::Add(std::uint64_t number, bool *added) {
    *added = false;
    if (number == 0) {
        *added = !hasZero_;
        hasZero_ = true;
        return true;
    }
    if (2 * (count_ + 1) > capacity_) {
        std::size_t capacity = capacity_ ? 2 * capacity_ : 64;
        auto *slots = NewArray<std::uint64_t>(capacity);
        if (!slots) return false;
        for (std::size_t i = 0; i < capacity_; ++i) {
            if (slots_[i]) *Slot(slots, capacity, slots_[i]) = slots_[i];
        }
        Free(slots_);
        slots_ = slots;
        capacity_ = capacity;
    }
    std::uint64_t *slot = Slot(slots_, capacity_, number);
    if (*slot) return true;
    *slot = number;
    ++count_;
    *added = true;
    return true;
}

std::uint64_t *NumberSet::Slot(std::uint64_t *slots, std::size_t capacity, std::uint64_t number) {
    unsigned char bytes[sizeof number];
    std::memcpy(bytes, &number, sizeof number);
    std::size_t at = HashOf(bytes, sizeof bytes) & (capacity - 1);
    while (slots[at] && slots[at] != number)
        at = (at + 1) & (capacity - 1);
    return &slots[at];
}

void NumberSet::Release() {
    Free(slots_);
    *this = {};
}

}  // namespace vexlith::rt
