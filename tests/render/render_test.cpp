// SPDX-License-Identifier: MIT
// The renderer behind vexlith render, called directly: the primitives each
// entity kind becomes (coordinates, colours, layers, inserts expanded), the
// limits that keep hostile drawings bounded, the view, and the SVG text as a
// real XML parser (Python's xml.etree) reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>

#include "drawings.h"
#include "output.h"
#include "text.h"

using namespace testing_support;

namespace {

constexpr double kPi = 3.141592653589793;

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

// A number as the expectations write it: six decimals at most, no "-0".
std::string Num(double value) {
    double rounded = std::round(value * 1e6) / 1e6;
    if (rounded == 0.0) rounded = 0.0;
    char text[48];
    std::snprintf(text, sizeof text, "%.10g", rounded);
    return text;
}

std::string Pt(render::Point p) {
    return Num(p.x) + "," + Num(p.y);
}

std::string Radii(const render::Affine &shape) {
    render::EllipseAxes axes = render::AxesOf(shape);
    std::string text = "r=" + Num(axes.rx);
    if (std::fabs(axes.rx - axes.ry) > 1e-9) {
        double degrees = std::fmod(axes.rotation * 180.0 / kPi + 360.0, 180.0);
        text += "/" + Num(axes.ry) + " rot=" + Num(degrees);
    }
    return text;
}

// Each primitive as one line of text.
class Recorder : public render::Sink {
public:
    void AddPath(const render::Path &path) override {
        std::string line = "path " + std::to_string(path.color) + " M " + Pt(path.start);
        for (const render::Segment &segment : path.segments) {
            if (!segment.arc) {
                line += " L " + Pt(segment.to);
                continue;
            }
            bool counterClockwise = (segment.shape.Determinant() > 0) == (segment.sweep > 0);
            line += " A c=" + Pt(segment.center) + " " + Radii(segment.shape) + " " +
                    Num(std::fabs(segment.sweep) * 180.0 / kPi) +
                    (counterClockwise ? " ccw " : " cw ") + Pt(segment.to);
        }
        if (path.closed) line += " closed";
        if (path.filled) line += " filled";
        if (path.width > 0) line += " width=" + Num(path.width);
        lines.push_back(line);
    }
    void AddEllipse(const render::Ellipse &ellipse) override {
        lines.push_back("circle " + std::to_string(ellipse.color) + " c=" + Pt(ellipse.center) +
                        " " + Radii(ellipse.shape));
    }
    void AddDot(const render::Dot &dot) override {
        lines.push_back("dot " + std::to_string(dot.color) + " " + Pt(dot.at));
    }
    void AddLabel(const render::Label &label) override {
        const char *align = label.align == render::TextAlign::Start    ? "start"
                            : label.align == render::TextAlign::Middle ? "middle"
                                                                       : "end";
        std::string line = "text " + std::to_string(label.color) + " '" + label.text + "' at " +
                           Pt(label.origin) + " x=" + Pt(label.xAxis) + " y=" + Pt(label.yAxis) +
                           " " + align;
        if (label.fit > 0) line += " fit=" + Num(label.fit);
        lines.push_back(line);
    }
    std::vector<std::string> lines;
};

struct Walked {
    std::vector<std::string> lines;
    render::SceneStats stats;
};

Walked Walk(const Qdxf_Info &drawing, const render::SceneOptions &options = {}) {
    Recorder recorder;
    render::SceneStats stats = render::WalkDrawing(drawing, options, recorder);
    return {recorder.lines, stats};
}

Qdxf_Layer *AddLayer(Qdxf_Info &drawing, const char *name, int color, int flags = 0) {
    if (!drawing.tables) {
        drawing.tables = static_cast<Qdxf_Tables *>(qmsc_HeapMalloc(sizeof(Qdxf_Tables)));
    }
    auto *layer = static_cast<Qdxf_Layer *>(qmsc_HeapMalloc(sizeof(Qdxf_Layer)));
    layer->name = HeapText(name);
    layer->color = color;
    layer->flags = flags;
    drawing.tables->layers =
        static_cast<Qdxf_Layer *>(qdxf_AddToList(drawing.tables->layers, layer));
    return layer;
}

Qdxf_Entity *AddLine(Qdxf_Entity *&list, const char *layer, Qdxf_Coord from, Qdxf_Coord to) {
    Qdxf_Entity *line = AddEntity(list, QDXF_LINE, layer);
    line->data.line.start = from;
    line->data.line.end = to;
    return line;
}

Qdxf_Entity *AddInsert(Qdxf_Entity *&list, const char *layer, const char *block,
                       Qdxf_Coord at = {}) {
    Qdxf_Entity *insert = AddEntity(list, QDXF_INSERT, layer);
    insert->data.insert.blockName = HeapText(block);
    insert->data.insert.insertionPoint = at;
    return insert;
}

Qdxf_Entity *AddText(Qdxf_Entity *&list, const char *text, Qdxf_Coord at, double height) {
    Qdxf_Entity *entity = AddEntity(list, QDXF_TEXT, "0");
    entity->data.text.text = HeapText(text);
    entity->data.text.insertionPoint = at;
    entity->data.text.height = height;
    return entity;
}

struct Vertex {
    Qdxf_Coord at;
    double bulge = 0.0;
    double startWidth = 0.0;
    double endWidth = 0.0;
    int flags = 0;
};

Qdxf_Entity *AddPolyline(Qdxf_Entity *&list, int flag, const std::vector<Vertex> &vertices) {
    Qdxf_Entity *entity = AddEntity(list, QDXF_POLYLINE, "0");
    std::vector<Qdxf_Coord> locations;
    for (const Vertex &vertex : vertices)
        locations.push_back(vertex.at);
    SetVertices(*entity, locations);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        Qdxf_Vertex &target = entity->data.polyline.vertices[i];
        target.bulge = vertices[i].bulge;
        target.startingWidth = vertices[i].startWidth;
        target.endingWidth = vertices[i].endWidth;
        target.flags = vertices[i].flags;
    }
    entity->data.polyline.flag = flag;
    return entity;
}

