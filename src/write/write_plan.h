// SPDX-License-Identifier: MIT
// What a write with options works out from the whole drawing before its
// first group: whether the handles can be written, the names R12 programs
// accept, the table entries R12 programs need that the drawing lacks, the
// names of blocks without one, and the code page of the texts.
// One pass over the drawing; lookups by name and by handle go through keyed
// hash indexes on the toolkit heap, never along a list.
#ifndef VEXLITH_WRITE_WRITE_PLAN_H
#define VEXLITH_WRITE_WRITE_PLAN_H

#include <cstdint>

#include "runtime/scratch.h"
#include "vexlith.h"
#include "write/names.h"
#include "write/text_page.h"

namespace vexlith {

struct WritePlan {
    // QDXF_WRITE_COMPLETE: the handles of the records written, when every one
    // is a hexadecimal number of its own; then $HANDSEED is above them all.
    bool handles = false;
    std::uint64_t handleSeed = 0;
    // QDXF_WRITE_R12_NAMES: the name written for each name.
    bool renames = false;
    R12Names names;
    // QDXF_WRITE_COMPLETE: entries the drawing's tables lack that R12
    // programs need (layer 0, line type CONTINUOUS) or that records name
    // (layers, line types and text styles: a program of R12 refuses a
    // drawing with a line type it cannot find). The names are the drawing's
    // own.
    rt::Scratch<const char *> addedLayers;
    rt::Scratch<const char *> addedLtypes;
    rt::Scratch<const char *> addedStyles;
    // QDXF_WRITE_COMPLETE: the names given to the blocks without one (a null
    // or empty name), in the order of the blocks: "*U" and a number no block
    // has, anonymous blocks. An INSERT of the empty name inserts the first
    // block of that name.
    rt::Scratch<char *> givenNames;
    const char *emptyNameBlock = nullptr;
    // QDXF_WRITE_COMPLETE: the code page of the texts ($DWGCODEPAGE).
    TextPage page;

    // The name to write for a name of `kind`.
    const char *Name(SymbolKind kind, const char *name) const {
        return renames ? names.Of(kind, name) : name;
    }
};

// Fills `plan` for a write of `drawing` with `flags`; false when the heap is
// exhausted. The drawing must not change until the plan is released.
bool MakeWritePlan(WritePlan &plan, const Qdxf_Info &drawing, unsigned int flags);
void ReleaseWritePlan(WritePlan &plan);

// Handles as R12 programs read them: 1 to 16 hexadecimal digits, not all 0.
bool ParseHandle(const char *text, std::uint64_t *value);

}  // namespace vexlith

#endif
