// SPDX-License-Identifier: MIT
#include "written_members.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace testing_support {
namespace {

constexpr double kPi = 3.141592653589793;

// The conversions of the reader and the writer, in their order of operations.
double Degrees(double radians) {
    return radians * 180.0 / kPi;
}
double Radians(double degrees) {
    return degrees * kPi / 180;
}

}  // namespace

std::string FormatReal(const char *format, double value) {
    char text[64];
#if defined(_WIN32)
    // MinGW's C99 snprintf takes the decimal point from the locale.
    std::snprintf(text, sizeof text, format, value);
    std::replace(text, text + std::strlen(text), *std::localeconv()->decimal_point, '.');
#else
    static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    locale_t previous = uselocale(c);
    std::snprintf(text, sizeof text, format, value);
    uselocale(previous);
#endif
    return text;
}

namespace {

bool IsValueSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A text as the ASCII form writes it: CR and LF in caret notation.
std::string CaretNotation(const char *text) {
    std::string written;
    for (; *text; ++text) {
        if (*text == '\r') {
            written += "^M";
        } else if (*text == '\n') {
            written += "^J";
        } else {
            written += *text;
        }
    }
    return written;
}

// The writer's stand-ins for required texts a record may lack.
const char *LayerOrDefault(const char *layerName) {
    return layerName ? layerName : "0";
}
const char *TextOrEmpty(const char *text) {
    return text ? text : "";
}
bool HasOwnLtype(const char *ltypeName) {
    return ltypeName && std::strcmp(ltypeName, "BYLAYER") != 0;
}

// An entity's kind without loading an out-of-range value as the enum.
int KindOf(const Qdxf_Entity &entity) {
    int kind;
    static_assert(sizeof kind == sizeof entity.type);
    std::memcpy(&kind, &entity.type, sizeof kind);
    return kind;
}
bool Writable(const Qdxf_Entity &entity) {
    int kind = KindOf(entity);
    return kind >= QDXF_LINE && kind <= QDXF_POLYLINE;
}

std::string Quoted(const char *text) {
    if (!text) return "null";
    std::string quoted(1, '"');
    quoted += text;
    quoted += '"';
    return quoted;
}

class Comparison {
public:
    Comparison(bool binary, std::size_t limit) : binary_(binary), limit_(limit) {}

    std::vector<std::string> TakeDifferences() { return std::move(differences_); }

    // What the form keeps of a value.
    // Both forms keep a real: the ASCII form spells it in the shortest digits
    // that read back to it.
    double Real(double value) const { return value; }
    double Angle(double radians) const { return Radians(Real(Degrees(radians))); }
    int Int(int value) const {
        return binary_ ? static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xffff))
                       : value;
    }
    std::string Text(const char *text) const {
        if (binary_) return text;
        std::string kept = CaretNotation(text);
        while (!kept.empty() && IsValueSpace(kept.back()))
            kept.pop_back();
        return kept;
    }

    void Same(const std::string &where, const char *member, double expected, double read) {
        bool same = expected == read || (std::isnan(expected) && std::isnan(read));
        if (!same) Differ(where, member, FormatReal("%.17g", expected), FormatReal("%.17g", read));
    }
    void Same(const std::string &where, const char *member, int expected, int read) {
        if (expected != read) Differ(where, member, std::to_string(expected), std::to_string(read));
    }
    void Same(const std::string &where, const char *member, const Qdxf_Coord &expected,
              const Qdxf_Coord &read) {
        std::string name = member;
        Same(where, (name + ".x").c_str(), expected.x, read.x);
        Same(where, (name + ".y").c_str(), expected.y, read.y);
        Same(where, (name + ".z").c_str(), expected.z, read.z);
    }
    // A point written at full value.
    void Written(const std::string &where, const char *member, const Qdxf_Coord &written,
                 const Qdxf_Coord &read) {
        Same(where, member, Qdxf_Coord{Real(written.x), Real(written.y), Real(written.z)}, read);
    }
    // A text member: `expected` null when the reader leaves it null.
    void SameText(const std::string &where, const char *member,
                  const std::optional<std::string> &expected, const char *read) {
        bool same = expected ? read && *expected == read : read == nullptr;
        if (!same)
            Differ(where, member, expected ? Quoted(expected->c_str()) : "null", Quoted(read));
    }
    void Null(const std::string &where, const char *member, const void *read) {
        if (read) Differ(where, member, "null", "a record");
    }
    void Differ(const std::string &where, const std::string &member, const std::string &expected,
                const std::string &read) {
        if (differences_.size() < limit_)
            differences_.push_back(where + ": " + member + ": expected " + expected + ", read " +
                                   read);
    }

