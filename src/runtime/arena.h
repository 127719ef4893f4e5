// SPDX-License-Identifier: MIT
// Scratch memory for records that live only while one entity is built (its
// gathered groups): handed out by moving a pointer through blocks of the
// toolkit heap, and taken back all at once, so gathering costs no heap call
// per group and the blocks serve entity after entity.
#ifndef VEXLITH_RUNTIME_ARENA_H
#define VEXLITH_RUNTIME_ARENA_H

#include <cstddef>

namespace vexlith::rt {

class Arena {
public:
    // `size` bytes aligned for any record, or null when the heap is exhausted.
    void *Allocate(std::size_t size) {
        std::size_t rounded = (size + kAlignment - 1) & ~(kAlignment - 1);
        if (current_ && rounded >= size && current_->size - current_->used >= rounded) {
            void *memory = reinterpret_cast<unsigned char *>(current_) + kHeader + current_->used;
            current_->used += rounded;
            return memory;
        }
        return AllocateInNewBlock(size);
    }
    // Takes back everything handed out; the blocks are kept for reuse.
    void Reset();
    // Returns the blocks to the heap.
    void Release();

private:
    struct Block {
        Block *next;
        std::size_t size;  // bytes of room after the header
        std::size_t used;
    };
    static constexpr std::size_t kAlignment = alignof(std::max_align_t);
    static constexpr std::size_t kHeader = (sizeof(Block) + kAlignment - 1) & ~(kAlignment - 1);

    void *AllocateInNewBlock(std::size_t size);
    Block *AddBlock(std::size_t size);

    // Zero is the empty arena, as for a value-initialised read state.
    Block *first_ = nullptr;
    Block *current_ = nullptr;
};

}  // namespace vexlith::rt

#endif
