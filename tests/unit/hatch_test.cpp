// SPDX-License-Identifier: MIT
// HATCH entities taken apart: boundary paths, even-odd solid fills and clipped pattern
// lines, from groups built here and from hatches ezdxf (python3-ezdxf) writes and measures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>

#include "pellund_testing.h"
#include "test_support.h"
#include "translate/hatch.h"

using namespace testing_support;
using namespace vexlith::translate;

namespace {

constexpr double kPi = 3.141592653589793, kSqrt2 = 1.4142135623730951;

// A HATCH's groups as (code, value); each value takes the kind of its code.
using Pairs = std::vector<std::pair<int, double>>;
Pairs &operator+=(Pairs &a, const Pairs &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Pairs operator+(Pairs a, const Pairs &b) {
    return a += b;
}

// The groups of ASCII DXF text as pairs (210 to 239 are texts there).
Pairs PairsOf(const std::vector<Group> &dxf) {
    Pairs pairs;
    for (const Group &g : dxf) {
        const std::string *text = std::get_if<std::string>(&g.value);
        pairs.emplace_back(g.code, text                   ? std::strtod(text->c_str(), nullptr)
                                   : g.value.index() == 1 ? std::get<int>(g.value)
                                                          : std::get<double>(g.value));
    }
    return pairs;
}

Pairs Head(bool solid, int paths) {  // elevation 2.5
    return {{10, 0}, {30, 2.5}, {210, 0}, {230, 1}, {70, double(solid)}, {91, double(paths)}};
}
// A polyline path through (x, y, bulge) triples.
Pairs Polyline(std::vector<std::array<double, 3>> points, int flags = 1) {
    Pairs path{{92, double(flags | 2)}, {72, 1}, {73, 1}, {93, double(points.size())}};
    for (auto [x, y, bulge] : points)
        path += Pairs{{10, x}, {20, y}, {42, bulge}};
    return path + Pairs{{97, 0}};
}
Pairs Square(double low, double high) {
    return Polyline({{low, low, 0}, {high, low, 0}, {high, high, 0}, {low, high, 0}});
}
Pairs Edges(int count, const Pairs &edges) {
    return Pairs{{92, 1}, {93, double(count)}} + edges + Pairs{{97, 0}};
}
Pairs Line(double x0, double y0, double x1, double y1) {
    return {{72, 1}, {10, x0}, {20, y0}, {11, x1}, {21, y1}};
}
Pairs Arc(double x, double y, double r, double start, double end, bool ccw) {
    return {{72, 2}, {10, x}, {20, y}, {40, r}, {50, start}, {51, end}, {73, double(ccw)}};
}
// Pattern lines: angle, base x, y, offset x, y, then the dashes.
Pairs Pattern(std::vector<std::vector<double>> lines) {
    Pairs tail{{75, 0}, {76, 1}, {52, 0}, {41, 1}, {77, 0}, {78, double(lines.size())}};
    for (const auto &l : lines) {
        tail += Pairs{{53, l[0]}, {43, l[1]}, {44, l[2]},
                      {45, l[3]}, {46, l[4]}, {79, double(l.size() - 5)}};
        for (std::size_t i = 5; i < l.size(); ++i)
            tail += Pairs{{49, l[i]}};
    }
    return tail + Pairs{{98, 1}, {10, 1}, {20, 1}, {450, 0}, {460, 0.5}, {470, 0}};
}
const Pairs kSolidTail{{75, 0}, {76, 1}, {98, 0}};

// A HATCH of these groups translated.
struct Result {
    Outcome outcome;
    std::string why;
    HatchShapes shapes{};
    explicit Result(const Pairs &pairs, double tolerance = 1e-4) {
        std::vector<EntityGroup> groups;
        for (auto [code, value] : pairs) {
            vexlith::Qdxf_ValueKind kind = vexlith::GetGroupKind(code);
            if (kind == vexlith::QDXF_VALUE_NONE) kind = vexlith::QDXF_VALUE_REAL;  // 210 to 239
            groups.push_back({code, kind, static_cast<std::int32_t>(value), value, "", 0});
        }
        const char *text = "";
        outcome = TranslateHatch({groups.data(), groups.size()}, tolerance, shapes, &text);
        why = text;
    }
    ~Result() { shapes.Release(); }
};

double FillArea(const HatchShapes &shapes, double *smallest = nullptr) {
    double total = 0, least = INFINITY;
    for (std::size_t i = 0; i + 2 < shapes.triangles.size(); i += 3) {
        const Qdxf_Coord *t = &shapes.triangles[i];
        double area =
            ((t[1].x - t[0].x) * (t[2].y - t[0].y) - (t[2].x - t[0].x) * (t[1].y - t[0].y)) / 2;
        total += area;
        least = std::min(least, area);
    }
    if (smallest) *smallest = least;
    return total;
}

// A comb of 2 * teeth + 2 edges whose teeth all cross a sweep line, each
// ending at its own height; its area is teeth * 10.5 + 1e-3 * teeth * (teeth - 1) / 2.
Pairs Comb(int teeth) {
    std::vector<std::array<double, 3>> points{{0, 0, 0}};
    for (int i = 0; i < teeth; ++i)
        points.insert(points.end(), {{2.0 * i + 1, 10 + i * 1e-3, 0}, {2.0 * i + 2, 0.5, 0}});
    points.push_back({2.0 * teeth + 1, 0, 0});
    return Polyline(points);
}

// The boundary paths as bulged polylines, and their even-odd inside.
TEST(Hatch, SolidFillCoversTheInsideByTheEvenOddRule) {
    struct Case {
        const char *name;
        Pairs groups;
        double area;
        std::size_t points;  // of the boundary
    };
    const Case cases[] = {
        {"square with a square hole", Head(true, 2) + Square(0, 10) + Square(3, 7) + kSolidTail, 84,
         8},
        {"island in the hole", Head(true, 3) + Square(0, 10) + Square(2, 8) + Square(4, 6), 68, 12},
        {"overlapping squares", Head(true, 2) + Square(0, 10) + Square(5, 15), 150, 8},
        {"bow tie", Head(true, 1) + Polyline({{0, 0, 0}, {10, 10, 0}, {10, 0, 0}, {0, 10, 0}}), 50,
         4},
        {"comb of 10,000 edges", Head(true, 1) + Comb(4999), 4999 * 10.5 + 1e-3 * 4999 * 4998 / 2,
         10000},
        {"shared edge",
         Head(true, 2) + Square(0, 1) + Polyline({{1, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}}), 2,
         8},
        {"circle edge: two half circles", Head(true, 1) + Edges(1, Arc(1, 1, 5, 0, 360, true)),
         25 * kPi, 2},
        {"half-disc notch", Head(true, 1) + Polyline({{0, 0, 0}, {2, 0, -1}, {2, 2, 0}, {0, 2, 0}}),
         4 - kPi / 2, 4},
        {"half-disc bulge", Head(true, 1) + Polyline({{0, 0, 0}, {2, 0, 1}, {2, 2, 0}, {0, 2, 0}}),
         4 + kPi / 2, 4},
        // A clockwise quarter arc, stored with the angles of its mirror image.
        {"clockwise arc",
         Head(true, 1) +
             Edges(3, Line(0, 0, 0, 5) + Arc(0, 0, 5, 270, 360, false) + Line(5, 0, 0, 0)),
         25 * kPi / 4, 3},
        {"edges written backwards",
         Head(true, 1) + Edges(4, Line(10, 0, 0, 0) + Line(10, 0, 10, 10) + Line(0, 10, 10, 10) +
                                      Line(0, 10, 0, 0)),
         100, 4},
    };
    for (const Case &c : cases) {
        Result result(c.groups);
        ASSERT_EQ(result.outcome, Outcome::Done) << c.name << ": " << result.why;
        double smallest;
        EXPECT_NEAR(FillArea(result.shapes, &smallest), c.area, 1e-4 * c.area) << c.name;
        EXPECT_GT(smallest, 0) << c.name << ": every triangle counterclockwise and not empty";
        EXPECT_EQ(result.shapes.boundary.size(), c.points) << c.name;
        EXPECT_EQ(result.shapes.elevation, 2.5);
    }
}

TEST(Hatch, PatternLinesAreClippedToTheInside) {
    struct Case {
        const char *name;
        Pairs pattern;
        std::size_t segments;
        double length;  // of all the segments
    };
    const Case cases[] = {
        {"ANSI31", Pattern({{45, 0, 0, -2.2450640303, 2.2450640303}}), 5, 50 * kSqrt2 - 12 * 3.175},
        {"dashes", Pattern({{0, 0, 0, 0, 1, 1, -1}}), 50, 50},
        {"dots", Pattern({{90, 0.5, 1, -1, 0, 0, -2}}), 50, 0},
        {"two families", Pattern({{0, 0, 0.5, 0, 1}, {90, 0.5, 0, -1, 0}}), 20, 200},
    };
    for (const Case &c : cases) {
        Result result(Head(false, 1) + Square(0, 10) + c.pattern);
        ASSERT_EQ(result.outcome, Outcome::Done) << c.name << ": " << result.why;
        const Points &lines = result.shapes.lines;
        EXPECT_EQ(lines.size(), 2 * c.segments) << c.name;
        double length = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(std::fabs(lines[i].x - 5) <= 5 + 1e-9 &&
                        std::fabs(lines[i].y - 5) <= 5 + 1e-9)
                << c.name << ": an end outside the square";
            if (i % 2)
                length += std::hypot(lines[i].x - lines[i - 1].x, lines[i].y - lines[i - 1].y);
        }
        EXPECT_NEAR(length, c.length, 1e-9) << c.name;
    }
}

TEST(Hatch, HostileHatchesStayBoundedOrInvalid) {
    struct Case {
        const char *name;
        Pairs groups;
        const char *why;  // null: translated
    };
    const Case cases[] = {
        {"10,000 edges, pattern", Head(false, 1) + Comb(4999) + Pattern({{45, 0, 0, -0.01, 0.01}}),
         nullptr},
        {"spacing 1e-9",
         Head(false, 1) + Square(-1e4, 1e4) + Pattern({{30, 0, 0, 0, 1e-9, 1e-10, -1e-10}}),
         nullptr},
        {"NaN", Head(true, 1) + Polyline({{0, 0, 0}, {NAN, 1, 0}, {1, 1, INFINITY}}),
         "a number that is not finite or out of range"},
        {"unknown edge", Head(true, 1) + Pairs{{92, 1}, {72, 7}},
         "a boundary edge of unknown type (72)"},
        {"no boundary", Pairs{{70, 1}, {75, 0}}, "no boundary paths (group 91)"},
        {"cut in an edge",
         Head(true, 1) + Pairs{{92, 1}, {93, 2}, {72, 1}, {10, 0}, {20, 0}, {11, 1}},
         "a line edge without its two points"},
    };
    for (const Case &c : cases) {
        Result result(c.groups);
        if (c.why) {
            EXPECT_EQ(result.outcome, Outcome::Invalid) << c.name;
            EXPECT_EQ(result.why, c.why) << c.name;
            EXPECT_TRUE(result.shapes.boundary.empty()) << c.name;
        } else {
            EXPECT_EQ(result.outcome, Outcome::Done) << c.name << ": " << result.why;
            EXPECT_LE(result.shapes.lines.size(), 2 * kMaxPatternSegments) << c.name;
        }
    }
}

TEST(Hatch, EveryFailedAllocationIsReportedAndNothingLeaks) {
    for (const Pairs &hatch : {Head(true, 3) + Square(0, 10) + Square(2, 8) +
                                   Edges(1, Arc(5, 5, 1, 0, 360, true)) + kSolidTail,
                               Head(false, 2) + Square(0, 10) + Square(2, 8) +
                                   Pattern({{45, 0, 0, -1, 1, 1, -0.5}, {0, 0, 0, 0, 1}})}) {
        pellund_TestReset();
        long liveBefore = pellund_TestLiveBlocks();
        ASSERT_EQ(Result(hatch).outcome, Outcome::Done);
        long calls = pellund_TestAllocationCount();
        ASSERT_GT(calls, 5);
        for (long n = 1; n <= calls; ++n) {
            pellund_TestReset();
            pellund_TestFailAllocation(n);
            EXPECT_EQ(Result(hatch).outcome, Outcome::NoMemory) << "failing allocation " << n;
            pellund_TestReset();
            EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore) << "failing allocation " << n;
        }
    }
}