private:
    bool binary_;
    std::size_t limit_;
    std::vector<std::string> differences_;
};

void CompareHeader(Comparison &c, const Qdxf_Header *written, const Qdxf_Header *read) {
    // The HEADER section is always written, so the header record always comes back.
    if (!read) return c.Differ("header", "record", "a record", "null");
    const char *where = "header";
    bool extents = written && written->extmin && written->extmax;
    if (extents) {
        if (!read->extmin || !read->extmax) return c.Differ(where, "extents", "both", "not both");
        c.Written(where, "extmin", *written->extmin, *read->extmin);
        c.Written(where, "extmax", *written->extmax, *read->extmax);
    } else {
        c.Null(where, "extmin", read->extmin);
        c.Null(where, "extmax", read->extmax);
    }
    // $ANGBASE is written as 0; nothing else is written.
    c.Same(where, "angbase", 0.0, read->angbase);
    c.SameText(where, "acadver", std::nullopt, read->acadver);
    c.SameText(where, "celtype", std::nullopt, read->celtype);
    c.SameText(where, "clayer", std::nullopt, read->clayer);
    c.SameText(where, "textstyle", std::nullopt, read->textstyle);
    for (auto [name, value] : {std::pair{"angdir", read->angdir},
                               {"aunits", read->aunits},
                               {"auprec", read->auprec},
                               {"cecolor", read->cecolor},
                               {"fillmode", read->fillmode},
                               {"lunits", read->lunits},
                               {"luprec", read->luprec},
                               {"plinegen", read->plinegen}}) {
        c.Same(where, name, 0, value);
    }
    for (auto [name, value] : {std::pair{"ltscale", read->ltscale},
                               {"plinewid", read->plinewid},
                               {"tdcreate", read->tdcreate},
                               {"textsize", read->textsize},
                               {"tracewid", read->tracewid}}) {
        c.Same(where, name, 0.0, value);
    }
}

