// vexlith: reads, inspects and writes DXF drawings from the shell.
#include <cstdio>
#include <cstring>

#include "cli.h"

namespace {

struct Command {
    std::string_view name;
    std::string_view summary;
    int (*run)(const std::vector<std::string_view> &args);
};

const Command kCommands[] = {
    {"info", "summarise a drawing: form, version, header, blocks, entities, layers", cli::RunInfo},
    {"dump", "print a drawing's header, tables, blocks and entities", cli::RunDump},
    {"convert", "write a drawing again, in ASCII or binary form", cli::RunConvert},
    {"render", "draw a drawing as an SVG or PNG picture", cli::RunRender},
};

void PrintHelp() {
    std::printf("usage: vexlith COMMAND [ARGS]\n\nCommands:\n");
    for (const Command &command : kCommands) {
        std::printf("  %-10s %s\n", std::string(command.name).c_str(),
                    std::string(command.summary).c_str());
    }
    std::printf(
        "\nOptions:\n"
        "  --help     show this help, or a command's help after the command\n"
        "  --version  show the version\n"
        "\nExit status: 0 success, 1 a read or write failed (the report chain is\n"
        "printed on stderr, outermost first), 2 a usage error.\n");
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) return cli::UsageError("", "no command given");
    std::string_view first = args.front();
    if (first == "--help" || first == "-h" || first == "help") {
        PrintHelp();
        return cli::kSuccess;
    }
    if (first == "--version") {
        std::printf("vexlith %s\n", VEXLITH_VERSION);
        return cli::kSuccess;
    }
    for (const Command &command : kCommands) {
        if (command.name == first) return command.run({args.begin() + 1, args.end()});
    }
    if (first.size() > 1 && first[0] == '-') {
        return cli::UsageError("", "unknown option '" + std::string(first) + "'");
    }
    return cli::UsageError("", "unknown command '" + std::string(first) + "'");
}
