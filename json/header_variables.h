// SPDX-License-Identifier: MIT
// The header variables a drawing holds (Qdxf_Header), once for the commands
// that list, compare or write them.
#ifndef VEXLITH_TOOLS_HEADER_VARIABLES_H
#define VEXLITH_TOOLS_HEADER_VARIABLES_H

#include <cstddef>

#include "vexlith.h"

namespace cli {

struct HeaderVariable {
    const char *name;                                          // as the file names it: "$ACADVER"
    enum Kind { kText, kInteger, kReal, kDate, kPoint } kind;  // a date is a Julian day number
    std::size_t offset;                                        // of its member in Qdxf_Header

    const char *Text(const Qdxf_Header &header) const { return Member<char *>(header); }
    int Integer(const Qdxf_Header &header) const { return Member<int>(header); }
    double Real(const Qdxf_Header &header) const { return Member<double>(header); }
    const Qdxf_Coord *Point(const Qdxf_Header &header) const {
        return Member<Qdxf_Coord *>(header);
    }

private:
    template <typename T>
    const T &Member(const Qdxf_Header &header) const {
        return *reinterpret_cast<const T *>(reinterpret_cast<const char *>(&header) + offset);
    }
};

#define VX_VARIABLE(name, kind, member)                           \
    HeaderVariable {                                              \
        name, HeaderVariable::kind, offsetof(Qdxf_Header, member) \
    }

// In the order the tool prints them.
inline constexpr HeaderVariable kHeaderVariables[] = {
    VX_VARIABLE("$ACADVER", kText, acadver),      VX_VARIABLE("$ANGBASE", kReal, angbase),
    VX_VARIABLE("$ANGDIR", kInteger, angdir),     VX_VARIABLE("$AUNITS", kInteger, aunits),
    VX_VARIABLE("$AUPREC", kInteger, auprec),     VX_VARIABLE("$CECOLOR", kInteger, cecolor),
    VX_VARIABLE("$CELTYPE", kText, celtype),      VX_VARIABLE("$CLAYER", kText, clayer),
    VX_VARIABLE("$EXTMIN", kPoint, extmin),       VX_VARIABLE("$EXTMAX", kPoint, extmax),
    VX_VARIABLE("$FILLMODE", kInteger, fillmode), VX_VARIABLE("$LTSCALE", kReal, ltscale),
    VX_VARIABLE("$LUNITS", kInteger, lunits),     VX_VARIABLE("$LUPREC", kInteger, luprec),
    VX_VARIABLE("$PLINEGEN", kInteger, plinegen), VX_VARIABLE("$PLINEWID", kReal, plinewid),
    VX_VARIABLE("$TDCREATE", kDate, tdcreate),    VX_VARIABLE("$TEXTSIZE", kReal, textsize),
    VX_VARIABLE("$TEXTSTYLE", kText, textstyle),  VX_VARIABLE("$TRACEWID", kReal, tracewid),
};

#undef VX_VARIABLE

}  // namespace cli

#endif
