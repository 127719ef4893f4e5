// The section readers behind qdxf_Read. Each takes the report out-parameter
// first and reads its section of the file of the read in progress up to and
// including the group 0 "ENDSEC" that closes it.
#ifndef VEXLITH_READ_READERS_H
#define VEXLITH_READ_READERS_H

#include "codec/group.h"
#include "vexlith.h"

namespace vexlith {

// One section, or the EOF tag: returns 1 for EOF, 0 otherwise.
int ReadSection(rt::Report **report, Qdxf_Info *drawing);
void SkipSection(rt::File *file, rt::Report **report);

// HEADER.
struct Qdxf_Variable {
    char *name;          // without its leading "$"
    Qdxf_Group *groups;  // the value groups in file order
};
void ReadHeader(rt::Report **report, Qdxf_Info *drawing);
// Null without a report, and *end set, for an empty section.
Qdxf_Variable *ReadVariable(rt::Report **report, rt::File *file, int *end);
void FreeVariable(Qdxf_Variable *variable);
char *StringVarCopy(rt::Report **report, const Qdxf_Variable *variable);
int IntVarCopy(rt::Report **report, const Qdxf_Variable *variable);
double FloatVarCopy(rt::Report **report, const Qdxf_Variable *variable);
Qdxf_Coord *PointVarCopy(rt::Report **report, const Qdxf_Variable *variable);

// TABLES, BLOCKS, ENTITIES.
void ReadTables(rt::Report **report, Qdxf_Info *drawing);
void ReadBlockList(rt::Report **report, Qdxf_Info *drawing);
void ReadEntityList(rt::Report **report, Qdxf_Info *drawing, Qdxf_Block *block);

}  // namespace vexlith

#endif
