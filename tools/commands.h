// SPDX-License-Identifier: MIT
// The vexlith tool's commands and options as data: --help prints them, and the
// manual page and the bash completion are generated from them at build time,
// so the three never differ. Nothing here needs the library.
#ifndef VEXLITH_TOOLS_COMMANDS_H
#define VEXLITH_TOOLS_COMMANDS_H

#include <string>
#include <string_view>
#include <vector>

namespace cli {

// An option a command accepts: --name, with a value when `valueName` is set.
struct OptionSpec {
    std::string_view name;
    std::string_view valueName;  // empty for a flag
    std::string_view help;
};

struct CommandSpec {
    std::string_view name;
    std::string_view synopsis;  // what follows "vexlith NAME" on the usage line
    std::string_view summary;   // one line, for the list of commands
    std::string description;    // paragraphs of lines, separated by blank lines
    std::vector<OptionSpec> options;
};

// Every command, in the order the help lists them.
const std::vector<CommandSpec> &Commands();
// The command called `name`; it must be in the table.
const CommandSpec &Command(std::string_view name);

// What the tool itself accepts before a command.
const std::vector<OptionSpec> &ToolOptions();
extern const std::string_view kToolSummary;  // what the tool is for, one line
extern const std::string_view kExitStatus;   // the exit statuses, as the help words them

}  // namespace cli

#endif
