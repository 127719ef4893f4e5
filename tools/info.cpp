// vexlith info FILE: what a drawing holds, in a few lines.
#include <chrono>
#include <cstdio>

#include "cli.h"
#include "progress.h"

namespace cli {
namespace {

const std::vector<OptionSpec> kInfoOptions = {
    {"progress", "", "show a progress bar on stderr even when it is not a terminal"},
    {"help", "", "show this help"},
};

void PrintInfoHelp() {
    std::printf(
        "usage: vexlith info FILE [--progress]\n"
        "\n"
        "Reads FILE and prints its form (ASCII or binary), its DXF version and the\n"
        "header variables read.\n"
        "\n"
        "Options:\n");
    PrintOptions(kInfoOptions);
}

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

}  // namespace

int RunInfo(const std::vector<std::string_view> &args) {
    auto parsed = Arguments::Parse("info", args, kInfoOptions);
    if (!parsed) return kUsage;
    if (parsed->Has("help")) {
        PrintInfoHelp();
        return kSuccess;
    }
    if (parsed->Operands().size() != 1) return UsageError("info", "info takes one FILE");
    std::string fileName(parsed->Operands()[0]);

    auto started = std::chrono::steady_clock::now();
    qerr_Report *report = nullptr;
    Qdxf_Info *drawing = ReadDrawing(fileName, parsed->Has("progress"), &report);
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
    std::printf("read in:     %.1f ms\n", elapsed.count());
    qdxf_InfoFree(drawing);
    return kSuccess;
}

}  // namespace cli
