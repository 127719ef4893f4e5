// SPDX-License-Identifier: MIT
// What the tool does differently when a person watches: names and texts from
// a file shown with their control characters escaped, and the width of the
// terminal for the progress bar.
#ifndef VEXLITH_TOOLS_TERMINAL_H
#define VEXLITH_TOOLS_TERMINAL_H

#include <cstdio>
#include <string>
#include <string_view>

namespace cli {

bool IsTerminal(std::FILE *stream);

// `text` with every control character written as \xNN, `keepLines` sparing
// newlines and tabs.
std::string EscapeControls(std::string_view text, bool keepLines = false);

// A name or text from a file as standard output shows it: escaped when it is
// a terminal, so that an escape sequence in a drawing cannot drive it, and
// byte for byte otherwise. Null shows as `absent`.
std::string Shown(const char *text, const char *absent = "(none)");

// Routes the library's dump text through EscapeControls (lines kept) when
// standard output is a terminal.
void EscapeDumpOnTerminal();

// The columns of the terminal `stream` is on: its window size, else the
// COLUMNS variable, else 80.
int TerminalColumns(std::FILE *stream);

}  // namespace cli

#endif
