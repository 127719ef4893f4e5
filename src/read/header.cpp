// SPDX-License-Identifier: MIT
// The HEADER section: variable after variable, each a group 9 with its name
// and one or more value groups; twenty known variables are copied into the
// drawing's header, every other one is dropped.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "model/header_variables.h"
#include "read/readers.h"

namespace vexlith {
namespace {

// A text or point copied from a variable replaces the one its member held;
// a failed copy (null) leaves the member as it was.
template <typename T>
void Replace(Qdxf_Header *header, std::size_t member, T *copy) {
    if (!copy) return;
    T *&held = MemberOf<T *>(header, member);
    rt::Free(held);
    held = copy;
}

// Copies one known variable into its member. Fails with the copy's report
// and leaves the member as it was.
void StoreVariable(rt::Report **report, Qdxf_Header *header, const KnownVariable &known,
                   const Qdxf_Variable *variable) {
    switch (known.copy) {
        case Copy::String:
            Replace(header, known.member, StringVarCopy(report, variable));
            break;
        case Copy::Int: {
            int value = IntVarCopy(report, variable);
            if (!*report) MemberOf<int>(header, known.member) = value;
            break;
        }
        case Copy::Float: {
            double value = FloatVarCopy(report, variable);
            if (!*report) MemberOf<double>(header, known.member) = value;
            break;
        }
        case Copy::Point:
            Replace(header, known.member, PointVarCopy(report, variable));
            break;
    }
}

// Whether the first value of a variable is of the kind its member takes (a
// point takes whatever coordinates it holds).
bool HoldsItsKind(const KnownVariable &known, const Qdxf_Variable &variable) {
    Qdxf_ValueKind kind = variable.groups->kind;
    switch (known.copy) {
        case Copy::String:
            return kind == QDXF_VALUE_TEXT;
        case Copy::Int:
            return kind == QDXF_VALUE_INT;
        case Copy::Float:
            return kind == QDXF_VALUE_REAL;
        case Copy::Point:
            break;
    }
    return true;
}

// The coordinate a point variable takes from a group: 0 for x (codes 10 to
// 13), 1 for y (20 to 23), 2 for z (30 to 33); -1 for any other group.
int CoordinateAxis(const Qdxf_Group &group) {
    if (group.kind != QDXF_VALUE_REAL) return -1;
    int code = group.code;
    if (code < 10 || code > 33 || code % 10 > 3) return -1;
    return code / 10 - 1;
}

// QDXF_READ_UTF8: the texts a HEADER section stored (`stored`: a bit for each
// row of kKnownVariables) in UTF-8, once the section has told the encoding of
// the file's texts ($ACADVER and $DWGCODEPAGE, which the read state keeps).
// False when the heap is exhausted.
using StoredTexts = std::uint32_t;
static_assert(std::size(kKnownVariables) <= 32, "one bit of StoredTexts per known variable");

bool HeaderTextsToUtf8(Qdxf_ReadState &read, Qdxf_Header *header, StoredTexts stored) {
    read.encoding.utf8 = translate::IsUtf8Release(header->acadver);
    for (std::size_t row = 0; row < std::size(kKnownVariables); ++row) {
        if (!(stored >> row & 1)) continue;
        if (!translate::ToUtf8(read.encoding,
                               &MemberOf<char *>(header, kKnownVariables[row].member)))
            return false;
    }
    return true;
}

}  // namespace

void FreeVariable(Qdxf_Variable *variable) {
    if (!variable) return;
    rt::Free(variable->name);
    FreeGroupList(variable->groups);
    rt::Free(variable);
}

Qdxf_Variable *ReadVariable(GroupSource &source, rt::Report **report, int *end) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    Qdxf_Group nameGroup;
    recover::Recovery *recovery = source.recovery;
    GroupMark start = MarkGroup(source);
    // (0, "ENDSEC") can only stand here as the first group of the section (after
    // a variable the value groups take it): an empty section, which ends here.
    if (recovery ? !recover::TakeVariableName(source, &nameGroup, &start)
                 : ReadKnownGroup(source, &inner, &nameGroup, 9, "ENDSEC")) {
        *end = 1;
        return nullptr;
    }
    if (inner) {
        VX_FAIL(out, inner, "Error reading group values");
        return nullptr;
    }
    const char *name = nameGroup.value.text + 1;
    if (nameGroup.value.text[0] != '$') {
        if (!recovery) {
            VX_FAIL(out, nullptr, "Variable name does not begin with \"$\"");
            return nullptr;
        }
        name = nameGroup.value.text;
        recovery->Add(recover::Kind::NoDollar, recover::PlaceOf(source, start), name,
                      "a variable name without \"$\" is read as $%s", name);
    }
    recover::RecordStart started{};
    if (recovery) started = recovery->Start();
    rt::Owned<Qdxf_Variable, FreeVariable> variable(rt::New<Qdxf_Variable>());
    if (variable) variable->name = rt::Duplicate(name);
    if (!variable || !variable->name) {
        VX_FAIL(out, nullptr, "Memory allocation error");
        return nullptr;
    }
    rt::ListAppender<Qdxf_Group> groups(&variable->groups);
    // The copies look at the first value group, and beyond it only at the
    // last real of each coordinate of a point; only those groups are kept, so
    // that a variable of a great many groups takes no more memory than one
    // of four.
    Qdxf_Group *coordinates[3] = {};
    for (;;) {
        GroupMark mark = MarkGroup(source);
        rt::Owned<Qdxf_Group> group(NewGroup());
        if (!group) {
            VX_FAIL(out, nullptr, "Memory allocation error");
            return nullptr;
        }
        ReadGroup(source, &inner, group.get());
        if (inner) {
            VX_FAIL(out, inner, "Error reading group values");
            return nullptr;
        }
        if (group->code == 9) {
            PushBackGroup(source, mark);
            break;
        }
        if (IsTag(*group, "ENDSEC")) {
            *end = 1;
            break;
        }
        if (recovery && group->code == 0) {
            recover::SupplyEnd(source, recover::Kind::EndsecMissing, mark);
            *end = 1;
            break;
        }
        if (!variable->groups) {
            groups.Append(group.release());
            continue;
        }
        int axis = CoordinateAxis(*group);
        if (axis < 0) continue;  // neither the first value nor a coordinate: dropped
        if (Qdxf_Group *kept = coordinates[axis]) {
            kept->code = group->code;
            kept->value.real = group->value.real;
            continue;
        }
        coordinates[axis] = group.get();
        groups.Append(group.release());
    }
    if (recovery) {
        char what[kGroupTextSize + 1];
        std::snprintf(what, sizeof what, "$%s", variable->name);
        recover::Place place = recover::PlaceOf(source, start);
        if (recover::RecordLost(source, started, what, place)) return nullptr;
        if (!variable->groups) {
            recovery->Add(recover::Kind::BadVariable, place, what,
                          "%s has no value and is left out", what);
            return nullptr;
        }
    }
    if (rt::Count(variable->groups) == 0) {
        VX_FAIL(out, nullptr, "Not enough groups for variable assignment");
        return nullptr;
    }
    return variable.release();
}

