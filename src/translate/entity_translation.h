// SPDX-License-Identifier: MIT
// The one way from the entity reader into the translations of the read
// options. With QDXF_READ_MODERN_KINDS an entity of a kind outside the ten
// that a record of the ten can stand for is gathered group by group and
// becomes one record: a record of the ten, or an INSERT of an anonymous block
// that holds its pieces. With QDXF_READ_WORLD the records whose points lie in
// the coordinate system of their extrusion direction are placed in world
// coordinates. Everything else about an entity is read as without options.
#ifndef VEXLITH_TRANSLATE_ENTITY_TRANSLATION_H
#define VEXLITH_TRANSLATE_ENTITY_TRANSLATION_H

#include <cstdint>

#include "translate/deferred.h"
#include "translate/groups.h"
#include "translate/hatch.h"
#include "translate/mtext.h"
#include "translate/styles.h"

namespace vexlith {
struct Qdxf_ReadState;
}

namespace vexlith::translate {

// A vertex index of a polyface mesh's face record (a VERTEX's groups 71 to
// 74), which the vertex record cannot hold: kept aside until the entity ends.
struct FaceIndex {
    std::int32_t vertex;  // the VERTEX record, from 0
    std::int32_t corner;  // 0 to 3 for groups 71 to 74
    std::int32_t index;   // from 1; negative: the edge from this corner is hidden
};

// An anonymous block a translation made, and the INSERT that names it while
// the drawing holds that INSERT (null once it went to an entity callback).
struct MadeBlock {
    Qdxf_Block *block;
    Qdxf_Entity *insert;
};

// What the translations keep during one read, in the read state; zero is the
// state at the start of a read.
struct Translation {
    // The entity being read: every group of a gathered kind, their texts one
    // after another (each NUL-terminated), a polyface's face indices, and its
    // extrusion direction (210, 220, 230).
    rt::Scratch<EntityGroup> groups;
    rt::Scratch<char> texts;
    rt::Scratch<FaceIndex> faces;
    Qdxf_Coord extrusion;
    // Room the translations reuse from entity to entity.
    Points points;
    HatchShapes hatch;
    rt::Scratch<char> line;
    MTextLayout mtext;
    // A dimension's text as plain text.
    rt::Scratch<char> plain;
    // The anonymous blocks made so far, the largest *U number met (blocks of
    // the file and blocks made) and the last block of the drawing already
    // looked at for it.
    rt::Scratch<MadeBlock> made;
    std::uint64_t largestNumber;
    const Qdxf_Block *numberedUpTo;
    // The kinds already reported as translated, one bit each.
    std::uint32_t reported;
    // The entity's text values of codes 1 and 3 keep the blanks at their ends.
    bool blanksKept;
    // What the drawn kinds refer to, and what they leave for the end of the
    // read.
    Styles styles;
    DeferredWork deferred;
    // The bytes of the file the entity being gathered took.
    std::uint64_t gatheredBytes;
    // The pieces and bytes the read's anonymous blocks hold (the budget of
    // anonymous_block.h); whether a piece of the entity being translated was
    // refused for the budget, and whether the log has said so.
    std::uint64_t budgetPieces;
    std::uint64_t budgetBytes;
    bool overBudget;
    bool budgetReported;

    // Empties the groups for the next entity.
    void BeginGathering() {
        groups.Clear();
        texts.Clear();
    }
    // Keeps one more group of the entity; false when the heap is exhausted.
    bool Keep(const GroupView &group);
    // Points each text group at its text, once every group is kept.
    void EndGathering();
    void Release();
};

// True for a kind outside the ten whose entities QDXF_READ_MODERN_KINDS
// translates: the entity reader gathers their groups.
bool GathersGroups(const char *kind);
// True for a gathered kind whose text values of codes 1 and 3 keep the
// blanks an ASCII file has at their ends, which the plain read trims: MTEXT,
// whose chunks of 250 characters are joined, blanks and all.
bool KeepsBlanks(const char *kind);

// Whether FinishEntity has anything to do for an entity of the ten read with
// `flags`: a placement by an extrusion direction other than (0, 0, 1), or a
// polyface mesh to translate. Inline: most entities of a drawing have none.
inline bool HasWork(unsigned flags, const Translation &translation, const Qdxf_Entity &entity) {
    const Qdxf_Coord &extrusion = translation.extrusion;
    if ((flags & QDXF_READ_WORLD) && !(extrusion.x == 0 && extrusion.y == 0 && extrusion.z == 1))
        return true;
    return (flags & QDXF_READ_MODERN_KINDS) && entity.type == QDXF_POLYLINE &&
           (entity.data.polyline.flag & 64);
}

// Finishes an entity that the entity reader has built from the groups of
// kind `kind` (its common members set; a kind read directly with its
// members, a gathered one from translation.groups, a POLYLINE with its face
// indices aside): translates and places it as the read's flags ask, appending
// an anonymous block to the drawing where it needs one. The log messages (a
// kind translated, an entity left INVALID) go through `report`, which is set
// only for a failure of the read: an exhausted heap, or a message the host's
// message service refused.
void FinishEntity(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing, Qdxf_Block *block,
                  const char *kind, Qdxf_Entity &entity);

// At the end of a successful read: an anonymous block made during the read
// whose number a block read after it turned out to use is numbered anew,
// with the INSERT that names it. False when the heap is exhausted.
bool FinishRead(Qdxf_ReadState &read, Qdxf_Info *drawing);

}  // namespace vexlith::translate

#endif
