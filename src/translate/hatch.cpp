// SPDX-License-Identifier: MIT
// A HATCH entity's groups taken apart: the elevation point and extrusion,
// the boundary paths (polyline paths, or edge paths of lines, circular and
// elliptic arcs and splines), the hatch style and the pattern definition
// lines; then the solid fill or the pattern inside the paths.
//
// The structure is read by position, as the DXF reference lays it out:
// within a boundary path the groups of one edge follow its type (72) up to
// the next edge or the path's source objects (97, 330); the counts the file
// gives (91, 93, 95, 96, 78, 79, 98) are not trusted to size anything.
#include <algorithm>
#include <cmath>
#include <limits>

#include "color/color_number.h"
#include "translate/fill.h"
#include "translate/geometry.h"
#include "translate/hatch.h"

namespace vexlith::translate {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180;
constexpr std::int32_t kNoCode = std::numeric_limits<std::int32_t>::min();

// Path type flags (92).
constexpr int kExternalPath = 1;
constexpr int kPolylinePath = 2;
constexpr int kOutermostPath = 16;

// Hatch styles (75).
constexpr int kStyleOuter = 1;
constexpr int kStyleIgnore = 2;

// A group's number (GroupNumber); `otherwise` for a group without one.
double Real(const EntityGroup &group, double otherwise = std::numeric_limits<double>::quiet_NaN()) {
    double value = GroupNumber(group);
    return std::isnan(value) ? otherwise : value;
}
int Integer(const EntityGroup &group) {
    double value = Real(group, 0);
    return std::fabs(value) < 1e9 ? static_cast<int>(value) : 0;
}

// A number the fill can work with: finite, and products of two stay finite.
bool Usable(double value) {
    return std::fabs(value) <= kMaxCoordinate;
}

// Two points that are one: equal but for the rounding of their computation.
bool Near(double ax, double ay, double bx, double by) {
    double scale = 1 + std::max({std::fabs(ax), std::fabs(ay), std::fabs(bx), std::fabs(by)});
    return std::fabs(ax - bx) <= 1e-9 * scale && std::fabs(ay - by) <= 1e-9 * scale;
}
bool Near(const BulgePoint &a, const BulgePoint &b) {
    return Near(a.x, a.y, b.x, b.y);
}

// The counterclockwise sweep from `start` to `end` (degrees) in [0, 360]:
// equal angles sweep nothing, angles 360 degrees apart a full turn.
double SweepDegrees(double start, double end) {
    if (start == end) return 0;
    double sweep = std::fmod(end - start, 360.0);
    return sweep <= 0 ? sweep + 360 : sweep;
}

// The parameter of an ellipse of axis ratio `ratio` at the angle `angle`
// from its major axis.
double ParameterAt(double ratio, double angle) {
    return std::atan2(std::sin(angle) / ratio, std::cos(angle));
}

// The points of an edge reversed: each bulge moves to the other end of its
// segment and changes sign; the last point's bulge (no segment) is 0.
void ReverseBulges(BulgePoint *points, std::size_t count) {
    if (count == 0) return;
    std::reverse(points, points + count);
    for (std::size_t i = 0; i + 1 < count; ++i)
        points[i].bulge = -points[i + 1].bulge;
    points[count - 1].bulge = 0;
}

class Parser {
public:
    Parser(Groups groups, double tolerance, std::size_t maxPieces, HatchShapes &shapes,
           const char **why)
        : groups_(groups),
          tolerance_(tolerance),
          maxPieces_(maxPieces),
          shapes_(shapes),
          why_(why) {}
    ~Parser() { curve_.Release(); }
    Parser(const Parser &) = delete;
    Parser &operator=(const Parser &) = delete;

    Outcome Run();

private:
    int Code() const { return next_ < groups_.size() ? groups_[next_].code : kNoCode; }
    int CodeAfter() const { return next_ + 1 < groups_.size() ? groups_[next_ + 1].code : kNoCode; }
    const EntityGroup &Take() { return groups_[next_++]; }
    Outcome Fail(const char *why) {
        *why_ = why;
        return Outcome::Invalid;
    }
    // Reads a number of the structure; false (and *why_) when it is unusable.
    bool Number(double *value) {
        *value = Real(Take());
        if (Usable(*value)) return true;
        *why_ = "a number that is not finite or out of range";
        return false;
    }

