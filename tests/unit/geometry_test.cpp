// SPDX-License-Identifier: MIT
// The geometry of the translations: exact cases, impossible data, the caps,
// and curves compared with ezdxf's own (tests/interop/curve_reference.py).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <numbers>
#include <sstream>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include "pellund_testing.h"
#include "test_support.h"
#include "translate/geometry.h"
#include "translate/vector.h"

using namespace vexlith;
using namespace vexlith::translate;

namespace {

constexpr double kPi = std::numbers::pi;
using GroupList = std::vector<std::pair<int, double>>;

struct OwnPoints : Points {
    ~OwnPoints() { Release(); }
    Qdxf_Coord Last() const { return (*this)[size() - 1]; }
};

std::vector<EntityGroup> Entity(const GroupList &groups) {
    std::vector<EntityGroup> entity;
    for (auto [code, value] : groups) {
        // 210-239, outside the plain read's kind table, as binary files hold them.
        Qdxf_ValueKind kind = code >= 210 && code < 240 ? QDXF_VALUE_REAL : GetGroupKind(code);
        entity.push_back(
            {code, kind, kind == QDXF_VALUE_INT ? static_cast<int>(value) : 0, value, "", 0});
    }
    return entity;
}

void ExpectNear(const Qdxf_Coord &a, const Qdxf_Coord &b, double within = 1e-12) {
    EXPECT_LE(vec::Distance(a, b), within) << a.x << " " << a.y << " " << a.z;
}

double DistanceToPolyline(const Qdxf_Coord &p, std::span<const Qdxf_Coord> line) {
    double nearest = vec::Distance(p, line[0]);
    for (std::size_t i = 1; i < line.size(); ++i) {
        Qdxf_Coord ab = vec::Sub(line[i], line[i - 1]), ap = vec::Sub(p, line[i - 1]);
        double t = std::clamp(vec::Dot(ab, ap) / std::max(vec::Dot(ab, ab), 1e-300), 0.0, 1.0);
        nearest = std::min(nearest, vec::Distance(ap, vec::Scale(ab, t)));
    }
    return nearest;
}

TEST(Geometry, ObjectCoordinateSystemsByTheArbitraryAxisAlgorithm) {
    const double r2 = std::sqrt(0.5), r3 = std::sqrt(1 / 3.0), r6 = std::sqrt(1 / 6.0);
    const double c = 1 / std::hypot(1, 0.015), s = 0.015 * c;
    const std::pair<Qdxf_Coord, Ocs> cases[] = {
        {{0, 0, -1}, {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}},
        {{1, 1, 1}, {{-r2, r2, 0}, {-r6, -r6, 2 * r6}, {r3, r3, r3}}},
        {{0.015, 0, 1}, {{c, 0, -s}, {0, 1, 0}, {s, 0, c}}},  // inside 1/64: world Y taken
    };
    for (const auto &[extrusion, expected] : cases) {
        Ocs ocs;
        ASSERT_TRUE(MakeOcs(extrusion, &ocs));
        ExpectNear(ToWorld(ocs, {1, 0, 0}), expected.x);
        ExpectNear(ToWorld(ocs, {0, 1, 0}), expected.y);
        ExpectNear(ToWorld(ocs, {0, 0, 1}), expected.z);
    }
    Ocs ocs;
    EXPECT_FALSE(MakeOcs({0, 0, 0}, &ocs));
    EXPECT_FALSE(MakeOcs({NAN, 0, 1}, &ocs));
}

TEST(Geometry, ArcsAndBulgesEndExactlyWithTheSegmentsTheToleranceNeeds) {
    struct Case {
        double radius, start, end, tolerance;
        std::size_t segments;
        Qdxf_Coord last;
    };
    const Case cases[] = {
        {1, 0, kPi / 2, 1e-3, 18, {0, 1, 0}},         // 4 asin(sqrt(tolerance / 2r)) a segment
        {2, 0, 0, 10, 8, {2, 0, 0}},                  // a full turn: 8 at least
        {1, kPi, kPi / 2, 10, 6, {0, 1, 0}},          // an end before the start: 270°
        {1, 0, 2 * kPi + 1e-9, 10, 8, {1, 1e-9, 0}},  // 2π written long: a full turn
        {1, 0, 1, 1e-300, kMaxCurveSegments, {std::cos(1.0), std::sin(1.0), 0}},
    };
    for (const Case &arc : cases) {
        OwnPoints out;
        ASSERT_EQ(FlattenArc({0, 0, 7}, arc.radius, arc.start, arc.end, arc.tolerance, out),
                  Outcome::Done);
        EXPECT_EQ(out.size(), arc.segments + 1) << arc.end;
        ExpectNear(out[0], {arc.radius * std::cos(arc.start), arc.radius * std::sin(arc.start), 7});
        ExpectNear(out.Last(), {arc.last.x, arc.last.y, 7});
    }
    OwnPoints out;
    EXPECT_EQ(FlattenArc({0, 0, 0}, -1, 0, 1, 0, out), Outcome::Invalid);
    // Bulge 1: half a circle counterclockwise, so right of the chord; -1 left;
    // 0 the chord. `to` exact, z along the way.
    for (auto [bulge, count, middle] : {std::tuple{1.0, 4u, Qdxf_Coord{1, -1, 0.5}},
                                        {-1.0, 4u, {1, 1, 0.5}},
                                        {0.0, 1u, {2, 0, 1}}}) {
        out.Clear();
        ASSERT_EQ(FlattenBulge({0, 0, 0}, {2, 0, 1}, bulge, 10, out), Outcome::Done);
        ASSERT_EQ(out.size(), count);
        ExpectNear(out[count / 2 - (count > 1)], middle);
        EXPECT_EQ(out.Last().x, 2);
    }
    EXPECT_EQ(FlattenBulge({0, 0, 0}, {1e308, 0, 0}, 1e300, 0, out), Outcome::Invalid);
}

TEST(Geometry, EllipsesAsArcsWhenCircularElsePolylines) {
    // Circular under extrusion (0,0,-1): centre and angles of the mirrored
    // plane, as an ARC holds them.
    CircularShape circular;
    OwnPoints out;
    const char *why = nullptr;
    GroupList mirrored{{10, 1}, {20, 2},       {30, 3},  {11, 2},  {40, 1},
                       {41, 0}, {42, kPi / 2}, {210, 0}, {220, 0}, {230, -1}};
    ASSERT_EQ(TranslateEllipse(Entity(mirrored), 0, &circular, out, &why), Outcome::Done);
    EXPECT_TRUE(circular.isCircular && !circular.fullCircle && out.empty());
    ExpectNear(circular.center, {-1, 2, -3});
    EXPECT_DOUBLE_EQ(circular.radius, 2);
    EXPECT_DOUBLE_EQ(circular.startAngle, kPi);
    EXPECT_DOUBLE_EQ(circular.endAngle, 1.5 * kPi);
    ASSERT_EQ(TranslateEllipse(Entity({{21, 3}}), 0, &circular, out, &why), Outcome::Done);
    EXPECT_TRUE(circular.fullCircle);
    // Half an ellipse of axes 4 and 1 within 0.01: the count of its major circle.
    ASSERT_EQ(TranslateEllipse(Entity({{10, 1}, {11, 4}, {40, 0.25}, {42, kPi}}), 0.01, &circular,
                               out, &why),
              Outcome::Done);
    EXPECT_EQ(out.size(), std::ceil(kPi / (4 * std::asin(std::sqrt(0.01 / 8)))) + 1);
    ExpectNear(out[0], {5, 0, 0});
    ExpectNear(out.Last(), {-3, 0, 0});

    const std::pair<GroupList, const char *> bad[] = {
        {{{11, 0}, {40, 0.5}}, "zero major axis"},
        {{{11, 1}, {40, 0}}, "axis ratio not positive"},
        {{{11, 1}, {40, 0.5}, {230, 0}}, "zero normal"},
        {{{31, 1}, {40, 0.5}}, "major axis along the normal"},
    };
    for (const auto &[groups, reason] : bad) {
        EXPECT_EQ(TranslateEllipse(Entity(groups), 0, &circular, out, &why), Outcome::Invalid);
        EXPECT_STREQ(why, reason);
    }
}

GroupList Spline(int degree, const std::vector<Qdxf_Coord> &control,
                 const std::vector<double> &knots, const std::vector<double> &weights = {}) {
    GroupList groups{{71, degree}, {72, 999}, {73, 3}};  // counts that lie
    for (double k : knots)
        groups.push_back({40, k});
    for (double w : weights)
        groups.push_back({41, w});
    for (const Qdxf_Coord &p : control)
        groups.insert(groups.end(), {{10, p.x}, {20, p.y}, {30, p.z}});
    return groups;
}

TEST(Geometry, SplinesRefuseImpossibleDataAndKeepTheirCaps) {
    const std::vector<Qdxf_Coord> four{{0, 0, 0}, {1, 2, 0}, {3, 2, 0}, {4, 0, 0}};
    const std::vector<double> clamped{0, 0, 0, 0, 1, 1, 1, 1};
    const std::pair<GroupList, const char *> bad[] = {
        {Spline(3, four, {0, 0, 0, 0, 1, 1, 1}), "knot vector does not fit"},
        {Spline(3, four, {0, 0, 0, 1, 0, 1, 1, 1}), "knots decrease"},
        {Spline(3, four, {1, 1, 1, 1, 1, 1, 1, 1}), "knot vector does not fit"},
        {Spline(3, four, clamped, {1, 1, 0, 1}), "weight not positive"},
        {Spline(3, four, clamped, {1, 1}), "weights do not fit the control points"},
        {Spline(0, four, {0, 0, 0, 1, 1}), "degree out of range"},
        {Spline(4, four, {0, 0, 0, 0, 0, 1, 1, 1, 1}), "too few control points"},
        {Spline(3, {{0, 0, 0}, {1, NAN, 0}, {2, 0, 0}, {3, 0, 0}}, clamped),
         "NaN or infinity in its data"},
        {Spline(3, {{0, 0, 0}, {1e300, 0, 0}, {0, 1e300, 0}, {1, 1, 0}}, clamped, {1, 1e300, 1, 1}),
         "coordinates out of range"},
        {{{70, 1}}, "neither control nor fit points"},
        {{{11, 1}, {11, 1}}, "fit points coincide"},
        {{{11, 1}, {21, NAN}, {11, 2}}, "NaN or infinity in its data"},
    };
    OwnPoints out;
    const char *why = nullptr;
    ASSERT_TRUE(out.Append({7, 7, 7}));
    for (const auto &[groups, reason] : bad) {
        EXPECT_EQ(TranslateSpline(Entity(groups), 0, out, &why), Outcome::Invalid) << reason;
        EXPECT_STREQ(why, reason);
        EXPECT_EQ(out.size(), 1u);  // as it was
    }
    out.Clear();  // without knots the clamped uniform vector
    ASSERT_EQ(TranslateSpline(Entity(Spline(3, four, {})), 0, out, &why), Outcome::Done);
    ExpectNear(out[out.size() / 2], {2, 1.5, 0}, 1e-3);

    // 100,000 control points, more spans than the cap; a tiny tolerance on
    // one span: the cap, the ends exact.
    std::vector<Qdxf_Coord> many;
    std::vector<double> knots{0, 0, 0, 0};
    for (int i = 0; i < 100000; ++i) {
        many.push_back({i * 1.0, (i % 2) * 1.0, 0});
        knots.push_back(std::clamp(i + 1, 0, 99997));
    }
    for (auto [curve, tolerance] :
         {std::pair{Nurbs{3, many, {}, knots}, 1e-9}, {Nurbs{3, four, {}, clamped}, 1e-300}}) {
        out.Clear();
        ASSERT_EQ(FlattenNurbs(curve, tolerance, out, &why), Outcome::Done) << why;
        EXPECT_EQ(out.size(), kMaxCurveSegments + 1);
        ExpectNear(out.Last(), curve.control.back());
    }
    // Closed fit points: a loop through them, leaving and coming back to the
    // first point in the same direction.
    out.Clear();
    ASSERT_EQ(FlattenFitPoints(3, four, nullptr, nullptr, true, 1e-7, out, &why), Outcome::Done);
    ExpectNear(out.Last(), four[0], 0);
    for (const Qdxf_Coord &p : four)
        EXPECT_LT(DistanceToPolyline(p, {out.begin(), out.end()}), 1e-12);
    Qdxf_Coord leave = out[1], arrive = vec::Scale(out[out.size() - 2], -1);
    EXPECT_NEAR(std::atan2(leave.y, leave.x), std::atan2(arrive.y, arrive.x), 0.01);
}

TEST(Geometry, EveryFailedAllocationIsNoMemoryAndFreesWhatItTook) {
    auto spline = Entity({{11, 0}, {11, 4}, {21, 3}, {11, 8}, {11, 9}, {21, 1}});
    Outcome outcome = Outcome::NoMemory;
    const char *why = nullptr;
    for (long failing = 1; outcome == Outcome::NoMemory; ++failing) {
        long blocks = pellund_TestLiveBlocks();
        pellund_TestFailAllocation(failing);
        outcome = TranslateSpline(spline, 0, *std::make_unique<OwnPoints>(), &why);
        pellund_TestReset();
        EXPECT_EQ(pellund_TestLiveBlocks(), blocks);
    }
    EXPECT_EQ(outcome, Outcome::Done);
}

TEST(Geometry, CurvesLieOnEzdxfsCurvesWithinTheTolerance) {
    SKIP_WITHOUT_PYTHON3();
#if !defined(_WIN32)
    std::string command = std::string("'") + VEXLITH_PYTHON3 + "' '" + VEXLITH_SOURCE_DIR +
                          "/tests/interop/curve_reference.py' 2>&1";
    std::string output;
    std::FILE *pipe = ::popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    char buffer[4096];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, got);
    int status = WEXITSTATUS(::pclose(pipe));
    if (status == 77) GTEST_SKIP() << "ezdxf cannot be imported: " << output;
    ASSERT_EQ(status, 0) << output;

