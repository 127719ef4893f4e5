// SPDX-License-Identifier: MIT
// What the drawn kinds refer to by name or handle, kept with
// QDXF_READ_MODERN_KINDS while the sections before the entities are read:
// the dimension styles (DIMSTYLE entries, the header's $DIM variables), the
// block records (a handle to a block's name), the multiline styles (MLINESTYLE
// objects, after the entities) and the drawing's blocks by name.
#ifndef VEXLITH_TRANSLATE_STYLES_H
#define VEXLITH_TRANSLATE_STYLES_H

#include <cstdint>
#include <string_view>

#include "runtime/name_index.h"
#include "runtime/scratch.h"
#include "translate/groups.h"

namespace vexlith::translate {

// The numbers of a dimension style, by the variable that sets them.
enum class Dim : int {
    kScale,                  // DIMSCALE (0: 1)
    kArrowSize,              // DIMASZ
    kExtensionOffset,        // DIMEXO: from the origin to the extension line
    kExtensionBeyond,        // DIMEXE: the extension line beyond the dimension line
    kTextHeight,             // DIMTXT
    kGap,                    // DIMGAP: around the text
    kTickSize,               // DIMTSZ: ticks instead of arrowheads when positive
    kLinearFactor,           // DIMLFAC
    kRounding,               // DIMRND
    kDecimals,               // DIMDEC
    kAngleDecimals,          // DIMADEC (-1: DIMDEC)
    kZeros,                  // DIMZIN: 4 no leading zero, 8 no trailing zeros
    kAngleZeros,             // DIMAZIN: 1 no leading zero, 2 no trailing zeros
    kTextAbove,              // DIMTAD: 0 the text centred on the line, else above it
    kTextInsideHorizontal,   // DIMTIH
    kTextOutsideHorizontal,  // DIMTOH
    kSuppressFirst,          // DIMSE1: no first extension line
    kSuppressSecond,         // DIMSE2
    kDecimalSeparator,       // DIMDSEP, a character code
    kLineColor,              // DIMCLRD
    kExtensionColor,         // DIMCLRE
    kTextColor,              // DIMCLRT
    kCount,
};
constexpr int kDimNumbers = static_cast<int>(Dim::kCount);

// A dimension style resolved for one entity: its entry, the header and the
// defaults of the DXF reference (those of AutoCAD's imperial drawings) where
// the entry is silent, the entity's own overrides (extended data "ACAD",
// "DSTYLE") above all.
struct DimStyle {
    double number[kDimNumbers];
    std::string_view post;   // DIMPOST: a suffix, or the text around "<>"
    std::string_view arrow;  // DIMBLK: the arrowhead's block name ("" closed filled)

    double operator[](Dim which) const { return number[static_cast<int>(which)]; }
    // A length of the style, scaled by DIMSCALE.
    double Scaled(Dim which) const;
    int Int(Dim which) const;
};

class Styles {
public:
    // A table entry or object begins (the text of its code-0 group, such as
    // "DIMSTYLE"); the groups up to the next one go to Keep. False when the
    // heap is exhausted.
    bool Begin(std::string_view kind);
    bool Keep(const GroupView &group);
    // Whether the groups now read are kept (else Keep drops them).
    bool Keeping() const { return entry_ != nullptr; }
    // A header variable (its name without "$") and its first value group.
    bool KeepVariable(const char *name, Qdxf_ValueKind kind, std::int32_t integer, double real,
                      const char *text);

    // The style named `name` (null or absent: "Standard"), with the
    // overrides of the entity whose groups are `groups`.
    DimStyle Resolve(const char *name, Groups groups);
    // The name of the block whose BLOCK_RECORD has `handle`; null if unknown.
    const char *BlockName(const char *handle) const;
    // The flags (group 70) of the MLINESTYLE with `handle`, else the one
    // named `name`; false when the drawing has neither.
    bool MLineStyleFlags(const char *handle, const char *name, int *flags) const;
    // The block of the drawing named `name`, among those read so far.
    // False when the heap is exhausted.
    bool FindBlock(const Qdxf_Info *drawing, const char *name, const Qdxf_Block **block);

    void Release();

private:
    struct Entry;
    Entry *entry_ = nullptr;  // the one being kept, or null
    rt::Scratch<Entry *> entries_;
    rt::NameIndex dimStyles_, blockRecords_, mlineHandles_, mlineNames_;
    // The header's values: a bit of `headerSet_` for each number set.
    double header_[kDimNumbers] = {};
    std::uint32_t headerSet_ = 0;
    char *headerPost_ = nullptr;
    char *headerArrow_ = nullptr;
    rt::NameIndex blocks_;
    const Qdxf_Block *indexedUpTo_ = nullptr;
};

}  // namespace vexlith::translate

#endif
