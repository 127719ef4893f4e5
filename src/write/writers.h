// SPDX-License-Identifier: MIT
// The section writers behind qdxf_Write. Each takes the state of the write
// (kept on qdxf_Write's stack) and the report out-parameter first, writes
// through the group writer into that write's file and stops at its first
// failed group; what was written stays.
#ifndef VEXLITH_WRITE_WRITERS_H
#define VEXLITH_WRITE_WRITERS_H

#include "codec/group_writer.h"
#include "vexlith.h"
#include "write/write_plan.h"

namespace vexlith {

// HEADER ($ANGBASE and both extents), the always empty TABLES section, and
// the three framing groups of a section with nothing in it.
void WriteHeader(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Header *header);
void WriteTables(const Qdxf_WriteState &state, rt::Report **report);
void WriteEmptySection(const Qdxf_WriteState &state, rt::Report **report, const char *name);
// The empty section `name` written by the section writer `function` for a
// drawing that has nothing for it; a failure is reported on its behalf.
void WriteEmptySectionFor(const Qdxf_WriteState &state, rt::ReportOut &out, const char *function,
                          const char *name);

// Entities: the groups every entity begins with, one writer per writable
// kind, a list in order (kinds that cannot be written are passed over), and
// the ENTITIES section.
void WriteCommon(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity);
void WriteLine(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity);
void WritePoint(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity);
void WriteCircle(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity);
void WriteArc(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity);
void WriteTrace(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity);
void WriteSolid(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity);
void WriteText(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity);
void WriteInsert(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity);
void WritePolyline(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity);
void WriteEntityList(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *list);
void WriteEntitySection(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *list);

// The BLOCKS section: every block definition with its entities.
void WriteBlockList(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Block *list);

// QDXF_WRITE_COMPLETE (complete_writer.cpp): the sections of a DXF R12 file
// that reads back as the drawing written, by the plan of the write.
void WriteCompleteHeader(const Qdxf_WriteState &state, rt::Report **report,
                         const Qdxf_Header *header);
void WriteCompleteTables(const Qdxf_WriteState &state, rt::Report **report,
                         const Qdxf_Info *drawing);
void WriteCompleteBlocks(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Block *list);
void WriteCompleteEntity(const Qdxf_WriteState &state, rt::Report **report,
                         const Qdxf_Entity *entity);
void WriteCompleteEntityList(const Qdxf_WriteState &state, rt::Report **report,
                             const Qdxf_Entity *list);
void WriteCompleteEntities(const Qdxf_WriteState &state, rt::Report **report,
                           const Qdxf_Entity *list);

// The name written for `name`: itself, unless the write gives names in the
// form R12 programs accept (QDXF_WRITE_R12_NAMES).
inline const char *WrittenName(const Qdxf_WriteState &state, SymbolKind kind, const char *name) {
    return state.plan ? state.plan->Name(kind, name) : name;
}

// A run of groups written by one operation: each call writes its group
// unless an earlier call of the run failed, so the operation tests once at
// the end and fails wrapping the report of the first call that failed.
class GroupRun {
public:
    explicit GroupRun(const Qdxf_WriteState &state) : state_(state) {}
    ~GroupRun() { rt::Discard(failure_); }
    GroupRun(const GroupRun &) = delete;
    GroupRun &operator=(const GroupRun &) = delete;

    void Int(int code, int value) {
        if (!failure_) WriteIntGroup(state_, code, &failure_, value);
    }
    void Float(int code, double value) {
        if (!failure_) WriteFloatGroup(state_, code, &failure_, value);
    }
    void Text(int code, const char *text) {
        if (!failure_) WriteStringGroup(state_, code, &failure_, text);
    }
    void Point(const Qdxf_Coord &point, int base) {
        if (!failure_) WritePointGroups(state_, &failure_, &point, base);
    }
    // The groups that open a section: (0, "SECTION") and its name.
    void Section(const char *name) {
        Text(0, "SECTION");
        Text(2, name);
    }
    // Another operation of the writer, called with the run's report.
    template <typename Operation, typename... Arguments>
    void Call(Operation operation, Arguments... arguments) {
        if (!failure_) operation(state_, &failure_, arguments...);
    }

    bool Failed() const { return failure_ != nullptr; }
    // The report of the failed call, handed to the caller.
    rt::Report *TakeFailure() {
        rt::Report *failure = failure_;
        failure_ = nullptr;
        return failure;
    }

private:
    const Qdxf_WriteState &state_;
    rt::Report *failure_ = nullptr;
};

}  // namespace vexlith

#endif
