// SPDX-License-Identifier: MIT
// The JSON writer and the records as JSON (see json.h).
#include "json.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "header_variables.h"
#include "kinds.h"
#include "text.h"

namespace cli {
namespace {

constexpr std::size_t kFlushAt = 1 << 16;

void WriteVertices(Json &json, const Qdxf_Polyline &polyline) {
    json.Key("count").Integer(polyline.count).Key("vertices").Array();
    int count = polyline.vertices ? polyline.count : 0;
    for (int i = 0; i < count; ++i) {
        const Qdxf_Vertex &vertex = polyline.vertices[i];
        json.Object().Key("ltypeName").Text(vertex.ltypeName);
        json.Key("location").Coord(vertex.location);
        json.Key("startingWidth").Real(vertex.startingWidth);
        json.Key("endingWidth").Real(vertex.endingWidth);
        json.Key("bulge").Real(vertex.bulge).Key("flags").Integer(vertex.flags);
        json.Key("tangentDir").Real(vertex.tangentDir).End();
    }
    json.End();
}

void WritePolyline(Json &json, const Qdxf_Polyline &polyline) {
    json.Key("elevation").Real(polyline.elevation).Key("flag").Integer(polyline.flag);
    json.Key("defaultStartingWidth").Real(polyline.defaultStartingWidth);
    json.Key("defaultEndingWidth").Real(polyline.defaultEndingWidth);
    json.Key("meshVertexCount").Array();
    json.Integer(polyline.meshVertexCount[0]).Integer(polyline.meshVertexCount[1]).End();
    json.Key("smoothSurfaceDensity").Array();
    json.Integer(polyline.smoothSurfaceDensity[0]).Integer(polyline.smoothSurfaceDensity[1]).End();
    json.Key("type").Integer(polyline.type);
    WriteVertices(json, polyline);
}

void WriteData(Json &json, const Qdxf_Entity &entity) {
    const auto &data = entity.data;
    switch (render::KindOf(entity)) {
        case QDXF_LINE:
            json.Key("start").Coord(data.line.start).Key("end").Coord(data.line.end);
            break;
        case QDXF_POINT:
            json.Key("location").Coord(data.point.location);
            break;
        case QDXF_CIRCLE:
            json.Key("center").Coord(data.circle.center).Key("radius").Real(data.circle.radius);
            break;
        case QDXF_ARC:
            json.Key("center").Coord(data.arc.center).Key("radius").Real(data.arc.radius);
            json.Key("startAngle")
                .Real(data.arc.startAngle)
                .Key("endAngle")
                .Real(data.arc.endAngle);
            break;
        case QDXF_TRACE:
        case QDXF_SOLID:
            json.Key("corner").Array();
            for (const Qdxf_Coord &corner : data.trace.corner)
                json.Coord(corner);
            json.End();
            break;
        case QDXF_TEXT: {
            const Qdxf_Text &text = data.text;
            json.Key("insertionPoint").Coord(text.insertionPoint).Key("height").Real(text.height);
            json.Key("text").Text(text.text).Key("angle").Real(text.angle);
            json.Key("xScale").Real(text.xScale).Key("obliqueAngle").Real(text.obliqueAngle);
            json.Key("style").Text(text.style).Key("flags").Integer(text.flags);
            json.Key("horizJust").Integer(text.horizJust).Key("vertJust").Integer(text.vertJust);
            json.Key("alignmentPoint").CoordOrNull(text.alignmentPoint);
            break;
        }
        case QDXF_INSERT: {
            const Qdxf_Insert &insert = data.insert;
            json.Key("attributesFollow").Integer(insert.attributesFollow);
            json.Key("blockName").Text(insert.blockName);
            json.Key("insertionPoint").Coord(insert.insertionPoint);
            json.Key("xScale").Real(insert.xScale).Key("yScale").Real(insert.yScale);
            json.Key("zScale").Real(insert.zScale).Key("rotationAngle").Real(insert.rotationAngle);
            json.Key("columnCount").Integer(insert.columnCount);
            json.Key("rowCount").Integer(insert.rowCount);
            json.Key("columnSpacing").Real(insert.columnSpacing);
            json.Key("rowSpacing").Real(insert.rowSpacing);
            break;
        }
        case QDXF_POLYLINE:
            WritePolyline(json, data.polyline);
            break;
        case QDXF_3DFACE:
            json.Key("flag").Integer(data.polyline.flag);  // hidden edges
            WriteVertices(json, data.polyline);
            break;
        default:
            break;
    }
}

}  // namespace

Json &Json::Object() {
    return Open('{', '}');
}

Json &Json::Array() {
    return Open('[', ']');
}

Json &Json::Open(char opener, char closer) {
    Value();
    Raw({&opener, 1});
    first_.push_back(true);
    closers_.push_back(closer);
    return *this;
}

Json &Json::End() {
    Raw({&closers_.back(), 1});
    closers_.pop_back();
    first_.pop_back();
    return *this;
}

void Json::Value() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back()) Raw(",");
        first_.back() = false;
    }
}

