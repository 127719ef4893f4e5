// SPDX-License-Identifier: MIT
// Records the translations build.
#include "translate/records.h"

#include <climits>
#include <cstring>

#include "model/release.h"

namespace vexlith::translate {

char *CopyText(const TextEncoding *utf8, const char *text, std::size_t length) {
    if (!length) text = "";  // an empty scratch has no block
    if (utf8) return Utf8Copy(*utf8, text, length);
    char *copy = rt::NewArray<char>(length + 1);
    if (copy && length) std::memcpy(copy, text, length);
    return copy;
}

Outcome SetPolyline(Qdxf_Entity &entity, std::span<const Qdxf_Coord> points, int flag,
                    int vertexFlags, const char **why) {
    if (points.size() > static_cast<std::size_t>(INT_MAX)) {
        *why = "more vertices than a record holds";
        return Outcome::Invalid;
    }
    auto *vertices = rt::NewArray<Qdxf_Vertex>(points.size());
    if (!vertices) return Outcome::NoMemory;
    for (std::size_t i = 0; i < points.size(); ++i) {
        vertices[i].location = points[i];
        vertices[i].flags = vertexFlags;
    }
    ReleaseKindMembers(entity);
    entity.type = QDXF_POLYLINE;
    Qdxf_Polyline &polyline = entity.data.polyline;
    polyline.flag = flag;
    polyline.count = static_cast<int>(points.size());
    polyline.vertices = vertices;
    return Outcome::Done;
}

}  // namespace vexlith::translate
