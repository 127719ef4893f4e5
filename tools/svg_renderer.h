// SPDX-License-Identifier: MIT
// A drawing as an SVG picture: its primitives (render_scene.h) mapped into a
// picture of a given width, y pointing up, colours from the drawing's colour
// table.
#ifndef VEXLITH_TOOLS_SVG_RENDERER_H
#define VEXLITH_TOOLS_SVG_RENDERER_H

#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "render_scene.h"

namespace render {

// An axis-aligned box in drawing units; empty until a point is added.
struct Box {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();

    bool Empty() const { return !(minX <= maxX && minY <= maxY); }
    double Width() const { return maxX - minX; }
    double Height() const { return maxY - minY; }
    void Add(Point p);
};

// The box around every primitive it receives. Arcs are followed closely;
// texts are estimated from their height and number of characters.
class ExtentsSink : public Sink {
public:
    void AddPath(const Path &path) override;
    void AddEllipse(const Ellipse &ellipse) override;
    void AddDot(const Dot &dot) override;
    void AddLabel(const Label &label) override;
    const Box &box() const { return box_; }

private:
    Box box_;
};

// The part of the drawing the picture shows, margin included: the header's
// $EXTMIN and $EXTMAX when both are there and fit the drawing (they hold the
// drawn extents, with some slack, and are not far larger), otherwise the
// extents computed from the primitives. A drawing with nothing to draw shows
// the unit square; the view is never more than four times as tall as wide.
Box ViewOf(const Qdxf_Info &drawing, const Box &computed);

struct SvgOptions {
    int width = 1000;             // pixels; the height follows the view's proportions
    bool blackBackground = true;  // else white
    SceneOptions scene;
};

struct SvgOutcome {
    SceneStats stats;
    int width = 0;
    int height = 0;
    Box view;
    bool written = false;  // false when `write` failed
};

// Receives the SVG text piece by piece; returns false when it could not
// write it, which ends the output.
using SvgWriter = std::function<bool(std::string_view)>;

// Writes `drawing` as one SVG document through `write`.
SvgOutcome WriteSvg(const Qdxf_Info &drawing, const SvgOptions &options, const SvgWriter &write);

}  // namespace render

#endif
