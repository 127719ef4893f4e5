// SPDX-License-Identifier: MIT
// Reads arbitrary bytes as a DXF file, ASCII or (through the sentinel)
// binary, with the read options the first byte picks (fuzz_input.h) and a
// progress meter attached, then walks whatever drawing came
// back and dumps every record of it, as a host would. Crashes, leaks and
// hangs are findings; so is a read that fails without a report or succeeds
// with one, and a drawing whose records break their own invariants.
#include <cmath>
#include <cstring>

#include "fuzz_input.h"
#include "vexlith.h"

namespace {

struct Progress {
    double last = -1;
    long calls = 0;
};

void Show(void *context, double percent) {
    auto *progress = static_cast<Progress *>(context);
    if (std::isnan(percent)) fuzzing::Finding("the meter was shown NaN");
    progress->last = percent;
    ++progress->calls;
}

void CheckEntities(const Qdxf_Entity *entity, const Qdxf_Block *owner) {
    for (const Qdxf_Entity *previous = nullptr; entity; previous = entity, entity = entity->next) {
        if (entity->prev != previous) fuzzing::Finding("entity list links are broken");
        if (entity->block != owner) fuzzing::Finding("an entity names the wrong block");
        if (entity->type == QDXF_POLYLINE || entity->type == QDXF_3DFACE) {
            const Qdxf_Polyline &polyline = entity->data.polyline;
            if (polyline.count < 0 || (polyline.count > 0 && !polyline.vertices)) {
                fuzzing::Finding("a vertex array does not match its count");
            }
            for (int i = 0; i < polyline.count; ++i) {
                if (polyline.vertices[i].ltypeName) fuzzing::Finding("a vertex has a line type");
            }
        }
    }
}

void CheckDrawing(const Qdxf_Info &drawing) {
    if (!drawing.colorTable) fuzzing::Finding("a drawing without colour table");
    if (drawing.tables) {
        for (const Qdxf_Ltype *ltype = drawing.tables->ltypes; ltype; ltype = ltype->next) {
            if (ltype->numDashItems > 0 && !ltype->dashLength)
                fuzzing::Finding("dash array missing");
        }
    }
    for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
        CheckEntities(block->entities, block);
    }
    CheckEntities(drawing.entities, nullptr);
}

// Every dump export on every record of the drawing.
void DumpDrawing(const Qdxf_Info &drawing) {
    if (drawing.header) qdxf_HeaderPrint(drawing.header);  // null is outside its contract
    qdxf_TablesPrint(drawing.tables);
    for (const Qdxf_Block *block = drawing.blocks; block; block = block->next)
        qdxf_BlockPrint(block);
    for (const Qdxf_Entity *entity = drawing.entities; entity; entity = entity->next) {
        qdxf_EntityPrint(entity);
        qdxf_EntityPrintQuick(entity);
    }
}

// A recovering read fails only for a file without DXF groups, and its
// repairs are well formed, fewer than the input's bytes and, folded, than
// the list's bound.
void CheckRecovery(const fuzzing::Input &input, const Qdxf_Info *drawing,
                   const qerr_Report *report) {
    if (!drawing) {
        const qerr_Report *inner = report;
        while (qerr_ReportInner(inner))
            inner = qerr_ReportInner(inner);
        if (!std::strstr(qerr_ReportMessage(inner), "not a DXF file"))
            fuzzing::Finding("a recovering read failed for the file's content", report);
        if (input.repairs) fuzzing::Finding("a failed read handed out repairs");
        return;
    }
    std::size_t records = 0;
    for (const Qdxf_Repair *repair = input.repairs; repair; repair = repair->next) {
        if (++records > 1001 || records > input.size + 1) fuzzing::Finding("too many repairs");
        if (repair->action < QDXF_REPAIR_SKIPPED || repair->action > QDXF_REPAIR_DROPPED ||
            repair->loss < 0 || repair->loss > 2 || repair->count < 1 || !repair->message ||
            (repair->found && std::strlen(repair->found) > 80) || repair->line < 0 ||
            repair->offset < 0 || static_cast<std::size_t>(repair->offset) > input.size) {
            fuzzing::Finding("a repair out of its bounds");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::string name = fuzzing::ScratchName(".dxf");
    static const bool silenced = (fuzzing::Silence(), true);
    (void)silenced;
    fuzzing::Input input = fuzzing::TakeInput(data, size);
    if (!fuzzing::WriteFile(name, input.file, input.size)) return 0;
    Progress progress;
    qmet_Meter meter{Show, &progress};
    qerr_Report *report = nullptr;
    Qdxf_Info *drawing = qdxf_ReadWithOptions(name.c_str(), &meter, input.Options(), &report);
    if (!drawing == !report) fuzzing::Finding("a read must give either a drawing or a report");
    if (input.options.flags & QDXF_READ_RECOVER) CheckRecovery(input, drawing, report);
    qdxf_RepairsFree(input.repairs);
    if (drawing) {
        CheckDrawing(*drawing);
        DumpDrawing(*drawing);
    }
    qdxf_InfoFree(drawing);
    qerr_ReportFree(report);
    return 0;
}
