// SPDX-License-Identifier: MIT
// The geometry of the translations: coordinate systems, arcs, bulges,
// ellipses and splines, exact cases, impossible data, the caps, and curves
// compared with ezdxf's own evaluation (tests/interop/curve_reference.py).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>
#include <vector>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include "pellund_testing.h"
#include "test_support.h"
#include "translate/geometry.h"

using namespace vexlith;
using namespace vexlith::translate;
using namespace testing_support;

namespace {

constexpr double kPi = std::numbers::pi;

struct OwnPoints : Points {
    ~OwnPoints() { Release(); }
    std::vector<Qdxf_Coord> Vector() const { return {begin(), end()}; }
};

std::vector<EntityGroup> Entity(const std::vector<std::pair<int, double>> &groups) {
    std::vector<EntityGroup> entity;
    for (auto [code, value] : groups) {
        // The number groups outside the plain read's kind table (210-239) as
        // their binary encoding holds them: reals.
        Qdxf_ValueKind kind = code >= 210 && code < 240 ? QDXF_VALUE_REAL : GetGroupKind(code);
        entity.push_back(
            {code, kind, kind == QDXF_VALUE_INT ? static_cast<int>(value) : 0, value, "", 0});
    }
    return entity;
}

void ExpectNear(const Qdxf_Coord &a, const Qdxf_Coord &b, double within = 1e-12) {
    EXPECT_NEAR(a.x, b.x, within);
    EXPECT_NEAR(a.y, b.y, within);
    EXPECT_NEAR(a.z, b.z, within);
}

double Distance(const Qdxf_Coord &a, const Qdxf_Coord &b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

double DistanceToPolyline(const Qdxf_Coord &p, const std::vector<Qdxf_Coord> &line) {
    double nearest = Distance(p, line[0]);
    for (std::size_t i = 1; i < line.size(); ++i) {
        const Qdxf_Coord &a = line[i - 1], &b = line[i];
        Qdxf_Coord ab{b.x - a.x, b.y - a.y, b.z - a.z}, ap{p.x - a.x, p.y - a.y, p.z - a.z};
        double squared = ab.x * ab.x + ab.y * ab.y + ab.z * ab.z;
        double t = squared > 0 ? (ab.x * ap.x + ab.y * ap.y + ab.z * ap.z) / squared : 0;
        t = std::clamp(t, 0.0, 1.0);
        nearest = std::min(nearest, Distance(p, {a.x + t * ab.x, a.y + t * ab.y, a.z + t * ab.z}));
    }
    return nearest;
}

TEST(Geometry, ObjectCoordinateSystemsByTheArbitraryAxisAlgorithm) {
    const double r2 = std::sqrt(0.5), r3 = std::sqrt(1 / 3.0), r6 = std::sqrt(1 / 6.0);
    struct Case {
        Qdxf_Coord extrusion, x, y, z;
    };
    const Case cases[] = {
        {{0, 0, 5}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
        {{1, 1, 1}, {-r2, r2, 0}, {-r6, -r6, 2 * r6}, {r3, r3, r3}},
        // Just inside the 1/64 bound the world Y axis is taken.
        {{0.015, 0, 1},
         {1 / std::hypot(1, 0.015), 0, -0.015 / std::hypot(1, 0.015)},
         {0, 1, 0},
         {0.015 / std::hypot(1, 0.015), 0, 1 / std::hypot(1, 0.015)}},
    };
    for (const Case &c : cases) {
        Ocs ocs;
        ASSERT_TRUE(MakeOcs(c.extrusion, &ocs));
        ExpectNear(ocs.x, c.x);
        ExpectNear(ocs.y, c.y);
        ExpectNear(ocs.z, c.z);
        Qdxf_Coord world = ToWorld(ocs, {1, 2, 3});
        ExpectNear(world, {c.x.x + 2 * c.y.x + 3 * c.z.x, c.x.y + 2 * c.y.y + 3 * c.z.y,
                           c.x.z + 2 * c.y.z + 3 * c.z.z});
    }
    Ocs ocs;
    EXPECT_FALSE(MakeOcs({0, 0, 0}, &ocs));
    EXPECT_FALSE(MakeOcs({NAN, 0, 1}, &ocs));
    EXPECT_TRUE(MakeOcs({0, 0, 1e-300}, &ocs));
}

TEST(Geometry, ArcsAndBulgesEndExactlyWithTheSegmentsTheToleranceNeeds) {
    struct Case {
        double radius, start, end, tolerance;
        std::size_t segments;
        Qdxf_Coord first, last;
    };
    const Case cases[] = {
        // A quarter of radius 1 within 1e-3: 4 asin(sqrt(5e-4)) a segment.
        {1, 0, kPi / 2, 1e-3, 18, {1, 0, 0}, {0, 1, 0}},
        {2, 0, 0, 10, 8, {2, 0, 0}, {2, 0, 0}},                  // full turn, 8 at least
        {1, kPi, kPi / 2, 10, 6, {-1, 0, 0}, {0, 1, 0}},         // round once more: 270°
        {1, 0, 2 * kPi + 1e-9, 10, 8, {1, 0, 0}, {1, 1e-9, 0}},  // 2π written long: full
        {1, 0, 1e-3, 10, 1, {1, 0, 0}, {std::cos(1e-3), std::sin(1e-3), 0}},
        {1, 0, 1, 1e-300, kMaxCurveSegments, {1, 0, 0}, {std::cos(1.0), std::sin(1.0), 0}},
    };
    for (const Case &c : cases) {
        OwnPoints out;
        ASSERT_EQ(FlattenArc({0, 0, 0}, c.radius, c.start, c.end, c.tolerance, out), Outcome::Done);
        EXPECT_EQ(out.size(), c.segments + 1) << c.start << " " << c.end;
        EXPECT_EQ(out[0].x, c.first.x);
        ExpectNear(out[0], c.first);
        ExpectNear(out[out.size() - 1], c.last);
    }
    OwnPoints out;
    EXPECT_EQ(FlattenArc({0, 0, 0}, -1, 0, 1, 0, out), Outcome::Invalid);
    EXPECT_EQ(FlattenArc({0, NAN, 0}, 1, 0, 1, 0, out), Outcome::Invalid);

    // Bulges: 1 a half circle counterclockwise (to the right of the chord),
    // -1 clockwise, 0 the chord; `to` exact, z along the way.
    struct Bulge {
        double bulge;
        std::size_t count;
        Qdxf_Coord middle;
    };
    for (Bulge b : {Bulge{1, 4, {1, -1, 0.5}}, Bulge{-1, 4, {1, 1, 0.5}}, Bulge{0, 1, {2, 0, 1}}}) {
        out.Clear();
        ASSERT_EQ(FlattenBulge({0, 0, 0}, {2, 0, 1}, b.bulge, 10, out), Outcome::Done);
        ASSERT_EQ(out.size(), b.count);
        ExpectNear(out[b.count / 2 - (b.count > 1)], b.middle);
        EXPECT_EQ(out[b.count - 1].x, 2);
    }
    out.Clear();
    ASSERT_EQ(FlattenBulge({0, 0, 0}, {1, 0, 0}, std::tan(kPi / 8), 1e-4, out), Outcome::Done);
    for (const Qdxf_Coord &p : out)  // a quarter circle about (0.5, 0.5)
        EXPECT_NEAR(std::hypot(p.x - 0.5, p.y - 0.5), std::sqrt(0.5), 1e-12);
    EXPECT_EQ(FlattenBulge({0, 0, 0}, {1, 0, 0}, NAN, 0, out), Outcome::Invalid);
    EXPECT_EQ(FlattenBulge({0, 0, 0}, {1e308, 0, 0}, 1e300, 0, out), Outcome::Invalid);
}

TEST(Geometry, EllipsesAsArcsWhenCircularElsePolylinesInWorldCoordinates) {
    // A circular one under extrusion (0,0,-1): the centre and angles of the
    // mirrored plane, as an ARC record holds them.
    CircularShape circular;
    OwnPoints out;
    const char *why = nullptr;
    auto mirrored = Entity({{10, 1},
                            {20, 2},
                            {30, 3},
                            {11, 2},
                            {21, 0},
                            {31, 0},
                            {40, 1},
                            {41, 0},
                            {42, kPi / 2},
                            {210, 0},
                            {220, 0},
                            {230, -1}});
    ASSERT_EQ(TranslateEllipse(mirrored, 0, &circular, out, &why), Outcome::Done);
    EXPECT_TRUE(circular.isCircular && !circular.fullCircle && out.empty());
    ExpectNear(circular.center, {-1, 2, -3});
    EXPECT_DOUBLE_EQ(circular.radius, 2);
    EXPECT_DOUBLE_EQ(circular.startAngle, kPi);
    EXPECT_DOUBLE_EQ(circular.endAngle, 1.5 * kPi);
    ASSERT_EQ(TranslateEllipse(Entity({{11, 0}, {21, 3}, {40, 1}}), 0, &circular, out, &why),
              Outcome::Done);
    EXPECT_TRUE(circular.fullCircle);

    // Half an ellipse of axes 4 and 1 within 0.01: the major circle's count.
    ASSERT_EQ(TranslateEllipse(Entity({{10, 1}, {11, 4}, {40, 0.25}, {41, 0}, {42, kPi}}), 0.01,
                               &circular, out, &why),
              Outcome::Done);
    EXPECT_FALSE(circular.isCircular);
    EXPECT_EQ(out.size(), std::ceil(kPi / (4 * std::asin(std::sqrt(0.01 / 8)))) + 1);
    ExpectNear(out[0], {5, 0, 0});
    ExpectNear(out[out.size() - 1], {-3, 0, 0}, 1e-15);

    struct Bad {
        std::vector<std::pair<int, double>> groups;
        const char *why;
    };
    const Bad bad[] = {
        {{{11, 0}, {40, 0.5}}, "zero major axis"},
        {{{11, 1}, {40, NAN}}, "NaN or infinity in its data"},
        {{{11, 1}, {40, 0}}, "axis ratio not positive"},
        {{{11, 1}, {40, 0.5}, {230, 0}}, "zero normal"},
        {{{31, 1}, {40, 0.5}}, "major axis along the normal"},
    };
    for (const Bad &b : bad) {
        why = nullptr;
        EXPECT_EQ(TranslateEllipse(Entity(b.groups), 0, &circular, out, &why), Outcome::Invalid);
        EXPECT_STREQ(why, b.why);
    }
}

// The groups of a spline: degree, control points, knots, weights.
std::vector<std::pair<int, double>> Spline(int degree, const std::vector<Qdxf_Coord> &control,
                                           const std::vector<double> &knots,
                                           const std::vector<double> &weights = {}) {
    std::vector<std::pair<int, double>> groups{{71, degree}, {72, 999}, {73, 3}};
    for (double k : knots)
        groups.push_back({40, k});
    for (double w : weights)
        groups.push_back({41, w});
    for (const Qdxf_Coord &p : control) {
        groups.insert(groups.end(), {{10, p.x}, {20, p.y}, {30, p.z}});
    }
    return groups;
}

TEST(Geometry, SplinesRefuseImpossibleDataAndKeepTheirCaps) {
    const std::vector<Qdxf_Coord> four{{0, 0, 0}, {1, 2, 0}, {3, 2, 0}, {4, 0, 0}};
    const std::vector<double> clamped{0, 0, 0, 0, 1, 1, 1, 1};
    struct Bad {
        std::vector<std::pair<int, double>> groups;
        const char *why;
    };
    const Bad bad[] = {
        {Spline(3, four, {0, 0, 0, 0, 1, 1, 1}), "knot vector does not fit"},
        {Spline(3, four, {0, 0, 0, 1, 0, 1, 1, 1}), "knots decrease"},
        {Spline(3, four, {1, 1, 1, 1, 1, 1, 1, 1}), "knot vector does not fit"},
        {Spline(3, four, clamped, {1, 1, 0, 1}), "weight not positive"},
        {Spline(3, four, clamped, {1, 1}), "weights do not fit the control points"},
        {Spline(0, four, {0, 0, 0, 1, 1}), "degree out of range"},
        {Spline(26, four, {}), "degree out of range"},
        {Spline(4, four, {0, 0, 0, 0, 0, 1, 1, 1, 1}), "too few control points"},
        {Spline(3, {{0, 0, 0}, {1, NAN, 0}, {2, 0, 0}, {3, 0, 0}}, clamped),
         "NaN or infinity in its data"},
        {Spline(3, four, {0, 0, 0, 0, INFINITY, INFINITY, INFINITY, INFINITY}),
         "NaN or infinity in its data"},
        {Spline(3, {{0, 0, 0}, {1e300, 0, 0}, {0, 1e300, 0}, {1, 1, 0}}, clamped, {1, 1e300, 1, 1}),
         "coordinates out of range"},
        {{{70, 1}}, "neither control nor fit points"},
        {{{11, 1}, {11, 1}}, "fit points coincide"},
        {{{11, 1}, {21, NAN}, {11, 2}}, "NaN or infinity in its data"},
    };
    OwnPoints out;
    ASSERT_TRUE(out.Append({7, 7, 7}));
    for (const Bad &b : bad) {
        const char *why = nullptr;
        EXPECT_EQ(TranslateSpline(Entity(b.groups), 0, out, &why), Outcome::Invalid) << b.why;
        EXPECT_STREQ(why, b.why);
        EXPECT_EQ(out.size(), 1u);
    }

    // Without knots the clamped uniform vector; counts that lie are ignored.
    const char *why = nullptr;
    out.Clear();
    ASSERT_EQ(TranslateSpline(Entity(Spline(3, four, {})), 0, out, &why), Outcome::Done);
    ExpectNear(out[0], four[0]);
    ExpectNear(out[out.size() - 1], four[3]);
    ExpectNear(out[out.size() / 2], {2, 1.5, 0}, 1e-3);

    // 100,000 control points in more spans than the cap: bounded, on the
    // curve, ends exact.
    std::vector<Qdxf_Coord> many;
    std::vector<double> knots{0, 0, 0};
    for (int i = 0; i < 100000; ++i) {
        many.push_back({i * 1.0, (i % 2) * 1.0, 0});
        knots.push_back(std::clamp(i, 0, 99997));
    }
    knots.insert(knots.end(), {99997, 99997, 99997, 99997});
    knots.resize(many.size() + 4);
    out.Clear();
    Nurbs huge{3, many, {}, knots};
    ASSERT_EQ(FlattenNurbs(huge, 1e-9, out, &why), Outcome::Done) << why;
    EXPECT_EQ(out.size(), kMaxCurveSegments + 1);
    ExpectNear(out[0], many.front());
    ExpectNear(out[out.size() - 1], many.back());
    // A tiny tolerance on few spans: the cap, not an endless split.
    out.Clear();
    ASSERT_EQ(FlattenNurbs({3, four, {}, clamped}, 1e-300, out, &why), Outcome::Done);
    EXPECT_LE(out.size(), kMaxCurveSegments + 1);
    ExpectNear(out[out.size() - 1], four[3]);
}

TEST(Geometry, ClosedFitPointsMakeASmoothLoopThroughThem) {
    const std::vector<Qdxf_Coord> fit{{0, 0, 0}, {4, 0, 0}, {5, 3, 0}, {1, 4, 0}};
    OwnPoints out;
    const char *why = nullptr;
    ASSERT_EQ(FlattenFitPoints(3, fit, nullptr, nullptr, true, 1e-7, out, &why), Outcome::Done);
    std::vector<Qdxf_Coord> loop = out.Vector();
    ExpectNear(loop.front(), fit[0], 0);
    ExpectNear(loop.back(), fit[0], 0);
    for (const Qdxf_Coord &p : fit)
        EXPECT_LT(DistanceToPolyline(p, loop), 1e-12);
    // The same direction leaving and coming back to the first point.
    Qdxf_Coord out1 = loop[1], in1 = loop[loop.size() - 2];
    double leave = std::atan2(out1.y, out1.x), arrive = std::atan2(-in1.y, -in1.x);
    EXPECT_NEAR(leave, arrive, 0.01);
    // Degree 1: the points themselves, closed.
    out.Clear();
    ASSERT_EQ(FlattenFitPoints(1, fit, nullptr, nullptr, true, 0, out, &why), Outcome::Done);
    EXPECT_EQ(out.size(), 5u);
}

TEST(Geometry, EveryFailedAllocationIsNoMemoryAndFreesWhatItTook) {
    auto spline = Entity({{11, 0}, {11, 4}, {21, 3}, {11, 8}, {11, 9}, {21, 1}});
    for (long failing = 1;; ++failing) {
        long blocks = pellund_TestLiveBlocks();
        pellund_TestReset();
        pellund_TestFailAllocation(failing);
        Outcome outcome;
        {
            OwnPoints out;
            const char *why = nullptr;
            outcome = TranslateSpline(spline, 0, out, &why);
        }
        pellund_TestReset();
        EXPECT_EQ(pellund_TestLiveBlocks(), blocks);
        if (outcome == Outcome::Done) break;
        ASSERT_EQ(outcome, Outcome::NoMemory);
    }
}

// Runs curve_reference.py; its exit status.
int RunReference(std::string *output) {
#if defined(_WIN32)
    (void)output;
    return -1;
#else
    std::string command = std::string("'") + VEXLITH_PYTHON3 + "' '" + VEXLITH_SOURCE_DIR +
                          "/tests/interop/curve_reference.py' 2>&1";
    std::FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        output->append(buffer, got);
    int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

TEST(Geometry, CurvesLieOnEzdxfsCurvesWithinTheTolerance) {
    SKIP_WITHOUT_PYTHON3();
    std::string output;
    int status = RunReference(&output);
    if (status == 77) GTEST_SKIP() << "ezdxf cannot be imported: " << output;
    ASSERT_EQ(status, 0) << output;
    std::istringstream lines(output);
    std::string word, name;
    std::vector<std::pair<int, double>> groups;
    std::vector<Qdxf_Coord> reference;
    int cases = 0;
    const double tolerance = 1e-3;
    while (lines >> word) {
        if (word == "CASE") {
            std::getline(lines, name);
            groups.clear();
            reference.clear();
        } else if (word == "G") {
            std::pair<int, double> group;
            lines >> group.first >> group.second;
            groups.push_back(group);
        } else if (word == "P") {
            Qdxf_Coord p;
            lines >> p.x >> p.y >> p.z;
            reference.push_back(p);
        } else if (word == "END") {
            ++cases;
            OwnPoints out;
            CircularShape circular;
            const char *why = nullptr;
            auto entity = Entity(groups);
            Outcome outcome = name.find("ellipse") != std::string::npos
                                  ? TranslateEllipse(entity, tolerance, &circular, out, &why)
                                  : TranslateSpline(entity, tolerance, out, &why);
            ASSERT_EQ(outcome, Outcome::Done) << name << ": " << (why ? why : "");
            std::vector<Qdxf_Coord> ours = out.Vector();
            ExpectNear(ours.front(), reference.front(), 1e-9);
            ExpectNear(ours.back(), reference.back(), 1e-9);
            // Our vertices are on ezdxf's curve (its 4,000 steps are within
            // 1e-5 of it); its curve is within the tolerance of our polyline.
            double on = 0, within = 0;
            for (const Qdxf_Coord &p : ours)
                on = std::max(on, DistanceToPolyline(p, reference));
            for (const Qdxf_Coord &p : reference)
                within = std::max(within, DistanceToPolyline(p, ours));
            EXPECT_LT(on, 2e-5) << name;
            EXPECT_LT(within, tolerance + 2e-5) << name;
            std::printf("%-40s %5zu segments, vertices off %.1e, curve off %.1e\n", name.c_str(),
                        ours.size() - 1, on, within);
        }
    }
    EXPECT_EQ(cases, 8);
}

}  // namespace
