// SPDX-License-Identifier: MIT
// Drawings written by ezdxf, an independent DXF library (Debian's
// python3-ezdxf), read with vexlith. make_drawings.py writes R12 drawings in
// ASCII and binary form, and for each file every value ezdxf reports when it
// reads the file back. Each value is compared with the record that holds it;
// a value the test does not account for fails it.
//
// Where the reading rules give a value other than ezdxf's view, the records
// are expected to follow the rules. The differences:
//  - Angles (ARC start and end, TEXT rotation and oblique angle, INSERT
//    rotation, STYLE oblique angle) are held in radians; ezdxf reports degrees.
//    A vertex's curve-fit tangent is held in degrees, as ezdxf has it.
//  - A POLYLINE gathers its VERTEX and SEQEND records: its common members are
//    those of the last group of each code among all of them, so its handle is
//    that of its SEQEND. ezdxf keeps them per record.
//  - A POLYLINE's own groups 10 and 20 are not held, only its elevation (30);
//    ezdxf reports the three as one point.
//  - A TEXT without group 41 has xScale 0.0; ezdxf assumes a width of 1.0.
//  - INSERT group 66 is not read: attributesFollow stays 0.
//  - ATTRIB and ATTDEF are kinds the library does not read, and the SEQEND
//    after an INSERT's ATTRIBs is not part of the INSERT: each is an entity of
//    type QDXF_INVALID with its common members only. ezdxf makes the ATTRIBs
//    and the SEQEND part of the INSERT.
//  - A block's layer is looked up only when the block has entities.
//  - ezdxf names the R12 blocks $Model_Space and $Paper_Space *Model_Space
//    and *Paper_Space; the file, and so the library, has the $ names.
//  - ezdxf reports some attributes that an R12 file does not hold, for its
//    own bookkeeping: the owner handle of every record, and a layer's
//    material, plot style and plot flag. They are not compared.
//  - Members the library does not hold: a 3DFACE's invisible edges (70), a
//    polyface VERTEX's face indices (71 to 74), and the kind-specific
//    attributes of kinds it does not read (ATTRIB tag and text...).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "test_support.h"

using namespace testing_support;

namespace {

constexpr double kPi = 3.141592653589793;

using Attributes = std::map<std::string, std::string>;

// What ezdxf reports of one file: the attributes of each record, by record
// kind and id, and the ids of each kind in the order ezdxf lists them.
struct View {
    std::map<std::string, std::vector<std::string>> ids;
    std::map<std::pair<std::string, std::string>, Attributes> records;

    const Attributes &Of(const std::string &record, const std::string &id) const {
        static const Attributes none;
        auto found = records.find({record, id});
        return found == records.end() ? none : found->second;
    }
};

View LoadView(const std::filesystem::path &path) {
    View view;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream stream(line);
        std::string field;
        while (std::getline(stream, field, '\t'))
            fields.push_back(field);
        if (fields.size() == 3) fields.emplace_back();  // an empty value
        if (fields.size() != 4) {
            ADD_FAILURE() << path << ": malformed line " << line;
            continue;
        }
        auto key = std::make_pair(fields[0], fields[1]);
        if (!view.records.count(key)) view.ids[fields[0]].push_back(fields[1]);
        view.records[key][fields[2]] = fields[3];
    }
    return view;
}

double Real(const std::string &text) {
    return std::strtod(text.c_str(), nullptr);
}

Qdxf_Coord Point(const std::string &text) {
    Qdxf_Coord point{};
    std::istringstream(text) >> point.x >> point.y >> point.z;
    return point;
}

std::string Show(const Qdxf_Coord &point) {
    std::ostringstream out;
    out.precision(17);
    out << point.x << " " << point.y << " " << point.z;
    return out.str();
}

// Compares the attributes of one record with the members that hold them,
// and fails on every attribute left uncompared.
class Compare {
public:
    Compare(std::string where, Attributes attributes)
        : where_(std::move(where)), left_(std::move(attributes)) {}
    ~Compare() {
        for (const auto &[attribute, value] : left_)
            ADD_FAILURE() << where_ << ": ezdxf reports " << attribute << " = " << value
                          << ", which is not compared";
    }
    Compare(const Compare &) = delete;
    Compare &operator=(const Compare &) = delete;

