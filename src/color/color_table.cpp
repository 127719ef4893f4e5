// SPDX-License-Identifier: MIT
// The table from DXF colour numbers to red, green and blue. Built at compile
// time; each call copies it into a new heap block.
#include <array>
#include <cstring>

#include "color/color_number.h"
#include "runtime/toolkit.h"
#include "vexlith.h"

namespace vexlith {
namespace {

struct Levels {
    int red, green, blue;
};

// The intensity levels (0 to 255) of colour number n, 1 to 255.
constexpr Levels LevelsOf(int n) {
    constexpr Levels kFixedLow[10] = {
        {0, 0, 0},   {255, 0, 0},   {255, 255, 0},   {0, 255, 0},     {0, 255, 255},
        {0, 0, 255}, {255, 0, 255}, {255, 255, 255}, {128, 128, 128}, {192, 192, 192}};
    constexpr Levels kGreys[6] = {{84, 84, 84},    {118, 118, 118}, {160, 160, 160},
                                  {192, 192, 192}, {224, 224, 224}, {0, 0, 0}};
    if (n < 10) return kFixedLow[n];
    if (n >= 250) return kGreys[n - 250];
    // 24 hues of 10 entries: five shades, each in full and in pale colour. The
    // ramps are given level by level; they follow no single rounding.
    constexpr int kRamps[5][2][5] = {
        {{0, 63, 127, 191, 255}, {127, 159, 191, 223, 255}},
        {{0, 41, 82, 124, 165}, {82, 103, 124, 145, 165}},
        {{0, 31, 63, 95, 127}, {63, 79, 95, 111, 127}},
        {{0, 19, 38, 57, 76}, {38, 47, 57, 66, 76}},
        {{0, 9, 19, 28, 38}, {19, 23, 28, 33, 38}},
    };
    int hue = (n - 10) / 10;
    int shade = (n - 10) % 10;
    const int(&ramp)[5] = kRamps[shade / 2][shade % 2];
    int sextant = hue / 4;
    int step = hue % 4;
    switch (sextant) {
        case 0:
            return {ramp[4], ramp[step], ramp[0]};
        case 1:
            return {ramp[4 - step], ramp[4], ramp[0]};
        case 2:
            return {ramp[0], ramp[4], ramp[step]};
        case 3:
            return {ramp[0], ramp[4 - step], ramp[4]};
        case 4:
            return {ramp[step], ramp[0], ramp[4]};
        default:
            return {ramp[4], ramp[0], ramp[4 - step]};
    }
}

constexpr double Intensity(int level) {
    return static_cast<double>(level) / 255.0;
}

constexpr Qdxf_ColorTable kColorTable = [] {
    Qdxf_ColorTable table{};
    for (int n = 1; n <= 255; ++n) {
        Levels levels = LevelsOf(n);
        table.entries[n] = {Intensity(levels.red), Intensity(levels.green), Intensity(levels.blue),
                            0.0, 0.0};
    }
    return table;
}();

}  // namespace

int NearestColorNumber(std::uint32_t rgb) {
    int red = static_cast<int>(rgb >> 16 & 0xFF), green = static_cast<int>(rgb >> 8 & 0xFF),
        blue = static_cast<int>(rgb & 0xFF);
    int nearest = 7, least = -1;
    for (int n = 1; n <= 255; ++n) {
        Levels levels = LevelsOf(n);
        int dr = levels.red - red, dg = levels.green - green, db = levels.blue - blue;
        int distance = dr * dr + dg * dg + db * db;
        if (least < 0 || distance < least) {
            least = distance;
            nearest = n;
        }
    }
    return nearest;
}

}  // namespace vexlith

extern "C" VEXLITH_API Qdxf_ColorTable *qdxf_ColorTableCreate(qerr_Report **report) {
    vexlith::rt::ReportOut out(report);
    auto *table = vexlith::rt::New<Qdxf_ColorTable>();
    if (!table) {
        VX_FAIL(out, nullptr, "Memory allocation error");
        return nullptr;
    }
    std::memcpy(table, &vexlith::kColorTable, sizeof *table);
    return table;
}
