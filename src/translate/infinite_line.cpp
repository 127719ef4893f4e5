// SPDX-License-Identifier: MIT
// RAY and XLINE: an INSERT of a block of one LINE from the base point along
// the direction (RAY), or through the base point both ways (XLINE), clipped
// to a box: the drawing's extents with the base point in them, grown on
// every side by their largest side (by 1 drawing unit for extents without
// size), so that the line reaches as far past the drawing again as the
// drawing is large. The extents are those of the model space entities of
// the ENTITIES section (a RAY or XLINE counts its base point): an INSERT by
// the box of its block's pieces placed by its scales, angle and array, a
// circle or an arc by its whole circle, a text by its insertion and
// alignment points and its estimated advance; points in the coordinate
// system of an extrusion direction are taken as the record holds them (exact
// with QDXF_READ_WORLD, or for the default direction). They are known at the
// end of the read, when the LINE gets its ends (until then it is its base
// point); a drawing without such entities takes the header's $EXTMIN and
// $EXTMAX where the header gives them. A read that hands its entities to a
// callback counts each as it is read; a whole read, at its end, the entities
// the drawing holds: the same records.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "model/release.h"
#include "model/text_advance.h"
#include "runtime/name_index.h"
#include "translate/deferred.h"
#include "translate/sketch.h"
#include "translate/vector.h"