    // The attribute's value, taken off the attributes left; null if absent.
    const std::string *Take(const std::string &attribute) {
        auto found = left_.find(attribute);
        if (found == left_.end()) return nullptr;
        taken_ = found->second;
        left_.erase(found);
        return &taken_;
    }
    void Ignore(const std::string &attribute) { Take(attribute); }

    void Text(const std::string &attribute, const char *held) {
        if (const std::string *value = Take(attribute)) {
            EXPECT_TRUE(held && *value == held) << where_ << " " << attribute << ": ezdxf "
                                                << *value << ", held " << (held ? held : "(null)");
        }
    }
    void Int(const std::string &attribute, int held) {
        if (const std::string *value = Take(attribute)) {
            EXPECT_EQ(std::stoi(*value), held) << where_ << " " << attribute;
        }
    }
    void Real(const std::string &attribute, double held) {
        if (const std::string *value = Take(attribute)) {
            EXPECT_EQ(::Real(*value), held) << where_ << " " << attribute;
        }
    }
    // ezdxf reports degrees; the member holds radians.
    void Angle(const std::string &attribute, double held) {
        if (const std::string *value = Take(attribute)) {
            EXPECT_EQ(::Real(*value) * kPi / 180, held) << where_ << " " << attribute;
        }
    }
    void Point(const std::string &attribute, const Qdxf_Coord &held) {
        if (const std::string *value = Take(attribute)) {
            Qdxf_Coord expected = ::Point(*value);
            EXPECT_TRUE(expected.x == held.x && expected.y == held.y && expected.z == held.z)
                << where_ << " " << attribute << ": ezdxf " << *value << ", held " << Show(held);
        }
    }

private:
    std::string where_;
    Attributes left_;
    std::string taken_;
};

// The library's records of one drawing, found by name or handle.
struct Held {
    std::map<std::string, const Qdxf_Entity *> entities;  // by handle
    std::map<std::string, const Qdxf_Block *> blocks;     // by name

    explicit Held(const Qdxf_Info &drawing) {
        auto add = [this](const Qdxf_Entity *list) {
            for (; list; list = list->next) {
                if (list->handle) entities[list->handle] = list;
            }
        };
        add(drawing.entities);
        for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
            if (block->name) blocks[block->name] = block;
            add(block->entities);
        }
    }
};

template <typename T>
const T *Named(const T *list, const std::string &name) {
    for (; list; list = list->next) {
        if (list->name && name == list->name) return list;
    }
    return nullptr;
}

template <typename T>
int Length(const T *list) {
    int count = 0;
    for (; list; list = list->next)
        ++count;
    return count;
}

void CompareHeader(const View &view, const Qdxf_Header *header) {
    ASSERT_NE(header, nullptr);
    for (const std::string &name : view.ids.at("header")) {
        Compare c("header " + name, view.Of("header", name));
        if (name == "$ACADVER") c.Text("value", header->acadver);
        if (name == "$CLAYER") c.Text("value", header->clayer);
        if (name == "$CELTYPE") c.Text("value", header->celtype);
        if (name == "$TEXTSTYLE") c.Text("value", header->textstyle);
        if (name == "$EXTMIN" && header->extmin) c.Point("value", *header->extmin);
        if (name == "$EXTMAX" && header->extmax) c.Point("value", *header->extmax);
        if (name == "$TEXTSIZE") c.Real("value", header->textsize);
        if (name == "$LTSCALE") c.Real("value", header->ltscale);
        if (name == "$ANGBASE") c.Real("value", header->angbase);  // as read
        if (name == "$PLINEWID") c.Real("value", header->plinewid);
        if (name == "$TRACEWID") c.Real("value", header->tracewid);
        if (name == "$CECOLOR") c.Int("value", header->cecolor);
        if (name == "$ANGDIR") c.Int("value", header->angdir);
        if (name == "$AUNITS") c.Int("value", header->aunits);
        if (name == "$AUPREC") c.Int("value", header->auprec);
        if (name == "$LUNITS") c.Int("value", header->lunits);
        if (name == "$LUPREC") c.Int("value", header->luprec);
        if (name == "$FILLMODE") c.Int("value", header->fillmode);
        if (name == "$PLINEGEN") c.Int("value", header->plinegen);
    }
}