void CompareEntity(Comparison &c, const std::string &where, const Qdxf_Entity &written,
                   const Qdxf_Entity &read, const Qdxf_Block *block) {
    const int kind = KindOf(written);
    if (KindOf(read) != kind)
        return c.Differ(where, "type", std::to_string(kind), std::to_string(KindOf(read)));
    if (read.block != block) c.Differ(where, "block", "its block", "another");
    // No layer table is written, so no layer is found.
    c.Null(where, "layer", read.layer);
    c.SameText(where, "layerName", c.Text(LayerOrDefault(written.layerName)), read.layerName);
    c.SameText(
        where, "ltypeName",
        HasOwnLtype(written.ltypeName) ? std::optional(c.Text(written.ltypeName)) : std::nullopt,
        read.ltypeName);
    c.Same(where, "color", c.Int(written.color), read.color);
    c.SameText(where, "handle", std::nullopt, read.handle);
    c.Same(where, "elevation", 0.0, read.elevation);
    c.Same(where, "thickness", 0.0, read.thickness);
    c.Same(where, "space", 0, read.space);

    switch (kind) {
        case QDXF_LINE:
            c.Written(where, "start", written.data.line.start, read.data.line.start);
            c.Written(where, "end", written.data.line.end, read.data.line.end);
            break;
        case QDXF_POINT:
            c.Written(where, "location", written.data.point.location, read.data.point.location);
            break;
        case QDXF_CIRCLE:
            c.Written(where, "center", written.data.circle.center, read.data.circle.center);
            c.Same(where, "radius", c.Real(written.data.circle.radius), read.data.circle.radius);
            break;
        case QDXF_ARC: {
            const Qdxf_Arc &w = written.data.arc, &r = read.data.arc;
            c.Written(where, "center", w.center, r.center);
            c.Same(where, "radius", c.Real(w.radius), r.radius);
            c.Same(where, "startAngle", c.Angle(w.startAngle), r.startAngle);
            c.Same(where, "endAngle", c.Angle(w.endAngle), r.endAngle);
            break;
        }
        case QDXF_TRACE:
        case QDXF_SOLID:
            for (int i = 0; i < 4; ++i) {
                std::string corner = "corner[" + std::to_string(i) + "]";
                c.Written(where, corner.c_str(), written.data.trace.corner[i],
                          read.data.trace.corner[i]);
            }
            break;
        case QDXF_TEXT: {
            const Qdxf_Text &w = written.data.text, &r = read.data.text;
            c.Written(where, "insertionPoint", w.insertionPoint, r.insertionPoint);
            c.Same(where, "height", c.Real(w.height), r.height);
            c.SameText(where, "text", c.Text(TextOrEmpty(w.text)), r.text);
            // Defaults are not written; the reader's defaults for them are 0.
            c.Same(where, "angle", w.angle != 0.0 ? c.Angle(w.angle) : 0.0, r.angle);
            c.Same(where, "xScale", w.xScale != 1.0 ? c.Real(w.xScale) : 0.0, r.xScale);
            c.Same(where, "obliqueAngle", w.obliqueAngle != 0.0 ? c.Angle(w.obliqueAngle) : 0.0,
                   r.obliqueAngle);
            c.SameText(where, "style", std::nullopt, r.style);
            c.Same(where, "flags", 0, r.flags);
            c.Same(where, "horizJust", 0, r.horizJust);
            c.Same(where, "vertJust", 0, r.vertJust);
            c.Null(where, "alignmentPoint", r.alignmentPoint);
            break;
        }
        case QDXF_INSERT: {
            const Qdxf_Insert &w = written.data.insert, &r = read.data.insert;
            c.Same(where, "attributesFollow", 0, r.attributesFollow);
            c.SameText(where, "blockName", c.Text(TextOrEmpty(w.blockName)), r.blockName);
            c.Written(where, "insertionPoint", w.insertionPoint, r.insertionPoint);
            // Scales of 1, counts of 0 and the rest of 0 are not written: the
            // reader's defaults (1 for scales and counts, 0 else) come back.
            c.Same(where, "xScale", w.xScale != 1.0 ? c.Real(w.xScale) : 1.0, r.xScale);
            c.Same(where, "yScale", w.yScale != 1.0 ? c.Real(w.yScale) : 1.0, r.yScale);
            c.Same(where, "zScale", w.zScale != 1.0 ? c.Real(w.zScale) : 1.0, r.zScale);
            c.Same(where, "rotationAngle", w.rotationAngle != 0.0 ? c.Angle(w.rotationAngle) : 0.0,
                   r.rotationAngle);
            c.Same(where, "columnCount", w.columnCount != 0 ? c.Int(w.columnCount) : 1,
                   r.columnCount);
            c.Same(where, "rowCount", w.rowCount != 0 ? c.Int(w.rowCount) : 1, r.rowCount);
            c.Same(where, "columnSpacing", w.columnSpacing != 0.0 ? c.Real(w.columnSpacing) : 0.0,
                   r.columnSpacing);
            c.Same(where, "rowSpacing", w.rowSpacing != 0.0 ? c.Real(w.rowSpacing) : 0.0,
                   r.rowSpacing);
            break;
        }
        case QDXF_POLYLINE: {
            const Qdxf_Polyline &w = written.data.polyline, &r = read.data.polyline;
            c.Same(where, "flag", w.flag != 0 ? c.Int(w.flag) : 0, r.flag);
            // Its own point is written as zeros: group 30 gives the elevation.
            c.Same(where, "elevation", 0.0, r.elevation);
            c.Same(where, "defaultStartingWidth", 0.0, r.defaultStartingWidth);
            c.Same(where, "defaultEndingWidth", 0.0, r.defaultEndingWidth);
            for (int i = 0; i < 2; ++i) {
                c.Same(where, "meshVertexCount", 0, r.meshVertexCount[i]);
                c.Same(where, "smoothSurfaceDensity", 0, r.smoothSurfaceDensity[i]);
            }
            c.Same(where, "type", 0, r.type);
            int count = w.vertices ? w.count : 0;
            if (r.count != count || (count > 0 && !r.vertices)) {
                return c.Differ(where, "count", std::to_string(count), std::to_string(r.count));
            }
            for (int i = 0; i < count; ++i) {
                const Qdxf_Vertex &wv = w.vertices[i], &rv = r.vertices[i];
                std::string vertex = where + " vertex " + std::to_string(i);
                c.Written(vertex, "location", wv.location, rv.location);
                c.SameText(vertex, "ltypeName", std::nullopt, rv.ltypeName);
                c.Same(vertex, "startingWidth", 0.0, rv.startingWidth);
                c.Same(vertex, "endingWidth", 0.0, rv.endingWidth);
                c.Same(vertex, "bulge", 0.0, rv.bulge);
                c.Same(vertex, "flags", 0, rv.flags);
                c.Same(vertex, "tangentDir", 0.0, rv.tangentDir);
            }
            break;
        }
        default:
            break;
    }
}

