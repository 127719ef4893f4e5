// SPDX-License-Identifier: MIT
// The translations of QDXF_READ_MODERN_KINDS, one per kind, and the world
// placement of QDXF_READ_WORLD, behind FinishEntity. Each entity becomes
// exactly one record; what one record of the ten cannot hold becomes an
// INSERT of an anonymous block of pieces (anonymous_block.h).
//
//   LWPOLYLINE   POLYLINE: a vertex per point (x, y, the elevation 38 as z),
//                widths 40/41 or 43 for all, bulges 42, flags 1 and 128.
//   ELLIPSE      CIRCLE or ARC for ratio 1, else a 3-D POLYLINE.
//   SPLINE       3-D POLYLINE.
//   MTEXT        TEXT for one run, else a block of a TEXT per run and
//                LINEs (mtext.h).
//   DIMENSION    INSERT of its block (group 2), at its group 12 point; one
//                whose block the drawing lacks is drawn (dimension.cpp).
//   ACAD_TABLE   INSERT of its block (group 2), at its insertion point.
//   ATTRIB       TEXT; an invisible one (flag 1) stays INVALID.
//   LEADER       3-D POLYLINE through its vertices, in a block with its
//                arrowhead where it has one (leader.cpp).
//   HATCH        a block of its solid fill (SOLID triangles; a gradient in
//                its first colour) or its pattern (LINEs), or else of its
//                boundary paths (closed POLYLINEs).
//   MULTILEADER  a block of its leader lines, arrowheads, landings and
//                content (multileader.cpp).
//   MLINE        a block of a POLYLINE per element and its caps (mline.cpp).
//   MESH         a block of a 3DFACE per face (mesh.cpp).
//   TOLERANCE    a block of its frames (LINEs) and texts (tolerance.cpp).
//   WIPEOUT, IMAGE  its frame, a closed 3-D POLYLINE (image_frame.cpp).
//   RAY, XLINE   LINE clipped to the drawing's extents (infinite_line.cpp).
//   POLYLINE with flag 64 (polyface mesh): a block of a 3DFACE per face.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <span>
#include <string_view>

#include "model/kind_names.h"
#include "model/release.h"
#include "read/readers.h"
#include "translate/anonymous_block.h"
#include "translate/code_pages.h"
#include "translate/entity_translation.h"
#include "translate/mtext.h"
#include "translate/records.h"
#include "translate/translator.h"
#include "translate/world.h"

