// SPDX-License-Identifier: MIT
// A drawing of the kinds the read options translate, written by ezdxf (an
// independent DXF library), read with QDXF_READ_ALL and a tolerance of 0.01:
// each record against what ezdxf computes of its entity (make_modern.py).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <string_view>

#include "model/text_advance.h"

#include "test_support.h"

using namespace testing_support;

namespace {

constexpr double kTolerance = 0.01;

// The numbers of a check as points: three numbers each.
std::vector<Qdxf_Coord> Points(const std::string &text) {
    std::vector<Qdxf_Coord> points;
    std::istringstream in(text);
    for (Qdxf_Coord p; in >> p.x >> p.y >> p.z;)
        points.push_back(p);
    return points;
}

double Distance(const Qdxf_Coord &a, const Qdxf_Coord &b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

// The distance from `p` to the polyline through `line`.
double ToPolyline(const Qdxf_Coord &p, const std::vector<Qdxf_Coord> &line) {
    double nearest = line.empty() ? INFINITY : Distance(p, line[0]);
    for (std::size_t i = 1; i < line.size(); ++i) {
        const Qdxf_Coord &a = line[i - 1], &b = line[i];
        Qdxf_Coord d{b.x - a.x, b.y - a.y, b.z - a.z};
        double length2 = d.x * d.x + d.y * d.y + d.z * d.z;
        double t =
            length2 > 0 ? ((p.x - a.x) * d.x + (p.y - a.y) * d.y + (p.z - a.z) * d.z) / length2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        nearest = std::min(nearest, Distance(p, {a.x + t * d.x, a.y + t * d.y, a.z + t * d.z}));
    }
    return nearest;
}

// The records an entity became: itself, or the pieces of the block it inserts.
std::vector<const Qdxf_Entity *> Records(const Qdxf_Info &drawing, const Qdxf_Entity &entity) {
    if (entity.type == QDXF_INSERT && entity.data.insert.blockName[0] == '*') {
        for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
            if (std::string(block->name) != entity.data.insert.blockName || block->typeFlag != 1)
                continue;
            std::vector<const Qdxf_Entity *> pieces;
            for (const Qdxf_Entity *piece = block->entities; piece; piece = piece->next)
                pieces.push_back(piece);
            return pieces;
        }
    }
    return {&entity};
}

// Each word ezdxf sets ("x y z height word", '|' between) lies on the
// baseline of one of the TEXTs an MTEXT became, as far from its start as
// the characters before it advance.
void CheckWords(const std::vector<const Qdxf_Entity *> &pieces, const std::string &values,
                const std::string &where) {
    struct Run {
        Qdxf_Coord start, along, up;
        const Qdxf_Text *text;
    };
    std::vector<Run> runs;
    std::size_t characters = 0;
    for (const Qdxf_Entity *piece : pieces) {
        ASSERT_EQ(piece->type, QDXF_TEXT) << where;
        const Qdxf_Text &t = piece->data.text;
        double back = (t.flags & 2) ? -1 : 1;
        Qdxf_Coord along{back * std::cos(t.angle), back * std::sin(t.angle), 0};
        Qdxf_Coord up{-std::sin(t.angle), std::cos(t.angle), 0};
        double advance = vexlith::TextAdvance(t.text) * t.height * t.xScale;
        double behind = t.horizJust == 1 ? advance / 2 : t.horizJust == 2 ? advance : 0;
        double down = t.vertJust == 1 ? -0.3 : t.vertJust == 2 ? 0.5 : t.vertJust == 3 ? 1 : 0;
        Qdxf_Coord s = t.horizJust || t.vertJust ? *t.alignmentPoint : t.insertionPoint;
        s = {s.x - along.x * behind - up.x * down * t.height,
             s.y - along.y * behind - up.y * down * t.height, s.z};
        runs.push_back({s, along, up, &t});
        for (const char *c = t.text; *c; ++c)
            characters += *c != ' ';
    }
    std::size_t wordCharacters = 0;
    std::istringstream in(values);
    for (std::string word; std::getline(in, word, '|');) {
        std::istringstream fields(word);
        Qdxf_Coord w;
        double height;
        std::string text;
        fields >> w.x >> w.y >> w.z >> height >> text;
        wordCharacters += text.size();
        bool found = false;
        for (const Run &run : runs) {
            Qdxf_Coord d{w.x - run.start.x, w.y - run.start.y, w.z - run.start.z};
            double across = d.x * run.up.x + d.y * run.up.y;
            double offset = d.x * run.along.x + d.y * run.along.y;
            double step = 0.75 * run.text->height * run.text->xScale;
            double index = std::round(offset / step);
            std::string_view ours = run.text->text;
            found = std::fabs(across) < 0.05 && std::fabs(offset - index * step) < 0.05 &&
                    index >= 0 && index < static_cast<double>(ours.size()) &&
                    ours.substr(static_cast<std::size_t>(index)).starts_with(text) &&
                    std::fabs(run.text->height - height) < 1e-9;
            if (found) break;
        }
        EXPECT_TRUE(found) << where << ": " << word;
    }
    EXPECT_EQ(characters, wordCharacters) << where;
}

void Check(const Qdxf_Info &drawing, const Qdxf_Entity &entity, const std::string &check,
           const std::string &values, std::size_t &faces, const std::string &where) {
    const auto &d = entity.data;
    std::vector<Qdxf_Coord> n = Points(values);
    if (check == "curve") {
        ASSERT_EQ(entity.type, QDXF_POLYLINE) << where;
        std::vector<Qdxf_Coord> ours;
        for (int i = 0; i < d.polyline.count; ++i)
            ours.push_back(d.polyline.vertices[i].location);
        for (const Qdxf_Coord &p : ours)
            ASSERT_LE(ToPolyline(p, n), kTolerance + 1e-6) << where;
        for (const Qdxf_Coord &p : n)
            ASSERT_LE(ToPolyline(p, ours), kTolerance + 1e-6) << where;
        EXPECT_LT(ours.size(), 2000u) << where;  // not flattened far finer than asked
    } else if (check == "arc") {  // the centre, then the radius, start and end in degrees
        bool circle = n[1].z - n[1].y == 360;
        ASSERT_EQ(entity.type, circle ? QDXF_CIRCLE : QDXF_ARC) << where;
        EXPECT_LT(Distance(circle ? d.circle.center : d.arc.center, n[0]), 1e-12) << where;
        EXPECT_NEAR(circle ? d.circle.radius : d.arc.radius, n[1].x, 1e-12) << where;
        if (!circle) {
            EXPECT_NEAR(d.arc.startAngle * 180 / std::numbers::pi, n[1].y, 1e-9) << where;
            EXPECT_NEAR(d.arc.endAngle * 180 / std::numbers::pi, n[1].z, 1e-9) << where;
        }
    } else if (check == "at") {
        const Qdxf_Coord &at =
            entity.type == QDXF_TEXT ? d.text.insertionPoint : d.insert.insertionPoint;
        EXPECT_LT(Distance(at, n[0]), 1e-12) << where;
    } else if (check == "lines") {
        std::string lines;
        for (const Qdxf_Entity *piece : Records(drawing, entity)) {
            ASSERT_EQ(piece->type, QDXF_TEXT) << where;
            if (!lines.empty()) lines += '|';
            lines += piece->data.text.text;
        }
        EXPECT_EQ(lines, values) << where;
    } else if (check == "joined") {  // lines of at most 250 characters, broken at blanks
        std::string joined;
        for (const Qdxf_Entity *piece : Records(drawing, entity)) {
            EXPECT_LE(std::strlen(piece->data.text.text), 250u) << where;
            if (!joined.empty()) joined += ' ';
            joined += piece->data.text.text;
        }
        EXPECT_EQ(joined, values) << where;
    } else if (check == "words") {
        CheckWords(Records(drawing, entity), values, where);
    } else if (check == "face") {
        std::vector<const Qdxf_Entity *> pieces = Records(drawing, entity);
        ASSERT_LT(faces, pieces.size()) << where;
        const Qdxf_Polyline &face = pieces[faces++]->data.polyline;
        ASSERT_EQ(face.count, 4) << where;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Distance(face.vertices[i].location, n[i]), 0) << where;
    } else if (check == "block") {
        ASSERT_EQ(entity.type, QDXF_INSERT) << where;
        EXPECT_EQ(std::string(d.insert.blockName), values) << where;
    }
}

