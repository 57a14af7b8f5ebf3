#pragma once

#include <QRect>

namespace routalo {

// The window's layout is given in twips, 1440 to the inch. Fifteen twips make
// one device-independent pixel, so the window keeps its proportions on
// high-density screens, where Qt scales device-independent pixels.
inline constexpr int kTwipsPerPixel = 15;

[[nodiscard]] constexpr int TwipsToPixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

// A control's box from its left, top, width and height in twips.
[[nodiscard]] constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

}  // namespace routalo