struct GeometryCase {
    const char *name;
    std::function<void(Qdxf_Info &)> build;
    std::vector<std::string> expected;
};

std::vector<GeometryCase> GeometryCases() {
    return {
        {"line takes its layer's colour",
         [](Qdxf_Info &d) {
             AddLayer(d, "walls", 3);
             AddLine(d.entities, "WALLS", {0, 0, 0}, {10, 5, 9});
         },
         {"path 3 M 0,0 L 10,5"}},
        {"own colour over the layer's",
         [](Qdxf_Info &d) {
             AddLayer(d, "walls", 3);
             AddLine(d.entities, "walls", {0, 0, 0}, {1, 0, 0})->color = 1;
         },
         {"path 1 M 0,0 L 1,0"}},
        {"point",
         [](Qdxf_Info &d) {
             AddEntity(d.entities, QDXF_POINT, "0")->data.point.location = {1, 2, 3};
         },
         {"dot 7 1,2"}},
        {"circle",
         [](Qdxf_Info &d) {
             Qdxf_Entity *circle = AddEntity(d.entities, QDXF_CIRCLE, "0");
             circle->data.circle = {{3, 1, 0}, 2};
         },
         {"circle 7 c=3,1 r=2"}},
        {"arc runs counter-clockwise from its start to its end angle",
         [](Qdxf_Info &d) {
             Qdxf_Entity *arc = AddEntity(d.entities, QDXF_ARC, "0");
             arc->data.arc = {{5, 5, 0}, 1, Radians(270), Radians(0)};
         },
         {"path 7 M 5,4 A c=5,5 r=1 90 ccw 6,5"}},
        {"arc with equal angles is a whole circle",
         [](Qdxf_Info &d) {
             Qdxf_Entity *arc = AddEntity(d.entities, QDXF_ARC, "0");
             arc->data.arc = {{0, 0, 0}, 2, Radians(90), Radians(90)};
         },
         {"path 7 M 0,2 A c=0,0 r=2 360 ccw 0,2"}},
        {"trace outline runs through corners 0, 1, 3, 2",
         [](Qdxf_Info &d) {
             Qdxf_Entity *trace = AddEntity(d.entities, QDXF_TRACE, "0");
             trace->data.trace = {{{0, 0, 0}, {4, 0, 0}, {0, 1, 0}, {4, 1, 0}}};
         },
         {"path 7 M 0,0 L 4,0 L 4,1 L 0,1 closed filled"}},
        {"solid triangle",
         [](Qdxf_Info &d) {
             Qdxf_Entity *solid = AddEntity(d.entities, QDXF_SOLID, "0");
             solid->data.solid = {{{0, 0, 0}, {2, 0, 0}, {1, 3, 0}, {1, 3, 0}}};
         },
         {"path 7 M 0,0 L 2,0 L 1,3 L 1,3 closed filled"}},
        {"text on its baseline from the insertion point",
         [](Qdxf_Info &d) {
             AddText(d.entities, "A", {1, 2, 0}, 2);
         },
         {"text 7 'A' at 1,2 x=2,0 y=0,2 start"}},
        {"centred text turned a quarter sits on its alignment point",
         [](Qdxf_Info &d) {
             Qdxf_Entity *text = AddText(d.entities, "B", {0, 0, 0}, 1);
             text->data.text.angle = Radians(90);
             text->data.text.horizJust = 1;
             text->data.text.alignmentPoint = HeapCoord({5, 5, 0});
         },
         {"text 7 'B' at 5,5 x=0,1 y=-1,0 middle"}},
        {"right and top justified text hangs from its alignment point",
         [](Qdxf_Info &d) {
             Qdxf_Entity *text = AddText(d.entities, "C", {0, 0, 0}, 2);
             text->data.text.horizJust = 2;
             text->data.text.vertJust = 3;
             text->data.text.alignmentPoint = HeapCoord({10, 10, 0});
         },
         {"text 7 'C' at 10,8 x=2,0 y=0,2 end"}},
        {"justified text without an alignment point starts at the insertion point",
         [](Qdxf_Info &d) {
             AddText(d.entities, "D", {3, 4, 0}, 1)->data.text.horizJust = 2;
         },
         {"text 7 'D' at 3,4 x=1,0 y=0,1 start"}},
        {"fitted text runs between its two points, width factor and mirror kept",
         [](Qdxf_Info &d) {
             Qdxf_Entity *text = AddText(d.entities, "E", {0, 0, 0}, 2);
             text->data.text.horizJust = 5;
             text->data.text.xScale = 0.5;
             text->data.text.flags = 4;  // upside down
             text->data.text.alignmentPoint = HeapCoord({0, 10, 0});
         },
         {"text 7 'E' at 0,0 x=0,1 y=2,0 start fit=10"}},
        {"polyline with bulges: a half circle and a clockwise quarter, closed",
         [](Qdxf_Info &d) {
             AddPolyline(d.entities, 1,
                         {{{0, 0, 0}, 1.0}, {{10, 0, 0}}, {{10, 10, 0}, -std::tan(kPi / 8)}});
         },
         {"path 7 M 0,0 A c=5,0 r=5 180 ccw 10,0 L 10,10 A c=0,10 r=10 90 cw 0,0 closed"}},
        {"polyline of one width is one stroke that wide",
         [](Qdxf_Info &d) {
             Qdxf_Entity *polyline = AddPolyline(d.entities, 0, {{{0, 0, 0}}, {{4, 0, 0}}});
             polyline->data.polyline.defaultStartingWidth = 0.5;
             polyline->data.polyline.defaultEndingWidth = 0.5;
         },
         {"path 7 M 0,0 L 4,0 width=0.5"}},
        {"tapering polyline is a filled outline per segment",
         [](Qdxf_Info &d) {
             AddPolyline(d.entities, 0, {{{0, 0, 0}, 0, 0, 2}, {{10, 0, 0}}, {{10, 5, 0}}});
         },
         {"path 7 M 0,0 L 10,1 L 10,-1 L 0,0 closed filled", "path 7 M 10,0 L 10,5"}},
        {"3-D polyline is projected, without bulges",
         [](Qdxf_Info &d) {
             AddPolyline(d.entities, 8, {{{0, 0, 5}, 1.0}, {{1, 1, -5}}});
         },
         {"path 7 M 0,0 L 1,1"}},
        {"spline-fit polyline leaves out its control points",
         [](Qdxf_Info &d) {
             AddPolyline(
                 d.entities, 4,
                 {{{0, 0, 0}, 0, 0, 0, 16}, {{1, 0, 0}, 0, 0, 0, 8}, {{2, 1, 0}, 0, 0, 0, 8}});
         },
         {"path 7 M 1,0 L 2,1"}},
        {"mesh of 2 by 3 vertices is its rows and columns",
         [](Qdxf_Info &d) {
             Qdxf_Entity *mesh = AddPolyline(
                 d.entities, 16 | 32,
                 {{{0, 0, 0}}, {{1, 0, 0}}, {{2, 0, 0}}, {{0, 1, 0}}, {{1, 1, 0}}, {{2, 1, 0}}});
             mesh->data.polyline.meshVertexCount[0] = 2;
             mesh->data.polyline.meshVertexCount[1] = 3;
         },
         {"path 7 M 0,0 L 1,0 L 2,0 closed", "path 7 M 0,1 L 1,1 L 2,1 closed",
          "path 7 M 0,0 L 0,1", "path 7 M 1,0 L 1,1", "path 7 M 2,0 L 2,1"}},
        {"3dface is its closed outline, projected",
         [](Qdxf_Info &d) {
             Qdxf_Entity *face = AddEntity(d.entities, QDXF_3DFACE, "0");
             SetVertices(*face, {{0, 0, 1}, {3, 0, 2}, {3, 3, 3}});
         },
         {"path 7 M 0,0 L 3,0 L 3,3 closed"}},
        {"rotated, mirrored, arrayed insert of a block that inserts another",
         [](Qdxf_Info &d) {
             AddLayer(d, "walls", 3);
             Qdxf_Block *inner = AddBlock(d, "inner", "0");
             inner->basePoint = {1, 0, 0};
             AddLine(inner->entities, "0", {1, 0, 0}, {2, 0, 0})->color = 0;  // by block
             Qdxf_Entity *arc = AddEntity(inner->entities, QDXF_ARC, "0");    // by layer "0"
             arc->data.arc = {{1, 0, 0}, 1, 0, Radians(90)};
             Qdxf_Block *outer = AddBlock(d, "OUTER", "0");
             AddInsert(outer->entities, "0", "INNER", {3, 0, 0})->color = 0;
             Qdxf_Entity *top = AddInsert(d.entities, "walls", "outer", {10, 20, 0});
             top->color = 5;
             Qdxf_Insert &insert = top->data.insert;
             insert.xScale = 2;
             insert.yScale = -1;
             insert.rotationAngle = Radians(90);
             insert.columnCount = insert.rowCount = 2;
             insert.columnSpacing = 5;
             insert.rowSpacing = 7;
         },
         // Block units: x doubled, y mirrored, turned a quarter; cells 5 apart
         // in columns and 7 in rows along the insert's turned axes.
         {"path 5 M 10,26 L 10,28", "path 3 M 10,28 A c=10,26 r=2/1 rot=90 90 cw 11,26",
          "path 5 M 10,31 L 10,33", "path 3 M 10,33 A c=10,31 r=2/1 rot=90 90 cw 11,31",
          "path 5 M 3,26 L 3,28", "path 3 M 3,28 A c=3,26 r=2/1 rot=90 90 cw 4,26",
          "path 5 M 3,31 L 3,33", "path 3 M 3,33 A c=3,31 r=2/1 rot=90 90 cw 4,31"}},
        {"layers that are off or frozen are not drawn, nor frozen layers' inserts",
         [](Qdxf_Info &d) {
             AddLayer(d, "off", -2);
             AddLayer(d, "frozen", 2, 1);
             AddLayer(d, "on", 4);
             AddLayer(d, "lowest", INT_MIN);
             AddLine(d.entities, "off", {0, 0, 0}, {1, 0, 0});
             AddLine(d.entities, "lowest", {0, 0, 0}, {1, 0, 0});
             AddLine(d.entities, "frozen", {0, 0, 0}, {2, 0, 0});
             Qdxf_Block *block = AddBlock(d, "b", "0");
             AddLine(block->entities, "on", {0, 0, 0}, {3, 0, 0});
             AddLine(block->entities, "0", {0, 0, 0}, {4, 0, 0});
             AddInsert(d.entities, "frozen", "b");
             AddInsert(d.entities, "off", "b");
         },
         // Inside the insert on an off layer, layer "0" takes that layer.
         {"path 4 M 0,0 L 3,0"}},
        {"model space alone when it has entities",
         [](Qdxf_Info &d) {
             AddLine(d.entities, "0", {0, 0, 0}, {1, 0, 0})->space = 1;
             AddLine(d.entities, "0", {0, 0, 0}, {2, 0, 0});
         },
         {"path 7 M 0,0 L 2,0"}},
        {"kinds that are not drawn",
         [](Qdxf_Info &d) {
             AddEntity(d.entities, QDXF_INVALID, "0");
             AddEntity(d.entities, 99, "0");
             AddEntity(d.entities, -1, "0");
             AddText(d.entities, "", {0, 0, 0}, 1);
             AddText(d.entities, "no height", {0, 0, 0}, 0);
             AddEntity(d.entities, QDXF_CIRCLE, "0");  // radius 0
             Qdxf_Entity *polyline = AddEntity(d.entities, QDXF_POLYLINE, "0");
             polyline->data.polyline.count = 3;  // but no vertices
         },
         {}},
    };
}