    // Reads the groups that follow while their codes are among `codes`, each
    // into the value at its place; bit i of *seen tells that codes[i] came.
    template <std::size_t N>
    bool Fields(const int (&codes)[N], double (&values)[N], unsigned *seen) {
        for (;;) {
            const int *found = std::find(codes, codes + N, Code());
            if (found == codes + N) return true;
            auto i = static_cast<std::size_t>(found - codes);
            if (!Number(&values[i])) return false;
            *seen |= 1u << i;
        }
    }

    Outcome Path();
    Outcome PolylinePath();
    Outcome Edge();
    Outcome LineEdge();
    Outcome ArcEdge();
    Outcome EllipseEdge();
    Outcome SplineEdge();
    Outcome Curve(Outcome flattened, bool reversed);
    Outcome Connect();
    Outcome Append(const BulgePoint &point);
    Outcome EndLoop();
    Outcome PatternDefinition();
    int FilledPaths() const;
    Outcome Fill();

    Groups groups_;
    std::size_t next_ = 0;
    double tolerance_;
    std::size_t maxPieces_;
    HatchShapes &shapes_;
    const char **why_;

    int pathFlags_ = 0;
    Buffer<BulgePoint> loop_;  // the loop being read
    std::size_t loopEdges_ = 0;
    Buffer<std::uint8_t> loopFlags_;  // what each loop's path was (92)
    Buffer<BulgePoint> edge_;         // the points of the edge being read
    Points curve_;                    // a curve flattened

