// SPDX-License-Identifier: MIT
// Reading a damaged drawing (QDXF_READ_RECOVER). The group reader and the
// section readers consult this one place where the plain read would fail or
// read on unawares: the group reader reads every group it cannot take on its
// quick path here (a number that is not whole, a code line that is not one, a
// text broken over lines, a binary group that cannot be decoded, the end of
// the bytes), and the section readers ask here what to do with a record out
// of place. What was done goes into the list of repairs the read hands out.
//
// The end of the input reads as (0, "EOF") for ever, so that every reader
// closes what it holds and ends; the record the end cut off is dropped by
// the reader that was reading it.
#ifndef VEXLITH_RECOVER_RECOVERY_H
#define VEXLITH_RECOVER_RECOVERY_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codec/group.h"
#include "runtime/name_index.h"
#include "runtime/scratch.h"
#include "runtime/toolkit.h"
#include "vexlith.h"

namespace vexlith {

struct Qdxf_ReadState;

namespace recover {

// Where a repair was made: the group's code line (ASCII; 0 in binary) and
// the byte offset of the group.
struct Place {
    long long line;
    long long offset;
};

// The place of the next group of a source.
inline Place PlaceOf(const GroupSource &source) {
    return {source.binary ? 0 : source.lineNumber, GroupPosition(source)};
}
inline Place PlaceOf(const GroupSource &source, const GroupMark &mark) {
    return {source.binary ? 0 : mark.lineNumber, mark.position};
}

// The repairs a read can make. Each has one action and loss (kKindRules in
// recovery.cpp); repairs of one kind in a row fold into one record with a
// count, and those of the form alone into the first of their kind.
enum class Kind : std::uint8_t {
    ByteOrderMark,
    LineEnds,
    CodeBlanks,
    TagForm,
    AfterEof,
    EofMissing,
    EndsecMissing,
    EndtabMissing,
    EndblkMissing,
    SeqendMissing,
    OutsideSection,
    SectionTwice,
    UnnamedSection,
    StrayGroups,
    Cut,
    Undecodable,
    BadCodeLine,
    TextBreak,
    LongText,
    DecimalComma,
    ExponentBlank,
    NanWord,
    InfinityWord,
    OutOfRange,
    TrailingJunk,
    NoNumber,
    RealForInteger,
    EmptyHandle,
    BadHandle,
    DuplicateHandle,
    Orphan,
    NamelessBlock,
    DuplicateBlock,
    UndefinedBlock,
    StrayEnd,
    OutsideBlock,
    StrayRecord,
    BadVariable,
    NoDollar,
    DashCount,
    Overflow,
    None,  // a number that needs no repair
};

// What a record reader notes at its start, to tell at its end whether the
// input ended or broke while it was read.
struct RecordStart {
    bool ended;
    int breaks;
};

// The recovery of one read, in its read state; the group source points here
// while the read recovers (and is null for the plain read).
class Recovery {
public:
    // Lists a repair at `place`: what the file held there (cut to 80 bytes;
    // empty for none) and what was done, printf-formatted. An exhausted heap
    // is remembered and fails the read at its end.
    [[gnu::format(printf, 5, 6)]] void Add(Kind kind, Place place, std::string_view found,
                                           const char *format, ...);
    // The list, handed to the caller (null when there is none).
    Qdxf_Repair *Take();
    // Releases everything it holds.
    void Release();
    bool OutOfMemory() const { return noMemory_; }
    void NoteNoMemory() { noMemory_ = true; }
    // Whether a repair of `kind` has been listed.
    bool Listed(Kind kind) const { return (listed_ >> static_cast<int>(kind)) & 1; }

    RecordStart Start() const { return {ended, breaks}; }
    // The input ended, or a group broke in binary, after `start`.
    bool CutSince(const RecordStart &start) const { return ended && !start.ended; }
    bool BrokenSince(const RecordStart &start) const { return breaks != start.breaks; }

    // The group reader's: the input has ended; binary groups that could not
    // be decoded so far; the end of the furthest group read (a group read
    // again after a push back lists no repair again); a text it made.
    bool ended = false;
    int breaks = 0;
    rt::Position furthest = 0;
    char text[kGroupTextSize] = {};
    char line[kGroupTextSize] = {};  // the kept part of a line too long to read at once

    // The section readers': the sections met (one bit each), an INSERT whose
    // attributes follow until a SEQEND (and where it is).
    unsigned sections = 0;
    bool attributesOpen = false;
    Place attributesPlace{};

