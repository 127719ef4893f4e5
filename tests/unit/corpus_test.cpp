// SPDX-License-Identifier: MIT
// Drawings from other producers, as listed in the corpus's MANIFEST.tsv. Each
// file either fails with exactly the chain of expected-failures.tsv, or reads
// to its EOF group holding the records expected-counts.tsv gives for it:
//   #BLOCK_DEFS          block definitions (records of the blocks list)
//   #LIB_ENTITIES        records of the drawing's entities list: every entity
//                        of the ENTITIES section except the VERTEX and SEQEND
//                        records a POLYLINE gathers
//   #LIB_INVALID         those of them with type QDXF_INVALID
//   #LIB_BLOCK_ENTITIES  records of the entity lists of all blocks
// and, per DXF kind, the raw number of records of the ENTITIES section.
// An ASCII and a binary save of the same drawing by the same producer give
// the same entities.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "corvane.h"
#include "pellund_testing.h"
#include "test_support.h"

using namespace testing_support;

namespace {

using Row = std::vector<std::string>;

// The rows of a tab-separated file, without its heading.
std::vector<Row> ReadTable(const std::filesystem::path &path) {
    std::vector<Row> rows;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        Row row;
        std::stringstream fields(line);
        std::string field;
        while (std::getline(fields, field, '\t'))
            row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> Split(const std::string &text, const std::string &separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string::npos;) {
        parts.push_back(text.substr(from, at - from));
        from = at + separator.size();
    }
    parts.push_back(text.substr(from));
    return parts;
}

// The kinds the library reads, by the name of their type group.
const std::map<std::string, Qdxf_EntityType> kReadKinds = {
    {"LINE", QDXF_LINE},     {"POINT", QDXF_POINT},   {"CIRCLE", QDXF_CIRCLE},
    {"ARC", QDXF_ARC},       {"TRACE", QDXF_TRACE},   {"SOLID", QDXF_SOLID},
    {"TEXT", QDXF_TEXT},     {"INSERT", QDXF_INSERT}, {"POLYLINE", QDXF_POLYLINE},
    {"3DFACE", QDXF_3DFACE},
};

// The kinds logged as ignored during a read.
struct LoggedKinds {
    std::set<std::string> names;
    LoggedKinds() { qsmg_SetSink(Collect, this); }
    ~LoggedKinds() { qsmg_SetSink(nullptr, nullptr); }
    static void Collect(void *context, const char *message) {
        std::string text = message;
        const std::string suffix = " entity ignored";
        if (text.size() > suffix.size() && text.ends_with(suffix)) {
            static_cast<LoggedKinds *>(context)->names.insert(
                text.substr(0, text.size() - suffix.size()));
        }
    }
};

int Length(const Qdxf_Entity *list) {
    int count = 0;
    for (; list; list = list->next)
        ++count;
    return count;
}

void CheckCounts(const std::string &file, const Qdxf_Info &drawing,
                 const std::map<std::string, int> &expected, const std::set<std::string> &logged) {
    std::map<std::string, int> held;
    for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
        ++held["#BLOCK_DEFS"];
        held["#LIB_BLOCK_ENTITIES"] += Length(block->entities);
    }
    int vertices = 0;
    for (const Qdxf_Entity *entity = drawing.entities; entity; entity = entity->next) {
        ++held["#LIB_ENTITIES"];
        held["#LIB_INVALID"] += entity->type == QDXF_INVALID;
        if (entity->type == QDXF_POLYLINE) vertices += entity->data.polyline.count;
    }
    for (const char *row :
         {"#BLOCK_DEFS", "#LIB_ENTITIES", "#LIB_INVALID", "#LIB_BLOCK_ENTITIES"}) {
        ASSERT_TRUE(expected.count(row)) << file << " has no row " << row;
        EXPECT_EQ(held[row], expected.at(row)) << file << " " << row;
    }

