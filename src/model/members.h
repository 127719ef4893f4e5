// SPDX-License-Identifier: MIT
// Which member of a table entry or of a block each of its groups sets, once:
// the table and block readers apply groups by these tables and the release
// frees the texts they name. Groups a reader treats on its own (a line
// type's dash count and lengths) are not listed.
#ifndef VEXLITH_MODEL_MEMBERS_H
#define VEXLITH_MODEL_MEMBERS_H

#include <cstddef>
#include <span>

#include "vexlith.h"

namespace vexlith {

// How a member holds its group's value. An angle is in degrees in the file
// and held in radians.
enum class Held { Text, Int, Real, Angle };

struct GroupMember {
    int code;
    Held held;
    std::size_t member;  // offset of the member in its record
};

template <typename T>
inline T &MemberOf(void *record, std::size_t offset) {
    return *reinterpret_cast<T *>(static_cast<char *>(record) + offset);
}

inline constexpr GroupMember kLtypeMembers[] = {
    {2, Held::Text, offsetof(Qdxf_Ltype, name)},
    {3, Held::Text, offsetof(Qdxf_Ltype, text)},
    {5, Held::Text, offsetof(Qdxf_Ltype, handle)},
    {40, Held::Real, offsetof(Qdxf_Ltype, patternLength)},
    {70, Held::Int, offsetof(Qdxf_Ltype, flags)},
    {72, Held::Int, offsetof(Qdxf_Ltype, alignment)},
};

inline constexpr GroupMember kLayerMembers[] = {
    {2, Held::Text, offsetof(Qdxf_Layer, name)},
    {5, Held::Text, offsetof(Qdxf_Layer, handle)},
    {6, Held::Text, offsetof(Qdxf_Layer, ltypeName)},
    {62, Held::Int, offsetof(Qdxf_Layer, color)},  // negative for a layer that is off
    {70, Held::Int, offsetof(Qdxf_Layer, flags)},
};

inline constexpr GroupMember kStyleMembers[] = {
    {2, Held::Text, offsetof(Qdxf_Style, name)},
    {3, Held::Text, offsetof(Qdxf_Style, primaryFontFile)},
    {4, Held::Text, offsetof(Qdxf_Style, bigFontFile)},
    {5, Held::Text, offsetof(Qdxf_Style, handle)},
    {40, Held::Real, offsetof(Qdxf_Style, fixedTextHeight)},
    {41, Held::Real, offsetof(Qdxf_Style, widthFactor)},
    {42, Held::Real, offsetof(Qdxf_Style, lastHeightUsed)},
    {50, Held::Angle, offsetof(Qdxf_Style, obliqueAngle)},
    {70, Held::Int, offsetof(Qdxf_Style, flags)},
    {71, Held::Int, offsetof(Qdxf_Style, textGenFlags)},
};

// A block's base point takes every point of its header (codes 10 to 13 and
// their y and z), the last one winning.
#define VX_BLOCK_BASE(axis, codes) \
    { codes, Held::Real, offsetof(Qdxf_Block, basePoint) + offsetof(Qdxf_Coord, axis) }
inline constexpr GroupMember kBlockMembers[] = {
    {1, Held::Text, offsetof(Qdxf_Block, xrefPath)},
    {2, Held::Text, offsetof(Qdxf_Block, name)},
    {5, Held::Text, offsetof(Qdxf_Block, handle)},
    {6, Held::Text, offsetof(Qdxf_Block, ltypeName)},
    {8, Held::Text, offsetof(Qdxf_Block, layerName)},
    VX_BLOCK_BASE(x, 10),
    VX_BLOCK_BASE(x, 11),
    VX_BLOCK_BASE(x, 12),
    VX_BLOCK_BASE(x, 13),
    VX_BLOCK_BASE(y, 20),
    VX_BLOCK_BASE(y, 21),
    VX_BLOCK_BASE(y, 22),
    VX_BLOCK_BASE(y, 23),
    VX_BLOCK_BASE(z, 30),
    VX_BLOCK_BASE(z, 31),
    VX_BLOCK_BASE(z, 32),
    VX_BLOCK_BASE(z, 33),
    {38, Held::Real, offsetof(Qdxf_Block, elevation)},
    {39, Held::Real, offsetof(Qdxf_Block, thickness)},
    {62, Held::Int, offsetof(Qdxf_Block, color)},
    {67, Held::Int, offsetof(Qdxf_Block, space)},
    {70, Held::Int, offsetof(Qdxf_Block, typeFlag)},
};
#undef VX_BLOCK_BASE

// Frees the text members of `record` that `members` names; the record stays.
void FreeTextMembers(std::span<const GroupMember> members, void *record);

}  // namespace vexlith

#endif
