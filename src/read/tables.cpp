// SPDX-License-Identifier: MIT
// The TABLES section: a sequence of tables, each (0, "TABLE"), (2, name), its
// entries and (0, "ENDTAB"). The LTYPE, LAYER and STYLE tables are read into
// the drawing's tables record entry by entry; every other table is skipped.
#include <string_view>

#include "model/release.h"
#include "read/readers.h"

namespace vexlith {
namespace {

// How a table or an entry came to its end.
enum class Outcome {
    Going,          // an entry's group was applied; read on
    Ended,          // the table or entry ended normally
    ReadFailed,     // a group could not be read; the report says why
    EntryFailed,    // an entry reader failed; the report says why
    OtherEntry,     // a code-0 group of another entry name inside the table
    NoMemory,       // the heap is exhausted
    DashesTooMany,  // group 73 asks for more dash lengths than the file can hold
};

// Reads the entries of one table, from the group after its name up to its
// ENDTAB (consumed) or up to the TABLE or ENDSEC that follows a table without
// one (pushed back), and appends them to the list at `head`, and to `names`
// when the entries are looked up by name.
// Recovering, an entry the end of the input cut is released with `release`,
// a record of another kind is passed over, and a table without ENDTAB says
// so.
template <typename Entry, typename ReadOne>
Outcome ReadEntries(GroupSource &source, rt::Report **report, Entry **head, Entry **last,
                    rt::NameIndex *names, const char *entryName, ReadOne readOne,
                    void (*release)(Entry *)) {
    rt::ListAppender<Entry> entries(head, last);
    recover::Recovery *recovery = source.recovery;
    Qdxf_Group group;
    for (;;) {
        GroupMark mark = MarkGroup(source);
        ReadGroup(source, report, &group);
        if (*report) return Outcome::ReadFailed;
        // The table's own groups, such as its handle and its entry count.
        if (group.code != 0) continue;
        if (IsTag(group, "ENDTAB")) return Outcome::Ended;
        if (IsTag(group, "ENDSEC") || IsTag(group, "TABLE") ||
            (recovery && recover::IsSectionEnd(group))) {
            if (recovery) {
                recover::SupplyEnd(source, recover::Kind::EndtabMissing, mark);
            } else {
                PushBackGroup(source, mark);
            }
            return Outcome::Ended;
        }
        recover::Place place = recover::PlaceOf(source, mark);
        if (!IsTag(group, entryName)) {
            if (!recovery) return Outcome::OtherEntry;
            recovery->Add(recover::Kind::StrayRecord, place, group.value.text,
                          "a %s in the %s table is left out", group.value.text, entryName);
            recover::SkipRecord(source);
            continue;
        }
        recover::RecordStart started{};
        if (recovery) started = recovery->Start();
        Entry *entry = readOne(report);
        if (*report) return Outcome::EntryFailed;
        if (recovery) {
            if (recover::RecordLost(source, started, entryName, place)) {
                release(entry);
                continue;
            }
            if (!entry) continue;  // no groups
        }
        if (!entry) return Outcome::Ended;
        entries.Append(entry);
        if (names && !names->Add(entry->name, entry)) return Outcome::NoMemory;
    }
}

// Reads the groups of one entry after its type group, up to the next code-0
// group: an ENDTAB is consumed (recovering, it is pushed back for the table
// reader too), any other is pushed back for the table reader. The record is
// created with the first group that is not code 0; `apply` sets its members
// from each group. `handle` receives the place of the handle group.
template <typename Entry, typename Apply>
Outcome ReadEntryGroups(GroupSource &source, rt::Report **report, Entry **entry, Apply apply,
                        GroupMark *handle) {
    Qdxf_Group group;
    for (;;) {
        GroupMark mark = MarkGroup(source);
        ReadGroup(source, report, &group);
        if (*report) return Outcome::ReadFailed;
        if (group.code == 0) {
            if (!IsTag(group, "ENDTAB") || source.recovery) PushBackGroup(source, mark);
            return Outcome::Ended;
        }
        if (group.code == 5) *handle = mark;
        if (!*entry && !(*entry = rt::New<Entry>())) return Outcome::NoMemory;
        Outcome applied = apply(**entry, group);
        if (applied != Outcome::Going) return applied;
    }
}

// Recovering: an entry's handle made unique, where its group stands.
template <typename Entry>
void CheckEntryHandle(Qdxf_ReadState &read, Entry *entry, const GroupMark &handle,
                      const char *what) {
    if (read.source.recovery && entry)
        recover::CheckHandle(read.recovery, entry->handle, recover::PlaceOf(read.source, handle),
                             what);
}

// Line types of all tables of a file may hold no more dash lengths than the
// file has room for groups 49: each takes at least 4 bytes of an ASCII file
// ("49", a newline and an empty value line) and 9 of a binary one (a code
// byte and a double). A count beyond that cannot be filled and would only
// make the heap give out memory out of all proportion to the file. When the
// size is unknown (not a regular file) a fixed allowance takes its place.
constexpr long long kDashLengthsOfUnknownSize = 65536;

bool DashLengthsFit(const Qdxf_ReadState &state, int count) {
    long long room = state.fileSize > 0 ? state.fileSize / (state.source.binary ? 9 : 4)
                                        : kDashLengthsOfUnknownSize;
    return count <= room - state.dashLengths;
}

Outcome Applied(bool stored) {
    return stored ? Outcome::Going : Outcome::NoMemory;
}

// A line type's dash count and lengths go by their own rules; its other
// groups by its member table.
Outcome ApplyLtype(Qdxf_ReadState &read, Qdxf_Ltype &ltype, const Qdxf_Group &group,
                   int *dashPosition) {
    switch (group.code) {
        case 49:
            // Dropped before group 73 and beyond its count.
            if (*dashPosition < ltype.numDashItems) {
                ltype.dashLength[*dashPosition] = group.value.real;
                ++*dashPosition;
            }
            return Outcome::Going;
        case 73: {
            // A positive count replaces the array; the position goes on. A
            // count of 0 or below asks for no array: no group 49 can be kept.
            int count = group.value.integer;
            if (count > 0 && !DashLengthsFit(read, count) && read.source.recovery) {
                read.recovery.Add(recover::Kind::DashCount, recover::PlaceOf(read.source), "73",
                                  "a dash count of %d is more than the file holds: read as 0",
                                  count);
                count = 0;
            }
            ltype.numDashItems = count;
            if (count <= 0) return Outcome::Going;
            if (!DashLengthsFit(read, count)) return Outcome::DashesTooMany;
            auto *dashes = rt::NewArray<double>(static_cast<std::size_t>(count));
            if (!dashes) return Outcome::NoMemory;
            read.dashLengths += count;
            rt::Free(ltype.dashLength);
            ltype.dashLength = dashes;
            return Outcome::Going;
        }
        default:
            return Applied(ApplyGroup(kLtypeMembers, &ltype, group));
    }
}

// Reports the failure of an entry reader: a group that could not be read,
// or the heap.
void FailEntry(rt::ReportOut &out, const char *function, rt::Report *inner, Outcome outcome) {
    if (outcome == Outcome::ReadFailed) {
        VX_FAIL_AS(out, function, inner, "Error reading group");
    } else {
        VX_FAIL_AS(out, function, nullptr, "Memory allocation error");
    }
}

// Reports the failure of the table reader `function` for a table of `kind`
// entries ("LTYPE"); nothing when the table was read.
void FailTable(rt::ReportOut &out, const char *function, rt::Report *inner, Outcome outcome,
               const char *kind) {
    switch (outcome) {
        case Outcome::ReadFailed:
            VX_FAIL_AS(out, function, inner, "Error reading group");
            return;
        case Outcome::EntryFailed:
            VX_FAIL_AS(out, function, inner, "Error reading %s table", kind);
            return;
        case Outcome::OtherEntry:
            VX_FAIL_AS(out, function, nullptr, "Error finding %s group", kind);
            return;
        case Outcome::NoMemory:
            VX_FAIL_AS(out, function, nullptr, "Memory allocation error");
            return;
        default:
            return;
    }
}

}  // namespace

Qdxf_Ltype *ReadSingleLtype(Qdxf_ReadState &read, rt::Report **report) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    Qdxf_Ltype *ltype = nullptr;
    int dashPosition = 0;  // counted for the whole entry, across groups 73
    GroupMark handle{};
    Outcome outcome = ReadEntryGroups(
        read.source, &inner, &ltype,
        [&](Qdxf_Ltype &entry, const Qdxf_Group &g) {
            return ApplyLtype(read, entry, g, &dashPosition);
        },
        &handle);
    CheckEntryHandle(read, ltype, handle, "LTYPE");
    if (outcome == Outcome::Ended && ltype && !TextMembersToUtf8(read, kLtypeMembers, ltype)) {
        outcome = Outcome::NoMemory;
    }
    if (outcome == Outcome::Ended) return ltype;
    int count = ltype ? ltype->numDashItems : 0;
    FreeLtype(ltype);
    if (outcome == Outcome::DashesTooMany) {
        VX_FAIL(out, nullptr, "%s: Dash count %d is more than the file can hold",
                LastGroupPlace(read.source).text, count);
    } else {
        FailEntry(out, __func__, inner, outcome);
    }
    return nullptr;
}