    // Handles of the records read, the largest of them; block names read,
    // the largest number of a "*U" name, the names a later block of the same
    // name took; INSERTs of blocks not defined when they were read.
    rt::Scratch<std::uint64_t> ascendingHandles;  // those read in increasing order
    rt::NumberSet otherHandles;
    std::uint64_t largestHandle = 0;
    rt::NameIndex blockNames;
    std::uint64_t largestAnonymous = 0;
    rt::NameIndex renamedBlocks;  // to an index in currentNames, plus 1
    rt::Scratch<const char *> currentNames;
    rt::NameIndex missingBlocks;
    rt::Scratch<char *> ownedTexts;  // names the indexes above hold
    struct MissingBlock {
        const char *name;
        Place place;
    };
    rt::Scratch<MissingBlock> missing;

private:
    Qdxf_Repair *head_ = nullptr;
    Qdxf_Repair *last_ = nullptr;
    Kind lastKind_ = Kind::None;
    Qdxf_Repair *firstOf_[static_cast<int>(Kind::None)] = {};  // of the kinds listed once
    std::size_t records_ = 0;
    std::uint64_t listed_ = 0;
    bool noMemory_ = false;
};
static_assert(static_cast<int>(Kind::None) < 64);

// A copy of `text` that the recovery keeps until the read ends; null when
// the heap is exhausted.
const char *KeepText(Recovery &recovery, std::string_view text);

// ---------------------------------------------------------------------------
// The group reader's (group_recovery.cpp)
// ---------------------------------------------------------------------------

// What ReadGroupInFull does for a source that recovers. It never fails: the
// end of the input gives (0, "EOF").
void ReadGroup(GroupSource &source, GroupView *group);

// Before the first group: a UTF-8 byte order mark passed over and, in ASCII,
// whether the first kilobytes hold DXF groups at all. False, with the report,
// for a file that is not DXF.
bool BeginRead(Qdxf_ReadState &read, const char *fileName, rt::Report **report);
// After the EOF group: whatever follows it is passed over, with a repair.
void EndRead(Qdxf_ReadState &read);

// ---------------------------------------------------------------------------
// The section readers' (structure.cpp)
// ---------------------------------------------------------------------------

// The 0 groups that begin and end sections, tables and blocks.
bool IsSectionEnd(const Qdxf_Group &group);  // SECTION or EOF: ENDSEC is missing
bool IsSectionEnd(const GroupView &group);

// Before a section: groups that are not (0, "SECTION") or (0, "EOF") are
// passed over, with a repair, and that tag is read; true when it is EOF.
bool SkipToSection(Qdxf_ReadState &read);
// The section name group just read after SECTION (`mark`: where it was):
// made a name the readers know (blanks, case), the section noted; false when
// it is no name group (pushed back) and the section is to be skipped.
bool TakeSectionName(Qdxf_ReadState &read, Qdxf_Group &group, const GroupMark &mark);
// The group 9 that names the next variable of a HEADER section into `name`,
// `mark` where it is; groups before it are passed over. False at the end of
// the section (ENDSEC read, or a section's end pushed back).
bool TakeVariableName(GroupSource &source, Qdxf_Group *name, GroupMark *mark);
// In a section: groups before the next 0 group are passed over, with a
// repair: where a record must begin. The place of the 0 group.
Place SkipToRecord(Qdxf_ReadState &read);
// The same, the 0 group read into `type` (`mark`: where it is).
Place ReadRecordStart(GroupSource &source, GroupView *type, GroupMark *mark);
// Passes over the groups of a record after its 0 group, up to the next 0
// group (pushed back).
void SkipRecord(GroupSource &source);
// A section or table reader met `group` where its end belongs (SECTION or
// EOF): pushed back, and the missing end listed unless the input has ended.
void SupplyEnd(GroupSource &source, Kind missing, const GroupMark &mark);

// What an entity list does with the record whose 0 group holds `name`.
enum class Admit { Read, Drop };
Admit AdmitEntity(Recovery &recovery, const char *name, Place place);
// The entity list has ended: an INSERT's attributes without their SEQEND.
void EndEntityList(Recovery &recovery, Place place);
// An entity read whole: its handle, an INSERT's block (a renamed one, a
// missing one noted), a POLYLINE left without SEQEND (`sequenceOpen`, closed
// at `next`), an INSERT whose attributes follow.
void EntityRead(Recovery &recovery, Qdxf_Entity &entity, Place place, Place handlePlace,
                bool sequenceOpen, bool attributesFollow, Place next);
// Whether the record that began at `start` is to be left out: the end of the
// input cut it, or a binary group in it could not be decoded. Then it is
// listed, `what` naming it ("LINE", "LAYER").
bool RecordLost(GroupSource &source, const RecordStart &start, const char *what, Place place);

// A record's handle: an empty or non-hexadecimal one, or one read before,
// replaced by a new one.
void CheckHandle(Recovery &recovery, char *&handle, Place place, const char *what);
// A block definition read: a name made for one without, a later one of a
// name read before renamed, its handle checked.
void BlockRead(Recovery &recovery, Qdxf_Block &block, Place place, Place handlePlace);

// At the end of the read: an empty block for each INSERT's block that was
// never defined, the end of a file without EOF. False when the heap is
// exhausted.
bool FinishRead(Qdxf_ReadState &read, Qdxf_Info *drawing);

}  // namespace recover
}  // namespace vexlith

#endif