namespace {

// The first value group of a variable when it holds `kind`; otherwise null,
// reported on behalf of the copy `function` as lacking `what` data.
const Qdxf_Group *FirstValue(rt::ReportOut &out, const char *function,
                             const Qdxf_Variable *variable, Qdxf_ValueKind kind, const char *what) {
    const Qdxf_Group *first = variable->groups;
    if (first->kind == kind) return first;
    VX_FAIL_AS(out, function, nullptr, "Variable assignment does not contain %s data", what);
    return nullptr;
}

}  // namespace

char *StringVarCopy(rt::Report **report, const Qdxf_Variable *variable) {
    rt::ReportOut out(report);
    const Qdxf_Group *first = FirstValue(out, __func__, variable, QDXF_VALUE_TEXT, "string");
    if (!first) return nullptr;
    char *copy = rt::Duplicate(first->value.text);
    if (!copy) VX_FAIL(out, nullptr, "Memory allocation error");
    return copy;
}

int IntVarCopy(rt::Report **report, const Qdxf_Variable *variable) {
    rt::ReportOut out(report);
    const Qdxf_Group *first = FirstValue(out, __func__, variable, QDXF_VALUE_INT, "integer");
    return first ? first->value.integer : 0;
}

double FloatVarCopy(rt::Report **report, const Qdxf_Variable *variable) {
    rt::ReportOut out(report);
    const Qdxf_Group *first =
        FirstValue(out, __func__, variable, QDXF_VALUE_REAL, "floating point");
    return first ? first->value.real : 0.0;
}

