// SPDX-License-Identifier: MIT
// MESH: a block of a 3DFACE per face of its base mesh (subdivision level 0,
// whatever level group 91 asks for): a triangle repeats its last corner, a
// face of more than four corners becomes a fan of triangles about its first
// corner whose inner edges are hidden. Edge creases and overrides are not
// drawn.
#include <algorithm>

#include "translate/sketch.h"

namespace vexlith::translate {
namespace {

// A 3DFACE of `corners` (three or four) with the edges of `hidden` (bit 1 the
// edge from the first corner) hidden.
Outcome AddFace(Sketch &sketch, const Qdxf_Coord *corners[4], int count, int hidden) {
    auto *vertices = rt::NewArray<Qdxf_Vertex>(4);
    Qdxf_Entity *piece = vertices ? sketch.Add(QDXF_3DFACE, 0) : nullptr;
    if (!piece) {
        rt::Free(vertices);
        return Outcome::NoMemory;
    }
    for (int i = 0; i < 4; ++i)
        vertices[i].location = *corners[std::min(i, count - 1)];
    piece->data.polyline.count = 4;
    piece->data.polyline.vertices = vertices;
    piece->data.polyline.flag = hidden;
    return sketch.Placed(*piece);
}

}  // namespace

Outcome TranslateMesh(Context &context) {
    Points &points = context.translation().points;
    points.Clear();
    // The face list: the groups 90 after group 93, as many as it says.
    const EntityGroup *faces = nullptr;
    std::size_t listed = 0, faceGroups = 0;
    for (const EntityGroup &group : context.groups) {
        if (group.code == 10 && !points.Append({group.real, 0, 0})) return Outcome::NoMemory;
        if (!points.empty() && (group.code == 20 || group.code == 30))
            SetAxis(points[points.size() - 1], group, 10);
        if (group.code == 93 && !faces) {
            listed = static_cast<std::size_t>(std::max(group.integer, 0));
            faces = &group + 1;
        }
    }
    if (faces) {
        const EntityGroup *end = context.groups.data() + context.groups.size();
        while (faces + faceGroups < end && faceGroups < listed && faces[faceGroups].code == 90)
            ++faceGroups;
    }
    Sketch sketch(context);
    for (std::size_t at = 0; at < faceGroups;) {
        std::int32_t count = faces[at++].integer;
        if (count < 0 || static_cast<std::size_t>(count) > faceGroups - at)
            return context.Invalid("a face with more corners than its list holds");
        const EntityGroup *corner = faces + at;
        at += static_cast<std::size_t>(count);
        for (std::int32_t i = 0; i < count; ++i) {
            if (corner[i].integer < 0 ||
                static_cast<std::size_t>(corner[i].integer) >= points.size())
                return context.Invalid("a face names a vertex it does not have");
        }
        if (count < 3) continue;
        auto pointOf = [&](std::int32_t i) {
            return &points[static_cast<std::size_t>(corner[i].integer)];
        };
        if (count <= 4) {
            const Qdxf_Coord *corners[4] = {pointOf(0), pointOf(1), pointOf(2), pointOf(count - 1)};
            Outcome outcome = AddFace(sketch, corners, count, 0);
            if (outcome != Outcome::Done) return outcome;
            continue;
        }
        // A fan: the edges from the first corner to the others are inner
        // edges (hidden: 1 the edge to the triangle's second corner, 8 the
        // one back from its third) but for the outer ones of the first and
        // last triangle.
        for (std::int32_t i = 1; i + 1 < count; ++i) {
            const Qdxf_Coord *corners[4] = {pointOf(0), pointOf(i), pointOf(i + 1), pointOf(i + 1)};
            int hidden = (i > 1 ? 1 : 0) | (i + 2 < count ? 8 : 0);
            Outcome outcome = AddFace(sketch, corners, 3, hidden);
            if (outcome != Outcome::Done) return outcome;
        }
    }
    return sketch.Finish();
}

}  // namespace vexlith::translate