TEST(EzdxfModern, TranslationsAgreeWithEzdxf) {
    SKIP_WITHOUT_PYTHON3();
    std::filesystem::path dir = VEXLITH_INTEROP_DIR;
    if (std::filesystem::exists(dir / "ezdxf-unavailable.txt")) GTEST_SKIP() << "no ezdxf";
    for (const char *form : {"ascii", "binary"}) {
        std::string file = (dir / "modern_").string().append(form).append(".dxf");
        Qdxf_ReadOptions options{sizeof options, QDXF_READ_ALL, kTolerance, nullptr, 0, nullptr};
        LogCapture log;
        DrawingPtr drawing(qdxf_ReadWithOptions(file.c_str(), nullptr, &options, nullptr));
        ASSERT_TRUE(drawing) << file;
        std::map<std::string, const Qdxf_Entity *> byHandle;
        for (const Qdxf_Entity *entity = drawing->entities; entity; entity = entity->next)
            byHandle[entity->handle ? entity->handle : ""] = entity;
        std::ifstream in(dir / "modern.ezdxf.tsv");
        std::string line;
        std::size_t checks = 0, faces = 0;
        while (std::getline(in, line)) {
            std::size_t tab = line.find('\t'), second = line.find('\t', tab + 1);
            std::string handle = line.substr(0, tab);
            std::string check = line.substr(tab + 1, second - tab - 1);
            ASSERT_TRUE(byHandle.count(handle)) << handle;
            Check(*drawing, *byHandle[handle], check, line.substr(second + 1), faces,
                  std::string(form) + " " + handle + " " + check);
            ++checks;
        }
        EXPECT_GT(checks, 15u);
    }
}

}  // namespace