namespace vexlith::translate {
namespace {

// Counts the groups of `code`; false for more than a record counts.
bool CountOf(Groups groups, int code, int *count) {
    std::size_t found = 0;
    for (const EntityGroup &group : groups)
        found += group.code == code;
    *count = static_cast<int>(found);
    return found <= static_cast<std::size_t>(INT_MAX);
}

// Groups up to an embedded object (101), which repeats the codes of its
// entity for an MTEXT of its own.
Groups OwnGroups(Groups groups) {
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (groups[i].code == 101) return groups.first(i);
    }
    return groups;
}

Outcome TranslateLwPolyline(Context &context) {
    Groups groups = context.groups;
    int count;
    if (!CountOf(groups, 10, &count)) return context.Invalid("more vertices than a record holds");
    double constantWidth = 0;
    int flags = 0;
    for (const EntityGroup &group : groups) {
        if (group.code == 43) constantWidth = group.real;
        if (group.code == 70) flags = group.integer;
    }
    auto *vertices = rt::NewArray<Qdxf_Vertex>(static_cast<std::size_t>(count));
    if (!vertices) return Outcome::NoMemory;
    double elevation = context.entity.elevation;
    int at = -1;
    for (const EntityGroup &group : groups) {
        if (group.code == 10) {
            Qdxf_Vertex &vertex = vertices[++at];
            vertex.location = {group.real, 0, elevation};
            vertex.startingWidth = vertex.endingWidth = constantWidth;
            continue;
        }
        if (at < 0) continue;
        Qdxf_Vertex &vertex = vertices[at];
        switch (group.code) {
            case 20:
                vertex.location.y = group.real;
                break;
            case 40:
                vertex.startingWidth = group.real;
                break;
            case 41:
                vertex.endingWidth = group.real;
                break;
            case 42:
                vertex.bulge = group.real;
                break;
            default:
                break;
        }
    }
    Qdxf_Polyline &polyline = context.entity.data.polyline;
    context.entity.type = QDXF_POLYLINE;
    polyline.flag = flags & (1 | 128);  // closed, line type generated along it
    polyline.elevation = elevation;
    polyline.defaultStartingWidth = polyline.defaultEndingWidth = constantWidth;
    polyline.count = count;
    polyline.vertices = vertices;
    context.inOcs = true;
    return Outcome::Done;
}

// A curve as a 3-D polyline of the points a translation left in
// translation.points.
Outcome CurvePolyline(Context &context) {
    Points &points = context.translation().points;
    return SetPolyline(context.entity, std::span(points.data(), points.size()), 8, k3dVertex,
                       &context.why);
}

Outcome TranslateEllipseEntity(Context &context) {
    Points &points = context.translation().points;
    points.Clear();
    CircularShape circular{};
    Outcome outcome =
        TranslateEllipse(context.groups, context.read.tolerance, &circular, points, &context.why);
    if (outcome != Outcome::Done) return outcome;
    if (!circular.isCircular) return CurvePolyline(context);
    Qdxf_Entity &entity = context.entity;
    if (circular.fullCircle) {
        entity.type = QDXF_CIRCLE;
        entity.data.circle = {circular.center, circular.radius};
    } else {
        entity.type = QDXF_ARC;
        entity.data.arc = {circular.center, circular.radius, FileAngle(circular.startAngle),
                           FileAngle(circular.endAngle)};
    }
    context.translation().extrusion = circular.extrusion;
    context.inOcs = true;
    return Outcome::Done;
}

Outcome TranslateSplineEntity(Context &context) {
    Points &points = context.translation().points;
    points.Clear();
    Outcome outcome = TranslateSpline(context.groups, context.read.tolerance, points, &context.why);
    return outcome == Outcome::Done ? CurvePolyline(context) : outcome;
}

// DIMENSION and ACAD_TABLE: the block the entity names is its drawing.
Outcome InsertNamedBlock(Context &context, int pointBase) {
    const EntityGroup *name = nullptr;
    Qdxf_Coord at{};
    unsigned placed = 0;  // the axes set, one bit each
    for (const EntityGroup &group : context.groups) {
        if (group.code == 2 && !name) name = &group;
        // The first group of each axis: later ones belong to other parts.
        if (group.code < pointBase || group.code > pointBase + 20) continue;
        int axis = (group.code - pointBase) / 10;
        if ((group.code - pointBase) % 10 == 0 && !(placed & (1u << axis))) {
            placed |= 1u << axis;
            SetAxis(at, group, pointBase);
        }
    }
    if (!name || name->length == 0) return context.Invalid("it names no block");
    char *blockName = CopyText(context.Utf8(), name->text, name->length);
    if (!blockName) return Outcome::NoMemory;
    if (context.World()) {
        Placement placement;
        if (!PlacementOf(context.translation().extrusion, &placement, &context.why)) {
            rt::Free(blockName);
            return Outcome::Invalid;
        }
        at = Place(placement, at);
    }
    Qdxf_Entity &entity = context.entity;
    entity.type = QDXF_INSERT;
    Qdxf_Insert &insert = entity.data.insert;
    insert.blockName = blockName;
    insert.insertionPoint = at;
    insert.xScale = insert.yScale = insert.zScale = 1.0;
    insert.columnCount = insert.rowCount = 1;
    return Outcome::Done;
}

// A DIMENSION without its block is drawn.
Outcome TranslateDimension(Context &context) {
    const EntityGroup *name = nullptr;
    for (const EntityGroup &group : context.groups) {
        if (group.code == 2 && !name) name = &group;
    }
    const Qdxf_Block *block = nullptr;
    if (name && name->length &&
        !context.translation().styles.FindBlock(context.drawing, name->text, &block))
        return Outcome::NoMemory;
    return block ? InsertNamedBlock(context, 12) : DrawDimension(context);
}

Outcome TranslateTable(Context &context) {
    return InsertNamedBlock(context, 10);
}

Outcome TranslateAttrib(Context &context) {
    Qdxf_Text text{};
    text.xScale = 1.0;
    Qdxf_Coord alignment{};
    bool aligned = false;
    int attributeFlags = 0;
    const EntityGroup *value = nullptr;
    const EntityGroup *style = nullptr;
    for (const EntityGroup &group : OwnGroups(context.groups)) {
        switch (group.code) {
            case 1:
                value = &group;
                break;
            case 7:
                style = &group;
                break;
            case 40:
                text.height = group.real;
                break;
            case 41:
                text.xScale = group.real;
                break;
            case 50:
                text.angle = Radians(group.real);
                break;
            case 51:
                text.obliqueAngle = Radians(group.real);
                break;
            case 70:
                attributeFlags = group.integer;
                break;
            case 71:
                text.flags = group.integer;
                break;
            case 72:
                text.horizJust = group.integer;
                break;
            case 74:  // an attribute's vertical alignment (its 73 is a field length)
                text.vertJust = group.integer;
                break;
            default:
                if (!SetAxis(text.insertionPoint, group, 10))
                    aligned |= SetAxis(alignment, group, 11);
                break;
        }
    }
    if (attributeFlags & 1) return Outcome::Invalid;  // invisible: not drawn
    rt::Owned<char> copy(value ? CopyText(context.Utf8(), value->text, value->length)
                               : rt::Duplicate(""));
    rt::Owned<char> styleCopy(style ? CopyText(context.Utf8(), style->text, style->length)
                                    : nullptr);
    rt::Owned<Qdxf_Coord> alignmentPoint(aligned ? rt::New<Qdxf_Coord>() : nullptr);
    if (!copy || (style && !styleCopy) || (aligned && !alignmentPoint)) return Outcome::NoMemory;
    if (aligned) *alignmentPoint = alignment;
    text.text = copy.release();
    text.style = styleCopy.release();
    text.alignmentPoint = alignmentPoint.release();
    context.entity.type = QDXF_TEXT;
    context.entity.data.text = text;
    context.inOcs = true;
    return Outcome::Done;
}

// The text and its frame of an MTEXT, as read.
struct MText {
    Qdxf_Coord insertion{};
    Qdxf_Coord direction{};
    double height = 0;
    double width = 0;     // the reference width
    double rotation = 0;  // degrees, when no direction is given
    double spacing = 1;   // line spacing factor
    int attachment = 1;   // 1 top left ... 9 bottom right
    bool rotated = false;
    const EntityGroup *style = nullptr;
};

// Where the pieces of an MTEXT go: its plane in world coordinates.
struct MTextPlane {
    Qdxf_Coord origin, x, y;
    FlatFrame frame;