// ezdxf writes hatches of every edge kind and says what they cover: the
// even-odd area of its own flattening of the paths for a solid fill, its own
// hatching for a pattern.
TEST(Hatch, AgreesWithEzdxf) {
    SKIP_WITHOUT_PYTHON3();
#if !defined(_WIN32)
    TempFile dxf("", "hatches.dxf");
    std::string command = std::string("'") + VEXLITH_PYTHON3 + "' '" + VEXLITH_SOURCE_DIR +
                          "/tests/interop/hatch_reference.py' '" + dxf.path() + "' 2>&1";
    int status = std::system(command.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "no ezdxf";
    ASSERT_EQ(status, 0);
    std::map<std::string, double> areas;
    std::map<std::string, std::vector<std::array<double, 4>>> segments;
    std::ifstream tsv(dxf.path() + ".tsv");
    for (std::string handle, what; tsv >> handle >> what;) {
        std::array<double, 4> v{};
        tsv >> v[0];
        if (what == "area") areas[handle] = v[0];
        if (what == "segment" && tsv >> v[1] >> v[2] >> v[3]) segments[handle].push_back(v);
    }
    std::vector<Group> groups = GroupsOf(ReadWholeFile(dxf.path()));
    std::size_t hatches = 0;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (groups[i].code != 0 || groups[i].value != Group{0, "HATCH"}.value) continue;
        std::size_t end = i + 1;
        while (groups[end].code != 0)
            ++end;
        std::string handle = std::get<std::string>(groups[i + 1].value);
        Result result(PairsOf({groups.begin() + i + 1, groups.begin() + end}), 1e-5);
        ASSERT_EQ(result.outcome, Outcome::Done) << handle << ": " << result.why;
        ++hatches;
        if (areas.count(handle)) {
            EXPECT_NEAR(FillArea(result.shapes), areas[handle], 1e-3) << handle;
            continue;
        }
        // As many segments as ezdxf's, and each of theirs one of ours.
        const Points &ours = result.shapes.lines;
        ASSERT_EQ(ours.size(), 2 * segments[handle].size()) << handle;
        for (const auto &s : segments[handle]) {
            auto apart = [&](std::size_t k, int a, int b) {
                return std::hypot(ours[k].x - s[a], ours[k].y - s[a + 1]) +
                       std::hypot(ours[k + 1].x - s[b], ours[k + 1].y - s[b + 1]);
            };
            bool found = false;
            for (std::size_t k = 0; k < ours.size() && !found; k += 2)
                found = std::min(apart(k, 0, 2), apart(k, 2, 0)) < 1e-4;
            EXPECT_TRUE(found) << handle << ": from " << s[0] << " " << s[1];
        }
    }
    EXPECT_EQ(hatches, areas.size() + segments.size());
#endif
}

}  // namespace
