#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "conversion/class_rule.h"

namespace routalo {

// The rows of the legend image, in pixels: each row a swatch in its colour
// and then its speeds in dark text on white, the first row at the top.
inline constexpr int kLegendRowHeight = 22;
inline constexpr int kLegendMargin = 6;
inline constexpr int kLegendSwatchWidth = 28;
inline constexpr int kLegendSwatchHeight = 16;

// The legend as a PNG image (8-bit RGB) of one row for each of `rows`, in
// their order, drawn with a small font of its own: digits, '-', '.', '/',
// ' ' and the letters of "km/h and faster". Its bytes depend on `rows`
// alone. Throws std::invalid_argument for a colour that is not eight
// hexadecimal digits and a character the font lacks.
[[nodiscard]] std::string LegendPng(const std::vector<LegendRow>& rows);

}  // namespace routalo