    Qdxf_Coord At(double u, double v) const {
        return {origin.x + x.x * u + y.x * v, origin.y + x.y * u + y.y * v,
                origin.z + x.z * u + y.z * v};
    }
};

// A piece of a laid out MTEXT as a TEXT or a LINE record, in its format's
// colour where it has one.
Outcome FillPiece(Context &context, Qdxf_Entity &record, const MText &mtext,
                  const MTextLayout &layout, const MTextPiece &piece, const MTextPlane &plane) {
    const TextFormat &format = layout.formats[piece.format];
    if (piece.kind == MTextPiece::kLine) {
        ReleaseKindMembers(record);
        record.type = QDXF_LINE;
        record.data.line.start = plane.At(piece.x, piece.y);
        record.data.line.end = plane.At(piece.toX, piece.y);
    } else {
        bool aligned = piece.horizJust != 0 || piece.vertJust != 0;
        rt::Owned<char> text(
            CopyText(context.Utf8(), layout.text.data() + piece.begin, piece.end - piece.begin));
        rt::Owned<char> style(mtext.style
                                  ? CopyText(context.Utf8(), mtext.style->text, mtext.style->length)
                                  : nullptr);
        rt::Owned<Qdxf_Coord> alignment(aligned ? rt::New<Qdxf_Coord>() : nullptr);
        if (!text || (mtext.style && !style) || (aligned && !alignment)) return Outcome::NoMemory;
        Qdxf_Coord anchor = plane.At(piece.x, piece.y);
        if (aligned) *alignment = piece.horizJust == 5 ? plane.At(piece.toX, piece.y) : anchor;
        ReleaseKindMembers(record);
        record.type = QDXF_TEXT;
        Qdxf_Text &out = record.data.text;
        out.insertionPoint = anchor;
        out.alignmentPoint = alignment.release();
        out.height = piece.height;
        out.xScale = format.widthFactor;
        out.angle = plane.frame.angle;
        out.obliqueAngle = format.oblique == 0 ? 0 : FileAngle(Radians(format.oblique));
        out.flags = plane.frame.mirrored ? 2 : 0;
        out.horizJust = piece.horizJust;
        out.vertJust = piece.vertJust;
        out.text = text.release();
        out.style = style.release();
    }
    if (format.color >= 0) record.color = format.color;
    return Outcome::Done;
}

Outcome TranslateMText(Context &context) {
    Translation &translation = context.translation();
    MText mtext;
    bool directed = false;
    // The content: the chunks of group 3 in order, then group 1.
    rt::Scratch<char> &content = translation.line;
    content.Clear();
    const EntityGroup *last = nullptr;
    for (const EntityGroup &group : OwnGroups(context.groups)) {
        switch (group.code) {
            case 1:
                last = &group;
                break;
            case 3:
                if (!content.Append(group.text, group.length)) return Outcome::NoMemory;
                break;
            case 7:
                mtext.style = &group;
                break;
            case 40:
                mtext.height = group.real;
                break;
            case 41:
                mtext.width = group.real;
                break;
            case 44:
                mtext.spacing = group.real;
                break;
            case 50:
                mtext.rotation = group.real;
                mtext.rotated = true;
                break;
            case 71:
                mtext.attachment = group.integer;
                break;
            default:
                if (!SetAxis(mtext.insertion, group, 10))
                    directed |= SetAxis(mtext.direction, group, 11);
                break;
        }
    }
    if (last && !content.Append(last->text, last->length)) return Outcome::NoMemory;
    if (content.size() > INT_MAX) return context.Invalid("a text longer than a record holds");
    if (mtext.attachment < 1 || mtext.attachment > 9) mtext.attachment = 1;
    if (!(mtext.spacing > 0) || !std::isfinite(mtext.spacing)) mtext.spacing = 1;

    // The frame in world coordinates: the text's direction (given; else its
    // rotation in the plane of its normal; else world X, as CAD programs
    // take it, made to lie in that plane) and the normal's turn of it.
    const Qdxf_Coord &normal = translation.extrusion;
    Placement placement;
    if (!PlacementOf(normal, &placement, &context.why)) return Outcome::Invalid;
    double nLength = std::hypot(normal.x, normal.y, normal.z);
    Qdxf_Coord n{normal.x / nLength, normal.y / nLength, normal.z / nLength};
    Qdxf_Coord xAxis = mtext.direction;
    double xLength = std::hypot(xAxis.x, xAxis.y, xAxis.z);
    if (!directed || !(xLength > 0) || !std::isfinite(xLength)) {
        xAxis = {1 - n.x * n.x, -n.x * n.y, -n.x * n.z};
        xLength = std::hypot(xAxis.x, xAxis.y, xAxis.z);
        if (mtext.rotated || !(xLength > 1e-9)) {
            double angle = Radians(mtext.rotation);
            xAxis = Place(placement, {std::cos(angle), std::sin(angle), 0});
            if (placement.kind == Placement::kWorld || placement.kind == Placement::kMirrored) {
                Qdxf_Coord origin = Place(placement, {0, 0, 0});
                xAxis = {xAxis.x - origin.x, xAxis.y - origin.y, xAxis.z - origin.z};
            }
            xLength = std::hypot(xAxis.x, xAxis.y, xAxis.z);
        }
    }
    Qdxf_Coord x{xAxis.x / xLength, xAxis.y / xLength, xAxis.z / xLength};
    Qdxf_Coord y{n.y * x.z - n.z * x.y, n.z * x.x - n.x * x.z, n.x * x.y - n.y * x.x};
    if (!std::isfinite(x.x + x.y + x.z + y.x + y.y + y.z))
        return context.Invalid("a text direction without length");
    MTextPlane plane{mtext.insertion, x, y, FlatFrameOf(x, y)};

    const TextEncoding &encoding = context.read.encoding;
    MTextBox box{mtext.height,
                 mtext.width,
                 mtext.spacing,
                 mtext.attachment,
                 context.Utf8() && !encoding.utf8 && IsDoubleBytePage(encoding.codePage)
                     ? encoding.codePage
                     : 0,
                 plane.frame.mirrored,
                 context.drawing ? context.drawing->colorTable : nullptr};
    MTextLayout &layout = translation.mtext;
    if (!LayOutMText(std::string_view(content.data(), content.size()), box, layout))
        return Outcome::NoMemory;
    const rt::Scratch<MTextPiece> &pieces = layout.pieces;
    if (pieces.empty()) {
        // No text at all: an empty TEXT at the insertion point.
        MTextPiece empty{MTextPiece::kText,
                         static_cast<std::uint8_t>((mtext.attachment - 1) % 3),
                         static_cast<std::uint8_t>(3 - (mtext.attachment - 1) / 3),
                         0,
                         0,
                         0,
                         mtext.height,
                         0,
                         0,
                         0};
        return FillPiece(context, context.entity, mtext, layout, empty, plane);
    }
    if (pieces.size() == 1 && pieces[0].kind == MTextPiece::kText)
        return FillPiece(context, context.entity, mtext, layout, pieces[0], plane);

    PieceBlock block(context.read, context.drawing);
    for (const MTextPiece &piece : pieces) {
        Qdxf_Entity *record = block.Add(piece.kind == MTextPiece::kLine ? QDXF_LINE : QDXF_TEXT);
        if (!record) return Outcome::NoMemory;
        Outcome outcome = FillPiece(context, *record, mtext, layout, piece, plane);
        if (outcome != Outcome::Done) return outcome;
    }
    return block.Place(context.entity, context.parent) ? Outcome::Done : Outcome::NoMemory;
}

// A piece in the hatch's plane placed as QDXF_READ_WORLD asks.
Outcome PlacePiece(Context &context, const Placement *placement, Qdxf_Entity &piece) {
    if (!placement) return Outcome::Done;
    return PlaceEntity(*placement, piece, context.read.tolerance, context.translation().points,
                       &context.why);
}

bool Same(const Qdxf_Coord &a, const Qdxf_Coord &b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// Triangles (a, b, c) and (a, c, d) with a b and d c level: the two halves
// FillEvenOdd makes of a trapezoid between two heights.
bool HalvesOfTrapezoid(const Qdxf_Coord *first, const Qdxf_Coord *second) {
    return Same(first[0], second[0]) && Same(first[2], second[1]) && first[0].y == first[1].y &&
           second[1].y == second[2].y;
}

Outcome TranslateHatchEntity(Context &context) {
    HatchShapes &shapes = context.translation().hatch;
    PieceBlock block(context.read, context.drawing);
    // A hatch makes no more pieces than its own size allows (cut there), nor
    // than the budget's room: the sweep stops there, and the hatch is refused
    // whole.
    std::uint64_t ownBytes = context.translation().gatheredBytes;
    std::uint64_t own =
        kHatchLeastPieces + std::min<std::uint64_t>(ownBytes, SIZE_MAX / 128) * kHatchPiecesPerByte;
    std::uint64_t room = block.Room();
    Outcome outcome = TranslateHatch(context.groups, context.read.tolerance, shapes, &context.why,
                                     static_cast<std::size_t>(std::min(own, room + 1)));
    if (outcome != Outcome::Done) return outcome;
    if (shapes.cut && room < own) {
        context.translation().overBudget = true;
        return Outcome::NoMemory;
    }
    Placement world;
    const Placement *placement = nullptr;
    if (context.World()) {
        if (!PlacementOf(shapes.extrusion, &world, &context.why)) return Outcome::Invalid;
        placement = &world;
    }
    double z = shapes.elevation;
    // A filled hatch shows its fill alone, as CAD programs show it.
    std::span<const std::uint32_t> paths(shapes.pathEnds.data(),
                                         shapes.filled ? 0 : shapes.pathEnds.size());
    std::uint32_t from = 0;
    for (std::uint32_t end : paths) {
        if (end < from || end > shapes.boundary.size()) return context.Invalid("a boundary path");
        Qdxf_Entity *piece = block.Add(QDXF_POLYLINE);
        auto *vertices = piece ? rt::NewArray<Qdxf_Vertex>(end - from) : nullptr;
        if (!vertices) return Outcome::NoMemory;
        Qdxf_Polyline &polyline = piece->data.polyline;
        polyline.flag = 1;
        polyline.elevation = z;
        polyline.count = static_cast<int>(end - from);
        polyline.vertices = vertices;
        for (std::uint32_t i = from; i < end; ++i) {
            const BulgePoint &point = shapes.boundary[i];
            vertices[i - from].location = {point.x, point.y, z};
            vertices[i - from].bulge = point.bulge;
        }
        if ((outcome = PlacePiece(context, placement, *piece)) != Outcome::Done) return outcome;
        from = end;
    }
    const Points &triangles = shapes.triangles;
    for (std::size_t i = 0; i + 2 < triangles.size(); i += 3) {
        Qdxf_Entity *piece = block.Add(QDXF_SOLID);
        if (!piece) return Outcome::NoMemory;
        Qdxf_Coord *corner = piece->data.solid.corner;
        corner[0] = triangles[i];
        corner[1] = triangles[i + 1];
        corner[2] = corner[3] = triangles[i + 2];
        // The two halves of one trapezoid of the fill are one SOLID, whose
        // corners go 0, 1, 3, 2 around it: half the records.
        if (i + 5 < triangles.size() && HalvesOfTrapezoid(&triangles[i], &triangles[i + 3])) {
            corner[2] = triangles[i + 5];
            i += 3;
        }
        if ((outcome = PlacePiece(context, placement, *piece)) != Outcome::Done) return outcome;
    }
    const Points &lines = shapes.lines;
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
        Qdxf_Entity *piece = block.Add(QDXF_LINE);
        if (!piece) return Outcome::NoMemory;
        Qdxf_Line &line = piece->data.line;
        line.start = placement ? Place(*placement, lines[i]) : lines[i];
        line.end = placement ? Place(*placement, lines[i + 1]) : lines[i + 1];
    }
    if (!block.Place(context.entity, context.parent)) return Outcome::NoMemory;
    // The pieces are BYBLOCK: a gradient's colour is the INSERT's.
    if (shapes.gradientColor) context.entity.color = shapes.gradientColor;
    return Outcome::Done;
}

// A polyface mesh: its vertex records with flag 64 are its points, the
// others its faces, each naming up to four points by their number from 1 (a
// negative number hides the edge from that corner). A face becomes a 3DFACE
// of four corners (a triangle repeats its last) whose hidden edges are the
// bits of its polyline flag, as a 3DFACE's group 70 has them.
Outcome TranslatePolyface(Context &context) {
    Translation &translation = context.translation();
    const Qdxf_Polyline &mesh = context.entity.data.polyline;
    Points &points = translation.points;
    points.Clear();
    for (int i = 0; i < mesh.count; ++i) {
        if ((mesh.vertices[i].flags & 64) && !points.Append(mesh.vertices[i].location))
            return Outcome::NoMemory;
    }
    PieceBlock block(context.read, context.drawing);
    const FaceIndex *face = translation.faces.begin();
    const FaceIndex *end = translation.faces.end();
    for (int i = 0; i < mesh.count; ++i) {
        std::int32_t corners[4] = {};
        for (; face < end && face->vertex <= i; ++face) {
            if (face->vertex == i) corners[face->corner] = face->index;
        }
        if (mesh.vertices[i].flags & 64) continue;
        Qdxf_Entity *piece = nullptr;
        Qdxf_Vertex *vertices = nullptr;
        int count = 0;
        int hidden = 0;
        for (std::int32_t index : corners) {
            if (index == 0) continue;
            long long number = index < 0 ? -static_cast<long long>(index) : index;
            if (number > static_cast<long long>(points.size()))
                return context.Invalid("a face names a vertex it does not have");
            if (!piece) {
                piece = block.Add(QDXF_3DFACE);
                vertices = piece ? rt::NewArray<Qdxf_Vertex>(4) : nullptr;
                if (!vertices) return Outcome::NoMemory;
                piece->data.polyline.count = 4;
                piece->data.polyline.vertices = vertices;
            }
            vertices[count].location = points[static_cast<std::size_t>(number - 1)];
            if (index < 0) hidden |= 1 << count;
            ++count;
        }
        if (!piece) continue;  // no corners: no face
        for (int corner = count; corner < 4; ++corner) {
            vertices[corner] = vertices[count - 1];
            if (hidden & (1 << (count - 1))) hidden |= 1 << corner;
        }
        piece->data.polyline.flag = hidden;
    }
    return block.Place(context.entity, context.parent) ? Outcome::Done : Outcome::NoMemory;
}

using Translator = Outcome (*)(Context &context);

// In the order of kTranslatedKindNames.
constexpr Translator kTranslators[] = {
    TranslateLwPolyline,  TranslateEllipseEntity, TranslateSplineEntity, TranslateMText,
    TranslateDimension,   TranslateTable,         TranslateAttrib,       TranslateLeaderEntity,
    TranslateHatchEntity, TranslateMultiLeader,   TranslateMLine,        TranslateMesh,
    TranslateTolerance,   TranslateImageFrame,    TranslateImageFrame,   TranslateRay,
    TranslateXLine,
};
constexpr int kGatheredCount = static_cast<int>(std::size(kTranslators));
static_assert(std::size(kTranslatedKindNames) == std::size(kTranslators));
// The bit a polyface mesh is reported by, after those of the gathered kinds.
constexpr int kPolyface = kGatheredCount;

int GatheredKind(const char *name) {
    for (int kind = 0; kind < kGatheredCount; ++kind) {
        if (rt::TextEqual(name, kTranslatedKindNames[kind])) return kind;
    }
    return -1;
}

}  // namespace