// Entities of the kinds that are written, in order; every other kind is left out.
void CompareEntities(Comparison &c, const std::string &where, const Qdxf_Entity *written,
                     const Qdxf_Entity *read, const Qdxf_Block *block) {
    int index = 0;
    for (; written; written = written->next, ++index) {
        if (!Writable(*written)) continue;
        std::string at = where + " entity " + std::to_string(index);
        if (!read) return c.Differ(at, "record", "an entity", "none");
        CompareEntity(c, at, *written, *read, block);
        read = read->next;
    }
    if (read) c.Differ(where, "entities", "no more", "another entity");
}

void CompareBlocks(Comparison &c, const Qdxf_Block *written, const Qdxf_Block *read) {
    for (int index = 0; written; written = written->next, ++index) {
        std::string where = "block " + std::to_string(index);
        if (!read) return c.Differ(where, "record", "a block", "none");
        c.SameText(where, "layerName", c.Text(LayerOrDefault(written->layerName)), read->layerName);
        c.SameText(where, "ltypeName",
                   HasOwnLtype(written->ltypeName) ? std::optional(c.Text(written->ltypeName))
                                                   : std::nullopt,
                   read->ltypeName);
        c.Same(where, "color", c.Int(written->color), read->color);
        c.SameText(where, "name", c.Text(TextOrEmpty(written->name)), read->name);
        c.Same(where, "typeFlag", c.Int(written->typeFlag), read->typeFlag);
        c.Written(where, "basePoint", written->basePoint, read->basePoint);
        c.SameText(where, "xrefPath",
                   written->xrefPath ? std::optional(c.Text(written->xrefPath)) : std::nullopt,
                   read->xrefPath);
        c.SameText(where, "handle", std::nullopt, read->handle);
        c.Same(where, "elevation", 0.0, read->elevation);
        c.Same(where, "thickness", 0.0, read->thickness);
        c.Same(where, "space", 0, read->space);
        c.Null(where, "layer", read->layer);
        CompareEntities(c, where, written->entities, read->entities, read);
        read = read->next;
    }
    if (read) c.Differ("blocks", "list", "no more", "another block");
}

}  // namespace

std::vector<std::string> WrittenMemberDifferences(const Qdxf_Info &written,
                                                  const Qdxf_Info &readBack, bool binary,
                                                  std::size_t limit) {
    Comparison c(binary, limit);
    if (!readBack.colorTable) c.Differ("drawing", "colorTable", "a table", "null");
    CompareHeader(c, written.header, readBack.header);
    // The TABLES section is written empty.
    if (!readBack.tables) {
        c.Differ("tables", "record", "a record", "null");
    } else {
        c.Null("tables", "ltypes", readBack.tables->ltypes);
        c.Null("tables", "layers", readBack.tables->layers);
        c.Null("tables", "styles", readBack.tables->styles);
    }
    CompareBlocks(c, written.blocks, readBack.blocks);
    CompareEntities(c, "ENTITIES", written.entities, readBack.entities, nullptr);
    return c.TakeDifferences();
}

bool TextsFitOnAsciiLines(const Qdxf_Info &drawing) {
    constexpr std::size_t kLongestValue = 498;
    auto fits = [](const char *text) {
        return !text || CaretNotation(text).size() <= kLongestValue;
    };
    auto entitiesFit = [&](const Qdxf_Entity *entity) {
        for (; entity; entity = entity->next) {
            if (!Writable(*entity)) continue;
            if (!fits(entity->layerName) ||
                (HasOwnLtype(entity->ltypeName) && !fits(entity->ltypeName)))
                return false;
            if (KindOf(*entity) == QDXF_TEXT && !fits(entity->data.text.text)) return false;
            if (KindOf(*entity) == QDXF_INSERT && !fits(entity->data.insert.blockName))
                return false;
        }
        return true;
    };
    for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
        if (!fits(block->layerName) || !fits(block->ltypeName) || !fits(block->name) ||
            !fits(block->xrefPath) || !entitiesFit(block->entities)) {
            return false;
        }
    }
    return entitiesFit(drawing.entities);
}

}  // namespace testing_support
