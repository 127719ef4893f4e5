// SPDX-License-Identifier: MIT
// The formats the renderer writes, by file name extension.
#include "output.h"

#include <cmath>
#include <cstdio>

namespace render {
namespace {

constexpr Format kFormats[] = {
    {".svg", "an SVG picture", WriteSvg},
    {".geojson", "a GeoJSON FeatureCollection", WriteGeoJson},
};

}  // namespace

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

std::array<std::string, 256> HexColors(const Qdxf_Info &drawing, bool darkenLight) {
    const Qdxf_ColorTable *table = drawing.colorTable;
    Qdxf_ColorTable *own = nullptr;
    if (!table) table = own = qdxf_ColorTableCreate(nullptr);
    auto level = [](double intensity) {
        if (!(intensity > 0.0)) return 0;
        if (intensity >= 1.0) return 255;
        return static_cast<int>(std::lround(intensity * 255.0));
    };
    std::array<std::string, 256> colors;
    for (int number = 1; number <= 255; ++number) {
        char text[8] = "#808080";  // without a table, for want of memory
        if (table) {
            const Qdxf_ColorEntry &entry = table->entries[number];
            double red = entry.red, green = entry.green, blue = entry.blue;
            double luminance = 0.2126 * red + 0.7152 * green + 0.0722 * blue;
            if (darkenLight && luminance > kMaxLuminanceOnWhite) {
                double factor = kMaxLuminanceOnWhite / luminance;
                red *= factor;
                green *= factor;
                blue *= factor;
            }
            std::snprintf(text, sizeof text, "#%02x%02x%02x", level(red), level(green),
                          level(blue));
        }
        colors[static_cast<std::size_t>(number)] = text;
    }
    if (own) qmsc_HeapFree(own);
    return colors;
}

std::span<const Format> Formats() {
    return kFormats;
}

const Format *FormatFor(std::string_view fileName) {
    for (const Format &format : kFormats) {
        if (EndsWithIgnoringCase(fileName, format.extension)) return &format;
    }
    return nullptr;
}

}  // namespace render
