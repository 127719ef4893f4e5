// SPDX-License-Identifier: MIT
// vexlith convert IN OUT [--binary | --ascii] [--r12 | --strict]: reads a
// drawing and writes it again, in the form asked for or in the form of the
// input: a complete DXF R12 file, or with --strict what qdxf_Write writes.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

#include "cli.h"
#include "corvane.h"
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

// The line for a complete file: it carries everything the drawing holds but
// the entities of kinds the library does not read. The written file is read
// back, so that the line tells what is in it.
void PrintNotCarried(const Qdxf_Info &read, const Qdxf_Info &written, const IgnoredKinds &ignored,
                     const std::string &shown) {
    Contents before = Count(read);
    Contents after = Count(written);
    std::vector<std::string> parts;
    for (const auto &[kind, count] : before.kinds) {
        int lost = count - after.kinds[kind];
        if (lost <= 0) continue;
        std::string part = std::to_string(lost) + (lost == 1 ? " entity" : " entities");
        if (kind == render::KindName(QDXF_INVALID)) {
            std::string names;
            for (const std::string &name : ignored)
                names.append(names.empty() ? "" : ", ").append(name);
            part += " of kinds not read" + (names.empty() ? "" : " (" + names + ")");
        } else {
            part += " " + kind;
        }
        parts.push_back(part);
    }
    if (parts.empty()) return;
    std::string line = "vexlith: not written to " + shown + ": ";
    for (std::size_t i = 0; i < parts.size(); ++i)
        line.append(i ? "; " : "").append(parts[i]);
    std::fprintf(stderr, "%s\n", EscapeControls(line).c_str());
}

// The writer's log messages: each text cut to what the form holds
// (QDXF_WRITE_FIT_TEXTS), told on stderr with the file it is in.
void TellWriteMessage(void *context, const char *message) {
    const auto &shown = *static_cast<const std::string *>(context);
    std::fprintf(stderr, "%s\n", EscapeControls("vexlith: " + shown + ": " + message).c_str());
}
void IgnoreWriteMessage(void *, const char *) {}

// OUT names the file IN (the same path, a link to it): writing would replace
// the drawing being converted.
bool IsSameFile(const std::string &input, const std::string &output) {
    std::error_code error;
    return std::filesystem::equivalent(input, output, error) && !error;
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
    if (parsed->Has("r12") && parsed->Has("strict")) {
        return UsageError("convert", "--r12 and --strict exclude each other");
    }
    std::string input(parsed->Operands()[0]);
    std::string output(parsed->Operands()[1]);
    if (!parsed->Has("force") && IsSameFile(input, output)) {
        return UsageError("convert", "OUT is the input file; --force writes over it");
    }

    // The default and --r12 read with every option of the library and write
    // complete files; --strict reads and writes as the thirteen exports do.
    const bool strict = parsed->Has("strict");
    // A text too long for the form is cut to what it holds rather than fail
    // the file.
    const Qdxf_WriteOptions writeOptions{sizeof writeOptions,
                                         QDXF_WRITE_COMPLETE | QDXF_WRITE_FIT_TEXTS |
                                             (parsed->Has("r12") ? QDXF_WRITE_R12_NAMES : 0u),
                                         nullptr, nullptr};
    IgnoredKinds ignored;
    FileForm form;
    Qdxf_Info *drawing =
        ReadDrawing(input, parsed->Has("progress"), strict ? nullptr : &ignored,
                    CommandReadOptions(strict, parsed->Has("recover")), nullptr, &form);
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
    if (strict) {
        qdxf_Write(drawing, file.Path().c_str(), binary ? 1 : 0, 0, &report);
    } else {
        qsmg_SetSink(parsed->Has("quiet") ? IgnoreWriteMessage : TellWriteMessage, &output);
        qdxf_WriteWithOptions(drawing, file.Path().c_str(), binary ? 1 : 0, &writeOptions, &report);
        qsmg_SetSink(nullptr, nullptr);
    }
    if (report) {
        qdxf_InfoFree(drawing);
        PrintReportChain(report, file.Path(), output);
        return kFailure;
    }
    // Read back from the temporary file; a device or pipe is not read.
    Qdxf_Info *written = nullptr;
    if (!parsed->Has("quiet") && file.Temporary()) {
        written = strict ? qdxf_Read(file.Path().c_str(), nullptr, &report)
                         : qdxf_ReadWithOptions(file.Path().c_str(), nullptr,
                                                CommandReadOptions(false), &report);
        qerr_ReportFree(report);
    }
    bool committed = file.Commit();
    if (committed && written) {
        if (strict) {
            PrintLost(*drawing, *written, output);
        } else {
            PrintNotCarried(*drawing, *written, ignored, output);
        }
    }
    qdxf_InfoFree(written);
    qdxf_InfoFree(drawing);
    return committed ? kSuccess : kFailure;
}

}  // namespace cli