    std::istringstream lines(output);
    std::string name, groupText, pointText;
    int cases = 0;
    const double tolerance = 1e-3;
    while (std::getline(lines, name) && std::getline(lines, groupText) &&
           std::getline(lines, pointText)) {
        ++cases;
        GroupList groups;
        std::vector<Qdxf_Coord> reference;
        std::istringstream groupValues(groupText), pointValues(pointText);
        for (std::pair<int, double> g; groupValues >> g.first >> g.second;)
            groups.push_back(g);
        for (Qdxf_Coord p; pointValues >> p.x >> p.y >> p.z;)
            reference.push_back(p);
        OwnPoints out;
        CircularShape circular;
        const char *why = "";
        Outcome outcome = name.starts_with("ellipse")
                              ? TranslateEllipse(Entity(groups), tolerance, &circular, out, &why)
                              : TranslateSpline(Entity(groups), tolerance, out, &why);
        ASSERT_EQ(outcome, Outcome::Done) << name << ": " << why;
        ExpectNear(out[0], reference.front(), 1e-9);
        ExpectNear(out.Last(), reference.back(), 1e-9);
        // Our vertices on ezdxf's curve (its 4,000 steps are within 1e-5
        // of it); its curve within the tolerance of our polyline.
        double on = 0, within = 0;
        for (const Qdxf_Coord &p : out)
            on = std::max(on, DistanceToPolyline(p, reference));
        for (const Qdxf_Coord &p : reference)
            within = std::max(within, DistanceToPolyline(p, {out.begin(), out.end()}));
        EXPECT_LT(on, 2e-5) << name;
        EXPECT_LT(within, tolerance + 2e-5) << name;
    }
    EXPECT_EQ(cases, 8);
#endif
}

}  // namespace
