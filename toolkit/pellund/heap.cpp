// SPDX-License-Identifier: MIT
// Heap, text copies and comparisons, and the fault hooks of the test build.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "internal.h"

#if defined(PELLUND_TESTING)
#include <malloc.h>

#include "pellund_testing.h"
#endif

namespace pellund {

#if defined(PELLUND_TESTING)
namespace {

struct Countdown {
    std::atomic<long> calls{0};
    std::atomic<long> failAt{0};
    std::atomic<bool> failOnward{false};  // every call from failAt on fails

    bool Next() {
        long call = ++calls;
        long target = failAt.load();
        return target > 0 && (failOnward ? call >= target : call == target);
    }
    void Arm(long n, bool onward = false) {
        failOnward = onward;
        failAt = n > 0 ? calls.load() + n : 0;
    }
    void Reset() {
        calls = 0;
        failAt = 0;
        failOnward = false;
    }
};

Countdown allocations, reads, writes;
std::atomic<long> liveBlocks{0};
std::atomic<int> openHandles{0};
std::atomic<long> listSteps{0};
std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};
std::atomic<long> textCompares{0};
std::atomic<long long> failReadAt{-1};

// The size the heap gave the block (the Windows CRT calls it _msize).
std::size_t BlockSize(void *block) {
#if defined(_WIN32)
    return _msize(block);
#else
    return malloc_usable_size(block);
#endif
}

void CountBytes(void *block, bool allocated) {
    auto size = static_cast<long long>(BlockSize(block));
    if (!allocated) {
        liveBytes -= size;
        return;
    }
    long long live = liveBytes += size;
    for (long long peak = peakBytes; live > peak && !peakBytes.compare_exchange_weak(peak, live);) {
    }
}

}  // namespace

bool FailThisAllocation() {
    return allocations.Next();
}
bool FailThisRead() {
    return reads.Next();
}
bool FailThisWrite() {
    return writes.Next();
}
void CountHandle(int delta) {
    openHandles += delta;
}
void CountListSteps(long steps) {
    listSteps += steps;
}
long long FailReadAtByte() {
    return failReadAt;
}
#endif

void *Allocate(std::size_t size, bool zeroFill) {
    if (FailThisAllocation()) return nullptr;
    // A request for 0 bytes still gets a distinct block of its own.
    if (size == 0) size = 1;
    void *block = zeroFill ? std::calloc(1, size) : std::malloc(size);
#if defined(PELLUND_TESTING)
    if (block) {
        ++liveBlocks;
        CountBytes(block, true);
    }
#endif
    return block;
}

void Release(void *block) {
    if (!block) return;
#if defined(PELLUND_TESTING)
    --liveBlocks;
    CountBytes(block, false);
#endif
    std::free(block);
}

}  // namespace pellund

extern "C" {

void *qmsc_HeapMalloc(size_t size) {
    return pellund::Allocate(size, true);
}

void qmsc_HeapFree(void *block) {
    pellund::Release(block);
}

char *qstr_Duplicate(const char *text) {
    if (!text) return nullptr;
    size_t size = std::strlen(text) + 1;
    auto *copy = static_cast<char *>(pellund::Allocate(size, false));
    if (copy) std::memcpy(copy, text, size);
    return copy;
}

int qtxt_Text_strcmp(const char *a, const char *b) {
#if defined(PELLUND_TESTING)
    ++pellund::textCompares;
#endif
    return std::strcmp(a, b);
}

#if defined(PELLUND_TESTING)
void pellund_TestReset(void) {
    pellund::allocations.Reset();
    pellund::reads.Reset();
    pellund::writes.Reset();
    pellund::listSteps = 0;
    pellund::peakBytes = pellund::liveBytes.load();
    pellund::textCompares = 0;
    pellund::failReadAt = -1;
}
void pellund_TestFailReadAtByte(long long offset) {
    pellund::failReadAt = offset < 0 ? -1 : offset;
}
void pellund_TestFailAllocation(long n) {
    pellund::allocations.Arm(n);
}
void pellund_TestExhaustHeap(long n) {
    pellund::allocations.Arm(n, true);
}
void pellund_TestFailRead(long n) {
    pellund::reads.Arm(n);
}
void pellund_TestFailWrite(long n) {
    pellund::writes.Arm(n);
}
long pellund_TestAllocationCount(void) {
    return pellund::allocations.calls;
}
long pellund_TestReadCount(void) {
    return pellund::reads.calls;
}
long pellund_TestWriteCount(void) {
    return pellund::writes.calls;
}
long pellund_TestLiveBlocks(void) {
    return pellund::liveBlocks;
}
int pellund_TestOpenHandles(void) {
    return pellund::openHandles;
}
long pellund_TestListSteps(void) {
    return pellund::listSteps;
}
long long pellund_TestLiveBytes(void) {
    return pellund::liveBytes;
}
long long pellund_TestPeakBytes(void) {
    return pellund::peakBytes;
}
long pellund_TestTextCompares(void) {
    return pellund::textCompares;
}
#endif

}  // extern "C"