Qdxf_Layer *ReadSingleLayer(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    Qdxf_Layer *layer = nullptr;
    GroupMark handle{};
    Outcome outcome = ReadEntryGroups(
        read.source, &inner, &layer,
        [](Qdxf_Layer &entry, const Qdxf_Group &g) {
            return Applied(ApplyGroup(kLayerMembers, &entry, g));
        },
        &handle);
    CheckEntryHandle(read, layer, handle, "LAYER");
    if (outcome == Outcome::Ended && layer && !TextMembersToUtf8(read, kLayerMembers, layer)) {
        outcome = Outcome::NoMemory;
    }
    if (outcome == Outcome::Ended) {
        // Only line types read before the layer can be found.
        if (layer && drawing->tables) {
            layer->ltype = static_cast<Qdxf_Ltype *>(read.ltypeNames.Find(layer->ltypeName));
        }
        return layer;
    }
    FreeLayer(layer);
    FailEntry(out, __func__, inner, outcome);
    return nullptr;
}

Qdxf_Style *ReadSingleStyle(Qdxf_ReadState &read, rt::Report **report) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    Qdxf_Style *style = nullptr;
    GroupMark handle{};
    Outcome outcome = ReadEntryGroups(
        read.source, &inner, &style,
        [](Qdxf_Style &entry, const Qdxf_Group &g) {
            return Applied(ApplyGroup(kStyleMembers, &entry, g));
        },
        &handle);
    CheckEntryHandle(read, style, handle, "STYLE");
    if (outcome == Outcome::Ended && style && !TextMembersToUtf8(read, kStyleMembers, style)) {
        outcome = Outcome::NoMemory;
    }
    if (outcome == Outcome::Ended) return style;
    FreeStyle(style);
    FailEntry(out, __func__, inner, outcome);
    return nullptr;
}

