// SPDX-License-Identifier: MIT
// The WebAssembly module's own exports, for vexlith.js: a drawing read from
// bytes and kept here, its records as the JSON document of `vexlith dump
// --json` one part or one range of records at a time, the renderer's scene
// as flat arrays, and the drawing written back into bytes. The library's C
// interface is exported beside them unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "corvane.h"
#include "flat_scene.h"
#include "json.h"
#include "output.h"
#include "vexlith.h"

#define WEB_EXPORT(name) extern "C" __attribute__((export_name(#name), visibility("default")))

// The host's progress bar: the percentage of the bytes read.
extern "C" __attribute__((import_module("vexlith"), import_name("progress"))) void HostProgress(
    double percent);

namespace web {
namespace {

struct Drawing {
    Qdxf_Info *info = nullptr;
    qerr_Report *report = nullptr;
    Qdxf_Repair *repairs = nullptr;
    qerr_Report *writeReport = nullptr;
    std::vector<const Qdxf_Entity *> entities;
    std::vector<const Qdxf_Block *> blocks;
    std::vector<std::string> log;
    std::string text;  // the last JSON handed out

    ~Drawing() {
        qdxf_InfoFree(info);
        qerr_ReportFree(report);
        qerr_ReportFree(writeReport);
        qdxf_RepairsFree(repairs);
    }
};

// What a drawing's JSON calls ask for.
enum Part : int {
    kStatus = 0,  // counts, the report chain, the repairs, the log
    kHeader = 1,
    kTables = 2,
    kBlocks = 3,    // a range of blocks
    kEntities = 4,  // a range of entities
    kWriteReport = 5,
};

constexpr std::size_t kMaxLog = 1000;

void ShowProgress(void *context, double percent) {
    // The meter is called for every group: the host hears of whole percents.
    auto *last = static_cast<int *>(context);
    int whole = static_cast<int>(percent);
    if (whole == *last) return;
    *last = whole;
    HostProgress(percent);
}

void Collect(void *context, const char *message) {
    auto *log = static_cast<std::vector<std::string> *>(context);
    if (log->size() < kMaxLog) log->emplace_back(message);
}

void WriteReport(cli::Json &json, const qerr_Report *report) {
    json.Array();
    for (; report; report = qerr_ReportInner(report)) {
        json.Object().Key("message").String(qerr_ReportMessage(report));
        json.Key("function").String(qerr_ReportFunction(report));
        json.Key("line").Integer(qerr_ReportLine(report));
        json.Key("class").Integer(qerr_ReportClass(report)).End();
    }
    json.End();
}

const char *ActionName(int action) {
    switch (action) {
        case QDXF_REPAIR_SKIPPED:
            return "skipped";
        case QDXF_REPAIR_REPLACED:
            return "replaced";
        case QDXF_REPAIR_INSERTED:
            return "inserted";
        case QDXF_REPAIR_RENAMED:
            return "renamed";
        case QDXF_REPAIR_DROPPED:
            return "dropped";
        default:
            return "unknown";
    }
}

void WriteStatus(cli::Json &json, const Drawing &drawing) {
    json.Object().Key("ok").Integer(drawing.info ? 1 : 0);
    json.Key("entities").Integer(static_cast<long long>(drawing.entities.size()));
    json.Key("blocks").Integer(static_cast<long long>(drawing.blocks.size()));
    json.Key("report");
    WriteReport(json, drawing.report);
    json.Key("repairs").Array();
    for (const Qdxf_Repair *repair = drawing.repairs; repair; repair = repair->next) {
        json.Object().Key("line").Integer(repair->line).Key("offset").Integer(repair->offset);
        json.Key("action").String(ActionName(repair->action));
        json.Key("loss").Integer(repair->loss).Key("count").Integer(repair->count);
        json.Key("found").Text(repair->found).Key("message").Text(repair->message).End();
    }
    json.End().Key("log").Array();
    for (const std::string &message : drawing.log)
        json.String(message);
    json.End().End();
}

// A range of a list, clamped to it.
template <typename T, typename Write>
void WriteRange(cli::Json &json, const std::vector<const T *> &records, int from, int count,
                Write write) {
    json.Array();
    std::size_t first = static_cast<std::size_t>(std::max(from, 0));
    for (std::size_t i = first;
         i < records.size() && i - first < static_cast<std::size_t>(std::max(count, 0)); ++i)
        write(json, *records[i]);
    json.End();
}

}  // namespace
}  // namespace web

using web::Drawing;

WEB_EXPORT(vxw_alloc) void *vxw_alloc(std::size_t size) {
    return std::malloc(size ? size : 1);
}