namespace vexlith::translate {
namespace {

// Nested INSERTs deeper than this add nothing to the extents.
constexpr int kMaxDepth = 32;

Box HeaderBox(const Qdxf_Info *drawing) {
    Box box;
    const Qdxf_Header *header = drawing->header;
    if (!header || !header->extmin || !header->extmax) return box;
    const Qdxf_Coord &low = *header->extmin, &high = *header->extmax;
    if (low.x <= high.x && low.y <= high.y && low.z <= high.z) {
        box.Add(low);
        box.Add(high);
    }
    return box;
}

Qdxf_Line Clip(Box box, const Qdxf_Coord &base, const Qdxf_Coord &direction, bool bothWays) {
    box.Add(base);
    double grow =
        std::max({box.high.x - box.low.x, box.high.y - box.low.y, box.high.z - box.low.z});
    if (!(grow > 0) || !std::isfinite(grow)) grow = 1;
    const double low[3] = {box.low.x - grow, box.low.y - grow, box.low.z - grow};
    const double high[3] = {box.high.x + grow, box.high.y + grow, box.high.z + grow};
    const double from[3] = {base.x, base.y, base.z};
    const double along[3] = {direction.x, direction.y, direction.z};
    double first = bothWays ? -HUGE_VAL : 0, last = HUGE_VAL;
    for (int axis = 0; axis < 3; ++axis) {
        if (along[axis] == 0) continue;  // the base point lies within the slab
        double t1 = (low[axis] - from[axis]) / along[axis];
        double t2 = (high[axis] - from[axis]) / along[axis];
        first = std::max(first, std::min(t1, t2));
        last = std::min(last, std::max(t1, t2));
    }
    Qdxf_Line line{vec::AddScaled(base, direction, first), vec::AddScaled(base, direction, last)};
    // Extents near the largest numbers overflow: the base point and a unit on.
    if (!vec::IsFinite(line.start) || !vec::IsFinite(line.end))
        line = {base, vec::Add(base, direction)};
    return line;
}

}  // namespace

struct ModelExtents::BlockBox {
    const Qdxf_Block *block;
    Box box;
    int state;  // 1 being measured, 2 measured
};

bool ModelExtents::Add(Qdxf_ReadState &read, const Qdxf_Info *drawing, const Qdxf_Entity &entity) {
    return entity.space == 1 || AddTo(read, drawing, entity, 0, box_);
}

bool ModelExtents::AddTo(Qdxf_ReadState &read, const Qdxf_Info *drawing, const Qdxf_Entity &entity,
                         int depth, Box &box) {
    const auto &d = entity.data;
    switch (EntityKind(entity)) {
        case QDXF_LINE:
            box.Add(d.line.start);
            box.Add(d.line.end);
            return true;
        case QDXF_POINT:
            box.Add(d.point.location);
            return true;
        case QDXF_CIRCLE:
        case QDXF_ARC: {
            const Qdxf_Coord &c = d.circle.center;
            double r = std::fabs(d.circle.radius);
            box.Add(Qdxf_Coord{c.x - r, c.y - r, c.z});
            box.Add(Qdxf_Coord{c.x + r, c.y + r, c.z});
            return true;
        }
        case QDXF_TRACE:
        case QDXF_SOLID:
            for (const Qdxf_Coord &corner : d.trace.corner)
                box.Add(corner);
            return true;
        case QDXF_TEXT: {
            const Qdxf_Text &text = d.text;
            double advance = text.text ? TextAdvance(text.text) * text.height * text.xScale : 0;
            Qdxf_Coord along{std::cos(text.angle), std::sin(text.angle), 0};
            Qdxf_Coord up{-along.y, along.x, 0};
            box.Add(text.insertionPoint);
            box.Add(vec::AddScaled(vec::AddScaled(text.insertionPoint, along, advance), up,
                                   text.height));
            if (text.alignmentPoint) box.Add(*text.alignmentPoint);
            return true;
        }
        case QDXF_POLYLINE:
        case QDXF_3DFACE:
            for (int i = 0; d.polyline.vertices && i < d.polyline.count; ++i)
                box.Add(d.polyline.vertices[i].location);
            return true;
        case QDXF_INSERT:
            break;
        default:
            return true;
    }
    // An INSERT: its block measured once, its box placed.
    const Qdxf_Insert &insert = d.insert;
    auto *found = static_cast<BlockBox *>(measured_.Find(insert.blockName));
    if (!found) {
        const Qdxf_Block *block = nullptr;
        if (!read.translation.styles.FindBlock(drawing, insert.blockName, &block)) return false;
        if (!block) return true;
        found = rt::New<BlockBox>();
        if (!found || !blocks_.Append(found)) {
            rt::Free(found);
            return false;
        }
        found->block = block;
        if (!measured_.Add(block->name, found)) return false;
    }
    if (depth >= kMaxDepth || found->state == 1) return true;
    if (found->state == 0) {
        found->state = 1;
        for (const Qdxf_Entity *piece = found->block->entities; piece; piece = piece->next) {
            if (!AddTo(read, drawing, *piece, depth + 1, found->box)) return false;
        }
        found->state = 2;
    }
    const Box &inner = found->box;
    if (inner.empty()) return true;
    const Qdxf_Coord &base = found->block->basePoint;
    double c = std::cos(insert.rotationAngle), s = std::sin(insert.rotationAngle);
    int columns = std::max(insert.columnCount, 1), rows = std::max(insert.rowCount, 1);
    for (int corner = 0; corner < 8; ++corner) {
        double x = (((corner & 1) ? inner.high.x : inner.low.x) - base.x) * insert.xScale;
        double y = (((corner & 2) ? inner.high.y : inner.low.y) - base.y) * insert.yScale;
        double z = (((corner & 4) ? inner.high.z : inner.low.z) - base.z) * insert.zScale;
        for (int column : {0, columns - 1}) {
            for (int row : {0, rows - 1}) {
                double ax = x + column * insert.columnSpacing;
                double ay = y + row * insert.rowSpacing;
                box.Add(Qdxf_Coord{insert.insertionPoint.x + c * ax - s * ay,
                                   insert.insertionPoint.y + s * ax + c * ay,
                                   insert.insertionPoint.z + z});
            }
        }
    }
    return true;
}

void ModelExtents::Release() {
    for (BlockBox *block : blocks_)
        rt::Free(block);
    blocks_.Release();
    measured_.Release();
    box_ = {};
}

namespace {

Outcome TranslateInfinite(Context &context, bool bothWays) {
    Qdxf_Coord base{}, direction{};
    for (const EntityGroup &group : context.groups) {
        if (!SetAxis(base, group, 10)) SetAxis(direction, group, 11);
    }
    Qdxf_Coord unit;
    if (!vec::IsFinite(base) || !vec::Normalize(direction, &unit))
        return context.Invalid("a direction without length");
    Sketch sketch(context);
    Outcome outcome = sketch.Line(base, base);
    Qdxf_Block *block = sketch.Block();
    if (outcome == Outcome::Done) outcome = sketch.Finish();
    if (outcome != Outcome::Done) return outcome;
    Deferred item{bothWays ? Deferred::kXLine : Deferred::kRay,
                  block->entities,
                  block,
                  {base, unit},
                  {},
                  0,
                  kNoText,
                  kNoText};
    return context.translation().deferred.items.Append(item) ? Outcome::Done : Outcome::NoMemory;
}

}  // namespace

Outcome TranslateRay(Context &context) {
    return TranslateInfinite(context, false);
}

Outcome TranslateXLine(Context &context) {
    return TranslateInfinite(context, true);
}

bool FinishInfiniteLines(Qdxf_ReadState &read, const Qdxf_Info *drawing,
                         std::span<const Deferred> items) {
    auto line = [](const Deferred &item) { return item.kind != Deferred::kMLineCaps; };
    if (std::none_of(items.begin(), items.end(), line)) return true;
    ModelExtents &extents = read.translation.deferred.extents;
    for (const Qdxf_Entity *entity = drawing->entities; entity; entity = entity->next) {
        if (!extents.Add(read, drawing, *entity)) return false;
    }
    Box box = extents.box().empty() ? HeaderBox(drawing) : extents.box();
    for (const Deferred &item : items) {
        if (line(item))
            item.line->data.line =
                Clip(box, item.point[0], item.point[1], item.kind == Deferred::kXLine);
    }
    return true;
}

}  // namespace vexlith::translate
