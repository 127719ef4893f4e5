// SPDX-License-Identifier: MIT
// vexlith convert IN OUT [--binary | --ascii]: reads a drawing and writes it
// again, in the form asked for or in the form of the input.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "cli.h"
#include "drawing_file.h"
#include "header_variables.h"
#include "json.h"
#include "kinds.h"
#include "output_file.h"
#include "terminal.h"

namespace cli {
namespace {

// What a drawing holds, counted as the summary compares it.
struct Contents {
    std::map<std::string, int> kinds;  // entities of the ENTITIES section and of blocks
    int blocks = 0, ltypes = 0, layers = 0, styles = 0;
};

Contents Count(const Qdxf_Info &drawing) {
    Contents contents;
    auto add = [&](const Qdxf_Entity *entities) {
        for (const Qdxf_Entity *entity = entities; entity; entity = entity->next)
            ++contents.kinds[render::KindName(*entity)];
    };
    add(drawing.entities);
    for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
        ++contents.blocks;
        add(block->entities);
    }
    if (const Qdxf_Tables *tables = drawing.tables) {
        for (const Qdxf_Ltype *ltype = tables->ltypes; ltype; ltype = ltype->next)
            ++contents.ltypes;
        for (const Qdxf_Layer *layer = tables->layers; layer; layer = layer->next)
            ++contents.layers;
        for (const Qdxf_Style *style = tables->styles; style; style = style->next)
            ++contents.styles;
    }
    return contents;
}

bool Same(const char *a, const char *b) {
    return a == b || (a && b && std::strcmp(a, b) == 0);
}
bool Same(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}
bool Same(const Qdxf_Coord *a, const Qdxf_Coord *b) {
    return a == b || (a && b && Same(a->x, b->x) && Same(a->y, b->y) && Same(a->z, b->z));
}

// The header variables of `read` that `written` does not have as read.
std::string LostVariables(const Qdxf_Header &read, const Qdxf_Header *written) {
    static const Qdxf_Header kNone{};
    const Qdxf_Header &w = written ? *written : kNone;
    std::string lost;
    for (const HeaderVariable &variable : kHeaderVariables) {
        bool same = false;
        switch (variable.kind) {
            case HeaderVariable::kText:
                same = Same(variable.Text(read), variable.Text(w));
                break;
            case HeaderVariable::kInteger:
                same = variable.Integer(read) == variable.Integer(w);
                break;
            case HeaderVariable::kReal:
            case HeaderVariable::kDate:
                same = Same(variable.Real(read), variable.Real(w));
                break;
            case HeaderVariable::kPoint:
                same = Same(variable.Point(read), variable.Point(w));
                break;
        }
        if (!same) lost.append(lost.empty() ? "" : ", ").append(variable.name);
    }
    return lost;
}

// One line on stderr of what `written` lacks that `read` had; nothing when
// it lacks nothing. The written file is read back, so that the line tells
// what is in it rather than what the writer is meant to leave out.
void PrintLost(const Qdxf_Info &read, const Qdxf_Info &written, const std::string &shown) {
    Contents before = Count(read);
    Contents after = Count(written);
    std::vector<std::string> parts;
    std::string kinds;
    for (const auto &[kind, count] : before.kinds) {
        int lost = count - after.kinds[kind];
        if (lost > 0)
            kinds.append(kinds.empty() ? "" : ", ") += kind + " (" + std::to_string(lost) + ")";
    }
    if (!kinds.empty()) parts.push_back("entities " + kinds);
    std::string tables;
    auto table = [&tables](int lost, const char *one, const char *many) {
        if (lost > 0) {
            tables.append(tables.empty() ? "" : ", ") +=
                std::to_string(lost) + " " + (lost == 1 ? one : many);
        }
    };
    table(before.blocks - after.blocks, "block", "blocks");
    table(before.ltypes - after.ltypes, "line type", "line types");
    table(before.layers - after.layers, "layer", "layers");
    table(before.styles - after.styles, "text style", "text styles");
    if (!tables.empty()) parts.push_back(tables);
    if (read.header) {
        std::string variables = LostVariables(*read.header, written.header);
        if (!variables.empty()) parts.push_back("header variables " + variables);
    }
    if (parts.empty()) return;
    std::string line = "vexlith: not written to " + shown + ": ";
    for (std::size_t i = 0; i < parts.size(); ++i)
        line.append(i ? "; " : "").append(parts[i]);
    std::fprintf(stderr, "%s\n", EscapeControls(line).c_str());
}

}  // namespace

int RunConvert(const std::vector<std::string_view> &args) {
    int status = kSuccess;
    auto parsed = ParseCommand("convert", args, &status);
    if (!parsed) return status;
    if (parsed->Operands().size() != 2) return UsageError("convert", "convert takes IN and OUT");
    if (parsed->Has("binary") && parsed->Has("ascii")) {
        return UsageError("convert", "--binary and --ascii exclude each other");
    }
    std::string input(parsed->Operands()[0]);
    std::string output(parsed->Operands()[1]);

    FileForm form;
    Qdxf_Info *drawing = ReadDrawing(input, parsed->Has("progress"), nullptr, nullptr, &form);
    if (!drawing) return kFailure;
    bool binary = parsed->Has("binary") || (!parsed->Has("ascii") && IsBinary(form));
    // The library writes the file by name: a temporary one, which takes the
    // target's place only when the whole drawing is in it.
    OutputFile file(output);
    if (!file.Create() || !file.Close()) {
        qdxf_InfoFree(drawing);
        return kFailure;
    }
    qerr_Report *report = nullptr;
    qdxf_Write(drawing, file.Path().c_str(), binary ? 1 : 0, 0, &report);
    if (report) {
        qdxf_InfoFree(drawing);
        PrintReportChain(report, file.Path(), output);
        return kFailure;
    }
    // Read back from the temporary file; a device or pipe is not read.
    Qdxf_Info *written = nullptr;
    if (!parsed->Has("quiet") && file.Temporary()) {
        written = qdxf_Read(file.Path().c_str(), nullptr, &report);
        qerr_ReportFree(report);
    }
    bool committed = file.Commit();
    if (committed && written) PrintLost(*drawing, *written, output);
    qdxf_InfoFree(written);
    qdxf_InfoFree(drawing);
    return committed ? kSuccess : kFailure;
}

}  // namespace cli