void ReadLtypeTable(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    Outcome outcome = ReadEntries(
        read.source, &inner, &drawing->tables->ltypes, &read.lastLtype, &read.ltypeNames, "LTYPE",
        [&read](rt::Report **r) { return ReadSingleLtype(read, r); }, FreeLtype);
    FailTable(out, __func__, inner, outcome, "LTYPE");
}

void ReadLayerTable(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    Outcome outcome = ReadEntries(
        read.source, &inner, &drawing->tables->layers, &read.lastLayer, &read.layerNames, "LAYER",
        [&read, drawing](rt::Report **r) { return ReadSingleLayer(read, r, drawing); }, FreeLayer);
    FailTable(out, __func__, inner, outcome, "LAYER");
}

void ReadStyleTable(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    Outcome outcome = ReadEntries(
        read.source, &inner, &drawing->tables->styles, &read.lastStyle, nullptr, "STYLE",
        [&read](rt::Report **r) { return ReadSingleStyle(read, r); }, FreeStyle);
    FailTable(out, __func__, inner, outcome, "STYLE");
}

void KeepStyleEntries(Qdxf_ReadState &read, rt::Report **report, const char *end) {
    rt::ReportOut out(report);
    GroupSource &source = read.source;
    translate::Styles &styles = read.translation.styles;
    rt::Report *inner = nullptr;
    GroupView group{};
    bool table = rt::TextEqual(end, "ENDTAB");
    for (;;) {
        GroupMark mark = MarkGroup(source);
        ReadGroup(source, &inner, &group);
        // A value of a later version's code, for an entry that is kept.
        if (!inner && group.kind == QDXF_VALUE_NONE && styles.Keeping())
            ReadGroupWithLaterKind(source, mark, &inner, &group);
        if (inner) return VX_FAIL(out, inner, "Error reading group");
        bool stored = true;
        if (group.code == 0 && group.kind == QDXF_VALUE_TEXT) {
            std::string_view tag(group.text, group.length);
            if (tag == end) break;
            // A table without its ENDTAB ends at the next one or the section's
            // end; recovering, a section also ends where the next one begins
            // or the input ends (which reads as EOF for ever).
            bool tableEnd = table && (tag == "TABLE" || tag == "ENDSEC");
            if (source.recovery && (tableEnd || recover::IsSectionEnd(group))) {
                recover::SupplyEnd(
                    source, table ? recover::Kind::EndtabMissing : recover::Kind::EndsecMissing,
                    mark);
                break;
            }
            if (tableEnd) {
                PushBackGroup(source, mark);
                break;
            }
            stored = styles.Begin(tag);
        } else {
            stored = styles.Keep(group);
        }
        if (!stored) return VX_FAIL(out, nullptr, "Memory allocation error");
    }
    // No entry goes on past its table.
    styles.Begin("");
}

