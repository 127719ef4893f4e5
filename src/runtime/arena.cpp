// SPDX-License-Identifier: MIT
#include "runtime/arena.h"

#include <cstdint>

#include "runtime/toolkit.h"

namespace vexlith::rt {

namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

}  // namespace

Arena::Block *Arena::AddBlock(std::size_t size) {
    std::size_t room = size > kBlockSize ? size : kBlockSize;
    if (room > static_cast<std::size_t>(-1) - kHeader) return nullptr;
    auto *block = reinterpret_cast<Block *>(NewArray<unsigned char>(kHeader + room));
    if (!block) return nullptr;
    block->next = nullptr;
    block->size = room;
    block->used = 0;
    if (current_) {
        // Slot the new block in after the current one, ahead of any smaller
        // blocks left from earlier entities.
        block->next = current_->next;
        current_->next = block;
    } else {
        first_ = block;
    }
    return block;
}

// The slow path of Allocate: the current block is full (or there is none).
void *Arena::AllocateInNewBlock(std::size_t size) {
    if (size > static_cast<std::size_t>(-1) / 2) return nullptr;
    size = (size + kAlignment - 1) & ~(kAlignment - 1);
    Block *block = current_;
    while (block && block->size - block->used < size) {
        block = block->next;
        if (block) block->used = 0;
    }
    if (!block) {
        block = AddBlock(size);
        if (!block) return nullptr;
    }
    current_ = block;
    void *memory = reinterpret_cast<unsigned char *>(block) + kHeader + block->used;
    block->used += size;
    return memory;
}

void Arena::Reset() {
    current_ = first_;
    if (current_) current_->used = 0;
}

void Arena::Release() {
    while (first_) {
        Block *next = first_->next;
        Free(first_);
        first_ = next;
    }
    current_ = nullptr;
}

}  // namespace vexlith::rt
