// SPDX-License-Identifier: MIT
// Command-line arguments: operands and --options, checked against what the
// command accepts, with a one-line hint for anything else.
#include <algorithm>
#include <cstdio>

#include "cli.h"

namespace cli {

int UsageError(std::string_view command, const std::string &message) {
    std::string help =
        command.empty() ? "vexlith --help" : "vexlith " + std::string(command) + " --help";
    std::fprintf(stderr, "vexlith: %s (see '%s')\n", message.c_str(), help.c_str());
    return kUsage;
}

void PrintOptions(const std::vector<OptionSpec> &specs) {
    std::vector<std::string> options;
    int width = 16;  // the column of the help texts, wider for a long option
    for (const OptionSpec &accepted : specs) {
        std::string option("--");
        option += accepted.name;
        if (!accepted.valueName.empty()) option.append(" ").append(accepted.valueName);
        width = std::max(width, static_cast<int>(option.size()));
        options.push_back(option);
    }
    for (std::size_t i = 0; i < specs.size(); ++i) {
        std::printf("  %-*s %s\n", width, options[i].c_str(), std::string(specs[i].help).c_str());
    }
}

void PrintCommandHelp(const CommandSpec &command, const std::string &note) {
    // The usage line keeps to 80 columns, breaking before an optional part and
    // going on under the first operand.
    constexpr std::size_t kColumns = 80;
    std::string usage = "usage: vexlith " + std::string(command.name);
    const std::size_t indent = usage.size() + 1;
    std::size_t lineStart = 0;
    std::string_view rest = command.synopsis;
    while (!rest.empty()) {
        std::size_t end = rest.find(" [", 1);
        std::string_view part = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (usage.size() - lineStart + 1 + part.size() > kColumns && usage.size() > indent) {
            usage += '\n';
            lineStart = usage.size();
            usage.append(indent - 1, ' ');
        }
        usage.append(" ").append(part);
    }
    std::printf("%s\n\n%s\n\n", usage.c_str(), command.description.c_str());
    if (!note.empty()) std::printf("%s\n\n", note.c_str());
    std::printf("Options:\n");
    PrintOptions(command.options);
}

std::optional<Arguments> Arguments::Parse(std::string_view command,
                                          const std::vector<std::string_view> &args,
                                          const std::vector<OptionSpec> &specs) {
    Arguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (!optionsEnded && arg == "-h") arg = "--help";  // the short form people try first
        if (optionsEnded || arg.size() < 2 || arg.substr(0, 2) != "--") {
            if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
                UsageError(command, "unknown option '" + std::string(arg) + "'");
                return std::nullopt;
            }
            parsed.operands_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view name = arg.substr(2);
        std::optional<std::string_view> inlineValue;
        if (auto equals = name.find('='); equals != std::string_view::npos) {
            inlineValue = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        const OptionSpec *accepted = nullptr;
        for (const OptionSpec &candidate : specs) {
            if (candidate.name == name) accepted = &candidate;
        }
        if (!accepted) {
            UsageError(command, "unknown option '--" + std::string(name) + "'");
            return std::nullopt;
        }
        if (accepted->valueName.empty()) {
            if (inlineValue) {
                UsageError(command, "option '--" + std::string(name) + "' takes no value");
                return std::nullopt;
            }
            parsed.options_.emplace_back(name, std::string_view{});
        } else if (inlineValue) {
            parsed.options_.emplace_back(name, *inlineValue);
        } else if (i + 1 < args.size()) {
            parsed.options_.emplace_back(name, args[++i]);
        } else {
            UsageError(command, "option '--" + std::string(name) + "' needs a value");
            return std::nullopt;
        }
    }
    return parsed;
}

bool Arguments::Has(std::string_view name) const {
    return Value(name).has_value();
}

std::optional<std::string_view> Arguments::Value(std::string_view name) const {
    std::optional<std::string_view> found;
    for (const auto &[option, value] : options_) {
        if (option == name) found = value;  // the last one given wins
    }
    return found;
}

std::optional<Arguments> ParseCommand(std::string_view name,
                                      const std::vector<std::string_view> &args, int *status,
                                      void (*printHelp)(const CommandSpec &)) {
    const CommandSpec &command = Command(name);
    auto parsed = Arguments::Parse(name, args, command.options);
    if (!parsed) {
        *status = kUsage;
        return std::nullopt;
    }
    if (parsed->Has("help")) {
        if (printHelp) {
            printHelp(command);
        } else {
            PrintCommandHelp(command);
        }
        *status = kSuccess;
        return std::nullopt;
    }
    return parsed;
}

}  // namespace cli
