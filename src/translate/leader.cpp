// SPDX-License-Identifier: MIT
// LEADER: a 3-D POLYLINE through its vertices; with its arrowhead (group 71
// not 0), a block of that polyline and a closed filled SOLID whose tip is
// the first vertex, as long as the arrow size of its dimension style (group
// 3, its own overrides, $DIMASZ where the style has none) times DIMSCALE.
// Approximated: a spline leader (group 72) is drawn straight, the arrowhead
// is closed filled whatever block the style names, and its hook line and
// annotation are not drawn (the annotation is an entity of its own).
#include "translate/records.h"
#include "translate/sketch.h"
#include "translate/styles.h"
#include "translate/vector.h"

namespace vexlith::translate {

Outcome TranslateLeaderEntity(Context &context) {
    Translation &translation = context.translation();
    Points &points = translation.points;
    points.Clear();
    bool arrowhead = true;
    const EntityGroup *style = nullptr;
    for (const EntityGroup &group : context.groups) {
        if (group.code == 10 && !points.Append({group.real, 0, 0})) return Outcome::NoMemory;
        if (!points.empty() && (group.code == 20 || group.code == 30))
            SetAxis(points[points.size() - 1], group, 10);
        if (group.code == 71) arrowhead = group.integer != 0;
        if (group.code == 3 && !style) style = &group;
    }
    // The arrow points from the first vertex apart from the tip.
    Qdxf_Coord direction{};
    bool pointed = false;
    for (std::size_t i = 1; i < points.size() && arrowhead && !pointed; ++i)
        pointed = vec::Normalize(vec::Sub(points[0], points[i]), &direction);
    if (!pointed) {
        return SetPolyline(context.entity, std::span(points.data(), points.size()), 8, k3dVertex,
                           &context.why);
    }
    DimStyle dimStyle = translation.styles.Resolve(style ? style->text : nullptr, context.groups);
    Sketch sketch(context);
    Outcome outcome = sketch.Polyline(std::span(points.data(), points.size()), nullptr, false);
    if (outcome == Outcome::Done) {
        outcome = sketch.Arrow(Arrowhead::kClosedFilled, points[0], direction,
                               dimStyle.Scaled(Dim::kArrowSize));
    }
    return outcome == Outcome::Done ? sketch.Finish() : outcome;
}

}  // namespace vexlith::translate