    // Raw records of the ENTITIES section: the ten kinds are entities of their
    // type; VERTEX records are polyline vertices; each POLYLINE takes one
    // SEQEND; other SEQEND records and every other kind are invalid entities,
    // whose kinds are logged.
    auto raw = [&](const std::string &kind) {
        auto found = expected.find(kind);
        return found == expected.end() ? 0 : found->second;
    };
    int invalid = raw("SEQEND") - raw("POLYLINE");
    for (const auto &[kind, count] : expected) {
        if (kind[0] == '#') continue;
        if (auto known = kReadKinds.find(kind); known != kReadKinds.end()) {
            int ofType = 0;
            for (const Qdxf_Entity *e = drawing.entities; e; e = e->next)
                ofType += e->type == known->second;
            EXPECT_EQ(ofType, count) << file << " " << kind;
        } else if (kind != "VERTEX" && kind != "SEQEND") {
            invalid += count;
            EXPECT_TRUE(logged.count(kind)) << file << ": " << kind << " was not logged";
        }
    }
    if (raw("SEQEND") > raw("POLYLINE")) {
        EXPECT_TRUE(logged.count("SEQEND")) << file << ": SEQEND was not logged";
    }
    EXPECT_EQ(vertices, raw("VERTEX")) << file << " vertices";
    EXPECT_EQ(held["#LIB_INVALID"], invalid) << file << " invalid entities by kind";
}

// ---------------------------------------------------------------------------
// ASCII and binary saves of one drawing
// ---------------------------------------------------------------------------

// Texts of a binary file keep trailing blanks that ASCII reading strips.
std::string Trimmed(const char *text) {
    std::string s = text ? text : "";
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.pop_back();
    return s;
}

// An ASCII file writes its reals with the digits its producer chooses, and
// not every producer rounds the last one correctly (1.494404150136851 for
// 1.4944041501368517). The ASCII value may differ from the binary one by one
// unit of its last significant digit; this corpus writes six at the least
// (62.8993 for 62.899262...), so a shorter text such as 0.5 is taken to have
// six. Nor is every producer's decimal conversion exact: a few units in the
// last place of the double are allowed as well (82.1904270902043237 for
// 82.19042709020434). A writer of a fixed number of decimals leaves tiny
// values a digit or none (-0.0000000000000001 for -1.07e-16): differences
// below 1e-15 are taken as such rounding. Angles are compared in degrees, as
// the files hold them.
int SignificantDigits(double value) {
    char text[64];
    for (int digits = 1; digits < 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) return digits;
    }
    return 17;
}

bool RoundedFrom(double ascii, double binary) {
    double difference = std::fabs(ascii - binary);
    if (difference <= 4 * DBL_EPSILON * std::fabs(binary) || difference < 1e-15) return true;
    if (ascii == 0.0) return std::fabs(binary) < 1e-6;
    int digits = std::max(6, SignificantDigits(ascii));
    double unit = std::pow(10.0, std::floor(std::log10(std::fabs(ascii))) - digits + 1);
    return std::fabs(ascii - binary) <= unit;
}

bool AngleRoundedFrom(double ascii, double binary) {
    constexpr double kDegrees = 180 / 3.141592653589793;
    // Back in degrees, the ASCII value carries the conversion's own error in
    // its last digits: 15 of them are kept.
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", ascii * kDegrees);
    return RoundedFrom(std::strtod(text, nullptr), binary * kDegrees);
}

struct PairComparison {
    std::string where;
    int differences = 0;

    void Text(const char *what, const char *a, const char *b) {
        if (Trimmed(a) != Trimmed(b)) Report(what, Trimmed(a), Trimmed(b));
    }
    void Int(const char *what, int a, int b) {
        if (a != b) Report(what, std::to_string(a), std::to_string(b));
    }
    void Real(const char *what, double a, double b) {
        if (!RoundedFrom(a, b)) Report(what, Exact(a), Exact(b));
    }
    void Angle(const char *what, double a, double b) {
        if (!AngleRoundedFrom(a, b)) Report(what, Exact(a), Exact(b));
    }
    void Point(const char *what, const Qdxf_Coord &a, const Qdxf_Coord &b) {
        Real(what, a.x, b.x);
        Real(what, a.y, b.y);
        Real(what, a.z, b.z);
    }
    static std::string Exact(double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", value);
        return text;
    }
    void Report(const char *what, const std::string &a, const std::string &b) {
        if (++differences <= 10) ADD_FAILURE() << where << " " << what << ": " << a << " / " << b;
    }

