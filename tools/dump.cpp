// SPDX-License-Identifier: MIT
// vexlith dump FILE: everything the library read from a drawing, printed by
// its own dump exports, part by part under short titles.
#include <cstdio>
#include <string>

#include "cli.h"
#include "drawing_file.h"
#include "json.h"
#include "terminal.h"

namespace cli {
namespace {

enum Part : unsigned {
    kHeader = kDocumentHeader,
    kTables = kDocumentTables,
    kBlocks = kDocumentBlocks,
    kEntities = kDocumentEntities,
    kAll = kDocumentAll,
};

struct PartName {
    std::string_view name;
    Part part;
};
constexpr PartName kPartNames[] = {
    {"header", kHeader}, {"tables", kTables}, {"blocks", kBlocks}, {"entities", kEntities}};

template <typename T>
int Length(const T *list) {
    int count = 0;
    for (; list; list = list->next)
        ++count;
    return count;
}

// A part held in one record, null when the file had no such section.
template <typename Record>
void PrintSection(const char *separator, const char *title, const Record *record,
                  void (*print)(const Record *)) {
    std::printf("%s== %s ==\n", separator, title);
    if (record) {
        print(record);
    } else {
        std::printf("(no %s section read)\n", title);
    }
}

// The parts are printed in the order of the file's sections, each under a
// title; a blank line separates them.
void Dump(const Qdxf_Info &drawing, unsigned parts, bool quick) {
    const char *separator = "";
    if (parts & kHeader) {
        PrintSection(separator, "HEADER", drawing.header, qdxf_HeaderPrint);
        separator = "\n";
    }
    if (parts & kTables) {
        PrintSection(separator, "TABLES", drawing.tables, qdxf_TablesPrint);
        separator = "\n";
    }
    if (parts & kBlocks) {
        std::printf("%s== BLOCKS (%d) ==\n", separator, Length(drawing.blocks));
        for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
            qdxf_BlockPrint(block);
        }
        separator = drawing.blocks ? "" : "\n";  // a block's dump ends with a blank line
    }
    if (parts & kEntities) {
        std::printf("%s== ENTITIES (%d) ==\n", separator, Length(drawing.entities));
        for (const Qdxf_Entity *entity = drawing.entities; entity; entity = entity->next) {
            if (quick) {
                qdxf_EntityPrintQuick(entity);
            } else {
                qdxf_EntityPrint(entity);
            }
        }
    }
}

// The parts as one JSON document, every record with every member.
void DumpJson(const Qdxf_Info &drawing, unsigned parts) {
    Json json;
    WriteDocument(json, drawing, parts);
    json.Finish();
}

}  // namespace

int RunDump(const std::vector<std::string_view> &args) {
    int status = kSuccess;
    auto parsed = ParseCommand("dump", args, &status);
    if (!parsed) return status;
    unsigned parts = kAll;
    if (auto only = parsed->Value("only")) {
        parts = 0;
        for (const PartName &candidate : kPartNames) {
            if (candidate.name == *only) parts = candidate.part;
        }
        if (!parts) {
            return UsageError("dump", "unknown part '" + std::string(*only) +
                                          "' for --only: use header, tables, blocks or entities");
        }
    }
    if (parsed->Operands().size() != 1) return UsageError("dump", "dump takes one FILE");
    bool json = parsed->Has("json");
    if (json && parsed->Has("quick")) {
        return UsageError("dump", "--quick has no JSON form: use --json alone");
    }
    std::string fileName(parsed->Operands()[0]);

    Qdxf_Info *drawing =
        ReadDrawing(fileName, parsed->Has("progress"), nullptr,
                    CommandReadOptions(parsed->Has("strict"), parsed->Has("recover")));
    if (!drawing) return kFailure;
    if (json) {
        DumpJson(*drawing, parts);
    } else {
        EscapeDumpOnTerminal();
        Dump(*drawing, parts, parsed->Has("quick"));
    }
    qdxf_InfoFree(drawing);
    return kSuccess;
}

}  // namespace cli
