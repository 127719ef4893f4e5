// SPDX-License-Identifier: MIT
// A drawing as flat primitives in drawing units: the entities of the ENTITIES
// section with every INSERT expanded, colours and layers resolved, ready for
// a picture. Uses the public records only.
#ifndef VEXLITH_RENDER_SCENE_H
#define VEXLITH_RENDER_SCENE_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "vexlith.h"

namespace render {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// A 2-D affine map in SVG's matrix order: x' = a x + c y + e, y' = b x + d y + f.
struct Affine {
    double a = 1.0, b = 0.0, c = 0.0, d = 1.0, e = 0.0, f = 0.0;

    Point Apply(Point p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
    // The linear part alone, for directions and lengths.
    Point ApplyVector(Point v) const { return {a * v.x + c * v.y, b * v.x + d * v.y}; }
    double Determinant() const { return a * d - b * c; }
    // This map after `first`: (this * first)(p) = this(first(p)).
    Affine operator*(const Affine &first) const;

    static Affine Translation(double x, double y) { return {1.0, 0.0, 0.0, 1.0, x, y}; }
    static Affine Scale(double x, double y) { return {x, 0.0, 0.0, y, 0.0, 0.0}; }
    static Affine Rotation(double radians);
};

// The ellipse a unit circle becomes under a linear map: its semi-axes and the
// angle of the first axis (radians, counter-clockwise from x).
struct EllipseAxes {
    double rx = 0.0;
    double ry = 0.0;
    double rotation = 0.0;
};
EllipseAxes AxesOf(const Affine &linear);

// One piece of a path, ending at `to`. An arc runs on the ellipse
// center + shape(cos t, sin t) for t from `startParameter` through `sweep`
// (radians; positive counter-clockwise in the circle's own frame).
struct Segment {
    Point to;
    bool arc = false;
    Point center;
    Affine shape;  // linear part only; the circle's radius is in it
    double startParameter = 0.0;
    double sweep = 0.0;
};

// A colour as a DXF colour number, 1 to 255, after BYLAYER and BYBLOCK are
// resolved; 7 stands for the foreground (white on black, black on white).
using ColorNumber = int;

// Where a primitive comes from, for outputs that say so: valid only during the
// sink's call.
struct Source {
    std::string layer;             // the layer it is drawn on, as the file spells it
    const char *kind = "";         // the entity's kind, "LINE" ... "3DFACE"
    const char *handle = nullptr;  // the entity's handle, when it has one
    std::string blockPath;         // the blocks it is placed through, outermost first, "/"-joined
    // The entity of the ENTITIES section it is drawn for: the INSERT for what
    // its block holds.
    const Qdxf_Entity *entity = nullptr;
    // The line type's pattern in drawing units (positive a dash, negative a
    // gap, 0 a dot), scaled by $LTSCALE and the inserts; empty for a solid
    // line.
    std::vector<double> dashes;
    // False for what CAD programs do not plot (SceneOptions::keepUnplotted).
    bool plotted = true;
};

// Lines, arcs, outlines and filled areas. `width` is the stroke width in
// drawing units, 0 for the thinnest visible line.
struct Path {
    Point start;
    std::vector<Segment> segments;
    bool closed = false;
    bool filled = false;
    double width = 0.0;
    ColorNumber color = 7;
    const Source *source = nullptr;
};

// A whole circle as its transformed ellipse.
struct Ellipse {
    Point center;
    Affine shape;
    ColorNumber color = 7;
    const Source *source = nullptr;
};

// A POINT: a small dot whatever the scale.
struct Dot {
    Point at;
    ColorNumber color = 7;
    const Source *source = nullptr;
};

enum class TextAlign { Start, Middle, End };

// One line of text. Its frame has the origin on the baseline at the anchor,
// `xAxis` along the baseline and `yAxis` up, each one text height long in
// drawing units (width factor, obliquing and mirroring included). `fit`, when
// positive, is the length the text is stretched to, in text heights along
// `xAxis` (aligned and fitted text).
struct Label {
    Point origin;
    Point xAxis;
    Point yAxis;
    std::string text;  // UTF-8, without control characters
    TextAlign align = TextAlign::Start;
    double fit = 0.0;
    ColorNumber color = 7;
    const Source *source = nullptr;
};

// Receives the primitives of a drawing in drawing order.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void AddPath(const Path &path) = 0;
    virtual void AddEllipse(const Ellipse &ellipse) = 0;
    virtual void AddDot(const Dot &dot) = 0;
    virtual void AddLabel(const Label &label) = 0;
};

struct SceneOptions {
    // Only entities on these layers are drawn (names as in the file, case
    // ignored); empty draws every layer.
    std::vector<std::string> layers;
    // What CAD programs do not plot (the layer Defpoints, layers off or
    // frozen, and whatever an insert on a frozen layer places) is drawn as
    // the rest; or kept, with Source::plotted false; or else left out.
    bool allLayers = false;
    bool keepUnplotted = false;
    // Limits that keep a drawing of any size bounded in time and output: at
    // most this many primitives, path points and visited entities (array
    // cells count), and inserts nested this deep.
    std::size_t maxPrimitives = 500000;
    std::size_t maxPoints = 4000000;
    std::size_t maxVisits = 8000000;
    int maxDepth = 32;
};

struct SceneStats {
    std::size_t primitives = 0;
    std::size_t points = 0;
    bool capped = false;
    // One line each, for the user: limits reached, blocks missing or inserting
    // themselves, kinds that cannot be drawn.
    std::vector<std::string> warnings;
};

// Walks the drawing's entities, expanding inserts, and hands each primitive to
// `sink`. Model space is drawn, or paper space when the ENTITIES section has
// nothing in model space. What CAD programs do not plot is not drawn (unless
// the options say otherwise): the layer Defpoints (case ignored), layers that
// are off (negative colour) or frozen (flag 1), and everything an insert on a
// frozen layer places. An entity on layer "0" inside a block takes the layer
// of the insert that places it.
SceneStats WalkDrawing(const Qdxf_Info &drawing, const SceneOptions &options, Sink &sink);

// The same walk one entity at a time, for a drawing read entity by entity
// (qdxf_ReadEach): its tables and blocks as they are when the walker is made,
// the space of each entity the caller's choice. Its limits hold for all the
// entities together.
class EntityWalker {
public:
    EntityWalker(const Qdxf_Info &drawing, const SceneOptions &options, Sink &sink);
    ~EntityWalker();
    EntityWalker(const EntityWalker &) = delete;
    EntityWalker &operator=(const EntityWalker &) = delete;
    void Walk(const Qdxf_Entity &entity);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace render

#endif
