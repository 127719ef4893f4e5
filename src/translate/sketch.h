// SPDX-License-Identifier: MIT
// The pieces of a drawn entity (a dimension, a leader, a multiline, a
// tolerance frame) as records of the ten in its anonymous block: lines,
// arrowheads, texts, arcs and polylines. A sketch in a plane takes points in
// the coordinate system of an extrusion direction, as the plane's records
// hold them, and places each piece in world coordinates when the read asks
// (QDXF_READ_WORLD); a sketch in world coordinates takes points there (its
// arrowheads, texts and arcs lie in planes parallel to XY).
#ifndef VEXLITH_TRANSLATE_SKETCH_H
#define VEXLITH_TRANSLATE_SKETCH_H

#include <span>
#include <string_view>

#include "translate/anonymous_block.h"
#include "translate/translator.h"
#include "translate/world.h"

namespace vexlith::translate {

enum class Arrowhead {
    kClosedFilled,  // a SOLID triangle, as long as its size and a third of it wide
    kTick,          // an oblique stroke (architectural and oblique ticks)
    kNone,
};
// The arrowhead a dimension style's DIMBLK names (the names of AutoCAD's
// arrowhead blocks, with or without their "_"; any other block is drawn
// closed filled), ticks when DIMTSZ is positive.
Arrowhead ArrowheadOf(std::string_view blockName, double tickSize);

class Sketch {
public:
    explicit Sketch(Context &context) : context_(context), block_(context.read, context.drawing) {}

    // The pieces after this call lie in the plane of `extrusion`; false,
    // with the context's why, for a direction without length.
    bool InPlane(const Qdxf_Coord &extrusion);

    // Each piece in the colour `color` (0: BYBLOCK).
    Outcome Line(const Qdxf_Coord &from, const Qdxf_Coord &to, int color = 0);
    // An arrowhead with its tip at `tip`, pointing along the unit vector
    // `direction` (from its base to its tip).
    Outcome Arrow(Arrowhead kind, const Qdxf_Coord &tip, const Qdxf_Coord &direction, double size,
                  int color = 0);
    // A line of text (in the file's encoding) centred at `middle`, turned by
    // `angle` radians.
    Outcome Text(std::string_view text, const Qdxf_Coord &middle, double height, double angle,
                 int color = 0);
    Outcome Arc(const Qdxf_Coord &center, double radius, double start, double end, int color = 0);
    // A polyline through `points`, whose bulges (null: none) follow its
    // points.
    Outcome Polyline(std::span<const Qdxf_Coord> points, const double *bulges, bool closed,
                     int color = 0);
    // A new piece of `type`, for the pieces above; null when the heap is
    // exhausted.
    Qdxf_Entity *Add(Qdxf_EntityType type, int color);
    // A piece filled in by hand, placed as the sketch's others; Invalid for
    // a piece with a number that is not finite.
    Outcome Placed(Qdxf_Entity &piece);

    // Makes the entity an INSERT of the block of the pieces.
    Outcome Finish();
    bool empty() const { return pieces_ == 0; }
    // The block of the pieces (null before the first piece).
    Qdxf_Block *Block() const { return block_.Block(); }

private:
    Context &context_;
    PieceBlock block_;
    bool inPlane_ = false;
    bool placed_ = false;  // pieces in the plane are placed in world coordinates
    Placement placement_{};
    std::size_t pieces_ = 0;
};

}  // namespace vexlith::translate

#endif
