// SPDX-License-Identifier: MIT
// The scene as flat arrays (flat_scene.h).
#include "flat_scene.h"

#include <cmath>
#include <map>
#include <numbers>

#include "model/text_advance.h"

namespace web {
namespace {

constexpr double kPi = std::numbers::pi;

std::string Key(const std::string &name) {
    std::string key = name;
    for (char &c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

class FlatSink : public render::Sink {
public:
    FlatSink(const Qdxf_Info &drawing, const std::vector<std::string> &layerNames, FlatScene *scene)
        : scene_(*scene), cursor_(drawing.entities) {
        for (const std::string &name : layerNames)
            LayerIndex(name);
    }

    void AddPath(const render::Path &path) override {
        Anchor(path.start);
        extents_.AddPath(path);
        StartPath(path.color, path.source, path.width,
                  static_cast<std::uint8_t>((path.closed ? FlatScene::kClosed : 0) |
                                            (path.filled ? FlatScene::kFilled : 0)),
                  !path.filled);
        Add(path.start);
        for (const render::Segment &segment : path.segments) {
            if (segment.arc && AddArc(segment.center, segment.shape, segment.startParameter,
                                      segment.sweep, segment.to))
                continue;
            Add(segment.to);
        }
    }

    void AddEllipse(const render::Ellipse &ellipse) override {
        Anchor(ellipse.center);
        extents_.AddEllipse(ellipse);
        StartPath(ellipse.color, ellipse.source, 0.0, FlatScene::kClosed, true);
        render::Point start{ellipse.center.x + ellipse.shape.a, ellipse.center.y + ellipse.shape.b};
        Add(start);
        if (!AddArc(ellipse.center, ellipse.shape, 0.0, 2.0 * kPi, start)) {
            Add({ellipse.center.x - ellipse.shape.a, ellipse.center.y - ellipse.shape.b});
        }
    }

    void AddDot(const render::Dot &dot) override {
        Anchor(dot.at);
        extents_.AddDot(dot);
        scene_.dots.push_back(X(dot.at));
        scene_.dots.push_back(Y(dot.at));
        scene_.dotColor.push_back(Color(dot.color));
        scene_.dotEntity.push_back(EntityIndex(dot.source));
        scene_.dotLayer.push_back(LayerOf(dot.source));
    }

    void AddLabel(const render::Label &label) override {
        Anchor(label.origin);
        extents_.AddLabel(label);
        double length = label.fit > 0.0 ? label.fit : vexlith::TextAdvance(label.text);
        double height = std::hypot(label.yAxis.x, label.yAxis.y);
        double angle = std::atan2(label.xAxis.y, label.xAxis.x);
        for (double value : {static_cast<double>(X(label.origin)),
                             static_cast<double>(Y(label.origin)), label.xAxis.x, label.xAxis.y,
                             label.yAxis.x, label.yAxis.y, height, angle, label.fit, length})
            scene_.labels.push_back(static_cast<float>(value));
        scene_.labelAlign.push_back(static_cast<std::uint8_t>(label.align));
        scene_.labelColor.push_back(Color(label.color));
        scene_.labelEntity.push_back(EntityIndex(label.source));
        scene_.labelLayer.push_back(LayerOf(label.source));
        scene_.labelText += label.text;
        scene_.labelTextStart.push_back(static_cast<std::uint32_t>(scene_.labelText.size()));
    }

    void Finish() {
        scene_.pathStart.push_back(Points());
        scene_.extents = extents_.box();
        scene_.view = render::ViewOf(extents_.box());
    }

private:
    // The origin is the first point drawn: every other is within the
    // drawing's size of it, and the scene is walked once.
    void Anchor(render::Point p) {
        if (anchored_) return;
        anchored_ = true;
        scene_.origin = p;
    }

    float X(render::Point p) const { return static_cast<float>(p.x - scene_.origin.x); }
    float Y(render::Point p) const { return static_cast<float>(p.y - scene_.origin.y); }
    std::uint32_t Points() const { return static_cast<std::uint32_t>(scene_.points.size() / 2); }

    void Add(render::Point p) {
        scene_.points.push_back(X(p));
        scene_.points.push_back(Y(p));
    }

    static std::uint8_t Color(render::ColorNumber color) {
        return static_cast<std::uint8_t>(color >= 1 && color <= 255 ? color : 7);
    }

    void StartPath(render::ColorNumber color, const render::Source *source, double width,
                   std::uint8_t flags, bool dashed) {
        scene_.pathStart.push_back(Points());
        scene_.pathFlags.push_back(flags);
        scene_.pathColor.push_back(Color(color));
        scene_.pathWidth.push_back(static_cast<float>(width));
        scene_.pathDash.push_back(dashed && source ? DashIndex(source->dashes) : 0);
        scene_.pathEntity.push_back(EntityIndex(source));
        scene_.pathLayer.push_back(LayerOf(source));
    }

    // The arc as a canvas ellipse: the linear map `shape` is the rotation of
    // the axes times their lengths times an orthogonal map W, which turns the
    // circle's parameter into the ellipse's angle, reversed when W mirrors.
    // Its end point is `to`. False for an ellipse too flat to be told from a
    // line.
    bool AddArc(render::Point center, const render::Affine &shape, double start, double sweep,
                render::Point to) {
        render::EllipseAxes axes = render::AxesOf(shape);
        if (!(axes.ry > 1e-9 * axes.rx) || !std::isfinite(axes.rx)) return false;
        double c = std::cos(axes.rotation), s = std::sin(axes.rotation);
        double w00 = (c * shape.a + s * shape.b) / axes.rx;
        double w10 = (c * shape.b - s * shape.a) / axes.ry;
        double phase = std::atan2(w10, w00);
        bool mirrored = shape.Determinant() < 0.0;
        double angle = mirrored ? phase - start : phase + start;
        double turn = mirrored ? -sweep : sweep;
        Add(to);
        scene_.arcAt.push_back(Points() - 1);
        for (double value : {static_cast<double>(X(center)), static_cast<double>(Y(center)),
                             axes.rx, axes.ry, axes.rotation, angle, turn})
            scene_.arcs.push_back(static_cast<float>(value));
        return true;
    }

    std::uint16_t DashIndex(const std::vector<double> &pattern) {
        if (pattern.empty()) return 0;
        if (pattern == lastDashes_) return lastDash_;
        lastDashes_ = pattern;
        lastDash_ = Dash(pattern);
        return lastDash_;
    }

    std::uint16_t Dash(const std::vector<double> &pattern) {
        auto [found, added] = dashIndex_.try_emplace(pattern, 0);
        if (added) {
            for (double length : pattern)
                scene_.dashes.push_back(static_cast<float>(length));
            scene_.dashStart.push_back(static_cast<std::uint32_t>(scene_.dashes.size()));
            found->second = static_cast<std::uint16_t>(
                std::min<std::size_t>(scene_.dashStart.size() - 1, 0xFFFF));
        }
        return found->second;
    }

    // The entities are visited in file order, so the index follows the list.
    std::uint32_t EntityIndex(const render::Source *source) {
        const Qdxf_Entity *entity = source ? source->entity : nullptr;
        if (!entity) return 0xFFFFFFFFu;
        while (cursor_ && cursor_ != entity) {
            cursor_ = cursor_->next;
            ++index_;
        }
        return cursor_ ? index_ : 0xFFFFFFFFu;
    }

    // Consecutive pieces are mostly on one layer: the last one is kept.
    std::uint16_t LayerOf(const render::Source *source) {
        const std::string &name = source ? source->layer : kDefaultLayer;
        if (!haveLayer_ || name != lastLayerName_) {
            haveLayer_ = true;
            lastLayerName_ = name;
            lastLayer_ = LayerIndex(name);
        }
        return lastLayer_;
    }

    std::uint16_t LayerIndex(const std::string &name) {
        auto [found, added] = layerIndex_.try_emplace(Key(name), 0);
        if (added) {
            found->second =
                static_cast<std::uint16_t>(std::min<std::size_t>(scene_.layers.size(), 0xFFFF));
            scene_.layers.push_back(name);
        }
        return found->second;
    }

    FlatScene &scene_;
    render::ExtentsSink extents_;
    bool anchored_ = false;
    const Qdxf_Entity *cursor_;
    std::uint32_t index_ = 0;
    std::map<std::vector<double>, std::uint16_t> dashIndex_;
    std::map<std::string, std::uint16_t> layerIndex_;
    std::vector<double> lastDashes_;
    std::uint16_t lastDash_ = 0;
    std::string lastLayerName_;
    std::uint16_t lastLayer_ = 0;
    bool haveLayer_ = false;
    inline static const std::string kDefaultLayer = "0";
};

}  // namespace

void Flatten(const Qdxf_Info &drawing, const render::SceneOptions &options,
             const std::vector<std::string> &layerNames, FlatScene *scene) {
    FlatSink sink(drawing, layerNames, scene);
    scene->stats = render::WalkDrawing(drawing, options, sink);
    sink.Finish();
}

}  // namespace web