TEST(RenderGeometry, EachEntityKindBecomesItsPrimitives) {
    for (const GeometryCase &c : GeometryCases()) {
        SCOPED_TRACE(c.name);
        DrawingPtr drawing = NewDrawing();
        c.build(*drawing);
        Walked walked = Walk(*drawing);
        EXPECT_EQ(walked.lines, c.expected);
        EXPECT_FALSE(walked.stats.capped);
    }
}

TEST(RenderGeometry, OnlyTheLayersAskedFor) {
    DrawingPtr drawing = NewDrawing();
    AddLayer(*drawing, "walls", 1);
    AddLayer(*drawing, "roof", 2);
    AddLine(drawing->entities, "walls", {0, 0, 0}, {1, 0, 0});
    AddLine(drawing->entities, "roof", {0, 0, 0}, {2, 0, 0});
    Qdxf_Block *block = AddBlock(*drawing, "b", "0");
    AddLine(block->entities, "0", {0, 0, 0}, {3, 0, 0});
    AddLine(block->entities, "walls", {0, 0, 0}, {4, 0, 0});
    AddInsert(drawing->entities, "roof", "b");

    render::SceneOptions options;
    options.layers = {"WALLS", "attic"};
    Walked walked = Walk(*drawing, options);
    EXPECT_EQ(walked.lines, (std::vector<std::string>{"path 1 M 0,0 L 1,0", "path 1 M 0,0 L 4,0"}));
    EXPECT_EQ(walked.stats.warnings, std::vector<std::string>{"no layer named 'attic'"});
}

