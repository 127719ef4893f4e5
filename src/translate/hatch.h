// SPDX-License-Identifier: MIT
// A HATCH entity taken apart into what records of the ten can show: its
// boundary paths as closed polylines, its solid fill as triangles and its
// pattern as line segments, all in the hatch's object coordinate system.
#ifndef VEXLITH_TRANSLATE_HATCH_H
#define VEXLITH_TRANSLATE_HATCH_H

#include <cstdint>

#include "translate/groups.h"

namespace vexlith::translate {

// The most pattern line segments one hatch becomes; a pattern that would
// make more (a spacing of 1e-9 over a large boundary) is cut there.
constexpr std::size_t kMaxPatternSegments = 1u << 18;
// The most points of one hatch's boundary paths once their curves are
// flattened (the fill works on as many edges); a hatch with more stays INVALID.
constexpr std::size_t kMaxBoundaryPoints = 1u << 20;
// The most triangles of one solid fill; a fill that would make more is cut there.
constexpr std::size_t kMaxFillTriangles = 1u << 21;

struct BulgePoint {
    double x, y;
    double bulge;  // of the segment to the next point
};

struct HatchShapes {
    // Every boundary path as a closed polyline: path i is the points from
    // pathEnds[i - 1] (0 for the first) up to pathEnds[i].
    rt::Scratch<BulgePoint> boundary;
    rt::Scratch<std::uint32_t> pathEnds;
    // A solid fill: three corners per triangle, covering the inside (holes
    // left out). Empty for a pattern fill.
    Points triangles;
    // A pattern fill: two ends per segment, clipped to the inside.
    Points lines;
    double elevation;      // z of every point
    Qdxf_Coord extrusion;  // the normal of the hatch's plane
    void Release() {
        boundary.Release();
        pathEnds.Release();
        triangles.Release();
        lines.Release();
    }
};

// Fills `shapes` (emptied first) from the HATCH's groups.
Outcome TranslateHatch(Groups groups, double tolerance, HatchShapes &shapes, const char **why);

}  // namespace vexlith::translate

#endif
