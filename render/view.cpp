// SPDX-License-Identifier: MIT
// The box around a drawing's primitives and the view shown of it.
#include "view.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/text_advance.h"

namespace render {

void Box::Add(Point p) {
    minX = std::min(minX, p.x);
    minY = std::min(minY, p.y);
    maxX = std::max(maxX, p.x);
    maxY = std::max(maxY, p.y);
}

namespace {

constexpr double kPi = std::numbers::pi;

Point At(const Segment &arc, double parameter) {
    Point unit{std::cos(parameter), std::sin(parameter)};
    Point offset = arc.shape.ApplyVector(unit);
    return {arc.center.x + offset.x, arc.center.y + offset.y};
}

// Whether the arc passes the parameter t.
bool Passes(const Segment &arc, double t) {
    if (std::fabs(arc.sweep) >= 2 * kPi) return true;
    double from = arc.sweep >= 0 ? t - arc.startParameter : arc.startParameter - t;
    from = std::fmod(from, 2 * kPi);
    return (from < 0 ? from + 2 * kPi : from) <= std::fabs(arc.sweep);
}

// What CAD programs do not plot does not count for the frame.
bool Plotted(const Source *source) {
    return !source || source->plotted;
}

}  // namespace

void ExtentsSink::AddPath(const Path &path) {
    if (!Plotted(path.source)) return;
    box_.Add(path.start);
    for (const Segment &segment : path.segments) {
        if (segment.arc) {
            // The ellipse's leftmost and rightmost points, then its lowest
            // and highest, where the arc passes them: x = a cos t + c sin t
            // is extreme where tan t = c / a.
            const Affine &m = segment.shape;
            for (double t : {std::atan2(m.c, m.a), std::atan2(m.d, m.b)}) {
                if (Passes(segment, t)) box_.Add(At(segment, t));
                if (Passes(segment, t + kPi)) box_.Add(At(segment, t + kPi));
            }
        }
        box_.Add(segment.to);
    }
}

void ExtentsSink::AddEllipse(const Ellipse &ellipse) {
    if (!Plotted(ellipse.source)) return;
    // The exact box of the image of a unit circle.
    const Affine &m = ellipse.shape;
    double halfWidth = std::hypot(m.a, m.c);
    double halfHeight = std::hypot(m.b, m.d);
    box_.Add({ellipse.center.x - halfWidth, ellipse.center.y - halfHeight});
    box_.Add({ellipse.center.x + halfWidth, ellipse.center.y + halfHeight});
}

void ExtentsSink::AddDot(const Dot &dot) {
    if (!Plotted(dot.source)) return;
    box_.Add(dot.at);
}

void ExtentsSink::AddLabel(const Label &label) {
    if (!Plotted(label.source)) return;
    double length = label.fit > 0.0 ? label.fit : vexlith::TextAdvance(label.text);
    double from = label.align == TextAlign::Start    ? 0.0
                  : label.align == TextAlign::Middle ? -length / 2.0
                                                     : -length;
    for (double u : {from, from + length}) {
        for (double v : {-vexlith::kDescentPerHeight, 1.0}) {
            box_.Add({label.origin.x + u * label.xAxis.x + v * label.yAxis.x,
                      label.origin.y + u * label.xAxis.y + v * label.yAxis.y});
        }
    }
}

Box ViewOf(const Box &computed) {
    Box view = computed;
    // A drawing spread over more than the range of a double has no picture.
    if (view.Empty() || !std::isfinite(view.Width() * 2.0) || !std::isfinite(view.Height() * 2.0))
        view = Box{0.0, 0.0, 1.0, 1.0};
    double size = std::max(view.Width(), view.Height());
    double reach = std::max(
        {std::fabs(view.minX), std::fabs(view.maxX), std::fabs(view.minY), std::fabs(view.maxY)});
    // A drawing too small to tell from a point beside its distance from the
    // origin, or too small for a picture's scale to be a number, is shown as
    // a point: a unit around it, or more where the unit would round away.
    bool point = !(size > reach * 1e-12) || !(size > 1e-100);
    double margin = point ? std::max(1.0, reach * 1e-6) : size * 0.04;
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

}  // namespace render
