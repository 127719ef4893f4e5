// SPDX-License-Identifier: MIT
// What the dump exports share: null texts, and coordinates in the full and
// the quick form. Everything goes to the toolkit's standard output, where a
// host can capture it with qfio_SetPrintSink.
#ifndef VEXLITH_DUMP_PRINT_H
#define VEXLITH_DUMP_PRINT_H

#include "runtime/toolkit.h"
#include "vexlith.h"

namespace vexlith {

// A text member for "%s": null prints as "(nil)".
inline const char *OrNil(const char *text) {
    return text ? text : "(nil)";
}

// A coordinate in the full form, x, y and z.
inline void PrintCoord(const Qdxf_Coord &coord) {
    VX_PRINT("(%g, %g, %g)", coord.x, coord.y, coord.z);
}

// A coordinate in the quick form, x and y only.
inline void PrintQuickCoord(const Qdxf_Coord &coord) {
    VX_PRINT("(%g, %g)", coord.x, coord.y);
}

}  // namespace vexlith

#endif
