// SPDX-License-Identifier: MIT
// The renderer's scene as flat arrays for a browser to draw: paths as runs of
// points, arcs kept as arcs (a canvas flattens them at the zoom it draws),
// dots and lines of text, each piece with its colour, its layer and the index
// of the entity of the ENTITIES section it is drawn for. Coordinates are
// float32 relative to an origin in the drawing, so that a drawing far from 0
// (UTM, state plane) keeps its detail.
#ifndef VEXLITH_WEB_FLAT_SCENE_H
#define VEXLITH_WEB_FLAT_SCENE_H

#include <cstdint>
#include <string>
#include <vector>

#include "view.h"

namespace web {

struct FlatScene {
    render::Point origin;
    render::Box extents;  // of what is drawn, as the renderer frames it
    render::Box view;     // the extents with the renderer's margin

    // Paths: pathStart[i] is the first point of path i, pathStart[count] the
    // end of the last one.
    std::vector<float> points;  // x, y
    std::vector<std::uint32_t> pathStart;
    std::vector<std::uint8_t> pathFlags;  // kClosed, kFilled
    std::vector<std::uint8_t> pathColor;
    std::vector<float> pathWidth;         // drawing units; 0 the thinnest line
    std::vector<std::uint16_t> pathDash;  // 1 + the index of its pattern; 0 solid
    std::vector<std::uint32_t> pathEntity;
    std::vector<std::uint16_t> pathLayer;
    // Arcs, in the order of the points they end at: arcAt[k] is that point.
    // Each is centre x, y, radii rx, ry, the rotation of the rx axis and the
    // start angle and sweep on the rotated ellipse (radians, counter-clockwise
    // in drawing units): a canvas's ellipse() call.
    std::vector<std::uint32_t> arcAt;
    std::vector<float> arcs;
    // Line type patterns in drawing units: positive a dash, negative a gap,
    // 0 a dot; pattern i is dashes[dashStart[i]] up to dashStart[i + 1].
    std::vector<float> dashes;
    std::vector<std::uint32_t> dashStart{0};

    std::vector<float> dots;  // x, y
    std::vector<std::uint8_t> dotColor;
    std::vector<std::uint32_t> dotEntity;
    std::vector<std::uint16_t> dotLayer;

    // Lines of text: origin x, y, the baseline direction and the up direction
    // (each one text height long), the height, the angle of the baseline,
    // the length the text is fitted to (0: none) and its estimated advance,
    // both in text heights.
    std::vector<float> labels;
    std::vector<std::uint8_t> labelAlign;  // 0 start, 1 middle, 2 end
    std::vector<std::uint8_t> labelColor;
    std::vector<std::uint32_t> labelEntity;
    std::vector<std::uint16_t> labelLayer;
    std::vector<std::uint32_t> labelTextStart{0};  // into labelText, one more than labels
    std::string labelText;                         // UTF-8

    std::vector<std::string> layers;  // the names pieces are drawn on, by index
    render::SceneStats stats;

    static constexpr std::uint8_t kClosed = 1;
    static constexpr std::uint8_t kFilled = 2;
    static constexpr std::size_t kLabelFloats = 10;
    static constexpr std::size_t kArcFloats = 7;
};

// Walks the drawing as the renderer does. `layerNames` are the drawing's layers in table order,
// which keep their indices in `layers`.
void Flatten(const Qdxf_Info &drawing, const render::SceneOptions &options,
             const std::vector<std::string> &layerNames, FlatScene *scene);

}  // namespace web

#endif