void CompareTables(const View &view, const Qdxf_Tables *tables) {
    ASSERT_NE(tables, nullptr);
    const auto &ltypes = view.ids.at("ltype");
    EXPECT_EQ(Length(tables->ltypes), static_cast<int>(ltypes.size()));
    for (const std::string &name : ltypes) {
        const Qdxf_Ltype *ltype = Named(tables->ltypes, name);
        ASSERT_NE(ltype, nullptr) << "line type " << name;
        Compare c("line type " + name, view.Of("ltype", name));
        c.Text("name", ltype->name);
        c.Text("handle", ltype->handle);
        c.Int("flags", ltype->flags);
        c.Text("description", ltype->text);
        c.Ignore("owner");
        // The pattern groups: 72 alignment, 73 count, 40 length, 49 dashes.
        std::istringstream pattern(*c.Take("pattern"));
        int dash = 0;
        for (std::string word; pattern >> word;) {
            int code = std::stoi(word.substr(0, word.find('=')));
            std::string value = word.substr(word.find('=') + 1);
            if (code == 72) {
                EXPECT_EQ(std::stoi(value), ltype->alignment) << name;
            }
            if (code == 73) {
                EXPECT_EQ(std::stoi(value), ltype->numDashItems) << name;
            }
            if (code == 40) {
                EXPECT_EQ(Real(value), ltype->patternLength) << name;
            }
            if (code == 49) {
                ASSERT_LT(dash, ltype->numDashItems) << name;
                EXPECT_EQ(Real(value), ltype->dashLength[dash++]) << name;
            }
        }
        EXPECT_EQ(dash, ltype->numDashItems) << name;
    }

    const auto &layers = view.ids.at("layer");
    EXPECT_EQ(Length(tables->layers), static_cast<int>(layers.size()));
    for (const std::string &name : layers) {
        const Qdxf_Layer *layer = Named(tables->layers, name);
        ASSERT_NE(layer, nullptr) << "layer " << name;
        Compare c("layer " + name, view.Of("layer", name));
        c.Text("name", layer->name);
        c.Text("handle", layer->handle);
        c.Int("flags", layer->flags);
        c.Int("color", layer->color);  // negative for a layer that is off, in both
        c.Text("linetype", layer->ltypeName);
        EXPECT_EQ(layer->ltype, Named(tables->ltypes, layer->ltypeName)) << name;
        for (const char *bookkeeping : {"owner", "material_handle", "plotstyle_handle", "plot"})
            c.Ignore(bookkeeping);
    }

    const auto &styles = view.ids.at("style");
    EXPECT_EQ(Length(tables->styles), static_cast<int>(styles.size()));
    for (const std::string &name : styles) {
        const Qdxf_Style *style = Named(tables->styles, name);
        ASSERT_NE(style, nullptr) << "style " << name;
        Compare c("style " + name, view.Of("style", name));
        c.Text("name", style->name);
        c.Text("handle", style->handle);
        c.Int("flags", style->flags);
        c.Real("height", style->fixedTextHeight);
        c.Real("width", style->widthFactor);
        c.Angle("oblique", style->obliqueAngle);
        c.Int("generation_flags", style->textGenFlags);
        c.Real("last_height", style->lastHeightUsed);
        c.Text("font", style->primaryFontFile);
        c.Text("bigfont", style->bigFontFile);
        c.Ignore("owner");
    }
}

