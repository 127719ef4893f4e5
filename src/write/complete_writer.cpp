// SPDX-License-Identifier: MIT
// QDXF_WRITE_COMPLETE: a DXF R12 file of everything the records hold, made to
// read back as the same drawing. Every member goes out under its group, and
// a member that holds what the reader leaves without its group (0, 1 for the
// scales of an INSERT, 256 for a colour) goes out as no group at all, so
// that a 0 the file never had (a TEXT's width factor, $LTSCALE) does not
// become a value that other programs would draw. Angles go out in the
// degrees that the reader turns back into the very radians held.
//
// Around the records, what programs of R12 expect of a file: $ACADVER
// AC1009, $DWGCODEPAGE the page of its texts (text_page.h), the tables
// VPORT (*ACTIVE), LTYPE, LAYER, STYLE, VIEW, UCS, APPID (ACAD) and DIMSTYLE
// in that order, handles only when every one is unique ($HANDLING,
// $HANDSEED above them all), the table entries the write plan adds, a layer
// for every record (0 for one without) and a name for every block.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>

#include "model/kinds.h"
#include "model/release.h"
#include "write/write_plan.h"
#include "write/writers.h"

namespace vexlith {
namespace {

constexpr double kPi = 3.141592653589793;

// Groups 50 and 51 as the reader turns them into radians.
double ReadRadians(double degrees) {
    return degrees * kPi / 180;
}

// The degrees that the reader turns back into exactly `radians`. The plain
// conversion is off by a unit in the last place for some angles; a
// neighbour of it then gives the radians held. Angles read from a file
// always have one.
double ExactDegrees(double radians) {
    double degrees = radians * 180.0 / kPi;
    if (ReadRadians(degrees) == radians || !std::isfinite(degrees)) return degrees;
    double below = degrees, above = degrees;
    for (int step = 0; step < 4; ++step) {
        below = std::nextafter(below, -HUGE_VAL);
        if (ReadRadians(below) == radians) return below;
        above = std::nextafter(above, HUGE_VAL);
        if (ReadRadians(above) == radians) return above;
    }
    return degrees;
}

// What the reader leaves when a file has no group: +0.0, whose bits are all
// zero (-0.0 is written, so that it comes back as it is).
bool IsReaderZero(double value) {
    double zero = 0.0;
    return std::memcmp(&value, &zero, sizeof value) == 0;
}

const WritePlan &PlanOf(const Qdxf_WriteState &state) {
    return *state.plan;
}

// A record without a layer is on layer 0, as the plain writer writes it.
const char *LayerOf(const char *layerName) {
    return layerName ? layerName : "0";
}

// The groups written unless they hold what the reader leaves without them.
struct Groups {
    GroupRun &run;
    const WritePlan &plan;

