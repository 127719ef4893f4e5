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
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "cli.h"
#include "drawing_file.h"
#include "output.h"
#include "output_file.h"

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

// ".svg, .geojson or .png", from the formats the renderer writes.
std::string KnownExtensions() {
    std::string known;
    for (const render::Format &format : render::Formats())
        known.append(format.extension).append(", ");
    return known + "or .png";
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

// Writes `drawing` in `format` into `file`, which is then closed, and
// committed unless `commit` is false; false, after saying why, when that
// failed.
bool WriteOutput(OutputFile &file, const render::Format &format, const Qdxf_Info &drawing,
                 const render::OutputOptions &options, render::Outcome *outcome, bool commit) {
    if (!file.Create()) return false;
    std::FILE *stream = file.Stream();
    *outcome = format.write(drawing, options, [stream](std::string_view text) {
        return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    });
    if (!outcome->written) {
        file.Close();
        return false;
    }
    return commit ? file.Commit() : file.Close();
}

#if defined(_WIN32)

std::string FindRasteriser() {
    return {};
}

bool WritePng(const std::string &, OutputFile &, const Qdxf_Info &, const render::OutputOptions &,
              render::Outcome *) {
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

// Runs the rasteriser on `svg`, writing `png`, which the user knows as
// `shown`; true when it succeeded.
bool Rasterise(const std::string &rasteriser, const std::string &svg, const std::string &png,
               const std::string &shown) {
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
    std::fprintf(stderr, "vexlith: %s could not make %s\n", kRasteriser, shown.c_str());
    return false;
}

// The picture as PNG: SVG in a temporary file beside the target, handed to
// the rasteriser, which writes the target's temporary file.
bool WritePng(const std::string &rasteriser, OutputFile &png, const Qdxf_Info &drawing,
              const render::OutputOptions &options, render::Outcome *outcome) {
    OutputFile svg(png.Target() + ".svg", png.Target());
    if (!WriteOutput(svg, *render::FormatFor(".svg"), drawing, options, outcome, false))
        return false;
    if (!png.Create() || !png.Close()) return false;
    return Rasterise(rasteriser, svg.Path(), png.Path(), png.Target()) && png.Commit();
}

#endif

// The options of the command line in `options`; a usage error's status, or
// nullopt.
std::optional<int> TakeOptions(const Arguments &parsed, render::OutputOptions *options) {
    options->width = kDefaultWidth;
    if (auto width = parsed.Value("width")) {
        int value = 0;
        auto [end, error] = std::from_chars(width->data(), width->data() + width->size(), value);
        if (error != std::errc() || end != width->data() + width->size() || value < kMinWidth ||
            value > kMaxWidth) {
            return UsageError("render", "--width takes a number of pixels from 16 to 16384");
        }
        options->width = value;
    }
    if (auto background = parsed.Value("background")) {
        if (*background != "black" && *background != "white") {
            return UsageError("render", "--background takes black or white");
        }
        options->blackBackground = *background == "black";
    }
    if (auto tolerance = parsed.Value("chord-tolerance")) {
        double value = 0.0;
        const char *end = tolerance->data() + tolerance->size();
        auto [stop, error] = std::from_chars(tolerance->data(), end, value);
        if (error != std::errc() || stop != end || !(value > 0.0) || !std::isfinite(value)) {
            return UsageError("render",
                              "--chord-tolerance takes a length in drawing units above 0");
        }
        options->chordTolerance = value;
    }
    options->scene.allLayers = parsed.Has("all-layers");
    if (auto layers = parsed.Value("layers")) {
        options->scene.layers = SplitNames(*layers);
        if (options->scene.layers.empty()) {
            return UsageError("render", "--layers takes layer names separated by commas");
        }
    }
    return std::nullopt;
}

void PrintWarnings(const render::Outcome &outcome, const IgnoredKinds &ignored) {
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
}

}  // namespace

int RunRender(const std::vector<std::string_view> &args) {
    int status = kSuccess;
    auto parsed = ParseCommand("render", args, &status, PrintRenderHelp);
    if (!parsed) return status;
    if (parsed->Operands().size() != 2) return UsageError("render", "render takes IN and OUT");
    std::string input(parsed->Operands()[0]);
    std::string output(parsed->Operands()[1]);
    bool png = render::EndsWithIgnoringCase(output, ".png");
    const render::Format *format = render::FormatFor(output);
    if (!png && !format) return UsageError("render", "OUT must end in " + KnownExtensions());
    render::OutputOptions options;
    if (auto usage = TakeOptions(*parsed, &options)) return *usage;
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

    IgnoredKinds ignored;
    Qdxf_Info *drawing =
        ReadDrawing(input, parsed->Has("progress"), &ignored,
                    CommandReadOptions(parsed->Has("strict"), parsed->Has("recover")));
    if (!drawing) return kFailure;
    render::Outcome outcome;
    OutputFile file(output);
    bool made = png ? WritePng(rasteriser, file, *drawing, options, &outcome)
                    : WriteOutput(file, *format, *drawing, options, &outcome, true);
    qdxf_InfoFree(drawing);
    if (!made) return kFailure;
    PrintWarnings(outcome, ignored);
    if (outcome.width > 0) {
        std::printf("%s: %d x %d pixels, %zu elements\n", output.c_str(), outcome.width,
                    outcome.height, outcome.elements);
    } else {
        std::printf("%s: %zu features\n", output.c_str(), outcome.elements);
    }
    return kSuccess;
}

}  // namespace cli
