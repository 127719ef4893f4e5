// SPDX-License-Identifier: MIT
// The SVG picture. Coordinates are written in pixels, mapped from drawing
// units by the view, so that drawings far from the origin or of any size
// keep their precision in viewers that compute in single precision or fixed
// point; lines are at least one pixel wide whatever the scale.
#include "svg_renderer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace render {

void Box::Add(Point p) {
    minX = std::min(minX, p.x);
    minY = std::min(minY, p.y);
    maxX = std::max(maxX, p.x);
    maxY = std::max(maxY, p.y);
}

namespace {

constexpr double kPi = std::numbers::pi;

// Text heights in DXF measure the capitals; a sans-serif font's capitals are
// about 0.73 of its size.
constexpr double kFontSizePerHeight = 1.37;
// An average character's advance, in text heights, for the extents.
constexpr double kAdvancePerHeight = 0.75;

Point At(const Segment &arc, double parameter) {
    Point unit{std::cos(parameter), std::sin(parameter)};
    Point offset = arc.shape.ApplyVector(unit);
    return {arc.center.x + offset.x, arc.center.y + offset.y};
}

std::size_t Characters(const std::string &text) {
    std::size_t count = 0;
    for (char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

}  // namespace

void ExtentsSink::AddPath(const Path &path) {
    box_.Add(path.start);
    for (const Segment &segment : path.segments) {
        if (segment.arc) {
            int steps = std::max(4, static_cast<int>(std::fabs(segment.sweep) / (kPi / 32)));
            for (int step = 1; step < steps; ++step)
                box_.Add(At(segment, segment.startParameter + segment.sweep * step / steps));
        }
        box_.Add(segment.to);
    }
}

void ExtentsSink::AddEllipse(const Ellipse &ellipse) {
    // The exact box of the image of a unit circle.
    const Affine &m = ellipse.shape;
    double halfWidth = std::hypot(m.a, m.c);
    double halfHeight = std::hypot(m.b, m.d);
    box_.Add({ellipse.center.x - halfWidth, ellipse.center.y - halfHeight});
    box_.Add({ellipse.center.x + halfWidth, ellipse.center.y + halfHeight});
}

void ExtentsSink::AddDot(const Dot &dot) {
    box_.Add(dot.at);
}

void ExtentsSink::AddLabel(const Label &label) {
    double length = label.fit > 0.0
                        ? label.fit
                        : kAdvancePerHeight * static_cast<double>(Characters(label.text));
    double from = label.align == TextAlign::Start    ? 0.0
                  : label.align == TextAlign::Middle ? -length / 2.0
                                                     : -length;
    for (double u : {from, from + length}) {
        for (double v : {-0.3, 1.0}) {
            box_.Add({label.origin.x + u * label.xAxis.x + v * label.yAxis.x,
                      label.origin.y + u * label.xAxis.y + v * label.yAxis.y});
        }
    }
}

Box ViewOf(const Qdxf_Info &drawing, const Box &computed) {
    Box header;
    const Qdxf_Header *variables = drawing.header;
    if (variables && variables->extmin && variables->extmax) {
        const Qdxf_Coord &low = *variables->extmin;
        const Qdxf_Coord &high = *variables->extmax;
        // Files without extents often carry the placeholders 1e20 and -1e20.
        bool sensible = std::fabs(low.x) < 1e15 && std::fabs(low.y) < 1e15 &&
                        std::fabs(high.x) < 1e15 && std::fabs(high.y) < 1e15 && low.x <= high.x &&
                        low.y <= high.y && (low.x < high.x || low.y < high.y);
        if (sensible) header = Box{low.x, low.y, high.x, high.y};
    }

    Box view = computed;
    if (!header.Empty()) {
        double size = std::max(header.Width(), header.Height());
        double slack = size * 0.1;
        bool holds =
            computed.Empty() ||
            (computed.minX >= header.minX - slack && computed.maxX <= header.maxX + slack &&
             computed.minY >= header.minY - slack && computed.maxY <= header.maxY + slack &&
             size <= 50.0 * std::max(computed.Width(), computed.Height()));
        if (holds) view = header;
    }
    // A drawing spread over more than the range of a double has no picture.
    if (view.Empty() || !std::isfinite(view.Width() * 2.0) || !std::isfinite(view.Height() * 2.0))
        view = Box{0.0, 0.0, 1.0, 1.0};
    double size = std::max(view.Width(), view.Height());
    double margin = size > 0.0 ? size * 0.04 : std::max(1.0, std::fabs(view.minX) * 1e-6);
    view.minX -= margin;
    view.minY -= margin;
    view.maxX += margin;
    view.maxY += margin;
    // A tall, narrow drawing is shown in a picture at most four times as
    // tall as wide, so that a picture's size stays bounded by its width.
    double narrowest = view.Height() / 4.0;
    if (view.Width() < narrowest) {
        double grow = (narrowest - view.Width()) / 2.0;
        view.minX -= grow;
        view.maxX += grow;
    }
    return view;
}

namespace {

// Writes the primitives as SVG elements in pixel coordinates, buffered.
class SvgSink : public Sink {
public:
    SvgSink(const Qdxf_Info &drawing, const SvgOptions &options, const Box &view,
            const SvgWriter &write)
        : write_(write), view_(view) {
        width_ = std::clamp(options.width, 1, 1000000);
        scale_ = width_ / view.Width();
        height_ = static_cast<int>(std::clamp(std::round(view.Height() * scale_), 1.0, 1e6));
        line_ = std::max(1.0, width_ / 1000.0);
        MakeColors(drawing, options.blackBackground);
    }

    void Begin() {
        out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width_) +
                "\" height=\"" + std::to_string(height_) + "\" viewBox=\"0 0 " +
                std::to_string(width_) + " " + std::to_string(height_) + "\">\n";
        out_ += "<rect width=\"100%\" height=\"100%\" fill=\"" + background_ + "\"/>\n";
        out_ += "<g fill=\"none\" stroke-width=\"";
        Number(line_);
        out_ +=
            "\" stroke-linecap=\"round\" stroke-linejoin=\"round\" "
            "font-family=\"DejaVu Sans, sans-serif\">\n";
    }

    bool End() {
        out_ += "</g>\n</svg>\n";
        Flush(true);
        return ok_;
    }

    int width() const { return width_; }
    int height() const { return height_; }

    void AddPath(const Path &path) override {
        bool shown = Shown(path.start);
        for (const Segment &segment : path.segments)
            shown = shown && Shown(segment.to) && (!segment.arc || Shown(segment.center));
        if (!shown) return;
        out_ += "<path d=\"M";
        Pair(Map(path.start));
        for (const Segment &segment : path.segments) {
            if (segment.arc) {
                Arc(segment);
            } else {
                out_ += " L";
                Pair(Map(segment.to));
            }
        }
        if (path.closed) out_ += " Z";
        out_ += "\" stroke=\"";
        out_ += Color(path.color);
        out_ += '"';
        if (path.filled) {
            out_ += " fill=\"";
            out_ += Color(path.color);
            out_ += '"';
        }
        if (path.width > 0.0) {
            out_ += " stroke-width=\"";
            Number(std::max(line_, path.width * scale_));
            out_ += "\" stroke-linecap=\"butt\" stroke-linejoin=\"miter\"";
        }
        out_ += "/>\n";
        Flush();
    }

    void AddEllipse(const Ellipse &ellipse) override {
        if (!Shown(ellipse.center)) return;
        Point center = Map(ellipse.center);
        EllipseAxes axes = AxesOf(Pixels(ellipse.shape));
        if (!(axes.rx < 1e15)) return;
        if (axes.rx - axes.ry <= 1e-6 * axes.rx) {
            out_ += "<circle cx=\"";
            Number(center.x);
            out_ += "\" cy=\"";
            Number(center.y);
            out_ += "\" r=\"";
            Number(axes.rx);
        } else {
            out_ += "<ellipse transform=\"translate(";
            Number(center.x);
            out_ += ',';
            Number(center.y);
            out_ += ") rotate(";
            Number(axes.rotation * 180.0 / kPi);
            out_ += ")\" rx=\"";
            Number(axes.rx);
            out_ += "\" ry=\"";
            Number(axes.ry);
        }
        out_ += "\" stroke=\"";
        out_ += Color(ellipse.color);
        out_ += "\"/>\n";
        Flush();
    }

    void AddDot(const Dot &dot) override {
        if (!Shown(dot.at)) return;
        Point at = Map(dot.at);
        out_ += "<circle cx=\"";
        Number(at.x);
        out_ += "\" cy=\"";
        Number(at.y);
        out_ += "\" r=\"";
        Number(1.5 * line_);
        out_ += "\" fill=\"";
        out_ += Color(dot.color);
        out_ += "\" stroke=\"none\"/>\n";
        Flush();
    }

    void AddLabel(const Label &label) override {
        // The text's own frame, x along the baseline and y down as SVG has
        // it, one unit a text height, mapped to pixels; normalised so that
        // the font size carries the scale.
        Affine frame{label.xAxis.x * scale_,
                     -label.xAxis.y * scale_,
                     -label.yAxis.x * scale_,
                     label.yAxis.y * scale_,
                     0.0,
                     0.0};
        double size = std::sqrt(std::fabs(frame.Determinant()));
        // Text of less than a hundredth of a pixel shows nothing.
        if (!(kFontSizePerHeight * size >= 0.01) || !(size < 1e15) || !Shown(label.origin)) return;
        Point origin = Map(label.origin);
        out_ += "<text transform=\"matrix(";
        Number(frame.a / size, 6);
        for (double value : {frame.b / size, frame.c / size, frame.d / size}) {
            out_ += ' ';
            Number(value, 6);
        }
        Pair(origin);
        out_ += ")\" font-size=\"";
        Number(kFontSizePerHeight * size, 3);
        out_ += "\" fill=\"";
        out_ += Color(label.color);
        out_ += "\" stroke=\"none\"";
        if (label.align == TextAlign::Middle) out_ += " text-anchor=\"middle\"";
        if (label.align == TextAlign::End) out_ += " text-anchor=\"end\"";
        if (label.fit > 0.0) {
            out_ += " textLength=\"";
            Number(label.fit * size, 3);
            out_ += "\" lengthAdjust=\"spacingAndGlyphs\"";
        }
        out_ += '>';
        for (char c : label.text) {
            switch (c) {
                case '&':
                    out_ += "&amp;";
                    break;
                case '<':
                    out_ += "&lt;";
                    break;
                case '>':
                    out_ += "&gt;";
                    break;
                default:
                    out_ += c;
            }
        }
        out_ += "</text>\n";
        Flush();
    }

private:
    Point Map(Point p) const { return {(p.x - view_.minX) * scale_, (view_.maxY - p.y) * scale_}; }

    // Whether a point's pixels can be written: a primitive that reaches
    // further than this from a picture of at most some thousand pixels lies
    // outside it.
    bool Shown(Point p) const {
        Point pixel = Map(p);
        return std::fabs(pixel.x) < 1e15 && std::fabs(pixel.y) < 1e15;
    }

    // A linear map of drawing units into one of pixels (y flipped).
    Affine Pixels(const Affine &m) const {
        return {m.a * scale_, -m.b * scale_, m.c * scale_, -m.d * scale_, 0.0, 0.0};
    }

    // An arc in pieces of at most a quarter turn: no piece is ambiguous
    // between the two arcs through its ends, and a whole circle keeps its
    // ends apart.
    void Arc(const Segment &segment) {
        Affine shape = Pixels(segment.shape);
        EllipseAxes axes = AxesOf(shape);
        Point center = Map(segment.center);
        int pieces =
            std::clamp(static_cast<int>(std::ceil(std::fabs(segment.sweep) / (kPi / 2))), 1, 8);
        // SVG's sweep flag 1 turns from +x towards +y, which is down.
        bool positive = (shape.Determinant() > 0.0) == (segment.sweep > 0.0);
        for (int piece = 1; piece <= pieces; ++piece) {
            Point to;
            if (piece == pieces) {
                to = Map(segment.to);
            } else {
                double parameter = segment.startParameter + segment.sweep * piece / pieces;
                Point offset = shape.ApplyVector({std::cos(parameter), std::sin(parameter)});
                to = {center.x + offset.x, center.y + offset.y};
            }
            if (axes.ry < 1e-3 || !(axes.rx < 1e15)) {  // flat, or too large to tell from a line
                out_ += " L";
                Pair(to);
                continue;
            }
            out_ += " A";
            Pair({axes.rx, axes.ry});
            out_ += ' ';
            Number(axes.rotation * 180.0 / kPi);
            out_ += positive ? " 0 1" : " 0 0";
            Pair(to);
        }
    }

    void Number(double value, int decimals = 2) {
        char text[64];
        std::to_chars_result result =
            std::fabs(value) < 1e12
                ? std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals)
                : std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 8);
        std::string_view written(text, static_cast<std::size_t>(result.ptr - text));
        if (written.find('.') != std::string_view::npos &&
            written.find('e') == std::string_view::npos) {
            while (written.back() == '0')
                written.remove_suffix(1);
            if (written.back() == '.') written.remove_suffix(1);
        }
        if (written == "-0") written = "0";
        out_ += written;
    }