// The common members of an entity. A POLYLINE's come from the last of its
// own record, its vertices and its SEQEND that has the attribute.
void CompareCommon(Compare &c, const Qdxf_Entity &entity, const View &view,
                   const std::string &handle) {
    Attributes merged = view.Of("entity", handle);
    if (merged["dxftype"] == "POLYLINE") {
        for (int i = 0;; ++i) {
            const Attributes &vertex = view.Of("vertex", handle + "#" + std::to_string(i));
            if (vertex.empty()) break;
            for (const char *common : {"handle", "layer", "color", "linetype", "thickness"}) {
                if (vertex.count(common)) merged[common] = vertex.at(common);
            }
        }
        for (const auto &[attribute, value] : view.Of("entity", merged["seqend"])) {
            if (attribute == "handle" || attribute == "layer" || attribute == "color" ||
                attribute == "linetype" || attribute == "thickness") {
                merged[attribute] = value;
            }
        }
    }
    auto text = [&](const char *attribute, const char *held) {
        c.Ignore(attribute);
        if (merged.count(attribute)) {
            EXPECT_TRUE(held && merged[attribute] == held)
                << handle << " " << attribute << ": " << merged[attribute];
        } else {
            EXPECT_EQ(held, nullptr) << handle << " " << attribute;
        }
    };
    text("handle", entity.handle);
    text("layer", entity.layerName);
    text("linetype", entity.ltypeName);
    c.Ignore("color");
    EXPECT_EQ(entity.color, merged.count("color") ? std::stoi(merged["color"]) : 256) << handle;
    c.Ignore("thickness");
    EXPECT_EQ(entity.thickness, merged.count("thickness") ? Real(merged["thickness"]) : 0.0)
        << handle;
    c.Int("paperspace", entity.space);
    c.Ignore("owner");
}

void CompareVertices(const View &view, const std::string &handle, const Qdxf_Polyline &polyline) {
    int count = 0;
    for (;; ++count) {
        std::string id = handle + "#" + std::to_string(count);
        Attributes attributes = view.Of("vertex", id);
        if (attributes.empty()) break;
        ASSERT_LT(count, polyline.count) << handle;
        const Qdxf_Vertex &vertex = polyline.vertices[count];
        Compare c("vertex " + id, attributes);
        c.Point("location", vertex.location);
        c.Real("start_width", vertex.startingWidth);
        c.Real("end_width", vertex.endingWidth);
        c.Real("bulge", vertex.bulge);
        c.Int("flags", vertex.flags);
        c.Real("tangent", vertex.tangentDir);  // degrees in both
        // Common groups belong to the polyline; face indices are not held.
        for (const char *other : {"handle", "layer", "color", "linetype", "thickness", "owner",
                                  "vtx0", "vtx1", "vtx2", "vtx3"})
            c.Ignore(other);
    }
    EXPECT_EQ(count, polyline.count) << handle;
}

