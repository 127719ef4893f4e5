// SPDX-License-Identifier: MIT
// RAY and XLINE: a LINE from the base point along the direction (RAY), or
// through the base point both ways (XLINE), clipped to a box: the drawing's
// extents with the base point in them, grown on every side by their largest
// side (by 1 drawing unit for extents without size), so that the line
// reaches as far past the drawing again as the drawing is large.
// The extents are those of the model space entities of the ENTITIES section:
// an INSERT by the box of its block's pieces placed by its scales, angle and
// array, a circle or an arc by its whole circle, a text by its insertion and
// alignment points and its estimated advance; points in the coordinate
// system of an extrusion direction are taken as the record holds them (exact
// with QDXF_READ_WORLD, or for the default direction). They are known at the
// end of the read, when each LINE gets its ends; before that (and for good,
// for a LINE handed to an entity callback) the LINE is clipped to the
// header's $EXTMIN and $EXTMAX where the header gives them, or to the base
// point alone.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "model/release.h"
#include "model/text_advance.h"
#include "runtime/name_index.h"
#include "translate/deferred.h"
#include "translate/translator.h"
#include "translate/vector.h"

namespace vexlith::translate {
namespace {

// Nested INSERTs deeper than this add nothing to the extents.
constexpr int kMaxDepth = 32;

struct Box {
    Qdxf_Coord low{}, high{};
    bool empty = true;

    void Add(const Qdxf_Coord &p) {
        if (!vec::IsFinite(p)) return;
        if (empty) {
            low = high = p;
            empty = false;
            return;
        }
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
};

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
    double grow = std::max({box.high.x - box.low.x, box.high.y - box.low.y, box.high.z - box.low.z});
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
    return {vec::AddScaled(base, direction, first), vec::AddScaled(base, direction, last)};
}

// The extents of the drawing's entities, block by block at most once.
class Extents {
public:
    explicit Extents(std::span<const Qdxf_Entity *const> excluded) : excluded_(excluded) {}
    ~Extents() {
        rt::Free(blocks_);
        index_.Release();
    }
    Extents(const Extents &) = delete;
    Extents &operator=(const Extents &) = delete;

    // False when the heap is exhausted.
    bool Of(const Qdxf_Info *drawing, Box *box) {
        std::size_t count = 0;
        for (const Qdxf_Block *block = drawing->blocks; block; block = block->next)
            ++count;
        blocks_ = rt::NewArray<BlockBox>(count);
        if (!blocks_) return false;
        std::size_t at = 0;
        for (const Qdxf_Block *block = drawing->blocks; block; block = block->next, ++at) {
            blocks_[at].block = block;
            if (block->name && !index_.Add(block->name, &blocks_[at])) return false;
        }
        for (const Qdxf_Entity *entity = drawing->entities; entity; entity = entity->next) {
            if (entity->space != 1) Add(*entity, 0, *box);
        }
        return true;
    }

private:
    struct BlockBox {
        const Qdxf_Block *block;
        Box box;
        int state;  // 0 not yet, 1 being measured, 2 measured
    };

    void Add(const Qdxf_Entity &entity, int depth, Box &box) {
        const auto &d = entity.data;
        switch (EntityKind(entity)) {
            case QDXF_LINE:
                if (std::binary_search(excluded_.begin(), excluded_.end(), &entity)) return;
                box.Add(d.line.start);
                box.Add(d.line.end);
                return;
            case QDXF_POINT:
                box.Add(d.point.location);
                return;
            case QDXF_CIRCLE:
            case QDXF_ARC: {
                const Qdxf_Coord &c = d.circle.center;
                double r = std::fabs(d.circle.radius);
                box.Add(Qdxf_Coord{c.x - r, c.y - r, c.z});
                box.Add(Qdxf_Coord{c.x + r, c.y + r, c.z});
                return;
            }
            case QDXF_TRACE:
            case QDXF_SOLID:
                for (const Qdxf_Coord &corner : d.trace.corner)
                    box.Add(corner);
                return;
            case QDXF_TEXT: {
                const Qdxf_Text &text = d.text;
                double advance =
                    text.text ? TextAdvance(text.text) * text.height * text.xScale : 0;
                Qdxf_Coord along{std::cos(text.angle), std::sin(text.angle), 0};
                Qdxf_Coord up{-along.y, along.x, 0};
                box.Add(text.insertionPoint);
                box.Add(vec::AddScaled(vec::AddScaled(text.insertionPoint, along, advance), up,
                                       text.height));
                if (text.alignmentPoint) box.Add(*text.alignmentPoint);
                return;
            }
            case QDXF_POLYLINE:
            case QDXF_3DFACE:
                for (int i = 0; d.polyline.vertices && i < d.polyline.count; ++i)
                    box.Add(d.polyline.vertices[i].location);
                return;
            case QDXF_INSERT:
                AddInsert(d.insert, depth, box);
                return;
            default:
                return;
        }
    }

