// SPDX-License-Identifier: MIT
// vexlith convert IN OUT [--binary | --ascii]: reads a drawing and writes it
// again, in the form asked for or in the form of the input.
#include <cstdio>

#include "cli.h"
#include "drawing_file.h"
#include "output_file.h"

namespace cli {

int RunConvert(const std::vector<std::string_view> &args) {
    const CommandSpec &command = Command("convert");
    auto parsed = Arguments::Parse("convert", args, command.options);
    if (!parsed) return kUsage;
    if (parsed->Has("help")) {
        PrintCommandHelp(command);
        return kSuccess;
    }
    if (parsed->Operands().size() != 2) return UsageError("convert", "convert takes IN and OUT");
    if (parsed->Has("binary") && parsed->Has("ascii")) {
        return UsageError("convert", "--binary and --ascii exclude each other");
    }
    std::string input(parsed->Operands()[0]);
    std::string output(parsed->Operands()[1]);

    qerr_Report *report = nullptr;
    Qdxf_Info *drawing = ReadDrawing(input, parsed->Has("progress"), &report);
    if (!drawing) {
        PrintReportChain(report);
        return kFailure;
    }
    bool binary = parsed->Has("binary");
    if (!binary && !parsed->Has("ascii")) {
        binary = IsBinary(DetectForm(input.c_str()));
    }
    // The library writes the file by name: a temporary one, which takes the
    // target's place only when the whole drawing is in it.
    OutputFile file(output);
    if (!file.Create() || !file.Close()) {
        qdxf_InfoFree(drawing);
        return kFailure;
    }
    qdxf_Write(drawing, file.Path().c_str(), binary ? 1 : 0, 0, &report);
    qdxf_InfoFree(drawing);
    if (report) {
        PrintReportChain(report, file.Path(), output);
        return kFailure;
    }
    return file.Commit() ? kSuccess : kFailure;
}

}  // namespace cli
