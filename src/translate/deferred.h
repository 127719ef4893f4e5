// SPDX-License-Identifier: MIT
// What a translation leaves for the end of the read, when what it needs is
// known: the LINEs of RAY and XLINE entities, clipped to the drawing's
// extents, and the end caps of MLINE entities, drawn as their MLINESTYLE (an
// object after the entities) asks. Both are pieces of the entity's block, so
// an entity handed to an entity callback is the record the whole read lists;
// one pass at the end over the blocks that asked for it.
#ifndef VEXLITH_TRANSLATE_DEFERRED_H
#define VEXLITH_TRANSLATE_DEFERRED_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>

#include "runtime/name_index.h"
#include "runtime/scratch.h"
#include "vexlith.h"

namespace vexlith {
struct Qdxf_ReadState;
}

namespace vexlith::translate {

struct Deferred {
    enum Kind : int { kRay, kXLine, kMLineCaps } kind;
    Qdxf_Entity *line;  // RAY, XLINE: the LINE piece
    Qdxf_Block *block;  // the entity's block
    // RAY, XLINE: the base point and the unit direction. MLINE: the ends of
    // its start cap, then of its end cap (its outermost elements).
    Qdxf_Coord point[4];
    // MLINE: the direction each cap bulges out to; its flags (group 71); its
    // style's handle and name, offsets into DeferredWork::texts (kNoText:
    // none).
    Qdxf_Coord outward[2];
    int flags;
    std::size_t handle, name;
};
constexpr std::size_t kNoText = static_cast<std::size_t>(-1);

// A box about points; a coordinate that is NaN adds nothing (an infinite
// one makes the box infinite, and the lines clipped to it fall back).
struct Box {
    Qdxf_Coord low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};

    bool empty() const { return !(low.x <= high.x && low.y <= high.y && low.z <= high.z); }
    void Add(const Qdxf_Coord &p) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
};

// The extents of the model space, entity by entity of the ENTITIES section:
// as each is read in a read with an entity callback (before the callback
// sees it), else at the end of the read; an INSERT by the box of its block's
// pieces, measured once.
class ModelExtents {
public:
    // False when the heap is exhausted.
    bool Add(Qdxf_ReadState &read, const Qdxf_Info *drawing, const Qdxf_Entity &entity);
    const Box &box() const { return box_; }
    void Release();

private:
    struct BlockBox;
    bool AddTo(Qdxf_ReadState &read, const Qdxf_Info *drawing, const Qdxf_Entity &entity, int depth,
               Box &box);
    Box box_;
    rt::NameIndex measured_;  // block name to its BlockBox
    rt::Scratch<BlockBox *> blocks_;
};

struct DeferredWork {
    rt::Scratch<Deferred> items;
    rt::Scratch<char> texts;  // NUL-terminated, one after another
    ModelExtents extents;

    // `length` bytes of `text` appended to the texts: their offset, or
    // kNoText for a null text or an exhausted heap (*failed then set).
    std::size_t Text(const char *text, std::size_t length, bool *failed);
    void Release() {
        items.Release();
        texts.Release();
        extents.Release();
    }
};

// At the end of a successful read: the deferred work done. False when the
// heap is exhausted.
bool FinishDeferred(Qdxf_ReadState &read, Qdxf_Info *drawing);

// The kinds' own parts of it (infinite_line.cpp, mline.cpp).
bool FinishInfiniteLines(Qdxf_ReadState &read, const Qdxf_Info *drawing,
                         std::span<const Deferred> items);
bool FinishMLineCaps(Qdxf_ReadState &read, Qdxf_Info *drawing, const Deferred &item,
                     const char *texts);

}  // namespace vexlith::translate

#endif
