// SPDX-License-Identifier: MIT
// Terminal handling (see terminal.h).
#include "terminal.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "vexlith.h"

#if defined(_WIN32)
#include <io.h>
#define VEXLITH_ISATTY(fd) _isatty(fd)
#define VEXLITH_FILENO(stream) _fileno(stream)
#else
#include <sys/ioctl.h>
#include <unistd.h>
#define VEXLITH_ISATTY(fd) isatty(fd)
#define VEXLITH_FILENO(stream) fileno(stream)
#endif

namespace cli {
namespace {

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

void EscapingSink(void *, const char *text, std::size_t length) {
    std::string shown = EscapeControls({text, length}, true);
    std::fwrite(shown.data(), 1, shown.size(), stdout);
}

}  // namespace

bool IsTerminal(std::FILE *stream) {
    return VEXLITH_ISATTY(VEXLITH_FILENO(stream)) != 0;
}

std::string EscapeControls(std::string_view text, bool keepLines) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (!IsControl(byte) || (keepLines && (c == '\n' || c == '\t'))) {
            shown += c;
        } else {
            shown.append("\\x").append(1, kDigits[byte >> 4]).append(1, kDigits[byte & 15]);
        }
    }
    return shown;
}

std::string Shown(const char *text, const char *absent) {
    if (!text) return absent;
    static const bool terminal = IsTerminal(stdout);
    return terminal ? EscapeControls(text) : std::string(text);
}

void EscapeDumpOnTerminal() {
    if (IsTerminal(stdout)) qfio_SetPrintSink(EscapingSink, nullptr);
}

int TerminalColumns(std::FILE *stream) {
#if !defined(_WIN32)
    struct winsize size {};
    if (ioctl(VEXLITH_FILENO(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#else
    (void)stream;
#endif
    if (const char *columns = std::getenv("COLUMNS")) {
        int value = 0;
        const char *end = columns + std::strlen(columns);
        auto [stop, error] = std::from_chars(columns, end, value);
        if (error == std::errc() && stop == end && value > 0) return value;
    }
    return 80;
}

}  // namespace cli
