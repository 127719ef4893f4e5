// SPDX-License-Identifier: MIT
// What the translations of the options work on: the groups of one entity,
// kept whole until the entity ends (kinds outside the ten hold repeated codes
// and structure that no member of the ten can take group by group), and the
// outcome of a translation.
#ifndef VEXLITH_TRANSLATE_GROUPS_H
#define VEXLITH_TRANSLATE_GROUPS_H

#include <cstddef>
#include <cstdint>
#include <span>

#include "codec/group.h"
#include "runtime/scratch.h"
#include "vexlith.h"

namespace vexlith::translate {

// One group of an entity, in file order, its value converted by the kind of
// its code. `text` is NUL-terminated and lives as long as the gathered
// groups; it is "" (length 0) for a group that is not a text.
struct EntityGroup {
    std::int32_t code;
    Qdxf_ValueKind kind;
    std::int32_t integer;
    double real;
    const char *text;
    std::size_t length;
};
using Groups = std::span<const EntityGroup>;

// Points of a polyline that stands for a curve, appended in order.
using Points = rt::Scratch<Qdxf_Coord>;

enum class Outcome {
    Done,
    Invalid,   // the entity's own data makes the translation impossible: it stays INVALID
    NoMemory,  // the heap is exhausted: the read fails
};

}  // namespace vexlith::translate

#endif
