// SPDX-License-Identifier: MIT
// What the section readers of a recovering read do with records out of
// place: a section, table or block without its end is closed where the next
// one begins; groups outside any section, records where none of their kind
// belongs and VERTEX, ATTRIB or SEQEND records without their parent are
// passed over; a record the end of the input cut off is dropped. Handles and
// block names are made unique, the later record renamed; the INSERTs that
// follow a renamed block name it by its new name, and an INSERT of a block
// never defined gets an empty one at the end of the read.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "model/release.h"
#include "read/readers.h"
#include "recover/forms.h"
#include "recover/recovery.h"

namespace vexlith::recover {
namespace {

// A group as the file held it, for a repair's `found`: its code and value.
struct GroupText {
    char text[81];
};
GroupText Describe(const GroupView &group) {
    GroupText shown{};
    switch (group.kind) {
        case QDXF_VALUE_TEXT:
            std::snprintf(shown.text, sizeof shown.text, "%d %.*s", group.code,
                          static_cast<int>(std::min<std::size_t>(group.length, 75)), group.text);
            break;
        case QDXF_VALUE_INT:
            std::snprintf(shown.text, sizeof shown.text, "%d %d", group.code, group.integer);
            break;
        case QDXF_VALUE_REAL:
            std::snprintf(shown.text, sizeof shown.text, "%d %g", group.code, group.real);
            break;
        case QDXF_VALUE_NONE:
            std::snprintf(shown.text, sizeof shown.text, "%d", group.code);
            break;
    }
    return shown;
}

void Read(GroupSource &source, GroupView *group) {
    ReadGroup(source, static_cast<rt::Report **>(nullptr), group);
}

// The sections a file should hold once, one bit each.
constexpr const char *kSections[] = {"HEADER", "CLASSES",  "TABLES",
                                     "BLOCKS", "ENTITIES", "OBJECTS"};

bool ParseHandle(std::string_view text, std::uint64_t *value) {
    if (text.empty() || text.size() > 16) return false;
    std::uint64_t number = 0;
    for (char c : text) {
        int digit = IsDecimal(c)           ? c - '0'
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                           : -1;
        if (digit < 0) return false;
        number = number << 4 | static_cast<std::uint64_t>(digit);
    }
    *value = number;
    return true;
}

// The number of an anonymous block's name ("*U12"), or 0.
std::uint64_t AnonymousNumber(const char *name) {
    if (!name || name[0] != '*' || (name[1] != 'U' && name[1] != 'u') || !IsDecimal(name[2]))
        return 0;
    std::uint64_t number = 0;
    for (const char *c = name + 2; *c; ++c) {
        if (!IsDecimal(*c) || number > UINT32_MAX) return 0;
        number = number * 10 + static_cast<std::uint64_t>(*c - '0');
    }
    return number;
}

void ReplaceText(Recovery &recovery, char *&member, const char *text) {
    if (!SetText(&member, text)) recovery.NoteNoMemory();
}

}  // namespace

bool IsSectionEnd(const Qdxf_Group &group) {
    return IsTag(group, "SECTION") || IsTag(group, "EOF");
}

bool IsSectionEnd(const GroupView &group) {
    return IsTag(group, "SECTION") || IsTag(group, "EOF");
}

bool SkipToSection(Qdxf_ReadState &read) {
    GroupSource &source = read.source;
    GroupView group{};
    GroupMark first{};
    GroupText found{};
    long long skipped = 0;
    for (;;) {
        GroupMark mark = MarkGroup(source);
        Read(source, &group);
        if (IsSectionEnd(group)) break;
        if (skipped++ == 0) {
            first = mark;
            found = Describe(group);
        }
    }
    // The tag is taken here, not read again: a group found by passing over
    // lines that hold none is only found so from where the passing began.
    bool eof = IsTag(group, "EOF");
    if (!skipped) return eof;
    read.recovery.Add(Kind::OutsideSection, PlaceOf(source, first), found.text,
                      "%lld group%s outside any section %s passed over", skipped,
                      skipped == 1 ? "" : "s", skipped == 1 ? "is" : "are");
    return eof;
}

bool TakeSectionName(Qdxf_ReadState &read, Qdxf_Group &group, const GroupMark &mark) {
    Recovery &recovery = read.recovery;
    Place place = PlaceOf(read.source, mark);
    if (group.code != 2 || group.kind != QDXF_VALUE_TEXT) {
        PushBackGroup(read.source, mark);
        if (!recovery.ended)
            recovery.Add(Kind::UnnamedSection, place, {},
                         "a section without a name is passed over");
        return false;
    }
    char *name = group.value.text;
    if (!IsTagAsWritten(name, std::strlen(name))) {
        std::string_view trimmed = name;
        while (!trimmed.empty() && IsBlank(trimmed.front()))
            trimmed.remove_prefix(1);
        char normal[kGroupTextSize];
        std::size_t length = 0;
        for (char c : trimmed)
            normal[length++] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        normal[length] = '\0';
        recovery.Add(Kind::TagForm, place, name, "the name \"%s\" is read as \"%s\"", name, normal);
        std::memcpy(name, normal, length + 1);
    }
    for (unsigned bit = 0; bit < std::size(kSections); ++bit) {
        if (!rt::TextEqual(name, kSections[bit])) continue;
        if (recovery.sections & (1u << bit)) {
            recovery.Add(Kind::SectionTwice, place, name,
                         "a second %s section is read into the first", name);
        }
        recovery.sections |= 1u << bit;
    }
    return true;
}

bool TakeVariableName(GroupSource &source, Qdxf_Group *name, GroupMark *mark) {
    long long skipped = 0;
    GroupMark first{};
    GroupText found{};
    for (;;) {
        *mark = MarkGroup(source);
        ReadGroup(source, nullptr, name);
        if (name->code == 9 && name->kind == QDXF_VALUE_TEXT) break;
        if (IsTag(*name, "ENDSEC") || name->code == 0) break;
        if (skipped++ == 0) {
            first = *mark;
            std::snprintf(found.text, sizeof found.text, "%d", name->code);
        }
    }
    if (skipped) {
        source.recovery->Add(Kind::StrayGroups, PlaceOf(source, first), found.text,
                             "%lld group%s where a variable must begin %s passed over", skipped,
                             skipped == 1 ? "" : "s", skipped == 1 ? "is" : "are");
    }
    if (name->code == 9) return true;
    if (!IsTag(*name, "ENDSEC")) SupplyEnd(source, Kind::EndsecMissing, *mark);
    return false;
}

Place SkipToRecord(Qdxf_ReadState &read) {
    GroupSource &source = read.source;
    GroupView group{};
    long long skipped = 0;
    GroupMark first{};
    GroupText found{};
    for (;;) {
        GroupMark mark = MarkGroup(source);
        Read(source, &group);
        if (group.code == 0) {
            PushBackGroup(source, mark);
            if (skipped) {
                read.recovery.Add(Kind::StrayGroups, PlaceOf(source, first), found.text,
                                  "%lld group%s where a record must begin %s passed over", skipped,
                                  skipped == 1 ? "" : "s", skipped == 1 ? "is" : "are");
            }
            return PlaceOf(source, mark);
        }
        if (skipped++ == 0) {
            first = mark;
            found = Describe(group);
        }
    }
}

Place ReadRecordStart(GroupSource &source, GroupView *type, GroupMark *mark) {
    long long skipped = 0;
    GroupMark first{};
    GroupText found{};
    for (;;) {
        *mark = MarkGroup(source);
        Read(source, type);
        if (type->code == 0) break;
        if (skipped++ == 0) {
            first = *mark;
            found = Describe(*type);
        }
    }
    if (skipped) {
        source.recovery->Add(Kind::StrayGroups, PlaceOf(source, first), found.text,
                             "%lld group%s where a record must begin %s passed over", skipped,
                             skipped == 1 ? "" : "s", skipped == 1 ? "is" : "are");
    }
    return PlaceOf(source, *mark);
}

void SkipRecord(GroupSource &source) {
    GroupView group{};
    for (;;) {
        GroupMark mark = MarkGroup(source);
        Read(source, &group);
        if (group.code == 0) return PushBackGroup(source, mark);
    }
}

void SupplyEnd(GroupSource &source, Kind missing, const GroupMark &mark) {
    PushBackGroup(source, mark);
    Recovery &recovery = *source.recovery;
    if (recovery.ended) return;  // the end of the input is listed once
    const char *what = missing == Kind::EndtabMissing   ? "table has no ENDTAB"
                       : missing == Kind::EndblkMissing ? "block has no ENDBLK"
                                                        : "section has no ENDSEC";
    recovery.Add(missing, PlaceOf(source, mark), {}, "the %s: it ends here", what);
}

Admit AdmitEntity(Recovery &recovery, const char *name, Place place) {
    std::string_view kind = name;
    bool attrib = kind == "ATTRIB", seqend = kind == "SEQEND";
    if (recovery.attributesOpen) {
        if (attrib) return Admit::Read;
        recovery.attributesOpen = false;
        if (seqend) return Admit::Read;
        recovery.Add(Kind::SeqendMissing, place, name,
                     "the attributes of the INSERT at line %lld, byte %lld have no SEQEND: they "
                     "end here",
                     recovery.attributesPlace.line, recovery.attributesPlace.offset);
    }
    if (!attrib && !seqend && kind != "VERTEX") return Admit::Read;
    recovery.Add(Kind::Orphan, place, name, "%s %s without its %s is left out",
                 std::strchr("AEIOU", name[0]) ? "an" : "a", name,
                 attrib   ? "INSERT"
                 : seqend ? "POLYLINE or INSERT"
                          : "POLYLINE");
    return Admit::Drop;
}

void EndEntityList(Recovery &recovery, Place place) {
    if (!recovery.attributesOpen) return;
    recovery.attributesOpen = false;
    if (recovery.ended) return;
    recovery.Add(Kind::SeqendMissing, place, {},
                 "the attributes of the INSERT at line %lld, byte %lld have no SEQEND: they end "
                 "here",
                 recovery.attributesPlace.line, recovery.attributesPlace.offset);
}

// Notes a handle read: false for one read before. Most files give their
// handles in increasing order, which a sorted array keeps without hashing.
bool NewHandle(Recovery &recovery, std::uint64_t value) {
    if (value > recovery.largestHandle || recovery.ascendingHandles.empty()) {
        recovery.largestHandle = std::max(recovery.largestHandle, value);
        if (!recovery.ascendingHandles.Append(value)) recovery.NoteNoMemory();
        return true;
    }
    const std::uint64_t *ascending = recovery.ascendingHandles.begin();
    if (std::binary_search(ascending, recovery.ascendingHandles.end(), value)) return false;
    bool added = false;
    if (!recovery.otherHandles.Add(value, &added)) recovery.NoteNoMemory();
    return added;
}

void CheckHandle(Recovery &recovery, char *&handle, Place place, const char *what) {
    if (!handle) return;
    std::uint64_t value = 0;
    Kind kind = Kind::DuplicateHandle;
    if (!handle[0]) {
        kind = Kind::EmptyHandle;
    } else if (!ParseHandle(handle, &value)) {
        kind = Kind::BadHandle;
    } else if (NewHandle(recovery, value)) {
        return;
    }
    // One above every handle read so far; a later record that has it is
    // renumbered in its turn.
    std::uint64_t fresh = recovery.largestHandle + 1;
    NewHandle(recovery, fresh);
    char made[17];
    std::snprintf(made, sizeof made, "%" PRIX64, fresh);
    switch (kind) {
        case Kind::EmptyHandle:
            recovery.Add(kind, place, {}, "the %s's empty handle is replaced by %s", what, made);
            break;
        case Kind::BadHandle:
            recovery.Add(kind, place, handle, "the %s's handle is not hexadecimal: replaced by %s",
                         what, made);
            break;
        default:
            recovery.Add(kind, place, handle, "handle %s is used before: this %s is renumbered %s",
                         handle, what, made);
            break;
    }
    ReplaceText(recovery, handle, made);
}

void BlockRead(Recovery &recovery, Qdxf_Block &block, Place place, Place handlePlace) {
    CheckHandle(recovery, block.handle, handlePlace, "BLOCK");
    char made[kGroupTextSize + 16];
    if (!block.name || !block.name[0]) {
        std::snprintf(made, sizeof made, "*U%" PRIu64, recovery.largestAnonymous + 1);
        recovery.Add(Kind::NamelessBlock, place, {}, "a block without a name is named %s", made);
        ReplaceText(recovery, block.name, made);
        block.typeFlag |= 1;  // anonymous
        if (!block.name) return;
    } else if (recovery.blockNames.Find(block.name)) {
        // NAME_2, NAME_3, ...: the first such name no block has.
        int suffix = 2;
        do {
            std::snprintf(made, sizeof made, "%.499s_%d", block.name, suffix++);
        } while (recovery.blockNames.Find(made));
        const char *original = KeepText(recovery, block.name);
        const char *renamed = KeepText(recovery, made);
        if (!original || !renamed) return;
        recovery.Add(Kind::DuplicateBlock, place, block.name,
                     "a second block named %s is renamed %s, and the INSERTs after it with it",
                     block.name, made);
        if (auto index = reinterpret_cast<std::uintptr_t>(recovery.renamedBlocks.Find(original))) {
            recovery.currentNames[index - 1] = renamed;
        } else if (!recovery.currentNames.Append(renamed) ||
                   !recovery.renamedBlocks.Add(
                       original, reinterpret_cast<void *>(recovery.currentNames.size()))) {
            return recovery.NoteNoMemory();
        }
        ReplaceText(recovery, block.name, made);
        if (!block.name) return;
    }
    recovery.largestAnonymous = std::max(recovery.largestAnonymous, AnonymousNumber(block.name));
    if (!recovery.blockNames.Add(block.name, &block)) recovery.NoteNoMemory();
}

void EntityRead(Recovery &recovery, Qdxf_Entity &entity, Place place, Place handlePlace,
                bool sequenceOpen, bool attributesFollow, Place next) {
    CheckHandle(recovery, entity.handle, handlePlace, "entity");
    if (sequenceOpen) {
        recovery.Add(Kind::SeqendMissing, next, {},
                     "the vertices of the POLYLINE at line %lld, byte %lld have no SEQEND: they "
                     "end here",
                     place.line, place.offset);
    }
    if (entity.type != QDXF_INSERT) return;
    if (attributesFollow) {
        recovery.attributesOpen = true;
        recovery.attributesPlace = place;
    }
    char *&name = entity.data.insert.blockName;
    if (!name || !name[0]) return;
    if (recovery.renamedBlocks.size()) {
        if (auto index = reinterpret_cast<std::uintptr_t>(recovery.renamedBlocks.Find(name)))
            ReplaceText(recovery, name, recovery.currentNames[index - 1]);
    }
    if (!name || recovery.blockNames.Find(name) || recovery.missingBlocks.Find(name)) return;
    const char *kept = KeepText(recovery, name);
    if (!kept) return;
    if (!recovery.missing.Append({kept, place}) || !recovery.missingBlocks.Add(kept, nullptr))
        recovery.NoteNoMemory();
}

bool RecordLost(GroupSource &source, const RecordStart &start, const char *what, Place place) {
    Recovery &recovery = *source.recovery;
    if (recovery.CutSince(start)) {
        recovery.Add(Kind::Cut, place, what, "the file ends inside this %s, which is left out",
                     what);
        return true;
    }
    if (recovery.BrokenSince(start)) {
        recovery.Add(Kind::Cut, place, what,
                     "this %s holds a group that cannot be decoded and is left out", what);
        return true;
    }
    return false;
}

bool FinishRead(Qdxf_ReadState &read, Qdxf_Info *drawing) {
    Recovery &recovery = read.recovery;
    // A read its callback stopped has not seen the blocks the file may
    // define later.
    if (!recovery.missing.empty() && !read.stopped) {
        // What is defined by now: the file's blocks, and those the read made.
        rt::NameIndex defined;
        bool stored = true;
        for (const Qdxf_Block *block = drawing->blocks; block && stored; block = block->next)
            stored = defined.Add(block->name, const_cast<Qdxf_Block *>(block));
        rt::ListAppender<Qdxf_Block> blocks(&drawing->blocks, &read.lastBlock);
        for (const Recovery::MissingBlock &missing : recovery.missing) {
            if (!stored) break;
            if (defined.Find(missing.name)) continue;
            auto *block = rt::New<Qdxf_Block>();
            if (block) block->name = rt::Duplicate(missing.name);
            if (!block || !block->name) {
                rt::Free(block);
                stored = false;
                break;
            }
            block->color = 256;
            blocks.Append(block);
            stored = defined.Add(block->name, block);
            recovery.Add(Kind::UndefinedBlock, missing.place, missing.name,
                         "no block is named %s: an empty one is made", missing.name);
        }
        defined.Release();
        if (!stored) recovery.NoteNoMemory();
    }
    if (recovery.ended && !recovery.Listed(Kind::Cut)) {
        recovery.Add(Kind::EofMissing, PlaceOf(read.source), {},
                     "the file ends without EOF: what it holds is closed there");
    }
    return !recovery.OutOfMemory();
}

}  // namespace vexlith::recover
