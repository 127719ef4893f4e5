// SPDX-License-Identifier: MIT
// vexlith: reads, inspects and writes DXF drawings from the shell.
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "output_file.h"

namespace {

// What runs each command of the table in commands.cpp.
struct Runner {
    std::string_view name;
    int (*run)(const std::vector<std::string_view> &args);
};

const Runner kRunners[] = {
    {"info", cli::RunInfo},     {"dump", cli::RunDump},   {"convert", cli::RunConvert},
    {"render", cli::RunRender}, {"audit", cli::RunAudit},
};

void PrintHelp() {
    std::printf("usage: vexlith COMMAND [ARGS]\n\nCommands:\n");
    for (const cli::CommandSpec &command : cli::Commands()) {
        std::printf("  %-10s %s\n", std::string(command.name).c_str(),
                    std::string(command.summary).c_str());
    }
    std::printf("\nOptions:\n");
    cli::PrintOptions(cli::ToolOptions());
    std::printf("\n%s\n", std::string(cli::kExitStatus).c_str());
}

int Run(const std::vector<std::string_view> &args) {
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
    for (const Runner &runner : kRunners) {
        if (runner.name == first) return runner.run({args.begin() + 1, args.end()});
    }
    if (first.size() > 1 && first[0] == '-') {
        return cli::UsageError("", "unknown option '" + std::string(first) + "'");
    }
    return cli::UsageError("", "unknown command '" + std::string(first) + "'");
}

}  // namespace

int main(int argc, char **argv) {
    // Whatever a command printed must have reached standard output, or the
    // command failed.
    return cli::FinishStandardOutput(Run({argv + 1, argv + argc}));
}