TEST(RenderGeometry, TextIsDecodedForShowing) {
    struct Case {
        const char *raw;
        const char *shown;
    };
    const Case cases[] = {
        {"45%%d %%p0.1 %%c20 100%%%", "45\u00b0 \u00b10.1 \u230020 100%"},
        {"%%uunder%%u %%o %%k%%065", "under  A"},  // toggles dropped; %%nnn by number
        {"Tsch\\U+00FCss \\U+zzzz", "Tsch\u00fcss \\U+zzzz"},
        {"a^Ib^ c^d", "a b^c^d"},  // caret: a control character, "^ " a caret
        {"caf\xe9 \x80 \xc3\xa9", "caf\u00e9 \u20ac \u00e9"},    // Windows-1252 where not UTF-8
        {"bell\x07 \xef\xbf\xbf\\U+D800", "bell \ufffd\ufffd"},  // nothing XML forbids
        {"50%%", "50%%"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(render::DecodeText(c.raw), c.shown) << c.raw;
}

// Drawings built to make the walk run away: every one ends, within the
// limits, with a warning.
struct LimitCase {
    const char *name;
    std::function<void(Qdxf_Info &)> build;
    std::size_t primitives;
    std::vector<std::string> warnings;
};

std::vector<LimitCase> LimitCases() {
    return {
        {"a block that inserts itself",
         [](Qdxf_Info &d) {
             Qdxf_Block *block = AddBlock(d, "loop", "0");
             AddLine(block->entities, "0", {0, 0, 0}, {1, 0, 0});
             AddInsert(block->entities, "0", "LOOP");
             AddInsert(d.entities, "0", "loop");
         },
         1,
         {"block 'loop' inserts itself: the inner inserts are not drawn"}},
        {"two blocks that insert each other",
         [](Qdxf_Info &d) {
             AddInsert(AddBlock(d, "a", "0")->entities, "0", "b");
             Qdxf_Block *b = AddBlock(d, "b", "0");
             AddLine(b->entities, "0", {0, 0, 0}, {1, 0, 0});
             AddInsert(b->entities, "0", "a");
             AddInsert(d.entities, "0", "a");
         },
         1,
         {"block 'a' inserts itself: the inner inserts are not drawn"}},
        {"inserts nested deeper than the limit",
         [](Qdxf_Info &d) {
             for (int level = 0; level < 40; ++level) {
                 char name[16];
                 char next[16];
                 std::snprintf(name, sizeof name, "b%d", level);
                 std::snprintf(next, sizeof next, "b%d", level + 1);
                 Qdxf_Block *block = AddBlock(d, name, "0");
                 AddLine(block->entities, "0", {0, 0, 0}, {1, 0, 0});
                 AddInsert(block->entities, "0", next);
             }
             AddInsert(d.entities, "0", "b0");
         },
         32,
         {"inserts nested deeper than 32 levels are not drawn"}},
        {"an array of two billion rows and columns",
         [](Qdxf_Info &d) {
             AddLine(AddBlock(d, "cell", "0")->entities, "0", {0, 0, 0}, {1, 0, 0});
             Qdxf_Entity *insert = AddInsert(d.entities, "0", "cell");
             insert->data.insert.columnCount = insert->data.insert.rowCount = 2147483647;
         },
         1000,
         {"the drawing is larger than the limits of 1000 elements, 4000 points and 5000 "
          "entities visited: the rest is not drawn"}},
        {"an array of inserts that draw nothing",
         [](Qdxf_Info &d) {
             AddInsert(AddBlock(d, "empty", "0")->entities, "0", "missing");
             Qdxf_Entity *insert = AddInsert(d.entities, "0", "empty");
             insert->data.insert.columnCount = insert->data.insert.rowCount = 2147483647;
         },
         0,
         {"the drawing is larger than the limits of 1000 elements, 4000 points and 5000 "
          "entities visited: the rest is not drawn",
          "no block named 'missing': its inserts are not drawn"}},
        {"a polyline of more points than the limit",
         [](Qdxf_Info &d) {
             AddPolyline(d.entities, 0, std::vector<Vertex>(5000, Vertex{{1, 1, 0}}));
             AddLine(d.entities, "0", {0, 0, 0}, {1, 0, 0});
         },
         0,
         {"the drawing is larger than the limits of 1000 elements, 4000 points and 5000 "
          "entities visited: the rest is not drawn"}},
        {"inserts of no block, of a block without a name, collapsed or out of range",
         [](Qdxf_Info &d) {
             AddBlock(d, nullptr, "0");
             AddLine(AddBlock(d, "b", "0")->entities, "0", {0, 0, 0}, {1, 0, 0});
             AddInsert(d.entities, "0", nullptr);
             AddInsert(d.entities, "0", "nowhere");
             AddInsert(d.entities, "0", "b")->data.insert.xScale = 0;
             AddInsert(d.entities, "0", "b")->data.insert.rotationAngle = NAN;
             AddInsert(d.entities, "0", "b")->data.insert.columnSpacing = INFINITY;
             AddLine(d.entities, "0", {0, 0, 0}, {1e308, 0, 0});
             AddLine(d.entities, "0", {NAN, 0, 0}, {1, 0, 0});
             AddText(d.entities, "x", {0, 0, 0}, 1e308)->data.text.xScale = 1e308;
         },
         1,
         {"no block named '': its inserts are not drawn",
          "no block named 'nowhere': its inserts are not drawn",
          "4 elements with coordinates out of range are not drawn"}},
    };
}

TEST(RenderLimits, RunawayDrawingsStopWithAWarning) {
    render::SceneOptions options;
    options.maxPrimitives = 1000;
    options.maxPoints = 4000;
    options.maxVisits = 5000;
    for (const LimitCase &c : LimitCases()) {
        SCOPED_TRACE(c.name);
        DrawingPtr drawing = NewDrawing();
        c.build(*drawing);
        Walked walked = Walk(*drawing, options);
        EXPECT_EQ(walked.lines.size(), c.primitives);
        EXPECT_EQ(walked.stats.primitives, c.primitives);
        EXPECT_EQ(walked.stats.warnings, c.warnings);
    }
}

// The default limits hold a drawing of millions of inserted entities to a
// picture of bounded size, quickly.
TEST(RenderLimits, MillionsOfInsertedEntitiesAreCapped) {
    DrawingPtr drawing = NewDrawing();
    Qdxf_Block *block = AddBlock(*drawing, "cell", "0");
    AddLine(block->entities, "0", {0, 0, 0}, {1, 0, 0});
    AddLine(block->entities, "0", {0, 0, 0}, {0, 1, 0});
    Qdxf_Entity *insert = AddInsert(drawing->entities, "0", "cell");
    insert->data.insert.columnCount = insert->data.insert.rowCount = 3000;
    insert->data.insert.columnSpacing = insert->data.insert.rowSpacing = 2;

    auto started = std::chrono::steady_clock::now();
    std::size_t bytes = 0;
    render::Outcome outcome = render::WriteSvg(*drawing, {}, [&](std::string_view text) {
        bytes += text.size();
        return true;
    });
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_TRUE(outcome.stats.capped);
    EXPECT_EQ(outcome.stats.primitives, render::SceneOptions{}.maxPrimitives);
    EXPECT_LT(bytes, 64u << 20);
    EXPECT_LT(seconds, 60.0);
}

// The view is what is drawn, whatever the header's extents say: producers
// leave them stale.
TEST(RenderView, TheDrawnExtentsWithAMargin) {
    const render::Box drawn{0, 0, 100, 50};
    render::Box view = render::ViewOf(drawn);
    EXPECT_DOUBLE_EQ(view.minX, -4);
    EXPECT_DOUBLE_EQ(view.minY, -4);
    EXPECT_DOUBLE_EQ(view.maxX, 104);
    EXPECT_DOUBLE_EQ(view.maxY, 54);

    // Nothing drawn: the unit square; a single point: a square around it; a
    // tall line: four times as tall as wide at most.
    render::Box unit = render::ViewOf(render::Box{});
    EXPECT_DOUBLE_EQ(unit.Width(), 1.08);
    render::Box point = render::ViewOf(render::Box{3, 4, 3, 4});
    EXPECT_DOUBLE_EQ(point.Width(), 2.0);
    EXPECT_DOUBLE_EQ(point.Height(), 2.0);
    render::Box tall = render::ViewOf(render::Box{0, 0, 0, 100});
    EXPECT_DOUBLE_EQ(tall.Height(), 108);
    EXPECT_DOUBLE_EQ(tall.Width(), 27);
}

// A point on Defpoints (as every dimension has) does not shrink the picture:
// the view is that of the line, unless every layer is drawn; GeoJSON keeps
// the point as not plotted.
TEST(RenderView, ADefpointsPointDoesNotMoveTheFrame) {
    DrawingPtr drawing = NewDrawing();
    AddLine(drawing->entities, "0", {10, 10, 0}, {20, 10, 0});
    AddEntity(drawing->entities, QDXF_POINT, "defpoints");  // at 0,0
    for (bool all : {false, true}) {
        render::OutputOptions options;
        options.scene.allLayers = all;
        std::string svg;
        render::Outcome outcome = render::WriteSvg(*drawing, options, [&](std::string_view text) {
            svg += text;
            return true;
        });
        EXPECT_EQ(outcome.view.minX, all ? -0.8 : 9.6) << all;
    }
    std::string geojson;
    render::WriteGeoJson(*drawing, {}, [&](std::string_view text) {
        geojson += text;
        return geojson.size() < (1u << 20);
    });
    EXPECT_NE(geojson.find("\"kind\":\"POINT\",\"color\":7,\"rgb\":\"#ffffff\",\"handle\":null,"
                           "\"block\":null,\"plotted\":false"),
              std::string::npos)
        << geojson;
}

// The SVG text of `drawing`, then every element as Python's XML parser reads
// it, one a line: the tag, its attributes in order of name, its text.
std::vector<std::string> ParsedSvg(const Qdxf_Info &drawing, const render::OutputOptions &options) {
    std::string svg;
    render::WriteSvg(drawing, options, [&](std::string_view text) {
        svg += text;
        return true;
    });
    std::vector<std::string> lines;
#if !defined(_WIN32)
    TempFile file(svg, "picture.svg");
    std::string command =
        std::string(VEXLITH_PYTHON3) +
        " -c \"import sys, xml.etree.ElementTree as T\n"
        "for e in T.parse(sys.argv[1]).iter():\n"
        "  a = ' '.join(k + '=' + v for k, v in sorted(e.attrib.items()))\n"
        "  print((e.tag.split('}')[1] + ' ' + a + ' ' + (e.text or '').strip()).strip())\" " +
        file.path() + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return lines;
    std::string line;
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty()) lines.push_back(line);
    EXPECT_EQ(pclose(pipe), 0) << (lines.empty() ? "" : lines.back());
#endif
    return lines;
}

TEST(RenderSvg, WellFormedWithYUpAndColoursByBackground) {
    SKIP_WITHOUT_PYTHON3();
    DrawingPtr drawing = NewDrawing();
    Qdxf_Header *header = AddHeader(*drawing);
    *header->extmin = {0, 0, 0};
    *header->extmax = {100, 50, 0};
    AddLine(drawing->entities, "0", {0, 0, 0}, {100, 50, 0});
    Qdxf_Entity *arc = AddEntity(drawing->entities, QDXF_ARC, "0");
    arc->data.arc = {{50, 25, 0}, 10, 0, Radians(90)};
    arc->color = 1;
    AddText(drawing->entities, "a<b & \"c\" %%d\x01\xff", {0, 0, 0}, 5)->color = 3;
    AddEntity(drawing->entities, QDXF_POINT, "0")->data.point.location = {100, 0, 0};

    // 108 by 59.5 units with the margin (the text's descent below y 0 drawn),
    // 1000 pixels wide: 9.259 pixels a unit.
    render::OutputOptions options;
    std::vector<std::string> black = ParsedSvg(*drawing, options);
    const std::vector<std::string> expected = {
        "svg height=551 viewBox=0 0 1000 551 width=1000",
        "rect fill=#000000 height=100% width=100%",
        "g fill=none font-family=DejaVu Sans, sans-serif stroke-linecap=round "
        "stroke-linejoin=round stroke-width=1",
        "path d=M 37.04 500 L 962.96 37.04 stroke=#ffffff",
        // Counter-clockwise with y up is SVG's negative direction: flag 0.
        "path d=M 592.59 268.52 A 92.59 92.59 0 0 0 500 175.93 stroke=#ff0000",
        "text fill=#00ff00 font-size=63.426 stroke=none transform=matrix(1 0 0 1 37.04 500) "
        "a<b & \"c\" \u00b0\u00ff",
        "circle cx=962.96 cy=500 fill=#ffffff r=1.5 stroke=none",
    };
    EXPECT_EQ(black, expected);

    options.blackBackground = false;
    options.width = 2000;
    std::vector<std::string> white = ParsedSvg(*drawing, options);
    ASSERT_EQ(white.size(), expected.size());
    EXPECT_EQ(white[1], "rect fill=#ffffff height=100% width=100%");
    EXPECT_EQ(white[3], "path d=M 74.07 1000 L 1925.93 74.07 stroke=#000000");
}

// A full-width character is set one text height wide, as the extents
// count it: "6畳" 1.75 heights, in a view of 1.89 (the margins).
TEST(RenderSvg, FullWidthCharactersFitTheirExtents) {
    SKIP_WITHOUT_PYTHON3();
    DrawingPtr drawing = NewDrawing();
    AddText(drawing->entities, "6\u7573", {0, 0, 0}, 10);
    render::OutputOptions options;
    options.width = 1890;  // 100 pixels a unit
    std::vector<std::string> lines = ParsedSvg(*drawing, options);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3].substr(0, 18), "text fill=#ffffff ") << lines[3];
    EXPECT_EQ(lines[4], "tspan font-size=1000 \u7573");
}