    bool solid_ = false;
    bool gradient_ = false;
    int gradientNumber_ = 0;         // the first colour's ACI (63)
    std::int64_t gradientRgb_ = -1;  // its true colour (421)
    int style_ = 0;
    struct FamilyDraft {
        double angle, baseX, baseY, offsetX, offsetY;
        std::size_t firstDash, dashCount;
    };
    Buffer<FamilyDraft> families_;
    Buffer<double> dashes_;
};

Outcome Parser::Run() {
    Qdxf_Coord extrusion{0, 0, 1};
    double elevation = 0;
    bool elevationRead = false;
    while (Code() != kNoCode && Code() != 91) {
        const EntityGroup &group = Take();
        switch (group.code) {
            case 30:
                if (!elevationRead) elevation = Real(group);
                elevationRead = true;
                break;
            case 210:
                extrusion.x = Real(group);
                break;
            case 220:
                extrusion.y = Real(group);
                break;
            case 230:
                extrusion.z = Real(group);
                break;
            case 70:
                solid_ = Integer(group) == 1;
                break;
            default:
                break;
        }
    }
    if (!Usable(elevation) || !Usable(extrusion.x) || !Usable(extrusion.y) || !Usable(extrusion.z))
        return Fail("a number that is not finite or out of range");
    if (extrusion.x == 0 && extrusion.y == 0 && extrusion.z == 0)
        return Fail("an extrusion direction without length");
    shapes_.elevation = elevation;
    shapes_.extrusion = extrusion;
    if (Code() != 91) return Fail("no boundary paths (group 91)");
    // Fewer paths or edges than the file counts: the structure was not understood.
    int paths = Integer(Take());
    for (; Code() == 92; --paths)
        if (Outcome outcome = Path(); outcome != Outcome::Done) return outcome;
    if (paths > 0) return Fail("fewer boundary paths than group 91 counts");
    if (shapes_.pathEnds.empty()) return Fail("no boundary path with points");
    if (Outcome outcome = PatternDefinition(); outcome != Outcome::Done) return outcome;
    return Fill();
}

Outcome Parser::Path() {
    pathFlags_ = Integer(Take());
    loop_.Clear();
    loopEdges_ = 0;
    Outcome outcome = Outcome::Done;
    if (pathFlags_ & kPolylinePath) {
        outcome = PolylinePath();
    } else {
        int edges = Code() == 93 ? Integer(Take()) : 0;
        for (; outcome == Outcome::Done && Code() == 72; --edges)
            outcome = Edge();
        if (outcome == Outcome::Done && edges > 0) return Fail("fewer edges than group 93 counts");
    }
    if (outcome != Outcome::Done) return outcome;
    if (Code() == 97) Take();
    while (Code() == 330)
        Take();
    return EndLoop();
}

Outcome Parser::PolylinePath() {
    bool closed = true;
    while (Code() == 72 || Code() == 73 || Code() == 93) {
        const EntityGroup &group = Take();
        if (group.code == 73) closed = Integer(group) != 0;
    }
    BulgePoint vertex{};
    bool started = false, hasY = false;
    auto flush = [&]() {
        if (!started) return Outcome::Done;
        if (!hasY) return Fail("a polyline path's vertex without its y (20)");
        return Append(vertex);
    };
    while (Code() == 10 || Code() == 20 || Code() == 42) {
        int code = Code();
        double value;
        if (!Number(&value)) return Outcome::Invalid;
        if (code == 10) {
            if (Outcome outcome = flush(); outcome != Outcome::Done) return outcome;
            vertex = {value, 0, 0};
            started = true;
            hasY = false;
        } else if (code == 20 && started) {
            vertex.y = value;
            hasY = true;
        } else if (code == 42 && started) {
            vertex.bulge = value;
        }
    }
    if (Outcome outcome = flush(); outcome != Outcome::Done) return outcome;
    // An open path is closed by a straight segment, whatever the last bulge.
    if (!closed && !loop_.empty()) loop_.back().bulge = 0;
    return Outcome::Done;
}

Outcome Parser::Edge() {
    int type = Integer(Take());
    edge_.Clear();
    Outcome outcome;
    switch (type) {
        case 1:
            outcome = LineEdge();
            break;
        case 2:
            outcome = ArcEdge();
            break;
        case 3:
            outcome = EllipseEdge();
            break;
        case 4:
            outcome = SplineEdge();
            break;
        default:
            return Fail("a boundary edge of unknown type (72)");
    }
    if (outcome != Outcome::Done) return outcome;
    return Connect();
}

Outcome Parser::LineEdge() {
    double v[4] = {};
    unsigned seen = 0;
    static constexpr int kCodes[4] = {10, 20, 11, 21};
    if (!Fields(kCodes, v, &seen)) return Outcome::Invalid;
    if (seen != 0xF) return Fail("a line edge without its two points");
    if (!edge_.Append({v[0], v[1], 0}) || !edge_.Append({v[2], v[3], 0})) return Outcome::NoMemory;
    return Outcome::Done;
}

Outcome Parser::ArcEdge() {
    // center x, y, radius, start, end (degrees), counterclockwise
    double v[6] = {0, 0, 0, 0, 0, 1};
    unsigned seen = 0;
    static constexpr int kCodes[6] = {10, 20, 40, 50, 51, 73};
    if (!Fields(kCodes, v, &seen)) return Outcome::Invalid;
    if ((seen & 0x1F) != 0x1F) return Fail("an arc edge without its centre, radius or angles");
    double radius = v[2];
    if (!(radius > 0)) return Outcome::Done;  // a point: the edges around it meet anyway
    // A clockwise arc's angles are those of its mirror image in the x axis,
    // where it runs counterclockwise.
    double direction = v[5] != 0 ? 1 : -1;
    double sweep = SweepDegrees(v[3], v[4]);
    int pieces = sweep > 180 ? 2 : 1;  // a bulge of at most a half circle stays precise
    double bulge = direction * std::tan(sweep / pieces / 4 * kRadiansPerDegree);
    for (int i = 0; i <= pieces; ++i) {
        double angle = direction * (v[3] + sweep * i / pieces) * kRadiansPerDegree;
        BulgePoint point{v[0] + radius * std::cos(angle), v[1] + radius * std::sin(angle),
                         i < pieces && sweep > 0 ? bulge : 0};
        if (!edge_.Append(point)) return Outcome::NoMemory;
        if (sweep == 0) break;
    }
    return Outcome::Done;
}

Outcome Parser::EllipseEdge() {
    // center x, y, major axis end x, y, ratio, start, end (degrees), counterclockwise
    double v[8] = {0, 0, 0, 0, 0, 0, 0, 1};
    unsigned seen = 0;
    static constexpr int kCodes[8] = {10, 20, 11, 21, 40, 50, 51, 73};
    if (!Fields(kCodes, v, &seen)) return Outcome::Invalid;
    if ((seen & 0x7F) != 0x7F) return Fail("an elliptic edge without its centre, axes or angles");
    double ratio = v[4], major = std::hypot(v[2], v[3]);
    if (major == 0) return Outcome::Done;
    if (!(ratio > 0)) return Fail("an elliptic edge whose axis ratio is not above 0");
    // A clockwise edge is flattened as its counterclockwise mirror, then reversed.
    bool clockwise = v[7] == 0;
    double start = clockwise ? 360 - v[6] : v[5], end = clockwise ? 360 - v[5] : v[6];
    double sweep = SweepDegrees(start, end);
    double from = ParameterAt(ratio, start * kRadiansPerDegree), to = from;
    if (sweep == 0) {  // a point: the edges around it meet anyway
        double c = std::cos(from), s = std::sin(from) * ratio;
        return edge_.Append({v[0] + c * v[2] - s * v[3], v[1] + c * v[3] + s * v[2], 0})
                   ? Outcome::Done
                   : Outcome::NoMemory;
    }
    if (sweep >= 360) {
        to = from + 2 * kPi;
    } else {
        to = ParameterAt(ratio, end * kRadiansPerDegree);
        while (to <= from)
            to += 2 * kPi;
    }
    curve_.Clear();
    Outcome flattened = FlattenEllipse({v[0], v[1], 0}, {v[2], v[3], 0}, {0, 0, 1}, ratio, from, to,
                                       tolerance_, curve_);
    if (flattened == Outcome::Invalid) *why_ = "an elliptic edge that makes no curve";
    return Curve(flattened, clockwise);
}

Outcome Parser::SplineEdge() {
    int degree = 0;
    bool rational = false;
    Buffer<Qdxf_Coord> control, fit;
    Buffer<double> knots, weights;
    Qdxf_Coord tangents[2] = {};
    bool tangentGiven[2] = {false, false};
    for (;;) {
        int code = Code();
        // 97 is the count of fit points when they, the tangents, the next edge
        // or the path's own 97 follow; else it is the path's source objects count.
        if (code == 97) {
            int after = CodeAfter();
            if (after != 11 && after != 12 && after != 13 && after != 97 && after != 72) break;
            Take();
            continue;
        }
        if (code == 94 || code == 73 || code == 74 || code == 95 || code == 96) {
            const EntityGroup &group = Take();
            if (code == 94) degree = Integer(group);
            if (code == 73) rational = Integer(group) != 0;
            continue;
        }
        if (code != 40 && code != 42 && code != 10 && code != 20 && code != 11 && code != 21 &&
            code != 12 && code != 22 && code != 13 && code != 23)
            break;
        double value;
        if (!Number(&value)) return Outcome::Invalid;
        bool stored = true;
        switch (code) {
            case 40:
                stored = knots.Append(value);
                break;
            case 42:
                stored = weights.Append(value);
                break;
            case 10:
                stored = control.Append({value, 0, 0});
                break;
            case 11:
                stored = fit.Append({value, 0, 0});
                break;
            case 20:
                if (!control.empty()) control.back().y = value;
                break;
            case 21:
                if (!fit.empty()) fit.back().y = value;
                break;
            default: {  // the tangents
                int which = code % 10 == 2 ? 0 : 1;
                if (code < 20) {
                    tangents[which].x = value;
                } else {
                    tangents[which].y = value;
                }
                tangentGiven[which] = true;
            }
        }
        if (!stored) return Outcome::NoMemory;
    }
    if (control.empty() && fit.empty()) return Fail("a spline edge without control or fit points");
    curve_.Clear();
    Outcome flattened;
    if (!control.empty()) {
        std::span<const double> used;
        if (rational || !weights.empty()) used = {weights.data(), weights.size()};
        Nurbs nurbs{degree, {control.data(), control.size()}, used, {knots.data(), knots.size()}};
        flattened = FlattenNurbs(nurbs, tolerance_, curve_, why_);
    } else {
        flattened = FlattenFitPoints(
            degree, {fit.data(), fit.size()}, tangentGiven[0] ? &tangents[0] : nullptr,
            tangentGiven[1] ? &tangents[1] : nullptr, tolerance_, curve_, why_);
    }
    return Curve(flattened, false);
}

// The flattened curve in curve_ as the edge's points.
Outcome Parser::Curve(Outcome flattened, bool reversed) {
    if (flattened != Outcome::Done) return flattened;
    if (curve_.size() > kMaxBoundaryPoints) return Fail("a boundary of too many points");
    for (const Qdxf_Coord &point : curve_) {
        if (!Usable(point.x) || !Usable(point.y)) return Fail("a curve edge out of range");
        if (!edge_.Append({point.x, point.y, 0})) return Outcome::NoMemory;
    }
    if (reversed) std::reverse(edge_.begin(), edge_.end());
    return Outcome::Done;
}

// Adds the edge just read to the current loop: edges are expected end to
// start, but one written the other way round is turned, and so is a first
// edge that the second one meets at its start. An edge that meets neither
// end begins a new loop when the current one is closed, else a straight
// segment bridges the gap.
Outcome Parser::Connect() {
    if (edge_.empty()) return Outcome::Done;
    if (!loop_.empty()) {
        const BulgePoint first = loop_[0], last = loop_.back();
        const BulgePoint start = edge_[0], end = edge_.back();
        if (Near(last, start)) {
            // end to start, as edges come
        } else if (Near(last, end)) {
            ReverseBulges(edge_.data(), edge_.size());
        } else if (loopEdges_ == 1 && (Near(first, start) || Near(first, end))) {
            ReverseBulges(loop_.data(), loop_.size());
            if (Near(first, end)) ReverseBulges(edge_.data(), edge_.size());
        } else if (loop_.size() > 1 && Near(first, last)) {
            if (Outcome outcome = EndLoop(); outcome != Outcome::Done) return outcome;
        }
    }
    for (const BulgePoint &point : edge_)
        if (Outcome outcome = Append(point); outcome != Outcome::Done) return outcome;
    ++loopEdges_;
    return Outcome::Done;
}

// Adds a point to the current loop; one on the last point takes its place
// (keeping the bulge of the segment that follows).
Outcome Parser::Append(const BulgePoint &point) {
    if (!Usable(point.x) || !Usable(point.y) || !Usable(point.bulge))
        return Fail("a number that is not finite or out of range");
    if (!loop_.empty() && Near(loop_.back(), point)) {
        loop_.back().bulge = point.bulge;
        return Outcome::Done;
    }
    if (shapes_.boundary.size() + loop_.size() >= kMaxBoundaryPoints)
        return Fail("a boundary of too many points");
    return loop_.Append(point) ? Outcome::Done : Outcome::NoMemory;
}

// Moves the current loop to the boundary, closed: a last point on the first
// is dropped, a loop of fewer than two points is left out.
Outcome Parser::EndLoop() {
    std::size_t count = loop_.size();
    if (count > 1 && Near(loop_[0], loop_[count - 1])) --count;
    if (count > 1) {
        for (std::size_t i = 0; i < count; ++i)
            if (!shapes_.boundary.Append(loop_[i])) return Outcome::NoMemory;
        if (!shapes_.pathEnds.Append(static_cast<std::uint32_t>(shapes_.boundary.size())) ||
            !loopFlags_.Append(static_cast<std::uint8_t>(pathFlags_)))
            return Outcome::NoMemory;
    }
    loop_.Clear();
    loopEdges_ = 0;
    return Outcome::Done;
}

// After the boundary: the hatch style and the pattern definition lines; the
// seed points, the gradient and what else follows are passed over.
Outcome Parser::PatternDefinition() {
    while (Code() != kNoCode) {
        const EntityGroup &group = Take();
        int code = group.code;
        if (code == 75) {
            style_ = Integer(group);
            continue;
        }
        if (code == 450) {
            gradient_ = Integer(group) == 1;
            continue;
        }
        // A gradient's colours follow its flag; the first of each kind is
        // the first colour's.
        if (code == 63 && gradient_ && !gradientNumber_) {
            gradientNumber_ = Integer(group);
            continue;
        }
        if (code == 421 && gradient_ && gradientRgb_ < 0) {
            gradientRgb_ = static_cast<std::uint32_t>(Integer(group)) & 0xFFFFFF;
            continue;
        }
        if (code != 53 && (families_.empty() ||
                           (code != 43 && code != 44 && code != 45 && code != 46 && code != 49)))
            continue;
        double value = Real(group);
        if (!Usable(value)) return Fail("a number that is not finite or out of range");
        bool stored = true;
        switch (code) {
            case 53:
                stored =
                    families_.Append({value * kRadiansPerDegree, 0, 0, 0, 0, dashes_.size(), 0});
                break;
            case 43:
                families_.back().baseX = value;
                break;
            case 44:
                families_.back().baseY = value;
                break;
            case 45:
                families_.back().offsetX = value;
                break;
            case 46:
                families_.back().offsetY = value;
                break;
            default:
                stored = dashes_.Append(value);
                ++families_.back().dashCount;
        }
        if (!stored) return Outcome::NoMemory;
    }
    return Outcome::Done;
}

// The path flags (92) the hatch style fills: all paths (style 0, even-odd);
// the external and outermost ones (style 1); the external ones (style 2).
// A style none of whose paths is so marked fills all of them.
int Parser::FilledPaths() const {
    int wanted = style_ == kStyleOuter    ? kExternalPath | kOutermostPath
                 : style_ == kStyleIgnore ? kExternalPath
                                          : 0;
    for (std::uint8_t flags : loopFlags_)
        if (flags & wanted) return wanted;
    return 0;
}

Outcome Parser::Fill() {
    if (gradient_) {
        solid_ = true;
        families_.Clear();
        shapes_.gradientColor = gradientNumber_ >= 1 && gradientNumber_ <= 255 ? gradientNumber_
                                : gradientRgb_ >= 0
                                    ? NearestColorNumber(static_cast<std::uint32_t>(gradientRgb_))
                                    : 0;
    }
    shapes_.filled = solid_ || !families_.empty();
    if (!shapes_.filled) return Outcome::Done;
    Buffer<Qdxf_Coord> points;
    Buffer<std::uint32_t> ends;
    if (!points.Reserve(shapes_.boundary.size())) return Outcome::NoMemory;
    const rt::Scratch<BulgePoint> &boundary = shapes_.boundary;
    double elevation = shapes_.elevation;
    int filled = FilledPaths();
    for (std::size_t loop = 0, begin = 0; loop < shapes_.pathEnds.size();
         begin = shapes_.pathEnds[loop++]) {
        if (filled && !(loopFlags_[loop] & filled)) continue;
        std::size_t end = shapes_.pathEnds[loop];
        for (std::size_t i = begin; i < end; ++i) {
            const BulgePoint &from = boundary[i], &to = boundary[i + 1 < end ? i + 1 : begin];
            if (!points.Append({from.x, from.y, elevation})) return Outcome::NoMemory;
            if (from.bulge == 0) continue;
            curve_.Clear();
            Outcome flattened = FlattenBulge({from.x, from.y, elevation}, {to.x, to.y, elevation},
                                             from.bulge, tolerance_, curve_);
            if (flattened == Outcome::Invalid) return Fail("a bulge that makes no arc");
            if (flattened != Outcome::Done) return flattened;
            for (std::size_t k = 0; k + 1 < curve_.size(); ++k) {
                const Qdxf_Coord &point = curve_[k];
                if (!Usable(point.x) || !Usable(point.y)) return Fail("a bulge out of range");
                if (!points.Append({point.x, point.y, elevation})) return Outcome::NoMemory;
            }
            if (points.size() > kMaxBoundaryPoints) return Fail("a boundary of too many points");
        }
        if (!ends.Append(static_cast<std::uint32_t>(points.size()))) return Outcome::NoMemory;
    }
    Rings rings{{points.data(), points.size()}, {ends.data(), ends.size()}};
    // Cut at maxPieces_ rather than at a cap of its own: the caller is told.
    bool cut = false;
    if (solid_) {
        bool swept = FillEvenOdd(rings, elevation, std::min(kMaxFillTriangles, maxPieces_),
                                 shapes_.triangles, &cut);
        shapes_.cut = cut && maxPieces_ < kMaxFillTriangles;
        return swept ? Outcome::Done : Outcome::NoMemory;
    }
    Buffer<PatternFamily> families;
    for (const FamilyDraft &draft : families_) {
        PatternFamily family{draft.angle,   draft.baseX,
                             draft.baseY,   draft.offsetX,
                             draft.offsetY, {dashes_.data() + draft.firstDash, draft.dashCount}};
        if (!families.Append(family)) return Outcome::NoMemory;
    }
    bool hatched = HatchEvenOdd(rings, {families.data(), families.size()}, elevation,
                                std::min(kMaxPatternSegments, maxPieces_), shapes_.lines, &cut);
    shapes_.cut = cut && maxPieces_ < kMaxPatternSegments;
    return hatched ? Outcome::Done : Outcome::NoMemory;
}

}  // namespace

Outcome TranslateHatch(Groups groups, double tolerance, HatchShapes &shapes, const char **why,
                       std::size_t maxPieces) {
    shapes.boundary.Clear();
    shapes.pathEnds.Clear();
    shapes.triangles.Clear();
    shapes.lines.Clear();
    shapes.elevation = 0;
    shapes.extrusion = {0, 0, 1};
    shapes.filled = shapes.cut = false;
    shapes.gradientColor = 0;
    Parser parser(groups, tolerance > 0 ? tolerance : 0, maxPieces, shapes, why);
    Outcome outcome = parser.Run();
    if (outcome != Outcome::Done) {
        shapes.boundary.Clear();
        shapes.pathEnds.Clear();
        shapes.triangles.Clear();
        shapes.lines.Clear();
    }
    return outcome;
}

}  // namespace vexlith::translate
