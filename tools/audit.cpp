// SPDX-License-Identifier: MIT
// vexlith audit: the repairs a recovering read makes of each file, on
// standard output; the status tells whether any file needs one.
#include "cli.h"
#include "drawing_file.h"
#include "json.h"
#include "terminal.h"

namespace cli {
namespace {

void PrintRepairsJson(const std::string &fileName, const Repairs *repairs) {
    Json json;
    json.Object().Key("schema").Integer(kJsonSchema).Key("file").Text(fileName.c_str());
    json.Key("repairs");
    if (!repairs) {  // not read: the report chain is on stderr
        json.Null().End().Finish();
        return;
    }
    json.Array();
    for (const Repair &repair : *repairs) {
        json.Object().Key("line").Integer(repair.line).Key("offset").Integer(repair.offset);
        json.Key("action").String(ActionName(repair.action)).Key("loss").Integer(repair.loss);
        json.Key("count").Integer(repair.count).Key("found");
        if (repair.found.empty()) {
            json.Null();
        } else {
            json.Text(repair.found.c_str());
        }
        json.Key("message").Text(repair.message.c_str()).End();
    }
    json.End().End();
    json.Finish();
}

}  // namespace

int RunAudit(const std::vector<std::string_view> &args) {
    int status = kSuccess;
    auto parsed = ParseCommand("audit", args, &status);
    if (!parsed) return status;
    if (parsed->Operands().empty()) return UsageError("audit", "audit takes one FILE or more");
    for (std::string_view operand : parsed->Operands()) {
        std::string fileName(operand);
        Repairs repairs;
        Qdxf_Info *drawing =
            ReadDrawing(fileName, parsed->Has("progress"), nullptr, CommandReadOptions(true, true),
                        nullptr, nullptr, &repairs);
        qdxf_InfoFree(drawing);
        if (!drawing || !repairs.empty()) status = kFailure;
        if (parsed->Has("json")) {
            PrintRepairsJson(fileName, drawing ? &repairs : nullptr);
            continue;
        }
        if (!drawing) continue;  // the report chain is on stderr
        long places = 0;
        for (const Repair &repair : repairs)
            places += repair.count;
        std::printf("%s: %s\n", Shown(fileName.c_str()).c_str(),
                    places ? (std::to_string(places) + " repair" + (places == 1 ? "" : "s")).c_str()
                           : "sound, no repair needed");
        for (const Repair &repair : repairs)
            std::printf("  %s\n", EscapeControls(RepairLine(repair)).c_str());
    }
    return status;
}

}  // namespace cli
