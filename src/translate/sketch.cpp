// SPDX-License-Identifier: MIT
// Pieces of drawn entities.
#include "translate/sketch.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <numbers>

#include "translate/records.h"
#include "translate/vector.h"

namespace vexlith::translate {
namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != b[i]) return false;
    }
    return true;
}

// An angle in [0, 2π) as the reader holds angles.
double RecordAngle(double radians) {
    double turn = 2 * std::numbers::pi;
    double angle = std::fmod(radians, turn);
    if (angle < 0) angle += turn;
    return std::isfinite(angle) ? FileAngle(angle) : 0.0;
}

// Whether every number of a piece is one: definition data that is not (NaN,
// or infinite from overflow) makes no drawing.
bool Finite(const Qdxf_Entity &piece) {
    const auto &d = piece.data;
    switch (piece.type) {
        case QDXF_LINE:
            return vec::IsFinite(d.line.start) && vec::IsFinite(d.line.end);
        case QDXF_SOLID:
            return std::all_of(std::begin(d.solid.corner), std::end(d.solid.corner),
                               [](const Qdxf_Coord &c) { return vec::IsFinite(c); });
        case QDXF_TEXT:
            return vec::IsFinite(d.text.insertionPoint) && std::isfinite(d.text.height);
        case QDXF_ARC:
            return vec::IsFinite(d.arc.center) && std::isfinite(d.arc.radius);
        case QDXF_INSERT:
            return vec::IsFinite(d.insert.insertionPoint) &&
                   vec::IsFinite({d.insert.xScale, d.insert.yScale, d.insert.zScale});
        case QDXF_POLYLINE:
        case QDXF_3DFACE:
            for (int i = 0; i < d.polyline.count; ++i) {
                if (!vec::IsFinite(d.polyline.vertices[i].location)) return false;
            }
            return true;
        default:
            return true;
    }
}

}  // namespace

Arrowhead ArrowheadOf(std::string_view blockName, double tickSize) {
    if (tickSize > 0) return Arrowhead::kTick;
    if (!blockName.empty() && blockName[0] == '_') blockName.remove_prefix(1);
    if (SameLetters(blockName, "NONE")) return Arrowhead::kNone;
    if (SameLetters(blockName, "OBLIQUE") || SameLetters(blockName, "ARCHTICK"))
        return Arrowhead::kTick;
    return Arrowhead::kClosedFilled;
}

bool Sketch::InPlane(const Qdxf_Coord &extrusion) {
    inPlane_ = true;
    if (!context_.World()) return true;
    placed_ = true;
    return PlacementOf(extrusion, &placement_, &context_.why);
}

Qdxf_Entity *Sketch::Add(Qdxf_EntityType type, int color) {
    Qdxf_Entity *piece = block_.Add(type);
    if (!piece) return nullptr;
    piece->color = color;
    ++pieces_;
    return piece;
}

Outcome Sketch::Placed(Qdxf_Entity &piece) {
    if (!Finite(piece)) {
        context_.why = "a point or size that is not a number";
        return Outcome::Invalid;
    }
    if (!placed_) return Outcome::Done;
    if (piece.type == QDXF_LINE) {
        piece.data.line.start = Place(placement_, piece.data.line.start);
        piece.data.line.end = Place(placement_, piece.data.line.end);
        return Outcome::Done;
    }
    return PlaceEntity(placement_, piece, context_.read.tolerance, context_.translation().points,
                       &context_.why);
}

Outcome Sketch::Line(const Qdxf_Coord &from, const Qdxf_Coord &to, int color) {
    Qdxf_Entity *piece = Add(QDXF_LINE, color);
    if (!piece) return Outcome::NoMemory;
    piece->data.line = {from, to};
    return Placed(*piece);
}

Outcome Sketch::Arrow(Arrowhead kind, const Qdxf_Coord &tip, const Qdxf_Coord &direction,
                      double size, int color) {
    if (kind == Arrowhead::kNone || !(size > 0) || !std::isfinite(size)) return Outcome::Done;
    Qdxf_Coord across{-direction.y, direction.x, 0};
    if (kind == Arrowhead::kTick) {
        Qdxf_Coord stroke = vec::Scale(vec::Add(direction, across), size / 2);
        return Line(vec::Sub(tip, stroke), vec::Add(tip, stroke), color);
    }
    Qdxf_Entity *piece = Add(QDXF_SOLID, color);
    if (!piece) return Outcome::NoMemory;
    Qdxf_Coord base = vec::AddScaled(tip, direction, -size);
    Qdxf_Coord *corner = piece->data.solid.corner;
    corner[0] = tip;
    corner[1] = vec::AddScaled(base, across, size / 6);
    corner[2] = corner[3] = vec::AddScaled(base, across, -size / 6);
    return Placed(*piece);
}

Outcome Sketch::Text(std::string_view text, const Qdxf_Coord &middle, double height, double angle,
                     int color) {
    rt::Owned<char> copy(CopyText(context_.Utf8(), text.data(), text.size()));
    rt::Owned<Qdxf_Coord> alignment(rt::New<Qdxf_Coord>());
    Qdxf_Entity *piece = copy && alignment ? Add(QDXF_TEXT, color) : nullptr;
    if (!piece) return Outcome::NoMemory;
    *alignment = middle;
    Qdxf_Text &out = piece->data.text;
    out.insertionPoint = middle;
    out.alignmentPoint = alignment.release();
    out.text = copy.release();
    out.height = height;
    out.xScale = 1.0;
    out.angle = RecordAngle(angle);
    out.horizJust = 1;  // centre
    out.vertJust = 2;   // middle
    return Placed(*piece);
}

Outcome Sketch::Arc(const Qdxf_Coord &center, double radius, double start, double end, int color) {
    Qdxf_Entity *piece = Add(QDXF_ARC, color);
    if (!piece) return Outcome::NoMemory;
    piece->data.arc = {center, radius, RecordAngle(start), RecordAngle(end)};
    return Placed(*piece);
}

Outcome Sketch::Polyline(std::span<const Qdxf_Coord> points, const double *bulges, bool closed,
                         int color) {
    if (points.size() > static_cast<std::size_t>(INT_MAX)) {
        context_.why = "more vertices than a record holds";
        return Outcome::Invalid;
    }
    auto *vertices = rt::NewArray<Qdxf_Vertex>(points.size());
    Qdxf_Entity *piece = vertices ? Add(QDXF_POLYLINE, color) : nullptr;
    if (!piece) {
        rt::Free(vertices);
        return Outcome::NoMemory;
    }
    Qdxf_Polyline &polyline = piece->data.polyline;
    polyline.flag = (closed ? 1 : 0) | (inPlane_ ? 0 : 8);
    polyline.elevation = points.empty() ? 0 : points[0].z;
    polyline.count = static_cast<int>(points.size());
    polyline.vertices = vertices;
    for (std::size_t i = 0; i < points.size(); ++i) {
        vertices[i].location = points[i];
        vertices[i].flags = inPlane_ ? 0 : k3dVertex;
        if (bulges && inPlane_) vertices[i].bulge = bulges[i];
    }
    return Placed(*piece);
}

Outcome Sketch::Finish() {
    return block_.Place(context_.entity, context_.parent) ? Outcome::Done : Outcome::NoMemory;
}

}  // namespace vexlith::translate
