// SPDX-License-Identifier: MIT
// The SVG picture. Coordinates are written in pixels, mapped from drawing
// units by the view, so that drawings far from the origin or of any size
// keep their precision in viewers that compute in single precision or fixed
// point; lines are at least one pixel wide whatever the scale.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "model/text_advance.h"
#include "output.h"

namespace render {
namespace {

constexpr double kPi = std::numbers::pi;

// Text heights in DXF measure the capitals; a sans-serif font's capitals are
// about 0.73 of its size.
constexpr double kFontSizePerHeight = 1.37;

// Writes the primitives as SVG elements in pixel coordinates, buffered.
class SvgSink : public Sink {
public:
    SvgSink(const Qdxf_Info &drawing, const OutputOptions &options, const Box &view,
            const Writer &write)
        : write_(write), view_(view) {
        width_ = std::clamp(options.width, 1, 1000000);
        scale_ = width_ / view.Width();
        // The view is never taller than four times its width; a view that
        // is no number of units wide still gets a picture of bounded size.
        if (!std::isfinite(scale_) || !(scale_ > 0.0)) scale_ = 1.0;
        height_ =
            static_cast<int>(std::clamp(std::round(view.Height() * scale_), 1.0, 4.0 * width_));
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
    std::size_t elements() const { return elements_; }
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
        if (!path.filled && path.source) Dashes(path.source->dashes);
        if (path.width > 0.0) {
            out_ += " stroke-width=\"";
            Number(std::max(line_, path.width * scale_));
            out_ += "\" stroke-linecap=\"butt\" stroke-linejoin=\"miter\"";
        }
        out_ += "/>\n";
        Written();
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
        out_ += '"';
        if (ellipse.source) Dashes(ellipse.source->dashes);
        out_ += "/>\n";
        Written();
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
        Written();
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
        // Full-width characters set one text height wide, as the extents
        // measure them (a CJK font's glyph is as wide as its size).
        std::string_view text = label.text;
        bool fullWidth = false;
        for (std::size_t at = 0; at < text.size();) {
            vexlith::TextCharacter character = vexlith::CharacterAt(text, at);
            bool square = character.advance == vexlith::kFullWidthAdvancePerHeight;
            if (square != fullWidth) {
                if (square) {
                    out_ += "<tspan font-size=\"";
                    Number(vexlith::kFullWidthAdvancePerHeight * size, 3);
                    out_ += "\">";
                } else {
                    out_ += "</tspan>";
                }
                fullWidth = square;
            }
            for (char c : text.substr(at, character.length)) {
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
            at += character.length;
        }
        if (fullWidth) out_ += "</tspan>";
        out_ += "</text>\n";
        Written();
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

    // A line type's pattern as stroke-dasharray, in pixels: dashes and gaps
    // alternate, starting with a dash; a dot is a dash of no length, which the
    // round caps show. A pattern shorter than a few pixels draws solid.
    void Dashes(const std::vector<double> &pattern) {
        if (pattern.empty()) return;
        std::vector<double> lengths;  // even places dashes, odd places gaps
        double total = 0.0;
        for (double length : pattern) {
            bool gap = length < 0.0;
            double pixels = std::fabs(length) * scale_;
            total += pixels;
            if (lengths.empty() && gap) lengths.push_back(0.0);
            if (!lengths.empty() && (lengths.size() % 2 == 0) == gap) {
                lengths.back() += pixels;
            } else {
                lengths.push_back(pixels);
            }
        }
        if (lengths.size() % 2) lengths.push_back(0.0);
        if (!(total >= 3.0 * line_) || lengths.size() < 2 || !(total < 1e12)) return;
        out_ += " stroke-dasharray=\"";
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            if (i) out_ += ' ';
            Number(lengths[i]);
        }
        out_ += '"';
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
        colors_ = HexColors(drawing, !black);
        colors_[7] = black ? "#ffffff" : "#000000";  // the foreground
        colors_[0] = colors_[7];
    }

    // Counts an element written and hands the text on.
    void Written() {
        ++elements_;
        Flush();
    }

    // Hands the buffered text on once there is enough of it, or all of it.
    void Flush(bool all = false) {
        if (out_.empty() || (!all && out_.size() < (1u << 16))) return;
        if (ok_) ok_ = write_(out_);
        out_.clear();
    }

    const Writer &write_;
    Box view_;
    int width_ = 0;
    int height_ = 0;
    double scale_ = 1.0;
    double line_ = 1.0;
    std::string background_;
    std::array<std::string, 256> colors_;
    std::string out_;
    std::size_t elements_ = 0;
    bool ok_ = true;
};

}  // namespace

Outcome WriteSvg(const Qdxf_Info &drawing, const OutputOptions &options, const Writer &write) {
    ExtentsSink extents;
    WalkDrawing(drawing, options.scene, extents);
    Outcome outcome;
    outcome.view = ViewOf(extents.box());
    SvgSink svg(drawing, options, outcome.view, write);
    svg.Begin();
    outcome.stats = WalkDrawing(drawing, options.scene, svg);
    outcome.written = svg.End();
    outcome.elements = svg.elements();
    outcome.width = svg.width();
    outcome.height = svg.height();
    return outcome;
}

}  // namespace render
