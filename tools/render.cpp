// SPDX-License-Identifier: MIT
// vexlith render IN OUT.svg|OUT.png: draws a drawing as a picture. SVG is
// written directly; PNG through rsvg-convert, when it is installed.
#if !defined(_WIN32)
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#endif

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli.h"
#include "drawing_file.h"
#include "output.h"

namespace cli {
namespace {

constexpr int kMinWidth = 16;
constexpr int kMaxWidth = 16384;
constexpr int kDefaultWidth = 1000;
constexpr const char *kRasteriser = "rsvg-convert";

// The rasteriser's path on PATH, or empty when it is not there.
std::string FindRasteriser();

// The help, with whether PNG can be made here.
void PrintRenderHelp(const CommandSpec &command) {
    std::string rasteriser = FindRasteriser();
    std::string note = "PNG is made with " + rasteriser + ".";
    if (rasteriser.empty()) {
        note =
            "PNG needs rsvg-convert (Debian package librsvg2-bin), which is not\n"
            "installed: only SVG can be written here.";
    }
    PrintCommandHelp(command, note);
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

std::vector<std::string> SplitNames(std::string_view list) {
    std::vector<std::string> names;
    while (true) {
        std::size_t comma = list.find(',');
        std::string_view name = list.substr(0, comma);
        if (!name.empty()) names.emplace_back(name);
        if (comma == std::string_view::npos) return names;
        list.remove_prefix(comma + 1);
    }
}

// Writes the picture of `drawing` as SVG into `file`, named `name`, and
// closes it; false, after saying why, when that failed.
bool WriteSvgFile(const std::string &name, FILE *file, const Qdxf_Info &drawing,
                  const render::OutputOptions &options, render::Outcome *outcome) {
    errno = 0;
    *outcome = render::WriteSvg(drawing, options, [file](std::string_view text) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
    });
    bool written = outcome->written && std::fflush(file) == 0 && !std::ferror(file);
    int error = errno;
    written = std::fclose(file) == 0 && written;
    if (!error) error = errno;
    if (!written) {
        std::fprintf(stderr, "vexlith: cannot write %s: %s\n", name.c_str(),
                     std::strerror(error ? error : EIO));
    }
    return written;
}

#if defined(_WIN32)

std::string FindRasteriser() {
    return {};
}

bool WritePng(const std::string &, const std::string &, const Qdxf_Info &,
              const render::OutputOptions &, render::Outcome *) {
    return false;
}

#else

// The rasteriser's path on PATH, or empty when it is not there.
std::string FindRasteriser() {
    const char *path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/bin:/bin";
    while (true) {
        std::size_t colon = folders.find(':');
        std::string_view folder = folders.substr(0, colon);
        std::string candidate(folder.empty() ? std::string_view(".") : folder);
        candidate.append("/").append(kRasteriser);
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) return {};
        folders.remove_prefix(colon + 1);
    }
}

// Runs the rasteriser on `svg`, writing `png`; true when it succeeded.
bool Rasterise(const std::string &rasteriser, const std::string &svg, const std::string &png) {
    std::string program = kRasteriser;
    std::string unlimited = "--unlimited";
    std::string format = "--format=png";
    std::string output = "--output=" + png;
    std::string input = svg;
    char *argv[] = {program.data(), unlimited.data(), format.data(),
                    output.data(),  input.data(),     nullptr};
    pid_t child;
    int failed = posix_spawn(&child, rasteriser.c_str(), nullptr, nullptr, argv, environ);
    if (failed) {
        std::fprintf(stderr, "vexlith: cannot run %s: %s\n", rasteriser.c_str(),
                     std::strerror(failed));
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    std::fprintf(stderr, "vexlith: %s could not make %s\n", kRasteriser, png.c_str());
    return false;
}

// The picture as PNG: SVG in a temporary file, handed to the rasteriser.
bool WritePng(const std::string &rasteriser, const std::string &png, const Qdxf_Info &drawing,
              const render::OutputOptions &options, render::Outcome *outcome) {
    const char *folder = std::getenv("TMPDIR");
    std::string svg = std::string(folder && *folder ? folder : "/tmp") + "/vexlith-render-XXXXXX";
    int temporary = mkstemp(svg.data());
    if (temporary < 0) {
        std::fprintf(stderr, "vexlith: cannot make a temporary file: %s\n", std::strerror(errno));
        return false;
    }
    FILE *file = fdopen(temporary, "wb");
    if (!file) {
        std::fprintf(stderr, "vexlith: cannot write %s: %s\n", svg.c_str(), std::strerror(errno));
        close(temporary);
        unlink(svg.c_str());
        return false;
    }
    bool made =
        WriteSvgFile(svg, file, drawing, options, outcome) && Rasterise(rasteriser, svg, png);
    unlink(svg.c_str());
    return made;
}

#endif

}  // namespace

int RunRender(const std::vector<std::string_view> &args) {
    const CommandSpec &command = Command("render");
    auto parsed = Arguments::Parse("render", args, command.options);
    if (!parsed) return kUsage;
    if (parsed->Has("help")) {
        PrintRenderHelp(command);
        return kSuccess;
    }
    if (parsed->Operands().size() != 2) return UsageError("render", "render takes IN and OUT");
    std::string input(parsed->Operands()[0]);
    std::string output(parsed->Operands()[1]);
    bool png = EndsWith(output, ".png");
    if (!png && !EndsWith(output, ".svg")) {
        return UsageError("render", "OUT must end in .svg or .png");
    }

    render::OutputOptions options;
    options.width = kDefaultWidth;
    if (auto width = parsed->Value("width")) {
        int value = 0;
        auto [end, error] = std::from_chars(width->data(), width->data() + width->size(), value);
        if (error != std::errc() || end != width->data() + width->size() || value < kMinWidth ||
            value > kMaxWidth) {
            return UsageError("render", "--width takes a number of pixels from 16 to 16384");
        }
        options.width = value;
    }
    if (auto background = parsed->Value("background")) {
        if (*background != "black" && *background != "white") {
            return UsageError("render", "--background takes black or white");
        }
        options.blackBackground = *background == "black";
    }
    if (auto layers = parsed->Value("layers")) {
        options.scene.layers = SplitNames(*layers);
        if (options.scene.layers.empty()) {
            return UsageError("render", "--layers takes layer names separated by commas");
        }
    }
    std::string rasteriser;
    if (png) {
        rasteriser = FindRasteriser();
        if (rasteriser.empty()) {
            std::fprintf(stderr,
                         "vexlith: PNG needs rsvg-convert (Debian package librsvg2-bin), which is "
                         "not installed; write SVG instead\n");
            return kFailure;
        }
    }

    qerr_Report *report = nullptr;
    IgnoredKinds ignored;
    Qdxf_Info *drawing = ReadDrawing(input, parsed->Has("progress"), &report, &ignored);
    if (!drawing) {
        PrintReportChain(report);
        return kFailure;
    }

    render::Outcome outcome;
    bool made = false;
    if (png) {
        made = WritePng(rasteriser, output, *drawing, options, &outcome);
    } else if (FILE *file = std::fopen(output.c_str(), "wb")) {
        made = WriteSvgFile(output, file, *drawing, options, &outcome);
    } else {
        std::fprintf(stderr, "vexlith: cannot write %s: %s\n", output.c_str(),
                     std::strerror(errno));
    }
    qdxf_InfoFree(drawing);
    if (!made) return kFailure;

    for (const std::string &warning : outcome.stats.warnings)
        std::fprintf(stderr, "vexlith: warning: %s\n", warning.c_str());
    std::string kinds;
    for (const std::string &kind : ignored) {
        if (kind == "SEQEND") continue;  // it ends attributes: nothing of its own is drawn
        if (!kinds.empty()) kinds += ", ";
        kinds += kind;
    }
    if (!kinds.empty()) {
        std::fprintf(stderr,
                     "vexlith: warning: kinds the library does not read are not drawn: %s\n",
                     kinds.c_str());
    }
    std::printf("%s: %d x %d pixels, %zu elements\n", output.c_str(), outcome.width, outcome.height,
                outcome.stats.primitives);
    return kSuccess;
}

}  // namespace cli
