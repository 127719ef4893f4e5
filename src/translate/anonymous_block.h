// SPDX-License-Identifier: MIT
// The anonymous blocks (*U<n>, type flag 1) that hold the pieces of an entity
// one record of the ten cannot stand for. The entity becomes an INSERT of its
// block at the origin, unscaled; the pieces are on layer "0" in colour
// BYBLOCK, so they take the INSERT's layer and colour. A block is numbered
// above every *U number met so far (blocks of the file read before it, the
// block being read, blocks made), so an entity handed to an entity callback
// names its final block; a block of the file read later that takes the same
// number renumbers the made one at the end of the read (FinishRead).
#ifndef VEXLITH_TRANSLATE_ANONYMOUS_BLOCK_H
#define VEXLITH_TRANSLATE_ANONYMOUS_BLOCK_H

#include "translate/groups.h"

namespace vexlith {
struct Qdxf_ReadState;
}

namespace vexlith::translate {

class PieceBlock {
public:
    PieceBlock(Qdxf_ReadState &read, Qdxf_Info *drawing) : read_(read), drawing_(drawing) {}
    ~PieceBlock();
    PieceBlock(const PieceBlock &) = delete;
    PieceBlock &operator=(const PieceBlock &) = delete;

    // A new piece of `type` at the end of the block (zero members but for
    // the INSERT's scales and counts); null when the heap is exhausted.
    Qdxf_Entity *Add(Qdxf_EntityType type);
    // Appends the block to the drawing's blocks and makes `entity` (read into
    // `parent`, null for the ENTITIES section) an INSERT of it. False when the
    // heap is exhausted; the entity is then unchanged.
    bool Place(Qdxf_Entity &entity, Qdxf_Block *parent);
    // The block being filled (null before the first piece).
    Qdxf_Block *Block() const { return block_; }

private:
    bool Begin();

    Qdxf_ReadState &read_;
    Qdxf_Info *drawing_;
    Qdxf_Block *block_ = nullptr;
    Qdxf_Entity *last_ = nullptr;
};

}  // namespace vexlith::translate

#endif