    void Real(int code, double value) {
        if (!IsReaderZero(value)) run.Float(code, value);
    }
    void Angle(int code, double radians) {
        if (!IsReaderZero(radians)) run.Float(code, ExactDegrees(radians));
    }
    void Int(int code, int value) {
        if (value != 0) run.Int(code, value);
    }
    void Text(int code, const char *text) {
        if (text) run.Text(code, text);
    }
    void Name(int code, SymbolKind kind, const char *name) { Text(code, plan.Name(kind, name)); }
    void Handle(const char *handle) {
        if (plan.handles) Text(5, handle);
    }
};

// ---------------------------------------------------------------------------
// HEADER
// ---------------------------------------------------------------------------

enum class Value { Int, Real, Text, Point };

struct Variable {
    const char *name;  // with "$"
    int code;
    Value value;
    std::size_t member;  // offset in Qdxf_Header
    bool zeroIsDefault;  // 0 is DXF's own default (or harmless): written as it is
    SymbolKind kind;     // for a name: the kind of symbol it names
};

#define VX_VARIABLE(name, code, held, member, zero) \
    { name, code, Value::held, offsetof(Qdxf_Header, member), zero, SymbolKind::Count }
#define VX_NAME_VARIABLE(name, code, member, kind) \
    { name, code, Value::Text, offsetof(Qdxf_Header, member), true, SymbolKind::kind }
// Every variable of the header record but $ACADVER, which is AC1009. A 0 of
// $LTSCALE, $TEXTSIZE, $TRACEWID, $LUNITS, $LUPREC, $CECOLOR, $FILLMODE or
// $TDCREATE is what a file without the variable leaves; DXF's defaults for
// them are not 0 (1, 0.2, 0.05, 2, 4, BYLAYER, on, a date), so it is not
// written.
constexpr Variable kVariables[] = {
    VX_VARIABLE("$EXTMIN", 10, Point, extmin, true),
    VX_VARIABLE("$EXTMAX", 10, Point, extmax, true),
    VX_VARIABLE("$FILLMODE", 70, Int, fillmode, false),
    VX_VARIABLE("$LTSCALE", 40, Real, ltscale, false),
    VX_VARIABLE("$TEXTSIZE", 40, Real, textsize, false),
    VX_VARIABLE("$TRACEWID", 40, Real, tracewid, false),
    VX_NAME_VARIABLE("$TEXTSTYLE", 7, textstyle, Style),
    VX_NAME_VARIABLE("$CLAYER", 8, clayer, Layer),
    VX_NAME_VARIABLE("$CELTYPE", 6, celtype, Ltype),
    VX_VARIABLE("$CECOLOR", 62, Int, cecolor, false),
    VX_VARIABLE("$LUNITS", 70, Int, lunits, false),
    VX_VARIABLE("$LUPREC", 70, Int, luprec, false),
    VX_VARIABLE("$AUNITS", 70, Int, aunits, true),
    VX_VARIABLE("$AUPREC", 70, Int, auprec, true),
    VX_VARIABLE("$TDCREATE", 40, Real, tdcreate, false),
    VX_VARIABLE("$ANGBASE", 50, Real, angbase, true),
    VX_VARIABLE("$ANGDIR", 70, Int, angdir, true),
    VX_VARIABLE("$PLINEWID", 40, Real, plinewid, true),
    VX_VARIABLE("$PLINEGEN", 70, Int, plinegen, true),
};
#undef VX_VARIABLE
#undef VX_NAME_VARIABLE

template <typename T>
const T &HeaderMember(const Qdxf_Header &header, std::size_t offset) {
    return *reinterpret_cast<const T *>(reinterpret_cast<const char *>(&header) + offset);
}

void WriteVariable(Groups &groups, const Qdxf_Header &header, const Variable &variable) {
    GroupRun &run = groups.run;
    switch (variable.value) {
        case Value::Int: {
            int value = HeaderMember<int>(header, variable.member);
            if (value == 0 && !variable.zeroIsDefault) return;
            run.Text(9, variable.name);
            run.Int(variable.code, value);
            return;
        }
        case Value::Real: {
            double value = HeaderMember<double>(header, variable.member);
            if (IsReaderZero(value) && !variable.zeroIsDefault) return;
            run.Text(9, variable.name);
            run.Float(variable.code, value);
            return;
        }
        case Value::Text: {
            const char *value = HeaderMember<char *>(header, variable.member);
            if (!value) return;
            run.Text(9, variable.name);
            run.Text(variable.code, groups.plan.Name(variable.kind, value));
            return;
        }
        case Value::Point: {
            const Qdxf_Coord *value = HeaderMember<Qdxf_Coord *>(header, variable.member);
            if (!value) return;
            run.Text(9, variable.name);
            run.Point(*value, 0);
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// TABLES
// ---------------------------------------------------------------------------

template <typename Entry>
int CountOf(const Entry *list) {
    int count = 0;
    for (; list; list = list->next)
        ++count;
    return count;
}

void BeginTable(GroupRun &run, const char *name, int count) {
    run.Text(0, "TABLE");
    run.Text(2, name);
    run.Int(70, count);
}

// The viewport R12 programs open the drawing in: its extents when the
// header has both, else the origin.
void WriteActiveViewport(GroupRun &run, const Qdxf_Header *header) {
    double centerX = 0, centerY = 0, height = 1;
    if (header && header->extmin && header->extmax) {
        const Qdxf_Coord &low = *header->extmin, &high = *header->extmax;
        double width = high.x - low.x, tall = high.y - low.y;
        if (std::isfinite(width) && std::isfinite(tall) && width >= 0 && tall >= 0) {
            centerX = low.x + width / 2;
            centerY = low.y + tall / 2;
            height = std::fmax(tall, width / 1.5) * 1.1;
            if (!(height > 0)) height = 1;
        }
    }
    BeginTable(run, "VPORT", 1);
    run.Text(0, "VPORT");
    run.Text(2, "*ACTIVE");
    run.Int(70, 0);
    run.Float(10, 0);  // lower left corner, then upper right
    run.Float(20, 0);
    run.Float(11, 1);
    run.Float(21, 1);
    run.Float(12, centerX);
    run.Float(22, centerY);
    run.Float(13, 0);  // snap base and spacing, grid spacing
    run.Float(23, 0);
    run.Float(14, 1);
    run.Float(24, 1);
    run.Float(15, 0);
    run.Float(25, 0);
    run.Float(16, 0);  // view direction: from above
    run.Float(26, 0);
    run.Float(36, 1);
    run.Float(17, 0);  // view target
    run.Float(27, 0);
    run.Float(37, 0);
    run.Float(40, height);
    run.Float(41, 1.5);  // aspect ratio
    run.Float(42, 50);   // lens length
    run.Float(43, 0);
    run.Float(44, 0);
    run.Float(50, 0);
    run.Float(51, 0);
    for (auto [code, value] :
         {std::pair{71, 0}, {72, 100}, {73, 1}, {74, 3}, {75, 0}, {76, 0}, {77, 0}, {78, 0}}) {
        run.Int(code, value);
    }
    run.Text(0, "ENDTAB");
}

void WriteLtypes(Groups &groups, const Qdxf_Ltype *list) {
    GroupRun &run = groups.run;
    const WritePlan &plan = groups.plan;
    BeginTable(run, "LTYPE", CountOf(list) + static_cast<int>(plan.addedLtypes.size()));
    for (const Qdxf_Ltype *ltype = list; ltype && !run.Failed(); ltype = ltype->next) {
        run.Text(0, "LTYPE");
        groups.Handle(ltype->handle);
        groups.Name(2, SymbolKind::Ltype, ltype->name);
        run.Int(70, ltype->flags);
        groups.Text(3, ltype->text);
        groups.Int(72, ltype->alignment);  // 0: none read; DXF's default is 65 ("A")
        run.Int(73, ltype->numDashItems);
        run.Float(40, ltype->patternLength);
        if (ltype->numDashItems > 0 && ltype->dashLength) {
            for (int i = 0; i < ltype->numDashItems && !run.Failed(); ++i)
                run.Float(49, ltype->dashLength[i]);
        }
    }
    for (const char *name : plan.addedLtypes) {
        run.Text(0, "LTYPE");
        run.Text(2, plan.Name(SymbolKind::Ltype, name));
        run.Int(70, 0);
        run.Text(3, SameSymbol(name, "CONTINUOUS") ? "Solid line" : "");
        run.Int(72, 65);
        run.Int(73, 0);
        run.Float(40, 0);
    }
    run.Text(0, "ENDTAB");
}

void WriteLayers(Groups &groups, const Qdxf_Layer *list) {
    GroupRun &run = groups.run;
    const WritePlan &plan = groups.plan;
    BeginTable(run, "LAYER", CountOf(list) + static_cast<int>(plan.addedLayers.size()));
    for (const Qdxf_Layer *layer = list; layer && !run.Failed(); layer = layer->next) {
        run.Text(0, "LAYER");
        groups.Handle(layer->handle);
        groups.Name(2, SymbolKind::Layer, layer->name);
        run.Int(70, layer->flags);
        groups.Int(62, layer->color);  // 0: none read; negative: the layer is off
        groups.Name(6, SymbolKind::Ltype, layer->ltypeName);
    }
    for (const char *name : plan.addedLayers) {
        run.Text(0, "LAYER");
        run.Text(2, plan.Name(SymbolKind::Layer, name));
        run.Int(70, 0);
        run.Int(62, 7);
        run.Text(6, plan.Name(SymbolKind::Ltype, "CONTINUOUS"));
    }
    run.Text(0, "ENDTAB");
}

void WriteStyles(Groups &groups, const Qdxf_Style *list) {
    GroupRun &run = groups.run;
    const WritePlan &plan = groups.plan;
    BeginTable(run, "STYLE", CountOf(list) + static_cast<int>(plan.addedStyles.size()));
    for (const Qdxf_Style *style = list; style && !run.Failed(); style = style->next) {
        run.Text(0, "STYLE");
        groups.Handle(style->handle);
        groups.Name(2, SymbolKind::Style, style->name);
        run.Int(70, style->flags);
        run.Float(40, style->fixedTextHeight);
        groups.Real(41, style->widthFactor);  // 0: none read; DXF's default is 1
        groups.Angle(50, style->obliqueAngle);
        groups.Int(71, style->textGenFlags);
        groups.Real(42, style->lastHeightUsed);
        groups.Text(3, style->primaryFontFile);
        groups.Text(4, style->bigFontFile);
    }
    for (const char *name : plan.addedStyles) {
        run.Text(0, "STYLE");
        run.Text(2, plan.Name(SymbolKind::Style, name));
        run.Int(70, 0);
        run.Float(40, 0);
        run.Float(41, 1);
        run.Float(50, 0);
        run.Int(71, 0);
        run.Float(42, 2.5);
        run.Text(3, "txt");
    }
    run.Text(0, "ENDTAB");
}

// ---------------------------------------------------------------------------
// Entities
// ---------------------------------------------------------------------------

void WriteCommonGroups(Groups &groups, const Qdxf_Entity &entity, const char *keyword) {
    GroupRun &run = groups.run;
    run.Text(0, keyword);
    groups.Handle(entity.handle);
    groups.Name(8, SymbolKind::Layer, LayerOf(entity.layerName));
    groups.Name(6, SymbolKind::Ltype, entity.ltypeName);  // BYLAYER too: it comes back
    if (entity.color != 256) run.Int(62, entity.color);
    groups.Real(38, entity.elevation);
    groups.Real(39, entity.thickness);
    groups.Int(67, entity.space);
}

void WriteTextGroups(Groups &groups, const Qdxf_Text &text) {
    GroupRun &run = groups.run;
    run.Point(text.insertionPoint, 0);
    run.Float(40, text.height);
    groups.Text(1, text.text);
    groups.Angle(50, text.angle);
    groups.Real(41, text.xScale);  // 0: none read; DXF's default is 1
    groups.Angle(51, text.obliqueAngle);
    groups.Name(7, SymbolKind::Style, text.style);
    groups.Int(71, text.flags);
    groups.Int(72, text.horizJust);
    if (text.alignmentPoint) run.Point(*text.alignmentPoint, 1);
    groups.Int(73, text.vertJust);
}

// Scales and counts of 1 are what the reader leaves; so is "no attributes":
// the records hold none, so group 66 is never written (it would promise
// ATTRIB records that do not follow).
void WriteInsertGroups(Groups &groups, const Qdxf_Insert &insert) {
    GroupRun &run = groups.run;
    const char *block = insert.blockName;
    if (block && !*block && groups.plan.emptyNameBlock) block = groups.plan.emptyNameBlock;
    groups.Name(2, SymbolKind::Block, block);
    run.Point(insert.insertionPoint, 0);
    if (insert.xScale != 1.0) run.Float(41, insert.xScale);
    if (insert.yScale != 1.0) run.Float(42, insert.yScale);
    if (insert.zScale != 1.0) run.Float(43, insert.zScale);
    groups.Angle(50, insert.rotationAngle);
    if (insert.columnCount != 1) run.Int(70, insert.columnCount);
    if (insert.rowCount != 1) run.Int(71, insert.rowCount);
    groups.Real(44, insert.columnSpacing);
    groups.Real(45, insert.rowSpacing);
}

// A vertex carries no handle or common group but its layer, and SEQEND none:
// the reader takes the common groups of VERTEX and SEQEND records for the
// POLYLINE.
void WritePolylineGroups(Groups &groups, const Qdxf_Entity &entity) {
    GroupRun &run = groups.run;
    const Qdxf_Polyline &polyline = entity.data.polyline;
    const char *layer = groups.plan.Name(SymbolKind::Layer, LayerOf(entity.layerName));
    run.Int(66, 1);
    run.Float(10, 0);
    run.Float(20, 0);
    run.Float(30, polyline.elevation);
    groups.Int(70, polyline.flag);
    groups.Real(40, polyline.defaultStartingWidth);
    groups.Real(41, polyline.defaultEndingWidth);
    groups.Int(71, polyline.meshVertexCount[0]);
    groups.Int(72, polyline.meshVertexCount[1]);
    groups.Int(73, polyline.smoothSurfaceDensity[0]);
    groups.Int(74, polyline.smoothSurfaceDensity[1]);
    groups.Int(75, polyline.type);
    // A vertex without widths of its own takes the polyline's default ones
    // in other programs: with defaults, every vertex says its own.
    bool defaults =
        !IsReaderZero(polyline.defaultStartingWidth) || !IsReaderZero(polyline.defaultEndingWidth);
    const int count = polyline.vertices ? polyline.count : 0;
    for (int i = 0; i < count && !run.Failed(); ++i) {
        const Qdxf_Vertex &vertex = polyline.vertices[i];
        run.Text(0, "VERTEX");
        groups.Text(8, layer);
        run.Point(vertex.location, 0);
        if (defaults) {
            run.Float(40, vertex.startingWidth);
            run.Float(41, vertex.endingWidth);
        } else {
            groups.Real(40, vertex.startingWidth);
            groups.Real(41, vertex.endingWidth);
        }
        groups.Real(42, vertex.bulge);
        groups.Int(70, vertex.flags);
        groups.Real(50, vertex.tangentDir);  // held as read
    }
    run.Text(0, "SEQEND");
}

void WriteEntity(Groups &groups, const Qdxf_Entity &entity, int kind) {
    static const char *const kKeywords[] = {
#define VX_KIND_KEYWORD(name, type, dumpName, reader, writer) name,
        VX_ENTITY_KINDS(VX_KIND_KEYWORD)
#undef VX_KIND_KEYWORD
    };
    GroupRun &run = groups.run;
    WriteCommonGroups(groups, entity, kKeywords[kind - QDXF_LINE]);
    const auto &data = entity.data;
    switch (kind) {
        case QDXF_LINE:
            run.Point(data.line.start, 0);
            run.Point(data.line.end, 1);
            break;
        case QDXF_POINT:
            run.Point(data.point.location, 0);
            break;
        case QDXF_CIRCLE:
            run.Point(data.circle.center, 0);
            run.Float(40, data.circle.radius);
            break;
        case QDXF_ARC:
            run.Point(data.arc.center, 0);
            run.Float(40, data.arc.radius);
            run.Float(50, ExactDegrees(data.arc.startAngle));
            run.Float(51, ExactDegrees(data.arc.endAngle));
            break;
        case QDXF_TRACE:
        case QDXF_SOLID:
            for (int corner = 0; corner < 4; ++corner)
                run.Point(data.trace.corner[corner], corner);
            break;
        case QDXF_TEXT:
            WriteTextGroups(groups, data.text);
            break;
        case QDXF_INSERT:
            WriteInsertGroups(groups, data.insert);
            break;
        case QDXF_POLYLINE:
            WritePolylineGroups(groups, entity);
            break;
        case QDXF_3DFACE: {
            // The reader counts a corner for each x group, in the order met:
            // corners past the fourth repeat the codes of the fourth.
            const int count = data.polyline.vertices ? data.polyline.count : 0;
            for (int i = 0; i < count && !run.Failed(); ++i)
                run.Point(data.polyline.vertices[i].location, i < 3 ? i : 3);
            // Its hidden edges (a translated polyface mesh's faces have them).
            if (data.polyline.flag != 0) run.Int(70, data.polyline.flag);
            break;
        }
        default:
            break;
    }
}

}  // namespace

void WriteCompleteHeader(const Qdxf_WriteState &state, rt::Report **report,
                         const Qdxf_Header *header) {
    rt::ReportOut out(report);
    const WritePlan &plan = PlanOf(state);
    GroupRun run(state);
    Groups groups{run, plan};
    run.Section("HEADER");
    run.Text(9, "$ACADVER");
    run.Text(1, "AC1009");
    run.Text(9, "$DWGCODEPAGE");
    run.Text(3, plan.page.name);
    if (header) {
        for (const Variable &variable : kVariables)
            WriteVariable(groups, *header, variable);
    }
    if (plan.handles) {
        // In upper case, as handles are written.
        char seed[17];
        char *end = std::to_chars(seed, seed + sizeof seed - 1, plan.handleSeed, 16).ptr;
        *end = '\0';
        for (char *digit = seed; digit < end; ++digit) {
            if (*digit >= 'a') *digit = static_cast<char>(*digit - 'a' + 'A');
        }
        run.Text(9, "$HANDLING");
        run.Int(70, 1);
        run.Text(9, "$HANDSEED");
        run.Text(5, seed);
    }
    run.Text(0, "ENDSEC");
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing group");
}

void WriteCompleteTables(const Qdxf_WriteState &state, rt::Report **report,
                         const Qdxf_Info *drawing) {
    rt::ReportOut out(report);
    GroupRun run(state);
    Groups groups{run, PlanOf(state)};
    const Qdxf_Tables *tables = drawing->tables;
    run.Section("TABLES");
    WriteActiveViewport(run, drawing->header);
    WriteLtypes(groups, tables ? tables->ltypes : nullptr);
    WriteLayers(groups, tables ? tables->layers : nullptr);
    WriteStyles(groups, tables ? tables->styles : nullptr);
    for (const char *empty : {"VIEW", "UCS"}) {
        BeginTable(run, empty, 0);
        run.Text(0, "ENDTAB");
    }
    BeginTable(run, "APPID", 1);
    run.Text(0, "APPID");
    run.Text(2, "ACAD");
    run.Int(70, 0);
    run.Text(0, "ENDTAB");
    BeginTable(run, "DIMSTYLE", 0);
    run.Text(0, "ENDTAB");
    run.Text(0, "ENDSEC");
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing group");
}

void WriteCompleteEntity(const Qdxf_WriteState &state, rt::Report **report,
                         const Qdxf_Entity *entity) {
    rt::ReportOut out(report);
    GroupRun run(state);
    Groups groups{run, PlanOf(state)};
    WriteEntity(groups, *entity, EntityKind(*entity));
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WriteCompleteEntityList(const Qdxf_WriteState &state, rt::Report **report,
                             const Qdxf_Entity *list) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    for (const Qdxf_Entity *entity = list; entity; entity = entity->next) {
        // Records of a kind the reader did not know hold nothing to write.
        int kind = EntityKind(*entity);
        if (kind < QDXF_LINE || kind > kKindCount) continue;
        WriteCompleteEntity(state, &inner, entity);
        if (inner) return VX_FAIL(out, inner, "Error writing entity");
    }
}

void WriteCompleteEntities(const Qdxf_WriteState &state, rt::Report **report,
                           const Qdxf_Entity *list) {
    rt::ReportOut out(report);
    GroupRun run(state);
    run.Section("ENTITIES");
    if (run.Failed()) return VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
    run.Call(WriteCompleteEntityList, list);
    if (run.Failed()) return VX_FAIL(out, run.TakeFailure(), "Error writing entities");
    run.Text(0, "ENDSEC");
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
}

void WriteCompleteBlocks(const Qdxf_WriteState &state, rt::Report **report,
                         const Qdxf_Block *list) {
    rt::ReportOut out(report);
    const WritePlan &plan = PlanOf(state);
    GroupRun run(state);
    Groups groups{run, plan};
    run.Section("BLOCKS");
    if (run.Failed()) return VX_FAIL(out, run.TakeFailure(), "Error writing group");
    char *const *given = plan.givenNames.begin();
    for (const Qdxf_Block *block = list; block; block = block->next) {
        // A block without a name has one given (the plan's, in the order of
        // the blocks), an anonymous block's.
        const char *own = block->name;
        int typeFlag = block->typeFlag;
        if ((!own || !*own) && given != plan.givenNames.end()) {
            own = *given++;
            typeFlag |= 1;
        }
        const char *name = plan.Name(SymbolKind::Block, own);
        const char *layer = plan.Name(SymbolKind::Layer, LayerOf(block->layerName));
        run.Text(0, "BLOCK");
        groups.Handle(block->handle);
        groups.Text(8, layer);
        groups.Name(6, SymbolKind::Ltype, block->ltypeName);
        if (block->color != 256) run.Int(62, block->color);
        groups.Real(38, block->elevation);
        groups.Real(39, block->thickness);
        groups.Int(67, block->space);
        groups.Text(2, name);
        run.Int(70, typeFlag);
        run.Point(block->basePoint, 0);
        groups.Text(3, name);
        groups.Text(1, block->xrefPath);
        if (run.Failed()) return VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
        run.Call(WriteCompleteEntityList, block->entities);
        if (run.Failed()) return VX_FAIL(out, run.TakeFailure(), "Error writing block entities");
        run.Text(0, "ENDBLK");
        groups.Text(8, layer);
        if (run.Failed()) return VX_FAIL(out, run.TakeFailure(), "Error writing entity info");
    }
    run.Text(0, "ENDSEC");
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing group");
}

}  // namespace vexlith