    void Entity(const Qdxf_Entity &a, const Qdxf_Entity &b) {
        Int("type", a.type, b.type);
        if (a.type != b.type) return;
        Text("layerName", a.layerName, b.layerName);
        Text("ltypeName", a.ltypeName, b.ltypeName);
        Int("color", a.color, b.color);
        Int("space", a.space, b.space);
        Real("elevation", a.elevation, b.elevation);
        Real("thickness", a.thickness, b.thickness);
        Int("has layer", a.layer != nullptr, b.layer != nullptr);
        switch (a.type) {
            case QDXF_LINE:
                Point("start", a.data.line.start, b.data.line.start);
                Point("end", a.data.line.end, b.data.line.end);
                break;
            case QDXF_POINT:
                Point("location", a.data.point.location, b.data.point.location);
                break;
            case QDXF_CIRCLE:
                Point("center", a.data.circle.center, b.data.circle.center);
                Real("radius", a.data.circle.radius, b.data.circle.radius);
                break;
            case QDXF_ARC:
                Point("center", a.data.arc.center, b.data.arc.center);
                Real("radius", a.data.arc.radius, b.data.arc.radius);
                Angle("startAngle", a.data.arc.startAngle, b.data.arc.startAngle);
                Angle("endAngle", a.data.arc.endAngle, b.data.arc.endAngle);
                break;
            case QDXF_TRACE:
            case QDXF_SOLID:
                for (int i = 0; i < 4; ++i)
                    Point("corner", a.data.trace.corner[i], b.data.trace.corner[i]);
                break;
            case QDXF_TEXT: {
                const Qdxf_Text &ta = a.data.text, &tb = b.data.text;
                Point("insertionPoint", ta.insertionPoint, tb.insertionPoint);
                Real("height", ta.height, tb.height);
                Text("text", ta.text, tb.text);
                Angle("angle", ta.angle, tb.angle);
                Real("xScale", ta.xScale, tb.xScale);
                Angle("obliqueAngle", ta.obliqueAngle, tb.obliqueAngle);
                Text("style", ta.style, tb.style);
                Int("flags", ta.flags, tb.flags);
                Int("horizJust", ta.horizJust, tb.horizJust);
                Int("vertJust", ta.vertJust, tb.vertJust);
                Int("has alignmentPoint", ta.alignmentPoint != nullptr,
                    tb.alignmentPoint != nullptr);
                if (ta.alignmentPoint && tb.alignmentPoint) {
                    Point("alignmentPoint", *ta.alignmentPoint, *tb.alignmentPoint);
                }
                break;
            }
            case QDXF_INSERT: {
                const Qdxf_Insert &ia = a.data.insert, &ib = b.data.insert;
                Text("blockName", ia.blockName, ib.blockName);
                Point("insertionPoint", ia.insertionPoint, ib.insertionPoint);
                Real("xScale", ia.xScale, ib.xScale);
                Real("yScale", ia.yScale, ib.yScale);
                Real("zScale", ia.zScale, ib.zScale);
                Angle("rotationAngle", ia.rotationAngle, ib.rotationAngle);
                Int("columnCount", ia.columnCount, ib.columnCount);
                Int("rowCount", ia.rowCount, ib.rowCount);
                Real("columnSpacing", ia.columnSpacing, ib.columnSpacing);
                Real("rowSpacing", ia.rowSpacing, ib.rowSpacing);
                break;
            }
            case QDXF_POLYLINE:
            case QDXF_3DFACE: {
                const Qdxf_Polyline &pa = a.data.polyline, &pb = b.data.polyline;
                Real("polyline elevation", pa.elevation, pb.elevation);
                Int("flag", pa.flag, pb.flag);
                Real("defaultStartingWidth", pa.defaultStartingWidth, pb.defaultStartingWidth);
                Real("defaultEndingWidth", pa.defaultEndingWidth, pb.defaultEndingWidth);
                for (int i = 0; i < 2; ++i) {
                    Int("meshVertexCount", pa.meshVertexCount[i], pb.meshVertexCount[i]);
                    Int("smoothSurfaceDensity", pa.smoothSurfaceDensity[i],
                        pb.smoothSurfaceDensity[i]);
                }
                Int("polyline type", pa.type, pb.type);
                Int("count", pa.count, pb.count);
                if (pa.count != pb.count) break;
                for (int i = 0; i < pa.count; ++i) {
                    const Qdxf_Vertex &va = pa.vertices[i], &vb = pb.vertices[i];
                    Point("vertex location", va.location, vb.location);
                    Real("startingWidth", va.startingWidth, vb.startingWidth);
                    Real("endingWidth", va.endingWidth, vb.endingWidth);
                    Real("bulge", va.bulge, vb.bulge);
                    Int("vertex flags", va.flags, vb.flags);
                    Real("tangentDir", va.tangentDir, vb.tangentDir);
                }
                break;
            }
            default:
                break;
        }
    }

