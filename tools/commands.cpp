// SPDX-License-Identifier: MIT
// The table of the tool's commands and options (see commands.h).
#include "commands.h"

#include <cmath>
#include <cstdlib>

#include "output.h"

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

// Every reading command reads with the library's translations; this takes
// them away.
constexpr OptionSpec kStrict = {
    "strict", "", "read as qdxf_Read does: no translations, kinds outside the ten invalid"};

// A damaged file is read for what it holds, each repair told on stderr.
constexpr OptionSpec kRecover = {
    "recover", "", "read a damaged file: what it holds, each repair on stderr, a line each"};

const std::vector<CommandSpec> &Commands() {
    static const std::vector<CommandSpec> commands = {
        {
            "info",
            "FILE... [--json] [--strict] [--recover] [--progress]",
            "summarise a drawing: form, version, header, blocks, entities, layers",
            "Reads each FILE and prints its form (ASCII or binary), its DXF version, the\n"
            "header variables read, the drawing's extents, its blocks, its entities per\n"
            "kind and its layers with the entities on each. Entities of kinds outside\n"
            "the ten are read as records of the ten where the library translates them\n"
            "(LWPOLYLINE, ELLIPSE, SPLINE, MTEXT, DIMENSION, ACAD_TABLE, ATTRIB, LEADER,\n"
            "HATCH, MULTILEADER, MLINE, MESH, TOLERANCE, WIPEOUT, IMAGE, RAY, XLINE and\n"
            "polyface meshes): those kinds are named as translated. Entities of\n"
            "other kinds are counted as invalid; their kinds are named as not read. A\n"
            "file that cannot be read is reported on stderr and the others are still\n"
            "summarised; the status is then 1. On a terminal, control characters in\n"
            "names and texts are shown escaped (\\x1b).\n"
            "\n"
            "A FILE of - is standard input.",
            {
                {"json", "", "print each summary as one JSON object on a line (docs/json.md)"},
                kStrict,
                kRecover,
                {"progress", "", "show a progress bar on stderr even when it is not a terminal"},
                {"help", "", "show this help (also -h)"},
            },
        },
        {
            "dump",
            "FILE [--quick | --json] [--only PART] [--strict] [--recover] [--progress]",
            "print a drawing's header, tables, blocks and entities",
            "Reads FILE and prints what was read: the header variables, the line types,\n"
            "layers and text styles, each block with its entities, and each entity. On\n"
            "a terminal, control characters in names and texts are shown escaped.\n"
            "\n"
            "A FILE of - is standard input.",
            {
                {"json", "",
                 "print the drawing as one JSON document, every member of every record"},
                {"quick", "", "print each entity in the short form: its geometry alone"},
                {"only", "PART", "print one part: header, tables, blocks or entities"},
                kStrict,
                kRecover,
                {"progress", "", "show a progress bar on stderr even when it is not a terminal"},
                {"help", "", "show this help (also -h)"},
            },
        },
        {
            "convert",
            "IN OUT [--binary | --ascii] [--r12 | --strict] [--recover] [--force] [--quiet]",
            "write a drawing again, as a complete DXF R12 file in ASCII or binary form",
            "Reads the drawing IN and writes it to OUT, in the binary form with --binary,\n"
            "in the ASCII form with --ascii, otherwise in the form of IN: a complete DXF\n"
            "R12 file that reads back as the same drawing (header, tables, blocks, every\n"
            "member of every entity; texts outside ASCII as \\U+XXXX). Entities of kinds\n"
            "the library does not read are left out; a line on stderr names them. --r12\n"
            "makes the names of layers, line types, styles and blocks legal for R12\n"
            "programs (laser cutters, CAM). --strict reads and writes as qdxf_Read and\n"
            "qdxf_Write do and names what OUT lacks. OUT may be IN only with --force.\n"
            "\n"
            "An IN of - is standard input.",
            {
                {"binary", "", "write the binary form"},
                {"ascii", "", "write the ASCII form"},
                {"r12", "", "names R12 programs accept: A-Z, 0-9, $, _, -, 31 at most"},
                {"strict", "", "read with qdxf_Read and write with qdxf_Write"},
                kRecover,
                {"force", "", "write over IN"},
                {"quiet", "", "say nothing of what the written file lacks or cuts short"},
                {"progress", "",
                 "show a progress bar while reading, even when stderr is no terminal"},
                {"help", "", "show this help (also -h)"},
            },
        },
        {
            "render",
            "IN OUT.svg|OUT.png|OUT.geojson [--width PX] [--background black|white]"
            " [--layers NAME,...] [--all-layers] [--chord-tolerance UNITS] [--strict] [--recover]",
            "draw a drawing as an SVG or PNG picture, or write it as GeoJSON",
            "Draws the entities of the drawing IN, with the blocks their inserts place,\n"
            "as a picture of OUT's kind, SVG or PNG, or writes them as GeoJSON: a\n"
            "feature per element drawn, in the drawing's own units, arcs as chords. The\n"
            "view is the extents of what is drawn, with a margin (not the header's\n"
            "$EXTMIN and $EXTMAX, which producers leave stale); y points up. Paper space\n"
            "is not drawn when model space has entities. What CAD programs do not plot\n"
            "is not drawn and does not count for the view: the layer Defpoints, layers\n"
            "that are off or frozen, and whatever an insert on a frozen layer places\n"
            "(a block's entities on layer 0 take the layer of their insert). GeoJSON\n"
            "keeps them, with the property \"plotted\": false; --all-layers draws them\n"
            "as the rest. The kinds the library translates are drawn as the records they\n"
            "become; with --strict they are not, and polyface meshes show their\n"
            "vertices alone. A drawing that expands to more than " +
                std::to_string(render::SceneOptions{}.maxPrimitives) +
                " elements is cut\n"
                "off there with a warning.\n"
                "\n"
                "Colours come from the colour table: an entity's own, its layer's (BYLAYER)\n"
                "or its insert's (BYBLOCK). Colour 7 is drawn white on black and black on\n"
                "white. On white, colours too light to see there (yellow, the pale greys:\n"
                "a luminance above " +
                std::to_string(std::lround(render::kMaxLuminanceOnWhite * 100)) +
                "%) are darkened to that luminance, keeping their\n"
                "hue, as plot styles do.\n"
                "\n"
                "Lines, arcs, circles and polylines of a line type with dashes are drawn\n"
                "with its pattern, scaled by $LTSCALE and by the inserts that place them;\n"
                "solid where the pattern is too fine to see.\n"
                "\n"
                "An IN of - is standard input.",
            {
                {"width", "PX", "the picture's width in pixels, 16 to 16384 (default 1000)"},
                {"background", "COLOUR", "black or white (default black)"},
                {"layers", "NAME,...", "draw only the entities on these layers"},
                {"all-layers", "",
                 "draw what CAD programs do not plot too: Defpoints, layers off or frozen"},
                {"chord-tolerance", "UNITS",
                 "GeoJSON: how far a chord may stray from its arc, in drawing units "
                 "(default a thousandth of the drawing's size)"},
                kStrict,
                kRecover,
                {"progress", "", "show a progress bar while reading"},
                {"help", "", "show this help (also -h)"},
            },
        },
        {
            "audit",
            "FILE... [--json] [--progress]",
            "list the repairs a damaged drawing needs",
            "Reads each FILE as --recover does and lists on standard output the repairs\n"
            "the read makes, a line each: where (the line and byte of the group, or the\n"
            "byte in a binary file), what was done and, where one repair was made at\n"
            "several places, how many. A sound file needs none. The status is 1 when a\n"
            "file needs repairs or cannot be read at all (its report chain is on\n"
            "stderr), 0 when every file is sound.\n"
            "\n"
            "A FILE of - is standard input.",
            {
                {"json", "",
                 "print each file's repairs as one JSON object on a line (docs/json.md)"},
                {"progress", "", "show a progress bar on stderr even when it is not a terminal"},
                {"help", "", "show this help (also -h)"},
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
