// SPDX-License-Identifier: MIT
// The section readers behind qdxf_Read. Each takes the state of the read (or
// only its group source) and the report out-parameter first and reads its
// section up to and including the group 0 "ENDSEC" that closes it.
#ifndef VEXLITH_READ_READERS_H
#define VEXLITH_READ_READERS_H

#include <span>

#include "model/members.h"
#include "read/read_state.h"
#include "vexlith.h"

namespace vexlith {

// A text member takes a copy of `text`, which a later group replaces; false
// when the heap is exhausted, the member unchanged.
bool SetText(char **member, const char *text);

// Sets the member of `record` that `group` stands for in `members`; a group
// not listed there is passed over. False when the heap is exhausted, the
// member unchanged.
bool ApplyGroup(std::span<const GroupMember> members, void *record, const Qdxf_Group &group);

// QDXF_READ_UTF8: the text members of `record` that `members` names in UTF-8,
// read in the encoding the file's header gave (a record is converted before
// it is indexed or looked up by name, so that names match). Without the
// option nothing is done. False when the heap is exhausted.
bool TextMembersToUtf8(const Qdxf_ReadState &read, std::span<const GroupMember> members,
                       void *record);

// Reads groups up to and including the 0 group `tag` (ENDSEC, ENDTAB); a
// failure is reported on behalf of `function`, the skipping reader.
void SkipPast(GroupSource &source, rt::Report **report, const char *tag, const char *function);

// One section, or the EOF tag: returns 1 for EOF, 0 otherwise.
int ReadSection(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing);
void SkipSection(GroupSource &source, rt::Report **report);

// HEADER.
struct Qdxf_Variable {
    char *name;          // without its leading "$"
    Qdxf_Group *groups;  // the value groups in file order
};
void ReadHeader(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing);
// Null without a report, and *end set, for an empty section.
Qdxf_Variable *ReadVariable(GroupSource &source, rt::Report **report, int *end);
void FreeVariable(Qdxf_Variable *variable);
char *StringVarCopy(rt::Report **report, const Qdxf_Variable *variable);
int IntVarCopy(rt::Report **report, const Qdxf_Variable *variable);
double FloatVarCopy(rt::Report **report, const Qdxf_Variable *variable);
Qdxf_Coord *PointVarCopy(rt::Report **report, const Qdxf_Variable *variable);

// Angles of groups 50 and 51 are held in radians.
constexpr double Radians(double degrees) {
    return degrees * 3.141592653589793 / 180;
}

// TABLES: the LTYPE, LAYER and STYLE tables are read entry by entry, every
// other table is skipped.
void ReadTables(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing);
void SkipTable(GroupSource &source, rt::Report **report);
// QDXF_READ_MODERN_KINDS: the entries of a table, or the objects of the
// OBJECTS section, that the drawn kinds look up (dimension styles, block
// records, multiline styles), kept group by group up to `end` ("ENDTAB" or
// "ENDSEC").
void KeepStyleEntries(Qdxf_ReadState &read, rt::Report **report, const char *end);
void ReadLtypeTable(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing);
void ReadLayerTable(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing);
void ReadStyleTable(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing);
// One entry after its type group: the new record, or null when the entry has
// no groups or on failure.
Qdxf_Ltype *ReadSingleLtype(Qdxf_ReadState &read, rt::Report **report);
Qdxf_Layer *ReadSingleLayer(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing);
Qdxf_Style *ReadSingleStyle(Qdxf_ReadState &read, rt::Report **report);

// ENTITIES. An entity is read in one pass, each group straight into the
// member it sets.
void ReadEntityList(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing,
                    Qdxf_Block *block);
// The next entity, owned by the caller; null with a null report at the end of
// the list (ENDSEC or ENDBLK, consumed).
Qdxf_Entity *ReadEntity(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing,
                        Qdxf_Block *block);
// The first layer of the drawing's LAYER table named `name` (both null
// included), or null.
Qdxf_Layer *FindLayer(const Qdxf_ReadState &read, const Qdxf_Info *drawing, const char *name);

// BLOCKS.
void ReadBlockList(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing);
// The next block definition, owned by the caller; null with a null report at
// the end of the section.
Qdxf_Block *ReadBlock(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing);

}  // namespace vexlith

#endif