Json &Json::Key(std::string_view key) {
    Value();
    Quoted(key);
    Raw(":");
    afterKey_ = true;
    return *this;
}

Json &Json::Text(const char *text) {
    if (!text) return Null();
    return String(render::ToUtf8(text));
}

Json &Json::String(std::string_view text) {
    Value();
    Quoted(text);
    return *this;
}

Json &Json::Real(double value) {
    if (std::isnan(value)) return String("nan");
    if (std::isinf(value)) return String(value > 0 ? "inf" : "-inf");
    Value();
    char digits[32];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    Raw({digits, static_cast<std::size_t>(result.ptr - digits)});
    return *this;
}

Json &Json::Integer(long long value) {
    Value();
    Raw(std::to_string(value));
    return *this;
}

Json &Json::Null() {
    Value();
    Raw("null");
    return *this;
}

Json &Json::Coord(const Qdxf_Coord &coord) {
    return Array().Real(coord.x).Real(coord.y).Real(coord.z).End();
}

Json &Json::CoordOrNull(const Qdxf_Coord *coord) {
    return coord ? Coord(*coord) : Null();
}

void Json::Quoted(std::string_view utf8) {
    std::string quoted;
    render::AppendJsonString(quoted, utf8);
    Raw(quoted);
}

void Json::Raw(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kFlushAt) Flush();
}

void Json::Flush() {
    if (into_) {
        into_->append(buffer_);
    } else {
        std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    }
    buffer_.clear();
}

void Json::Finish() {
    Raw("\n");
    Flush();
}

void WriteHeader(Json &json, const Qdxf_Header *header) {
    if (!header) {
        json.Null();
        return;
    }
    json.Object();
    for (const HeaderVariable &variable : kHeaderVariables) {
        std::string key;
        for (const char *c = variable.name + 1; *c; ++c)
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
        json.Key(key);
        switch (variable.kind) {
            case HeaderVariable::kText:
                json.Text(variable.Text(*header));
                break;
            case HeaderVariable::kInteger:
                json.Integer(variable.Integer(*header));
                break;
            case HeaderVariable::kReal:
            case HeaderVariable::kDate:
                json.Real(variable.Real(*header));
                break;
            case HeaderVariable::kPoint:
                json.CoordOrNull(variable.Point(*header));
                break;
        }
    }
    json.End();
}

