// SPDX-License-Identifier: MIT
// MULTILEADER: a block of its leader lines (a 3-D POLYLINE each, from its
// first vertex through the others to the landing point of its branch), a
// closed filled SOLID arrowhead at the start of each line, the landing
// (dogleg) of each branch as a LINE, and its content: the MTEXT as the MTEXT
// translation makes it (a TEXT, or an INSERT of a block of TEXTs), or an
// INSERT of the content block (named through its block record).
// Approximated: spline leader lines are drawn straight, every arrowhead is
// closed filled, the text's frame, background and the content block's
// attributes are not drawn.
#include <cmath>
#include <cstring>

#include "translate/records.h"
#include "translate/sketch.h"
#include "translate/styles.h"
#include "translate/vector.h"

namespace vexlith::translate {
namespace {

// Where a group stands in the nested structure of the entity.
enum class Part { kEntity, kContext, kLeader, kLeaderLine };

struct Content {
    bool hasText = false, hasBlock = false;
    const EntityGroup *text = nullptr;
    Qdxf_Coord textAt{}, textDirection{1, 0, 0}, textNormal{0, 0, 1};
    double textHeight = 0, textWidth = 0, spacing = 1;
    int attachment = 1;
    const EntityGroup *block = nullptr;  // the block record's handle
    Qdxf_Coord blockAt{}, blockScale{1, 1, 1};
    double blockRotation = 0;  // radians
};

// One leader line: its vertices, from `first` in the points, and the branch
// whose landing it reaches.
struct Line {
    std::size_t first, count;
    std::size_t branch;
};
struct Branch {
    Qdxf_Coord landing{}, dogleg{};
    bool landed = false, doglegged = false;
    double doglegLength = 0;
};

bool IsText(const EntityGroup &group, const char *text) {
    return group.kind == QDXF_VALUE_TEXT && std::strcmp(group.text, text) == 0;
}

// The MTEXT of the content, as the groups of an MTEXT entity.
Outcome AddText(Context &context, Sketch &sketch, const Content &content) {
    auto real = [](int code, double value) {
        return EntityGroup{code, QDXF_VALUE_REAL, 0, value, "", 0};
    };
    EntityGroup groups[] = {
        {1, QDXF_VALUE_TEXT, 0, 0, content.text->text, content.text->length},
        real(10, content.textAt.x),
        real(20, content.textAt.y),
        real(30, content.textAt.z),
        real(11, content.textDirection.x),
        real(21, content.textDirection.y),
        real(31, content.textDirection.z),
        real(40, content.textHeight),
        real(41, content.textWidth),
        real(44, content.spacing),
        {71, QDXF_VALUE_INT, content.attachment, 0, "", 0},
    };
    Qdxf_Entity *piece = sketch.Add(QDXF_TEXT, 0);
    if (!piece) return Outcome::NoMemory;
    Translation &translation = context.translation();
    Qdxf_Coord extrusion = translation.extrusion;
    Qdxf_Coord normal;
    if (vec::Normalize(content.textNormal, &normal)) translation.extrusion = normal;
    // Its pieces' block, if it makes one, is inserted by a piece of ours.
    Context text{context.read, context.drawing, sketch.Block(), *piece, Groups(groups)};
    Outcome outcome = TranslateMTextGroups(text);
    translation.extrusion = extrusion;
    if (outcome == Outcome::Invalid) context.why = text.why;
    return outcome;
}

Outcome AddBlock(Context &context, Sketch &sketch, const Content &content) {
    const char *name = context.translation().styles.BlockName(content.block->text);
    if (!name) return Outcome::Done;
    rt::Owned<char> copy(CopyText(context.Utf8(), name, std::strlen(name)));
    Qdxf_Entity *piece = copy ? sketch.Add(QDXF_INSERT, 0) : nullptr;
    if (!piece) return Outcome::NoMemory;
    Qdxf_Insert &insert = piece->data.insert;
    insert.blockName = copy.release();
    insert.insertionPoint = content.blockAt;
    insert.xScale = content.blockScale.x;
    insert.yScale = content.blockScale.y;
    insert.zScale = content.blockScale.z;
    insert.rotationAngle =
        std::isfinite(content.blockRotation) ? FileAngle(content.blockRotation) : 0;
    return sketch.Placed(*piece);
}

}  // namespace

Outcome TranslateMultiLeader(Context &context) {
    Translation &translation = context.translation();
    Points &points = translation.points;
    points.Clear();
    rt::Scratch<Line> lines;
    rt::Scratch<Branch> branches;
    Points line;  // one leader line's points at a time
    auto release = [&](Outcome outcome) {
        lines.Release();
        branches.Release();
        line.Release();
        return outcome;
    };
    Content content;
    Part part = Part::kEntity;
    bool drawn = true, landing = true, dogleg = true;
    double arrowSize = -1, entityArrowSize = 0, entityDogleg = 0, scale = 1;
    for (const EntityGroup &group : context.groups) {
        int code = group.code;
        switch (part) {
            case Part::kEntity:
                if (code == 300 && IsText(group, "CONTEXT_DATA{")) part = Part::kContext;
                if (code == 170) drawn = group.integer != 0;  // 0: invisible leaders
                if (code == 290) landing = group.integer != 0;
                if (code == 291) dogleg = group.integer != 0;
                if (code == 41) entityDogleg = group.real;
                if (code == 42) entityArrowSize = group.real;
                if (code == 344 && !content.block) content.block = &group;
                break;
            case Part::kContext:
                if (code == 301) part = Part::kEntity;
                if (code == 302 && IsText(group, "LEADER{")) {
                    if (!branches.AppendZeroed()) return release(Outcome::NoMemory);
                    part = Part::kLeader;
                }
                if (code == 40) scale = group.real;
                if (code == 140) arrowSize = group.real;
                if (code == 41) content.textHeight = group.real;
                if (code == 43) content.textWidth = group.real;
                if (code == 45) content.spacing = group.real;
                if (code == 171) content.attachment = group.integer;
                if (code == 290) content.hasText = group.integer != 0;
                if (code == 296) content.hasBlock = group.integer != 0;
                if (code == 304) content.text = &group;
                if (code == 341) content.block = &group;
                if (code == 46) content.blockRotation = group.real;
                (void)(SetAxis(content.textAt, group, 12) ||
                       SetAxis(content.textDirection, group, 13) ||
                       SetAxis(content.textNormal, group, 11) ||
                       SetAxis(content.blockAt, group, 15) ||
                       SetAxis(content.blockScale, group, 16));
                break;
            case Part::kLeader: {
                Branch &branch = branches[branches.size() - 1];
                if (code == 303) part = Part::kContext;
                if (code == 304 && IsText(group, "LEADER_LINE{")) {
                    if (!lines.Append({points.size(), 0, branches.size() - 1}))
                        return release(Outcome::NoMemory);
                    part = Part::kLeaderLine;
                }
                if (code == 290) branch.landed = group.integer != 0;
                if (code == 291) branch.doglegged = group.integer != 0;
                if (code == 40) branch.doglegLength = group.real;
                (void)(SetAxis(branch.landing, group, 10) || SetAxis(branch.dogleg, group, 11));
                break;
            }
            case Part::kLeaderLine:
                if (code == 305) part = Part::kLeader;
                if (code == 10) {
                    if (!points.Append({group.real, 0, 0})) return release(Outcome::NoMemory);
                    ++lines[lines.size() - 1].count;
                }
                if (code == 20 || code == 30) {
                    if (lines[lines.size() - 1].count)
                        SetAxis(points[points.size() - 1], group, 10);
                }
                break;
        }
    }
    if (arrowSize < 0) arrowSize = entityArrowSize * scale;

    Sketch sketch(context);
    Outcome outcome = Outcome::Done;
    for (std::size_t i = 0; drawn && i < lines.size() && outcome == Outcome::Done; ++i) {
        const Line &leader = lines[i];
        const Branch &branch = branches[leader.branch];
        line.Clear();
        if (!line.Append(points.data() + leader.first, leader.count) ||
            (branch.landed && !line.Append(branch.landing)))
            return release(Outcome::NoMemory);
        if (line.size() < 2) continue;
        outcome = sketch.Polyline(std::span(line.data(), line.size()), nullptr, false);
        Qdxf_Coord direction;
        bool pointed = false;
        for (std::size_t j = 1; j < line.size() && !pointed; ++j)
            pointed = vec::Normalize(vec::Sub(line[0], line[j]), &direction);
        if (outcome == Outcome::Done && pointed)
            outcome = sketch.Arrow(Arrowhead::kClosedFilled, line[0], direction, arrowSize);
    }
    for (std::size_t i = 0; drawn && landing && dogleg && i < branches.size(); ++i) {
        const Branch &branch = branches[i];
        double length = branch.doglegLength > 0 ? branch.doglegLength : entityDogleg;
        if (outcome != Outcome::Done || !branch.landed || !branch.doglegged || !(length > 0))
            continue;
        outcome =
            sketch.Line(branch.landing, vec::AddScaled(branch.landing, branch.dogleg, length));
    }
    if (outcome == Outcome::Done && content.hasBlock && content.block)
        outcome = AddBlock(context, sketch, content);
    // Last: the block the text may make is then inserted by a piece that
    // stays.
    if (outcome == Outcome::Done && content.hasText && content.text)
        outcome = AddText(context, sketch, content);
    return release(outcome == Outcome::Done ? sketch.Finish() : outcome);
}

}  // namespace vexlith::translate
