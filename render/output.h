// SPDX-License-Identifier: MIT
// The outputs of the renderer: each writes one file format from the scene
// walk (scene.h), through a writer that takes the text piece by piece. A new
// format is one file defining its Write function and a row of kFormats.
#ifndef VEXLITH_RENDER_OUTPUT_H
#define VEXLITH_RENDER_OUTPUT_H

#include <array>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "view.h"

namespace render {

// On a white background no colour is lighter than this (relative luminance,
// 0 black to 1 white): yellow and the pale greys are darkened to it.
constexpr double kMaxLuminanceOnWhite = 0.6;

struct OutputOptions {
    int width = 1000;             // pixels of a picture; the height follows the view
    bool blackBackground = true;  // else white
    // The greatest distance between an arc and the chords that stand for it,
    // in drawing units, where an output has no arcs; 0 takes a thousandth of
    // the view's larger side.
    double chordTolerance = 0.0;
    SceneOptions scene;
};

struct Outcome {
    SceneStats stats;
    std::size_t elements = 0;  // the elements written, which the scene may exceed
    int width = 0;             // of a picture, in pixels
    int height = 0;
    Box view;
    bool written = false;  // false when the writer failed
};

// Receives the output piece by piece; returns false when it could not write
// it, which ends the output.
using Writer = std::function<bool(std::string_view)>;

Outcome WriteSvg(const Qdxf_Info &drawing, const OutputOptions &options, const Writer &write);
Outcome WriteGeoJson(const Qdxf_Info &drawing, const OutputOptions &options, const Writer &write);

struct Format {
    std::string_view extension;  // lower case, with the dot
    std::string_view description;
    Outcome (*write)(const Qdxf_Info &, const OutputOptions &, const Writer &);
};

// The colours 1 to 255 of the drawing's colour table (the standard one where
// it has none) as "#rrggbb"; [0] is unused. With darkenLight, a colour lighter
// than kMaxLuminanceOnWhite keeps its hue at that lightness, as plot styles
// darken colours for white paper.
std::array<std::string, 256> HexColors(const Qdxf_Info &drawing, bool darkenLight);

// Every format, and the one a file name's extension asks for (case ignored),
// or null.
std::span<const Format> Formats();
// Whether text ends with suffix, which is lower case, ignoring the case of text.
bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix);
const Format *FormatFor(std::string_view fileName);

}  // namespace render

#endif
