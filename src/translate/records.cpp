// SPDX-License-Identifier: MIT
// Records the translations build.
#include "translate/records.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>

#include "model/release.h"

namespace vexlith::translate {

char *CopyText(const TextEncoding *utf8, const char *text, std::size_t length) {
    if (!length) text = "";  // an empty scratch has no block
    if (utf8) return Utf8Copy(*utf8, text, length);
    char *copy = rt::NewArray<char>(length + 1);
    if (copy && length) std::memcpy(copy, text, length);
    return copy;
}

namespace {

double RadiansOf(double degrees) {
    return degrees * std::numbers::pi / 180;  // as the reader turns groups 50 and 51
}

}  // namespace

double FileDegrees(double radians) {
    double degrees = radians * 180 / std::numbers::pi;
    if (!std::isfinite(degrees) || RadiansOf(degrees) == radians) return degrees;
    // The plain conversion may be a unit in the last place off.
    double below = degrees, above = degrees;
    for (int step = 0; step < 4; ++step) {
        below = std::nextafter(below, -HUGE_VAL);
        if (RadiansOf(below) == radians) return below;
        above = std::nextafter(above, HUGE_VAL);
        if (RadiansOf(above) == radians) return above;
    }
    return degrees;
}

double FileAngle(double radians) {
    return RadiansOf(FileDegrees(radians));
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
