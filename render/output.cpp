// SPDX-License-Identifier: MIT
// The formats the renderer writes, by file name extension.
#include "output.h"

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