WEB_EXPORT(vxw_free) void vxw_free(void *block) {
    std::free(block);
}

// Reads the `size` bytes at `data`, which reports call `name` (null:
// "(memory)"), or with null data the file `name` of `size` bytes (the host's
// WASI files). Never null unless memory is exhausted: a drawing that did not
// read holds its report chain.
WEB_EXPORT(vxw_read)
Drawing *vxw_read(const void *data, std::size_t size, unsigned flags, double tolerance,
                  int progress, const char *name) {
    // Each growth of the module's memory costs the host a garbage collection
    // and the heap grows it by 64 KiB at a time: the room a drawing takes,
    // about its file's size, is asked for at once.
    void *volatile room = std::malloc(size + (8u << 20));  // volatile: kept by the optimiser
    std::free(room);
    auto *drawing = new (std::nothrow) Drawing;
    if (!drawing) return nullptr;
    Qdxf_ReadOptions options{sizeof options, flags, tolerance, data, data ? size : 0, nullptr};
    if (flags & QDXF_READ_RECOVER) options.repairs = &drawing->repairs;
    int last = -1;
    qmet_Meter meter{web::ShowProgress, &last};
    qsmg_SetSink(web::Collect, &drawing->log);
    drawing->info =
        qdxf_ReadWithOptions(name, progress ? &meter : nullptr, &options, &drawing->report);
    qsmg_SetSink(nullptr, nullptr);
    if (drawing->info) {
        for (const Qdxf_Entity *entity = drawing->info->entities; entity; entity = entity->next)
            drawing->entities.push_back(entity);
        for (const Qdxf_Block *block = drawing->info->blocks; block; block = block->next)
            drawing->blocks.push_back(block);
    }
    return drawing;
}

WEB_EXPORT(vxw_drawing_free) void vxw_drawing_free(Drawing *drawing) {
    delete drawing;
}

// A part of the drawing as JSON text (web::Part), valid until the next call
// for the same drawing.
WEB_EXPORT(vxw_json)
const char *vxw_json(Drawing *drawing, int part, int from, int count, std::size_t *size) {
    drawing->text.clear();
    {
        cli::Json json(&drawing->text);
        switch (part) {
            case web::kStatus:
                web::WriteStatus(json, *drawing);
                break;
            case web::kHeader:
                cli::WriteHeader(json, drawing->info ? drawing->info->header : nullptr);
                break;
            case web::kTables:
                cli::WriteTables(json, drawing->info ? drawing->info->tables : nullptr);
                break;
            case web::kBlocks:
                web::WriteRange(json, drawing->blocks, from, count, cli::WriteBlock);
                break;
            case web::kEntities:
                web::WriteRange(json, drawing->entities, from, count, cli::WriteEntity);
                break;
            case web::kWriteReport:
                web::WriteReport(json, drawing->writeReport);
                break;
            default:
                json.Null();
        }
    }
    *size = drawing->text.size();
    return drawing->text.data();
}

// The drawing as a DXF file in memory (freed with qmsc_HeapFree), or null
// with the report chain kept for vxw_json's kWriteReport.
WEB_EXPORT(vxw_write)
void *vxw_write(Drawing *drawing, int binary, unsigned flags, std::size_t *size) {
    qerr_ReportFree(drawing->writeReport);
    drawing->writeReport = nullptr;
    void *data = nullptr;
    *size = 0;
    Qdxf_WriteOptions options{sizeof options, flags, &data, size};
    qdxf_WriteWithOptions(drawing->info, nullptr, binary, &options, &drawing->writeReport);
    return data;
}

// The scene of the drawing: `layers` holds the names to draw, each ended by
// a NUL, with an empty name after the last (all layers when it starts so).
WEB_EXPORT(vxw_scene) web::FlatScene *vxw_scene(Drawing *drawing, const char *layers) {
    auto *scene = new (std::nothrow) web::FlatScene;
    if (!scene || !drawing->info) return scene;
    // A viewer draws what the file holds: limits sixteen times the picture
    // renderer's, which bound the scene at about 150 MB.
    render::SceneOptions options;
    options.maxPrimitives *= 16;
    options.maxPoints *= 16;
    options.maxVisits *= 16;
    for (const char *name = layers; name && *name; name += std::strlen(name) + 1)
        options.layers.emplace_back(name);
    std::vector<std::string> names;
    if (drawing->info->tables) {
        for (const Qdxf_Layer *layer = drawing->info->tables->layers; layer; layer = layer->next)
            names.emplace_back(layer->name ? layer->name : "");
    }
    web::Flatten(*drawing->info, options, names, scene);
    return scene;
}

