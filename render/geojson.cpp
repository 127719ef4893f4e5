// SPDX-License-Identifier: MIT
// The drawing as a GeoJSON FeatureCollection (RFC 7946), for GIS programs: one
// feature per primitive of the scene walk, with where it comes from as its
// properties. Coordinates are the drawing's own units; the collection says
// so, since GeoJSON readers otherwise take them as longitude and latitude.
// What CAD programs do not plot is kept, with "plotted": false.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "output.h"
#include "text.h"

namespace render {
namespace {

constexpr double kPi = std::numbers::pi;
// Pieces an arc or circle is cut into at most, whatever the tolerance.
constexpr int kMaxPieces = 1024;

class GeoJsonSink : public Sink {
public:
    GeoJsonSink(const Qdxf_Info &drawing, double tolerance, const Writer &write)
        : write_(write), tolerance_(tolerance), rgb_(HexColors(drawing, false)) {}

    void Begin() {
        out_ +=
            "{\"type\":\"FeatureCollection\",\"units\":\"drawing units, not longitude and "
            "latitude\",\"features\":[\n";
    }

    bool End() {
        out_ += "\n]}\n";
        Flush(true);
        return ok_;
    }

    std::size_t features() const { return features_; }

    void AddPath(const Path &path) override {
        points_.clear();
        points_.push_back(path.start);
        Point at = path.start;
        for (const Segment &segment : path.segments) {
            if (segment.arc) Flatten(segment);
            points_.push_back(segment.to);
            at = segment.to;
        }
        bool polygon = path.closed && points_.size() >= 3;
        if (polygon) {
            if (points_.front().x != at.x || points_.front().y != at.y)
                points_.push_back(points_.front());
            // Exterior rings run counter-clockwise.
            if (Area() < 0.0) std::reverse(points_.begin(), points_.end());
        }
        Feature(polygon ? "Polygon" : "LineString", path.color, path.source);
    }

    void AddEllipse(const Ellipse &ellipse) override {
        Segment whole;
        whole.arc = true;
        whole.center = ellipse.center;
        whole.shape = ellipse.shape;
        whole.sweep = 2.0 * kPi;
        whole.to = Around(whole, 0.0);
        points_.assign(1, whole.to);
        Flatten(whole);
        points_.push_back(whole.to);
        Feature("LineString", ellipse.color, ellipse.source);
    }

    void AddDot(const Dot &dot) override {
        points_.assign(1, dot.at);
        Feature("Point", dot.color, dot.source);
    }

    void AddLabel(const Label &label) override {
        points_.assign(1, label.origin);
        Feature("Point", label.color, label.source, &label.text);
    }

private:
    static Point Around(const Segment &segment, double parameter) {
        Point offset = segment.shape.ApplyVector({std::cos(parameter), std::sin(parameter)});
        return {segment.center.x + offset.x, segment.center.y + offset.y};
    }

    // The inner points of an arc, close enough to it that no chord strays
    // further than the tolerance.
    void Flatten(const Segment &segment) {
        double radius = AxesOf(segment.shape).rx;
        int pieces = 1;
        if (radius > tolerance_) {
            double step = 2.0 * std::acos(1.0 - tolerance_ / radius);
            double wanted = std::ceil(std::fabs(segment.sweep) / step);
            pieces = static_cast<int>(std::clamp(wanted, 1.0, static_cast<double>(kMaxPieces)));
        }
        for (int piece = 1; piece < pieces; ++piece)
            points_.push_back(
                Around(segment, segment.startParameter + segment.sweep * piece / pieces));
    }

    double Area() const {
        double twice = 0.0;
        for (std::size_t i = 0; i + 1 < points_.size(); ++i)
            twice += points_[i].x * points_[i + 1].y - points_[i + 1].x * points_[i].y;
        return twice / 2.0;
    }

    void Feature(const char *geometry, ColorNumber color, const Source *source,
                 const std::string *text = nullptr) {
        out_ += features_ ? ",\n" : "";
        out_ += "{\"type\":\"Feature\",\"geometry\":{\"type\":\"";
        out_ += geometry;
        out_ += "\",\"coordinates\":";
        if (std::string_view(geometry) == "Point") {
            Position(points_[0]);
        } else {
            if (std::string_view(geometry) == "Polygon") out_ += '[';
            out_ += '[';
            for (std::size_t i = 0; i < points_.size(); ++i) {
                if (i) out_ += ',';
                Position(points_[i]);
            }
            out_ += ']';
            if (std::string_view(geometry) == "Polygon") out_ += ']';
        }
        out_ += "},\"properties\":{\"layer\":";
        Quoted(source ? ToUtf8(source->layer.c_str()) : std::string("0"));
        out_ += ",\"kind\":";
        Quoted(source ? source->kind : "");
        out_ += ",\"color\":" + std::to_string(color) + ",\"rgb\":\"";
        out_ += rgb_[color >= 1 && color <= 255 ? color : 7];
        out_ += "\",\"handle\":";
        if (source && source->handle) {
            Quoted(ToUtf8(source->handle));
        } else {
            out_ += "null";
        }
        out_ += ",\"block\":";
        if (source && !source->blockPath.empty()) {
            Quoted(ToUtf8(source->blockPath.c_str()));
        } else {
            out_ += "null";
        }
        out_ += source && !source->plotted ? ",\"plotted\":false" : ",\"plotted\":true";
        if (text) {
            out_ += ",\"text\":";
            Quoted(*text);
        }
        out_ += "}}";
        ++features_;
        Flush();
    }

    void Position(Point p) {
        out_ += '[';
        Number(p.x);
        out_ += ',';
        Number(p.y);
        out_ += ']';
    }

    void Number(double value) {
        char digits[32];
        auto result = std::to_chars(digits, digits + sizeof digits, value);
        out_.append(digits, static_cast<std::size_t>(result.ptr - digits));
    }

    // A JSON string of UTF-8 text; a name from the file goes through ToUtf8
    // first.
    void Quoted(std::string_view utf8) { AppendJsonString(out_, utf8); }
    void Quoted(const std::string &raw) { Quoted(std::string_view(raw)); }
    void Quoted(const char *raw) { Quoted(std::string_view(raw)); }

    void Flush(bool all = false) {
        if (out_.empty() || (!all && out_.size() < (1u << 16))) return;
        if (ok_) ok_ = write_(out_);
        out_.clear();
    }

    const Writer &write_;
    double tolerance_;
    std::array<std::string, 256> rgb_;
    std::vector<Point> points_;
    std::string out_;
    std::size_t features_ = 0;
    bool ok_ = true;
};

}  // namespace

Outcome WriteGeoJson(const Qdxf_Info &drawing, const OutputOptions &options, const Writer &write) {
    Outcome outcome;
    // What CAD programs do not plot is kept, and said so.
    SceneOptions scene = options.scene;
    scene.keepUnplotted = true;
    double tolerance = options.chordTolerance;
    if (!(tolerance > 0.0) || !std::isfinite(tolerance)) {
        ExtentsSink extents;
        WalkDrawing(drawing, scene, extents);
        outcome.view = ViewOf(extents.box());
        tolerance = std::max(outcome.view.Width(), outcome.view.Height()) / 1000.0;
    }
    GeoJsonSink sink(drawing, tolerance, write);
    sink.Begin();
    outcome.stats = WalkDrawing(drawing, scene, sink);
    outcome.written = sink.End();
    outcome.elements = sink.features();
    return outcome;
}

}  // namespace render