    void Entities(std::string list, const Qdxf_Entity *a, const Qdxf_Entity *b) {
        int index = 0;
        for (; a && b; a = a->next, b = b->next, ++index) {
            where = list + " entity " + std::to_string(index);
            Entity(*a, *b);
        }
        where = list;
        Int("entities", Length(a), Length(b));  // what is left of the longer list
    }

    void Drawings(const Qdxf_Info &ascii, const Qdxf_Info &binary) {
        Entities("ENTITIES", ascii.entities, binary.entities);
        const Qdxf_Block *a = ascii.blocks, *b = binary.blocks;
        for (; a && b; a = a->next, b = b->next) {
            where = std::string("block ") + Trimmed(a->name);
            Text("name", a->name, b->name);
            Text("layerName", a->layerName, b->layerName);
            Int("typeFlag", a->typeFlag, b->typeFlag);
            Point("basePoint", a->basePoint, b->basePoint);
            Entities(where, a->entities, b->entities);
        }
        where = "blocks";
        Int("more blocks", a != nullptr, b != nullptr);
    }
};

// Pairs named by the manifest's notes ("same drawing as F", "pair of F").
std::vector<std::pair<std::string, std::string>> SavePairs(const std::vector<Row> &manifest) {
    std::set<std::pair<std::string, std::string>> pairs;
    for (const Row &row : manifest) {
        if (row.size() < 9) continue;
        for (const std::string phrase : {"same drawing as ", "pair of "}) {
            std::size_t at = row[8].find(phrase);
            if (at == std::string::npos) continue;
            at += phrase.size();
            std::string other = row[8].substr(at, row[8].find_first_of(" ;|", at) - at);
            if (!other.ends_with(".dxf")) continue;
            std::string ascii = row[0], binary = other;
            if (ascii.starts_with("binary/")) std::swap(ascii, binary);
            pairs.emplace(ascii, binary);
        }
    }
    return {pairs.begin(), pairs.end()};
}

TEST(Corpus, EveryFileReadsAsExpected) {
    std::filesystem::path corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "the corpus is not present";
    std::vector<Row> manifest = ReadTable(corpus / "MANIFEST.tsv");
    std::map<std::string, std::vector<std::string>> failures;
    for (const Row &row : ReadTable(corpus / "expected-failures.tsv"))
        failures[row[0]] = Split(row[1], " / ");
    std::map<std::string, std::map<std::string, int>> counts;
    for (const Row &row : ReadTable(corpus / "expected-counts.tsv"))
        counts[row[0]][row[1]] = std::stoi(row[2]);

    // The manifest lists every file of the corpus.
    std::set<std::string> listed, present;
    for (const Row &row : manifest)
        listed.insert(row[0]);
    for (const auto &entry : std::filesystem::recursive_directory_iterator(corpus)) {
        if (entry.is_regular_file() && entry.path().parent_path() != corpus) {
            present.insert(std::filesystem::relative(entry.path(), corpus).generic_string());
        }
    }
    EXPECT_EQ(listed, present);
    EXPECT_EQ(listed.size(), 80u);

    long liveBefore = pellund_TestLiveBlocks();
    int read = 0, failed = 0;
    for (const std::string &file : listed) {
        LoggedKinds logged;
        ReadOutcome outcome = ReadFile((corpus / file).string());
        if (auto failure = failures.find(file); failure != failures.end()) {
            ++failed;
            EXPECT_EQ(outcome.drawing, nullptr) << file;
            EXPECT_EQ(outcome.messages(), failure->second) << file;
            continue;
        }
        ASSERT_TRUE(outcome.drawing)
            << file << ": " << ::testing::PrintToString(outcome.messages());
        ++read;
        ASSERT_TRUE(counts.count(file)) << file << " has no expected counts";
        CheckCounts(file, *outcome.drawing, counts[file], logged.names);
    }
    EXPECT_EQ(read, 77);
    EXPECT_EQ(failed, 3);
    EXPECT_EQ(pellund_TestOpenHandles(), 0);
    EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore);
}