bool Translation::Keep(const GroupView &group) {
    if (group.code >= 210 && group.code <= 230 && group.code % 10 == 0) {
        double &axis = group.code == 210   ? extrusion.x
                       : group.code == 220 ? extrusion.y
                                           : extrusion.z;
        axis = group.real;
    }
    EntityGroup kept{group.code, group.kind, group.integer, group.real, "", 0};
    if (group.kind == QDXF_VALUE_TEXT) {
        kept.length = group.length;
        if (!texts.Append(group.text, group.length) || !texts.Append('\0')) return false;
    }
    return groups.Append(kept);
}

void Translation::EndGathering() {
    const char *text = texts.data();
    for (EntityGroup &group : std::span(groups.data(), groups.size())) {
        if (group.kind != QDXF_VALUE_TEXT) continue;
        group.text = text;
        text += group.length + 1;
    }
}

void Translation::Release() {
    groups.Release();
    texts.Release();
    faces.Release();
    points.Release();
    hatch.Release();
    line.Release();
    mtext.Release();
    plain.Release();
    made.Release();
    styles.Release();
    deferred.Release();
}

Outcome TranslateMTextGroups(Context &context) {
    return TranslateMText(context);
}

bool GathersGroups(const char *kind) {
    return GatheredKind(kind) >= 0;
}

