// SPDX-License-Identifier: MIT
// MLINE: a block of a 3-D POLYLINE per element, through the element's point
// at each vertex (the vertex moved along its miter direction by the
// element's first parameter, as the MLINE stores them: scale and
// justification are in those), closed with the MLINE. Its end caps are
// drawn as its MLINESTYLE says (flags 16/256 a line across the ends of the
// elements, 64/1024 a half circle over the outermost two), unless the MLINE
// suppresses them; the styles are objects after the entities, so the caps
// are added at the end of the read. An MLINE whose style the drawing lacks
// is drawn with the standard style's flags: no caps.
// Approximated: breaks in the elements (their further parameters), the
// miter lines, inner arcs, fill and the elements' colours and line types are
// not drawn; a round cap of an MLINE out of the XY plane is flattened as if
// it lay in a plane parallel to it.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/release.h"
#include "read/readers.h"
#include "translate/anonymous_block.h"
#include "translate/deferred.h"
#include "translate/geometry.h"
#include "translate/records.h"
#include "translate/sketch.h"
#include "translate/styles.h"
#include "translate/vector.h"

namespace vexlith::translate {

Outcome TranslateMLine(Context &context) {
    Translation &translation = context.translation();
    Points &points = translation.points;  // each vertex, then its miter direction
    points.Clear();
    // The elements' first parameters (their offsets along the miter), vertex
    // by vertex, and where each vertex's begin.
    rt::Scratch<double> offsets;
    rt::Scratch<std::size_t> starts;
    Points element;
    auto release = [&](Outcome outcome) {
        offsets.Release();
        starts.Release();
        element.Release();
        return outcome;
    };
    const EntityGroup *styleName = nullptr, *styleHandle = nullptr;
    int flags = 0;
    std::size_t elements = 0;
    bool first = false;  // the next 41 is an element's first parameter
    for (const EntityGroup &group : context.groups) {
        switch (group.code) {
            case 2:
                styleName = &group;
                break;
            case 340:
                styleHandle = &group;
                break;
            case 71:
                flags = group.integer;
                break;
            case 73:
                elements = static_cast<std::size_t>(std::max(group.integer, 0));
                break;
            case 11:
                if (!points.Append({group.real, 0, 0}) || !points.Append({0, 0, 0}) ||
                    !starts.Append(offsets.size()))
                    return release(Outcome::NoMemory);
                break;
            case 74:
                first = !starts.empty();
                if (first && !offsets.Append(0.0)) return release(Outcome::NoMemory);
                break;
            case 41:
                if (first) offsets[offsets.size() - 1] = group.real;
                first = false;
                break;
            default:
                if (starts.empty()) break;
                if (!SetAxis(points[points.size() - 2], group, 11))
                    SetAxis(points[points.size() - 1], group, 13);
                break;
        }
    }
    std::size_t vertices = starts.size();
    if (vertices == 0) return release(context.Invalid("no vertices"));
    auto countAt = [&](std::size_t at) {
        return (at + 1 < vertices ? starts[at + 1] : offsets.size()) - starts[at];
    };
    if (elements == 0) elements = countAt(0);
    // Every vertex gives every element: the work stays that of the file.
    if (elements > offsets.size() / vertices)
        return release(context.Invalid("its vertices do not give every element"));

    bool closed = (flags & 2) != 0;
    Sketch sketch(context);
    auto pointOf = [&](std::size_t at, double offset) {
        return vec::AddScaled(points[2 * at], points[2 * at + 1], offset);
    };
    auto offsetOf = [&](std::size_t at, std::size_t e) {
        return e < countAt(at) ? offsets[starts[at] + e] : 0.0;
    };
    for (std::size_t e = 0; e < elements; ++e) {
        element.Clear();
        for (std::size_t at = 0; at < vertices; ++at) {
            if (!element.Append(pointOf(at, offsetOf(at, e)))) return release(Outcome::NoMemory);
        }
        Outcome outcome =
            sketch.Polyline(std::span(element.data(), element.size()), nullptr, closed);
        if (outcome != Outcome::Done) return release(outcome);
    }
    Qdxf_Block *block = sketch.Block();
    Outcome outcome = sketch.Finish();
    if (outcome != Outcome::Done || closed || !block || vertices < 2 || elements < 2)
        return release(outcome);

    // The caps, for the end of the read: across the outermost elements.
    double low[2] = {HUGE_VAL, HUGE_VAL}, high[2] = {-HUGE_VAL, -HUGE_VAL};
    for (int end = 0; end < 2; ++end) {
        for (std::size_t e = 0; e < elements; ++e) {
            double offset = offsetOf(end == 0 ? 0 : vertices - 1, e);
            low[end] = std::min(low[end], offset);
            high[end] = std::max(high[end], offset);
        }
    }
    DeferredWork &work = translation.deferred;
    Deferred item{Deferred::kMLineCaps, nullptr, block, {}, {}, flags, kNoText, kNoText};
    item.point[0] = pointOf(0, high[0]);
    item.point[1] = pointOf(0, low[0]);
    item.point[2] = pointOf(vertices - 1, high[1]);
    item.point[3] = pointOf(vertices - 1, low[1]);
    item.outward[0] = vec::Sub(points[0], points[2]);
    item.outward[1] = vec::Sub(points[2 * (vertices - 1)], points[2 * (vertices - 2)]);
    bool failed = false;
    if (styleHandle) item.handle = work.Text(styleHandle->text, styleHandle->length, &failed);
    if (styleName) item.name = work.Text(styleName->text, styleName->length, &failed);
    return release(failed || !work.items.Append(item) ? Outcome::NoMemory : Outcome::Done);
}

bool FinishMLineCaps(Qdxf_ReadState &read, Qdxf_Info *drawing, const Deferred &item,
                     const char *texts) {
    int flags = 0;
    const char *handle = item.handle == kNoText ? nullptr : texts + item.handle;
    const char *name = item.name == kNoText ? nullptr : texts + item.name;
    if (!read.translation.styles.MLineStyleFlags(handle, name, &flags)) return true;
    Qdxf_Layer *layer = FindLayer(read, drawing, "0");
    Qdxf_Block *block = item.block;
    rt::ListAppender<Qdxf_Entity> pieces(&block->entities);
    // A piece as the block's others: on layer "0", BYBLOCK.
    auto make = [&](Qdxf_EntityType type) -> Qdxf_Entity * {
        auto *piece = rt::New<Qdxf_Entity>();
        if (!piece) return nullptr;
        piece->layerName = rt::Duplicate("0");
        if (!piece->layerName) {
            rt::Free(piece);
            return nullptr;
        }
        piece->type = type;
        piece->block = block;
        piece->layer = layer;
        return piece;
    };
    // Kept within the read's budget; a cap past it is left out.
    auto keep = [&](Qdxf_Entity *piece) {
        if (!SpendBudget(read, *piece)) return FreeEntity(piece);
        pieces.Append(piece);
        block->layer = layer;
    };
    for (int end = 0; end < 2; ++end) {
        if (item.flags & (end == 0 ? 4 : 8)) continue;  // the MLINE suppresses it
        const Qdxf_Coord &a = item.point[2 * end], &b = item.point[2 * end + 1];
        if (flags & (end == 0 ? 16 : 256)) {
            Qdxf_Entity *line = make(QDXF_LINE);
            if (!line) return false;
            line->data.line = {a, b};
            keep(line);
        }
        if (!(flags & (end == 0 ? 64 : 1024))) continue;
        // A half circle from a to b bulging out: a bulge of 1 bulges to the
        // right of the way from a to b.
        Qdxf_Coord chord = vec::Sub(b, a);
        Qdxf_Coord right{chord.y, -chord.x, 0};
        double bulge = vec::Dot(right, item.outward[end]) >= 0 ? 1 : -1;
        Points &arc = read.translation.points;
        arc.Clear();
        if (!arc.Append(a)) return false;
        Outcome outcome = FlattenBulge(a, b, bulge, read.tolerance, arc);
        if (outcome == Outcome::NoMemory) return false;
        auto *vertices = outcome == Outcome::Done ? rt::NewArray<Qdxf_Vertex>(arc.size()) : nullptr;
        if (outcome == Outcome::Done && !vertices) return false;
        if (!vertices) continue;
        Qdxf_Entity *polyline = make(QDXF_POLYLINE);
        if (!polyline) {
            rt::Free(vertices);
            return false;
        }
        for (std::size_t i = 0; i < arc.size(); ++i) {
            vertices[i].location = arc[i];
            vertices[i].flags = k3dVertex;
        }
        polyline->data.polyline.flag = 8;
        polyline->data.polyline.count = static_cast<int>(arc.size());
        polyline->data.polyline.vertices = vertices;
        keep(polyline);
    }
    return true;
}

}  // namespace vexlith::translate
