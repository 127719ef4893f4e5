// SPDX-License-Identifier: MIT
// vexlith_manual: writes the vexlith(1) manual page or the bash completion
// script from the tool's command table, at build time.
//   vexlith_manual man OUT    roff for man(1)
//   vexlith_manual bash OUT   a script for bash-completion
#include <cstdio>
#include <string>

#include "commands.h"
#include "vexlith_version.h"

namespace {

using cli::CommandSpec;
using cli::OptionSpec;

// Text as roff shows it literally: backslashes and hyphens escaped (so that
// "--name" can be copied from the page), and a line that would start with a
// control character guarded.
std::string Roff(std::string_view text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
        lineStart = c == '\n';
    }
    return out;
}

// The documents the help names by their place in the source tree, as they
// are installed (VEXLITH_DOC_DIR, the installation's share/doc/vexlith).
std::string Installed(std::string_view original) {
    std::string text(original);
    static constexpr std::string_view kSource = "docs/";
    for (std::size_t at; (at = text.find(kSource)) != std::string::npos;)
        text.replace(at, kSource.size(), VEXLITH_DOC_DIR "/");
    return text;
}

void ManOption(std::string &page, const OptionSpec &option) {
    page.append(".TP\n\\fB\\-\\-").append(Roff(option.name)).append("\\fR");
    if (!option.valueName.empty())
        page.append(" \\fI").append(Roff(option.valueName)).append("\\fR");
    page.append("\n").append(Roff(Installed(option.help))).append("\n");
}

// Paragraphs separated by a blank line become roff paragraphs.
void ManParagraphs(std::string &page, std::string_view text) {
    while (!text.empty()) {
        std::size_t end = text.find("\n\n");
        page += ".PP\n" + Roff(text.substr(0, end)) + "\n";
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 2);
    }
}

std::string ManualPage() {
    std::string page = ".TH VEXLITH 1 \"\" \"vexlith " VEXLITH_VERSION "\" \"User Commands\"\n";
    page += ".SH NAME\nvexlith \\- " + Roff(cli::kToolSummary) + "\n";
    page += ".SH SYNOPSIS\n";
    for (const CommandSpec &command : cli::Commands()) {
        page += ".B vexlith " + Roff(command.name) + "\n" + Roff(command.synopsis) + "\n.br\n";
    }
    page += ".B vexlith \\-\\-help\n.br\n.B vexlith \\-\\-version\n";
    page +=
        ".SH DESCRIPTION\n"
        ".B vexlith\n"
        "reads DXF drawings, ASCII or binary, through the vexlith library and\n"
        "summarises, prints, converts or draws them. Every command that reads shows a\n"
        "progress bar on standard error when that is a terminal. A failed read or\n"
        "write prints the chain of reports, one level a line, outermost first. A\n"
        "damaged drawing is read with \\-\\-recover, which lists each repair;\n"
        ".B vexlith audit\n"
        "lists the repairs files need.\n";
    page += ".SH COMMANDS\n";
    for (const CommandSpec &command : cli::Commands()) {
        page += ".SS \"vexlith " + Roff(command.name) + " " + Roff(command.synopsis) + "\"\n";
        ManParagraphs(page, command.description);
        page += ".PP\nOptions:\n.RS\n";
        for (const OptionSpec &option : command.options)
            ManOption(page, option);
        page += ".RE\n";
    }
    page += ".SH OPTIONS\n";
    for (const OptionSpec &option : cli::ToolOptions())
        ManOption(page, option);
    page += ".SH \"EXIT STATUS\"\n";
    ManParagraphs(page, cli::kExitStatus);
    page += ".SH FILES\n.TP\n.I " + Roff(Installed("docs/json.md")) +
            "\nthe JSON that info \\-\\-json, dump \\-\\-json and audit \\-\\-json print, member "
            "by member\n";
    return page;
}

std::string Words(const std::vector<OptionSpec> &options, bool valuesOnly) {
    std::string words;
    for (const OptionSpec &option : options) {
        if (valuesOnly && option.valueName.empty()) continue;
        if (!words.empty()) words += ' ';
        words.append("--").append(option.name);
    }
    return words;
}

// The completion offers the commands first, then a command's options; files
// elsewhere, and nothing for an option's value.
std::string BashCompletion() {
    std::string commands;
    for (const CommandSpec &command : cli::Commands())
        commands += std::string(command.name) + " ";
    std::string script =
        "# bash completion for vexlith " VEXLITH_VERSION
        ", generated from the tool's command table\n"
        "_vexlith() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    COMPREPLY=()\n"
        "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
        "        COMPREPLY=($(compgen -W \"" +
        commands + Words(cli::ToolOptions(), false) +
        "\" -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    local options valued\n"
        "    case ${COMP_WORDS[1]} in\n";
    for (const CommandSpec &command : cli::Commands()) {
        script += "        " + std::string(command.name) + ") options=\"" +
                  Words(command.options, false) + "\" valued=\"" + Words(command.options, true) +
                  "\" ;;\n";
    }
    script +=
        "        *) return ;;\n"
        "    esac\n"
        "    if [[ -n $valued && \" $valued \" == *\" $prev \"* ]]; then\n"
        "        compopt +o default 2> /dev/null\n"
        "        return\n"
        "    fi\n"
        "    if [[ $cur == -* ]]; then\n"
        "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
        "    fi\n"
        "}\n"
        "complete -o default -F _vexlith vexlith\n";
    return script;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vexlith_manual man|bash OUT\n");
        return 2;
    }
    std::string kind = argv[1];
    if (kind != "man" && kind != "bash") {
        std::fprintf(stderr, "vexlith_manual: unknown kind '%s'\n", argv[1]);
        return 2;
    }
    std::string text = kind == "man" ? ManualPage() : BashCompletion();
    std::FILE *out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
