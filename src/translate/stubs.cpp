// SPDX-License-Identifier: MIT
// Placeholders until the translations are written: nothing is translated.
#include <cstring>

#include "runtime/toolkit.h"
#include "translate/geometry.h"
#include "translate/hatch.h"

namespace vexlith::translate {

namespace {
constexpr const char *kNotYet = "not translated yet";
}

double CurveTolerance(double requested, double curveSize) {
    return requested > 0 ? requested : curveSize * 1e-4;
}
bool MakeOcs(const Qdxf_Coord &, Ocs *) {
    return false;
}
Qdxf_Coord ToWorld(const Ocs &, const Qdxf_Coord &point) {
    return point;
}
Outcome FlattenArc(const Qdxf_Coord &, double, double, double, double, Points &) {
    return Outcome::Invalid;
}
Outcome FlattenBulge(const Qdxf_Coord &, const Qdxf_Coord &, double, double, Points &) {
    return Outcome::Invalid;
}
Outcome FlattenEllipse(const Qdxf_Coord &, const Qdxf_Coord &, const Qdxf_Coord &, double, double,
                       double, double, Points &) {
    return Outcome::Invalid;
}
Outcome FlattenNurbs(const Nurbs &, double, Points &, const char **why) {
    *why = kNotYet;
    return Outcome::Invalid;
}
Outcome FlattenFitPoints(int, std::span<const Qdxf_Coord>, const Qdxf_Coord *, const Qdxf_Coord *,
                         double, Points &, const char **why) {
    *why = kNotYet;
    return Outcome::Invalid;
}
Outcome TranslateEllipse(Groups, double, CircularShape *, Points &, const char **why) {
    *why = kNotYet;
    return Outcome::Invalid;
}
Outcome TranslateSpline(Groups, double, Points &, const char **why) {
    *why = kNotYet;
    return Outcome::Invalid;
}
Outcome TranslateHatch(Groups, double, HatchShapes &, const char **why) {
    *why = kNotYet;
    return Outcome::Invalid;
}

}  // namespace vexlith::translate
