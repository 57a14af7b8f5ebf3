#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "conversion/decimal_text.h"

namespace routalo {

// The highest speed, in km/h, that RoundSpeed takes; the lowest is one less
// than its negative.
inline constexpr int kFastestSpeed = 32767;

// A speed beyond the highest that a class can tell is a glitch of the
// receiver or of its clock; it becomes that highest speed, which gives the
// same class, instead of failing the run. `kmh` is a speed that a reader
// made, a plain decimal text of no sign ("12.5", "40000").
void CapAtTheFastestSpeed(std::string& kmh);

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

// A speed range of the user's choice: the 26 classes spread evenly from 0 to
// the top speed, every speed above it in class 25.
class TopSpeed {
  public:
    // Reads a top speed in km/h, "130" or "42.5": a number from 1 to 1000
    // with "." as the decimal point. Nothing for any other text.
    [[nodiscard]] static std::optional<TopSpeed> Read(std::string_view kmh);

    // The class of a point with speed `text`: the speed x 25 / the top speed,
    // rounded on the exact values with halves going to the even neighbour,
    // at most 25. Throws SpeedError as RoundSpeed does and for a speed whose
    // class rounds below zero.
    [[nodiscard]] int ClassOf(std::string_view text) const;

    // The top speed as it was read.
    [[nodiscard]] const ExactDecimal& Kmh() const { return kmh_; }

  private:
    explicit TopSpeed(ExactDecimal kmh);

    ExactDecimal kmh_;
    // The top speed in whole units of 10^-scale_ km/h, for ClassOf's quick
    // way with a plain speed; 0 for a top speed of too many digits for it.
    std::int64_t scaledKmh_ = 0;
    int scale_ = 0;
};

}  // namespace routalo