    void AddInsert(const Qdxf_Insert &insert, int depth, Box &box) {
        auto *found = static_cast<BlockBox *>(index_.Find(insert.blockName));
        if (!found || depth >= kMaxDepth || found->state == 1) return;
        if (found->state == 0) {
            found->state = 1;
            for (const Qdxf_Entity *piece = found->block->entities; piece; piece = piece->next)
                Add(*piece, depth + 1, found->box);
            found->state = 2;
        }
        const Box &inner = found->box;
        if (inner.empty) return;
        const Qdxf_Coord &base = found->block->basePoint;
        double c = std::cos(insert.rotationAngle), s = std::sin(insert.rotationAngle);
        int columns = std::max(insert.columnCount, 1), rows = std::max(insert.rowCount, 1);
        for (int corner = 0; corner < 8; ++corner) {
            double x = ((corner & 1) ? inner.high.x : inner.low.x) - base.x;
            double y = ((corner & 2) ? inner.high.y : inner.low.y) - base.y;
            double z = ((corner & 4) ? inner.high.z : inner.low.z) - base.z;
            x *= insert.xScale;
            y *= insert.yScale;
            for (int column : {0, columns - 1}) {
                for (int row : {0, rows - 1}) {
                    double ax = x + column * insert.columnSpacing;
                    double ay = y + row * insert.rowSpacing;
                    box.Add(Qdxf_Coord{insert.insertionPoint.x + c * ax - s * ay,
                             insert.insertionPoint.y + s * ax + c * ay,
                             insert.insertionPoint.z + z * insert.zScale});
                }
            }
        }
    }

    std::span<const Qdxf_Entity *const> excluded_;
    BlockBox *blocks_ = nullptr;
    rt::NameIndex index_;
};

Outcome TranslateInfinite(Context &context, bool bothWays) {
    Qdxf_Coord base{}, direction{};
    for (const EntityGroup &group : context.groups) {
        if (!SetAxis(base, group, 10)) SetAxis(direction, group, 11);
    }
    Qdxf_Coord unit;
    if (!vec::IsFinite(base) || !vec::Normalize(direction, &unit))
        return context.Invalid("a direction without length");
    Qdxf_Entity &entity = context.entity;
    entity.type = QDXF_LINE;
    entity.data.line = Clip(HeaderBox(context.drawing), base, unit, bothWays);
    // An entity a callback sees keeps these ends: it is released before the end.
    if (!context.parent && context.read.entityCallback) return Outcome::Done;
    Deferred item{bothWays ? Deferred::kXLine : Deferred::kRay, &entity, nullptr, {base, unit},
                  {},  0, kNoText, kNoText};
    return context.translation().deferred.items.Append(item) ? Outcome::Done : Outcome::NoMemory;
}

}  // namespace

Outcome TranslateRay(Context &context) {
    return TranslateInfinite(context, false);
}

Outcome TranslateXLine(Context &context) {
    return TranslateInfinite(context, true);
}

bool FinishInfiniteLines(const Qdxf_Info *drawing, std::span<const Deferred> items) {
    rt::Scratch<const Qdxf_Entity *> lines;
    bool done = [&] {
        for (const Deferred &item : items) {
            if (item.kind != Deferred::kMLineCaps && !lines.Append(item.line)) return false;
        }
        if (lines.empty()) return true;
        std::sort(lines.data(), lines.data() + lines.size());
        Extents extents(std::span(lines.data(), lines.size()));
        Box box;
        if (!extents.Of(drawing, &box)) return false;
        if (box.empty) box = HeaderBox(drawing);
        for (const Deferred &item : items) {
            if (item.kind == Deferred::kMLineCaps) continue;
            item.line->data.line =
                Clip(box, item.point[0], item.point[1], item.kind == Deferred::kXLine);
        }
        return true;
    }();
    lines.Release();
    return done;
}

}  // namespace vexlith::translate