bool KeepsBlanks(const char *kind) {
    return rt::TextEqual(kind, "MTEXT");
}

void FinishEntity(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing, Qdxf_Block *block,
                  const char *kind, Qdxf_Entity &entity) {
    rt::ReportOut out(report);
    Translation &translation = read.translation;
    Context context{read, drawing, block, entity, {}};
    int translated = -1;
    const char *name = kind;
    Outcome outcome = Outcome::Done;
    bool modern = (read.flags & QDXF_READ_MODERN_KINDS) != 0;
    translation.overBudget = false;
    if (EntityKind(entity) == QDXF_INVALID) {
        translated = modern ? GatheredKind(kind) : -1;
        if (translated < 0) return;
        context.groups = Groups(translation.groups.data(), translation.groups.size());
        outcome = kTranslators[translated](context);
    } else if (modern && EntityKind(entity) == QDXF_POLYLINE && (entity.data.polyline.flag & 64)) {
        translated = kPolyface;
        name = kPolyfaceKindName;
        outcome = TranslatePolyface(context);
    } else {
        context.inOcs = true;
    }
    if (outcome == Outcome::Done && context.inOcs && context.World()) {
        Placement placement;
        outcome =
            PlacementOf(translation.extrusion, &placement, &context.why)
                ? PlaceEntity(placement, entity, read.tolerance, translation.points, &context.why)
                : Outcome::Invalid;
    }
    // A piece refused for the read's budget is not the heap's exhaustion: the
    // read goes on, with the entity INVALID and the log told once.
    bool overBudget = outcome == Outcome::NoMemory && translation.overBudget;
    if (overBudget) outcome = Outcome::Invalid;
    rt::Report *inner = nullptr;
    switch (outcome) {
        case Outcome::Done:
            if (translated >= 0 && !(translation.reported & (1u << translated))) {
                translation.reported |= 1u << translated;
                VX_LOG_MESSAGE(&inner, "%s entity translated", name);
            }
            break;
        case Outcome::Invalid:
            ReleaseKindMembers(entity);
            if (overBudget) {
                if (!translation.budgetReported) {
                    translation.budgetReported = true;
                    VX_LOG_MESSAGE(&inner,
                                   "%s entity not translated: the drawing's translation budget "
                                   "is spent",
                                   name);
                }
                break;
            }
            if (!context.why) break;
            if (entity.handle) {
                VX_LOG_MESSAGE(&inner, "%s entity not translated: %s (handle %s)", name,
                               context.why, entity.handle);
            } else {
                VX_LOG_MESSAGE(&inner, "%s entity not translated: %s", name, context.why);
            }
            break;
        case Outcome::NoMemory:
            VX_FAIL(out, nullptr, "Memory allocation error");
            return;
    }
    if (inner) VX_FAIL(out, inner, "Error logging a translation");
}

}  // namespace vexlith::translate