WEB_EXPORT(vxw_scene_free) void vxw_scene_free(web::FlatScene *scene) {
    delete scene;
}

namespace web {
namespace {

template <typename T>
const void *Elements(const std::vector<T> &values, std::size_t *count) {
    *count = values.size();
    return values.data();
}

std::string Key(const char *name) {
    std::string key = name && *name ? name : "0";
    for (char &c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

void WriteBox(cli::Json &json, const render::Box &box) {
    if (box.Empty()) {
        json.Null();
        return;
    }
    json.Array().Real(box.minX).Real(box.minY).Real(box.maxX).Real(box.maxY).End();
}

}  // namespace
}  // namespace web

// One of the scene's arrays (the order of vexlith.js): its address, and the
// number of its elements in *count.
WEB_EXPORT(vxw_scene_array)
const void *vxw_scene_array(const web::FlatScene *scene, int which, std::size_t *count) {
    using web::Elements;
    switch (which) {
        case 0:
            return Elements(scene->points, count);
        case 1:
            return Elements(scene->pathStart, count);
        case 2:
            return Elements(scene->pathFlags, count);
        case 3:
            return Elements(scene->pathColor, count);
        case 4:
            return Elements(scene->pathWidth, count);
        case 5:
            return Elements(scene->pathDash, count);
        case 6:
            return Elements(scene->pathEntity, count);
        case 7:
            return Elements(scene->pathLayer, count);
        case 8:
            return Elements(scene->arcAt, count);
        case 9:
            return Elements(scene->arcs, count);
        case 10:
            return Elements(scene->dashes, count);
        case 11:
            return Elements(scene->dashStart, count);
        case 12:
            return Elements(scene->dots, count);
        case 13:
            return Elements(scene->dotColor, count);
        case 14:
            return Elements(scene->dotEntity, count);
        case 15:
            return Elements(scene->dotLayer, count);
        case 16:
            return Elements(scene->labels, count);
        case 17:
            return Elements(scene->labelAlign, count);
        case 18:
            return Elements(scene->labelColor, count);
        case 19:
            return Elements(scene->labelEntity, count);
        case 20:
            return Elements(scene->labelLayer, count);
        case 21:
            return Elements(scene->labelTextStart, count);
        case 22:
            *count = scene->labelText.size();
            return scene->labelText.data();
        default:
            *count = 0;
            return nullptr;
    }
}

// What the arrays do not hold, as JSON: the origin, the extents and the
// view, the layers by index (with their table colour and state and the
// number of entities of the ENTITIES section on each), the colours on a
// black and on a white background, and the renderer's warnings.
WEB_EXPORT(vxw_scene_json)
const char *vxw_scene_json(Drawing *drawing, const web::FlatScene *scene, std::size_t *size) {
    drawing->text.clear();
    {
        cli::Json json(&drawing->text);
        json.Object().Key("origin").Array().Real(scene->origin.x).Real(scene->origin.y).End();
        json.Key("extents");
        web::WriteBox(json, scene->extents);
        json.Key("view");
        web::WriteBox(json, scene->view);
        std::map<std::string, long long> counts;
        std::map<std::string, const Qdxf_Layer *> table;
        if (drawing->info) {
            for (const Qdxf_Entity *entity : drawing->entities)
                ++counts[web::Key(entity->layerName)];
            if (drawing->info->tables) {
                for (const Qdxf_Layer *layer = drawing->info->tables->layers; layer;
                     layer = layer->next)
                    table.try_emplace(web::Key(layer->name), layer);
            }
        }
        json.Key("layers").Array();
        for (const std::string &name : scene->layers) {
            std::string key = web::Key(name.c_str());
            auto found = table.find(key);
            const Qdxf_Layer *layer = found == table.end() ? nullptr : found->second;
            json.Object().Key("name").Text(name.c_str());
            json.Key("color").Integer(layer ? std::abs(layer->color) : 7);
            json.Key("off").Integer(layer && layer->color < 0 ? 1 : 0);
            json.Key("frozen").Integer(layer && (layer->flags & 1) ? 1 : 0);
            json.Key("entities").Integer(counts[key]).End();
        }
        json.End().Key("colors").Object();
        for (bool white : {false, true}) {
            json.Key(white ? "white" : "black").Array();
            if (drawing->info) {
                for (const std::string &color : render::HexColors(*drawing->info, white))
                    json.String(color);
            }
            json.End();
        }
        json.End().Key("warnings").Array();
        for (const std::string &warning : scene->stats.warnings)
            json.String(warning);
        json.End().Key("capped").Integer(scene->stats.capped ? 1 : 0).End();
    }
    *size = drawing->text.size();
    return drawing->text.data();
}