void SkipTable(GroupSource &source, rt::Report **report) {
    SkipPast(source, report, "ENDTAB", __func__);
}

void ReadTables(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing) {
    rt::ReportOut out(report);
    GroupSource &source = read.source;
    if (!drawing->tables) {
        drawing->tables = rt::New<Qdxf_Tables>();
        if (!drawing->tables) return VX_FAIL(out, nullptr, "Memory allocation error");
    }
    rt::Report *inner = nullptr;
    Qdxf_Group group;
    recover::Recovery *recovery = source.recovery;
    for (;;) {
        if (recovery) recover::SkipToRecord(read);
        GroupMark mark = MarkGroup(source);
        ReadKnownGroup(source, &inner, &group, 0);
        if (inner) return VX_FAIL(out, inner, "Error finding table section");
        if (IsTag(group, "ENDSEC")) return;
        if (recovery && recover::IsSectionEnd(group))
            return recover::SupplyEnd(source, recover::Kind::EndsecMissing, mark);
        if (!IsTag(group, "TABLE")) {
            if (!recovery) return VX_FAIL(out, nullptr, "Error finding table section");
            recover::Place place = recover::PlaceOf(source, mark);
            if (IsTag(group, "ENDTAB")) {
                recovery->Add(recover::Kind::StrayEnd, place, "ENDTAB",
                              "an ENDTAB without its TABLE is passed over");
            } else {
                recovery->Add(recover::Kind::StrayRecord, place, group.value.text,
                              "a %s outside any table is left out", group.value.text);
            }
            recover::SkipRecord(source);
            continue;
        }
        if (recovery) {
            mark = MarkGroup(source);
            ReadGroup(source, nullptr, &group);
            if (group.code != 2 || group.kind != QDXF_VALUE_TEXT) {
                PushBackGroup(source, mark);
                recovery->Add(recover::Kind::UnnamedSection, recover::PlaceOf(source, mark), {},
                              "a table without a name is passed over");
                SkipTable(source, nullptr);
                continue;
            }
        } else {
            ReadKnownGroup(source, &inner, &group, 2);
        }
        if (inner) return VX_FAIL(out, inner, "Error finding table type");
        const char *name = group.value.text;
        if (rt::TextEqual(name, "LTYPE")) {
            ReadLtypeTable(read, &inner, drawing);
            if (inner) return VX_FAIL(out, inner, "Error reading LTYPE table");
        } else if (rt::TextEqual(name, "LAYER")) {
            ReadLayerTable(read, &inner, drawing);
            if (inner) return VX_FAIL(out, inner, "Error reading LAYER table");
        } else if (rt::TextEqual(name, "STYLE")) {
            ReadStyleTable(read, &inner, drawing);
            if (inner) return VX_FAIL(out, inner, "Error reading STYLE table");
        } else if ((read.flags & QDXF_READ_MODERN_KINDS) &&
                   (rt::TextEqual(name, "DIMSTYLE") || rt::TextEqual(name, "BLOCK_RECORD"))) {
            KeepStyleEntries(read, &inner, "ENDTAB");
            if (inner) return VX_FAIL(out, inner, "Error reading %s table", name);
        } else {
            SkipTable(source, &inner);
            if (inner) return VX_FAIL(out, inner, "Error skipping table");
        }
    }
}

}  // namespace vexlith
