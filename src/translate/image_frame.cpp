// SPDX-License-Identifier: MIT
// WIPEOUT and IMAGE: the frame, a closed 3-D POLYLINE. Its points are those
// of the clipping boundary (groups 14, in pixels from the image's top left
// corner; two of them a rectangle's opposite corners) where the entity gives
// one, else the image's outline, placed by the insertion point 10 and the
// vectors of one pixel along u (11) and v (12) over the size 13 in pixels.
// The picture itself and what a wipeout hides are not drawn.
#include "translate/records.h"
#include "translate/translator.h"
#include "translate/vector.h"

namespace vexlith::translate {

Outcome TranslateImageFrame(Context &context) {
    Qdxf_Coord insertion{}, u{}, v{}, size{};
    Points &points = context.translation().points;
    points.Clear();
    for (const EntityGroup &group : context.groups) {
        if (group.code == 14 && !points.Append({group.real, 0, 0})) return Outcome::NoMemory;
        if (group.code == 24 && !points.empty()) points[points.size() - 1].y = group.real;
        (void)(SetAxis(insertion, group, 10) || SetAxis(u, group, 11) || SetAxis(v, group, 12) ||
               SetAxis(size, group, 13));
    }
    // A pixel's centre is at its whole coordinates; the boundary's y runs
    // down from the top.
    auto place = [&](double x, double y) {
        return vec::AddScaled(vec::AddScaled(insertion, u, x + 0.5), v, size.y - y - 0.5);
    };
    if (points.size() < 2) {
        points.Clear();
        for (const Qdxf_Coord corner :
             {Qdxf_Coord{-0.5, -0.5, 0}, Qdxf_Coord{size.x - 0.5, size.y - 0.5, 0}}) {
            if (!points.Append(corner)) return Outcome::NoMemory;
        }
    }
    if (points.size() == 2) {
        Qdxf_Coord low = points[0], high = points[1];
        points.Clear();
        for (const Qdxf_Coord corner :
             {low, Qdxf_Coord{high.x, low.y, 0}, high, Qdxf_Coord{low.x, high.y, 0}}) {
            if (!points.Append(corner)) return Outcome::NoMemory;
        }
    }
    for (Qdxf_Coord &point : std::span(points.data(), points.size())) {
        point = place(point.x, point.y);
        if (!vec::IsFinite(point)) return context.Invalid("a point that is not a number");
    }
    if (vec::Distance(points[0], points[points.size() - 1]) == 0)
        points.Truncate(points.size() - 1);
    return SetPolyline(context.entity, std::span(points.data(), points.size()), 1 | 8, k3dVertex,
                       &context.why);
}

}  // namespace vexlith::translate
