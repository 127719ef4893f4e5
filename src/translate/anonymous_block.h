// SPDX-License-Identifier: MIT
// The anonymous blocks (*U<n>, type flag 1) that hold the pieces of an entity
// one record of the ten cannot stand for. The entity becomes an INSERT of its
// block at the origin, unscaled; the pieces are on layer "0" in colour
// BYBLOCK, so they take the INSERT's layer and colour. A block is numbered
// above every *U number met so far (blocks of the file read before it, the
// block being read, blocks made), so an entity handed to an entity callback
// names its final block; a block of the file read later that takes the same
// number renumbers the made one at the end of the read (FinishRead).
//
// The blocks of one read hold at most a budget of pieces and bytes, a fixed
// multiple of the file's size (its bytes read so far where its size is
// unknown), so that a small hostile file cannot take the host's memory: 64
// pieces per KiB and 32 bytes per byte (the records, their vertices and texts,
// with the heap's own share), at least 65,536 pieces and 32 MiB, at most
// 16,777,216 pieces and 4 GiB. A piece past it is refused as the heap's
// exhaustion is, with the read state's translation.overBudget set: the
// translation fails, and the entity stays INVALID.
#ifndef VEXLITH_TRANSLATE_ANONYMOUS_BLOCK_H
#define VEXLITH_TRANSLATE_ANONYMOUS_BLOCK_H

#include <cstdint>

#include "translate/groups.h"

namespace vexlith {
struct Qdxf_ReadState;
}

namespace vexlith::translate {

constexpr std::uint64_t kBudgetPiecesPerKiB = 64;
constexpr std::uint64_t kBudgetBytesPerByte = 32;
constexpr std::uint64_t kBudgetLeastPieces = std::uint64_t{1} << 16;
constexpr std::uint64_t kBudgetLeastBytes = std::uint64_t{32} << 20;
constexpr std::uint64_t kBudgetMostPieces = std::uint64_t{1} << 24;
constexpr std::uint64_t kBudgetMostBytes = std::uint64_t{4} << 30;

// Counts a piece made outside a PieceBlock (at the end of the read, into a
// block already placed) against the read's budget; false, with nothing
// counted, when it does not fit.
bool SpendBudget(Qdxf_ReadState &read, const Qdxf_Entity &piece);

class PieceBlock {
public:
    PieceBlock(Qdxf_ReadState &read, Qdxf_Info *drawing) : read_(read), drawing_(drawing) {}
    ~PieceBlock();
    PieceBlock(const PieceBlock &) = delete;
    PieceBlock &operator=(const PieceBlock &) = delete;

    // A new piece of `type` at the end of the block (zero members but for
    // the INSERT's scales and counts); null when the heap is exhausted or the
    // budget spent.
    Qdxf_Entity *Add(Qdxf_EntityType type);
    // The pieces the budget still allows this block, so that a translation
    // can stop making more than it may keep.
    std::uint64_t Room() const;
    // Appends the block to the drawing's blocks and makes `entity` (read into
    // `parent`, null for the ENTITIES section) an INSERT of it. False when the
    // heap is exhausted or the budget spent; the entity is then unchanged.
    bool Place(Qdxf_Entity &entity, Qdxf_Block *parent);
    // The block being filled (null before the first piece).
    Qdxf_Block *Block() const { return block_; }

private:
    bool Begin();
    // Counts the last piece, now complete, with what it owns; false past the
    // budget.
    bool Account();

    Qdxf_ReadState &read_;
    Qdxf_Info *drawing_;
    Qdxf_Block *block_ = nullptr;
    Qdxf_Entity *last_ = nullptr;
    std::uint64_t pieces_ = 0;  // counted, but not yet the read's
    std::uint64_t bytes_ = 0;
};

}  // namespace vexlith::translate

#endif
