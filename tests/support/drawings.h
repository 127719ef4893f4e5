// SPDX-License-Identifier: MIT
// Drawings built the way a host builds them (every owned member its own heap
// block, so qdxf_InfoFree releases them), writing them with qdxf_Write, and
// the exact text or bytes the writer gives for a run of groups.
#ifndef VEXLITH_TESTS_DRAWINGS_H
#define VEXLITH_TESTS_DRAWINGS_H

#include <string>
#include <vector>

#include "test_support.h"

namespace testing_support {

// A heap copy of `text`; null for null.
char *HeapText(const char *text);
Qdxf_Coord *HeapCoord(Qdxf_Coord value);

// An empty drawing: no header, tables, blocks or entities.
DrawingPtr NewDrawing();
// A header with both extents, or none when `withExtents` is false.
Qdxf_Header *AddHeader(Qdxf_Info &drawing, bool withExtents = true);
// A new entity of `type` on `layer` (null: no layer), colour by layer,
// appended to `list`. INSERTs get the reader's defaults (scales 1, counts 1).
Qdxf_Entity *AddEntity(Qdxf_Entity *&list, int type, const char *layer);
// A new block named `name` on `layer`, colour by layer, appended to the drawing.
Qdxf_Block *AddBlock(Qdxf_Info &drawing, const char *name, const char *layer);
// Gives a POLYLINE or 3DFACE one vertex per location.
void SetVertices(Qdxf_Entity &entity, const std::vector<Qdxf_Coord> &locations);

// The outcome of qdxf_Write: what the file holds and the report chain.
struct WriteOutcome {
    std::string contents;
    ReportPtr report;
    std::vector<std::string> levels() const { return Levels(report.get()); }
};
// Writes `drawing` (may be null) into `path` in the binary form (1) or ASCII,
// with qdxf_Write, or with qdxf_WriteWithOptions when `flags` are given.
WriteOutcome WriteTo(const Qdxf_Info *drawing, const std::string &path, int binary,
                     unsigned int flags = 0);
// The same into a temporary file that is removed afterwards.
WriteOutcome WriteDrawing(const Qdxf_Info *drawing, int binary, unsigned int flags = 0);
// Writes `drawing` in one form into a temporary file and reads it back.
ReadOutcome RoundTrip(const Qdxf_Info &drawing, int binary);

// What the writer gives for `groups`: ASCII lines formatted with "%3d",
// "%6d" and "%s" in the C locale and reals as WrittenReal spells them, or
// binary bytes after the sentinel with one-byte codes.
std::string WrittenAscii(const std::vector<Group> &groups);
std::string WrittenBinary(const std::vector<Group> &groups);

// "%.8g" in the C locale.
std::string Real8(double value);
// A real as the ASCII form spells it: the shortest digits that read back to
// the same double, in fixed notation from 1e-5 up to 1e16.
std::string WrittenReal(double value);

}  // namespace testing_support

#endif
