// SPDX-License-Identifier: MIT
// vexlith info FILE: what a drawing holds, in a few lines.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "cli.h"
#include "drawing_file.h"

namespace cli {
namespace {

const char *OrNone(const char *text) {
    return text ? text : "(none)";
}

void PrintPoint(const char *label, const Qdxf_Coord *point) {
    if (point) {
        std::printf("  %-11s %g, %g, %g\n", label, point->x, point->y, point->z);
    } else {
        std::printf("  %-11s (none)\n", label);
    }
}

void PrintHeader(const Qdxf_Header *header) {
    if (!header) {
        std::printf("header:      none (the file has no HEADER section)\n");
        return;
    }
    std::printf("header variables:\n");
    std::printf("  %-11s %s\n", "$ACADVER", OrNone(header->acadver));
    std::printf("  %-11s %g\n", "$ANGBASE", header->angbase);
    std::printf("  %-11s %d\n", "$ANGDIR", header->angdir);
    std::printf("  %-11s %d\n", "$AUNITS", header->aunits);
    std::printf("  %-11s %d\n", "$AUPREC", header->auprec);
    std::printf("  %-11s %d\n", "$CECOLOR", header->cecolor);
    std::printf("  %-11s %s\n", "$CELTYPE", OrNone(header->celtype));
    std::printf("  %-11s %s\n", "$CLAYER", OrNone(header->clayer));
    PrintPoint("$EXTMIN", header->extmin);
    PrintPoint("$EXTMAX", header->extmax);
    std::printf("  %-11s %d\n", "$FILLMODE", header->fillmode);
    std::printf("  %-11s %g\n", "$LTSCALE", header->ltscale);
    std::printf("  %-11s %d\n", "$LUNITS", header->lunits);
    std::printf("  %-11s %d\n", "$LUPREC", header->luprec);
    std::printf("  %-11s %d\n", "$PLINEGEN", header->plinegen);
    std::printf("  %-11s %g\n", "$PLINEWID", header->plinewid);
    std::printf("  %-11s %.10g\n", "$TDCREATE", header->tdcreate);
    std::printf("  %-11s %g\n", "$TEXTSIZE", header->textsize);
    std::printf("  %-11s %s\n", "$TEXTSTYLE", OrNone(header->textstyle));
    std::printf("  %-11s %g\n", "$TRACEWID", header->tracewid);
}

constexpr const char *kKindNames[] = {
    "invalid", "LINE", "POINT",  "CIRCLE",   "ARC",    "TRACE",
    "SOLID",   "TEXT", "INSERT", "POLYLINE", "3DFACE",
};
constexpr int kKinds = static_cast<int>(sizeof kKindNames / sizeof kKindNames[0]);

int KindOf(const Qdxf_Entity &entity) {
    int kind;
    std::memcpy(&kind, &entity.type, sizeof kind);  // a host may store any int there
    return kind >= 0 && kind < kKinds ? kind : 0;
}

void PrintExtents(const Qdxf_Header *header) {
    if (!header || !header->extmin || !header->extmax) {
        std::printf("extents:     (none in the header)\n");
        return;
    }
    const Qdxf_Coord &low = *header->extmin;
    const Qdxf_Coord &high = *header->extmax;
    std::printf("extents:     %g, %g, %g to %g, %g, %g\n", low.x, low.y, low.z, high.x, high.y,
                high.z);
}

void PrintBlocks(const Qdxf_Block *blocks) {
    int count = 0;
    int entities = 0;
    for (const Qdxf_Block *block = blocks; block; block = block->next) {
        ++count;
        for (const Qdxf_Entity *entity = block->entities; entity; entity = entity->next)
            ++entities;
    }
    std::printf("blocks:      %d (%d entities in them)\n", count, entities);
}

void PrintEntities(const Qdxf_Entity *entities, const IgnoredKinds &ignored) {
    int perKind[kKinds] = {};
    int total = 0;
    for (const Qdxf_Entity *entity = entities; entity; entity = entity->next) {
        ++perKind[KindOf(*entity)];
        ++total;
    }
    std::printf("entities:    %d\n", total);
    for (int kind = 1; kind < kKinds; ++kind) {
        if (perKind[kind]) std::printf("  %-11s %d\n", kKindNames[kind], perKind[kind]);
    }
    if (perKind[0]) std::printf("  %-11s %d (unknown kinds)\n", "invalid", perKind[0]);
    if (!ignored.empty()) {
        std::printf("kinds not read (in blocks or entities):");
        const char *separator = " ";
        for (const std::string &name : ignored) {
            std::printf("%s%s", separator, name.c_str());
            separator = ", ";
        }
        std::printf("\n");
    }
}

// Each layer of the table with the entities of the ENTITIES section on it.
void PrintLayers(const Qdxf_Info &drawing) {
    int count = 0;
    const Qdxf_Layer *layers = drawing.tables ? drawing.tables->layers : nullptr;
    for (const Qdxf_Layer *layer = layers; layer; layer = layer->next)
        ++count;
    std::printf("layers:      %d\n", count);
    std::unordered_map<const Qdxf_Layer *, int> on;
    for (const Qdxf_Entity *entity = drawing.entities; entity; entity = entity->next)
        ++on[entity->layer];
    for (const Qdxf_Layer *layer = layers; layer; layer = layer->next) {
        std::printf("  %-11s %d entities\n", layer->name ? layer->name : "(no name)", on[layer]);
    }
    if (on[nullptr]) std::printf("  and %d entities on layers not in the table\n", on[nullptr]);
}

}  // namespace

int RunInfo(const std::vector<std::string_view> &args) {
    const CommandSpec &command = Command("info");
    auto parsed = Arguments::Parse("info", args, command.options);
    if (!parsed) return kUsage;
    if (parsed->Has("help")) {
        PrintCommandHelp(command);
        return kSuccess;
    }
    if (parsed->Operands().size() != 1) return UsageError("info", "info takes one FILE");
    std::string fileName(parsed->Operands()[0]);

    auto started = std::chrono::steady_clock::now();
    qerr_Report *report = nullptr;
    IgnoredKinds ignored;
    Qdxf_Info *drawing = ReadDrawing(fileName, parsed->Has("progress"), &report, &ignored);
    auto elapsed =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started);
    if (!drawing) {
        PrintReportChain(report);
        return kFailure;
    }
    std::printf("file:        %s\n", fileName.c_str());
    std::printf("form:        %s\n", FormName(DetectForm(fileName.c_str())));
    std::printf("version:     %s\n", drawing->header ? OrNone(drawing->header->acadver) : "(none)");
    PrintHeader(drawing->header);
    PrintExtents(drawing->header);
    PrintBlocks(drawing->blocks);
    PrintEntities(drawing->entities, ignored);
    PrintLayers(*drawing);
    std::printf("read in:     %.1f ms\n", elapsed.count());
    qdxf_InfoFree(drawing);
    return kSuccess;
}

}  // namespace cli
