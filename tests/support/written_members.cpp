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
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <tuple>

#include "translate/text_encoding.h"

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
bool Writable(const Qdxf_Entity &entity, bool complete = false) {
    int kind = KindOf(entity);
    return kind >= QDXF_LINE && kind <= (complete ? QDXF_3DFACE : QDXF_POLYLINE);
}

// A text of a complete file as a reader of its code page takes it: in
// UTF-8, escapes decoded, by the library's own conversion (QDXF_READ_UTF8).
std::string Characters(int codePage, const std::string &text) {
    char *converted = vexlith::translate::Utf8Copy({codePage, false}, text.data(), text.size());
    if (!converted) return text;
    std::string characters = converted;
    qmsc_HeapFree(converted);
    return characters;
}

// Names as DXF compares them.
std::string Upper(std::string name) {
    for (char &ch : name)
        ch = ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
    return name;
}

template <typename Entry>
const char *NameOf(const Entry *entry) {
    return entry ? entry->name : nullptr;
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
    Comparison(bool binary, std::size_t limit, const CompleteFile *file = nullptr)
        : binary_(binary),
          complete_(file != nullptr),
          fitted_(file && (file->flags & QDXF_WRITE_FIT_TEXTS)),
          codePage_(file ? vexlith::translate::CodePageOf(file->codePage.c_str()) : 0),
          limit_(limit) {}

    std::vector<std::string> TakeDifferences() {
        // The complete form writes every handle, when each is unique, or none.
        if (handlesRead_ && handlesMissing_) Differ("handles", "some", "all or none", "some");
        return std::move(differences_);
    }
    bool complete() const { return complete_; }
    // The name given to the first block of the empty name.
    const char *givenEmptyName = nullptr;
    // The layers read back. The complete form, as CAD programs, takes names
    // without regard to case, where the reader links a record to the entry of
    // its very name: an entry whose name differs in case only serves.
    const Qdxf_Layer *layersRead = nullptr;
    bool HasLayerEntry(const char *name) const {
        auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
        auto same = [&](char a, char b) { return upper(a) == upper(b); };
        for (const Qdxf_Layer *layer = layersRead; layer && name; layer = layer->next) {
            if (layer->name &&
                std::ranges::equal(std::string_view(layer->name), std::string_view(name), same))
                return true;
        }
        return false;
    }

    // What the form keeps of a value. Both forms keep a real: the ASCII form
    // spells it in the shortest digits that read back to it; the complete
    // form writes an angle in the degrees that read back to it.
    double Real(double value) const { return value; }
    double Angle(double radians) const {
        return complete_ ? radians : Radians(Real(Degrees(radians)));
    }
    int Int(int value) const {
        return binary_ ? static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xffff))
                       : value;
    }
    std::string Text(const char *text) const {
        std::string kept = binary_ ? text : CaretNotation(text);
        while (!binary_ && !kept.empty() && IsValueSpace(kept.back()))
            kept.pop_back();
        return complete_ ? Characters(codePage_, kept) : kept;
    }
    // A text member the complete form writes when there is one.
    std::optional<std::string> Optional(const char *text) const {
        return text ? std::optional(Text(text)) : std::nullopt;
    }

    void Same(const std::string &where, const char *member, double expected, double read) {
        // The complete form keeps every bit but a NaN's payload in ASCII.
        bool same = complete_ && !(std::isnan(expected) && !binary_)
                        ? std::memcmp(&expected, &read, sizeof read) == 0
                        : expected == read || (std::isnan(expected) && std::isnan(read));
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
    // A member only the complete form writes: `plain` is what comes back
    // from the plain form.
    void Kept(const std::string &where, const char *member, double written, double plain,
              double read) {
        Same(where, member, complete_ ? Real(written) : plain, read);
    }
    void Kept(const std::string &where, const char *member, int written, int plain, int read) {
        Same(where, member, complete_ ? Int(written) : plain, read);
    }
    // A text member: `expected` null when the reader leaves it null.
    void SameText(const std::string &where, const char *member,
                  const std::optional<std::string> &expected, const char *read) {
        std::optional<std::string> got;
        if (read) got = complete_ ? Characters(codePage_, read) : std::string(read);
        // A text too long for the form comes back cut, at a character.
        bool cut = fitted_ && expected && got && got->size() < expected->size() &&
                   expected->compare(0, got->size(), *got) == 0;
        if (expected != got && !cut)
            Differ(where, member, expected ? Quoted(expected->c_str()) : "null",
                   got ? Quoted(got->c_str()) : "null");
    }
    void Handle(const std::string &where, const char *written, const char *read) {
        if (!complete_ || !read) {
            handlesMissing_ = handlesMissing_ || written;
            return SameText(where, "handle", std::nullopt, read);
        }
        handlesRead_ = true;
        SameText(where, "handle", Optional(written), read);
    }
    // A reference the reader resolves by name: found again when it was found
    // (an entry the complete form adds may be found where none was).
    void Reference(const std::string &where, const char *member, const char *written,
                   const char *read) {
        if (!complete_) {
            if (read) Differ(where, member, "null", "a record");
        } else if (written && (!read || Text(written) != Text(read))) {
            Differ(where, member, Quoted(written), Quoted(read));
        }
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
    bool complete_;
    bool fitted_;
    int codePage_;
    bool handlesRead_ = false, handlesMissing_ = false;
    std::size_t limit_;
    std::vector<std::string> differences_;
};

// The complete form writes $ACADVER AC1009 and every other variable (a 0
// the reader leaves comes back as 0 whether it was written or not); the
// plain form both extents or neither, and $ANGBASE as 0.
void CompareHeader(Comparison &c, const Qdxf_Header *written, const Qdxf_Header *read) {
    // The HEADER section is always written, so the header record always comes back.
    if (!read) return c.Differ("header", "record", "a record", "null");
    Qdxf_Header w{};
    if (written && c.complete()) {
        w = *written;
    } else if (written && written->extmin && written->extmax) {
        w.extmin = written->extmin;
        w.extmax = written->extmax;
    }
    const char *where = "header";
    c.SameText(where, "acadver", c.complete() ? std::optional("AC1009") : std::nullopt,
               read->acadver);
    for (auto [name, a, b] :
         {std::tuple{"extmin", w.extmin, read->extmin}, {"extmax", w.extmax, read->extmax}}) {
        if (a && b) {
            c.Written(where, name, *a, *b);
        } else if (!a != !b) {
            c.Differ(where, name, a ? "a point" : "null", b ? "a point" : "null");
        }
    }
    for (auto [name, a, b] : {std::tuple{"celtype", w.celtype, read->celtype},
                              {"clayer", w.clayer, read->clayer},
                              {"textstyle", w.textstyle, read->textstyle}}) {
        c.SameText(where, name, c.Optional(a), b);
    }
    for (auto [name, a, b] : {std::tuple{"angdir", w.angdir, read->angdir},
                              {"aunits", w.aunits, read->aunits},
                              {"auprec", w.auprec, read->auprec},
                              {"cecolor", w.cecolor, read->cecolor},
                              {"fillmode", w.fillmode, read->fillmode},
                              {"lunits", w.lunits, read->lunits},
                              {"luprec", w.luprec, read->luprec},
                              {"plinegen", w.plinegen, read->plinegen}}) {
        c.Same(where, name, c.Int(a), b);
    }
    for (auto [name, a, b] : {std::tuple{"angbase", w.angbase, read->angbase},
                              {"ltscale", w.ltscale, read->ltscale},
                              {"plinewid", w.plinewid, read->plinewid},
                              {"tdcreate", w.tdcreate, read->tdcreate},
                              {"textsize", w.textsize, read->textsize},
                              {"tracewid", w.tracewid, read->tracewid}}) {
        c.Same(where, name, a, b);
    }
}

// The entries of one table, in order; the complete form may add entries
// after them, of names no entry has.
template <typename Entry, typename CompareEntry>
void CompareTable(Comparison &c, const char *table, const Entry *written, const Entry *read,
                  CompareEntry compare) {
    std::set<std::string> names;
    for (int index = 0; written; written = written->next, read = read->next, ++index) {
        std::string where = std::string(table) + " " + std::to_string(index);
        if (!read) return c.Differ(where, "record", "an entry", "none");
        if (written->name) names.insert(Upper(c.Text(written->name)));
        c.SameText(where, "name", c.Optional(written->name), read->name);
        c.Handle(where, written->handle, read->handle);
        c.Same(where, "flags", c.Int(written->flags), read->flags);
        compare(where, *written, *read);
    }
    for (; read; read = read->next) {
        if (read->name && names.count(Upper(c.Text(read->name))))
            c.Differ(table, "added entry", "a new name", read->name);
    }
}

void CompareTables(Comparison &c, const Qdxf_Tables *written, const Qdxf_Tables &read) {
    static const Qdxf_Tables kNone{};
    const Qdxf_Tables &w = written ? *written : kNone;
    CompareTable(c, "LTYPE", w.ltypes, read.ltypes, [&](auto &where, auto &a, auto &b) {
        c.SameText(where, "text", c.Optional(a.text), b.text);
        c.Same(where, "alignment", c.Int(a.alignment), b.alignment);
        c.Same(where, "numDashItems", c.Int(a.numDashItems), b.numDashItems);
        c.Same(where, "patternLength", a.patternLength, b.patternLength);
        for (int i = 0; i < a.numDashItems && a.dashLength && b.dashLength; ++i)
            c.Same(where, "dashLength", a.dashLength[i], b.dashLength[i]);
    });
    CompareTable(c, "LAYER", w.layers, read.layers, [&](auto &where, auto &a, auto &b) {
        c.Same(where, "color", c.Int(a.color), b.color);
        c.SameText(where, "ltypeName", c.Optional(a.ltypeName), b.ltypeName);
        c.Reference(where, "ltype", NameOf(a.ltype), NameOf(b.ltype));
    });
    CompareTable(c, "STYLE", w.styles, read.styles, [&](auto &where, auto &a, auto &b) {
        for (auto [name, x, y] :
             {std::tuple{"fixedTextHeight", a.fixedTextHeight, b.fixedTextHeight},
              {"widthFactor", a.widthFactor, b.widthFactor},
              {"obliqueAngle", c.Angle(a.obliqueAngle), b.obliqueAngle},
              {"lastHeightUsed", a.lastHeightUsed, b.lastHeightUsed}}) {
            c.Same(where, name, x, y);
        }
        c.Same(where, "textGenFlags", c.Int(a.textGenFlags), b.textGenFlags);
        c.SameText(where, "primaryFontFile", c.Optional(a.primaryFontFile), b.primaryFontFile);
        c.SameText(where, "bigFontFile", c.Optional(a.bigFontFile), b.bigFontFile);
    });
}

// The common members: the plain form writes the layer (or "0"), a line type
// other than BYLAYER and the colour; the complete form every one it has.
template <typename Record>
void CompareCommon(Comparison &c, const std::string &where, const Record &written,
                   const Record &read, bool layerFound = true) {
    bool complete = c.complete();
    c.SameText(where, "layerName", c.Text(LayerOrDefault(written.layerName)), read.layerName);
    c.SameText(
        where, "ltypeName",
        complete || HasOwnLtype(written.ltypeName) ? c.Optional(written.ltypeName) : std::nullopt,
        read.ltypeName);
    c.Same(where, "color", c.Int(written.color), read.color);
    c.Handle(where, written.handle, read.handle);
    c.Kept(where, "elevation", written.elevation, 0.0, read.elevation);
    c.Kept(where, "thickness", written.thickness, 0.0, read.thickness);
    c.Kept(where, "space", written.space, 0, read.space);
    c.Reference(where, "layer", layerFound ? NameOf(written.layer) : nullptr, NameOf(read.layer));
    // Every layer a record names has an entry in a complete file.
    if (complete && layerFound && !read.layer && !c.HasLayerEntry(read.layerName))
        c.Differ(where, "layer", "an entry", "none");
}
void CompareEntity(Comparison &c, const std::string &where, const Qdxf_Entity &written,
                   const Qdxf_Entity &read, const Qdxf_Block *block) {
    const int kind = KindOf(written);
    if (KindOf(read) != kind)
        return c.Differ(where, "type", std::to_string(kind), std::to_string(KindOf(read)));
    if (read.block != block) c.Differ(where, "block", "its block", "another");
    CompareCommon(c, where, written, read);
    const bool complete = c.complete();

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
            c.SameText(where, "text",
                       complete ? c.Optional(w.text) : std::optional(c.Text(TextOrEmpty(w.text))),
                       r.text);
            // The plain form leaves out defaults; the reader's defaults for them are 0.
            c.Same(where, "angle", w.angle != 0.0 || complete ? c.Angle(w.angle) : 0.0, r.angle);
            c.Same(where, "xScale", w.xScale != 1.0 || complete ? c.Real(w.xScale) : 0.0, r.xScale);
            c.Same(where, "obliqueAngle",
                   w.obliqueAngle != 0.0 || complete ? c.Angle(w.obliqueAngle) : 0.0,
                   r.obliqueAngle);
            c.SameText(where, "style", complete ? c.Optional(w.style) : std::nullopt, r.style);
            c.Kept(where, "flags", w.flags, 0, r.flags);
            c.Kept(where, "horizJust", w.horizJust, 0, r.horizJust);
            c.Kept(where, "vertJust", w.vertJust, 0, r.vertJust);
            if (complete && w.alignmentPoint && r.alignmentPoint) {
                c.Written(where, "alignmentPoint", *w.alignmentPoint, *r.alignmentPoint);
            } else if (complete && w.alignmentPoint) {
                c.Differ(where, "alignmentPoint", "a point", "null");
            } else {
                c.Null(where, "alignmentPoint", r.alignmentPoint);
            }
            break;
        }
        case QDXF_INSERT: {
            const Qdxf_Insert &w = written.data.insert, &r = read.data.insert;
            c.Same(where, "attributesFollow", 0, r.attributesFollow);
            const bool emptyName = w.blockName && !*w.blockName && c.givenEmptyName;
            c.SameText(where, "blockName",
                       complete && emptyName ? std::optional(std::string(c.givenEmptyName))
                       : complete            ? c.Optional(w.blockName)
                                             : std::optional(c.Text(TextOrEmpty(w.blockName))),
                       r.blockName);
            c.Written(where, "insertionPoint", w.insertionPoint, r.insertionPoint);
            // Scales of 1, counts of 0 and the rest of 0 are not written: the
            // reader's defaults (1 for scales and counts, 0 else) come back.
            c.Same(where, "xScale", w.xScale != 1.0 ? c.Real(w.xScale) : 1.0, r.xScale);
            c.Same(where, "yScale", w.yScale != 1.0 ? c.Real(w.yScale) : 1.0, r.yScale);
            c.Same(where, "zScale", w.zScale != 1.0 ? c.Real(w.zScale) : 1.0, r.zScale);
            c.Same(where, "rotationAngle",
                   w.rotationAngle != 0.0 || complete ? c.Angle(w.rotationAngle) : 0.0,
                   r.rotationAngle);
            c.Same(where, "columnCount", w.columnCount != 0 || complete ? c.Int(w.columnCount) : 1,
                   r.columnCount);
            c.Same(where, "rowCount", w.rowCount != 0 || complete ? c.Int(w.rowCount) : 1,
                   r.rowCount);
            c.Same(where, "columnSpacing",
                   w.columnSpacing != 0.0 || complete ? c.Real(w.columnSpacing) : 0.0,
                   r.columnSpacing);
            c.Same(where, "rowSpacing",
                   w.rowSpacing != 0.0 || complete ? c.Real(w.rowSpacing) : 0.0, r.rowSpacing);
            break;
        }
        case QDXF_POLYLINE:
        case QDXF_3DFACE: {
            const Qdxf_Polyline &w = written.data.polyline, &r = read.data.polyline;
            c.Same(where, "flag", w.flag != 0 ? c.Int(w.flag) : 0, r.flag);
            // The plain form writes its own point as zeros: group 30 gives the elevation.
            c.Kept(where, "elevation", w.elevation, 0.0, r.elevation);
            c.Kept(where, "defaultStartingWidth", w.defaultStartingWidth, 0.0,
                   r.defaultStartingWidth);
            c.Kept(where, "defaultEndingWidth", w.defaultEndingWidth, 0.0, r.defaultEndingWidth);
            for (int i = 0; i < 2; ++i) {
                c.Kept(where, "meshVertexCount", w.meshVertexCount[i], 0, r.meshVertexCount[i]);
                c.Kept(where, "smoothSurfaceDensity", w.smoothSurfaceDensity[i], 0,
                       r.smoothSurfaceDensity[i]);
            }
            c.Kept(where, "type", w.type, 0, r.type);
            int count = w.vertices ? w.count : 0;
            if (r.count != count || (count > 0 && !r.vertices)) {
                return c.Differ(where, "count", std::to_string(count), std::to_string(r.count));
            }
            for (int i = 0; i < count; ++i) {
                const Qdxf_Vertex &wv = w.vertices[i], &rv = r.vertices[i];
                std::string vertex = where + " vertex " + std::to_string(i);
                c.Written(vertex, "location", wv.location, rv.location);
                // A vertex's line type is never read, so never written.
                c.SameText(vertex, "ltypeName", std::nullopt, rv.ltypeName);
                c.Kept(vertex, "startingWidth", wv.startingWidth, 0.0, rv.startingWidth);
                c.Kept(vertex, "endingWidth", wv.endingWidth, 0.0, rv.endingWidth);
                c.Kept(vertex, "bulge", wv.bulge, 0.0, rv.bulge);
                c.Kept(vertex, "flags", wv.flags, 0, rv.flags);
                c.Kept(vertex, "tangentDir", wv.tangentDir, 0.0, rv.tangentDir);
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
        if (!Writable(*written, c.complete())) continue;
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
        // The layer of a block is looked up only when it has entities; those
        // of unknown kinds are not written.
        bool someWritten = false;
        for (const Qdxf_Entity *e = written->entities; e; e = e->next)
            someWritten = someWritten || Writable(*e, c.complete());
        CompareCommon(c, where, *written, *read, someWritten);
        int typeFlag = written->typeFlag;
        if (c.complete() && (!written->name || !*written->name)) {
            // A block without a name is given one, of an anonymous block.
            if (!read->name || std::strspn(read->name + 2, "0123456789") == 0 ||
                std::strncmp(read->name, "*U", 2) != 0)
                c.Differ(where, "name", "*U and a number", Quoted(read->name));
            typeFlag |= 1;
        } else {
            c.SameText(where, "name",
                       c.complete() ? c.Optional(written->name)
                                    : std::optional(c.Text(TextOrEmpty(written->name))),
                       read->name);
        }
        c.Same(where, "typeFlag", c.Int(typeFlag), read->typeFlag);
        c.Written(where, "basePoint", written->basePoint, read->basePoint);
        c.SameText(where, "xrefPath",
                   written->xrefPath ? std::optional(c.Text(written->xrefPath)) : std::nullopt,
                   read->xrefPath);
        CompareEntities(c, where, written->entities, read->entities, read);
        read = read->next;
    }
    if (read) c.Differ("blocks", "list", "no more", "another block");
}

// The name the first block of the empty name comes back with, which an
// INSERT of the empty name inserts.
void FindEmptyName(Comparison &c, const Qdxf_Info &written, const Qdxf_Info &readBack) {
    for (const Qdxf_Block *w = written.blocks, *r = readBack.blocks; w && r && !c.givenEmptyName;
         w = w->next, r = r->next) {
        if (w->name && !*w->name) c.givenEmptyName = r->name;
    }
}

std::vector<std::string> Differences(Comparison &c, const Qdxf_Info &written,
                                     const Qdxf_Info &readBack) {
    if (!readBack.colorTable) c.Differ("drawing", "colorTable", "a table", "null");
    if (c.complete()) FindEmptyName(c, written, readBack);
    CompareHeader(c, written.header, readBack.header);
    // The plain form writes the TABLES section empty.
    if (!readBack.tables) {
        c.Differ("tables", "record", "a record", "null");
    } else if (c.complete()) {
        CompareTables(c, written.tables, *readBack.tables);
    } else {
        c.Null("tables", "ltypes", readBack.tables->ltypes);
        c.Null("tables", "layers", readBack.tables->layers);
        c.Null("tables", "styles", readBack.tables->styles);
    }
    CompareBlocks(c, written.blocks, readBack.blocks);
    CompareEntities(c, "ENTITIES", written.entities, readBack.entities, nullptr);
    return c.TakeDifferences();
}

}  // namespace

std::vector<std::string> WrittenMemberDifferences(const Qdxf_Info &written,
                                                  const Qdxf_Info &readBack, bool binary,
                                                  std::size_t limit) {
    Comparison c(binary, limit);
    return Differences(c, written, readBack);
}

std::vector<std::string> CompleteMemberDifferences(const Qdxf_Info &written,
                                                   const Qdxf_Info &readBack, bool binary,
                                                   const CompleteFile &file, std::size_t limit) {
    Comparison c(binary, limit, &file);
    if (readBack.tables) c.layersRead = readBack.tables->layers;
    return Differences(c, written, readBack);
}

CompleteFile CompleteFileAt(const std::string &path, unsigned int flags) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t at = bytes.find("ANSI_", bytes.find("$DWGCODEPAGE"));  // as the writer names it
    if (at == std::string::npos) return {"", flags};
    return {bytes.substr(at, bytes.find_first_not_of("ANSI_0123456789", at) - at), flags};
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
