// SPDX-License-Identifier: MIT
// Walking a drawing into primitives. Inserts are expanded with an explicit
// stack of frames, one per insert being drawn, so that the nesting the file
// asks for never becomes recursion; every entity and every array cell visited
// is counted, and the walk stops at the limits of SceneOptions.
#include "scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numbers>
#include <set>

#include "kinds.h"
#include "text.h"

namespace render {

Affine Affine::operator*(const Affine &m) const {
    return {a * m.a + c * m.b, b * m.a + d * m.b,     a * m.c + c * m.d,
            b * m.c + d * m.d, a * m.e + c * m.f + e, b * m.e + d * m.f + f};
}

Affine Affine::Rotation(double radians) {
    double cosine = std::cos(radians);
    double sine = std::sin(radians);
    return {cosine, sine, -sine, cosine, 0.0, 0.0};
}

EllipseAxes AxesOf(const Affine &m) {
    // The closed-form singular value decomposition of a 2x2 matrix:
    // m = R(phi) diag(sx, sy) R(theta), so the unit circle becomes the
    // ellipse with semi-axes |sx| and |sy| turned by phi.
    double e = (m.a + m.d) / 2.0;
    double f = (m.a - m.d) / 2.0;
    double g = (m.b + m.c) / 2.0;
    double h = (m.b - m.c) / 2.0;
    double q = std::hypot(e, h);
    double r = std::hypot(f, g);
    double phi = (std::atan2(h, e) + std::atan2(g, f)) / 2.0;
    return {q + r, std::fabs(q - r), phi};
}

namespace {

constexpr double kPi = std::numbers::pi;

// Layer and block names compare without regard to ASCII case.
std::string Key(const char *name) {
    std::string key = name ? name : "";
    for (char &c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

bool Finite(Point p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

bool Finite(const Affine &m) {
    return std::isfinite(m.a) && std::isfinite(m.b) && std::isfinite(m.c) && std::isfinite(m.d) &&
           std::isfinite(m.e) && std::isfinite(m.f);
}

Point XY(const Qdxf_Coord &coord) {
    return {coord.x, coord.y};
}

Affine Linear(const Affine &m) {
    return {m.a, m.b, m.c, m.d, 0.0, 0.0};
}

// A colour number of a layer or entity as drawn: 1 to 255, else the
// foreground.
ColorNumber Drawable(int color) {
    return color >= 1 && color <= 255 ? color : 7;
}

// Line types by name (case ignored; the first of a name wins), a tree for the
// reason LayerIndex gives.
using LtypeIndex = std::map<std::string, const Qdxf_Ltype *, std::less<>>;

LtypeIndex IndexLtypes(const Qdxf_Info &drawing) {
    LtypeIndex index;
    const Qdxf_Ltype *ltypes = drawing.tables ? drawing.tables->ltypes : nullptr;
    for (const Qdxf_Ltype *ltype = ltypes; ltype; ltype = ltype->next) {
        if (ltype->name) index.emplace(Key(ltype->name), ltype);
    }
    return index;
}

const Qdxf_Ltype *FindLtype(const LtypeIndex &index, const char *name) {
    auto found = index.find(Key(name));
    return found == index.end() ? nullptr : found->second;
}

struct LayerState {
    bool selected = true;
    bool plotted = true;  // on, thawed and not Defpoints, or every layer drawn
    bool frozen = false;
    ColorNumber color = 7;
    bool inTable = false;
    std::string name;
    const Qdxf_Ltype *ltype = nullptr;
};

// The layers by name: the table's (the first of a name wins), and the names
// entities use that the table lacks, drawn in the foreground.
class LayerIndex {
public:
    LayerIndex(const Qdxf_Info &drawing, const std::vector<std::string> &selected, bool allLayers,
               const LtypeIndex &ltypes)
        : allLayers_(allLayers) {
        for (const std::string &name : selected)
            selected_.insert(Key(name.c_str()));
        const Qdxf_Layer *layers = drawing.tables ? drawing.tables->layers : nullptr;
        for (const Qdxf_Layer *layer = layers; layer; layer = layer->next) {
            if (!layer->name) continue;
            std::string key = Key(layer->name);
            if (layers_.count(key)) continue;
            LayerState state;
            state.frozen = (layer->flags & 1) != 0 && !allLayers;
            state.selected = Selected(key);
            state.plotted = Plotted(key) && (allLayers || (layer->color >= 0 && !state.frozen));
            // An off layer keeps its colour negated, for the inserts on it.
            state.color = Drawable(layer->color < -255 ? 7 : std::abs(layer->color));
            state.inTable = true;
            state.name = layer->name;
            state.ltype = layer->ltype ? layer->ltype : FindLtype(ltypes, layer->ltypeName);
            layers_.emplace(std::move(key), state);
        }
    }

    // The layer of a name already made a key, spelt `name` in the file.
    const LayerState &Find(std::string key, const char *name) {
        auto found = layers_.find(key);
        if (found != layers_.end()) return found->second;
        LayerState state;
        state.selected = Selected(key);
        state.plotted = Plotted(key);
        state.name = name;
        return layers_.emplace(std::move(key), state).first->second;
    }

    bool Known(const std::string &name) const {
        auto found = layers_.find(Key(name.c_str()));
        return found != layers_.end() && found->second.inTable;
    }

private:
    bool Selected(const std::string &key) const {
        return selected_.empty() || selected_.count(key) != 0;
    }
    // CAD programs never plot the layer of dimensions' definition points.
    bool Plotted(const std::string &key) const { return allLayers_ || key != "DEFPOINTS"; }

    bool allLayers_;

    // Trees, not hash tables: the names come from the file, and names chosen
    // to collide must not make the walk slow.
    std::map<std::string, LayerState, std::less<>> layers_;
    std::set<std::string, std::less<>> selected_;
};

// Where a list of entities is drawn: the transformation to drawing
// coordinates, the colour BYBLOCK stands for, the layer that entities on
// layer "0" take (null outside blocks), and whether an insert on a frozen
// layer places them (they are then kept only as not plotted).
struct Place {
    Affine transform;
    ColorNumber byBlock = 7;
    const Qdxf_Ltype *byBlockLtype = nullptr;
    const LayerState *inherited = nullptr;
    bool frozen = false;
};

// One insert being drawn: its block, the next entity of the current array
// cell, and what is needed to place the following cells.
struct Frame {
    const Qdxf_Block *block = nullptr;
    const Qdxf_Entity *cursor = nullptr;
    Place place;
    Affine prefix;  // up to the insert's rotation
    Affine suffix;  // its scales and the block's base point
    double columnSpacing = 0.0;
    double rowSpacing = 0.0;
    long long columns = 1;
    long long rows = 1;
    long long column = 0;
    long long row = 0;
};

class Walker {
public:
    Walker(const Qdxf_Info &drawing, const SceneOptions &options, Sink &sink)
        : drawing_(drawing),
          options_(options),
          sink_(sink),
          ltypes_(IndexLtypes(drawing)),
          layers_(drawing, options.layers, options.allLayers, ltypes_) {
        if (drawing.header && drawing.header->ltscale > 0.0 &&
            std::isfinite(drawing.header->ltscale))
            ltscale_ = drawing.header->ltscale;
        for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
            if (block->name) blocks_.emplace(Key(block->name), block);  // the first one wins
        }
    }

    SceneStats Walk();
    void WalkOne(const Qdxf_Entity &entity) {
        Visit(entity, Place{});
        Drain();
    }

private:
    bool Spend();
    bool Admit(std::size_t points);
    const LayerState &LayerOf(const Qdxf_Entity &entity, const Place &place);
    static ColorNumber ColorOf(const Qdxf_Entity &entity, const LayerState &layer,
                               const Place &place);
    const Qdxf_Ltype *LtypeOf(const Qdxf_Entity &entity, const LayerState &layer,
                              const Place &place) const;
    void Describe(const Qdxf_Entity &entity, int kind, const LayerState &layer, const Place &place,
                  bool plotted);
    void Visit(const Qdxf_Entity &entity, const Place &place);
    void Drain();
    void PushInsert(const Qdxf_Entity &entity, const Place &place, const LayerState &layer);
    bool NextCell(Frame &frame);

    void Emit(Path &path);
    void EmitLine(Point from, Point to, const Affine &m, ColorNumber color);
    void EmitCircle(const Qdxf_Circle &circle, const Affine &m, ColorNumber color);
    void EmitArc(const Qdxf_Arc &arc, const Affine &m, ColorNumber color);
    void EmitCorners(const Qdxf_Trace &trace, const Affine &m, ColorNumber color);
    void EmitText(const Qdxf_Text &text, const Affine &m, ColorNumber color);
    void EmitPolyline(const Qdxf_Polyline &polyline, const Affine &m, ColorNumber color);
    void EmitFace(const Qdxf_Polyline &face, const Affine &m, ColorNumber color);
    void EmitDot(Point at, const Affine &m, ColorNumber color);
    void EmitMesh(const Qdxf_Polyline &polyline, const Affine &m, ColorNumber color);
    void EmitWidePolyline(const std::vector<const Qdxf_Vertex *> &vertices, bool closed,
                          const Qdxf_Polyline &polyline, const Affine &m, ColorNumber color);

    const Qdxf_Info &drawing_;
    const SceneOptions &options_;
    Sink &sink_;
    LtypeIndex ltypes_;
    LayerIndex layers_;
    double ltscale_ = 1.0;
    Source source_;                                                  // of the entity being drawn
    std::map<std::string, const Qdxf_Block *, std::less<>> blocks_;  // a tree, as layers_
    std::vector<Frame> stack_;
    Path path_;  // reused, to keep its segments' storage

    SceneStats stats_;
    std::size_t visits_ = 0;
    bool stopped_ = false;
    std::set<std::string> missingBlocks_;
    std::set<std::string> cyclicBlocks_;
    bool tooDeep_ = false;
    std::size_t notFinite_ = 0;
    std::size_t polyfaces_ = 0;
};

bool Walker::Spend() {
    if (stopped_) return false;
    if (++visits_ > options_.maxVisits) {
        stats_.capped = stopped_ = true;
        return false;
    }
    return true;
}

bool Walker::Admit(std::size_t points) {
    if (stopped_) return false;
    if (stats_.primitives + 1 > options_.maxPrimitives ||
        stats_.points + points > options_.maxPoints) {
        stats_.capped = stopped_ = true;
        return false;
    }
    ++stats_.primitives;
    stats_.points += points;
    return true;
}

const LayerState &Walker::LayerOf(const Qdxf_Entity &entity, const Place &place) {
    const char *name = entity.layer && entity.layer->name ? entity.layer->name : entity.layerName;
    std::string key = Key(name && *name ? name : "0");  // an entity without a layer is on "0"
    if (place.inherited && key == "0") return *place.inherited;
    return layers_.Find(std::move(key), name && *name ? name : "0");
}

const Qdxf_Ltype *Walker::LtypeOf(const Qdxf_Entity &entity, const LayerState &layer,
                                  const Place &place) const {
    const char *name = entity.ltypeName;
    if (!name || !*name) return layer.ltype;
    std::string key = Key(name);
    if (key == "BYLAYER") return layer.ltype;
    if (key == "BYBLOCK") return place.byBlockLtype;
    return FindLtype(ltypes_, name);
}

// The pattern of `ltype` in drawing units, scaled by `scale`; empty for a
// solid line, and for a pattern too long to be a line type.
void Pattern(const Qdxf_Ltype *ltype, double scale, std::vector<double> *dashes) {
    dashes->clear();
    constexpr int kMaxDashes = 32;
    if (!ltype || !ltype->dashLength || ltype->numDashItems < 2 ||
        ltype->numDashItems > kMaxDashes || !(scale > 0.0) || !std::isfinite(scale))
        return;
    double total = 0.0;
    for (int i = 0; i < ltype->numDashItems; ++i) {
        double length = ltype->dashLength[i] * scale;
        if (!std::isfinite(length)) {
            dashes->clear();
            return;
        }
        total += std::fabs(length);
        dashes->push_back(length);
    }
    if (!(total > 0.0)) dashes->clear();
}

void Walker::Describe(const Qdxf_Entity &entity, int kind, const LayerState &layer,
                      const Place &place, bool plotted) {
    source_.layer = layer.name;
    source_.plotted = plotted;
    source_.kind = KindName(static_cast<Qdxf_EntityType>(kind));
    source_.handle = entity.handle;
    source_.blockPath.clear();
    for (const Frame &frame : stack_) {
        if (!source_.blockPath.empty()) source_.blockPath += '/';
        source_.blockPath += frame.block->name ? frame.block->name : "";
    }
    double scale = ltscale_ * std::sqrt(std::fabs(place.transform.Determinant()));
    Pattern(LtypeOf(entity, layer, place), scale, &source_.dashes);
}

ColorNumber Walker::ColorOf(const Qdxf_Entity &entity, const LayerState &layer,
                            const Place &place) {
    if (entity.color == 0) return place.byBlock;
    if (entity.color == 256) return layer.color;
    return Drawable(entity.color);
}

SceneStats Walker::Walk() {
    bool modelSpace = false;
    for (const Qdxf_Entity *entity = drawing_.entities; entity; entity = entity->next)
        modelSpace = modelSpace || entity->space == 0;
    Place top;
    for (const Qdxf_Entity *entity = drawing_.entities; entity && !stopped_;
         entity = entity->next) {
        if (modelSpace && entity->space != 0) continue;
        source_.entity = entity;
        Visit(*entity, top);
        Drain();
    }

    if (stats_.capped) {
        stats_.warnings.push_back(
            "the drawing is larger than the limits of " + std::to_string(options_.maxPrimitives) +
            " elements, " + std::to_string(options_.maxPoints) + " points and " +
            std::to_string(options_.maxVisits) + " entities visited: the rest is not drawn");
    }
    for (const std::string &name : missingBlocks_)
        stats_.warnings.push_back("no block named '" + name + "': its inserts are not drawn");
    for (const std::string &name : cyclicBlocks_) {
        stats_.warnings.push_back("block '" + name +
                                  "' inserts itself: the inner inserts are not drawn");
    }
    if (tooDeep_) {
        stats_.warnings.push_back("inserts nested deeper than " +
                                  std::to_string(options_.maxDepth) + " levels are not drawn");
    }
    if (notFinite_) {
        stats_.warnings.push_back(std::to_string(notFinite_) +
                                  " elements with coordinates out of range are not drawn");
    }
    for (const std::string &name : options_.layers) {
        if (!layers_.Known(name)) stats_.warnings.push_back("no layer named '" + name + "'");
    }
    if (polyfaces_) {
        stats_.warnings.push_back(std::to_string(polyfaces_) +
                                  " polyface meshes are drawn as their vertices alone");
    }
    return stats_;
}

void Walker::Visit(const Qdxf_Entity &entity, const Place &place) {
    if (!Spend()) return;
    int kind = KindOf(entity);
    if (kind == QDXF_INVALID) return;
    const LayerState &layer = LayerOf(entity, place);
    if (kind == QDXF_INSERT) return PushInsert(entity, place, layer);
    bool plotted = layer.plotted && !place.frozen;
    if (!layer.selected || (!plotted && !options_.keepUnplotted)) return;
    Describe(entity, kind, layer, place, plotted);
    ColorNumber color = ColorOf(entity, layer, place);
    const Affine &m = place.transform;
    switch (kind) {
        case QDXF_LINE:
            return EmitLine(XY(entity.data.line.start), XY(entity.data.line.end), m, color);
        case QDXF_POINT:
            return EmitDot(XY(entity.data.point.location), m, color);
        case QDXF_CIRCLE:
            return EmitCircle(entity.data.circle, m, color);
        case QDXF_ARC:
            return EmitArc(entity.data.arc, m, color);
        case QDXF_TRACE:
        case QDXF_SOLID:
            return EmitCorners(entity.data.trace, m, color);
        case QDXF_TEXT:
            return EmitText(entity.data.text, m, color);
        case QDXF_POLYLINE:
            return EmitPolyline(entity.data.polyline, m, color);
        case QDXF_3DFACE:
            return EmitFace(entity.data.polyline, m, color);
        default:
            return;
    }
}

void Walker::Drain() {
    while (!stack_.empty() && !stopped_) {
        Frame &frame = stack_.back();
        if (frame.cursor) {
            const Qdxf_Entity &entity = *frame.cursor;
            frame.cursor = entity.next;
            Place place = frame.place;  // Visit may push a frame and move this one
            Visit(entity, place);
        } else if (!NextCell(frame)) {
            stack_.pop_back();
        }
    }
}

void Walker::PushInsert(const Qdxf_Entity &entity, const Place &place, const LayerState &layer) {
    // An insert on a frozen layer draws nothing, whatever its pieces' layers.
    if (layer.frozen && !options_.keepUnplotted) return;
    const Qdxf_Insert &insert = entity.data.insert;
    auto found = blocks_.find(Key(insert.blockName));
    if (found == blocks_.end()) {
        missingBlocks_.insert(insert.blockName ? insert.blockName : "");
        return;
    }
    const Qdxf_Block *block = found->second;
    if (!block->entities) return;
    for (const Frame &open : stack_) {
        if (open.block == block) {
            cyclicBlocks_.insert(block->name);
            return;
        }
    }
    if (stack_.size() >= static_cast<std::size_t>(std::max(options_.maxDepth, 0))) {
        tooDeep_ = true;
        return;
    }

    Frame frame;
    frame.block = block;
    frame.cursor = block->entities;
    frame.prefix = place.transform *
                   Affine::Translation(insert.insertionPoint.x, insert.insertionPoint.y) *
                   Affine::Rotation(insert.rotationAngle);
    frame.suffix = Affine::Scale(insert.xScale, insert.yScale) *
                   Affine::Translation(-block->basePoint.x, -block->basePoint.y);
    frame.place.transform = frame.prefix * frame.suffix;
    double determinant = frame.place.transform.Determinant();
    if (!Finite(frame.place.transform) || !std::isfinite(determinant) ||
        !std::isfinite(insert.columnSpacing) || !std::isfinite(insert.rowSpacing)) {
        ++notFinite_;
        return;
    }
    if (determinant == 0.0) return;  // a scale of 0: the block collapses to nothing
    frame.columnSpacing = insert.columnSpacing;
    frame.rowSpacing = insert.rowSpacing;
    frame.columns = std::max(insert.columnCount, 1);
    frame.rows = std::max(insert.rowCount, 1);
    frame.place.byBlock = ColorOf(entity, layer, place);
    frame.place.byBlockLtype = LtypeOf(entity, layer, place);
    frame.place.inherited = &layer;
    frame.place.frozen = place.frozen || layer.frozen;
    stack_.push_back(frame);
}

bool Walker::NextCell(Frame &frame) {
    if (++frame.column == frame.columns) {
        frame.column = 0;
        if (++frame.row == frame.rows) return false;
    }
    if (!Spend()) return false;
    // Array cells are spaced in the insert's rotated frame, unscaled.
    frame.place.transform =
        frame.prefix *
        Affine::Translation(static_cast<double>(frame.column) * frame.columnSpacing,
                            static_cast<double>(frame.row) * frame.rowSpacing) *
        frame.suffix;
    frame.cursor = frame.block->entities;
    return true;
}

void Walker::Emit(Path &path) {
    bool finite = Finite(path.start) && std::isfinite(path.width);
    for (const Segment &segment : path.segments) {
        finite = finite && Finite(segment.to) &&
                 (!segment.arc ||
                  (Finite(segment.center) && Finite(segment.shape) &&
                   std::isfinite(segment.startParameter) && std::isfinite(segment.sweep)));
    }
    if (!finite) {
        ++notFinite_;
        return;
    }
    path.source = &source_;
    if (Admit(1 + path.segments.size())) sink_.AddPath(path);
}

// A fresh path in path_, starting at `start`.
Path &StartPath(Path &path, Point start, ColorNumber color) {
    path.start = start;
    path.segments.clear();
    path.closed = path.filled = false;
    path.width = 0.0;
    path.color = color;
    return path;
}

void LineTo(Path &path, Point to) {
    path.segments.emplace_back().to = to;
}

// An arc of the circle (center, radius) in the entity's frame, from angle
// `start` through `sweep`, mapped by m.
void ArcTo(Path &path, const Affine &m, Point center, double radius, double start, double sweep) {
    Segment segment;
    segment.arc = true;
    segment.to = m.Apply(
        {center.x + radius * std::cos(start + sweep), center.y + radius * std::sin(start + sweep)});
    segment.center = m.Apply(center);
    segment.shape = Linear(m) * Affine::Scale(radius, radius);
    segment.startParameter = start;
    segment.sweep = sweep;
    path.segments.push_back(segment);
}

void Walker::EmitLine(Point from, Point to, const Affine &m, ColorNumber color) {
    Path &path = StartPath(path_, m.Apply(from), color);
    LineTo(path, m.Apply(to));
    Emit(path);
}

void Walker::EmitDot(Point at, const Affine &m, ColorNumber color) {
    Dot dot{m.Apply(at), color, &source_};
    if (!Finite(dot.at)) {
        ++notFinite_;
        return;
    }
    if (Admit(1)) sink_.AddDot(dot);
}

void Walker::EmitCircle(const Qdxf_Circle &circle, const Affine &m, ColorNumber color) {
    if (!(circle.radius > 0.0)) return;
    Ellipse ellipse{m.Apply(XY(circle.center)),
                    Linear(m) * Affine::Scale(circle.radius, circle.radius), color, &source_};
    if (!Finite(ellipse.center) || !Finite(ellipse.shape)) {
        ++notFinite_;
        return;
    }
    if (Admit(1)) sink_.AddEllipse(ellipse);
}

void Walker::EmitArc(const Qdxf_Arc &arc, const Affine &m, ColorNumber color) {
    if (!(arc.radius > 0.0) || !std::isfinite(arc.startAngle) || !std::isfinite(arc.endAngle))
        return;
    // Counter-clockwise from the start to the end angle; equal angles make a
    // whole circle.
    double sweep = std::fmod(arc.endAngle - arc.startAngle, 2.0 * kPi);
    if (sweep <= 0.0) sweep += 2.0 * kPi;
    Point center = XY(arc.center);
    Path &path = StartPath(path_,
                           m.Apply({center.x + arc.radius * std::cos(arc.startAngle),
                                    center.y + arc.radius * std::sin(arc.startAngle)}),
                           color);
    ArcTo(path, m, center, arc.radius, arc.startAngle, sweep);
    Emit(path);
}

void Walker::EmitCorners(const Qdxf_Trace &trace, const Affine &m, ColorNumber color) {
    // The third and fourth corners are stored crosswise: the outline runs
    // through corners 0, 1, 3 and 2.
    Path &path = StartPath(path_, m.Apply(XY(trace.corner[0])), color);
    for (int corner : {1, 3, 2})
        LineTo(path, m.Apply(XY(trace.corner[corner])));
    path.closed = path.filled = true;
    Emit(path);
}

void Walker::EmitFace(const Qdxf_Polyline &face, const Affine &m, ColorNumber color) {
    if (!face.vertices || face.count <= 0) return;
    if (face.count == 1) return EmitDot(XY(face.vertices[0].location), m, color);
    // Read with the options, a 3DFACE keeps its hidden edges (group 70: bit i
    // the edge from corner i), and a translated polyface mesh's faces theirs.
    if (int hidden = face.flag & 15) {
        for (int i = 0; i < face.count && i < 4; ++i) {
            if (!(hidden & (1 << i)))
                EmitLine(XY(face.vertices[i].location),
                         XY(face.vertices[(i + 1) % face.count].location), m, color);
        }
        return;
    }
    Path &path = StartPath(path_, m.Apply(XY(face.vertices[0].location)), color);
    for (int i = 1; i < face.count; ++i)
        LineTo(path, m.Apply(XY(face.vertices[i].location)));
    path.closed = true;
    Emit(path);
}

void Walker::EmitText(const Qdxf_Text &text, const Affine &m, ColorNumber color) {
    if (!text.text || !(text.height > 0.0)) return;
    Label label;
    label.text = DecodeText(text.text);
    if (label.text.empty()) return;
    label.color = color;
    label.source = &source_;
    double height = text.height;
    double widthFactor = text.xScale != 0.0 && std::isfinite(text.xScale) ? text.xScale : 1.0;
    double angle = text.angle;
    Point anchor = XY(text.insertionPoint);
    double baselineShift = 0.0;  // in text heights, up

    // With a justification the alignment point is the anchor; aligned (3)
    // and fitted (5) text runs from the insertion point to it. Without an
    // alignment point the insertion point is the start of the baseline.
    int horizontal = text.horizJust;
    if (text.alignmentPoint && (horizontal != 0 || text.vertJust != 0)) {
        Point alignment = XY(*text.alignmentPoint);
        if (horizontal == 3 || horizontal == 5) {
            double dx = alignment.x - anchor.x;
            double dy = alignment.y - anchor.y;
            double length = std::hypot(dx, dy);
            if (length > 0.0) {
                angle = std::atan2(dy, dx);
                label.fit = length / (height * std::fabs(widthFactor));
            }
        } else {
            anchor = alignment;
            if (horizontal == 1 || horizontal == 4) label.align = TextAlign::Middle;
            if (horizontal == 2) label.align = TextAlign::End;
            switch (horizontal == 4 ? 2 : text.vertJust) {
                case 1:  // bottom: the descenders rest on the anchor
                    baselineShift = 0.3;
                    break;
                case 2:  // middle of the capitals
                    baselineShift = -0.5;
                    break;
                case 3:  // top of the capitals
                    baselineShift = -1.0;
                    break;
                default:
                    break;
            }
        }
    }
    double oblique =
        std::clamp(std::isfinite(text.obliqueAngle) ? text.obliqueAngle : 0.0, -1.4, 1.4);
    double backward = (text.flags & 2) ? -1.0 : 1.0;
    double upsideDown = (text.flags & 4) ? -1.0 : 1.0;
    Affine rotation = Affine::Rotation(angle);
    Point xAxis = rotation.ApplyVector({height * widthFactor * backward, 0.0});
    Point yAxis = rotation.ApplyVector({height * std::tan(oblique), height * upsideDown});
    Point up = rotation.ApplyVector({0.0, height * upsideDown});
    Point origin{anchor.x + baselineShift * up.x, anchor.y + baselineShift * up.y};

    label.origin = m.Apply(origin);
    label.xAxis = m.ApplyVector(xAxis);
    label.yAxis = m.ApplyVector(yAxis);
    if (!Finite(label.origin) || !Finite(label.xAxis) || !Finite(label.yAxis) ||
        !std::isfinite(label.fit)) {
        ++notFinite_;
        return;
    }
    // A text costs about as much output as a path of a point per few letters.
    if (Admit(1 + label.text.size() / 8)) sink_.AddLabel(label);
}

void Walker::EmitMesh(const Qdxf_Polyline &polyline, const Affine &m, ColorNumber color) {
    // A smoothed mesh (flag 4) holds its control vertices (flag 16) and the
    // vertices of the smooth surface (flag 8) in one list: the surface is
    // drawn when it is all there, else the control mesh.
    long long rows = polyline.meshVertexCount[0];
    long long columns = polyline.meshVertexCount[1];
    std::vector<const Qdxf_Vertex *> grid;
    if (polyline.flag & 4) {
        for (int i = 0; i < polyline.count; ++i) {
            if (polyline.vertices[i].flags & 8) grid.push_back(&polyline.vertices[i]);
        }
        long long smoothRows = polyline.smoothSurfaceDensity[0];
        long long smoothColumns = polyline.smoothSurfaceDensity[1];
        if (smoothRows > 0 && smoothColumns > 0 &&
            static_cast<long long>(grid.size()) == smoothRows * smoothColumns) {
            rows = smoothRows;
            columns = smoothColumns;
        } else {
            grid.clear();
        }
    }
    if (grid.empty()) {
        for (int i = 0; i < polyline.count; ++i) {
            if (!(polyline.vertices[i].flags & 8)) grid.push_back(&polyline.vertices[i]);
        }
    }
    if (rows <= 0 || columns <= 0 || rows * columns > static_cast<long long>(grid.size())) {
        for (const Qdxf_Vertex *vertex : grid)
            EmitDot(XY(vertex->location), m, color);
        return;
    }

    // Each row of vertices is a line, and so is each column; flag 1 closes
    // the columns (the M direction), flag 32 the rows (the N direction).
    auto location = [&](long long row, long long column) {
        return m.Apply(XY(grid[static_cast<std::size_t>(row * columns + column)]->location));
    };
    for (long long row = 0; row < rows && !stopped_; ++row) {
        Path &path = StartPath(path_, location(row, 0), color);
        for (long long column = 1; column < columns; ++column)
            LineTo(path, location(row, column));
        path.closed = (polyline.flag & 32) != 0;
        Emit(path);
    }
    for (long long column = 0; column < columns && !stopped_; ++column) {
        Path &path = StartPath(path_, location(0, column), color);
        for (long long row = 1; row < rows; ++row)
            LineTo(path, location(row, column));
        path.closed = (polyline.flag & 1) != 0;
        Emit(path);
    }
}

// The arc a bulge asks for between two points: its center, radius, start
// angle and sweep. The bulge is the tangent of a quarter of the included
// angle, positive counter-clockwise.
struct BulgeArc {
    Point center;
    double radius;
    double start;
    double sweep;
};

bool BulgeToArc(Point from, Point to, double bulge, BulgeArc *arc) {
    if (!(std::fabs(bulge) > 1e-12) || !std::isfinite(bulge)) return false;
    double dx = to.x - from.x;
    double dy = to.y - from.y;
    double chord = std::hypot(dx, dy);
    if (!(chord > 0.0)) return false;
    double sweep = 4.0 * std::atan(bulge);
    double offset = chord / 2.0 / std::tan(sweep / 2.0);  // from the chord's middle, to the left
    arc->center = {(from.x + to.x) / 2.0 - dy / chord * offset,
                   (from.y + to.y) / 2.0 + dx / chord * offset};
    arc->radius = chord / (2.0 * std::fabs(std::sin(sweep / 2.0)));
    arc->start = std::atan2(from.y - arc->center.y, from.x - arc->center.x);
    arc->sweep = sweep;
    return std::isfinite(arc->radius) && Finite(arc->center);
}

// A vertex's widths: its own, or the polyline's defaults when it has none.
std::pair<double, double> Widths(const Qdxf_Vertex &vertex, const Qdxf_Polyline &polyline) {
    if (vertex.startingWidth != 0.0 || vertex.endingWidth != 0.0)
        return {vertex.startingWidth, vertex.endingWidth};
    return {polyline.defaultStartingWidth, polyline.defaultEndingWidth};
}

void Walker::EmitPolyline(const Qdxf_Polyline &polyline, const Affine &m, ColorNumber color) {
    if (!polyline.vertices || polyline.count <= 0) return;
    int flag = polyline.flag;
    if (flag & 64) {
        // A polyface mesh: its faces' vertex indices are not held, so only
        // the vertices that carry locations are shown.
        ++polyfaces_;
        for (int i = 0; i < polyline.count && !stopped_; ++i) {
            const Qdxf_Vertex &vertex = polyline.vertices[i];
            if (vertex.flags & 64) EmitDot(XY(vertex.location), m, color);
        }
        return;
    }
    if (flag & 16) return EmitMesh(polyline, m, color);

    // Spline-fit polylines keep their frame's control points as vertices
    // too (flag 16); only the fitted ones are drawn.
    std::vector<const Qdxf_Vertex *> vertices;
    vertices.reserve(static_cast<std::size_t>(polyline.count));
    for (int i = 0; i < polyline.count; ++i) {
        const Qdxf_Vertex &vertex = polyline.vertices[i];
        if ((flag & 4) && (vertex.flags & 16)) continue;
        vertices.push_back(&vertex);
    }
    if (vertices.empty()) return;
    if (vertices.size() == 1) return EmitDot(XY(vertices[0]->location), m, color);
    bool closed = (flag & 1) != 0;
    bool plane = (flag & 8) == 0;  // 3-D polylines have no bulges or widths

    std::size_t segments = closed ? vertices.size() : vertices.size() - 1;
    double width = -1.0;
    bool uniform = true;
    if (plane) {
        for (std::size_t i = 0; i < segments; ++i) {
            auto [start, end] = Widths(*vertices[i], polyline);
            if (width < 0.0) width = start;
            uniform = uniform && start == width && end == width;
        }
        if (!uniform) return EmitWidePolyline(vertices, closed, polyline, m, color);
    }

    Path &path = StartPath(path_, m.Apply(XY(vertices[0]->location)), color);
    for (std::size_t i = 0; i < segments; ++i) {
        Point from = XY(vertices[i]->location);
        Point to = XY(vertices[(i + 1) % vertices.size()]->location);
        BulgeArc arc;
        if (plane && BulgeToArc(from, to, vertices[i]->bulge, &arc)) {
            ArcTo(path, m, arc.center, arc.radius, arc.start, arc.sweep);
            path.segments.back().to = m.Apply(to);  // exactly the next vertex
        } else {
            LineTo(path, m.Apply(to));
        }
    }
    path.closed = closed;
    if (plane && width > 0.0) path.width = width * std::sqrt(std::fabs(m.Determinant()));
    Emit(path);
}

// A polyline whose width changes: each segment is an outline of its own,
// filled, its sides the given widths apart; an arc's outline follows it in
// steps of at most ten degrees.
void Walker::EmitWidePolyline(const std::vector<const Qdxf_Vertex *> &vertices, bool closed,
                              const Qdxf_Polyline &polyline, const Affine &m, ColorNumber color) {
    std::size_t segments = closed ? vertices.size() : vertices.size() - 1;
    std::vector<Point> left;
    std::vector<Point> right;
    for (std::size_t i = 0; i < segments && !stopped_; ++i) {
        Point from = XY(vertices[i]->location);
        Point to = XY(vertices[(i + 1) % vertices.size()]->location);
        auto [startWidth, endWidth] = Widths(*vertices[i], polyline);
        if (startWidth == 0.0 && endWidth == 0.0) {
            EmitLine(from, to, m, color);
            continue;
        }
        left.clear();
        right.clear();
        BulgeArc arc;
        if (BulgeToArc(from, to, vertices[i]->bulge, &arc)) {
            int steps = std::max(2, static_cast<int>(std::ceil(std::fabs(arc.sweep) / (kPi / 18))));
            for (int step = 0; step <= steps; ++step) {
                double share = static_cast<double>(step) / steps;
                double angle = arc.start + arc.sweep * share;
                double half = (startWidth + (endWidth - startWidth) * share) / 2.0;
                Point radial{std::cos(angle), std::sin(angle)};
                left.push_back({arc.center.x + (arc.radius + half) * radial.x,
                                arc.center.y + (arc.radius + half) * radial.y});
                right.push_back({arc.center.x + (arc.radius - half) * radial.x,
                                 arc.center.y + (arc.radius - half) * radial.y});
            }
        } else {
            double length = std::hypot(to.x - from.x, to.y - from.y);
            if (!(length > 0.0)) continue;
            Point normal{-(to.y - from.y) / length, (to.x - from.x) / length};
            left = {{from.x + normal.x * startWidth / 2, from.y + normal.y * startWidth / 2},
                    {to.x + normal.x * endWidth / 2, to.y + normal.y * endWidth / 2}};
            right = {{from.x - normal.x * startWidth / 2, from.y - normal.y * startWidth / 2},
                     {to.x - normal.x * endWidth / 2, to.y - normal.y * endWidth / 2}};
        }
        Path &path = StartPath(path_, m.Apply(left[0]), color);
        for (std::size_t k = 1; k < left.size(); ++k)
            LineTo(path, m.Apply(left[k]));
        for (std::size_t k = right.size(); k-- > 0;)
            LineTo(path, m.Apply(right[k]));
        path.closed = path.filled = true;
        Emit(path);
    }
}

}  // namespace

SceneStats WalkDrawing(const Qdxf_Info &drawing, const SceneOptions &options, Sink &sink) {
    Walker walker(drawing, options, sink);
    return walker.Walk();
}

struct EntityWalker::State {
    Walker walker;
};

EntityWalker::EntityWalker(const Qdxf_Info &drawing, const SceneOptions &options, Sink &sink)
    : state_(new State{Walker(drawing, options, sink)}) {}

EntityWalker::~EntityWalker() = default;

void EntityWalker::Walk(const Qdxf_Entity &entity) {
    state_->walker.WalkOne(entity);
}

}  // namespace render
