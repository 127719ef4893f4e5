// SPDX-License-Identifier: MIT
// The header variables the library knows, once: their names (without "$"),
// how a value is held and where in Qdxf_Header. The header reader stores by
// it and the release frees the texts and points it names.
#ifndef VEXLITH_MODEL_HEADER_VARIABLES_H
#define VEXLITH_MODEL_HEADER_VARIABLES_H

#include <cstddef>

#include "model/members.h"
#include "vexlith.h"

namespace vexlith {

enum class Copy { String, Int, Float, Point };

struct KnownVariable {
    const char *name;
    Copy copy;
    std::size_t member;  // offset of the member in Qdxf_Header
};

inline constexpr KnownVariable kKnownVariables[] = {
    {"ACADVER", Copy::String, offsetof(Qdxf_Header, acadver)},
    {"ANGBASE", Copy::Float, offsetof(Qdxf_Header, angbase)},
    {"ANGDIR", Copy::Int, offsetof(Qdxf_Header, angdir)},
    {"AUNITS", Copy::Int, offsetof(Qdxf_Header, aunits)},
    {"AUPREC", Copy::Int, offsetof(Qdxf_Header, auprec)},
    {"CECOLOR", Copy::Int, offsetof(Qdxf_Header, cecolor)},
    {"CELTYPE", Copy::String, offsetof(Qdxf_Header, celtype)},
    {"CLAYER", Copy::String, offsetof(Qdxf_Header, clayer)},
    {"EXTMAX", Copy::Point, offsetof(Qdxf_Header, extmax)},
    {"EXTMIN", Copy::Point, offsetof(Qdxf_Header, extmin)},
    {"LTSCALE", Copy::Float, offsetof(Qdxf_Header, ltscale)},
    {"LUNITS", Copy::Int, offsetof(Qdxf_Header, lunits)},
    {"FILLMODE", Copy::Int, offsetof(Qdxf_Header, fillmode)},
    {"LUPREC", Copy::Int, offsetof(Qdxf_Header, luprec)},
    {"PLINEGEN", Copy::Int, offsetof(Qdxf_Header, plinegen)},
    {"PLINEWID", Copy::Float, offsetof(Qdxf_Header, plinewid)},
    {"TDCREATE", Copy::Float, offsetof(Qdxf_Header, tdcreate)},
    {"TEXTSIZE", Copy::Float, offsetof(Qdxf_Header, textsize)},
    {"TEXTSTYLE", Copy::String, offsetof(Qdxf_Header, textstyle)},
    {"TRACEWID", Copy::Float, offsetof(Qdxf_Header, tracewid)},
};

}  // namespace vexlith

#endif
