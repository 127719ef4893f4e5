// SPDX-License-Identifier: MIT
// The BLOCKS and ENTITIES sections: one writer per writable entity kind, the
// groups every entity begins with, the walk over an entity list and the
// framing of block definitions. Each kind writes a fixed set of groups; the
// members of the records it does not name are not written.
#include "model/kinds.h"
#include "model/release.h"
#include "write/writers.h"

namespace vexlith {
namespace {

// Radians as held in the records, degrees as DXF groups 50 and 51 hold them.
double Degrees(double radians) {
    return radians * 180.0 / 3.141592653589793;
}

// Required texts a host may have left null. A missing layer is the default
// layer "0"; a missing name or text is written empty.
const char *LayerOrDefault(const char *layerName) {
    return layerName ? layerName : "0";
}
const char *TextOrEmpty(const char *text) {
    return text ? text : "";
}

// The line type goes out unless the record has none or follows its layer.
bool HasOwnLtype(const char *ltypeName) {
    return ltypeName && !rt::TextEqual(ltypeName, "BYLAYER");
}

using EntityWriter = void (*)(const Qdxf_WriteState &, rt::Report **, const Qdxf_Entity *);

struct WritableKind {
    const char *keyword;
    EntityWriter write;
};

// By Qdxf_EntityType from QDXF_LINE on; a kind without a writer is not
// written.
#define VX_KIND_WRITER(name, type, dumpName, reader, writer) {name, writer},
constexpr WritableKind kWritableKinds[] = {VX_ENTITY_KINDS(VX_KIND_WRITER)};
#undef VX_KIND_WRITER

// The writer of an entity's kind, or null for a kind that is not written.
const WritableKind *WritableKindOf(const Qdxf_Entity &entity) {
    int kind = EntityKind(entity);
    if (kind < QDXF_LINE || kind > kKindCount) return nullptr;
    const WritableKind &written = kWritableKinds[kind - QDXF_LINE];
    return written.write ? &written : nullptr;
}

// The four corners of a TRACE or a SOLID, at bases 0 to 3.
void WriteCorners(GroupRun &run, const Qdxf_Trace &corners) {
    for (int corner = 0; corner < 4; ++corner)
        run.Point(corners.corner[corner], corner);
}

}  // namespace

void WriteCommon(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity) {
    rt::ReportOut out(report);
    const WritableKind *kind = WritableKindOf(*entity);
    GroupRun run(state);
    run.Text(0, kind ? kind->keyword : "");
    run.Text(8, LayerOrDefault(WrittenName(state, SymbolKind::Layer, entity->layerName)));
    if (HasOwnLtype(entity->ltypeName))
        run.Text(6, WrittenName(state, SymbolKind::Ltype, entity->ltypeName));
    if (entity->color != 256) run.Int(62, entity->color);
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WriteLine(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity) {
    rt::ReportOut out(report);
    const Qdxf_Line &line = entity->data.line;
    GroupRun run(state);
    run.Call(WriteCommon, entity);
    run.Point(line.start, 0);
    run.Point(line.end, 1);
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WritePoint(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity) {
    rt::ReportOut out(report);
    GroupRun run(state);
    run.Call(WriteCommon, entity);
    run.Point(entity->data.point.location, 0);
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WriteCircle(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity) {
    rt::ReportOut out(report);
    const Qdxf_Circle &circle = entity->data.circle;
    GroupRun run(state);
    run.Call(WriteCommon, entity);
    run.Point(circle.center, 0);
    run.Float(40, circle.radius);
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WriteArc(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity) {
    rt::ReportOut out(report);
    const Qdxf_Arc &arc = entity->data.arc;
    GroupRun run(state);
    run.Call(WriteCommon, entity);
    run.Point(arc.center, 0);
    run.Float(40, arc.radius);
    run.Float(50, Degrees(arc.startAngle));
    run.Float(51, Degrees(arc.endAngle));
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WriteTrace(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity) {
    rt::ReportOut out(report);
    GroupRun run(state);
    run.Call(WriteCommon, entity);
    WriteCorners(run, entity->data.trace);
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WriteSolid(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity) {
    rt::ReportOut out(report);
    GroupRun run(state);
    run.Call(WriteCommon, entity);
    WriteCorners(run, entity->data.solid);
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WriteText(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity) {
    rt::ReportOut out(report);
    const Qdxf_Text &text = entity->data.text;
    GroupRun run(state);
    run.Call(WriteCommon, entity);
    run.Point(text.insertionPoint, 0);
    run.Float(40, text.height);
    run.Text(1, TextOrEmpty(text.text));
    // Plain inequalities: a NaN differs from every default and is written.
    if (text.angle != 0.0) run.Float(50, Degrees(text.angle));
    if (text.xScale != 1.0) run.Float(41, text.xScale);
    if (text.obliqueAngle != 0.0) run.Float(51, Degrees(text.obliqueAngle));
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WriteInsert(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity) {
    rt::ReportOut out(report);
    const Qdxf_Insert &insert = entity->data.insert;
    GroupRun run(state);
    run.Call(WriteCommon, entity);
    run.Text(2, TextOrEmpty(WrittenName(state, SymbolKind::Block, insert.blockName)));
    run.Point(insert.insertionPoint, 0);
    if (insert.xScale != 1.0) run.Float(41, insert.xScale);
    if (insert.yScale != 1.0) run.Float(42, insert.yScale);
    if (insert.zScale != 1.0) run.Float(43, insert.zScale);
    if (insert.rotationAngle != 0.0) run.Float(50, Degrees(insert.rotationAngle));
    if (insert.columnCount != 0) run.Int(70, insert.columnCount);
    if (insert.rowCount != 0) run.Int(71, insert.rowCount);
    if (insert.columnSpacing != 0.0) run.Float(44, insert.columnSpacing);
    if (insert.rowSpacing != 0.0) run.Float(45, insert.rowSpacing);
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WritePolyline(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *entity) {
    rt::ReportOut out(report);
    const Qdxf_Polyline &polyline = entity->data.polyline;
    const char *layerName =
        LayerOrDefault(WrittenName(state, SymbolKind::Layer, entity->layerName));
    GroupRun run(state);
    run.Call(WriteCommon, entity);
    run.Int(66, 1);  // vertices follow
    // The polyline's own point is a dummy; its elevation is not written.
    run.Float(10, 0.0);
    run.Float(20, 0.0);
    run.Float(30, 0.0);
    if (polyline.flag != 0) run.Int(70, polyline.flag);
    // Every vertex on the polyline's layer, with its location only. A host
    // record with a count but no array has no vertices to write.
    const int count = polyline.vertices ? polyline.count : 0;
    for (int i = 0; i < count && !run.Failed(); ++i) {
        run.Text(0, "VERTEX");
        run.Text(8, layerName);
        run.Point(polyline.vertices[i].location, 0);
    }
    run.Text(0, "SEQEND");
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WriteEntityList(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Entity *list) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    for (const Qdxf_Entity *entity = list; entity; entity = entity->next) {
        // Kinds that cannot be written are passed over without a word.
        const WritableKind *kind = WritableKindOf(*entity);
        if (!kind) continue;
        kind->write(state, &inner, entity);
        if (inner) return VX_FAIL(out, inner, "Error writing entity");
    }
}

void WriteEntitySection(const Qdxf_WriteState &state, rt::Report **report,
                        const Qdxf_Entity *list) {
    rt::ReportOut out(report);
    GroupRun run(state);
    run.Section("ENTITIES");
    if (run.Failed()) return VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
    run.Call(WriteEntityList, list);
    if (run.Failed()) return VX_FAIL(out, run.TakeFailure(), "Error writing entities");
    run.Text(0, "ENDSEC");
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WriteBlockList(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Block *list) {
    rt::ReportOut out(report);
    if (!list) return WriteEmptySectionFor(state, out, __func__, "BLOCKS");
    GroupRun run(state);
    run.Section("BLOCKS");
    if (run.Failed()) return VX_FAIL(out, run.TakeFailure(), "Error writing group");
    for (const Qdxf_Block *block = list; block; block = block->next) {
        run.Text(0, "BLOCK");
        run.Text(8, LayerOrDefault(WrittenName(state, SymbolKind::Layer, block->layerName)));
        if (HasOwnLtype(block->ltypeName))
            run.Text(6, WrittenName(state, SymbolKind::Ltype, block->ltypeName));
        if (block->color != 256) run.Int(62, block->color);
        run.Text(2, TextOrEmpty(WrittenName(state, SymbolKind::Block, block->name)));
        run.Int(70, block->typeFlag);
        run.Point(block->basePoint, 0);
        if (block->xrefPath) run.Text(1, block->xrefPath);
        if (run.Failed()) return VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
        run.Call(WriteEntityList, block->entities);
        if (run.Failed()) return VX_FAIL(out, run.TakeFailure(), "Error writing block entities");
        run.Text(0, "ENDBLK");
        if (run.Failed()) return VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
    }
    run.Text(0, "ENDSEC");
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing group");
}

}  // namespace vexlith
