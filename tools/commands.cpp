// SPDX-License-Identifier: MIT
// The table of the tool's commands and options (see commands.h).
#include "commands.h"

#include <cstdlib>

#include "scene.h"

namespace cli {

const std::string_view kToolSummary = "read, inspect, convert and draw DXF drawings";

const std::string_view kExitStatus =
    "Exit status: 0 success, 1 a read or write failed (the report chain is\n"
    "printed on stderr, outermost first), 2 a usage error.";

const std::vector<OptionSpec> &ToolOptions() {
    static const std::vector<OptionSpec> options = {
        {"help", "", "show this help, or a command's help after the command"},
        {"version", "", "show the version"},
    };
    return options;
}

const std::vector<CommandSpec> &Commands() {
    static const std::vector<CommandSpec> commands = {
        {
            "info",
            "FILE [--progress]",
            "summarise a drawing: form, version, header, blocks, entities, layers",
            "Reads FILE and prints its form (ASCII or binary), its DXF version, the\n"
            "header variables read, the drawing's extents, its blocks, its entities per\n"
            "kind and its layers with the entities on each. Entities of kinds the\n"
            "library does not read are counted as invalid; their kinds are named.",
            {
                {"progress", "", "show a progress bar on stderr even when it is not a terminal"},
                {"help", "", "show this help"},
            },
        },
        {
            "dump",
            "FILE [--quick] [--only PART] [--progress]",
            "print a drawing's header, tables, blocks and entities",
            "Reads FILE and prints what was read: the header variables, the line types,\n"
            "layers and text styles, each block with its entities, and each entity.",
            {
                {"quick", "", "print each entity in the short form: its geometry alone"},
                {"only", "PART", "print one part: header, tables, blocks or entities"},
                {"progress", "", "show a progress bar on stderr even when it is not a terminal"},
                {"help", "", "show this help"},
            },
        },
        {
            "convert",
            "IN OUT [--binary | --ascii]",
            "write a drawing again, in ASCII or binary form",
            "Reads the drawing IN and writes it to OUT: in the binary form with --binary,\n"
            "in the ASCII form with --ascii, otherwise in the form of IN. What is written\n"
            "is the header's extents, the block definitions and the entities of the kinds\n"
            "LINE, POINT, CIRCLE, ARC, TRACE, SOLID, TEXT, INSERT and POLYLINE; symbol\n"
            "tables, other header variables and other kinds are left out.",
            {
                {"binary", "", "write the binary form"},
                {"ascii", "", "write the ASCII form"},
                {"progress", "",
                 "show a progress bar while reading, even when stderr is no terminal"},
                {"help", "", "show this help"},
            },
        },
        {
            "render",
            "IN OUT.svg|OUT.png [--width PX] [--background black|white] [--layers NAME,...]",
            "draw a drawing as an SVG or PNG picture",
            "Draws the entities of the drawing IN, with the blocks their inserts place,\n"
            "as a picture of OUT's kind: SVG, or PNG. The view is the header's $EXTMIN\n"
            "to $EXTMAX when they fit the drawing, otherwise the drawn extents, with a\n"
            "margin; y points up. Colours come from the colour table: an entity's own,\n"
            "its layer's (BYLAYER) or its insert's (BYBLOCK); colour 7 is drawn black on\n"
            "white and white on black. Layers that are off or frozen are not drawn, nor\n"
            "is paper space when model space has entities. Polyface meshes show their\n"
            "vertices alone. A drawing that expands to more than " +
                std::to_string(render::SceneOptions{}.maxPrimitives) +
                " elements is cut\n"
                "off there with a warning.",
            {
                {"width", "PX", "the picture's width in pixels, 16 to 16384 (default 1000)"},
                {"background", "COLOUR", "black or white (default black)"},
                {"layers", "NAME,...", "draw only the entities on these layers"},
                {"progress", "", "show a progress bar while reading"},
                {"help", "", "show this help"},
            },
        },
    };
    return commands;
}

const CommandSpec &Command(std::string_view name) {
    for (const CommandSpec &command : Commands()) {
        if (command.name == name) return command;
    }
    std::abort();  // a command the table lacks is a fault of the tool itself
}

}  // namespace cli
