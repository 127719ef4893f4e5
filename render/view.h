// SPDX-License-Identifier: MIT
// The part of a drawing a picture shows: the box around its primitives and
// the view chosen from it.
#ifndef VEXLITH_RENDER_VIEW_H
#define VEXLITH_RENDER_VIEW_H

#include <limits>

#include "scene.h"

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

// The box around every primitive it receives that is plotted. Arcs are
// followed closely; texts are estimated from their height and characters.
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

// The part of the drawing the picture shows: the extents of what is drawn,
// with a margin. The header's $EXTMIN and $EXTMAX are not asked: producers
// leave them stale. A drawing with nothing to draw shows the unit square; the
// view is never more than four times as tall as wide, and never so small
// that its width in drawing units rounds away.
Box ViewOf(const Box &computed);

}  // namespace render

#endif
