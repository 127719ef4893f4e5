// SPDX-License-Identifier: MIT
// The vexlith tool: commands, their arguments and what they share.
#ifndef VEXLITH_TOOLS_CLI_H
#define VEXLITH_TOOLS_CLI_H

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "vexlith.h"

namespace cli {

// Exit statuses of the tool.
enum Exit : int {
    kSuccess = 0,
    kFailure = 1,  // a read or write failed; the report chain is on stderr
    kUsage = 2,    // the command line was wrong; a one-line hint is on stderr
};

// A command line split into operands and options, checked against the specs.
class Arguments {
public:
    // Parses `args` (without the program and command names). On a usage error
    // returns nullopt after printing the hint.
    static std::optional<Arguments> Parse(std::string_view command,
                                          const std::vector<std::string_view> &args,
                                          const std::vector<OptionSpec> &specs);
    bool Has(std::string_view name) const;
    std::optional<std::string_view> Value(std::string_view name) const;
    const std::vector<std::string_view> &Operands() const { return operands_; }

private:
    std::vector<std::string_view> operands_;
    std::vector<std::pair<std::string_view, std::string_view>> options_;
};

// Prints "vexlith: <message> (see 'vexlith <command> --help')" on stderr and
// returns kUsage.
int UsageError(std::string_view command, const std::string &message);

// Prints the options of a command's help, one a line: name, value and help.
void PrintOptions(const std::vector<OptionSpec> &specs);

// Prints a command's help from its entry in the table: the usage line, the
// description, `note` when given (what only the running tool knows), and the
// options.
void PrintCommandHelp(const CommandSpec &command, const std::string &note = "");

// Prints the report chain on stderr, one level a line, outermost first, and
// releases it. The file name `written`, where a message has it, is shown as
// `shown` (a temporary file as the target it stands for).
void PrintReportChain(qerr_Report *report, const std::string &written = {},
                      const std::string &shown = {});

// Parses the arguments of the command `name` against its entry in the table.
// Returns nullopt when the command is done already, with *status set: after a
// usage error (kUsage), or after printing its help for --help or -h
// (kSuccess), with printHelp where the command has its own.
std::optional<Arguments> ParseCommand(std::string_view name,
                                      const std::vector<std::string_view> &args, int *status,
                                      void (*printHelp)(const CommandSpec &) = nullptr);

int RunDump(const std::vector<std::string_view> &args);
int RunInfo(const std::vector<std::string_view> &args);
int RunConvert(const std::vector<std::string_view> &args);
int RunRender(const std::vector<std::string_view> &args);
int RunAudit(const std::vector<std::string_view> &args);

}  // namespace cli

#endif