void CompareEntity(const View &view, const Held &held, const std::string &handle) {
    const Attributes &attributes = view.Of("entity", handle);
    const std::string kind = attributes.at("dxftype");
    const std::string in = attributes.at("in");
    Compare c("entity " + handle + " (" + kind + ")", attributes);
    c.Ignore("dxftype");
    c.Ignore("in");
    c.Ignore("seqend");
    if (kind == "SEQEND" && view.Of("entity", attributes.at("of")).at("dxftype") == "POLYLINE") {
        // Part of its POLYLINE, which carries its handle.
        for (const auto &[attribute, value] : attributes)
            c.Ignore(attribute);
        return;
    }
    c.Ignore("of");
    std::string heldHandle = kind == "POLYLINE" ? attributes.at("seqend") : handle;
    auto found = held.entities.find(heldHandle);
    ASSERT_NE(found, held.entities.end()) << "no entity with handle " << heldHandle;
    const Qdxf_Entity &entity = *found->second;
    if (in.empty()) {
        EXPECT_EQ(entity.block, nullptr) << handle;
    } else {
        ASSERT_TRUE(held.blocks.count(in)) << in;
        EXPECT_EQ(entity.block, held.blocks.at(in)) << handle;
    }
    CompareCommon(c, entity, view, handle);

    static const std::map<std::string, Qdxf_EntityType> kinds = {
        {"LINE", QDXF_LINE},     {"POINT", QDXF_POINT},   {"CIRCLE", QDXF_CIRCLE},
        {"ARC", QDXF_ARC},       {"TRACE", QDXF_TRACE},   {"SOLID", QDXF_SOLID},
        {"TEXT", QDXF_TEXT},     {"INSERT", QDXF_INSERT}, {"POLYLINE", QDXF_POLYLINE},
        {"3DFACE", QDXF_3DFACE},
    };
    auto type = kinds.find(kind);
    EXPECT_EQ(entity.type, type == kinds.end() ? QDXF_INVALID : type->second) << handle;
    switch (entity.type) {
        case QDXF_LINE:
            c.Point("start", entity.data.line.start);
            c.Point("end", entity.data.line.end);
            break;
        case QDXF_POINT:
            c.Point("location", entity.data.point.location);
            break;
        case QDXF_CIRCLE:
            c.Point("center", entity.data.circle.center);
            c.Real("radius", entity.data.circle.radius);
            break;
        case QDXF_ARC:
            c.Point("center", entity.data.arc.center);
            c.Real("radius", entity.data.arc.radius);
            c.Angle("start_angle", entity.data.arc.startAngle);
            c.Angle("end_angle", entity.data.arc.endAngle);
            break;
        case QDXF_TRACE:
        case QDXF_SOLID:
            for (int i = 0; i < 4; ++i)
                c.Point("vtx" + std::to_string(i), entity.data.trace.corner[i]);
            break;
        case QDXF_3DFACE:
            ASSERT_EQ(entity.data.polyline.count, 4) << handle;
            for (int i = 0; i < 4; ++i)
                c.Point("vtx" + std::to_string(i), entity.data.polyline.vertices[i].location);
            c.Ignore("invisible");
            break;
        case QDXF_TEXT: {
            const Qdxf_Text &text = entity.data.text;
            c.Point("insert", text.insertionPoint);
            c.Real("height", text.height);
            c.Text("text", text.text);
            c.Angle("rotation", text.angle);
            c.Real("width", text.xScale);
            if (c.Take("default:width")) {
                EXPECT_EQ(text.xScale, 0.0) << handle;
            }
            c.Angle("oblique", text.obliqueAngle);
            c.Text("style", text.style);
            c.Int("text_generation_flag", text.flags);
            c.Int("halign", text.horizJust);
            c.Int("valign", text.vertJust);
            if (attributes.count("align_point")) {
                ASSERT_NE(text.alignmentPoint, nullptr) << handle;
                c.Point("align_point", *text.alignmentPoint);
            } else {
                EXPECT_EQ(text.alignmentPoint, nullptr) << handle;
            }
            break;
        }
        case QDXF_INSERT: {
            const Qdxf_Insert &insert = entity.data.insert;
            c.Text("name", insert.blockName);
            c.Point("insert", insert.insertionPoint);
            c.Real("xscale", insert.xScale);
            c.Real("yscale", insert.yScale);
            c.Real("zscale", insert.zScale);
            c.Angle("rotation", insert.rotationAngle);
            c.Int("column_count", insert.columnCount);
            c.Int("row_count", insert.rowCount);
            c.Real("column_spacing", insert.columnSpacing);
            c.Real("row_spacing", insert.rowSpacing);
            // ezdxf's defaults for absent groups are the library's.
            c.Real("default:xscale", insert.xScale);
            c.Real("default:yscale", insert.yScale);
            c.Real("default:zscale", insert.zScale);
            c.Int("default:column_count", insert.columnCount);
            c.Int("default:row_count", insert.rowCount);
            if (c.Take("attribs_follow")) {
                EXPECT_EQ(insert.attributesFollow, 0) << handle;
            }
            break;
        }
        case QDXF_POLYLINE: {
            const Qdxf_Polyline &polyline = entity.data.polyline;
            c.Int("flags", polyline.flag);
            c.Real("default_start_width", polyline.defaultStartingWidth);
            c.Real("default_end_width", polyline.defaultEndingWidth);
            c.Int("m_count", polyline.meshVertexCount[0]);
            c.Int("n_count", polyline.meshVertexCount[1]);
            c.Int("m_smooth_density", polyline.smoothSurfaceDensity[0]);
            c.Int("n_smooth_density", polyline.smoothSurfaceDensity[1]);
            c.Int("smooth_type", polyline.type);
            if (const std::string *elevation = c.Take("elevation")) {
                EXPECT_EQ(Point(*elevation).z, polyline.elevation) << handle;
            }
            CompareVertices(view, handle, polyline);
            break;
        }
        default:
            // A kind the library does not read: nothing beyond the common
            // members is held.
            for (const auto &[attribute, value] : attributes)
                c.Ignore(attribute);
            break;
    }
}