    // " x y"
    void Pair(Point p) {
        out_ += ' ';
        Number(p.x);
        out_ += ' ';
        Number(p.y);
    }

    const std::string &Color(ColorNumber color) const {
        return colors_[color >= 1 && color <= 255 ? color : 7];
    }

    void MakeColors(const Qdxf_Info &drawing, bool black) {
        background_ = black ? "#000000" : "#ffffff";
        const Qdxf_ColorTable *table = drawing.colorTable;
        Qdxf_ColorTable *own = nullptr;
        if (!table) table = own = qdxf_ColorTableCreate(nullptr);
        auto level = [](double intensity) {
            if (!(intensity > 0.0)) return 0;
            if (intensity >= 1.0) return 255;
            return static_cast<int>(std::lround(intensity * 255.0));
        };
        for (int number = 1; number <= 255; ++number) {
            char text[8] = "#808080";
            if (table) {
                const Qdxf_ColorEntry &entry = table->entries[number];
                std::snprintf(text, sizeof text, "#%02x%02x%02x", level(entry.red),
                              level(entry.green), level(entry.blue));
            }
            colors_[number] = text;
        }
        colors_[7] = black ? "#ffffff" : "#000000";  // the foreground
        colors_[0] = colors_[7];
        if (own) qmsc_HeapFree(own);
    }

    // Hands the buffered text on once there is enough of it, or all of it.
    void Flush(bool all = false) {
        if (out_.empty() || (!all && out_.size() < (1u << 16))) return;
        if (ok_) ok_ = write_(out_);
        out_.clear();
    }

    const SvgWriter &write_;
    Box view_;
    int width_ = 0;
    int height_ = 0;
    double scale_ = 1.0;
    double line_ = 1.0;
    std::string background_;
    std::array<std::string, 256> colors_;
    std::string out_;
    bool ok_ = true;
};

}  // namespace

SvgOutcome WriteSvg(const Qdxf_Info &drawing, const SvgOptions &options, const SvgWriter &write) {
    ExtentsSink extents;
    WalkDrawing(drawing, options.scene, extents);
    SvgOutcome outcome;
    outcome.view = ViewOf(drawing, extents.box());
    SvgSink svg(drawing, options, outcome.view, write);
    svg.Begin();
    outcome.stats = WalkDrawing(drawing, options.scene, svg);
    outcome.written = svg.End();
    outcome.width = svg.width();
    outcome.height = svg.height();
    return outcome;
}

}  // namespace render
