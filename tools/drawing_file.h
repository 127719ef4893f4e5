// SPDX-License-Identifier: MIT
// Reading the drawing a command works on: the progress bar, the kinds the
// library reported as not read, and the file's form, which the API does not
// tell.
#ifndef VEXLITH_TOOLS_DRAWING_FILE_H
#define VEXLITH_TOOLS_DRAWING_FILE_H

#include <set>
#include <string>
#include <vector>

#include "vexlith.h"

namespace cli {

// The names of the entity kinds the library reported as ignored ("NAME
// entity ignored", or an entity of the kind left invalid: "NAME entity not
// translated: ..."), or as translated ("NAME entity translated"), sorted.
using IgnoredKinds = std::set<std::string>;

// The options a reading command reads with: every translation the library
// has (QDXF_READ_ALL), or with --strict none: null, qdxf_Read's drawing.
// With --recover (`recover`) the read recovers too (QDXF_READ_RECOVER).
const Qdxf_ReadOptions *CommandReadOptions(bool strict, bool recover = false);

// A repair of a recovering read, as the tool shows it.
struct Repair {
    long long line;  // 0 in binary
    long long offset;
    int action;
    int loss;
    int count;
    std::string found;
    std::string message;
};
using Repairs = std::vector<Repair>;

// One repair as a line shows it: "line 9 (byte 114): decimal comma read as
// -6.63671875", "byte 3612: ..." in binary, and where it was made at several
// places, how many.
std::string RepairLine(const Repair &repair);
// The name QDXF_REPAIR_... gives an action ("skipped", "replaced", ...).
const char *ActionName(int action);

// The form of a DXF file as its first bytes tell it.
enum class FileForm { Ascii, BinaryOneByte, BinaryTwoByte, Unreadable };
const char *FormName(FileForm form);
inline bool IsBinary(FileForm form) {
    return form == FileForm::BinaryOneByte || form == FileForm::BinaryTwoByte;
}

// What every reading command takes for FILE: a path, or "-" for standard
// input.
constexpr const char *kStandardInput = "-";

// Reads FILE ("-": standard input) with a bar when ShowProgress
// (progressRequested) says so. The file is opened once: its form, which
// `form` receives when given, is told from its first bytes, and the library
// reads it whole. When `ignored` is given it receives the kinds the library
// did not read, and `translated` the kinds it translated; each entity left
// invalid by its translation is reported on stderr once per kind and reason,
// and other log messages go to stderr as they come. With `options`,
// qdxf_ReadWithOptions reads it, else qdxf_Read. A failed read prints its
// report chain on stderr, with a last line that tells of --recover when it
// did not recover, and gives null. A recovering read's repairs go to
// `repairs` when it is given, else to stderr, a line each and a count.
Qdxf_Info *ReadDrawing(const std::string &fileName, bool progressRequested,
                       IgnoredKinds *ignored = nullptr, const Qdxf_ReadOptions *options = nullptr,
                       IgnoredKinds *translated = nullptr, FileForm *form = nullptr,
                       Repairs *repairs = nullptr);

// The same through qdxf_ReadEach: each entity of the ENTITIES section goes
// to `each` as it is read, and the drawing returned holds none of them.
Qdxf_Info *ReadDrawingEach(const std::string &fileName, bool progressRequested,
                           IgnoredKinds *ignored, const Qdxf_ReadOptions *options,
                           Qdxf_EntityCallback each, void *context,
                           IgnoredKinds *translated = nullptr, FileForm *form = nullptr);

}  // namespace cli

#endif
