// SPDX-License-Identifier: MIT
// Colour numbers from red, green and blue, for what a file gives only as a
// true colour (group 421) where a record holds a colour number.
#ifndef VEXLITH_COLOR_COLOR_NUMBER_H
#define VEXLITH_COLOR_COLOR_NUMBER_H

#include <cstdint>

namespace vexlith {

// The colour number, 1 to 255, of the standard table nearest to the colour
// 0xRRGGBB (the low 24 bits of `rgb`), by the distance of the levels.
int NearestColorNumber(std::uint32_t rgb);

}  // namespace vexlith

#endif