// A recovering read takes every drawing but the one that is no DXF at all.
// Where the file holds what no writer should write it lists its repairs (by
// their actions here); the others come back exactly as the plain read gives
// them, with no repair.
TEST(Corpus, RecoveringReadsEveryDrawing) {
    std::filesystem::path corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "the corpus is not present";
    LoggedKinds quiet;
    const std::map<std::string, std::vector<int>> damaged = {
        {"ascii-modern/ezdxf_duplicate_handles.dxf", {QDXF_REPAIR_RENAMED}},
        {"ascii-modern/ezdxf_recover02.dxf", {QDXF_REPAIR_DROPPED, QDXF_REPAIR_SKIPPED}},
        {"ascii-old/libredwg_r2.10_entities.dxf", {QDXF_REPAIR_SKIPPED}},
        {"ascii-old/libredwg_r2.6_entities.dxf", {QDXF_REPAIR_SKIPPED}},
        {"ascii-r12/dime_testFile_Bug03.dxf", {QDXF_REPAIR_REPLACED}},
        {"ascii-r12/ezdxf_R12_with_trash_beyond_EOF.dxf", {QDXF_REPAIR_SKIPPED}},
        {"ascii-r12/ezdxf_empty_handles.dxf", {QDXF_REPAIR_RENAMED}},
        {"ascii-r12/ezdxf_r12_blocks_with_no_names.dxf", {QDXF_REPAIR_RENAMED}},
        {"ascii-r12/ezdxf_recover01.dxf",
         {QDXF_REPAIR_SKIPPED, QDXF_REPAIR_SKIPPED, QDXF_REPAIR_INSERTED}},
        {"ascii-r12/openscad_nothing-decimal-comma-separated.dxf", {QDXF_REPAIR_REPLACED}},
    };
    for (const Row &row : ReadTable(corpus / "MANIFEST.tsv")) {
        std::string path = (corpus / row[0]).string();
        Qdxf_Repair *repairs = nullptr;
        Qdxf_ReadOptions options{sizeof options, QDXF_READ_RECOVER, 0, nullptr, 0, &repairs};
        qerr_Report *report = nullptr;
        DrawingPtr recovered(qdxf_ReadWithOptions(path.c_str(), nullptr, &options, &report));
        ReportPtr failure(report);
        if (row[0] == "ascii-old/libredwg_r1.4_entities.dxf") {
            EXPECT_NE(Messages(report).back().find("not a DXF file"), std::string::npos);
            continue;
        }
        ASSERT_TRUE(recovered) << row[0] << ": " << Levels(report).back();
        std::vector<int> actions;
        bool lossless = true;
        for (const Qdxf_Repair *repair = repairs; repair; repair = repair->next) {
            actions.push_back(repair->action);
            lossless = lossless && repair->loss == 0;
        }
        qdxf_RepairsFree(repairs);
        auto listed = damaged.find(row[0]);
        EXPECT_EQ(actions, listed == damaged.end() ? std::vector<int>{} : listed->second) << row[0];
        ReadOutcome plain = ReadFile(path);
        if (!plain.drawing || !lossless) continue;
        PairComparison comparison;
        comparison.Drawings(*plain.drawing, *recovered);
        EXPECT_EQ(comparison.differences, 0) << row[0];
    }
}

TEST(Corpus, AsciiAndBinarySavesOfADrawingGiveTheSameEntities) {
    std::filesystem::path corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "the corpus is not present";
    LoggedKinds quiet;
    auto pairs = SavePairs(ReadTable(corpus / "MANIFEST.tsv"));
    EXPECT_EQ(pairs.size(), 3u);
    for (const auto &[asciiFile, binaryFile] : pairs) {
        ReadOutcome ascii = ReadFile((corpus / asciiFile).string());
        ReadOutcome binary = ReadFile((corpus / binaryFile).string());
        ASSERT_TRUE(ascii.drawing && binary.drawing) << asciiFile << " / " << binaryFile;
        PairComparison comparison;
        comparison.Drawings(*ascii.drawing, *binary.drawing);
        EXPECT_EQ(comparison.differences, 0) << asciiFile << " / " << binaryFile;
    }
}

}  // namespace