TEST(RenderSvg, ScaledCirclesAndWideLinesInPixels) {
    SKIP_WITHOUT_PYTHON3();
    DrawingPtr drawing = NewDrawing();
    Qdxf_Block *block = AddBlock(*drawing, "b", "0");
    AddEntity(block->entities, QDXF_CIRCLE, "0")->data.circle = {{0, 0, 0}, 10};
    Qdxf_Entity *insert = AddInsert(drawing->entities, "0", "b", {50, 50, 0});
    insert->data.insert.xScale = 2;
    insert->data.insert.rotationAngle = Radians(30);
    Qdxf_Entity *wide = AddPolyline(drawing->entities, 0, {{{0, 0, 0}}, {{100, 0, 0}}});
    wide->data.polyline.defaultStartingWidth = wide->data.polyline.defaultEndingWidth = 2;

    render::OutputOptions options;
    options.width = 1080;  // 10 pixels a unit: 108 units with the margin
    std::vector<std::string> lines = ParsedSvg(*drawing, options);
    ASSERT_EQ(lines.size(), 5u);
    // Turned 30 degrees counter-clockwise, which is -30 with y down; the top
    // of the view is the top of the ellipse (y 63.23) and the margin.
    EXPECT_EQ(lines[3],
              "ellipse rx=200 ry=100 stroke=#ffffff transform=translate(540,172.29) rotate(-30)");
    EXPECT_EQ(lines[4],
              "path d=M 40 672.29 L 1040 672.29 stroke=#ffffff stroke-linecap=butt "
              "stroke-linejoin=miter stroke-width=20");
}