void WriteTables(Json &json, const Qdxf_Tables *tables) {
    if (!tables) {
        json.Null();
        return;
    }
    json.Object().Key("ltypes").Array();
    for (const Qdxf_Ltype *ltype = tables->ltypes; ltype; ltype = ltype->next) {
        json.Object().Key("name").Text(ltype->name).Key("handle").Text(ltype->handle);
        json.Key("flags").Integer(ltype->flags).Key("text").Text(ltype->text);
        json.Key("alignment").Integer(ltype->alignment);
        json.Key("numDashItems").Integer(ltype->numDashItems);
        json.Key("patternLength").Real(ltype->patternLength).Key("dashLength");
        if (ltype->dashLength && ltype->numDashItems > 0) {
            json.Array();
            for (int i = 0; i < ltype->numDashItems; ++i)
                json.Real(ltype->dashLength[i]);
            json.End();
        } else {
            json.Null();
        }
        json.End();
    }
    json.End().Key("layers").Array();
    for (const Qdxf_Layer *layer = tables->layers; layer; layer = layer->next) {
        json.Object().Key("name").Text(layer->name).Key("handle").Text(layer->handle);
        json.Key("flags").Integer(layer->flags).Key("color").Integer(layer->color);
        json.Key("ltypeName").Text(layer->ltypeName).End();
    }
    json.End().Key("styles").Array();
    for (const Qdxf_Style *style = tables->styles; style; style = style->next) {
        json.Object().Key("name").Text(style->name).Key("handle").Text(style->handle);
        json.Key("flags").Integer(style->flags);
        json.Key("fixedTextHeight").Real(style->fixedTextHeight);
        json.Key("widthFactor").Real(style->widthFactor);
        json.Key("obliqueAngle").Real(style->obliqueAngle);
        json.Key("textGenFlags").Integer(style->textGenFlags);
        json.Key("lastHeightUsed").Real(style->lastHeightUsed);
        json.Key("primaryFontFile").Text(style->primaryFontFile);
        json.Key("bigFontFile").Text(style->bigFontFile).End();
    }
    json.End().End();
}

void WriteBlock(Json &json, const Qdxf_Block &block) {
    json.Object().Key("name").Text(block.name).Key("layerName").Text(block.layerName);
    json.Key("handle").Text(block.handle).Key("ltypeName").Text(block.ltypeName);
    json.Key("elevation").Real(block.elevation).Key("thickness").Real(block.thickness);
    json.Key("color").Integer(block.color).Key("space").Integer(block.space);
    json.Key("typeFlag").Integer(block.typeFlag).Key("basePoint").Coord(block.basePoint);
    json.Key("xrefPath").Text(block.xrefPath).Key("entities").Array();
    for (const Qdxf_Entity *entity = block.entities; entity; entity = entity->next)
        WriteEntity(json, *entity);
    json.End().End();
}

void WriteEntity(Json &json, const Qdxf_Entity &entity) {
    json.Object().Key("type").String(render::KindName(entity));
    json.Key("layerName").Text(entity.layerName).Key("handle").Text(entity.handle);
    json.Key("ltypeName").Text(entity.ltypeName);
    json.Key("elevation").Real(entity.elevation).Key("thickness").Real(entity.thickness);
    json.Key("color").Integer(entity.color).Key("space").Integer(entity.space);
    json.Key("data");
    WriteEntityData(json, entity);
    json.End();
}

void WriteEntityData(Json &json, const Qdxf_Entity &entity) {
    json.Object();
    WriteData(json, entity);
    json.End();
}

void WriteDocument(Json &json, const Qdxf_Info &drawing, unsigned parts) {
    json.Object().Key("schema").Integer(kJsonSchema);
    if (parts & kDocumentHeader) {
        json.Key("header");
        WriteHeader(json, drawing.header);
    }
    if (parts & kDocumentTables) {
        json.Key("tables");
        WriteTables(json, drawing.tables);
    }
    if (parts & kDocumentBlocks) {
        json.Key("blocks").Array();
        for (const Qdxf_Block *block = drawing.blocks; block; block = block->next)
            WriteBlock(json, *block);
        json.End();
    }
    if (parts & kDocumentEntities) {
        json.Key("entities").Array();
        for (const Qdxf_Entity *entity = drawing.entities; entity; entity = entity->next)
            WriteEntity(json, *entity);
        json.End();
    }
    json.End();
}

}  // namespace cli
