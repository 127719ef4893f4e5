// SPDX-License-Identifier: MIT
// Number lines that are not whole numbers of their kind, read as the writer
// meant them where that can be told: a decimal comma, a blank in the
// exponent, the NaN and infinity words of C libraries, junk after the digits,
// a real under an integer code. The conversions are the codec's own.
#ifndef VEXLITH_RECOVER_NUMBERS_H
#define VEXLITH_RECOVER_NUMBERS_H

#include <string_view>

#include "recover/recovery.h"

namespace vexlith::recover {

// The value of a real's line, and the repair that reading took (Kind::None
// for a whole real).
Kind RepairReal(std::string_view line, double *value);
// The same for an integer's line.
Kind RepairInteger(std::string_view line, int *value);

// The shortest text that reads back as `value` ("nan", "inf" and "-inf"
// included).
struct RealText {
    char text[32];
};
RealText FormatReal(double value);

}  // namespace vexlith::recover

#endif
