#pragma once

#include <string_view>

namespace routalo {

// Reads a speed as a decimal number with "." as the decimal point (an
// optional sign, digits with an optional fraction, an optional exponent),
// whatever the user's locale, and rounds it to a whole number with halves
// going to the even neighbour: "12.5" gives 12, "13.5" 14, "-0.5" 0.
// Throws SpeedError for any other text, the empty text included, and for a
// result outside -32768..32767.
int RoundSpeed(std::string_view text);

// The speed class of a point with speed `text`: the rounded speed, where
// every speed above 25 shares class 24. Throws SpeedError as RoundSpeed does
// and for a speed that rounds below zero.
int SpeedClassOf(std::string_view text);

}  // namespace routalo
