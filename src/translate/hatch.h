// SPDX-License-Identifier: MIT
// A HATCH entity taken apart into what records of the ten can show: its
// boundary paths as closed polylines, its solid fill as triangles and its
// pattern as line segments, all in the hatch's object coordinate system.
#ifndef VEXLITH_TRANSLATE_HATCH_H
#define VEXLITH_TRANSLATE_HATCH_H

#include <cstddef>
#include <cstdint>

#include "translate/groups.h"

namespace vexlith::translate {

// The most pattern line segments one hatch becomes, shared among its line
// families; a pattern that would make more (a spacing of 1e-9 over a large
// boundary), or take more than about half a second, is cut there.
constexpr std::size_t kMaxPatternSegments = 1u << 18;
// The most points of one hatch's boundary paths once their curves are
// flattened (the fill works on as many edges); a hatch with more stays INVALID.
constexpr std::size_t kMaxBoundaryPoints = 1u << 20;
// The most triangles of one solid fill; a fill that would make more is cut
// there, as is one whose sweep would take more than about half a second.
constexpr std::size_t kMaxFillTriangles = 1u << 21;
// Besides, a hatch makes no more segments or triangles than these for its own
// size in the file, so that a few bytes cannot ask for millions.
constexpr std::size_t kHatchLeastPieces = 1u << 14;
constexpr std::size_t kHatchPiecesPerByte = 64;

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
    // The hatch shows a solid fill or a pattern (lines of its own, 78): then
    // its boundary is not drawn, as CAD programs show it.
    bool filled;
    // A gradient fill's first colour as a colour number (its ACI, 63, or the
    // one nearest its true colour, 421); 0 for none. The gradient is filled
    // solid in it.
    int gradientColor;
    // The fill or the pattern stopped at TranslateHatch's maxPieces, below
    // the caps above.
    bool cut;
    void Release() {
        boundary.Release();
        pathEnds.Release();
        triangles.Release();
        lines.Release();
    }
};

// Fills `shapes` (emptied first) from the HATCH's groups. Line edges and
// polyline vertices are exact, circular arc edges become bulges (a full
// circle two), elliptic and spline edges points within `tolerance`. An edge
// path whose edges meet again starts a new path at its next edge that meets
// nothing. The fill and the pattern take the inside by the even-odd rule
// over the paths the hatch style (75) names: all of them (0), the external
// and outermost ones (1), the external ones (2); a style none of whose paths
// is so marked takes all. A gradient (450 = 1) is a solid fill. A dash of
// length 0 is a segment of length 0 (a dot). At most `maxPieces` triangles or
// segments are made, besides the caps above (shapes.cut says it stopped
// there). Invalid, with *why, for a HATCH
// without a boundary, or with a NaN, an infinite or an enormous (beyond
// 1e100) number, or an edge that lacks its groups or makes no curve; its
// groups after the boundary that are not the style, the pattern and the
// gradient's flag and first colour (seed points, the gradient's shape) are
// passed over.
Outcome TranslateHatch(Groups groups, double tolerance, HatchShapes &shapes, const char **why,
                       std::size_t maxPieces = SIZE_MAX);

}  // namespace vexlith::translate

#endif