Qdxf_Coord *PointVarCopy(rt::Report **report, const Qdxf_Variable *variable) {
    rt::ReportOut out(report);
    auto *point = rt::New<Qdxf_Coord>();
    if (!point) {
        VX_FAIL(out, nullptr, "Memory allocation error");
        return nullptr;
    }
    double *coordinates[3] = {&point->x, &point->y, &point->z};
    for (const Qdxf_Group *group = variable->groups; group; group = group->next) {
        if (int axis = CoordinateAxis(*group); axis >= 0) *coordinates[axis] = group->value.real;
    }
    return point;
}

void ReadHeader(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing) {
    rt::ReportOut out(report);
    if (!drawing->header) {
        drawing->header = rt::New<Qdxf_Header>();
        if (!drawing->header) return VX_FAIL(out, nullptr, "Memory allocation error");
    }
    rt::Report *inner = nullptr;
    bool utf8 = read.flags & QDXF_READ_UTF8;
    StoredTexts stored = 0;
    int end = 0;
    while (!end) {
        GroupMark mark = MarkGroup(read.source);
        rt::Owned<Qdxf_Variable, FreeVariable> variable(ReadVariable(read.source, &inner, &end));
        if (inner) return VX_FAIL(out, inner, "Error reading variable");
        if (!variable) {
            if (end) return;  // an empty section, or one that ended in a variable left out
            continue;         // recovering: a variable left out
        }
        const Qdxf_Group *value = variable->groups;
        if (utf8 && value->kind == QDXF_VALUE_TEXT &&
            rt::TextEqual(variable->name, "DWGCODEPAGE")) {
            read.encoding.codePage = translate::CodePageOf(value->value.text);
        }
        if ((read.flags & QDXF_READ_MODERN_KINDS) &&
            !read.translation.styles.KeepVariable(variable->name, value->kind, value->value.integer,
                                                  value->value.real, value->value.text))
            return VX_FAIL(out, nullptr, "Memory allocation error");
        for (const KnownVariable &known : kKnownVariables) {
            if (!rt::TextEqual(variable->name, known.name)) continue;
            if (read.source.recovery && !HoldsItsKind(known, *variable)) {
                read.recovery.Add(
                    recover::Kind::BadVariable, recover::PlaceOf(read.source, mark), variable->name,
                    "$%s does not hold the kind of value it takes and is left out", variable->name);
                break;
            }
            StoreVariable(&inner, drawing->header, known, variable.get());
            if (inner) {
                return VX_FAIL(out, inner, "Error processing variable \"%s\"", variable->name);
            }
            if (known.copy == Copy::String) stored |= StoredTexts{1} << (&known - kKnownVariables);
            break;
        }
    }
    if (utf8 && !HeaderTextsToUtf8(read, drawing->header, stored)) {
        VX_FAIL(out, nullptr, "Memory allocation error");
    }
}

}  // namespace vexlith