TEST(RenderSvg, DashedLineTypesAndLightColoursOnWhite) {
    DrawingPtr drawing = NewDrawing();
    Qdxf_Header *header = AddHeader(*drawing);
    *header->extmin = {0, 0, 0};
    *header->extmax = {100, 50, 0};
    header->ltscale = 2;
    Qdxf_Layer *layer = AddLayer(*drawing, "L", 2);
    for (auto [name, dashes] : {std::pair{"DASHDOT", std::vector<double>{1, -0.5, 0, -0.5}},
                                std::pair{"FINE", std::vector<double>{0.01, -0.01}}}) {
        auto *ltype = static_cast<Qdxf_Ltype *>(qmsc_HeapMalloc(sizeof(Qdxf_Ltype)));
        ltype->name = HeapText(name);
        ltype->numDashItems = static_cast<int>(dashes.size());
        ltype->dashLength = static_cast<double *>(qmsc_HeapMalloc(dashes.size() * sizeof(double)));
        std::copy(dashes.begin(), dashes.end(), ltype->dashLength);
        drawing->tables->ltypes =
            static_cast<Qdxf_Ltype *>(qdxf_AddToList(drawing->tables->ltypes, ltype));
    }
    layer->ltypeName = HeapText("dashdot");
    AddLine(drawing->entities, "L", {0, 0, 0}, {100, 0, 0});
    AddLine(drawing->entities, "L", {0, 50, 0}, {100, 50, 0})->ltypeName = HeapText("FINE");

    // 9.259 pixels a unit; the pattern is doubled by $LTSCALE, and the gaps
    // around the dot stay apart.
    render::OutputOptions options;
    options.blackBackground = false;
    std::string svg;
    render::WriteSvg(*drawing, options, [&](std::string_view text) {
        svg += text;
        return true;
    });
    EXPECT_NE(svg.find("stroke=\"#a5a500\" stroke-dasharray=\"18.52 9.26 0 9.26\"/>"),
              std::string::npos)
        << svg;
    EXPECT_EQ(svg.find("dasharray", svg.find("dasharray") + 1), std::string::npos) << svg;
}

TEST(RenderSvg, WriteFailureEndsTheOutput) {
    DrawingPtr drawing = NewDrawing();
    for (int i = 0; i < 5000; ++i)
        AddLine(drawing->entities, "0", {0, 0, 0}, {1.0 * i, 1, 0});
    int calls = 0;
    render::Outcome outcome = render::WriteSvg(*drawing, {}, [&](std::string_view) {
        ++calls;
        return false;
    });
    EXPECT_FALSE(outcome.written);
    EXPECT_EQ(calls, 1);
}

}  // namespace
