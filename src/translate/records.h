// SPDX-License-Identifier: MIT
// What the translations build records with: texts in the encoding the read
// asks for, and polylines from points.
#ifndef VEXLITH_TRANSLATE_RECORDS_H
#define VEXLITH_TRANSLATE_RECORDS_H

#include "translate/groups.h"
#include "translate/text_encoding.h"

namespace vexlith::translate {

// `length` bytes of `text` as a new text member, converted to UTF-8 when
// `utf8` is given (QDXF_READ_UTF8); null when the heap is exhausted.
char *CopyText(const TextEncoding *utf8, const char *text, std::size_t length);

// Angles as the reader holds those of a file: the radians of some degrees
// (`d * π / 180`), so that a writer finds the degrees that read back to them.
// FileDegrees gives those degrees for an angle held so; FileAngle turns a
// computed angle into the nearest one held so.
double FileDegrees(double radians);
double FileAngle(double radians);

// The vertex flags of a 3-D polyline's vertices.
constexpr int k3dVertex = 32;

// Makes the entity a POLYLINE of `points` with `flag`, each vertex with
// `vertexFlags`, releasing what its kind held before. Invalid, with *why,
// for more points than a record counts; NoMemory leaves it unchanged.
Outcome SetPolyline(Qdxf_Entity &entity, std::span<const Qdxf_Coord> points, int flag,
                    int vertexFlags, const char **why);

}  // namespace vexlith::translate

#endif
