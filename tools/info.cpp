// SPDX-License-Identifier: MIT
// vexlith info FILE: what a drawing holds, in a few lines.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <unordered_map>

#include "cli.h"
#include "drawing_file.h"
#include "header_variables.h"
#include "json.h"
#include "kinds.h"
#include "terminal.h"
#include "view.h"

namespace cli {
namespace {

// "1 entity", "2 entities".
std::string Count(int count, const char *one = "entity", const char *many = "entities") {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void PrintPoint(const char *label, const Qdxf_Coord *point) {
    if (point) {
        std::printf("  %-11s %g, %g, %g\n", label, point->x, point->y, point->z);
    } else {
        std::printf("  %-11s (none)\n", label);
    }
}

void PrintText(const char *label, const char *text) {
    std::printf("  %-11s %s\n", label, Shown(text).c_str());
}

void PrintHeader(const Qdxf_Header *header) {
    if (!header) {
        std::printf("header:      none (the file has no HEADER section)\n");
        return;
    }
    std::printf("header variables:\n");
    for (const HeaderVariable &variable : kHeaderVariables) {
        switch (variable.kind) {
            case HeaderVariable::kText:
                PrintText(variable.name, variable.Text(*header));
                break;
            case HeaderVariable::kInteger:
                std::printf("  %-11s %d\n", variable.name, variable.Integer(*header));
                break;
            case HeaderVariable::kReal:
                std::printf("  %-11s %g\n", variable.name, variable.Real(*header));
                break;
            case HeaderVariable::kDate:
                std::printf("  %-11s %.10g\n", variable.name, variable.Real(*header));
                break;
            case HeaderVariable::kPoint:
                PrintPoint(variable.name, variable.Point(*header));
                break;
        }
    }
}

// What the summary counts, in the text and in the JSON alike. The entities
// of the ENTITIES section are counted as the read hands them over, one at a
// time, so that a drawing of any size is summarised in little memory; the
// rest once the drawing, which then holds none of them, is read.
struct Summary {
    int blocks = 0;
    int blockEntities = 0;
    int entities = 0;
    std::map<std::string, int> perKind;  // kind name to count, INVALID included
    // Each layer of the table with the entities of the ENTITIES section on
    // it, in table order, and the entities on layers the table lacks.
    std::vector<std::pair<const Qdxf_Layer *, int>> layers;
    int offTable = 0;
    std::unordered_map<const Qdxf_Layer *, int> on;  // while the entities come
    // The extents of what is drawn, as vexlith render draws it (what CAD
    // programs do not plot left out): model space, or paper space when model
    // space has nothing. The walks start at the first entity, when the tables
    // and blocks are read.
    render::SceneOptions scene = [] {
        render::SceneOptions options;
        options.maxPrimitives = options.maxPoints = SIZE_MAX;  // nothing is kept
        options.maxVisits = std::size_t{1} << 26;
        return options;
    }();
    render::ExtentsSink model, paper;
    std::unique_ptr<render::EntityWalker> modelWalk, paperWalk;
    bool inModel = false;

    static int Add(void *summary, const Qdxf_Info *drawing, const Qdxf_Entity *entity) {
        auto &self = *static_cast<Summary *>(summary);
        ++self.entities;
        ++self.perKind[render::KindName(*entity)];
        ++self.on[entity->layer];
        if (!self.modelWalk) {
            self.modelWalk =
                std::make_unique<render::EntityWalker>(*drawing, self.scene, self.model);
            self.paperWalk =
                std::make_unique<render::EntityWalker>(*drawing, self.scene, self.paper);
        }
        self.inModel = self.inModel || entity->space == 0;
        (entity->space == 0 ? self.modelWalk : self.paperWalk)->Walk(*entity);
        return 0;
    }
    const render::Box &Extents() const { return inModel ? model.box() : paper.box(); }
    void Finish(const Qdxf_Info &drawing) {
        for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
            ++blocks;
            for (const Qdxf_Entity *entity = block->entities; entity; entity = entity->next)
                ++blockEntities;
        }
        const Qdxf_Layer *first = drawing.tables ? drawing.tables->layers : nullptr;
        for (const Qdxf_Layer *layer = first; layer; layer = layer->next)
            layers.emplace_back(layer, on[layer]);
        offTable = on[nullptr];
    }
};

// The kinds in the order of the library's kind numbers, INVALID last.
const std::vector<const char *> kKindOrder = [] {
    std::vector<const char *> order(std::begin(vexlith::kKindNames) + 1,
                                    std::end(vexlith::kKindNames));
    order.push_back(vexlith::kKindNames[QDXF_INVALID]);
    return order;
}();

// "label: A, B" on a line of its own, nothing for no kinds.
void PrintKinds(const char *label, const IgnoredKinds &kinds) {
    if (kinds.empty()) return;
    std::printf("%s", label);
    const char *separator = " ";
    for (const std::string &name : kinds) {
        std::printf("%s%s", separator, Shown(name.c_str()).c_str());
        separator = ", ";
    }
    std::printf("\n");
}

void PrintSummary(const std::string &fileName, FileForm form, const Qdxf_Info &drawing,
                  const Summary &summary, const IgnoredKinds &ignored,
                  const IgnoredKinds &translated, double milliseconds) {
    const Qdxf_Header *header = drawing.header;
    std::printf("file:        %s\n", Shown(fileName.c_str()).c_str());
    std::printf("form:        %s\n", FormName(form));
    std::printf("version:     %s\n", header ? Shown(header->acadver).c_str() : "(none)");
    PrintHeader(header);
    const render::Box &extents = summary.Extents();
    if (extents.Empty()) {
        std::printf("extents:     (nothing drawn)\n");
    } else {
        std::printf("extents:     %g, %g to %g, %g\n", extents.minX, extents.minY, extents.maxX,
                    extents.maxY);
    }
    std::printf("blocks:      %d (%s in them)\n", summary.blocks,
                Count(summary.blockEntities).c_str());
    std::printf("entities:    %d\n", summary.entities);
    for (const char *kind : kKindOrder) {
        auto found = summary.perKind.find(kind);
        if (found == summary.perKind.end()) continue;
        if (std::string_view(kind) == "INVALID") {
            std::printf("  %-11s %d (unknown kinds)\n", "invalid", found->second);
        } else {
            std::printf("  %-11s %d\n", kind, found->second);
        }
    }
    PrintKinds("kinds translated:", translated);
    PrintKinds("kinds not read (in blocks or entities):", ignored);
    std::printf("layers:      %zu\n", summary.layers.size());
    std::vector<std::string> names;
    std::size_t width = 11;  // the column of the counts, wider for a long name
    for (const auto &[layer, count] : summary.layers) {
        names.push_back(Shown(layer->name, "(no name)"));
        width = std::max(width, names.back().size());
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::printf("  %-*s %s\n", static_cast<int>(width), names[i].c_str(),
                    Count(summary.layers[i].second).c_str());
    }
    if (summary.offTable) {
        std::printf("  and %s on layers not in the table\n", Count(summary.offTable).c_str());
    }
    std::printf("read in:     %.1f ms\n", milliseconds);
}

// The summary as one JSON object on one line; the time of the read is left
// out, so that the same file always gives the same line.
void PrintSummaryJson(const std::string &fileName, FileForm form, const Qdxf_Info &drawing,
                      const Summary &summary, const IgnoredKinds &ignored,
                      const IgnoredKinds &translated) {
    Json json;
    json.Object().Key("schema").Integer(kJsonSchema).Key("file").Text(fileName.c_str());
    json.Key("form").String(FormName(form));
    json.Key("header");
    WriteHeader(json, drawing.header);
    const render::Box &extents = summary.Extents();
    json.Key("extents");
    if (extents.Empty()) {
        json.Null();
    } else {
        json.Object().Key("min").Array().Real(extents.minX).Real(extents.minY).End();
        json.Key("max").Array().Real(extents.maxX).Real(extents.maxY).End().End();
    }
    json.Key("blocks").Integer(summary.blocks);
    json.Key("blockEntities").Integer(summary.blockEntities);
    json.Key("entities").Integer(summary.entities).Key("kinds").Object();
    for (const char *kind : kKindOrder) {
        auto found = summary.perKind.find(kind);
        if (found != summary.perKind.end()) json.Key(kind).Integer(found->second);
    }
    json.End().Key("kindsNotRead").Array();
    for (const std::string &name : ignored)
        json.Text(name.c_str());
    json.End().Key("kindsTranslated").Array();
    for (const std::string &name : translated)
        json.Text(name.c_str());
    json.End().Key("layers").Array();
    for (const auto &[layer, count] : summary.layers)
        json.Object().Key("name").Text(layer->name).Key("entities").Integer(count).End();
    json.End().Key("entitiesOnLayersNotInTable").Integer(summary.offTable).End();
    json.Finish();
}

}  // namespace

int RunInfo(const std::vector<std::string_view> &args) {
    int status = kSuccess;
    auto parsed = ParseCommand("info", args, &status);
    if (!parsed) return status;
    if (parsed->Operands().empty()) return UsageError("info", "info takes one FILE or more");
    bool json = parsed->Has("json");
    bool first = true;
    for (std::string_view operand : parsed->Operands()) {
        std::string fileName(operand);
        auto started = std::chrono::steady_clock::now();
        IgnoredKinds ignored, translated;
        Summary summary;
        FileForm form;
        Qdxf_Info *drawing =
            ReadDrawingEach(fileName, parsed->Has("progress"), &ignored,
                            CommandReadOptions(parsed->Has("strict"), parsed->Has("recover")),
                            Summary::Add, &summary, &translated, &form);
        auto elapsed =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started);
        if (!drawing) {
            status = kFailure;
            continue;
        }
        summary.Finish(*drawing);
        if (json) {
            PrintSummaryJson(fileName, form, *drawing, summary, ignored, translated);
        } else {
            if (!first) std::printf("\n");
            PrintSummary(fileName, form, *drawing, summary, ignored, translated, elapsed.count());
        }
        first = false;
        qdxf_InfoFree(drawing);
    }
    return status;
}

}  // namespace cli