void CompareBlocks(const View &view, const Qdxf_Info &drawing, const Held &held) {
    const auto &names = view.ids.at("block");
    EXPECT_EQ(Length(drawing.blocks), static_cast<int>(names.size()));
    for (const std::string &name : names) {
        std::string fileName = name;
        if (name == "*Model_Space" || name == "*Paper_Space") fileName[0] = '$';
        ASSERT_TRUE(held.blocks.count(fileName)) << "block " << fileName;
        const Qdxf_Block &block = *held.blocks.at(fileName);
        Compare c("block " + name, view.Of("block", name));
        c.Ignore("name");
        c.Text("handle", block.handle);
        c.Text("layer", block.layerName);
        c.Int("flags", block.typeFlag);
        c.Point("base_point", block.basePoint);
        c.Text("xref_path", block.xrefPath);
        c.Ignore("owner");
        EXPECT_EQ(block.layer, block.entities && drawing.tables
                                   ? Named(drawing.tables->layers, block.layerName)
                                   : nullptr)
            << name;
    }
}

void CompareDrawing(const std::filesystem::path &dxf) {
    SCOPED_TRACE(dxf.filename().string());
    ReadOutcome outcome = ReadFile(dxf.string());
    ASSERT_TRUE(outcome.drawing) << ::testing::PrintToString(outcome.messages());
    const Qdxf_Info &drawing = *outcome.drawing;
    View view = LoadView(dxf.string() + ".ezdxf.tsv");
    ASSERT_FALSE(view.records.empty());
    Held held(drawing);

    CompareHeader(view, drawing.header);
    CompareTables(view, drawing.tables);
    CompareBlocks(view, drawing, held);

    // Every entity ezdxf lists, and no other: each POLYLINE's SEQEND is part
    // of it, every other record is an entity of the ENTITIES section or of
    // its block.
    std::map<std::string, int> perList;
    for (const std::string &handle : view.ids.at("entity")) {
        const Attributes &attributes = view.Of("entity", handle);
        bool absorbed = attributes.at("dxftype") == "SEQEND" &&
                        view.Of("entity", attributes.at("of")).at("dxftype") == "POLYLINE";
        if (!absorbed) ++perList[attributes.at("in")];
        CompareEntity(view, held, handle);
    }
    EXPECT_EQ(Length(drawing.entities), perList[""]);
    for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
        std::string name = block->name;
        if (name[0] != '$') {
            EXPECT_EQ(Length(block->entities), perList[name]) << name;
        }
    }
}

std::filesystem::path DrawingsDir() {
    return VEXLITH_INTEROP_DIR;
}

TEST(Interop, DrawingsWrittenByEzdxfReadAsEzdxfReportsThem) {
    std::filesystem::path dir = DrawingsDir();
    std::filesystem::path unavailable = dir / "ezdxf-unavailable.txt";
    if (std::string(VEXLITH_PYTHON3).empty()) GTEST_SKIP() << "no /usr/bin/python3 to run ezdxf";
    if (std::filesystem::exists(unavailable)) GTEST_SKIP() << ReadWholeFile(unavailable);
    int drawings = 0;
    for (const char *name : {"everything", "blocks"}) {
        for (const char *form : {"ascii", "binary"}) {
            std::filesystem::path dxf = dir / (std::string(name) + "_" + form + ".dxf");
            ASSERT_TRUE(std::filesystem::exists(dxf))
                << dxf << " is missing: the test interop.make_drawings writes it";
            CompareDrawing(dxf);
            ++drawings;
        }
    }
    EXPECT_EQ(drawings, 4);
}

}  // namespace
