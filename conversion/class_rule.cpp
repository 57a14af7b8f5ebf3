#include "conversion/class_rule.h"

#include "conversion/decimal_text.h"
#include "conversion/speed_scheme.h"

namespace routalo {
namespace {

constexpr int kHighestClass = kSpeedClassCount - 1;
// The default scheme's class of every speed above 25 km/h.
constexpr int kSharedFastClass = 24;

// The speed where class `speedClass` (1 to 25) begins under `topSpeed`: half
// a class below its own speed, (2 x class - 1) x top / 50, written exactly
// ("101.4"), so that no rounding of a floating-point number words it.
std::string LowerLimit(const ExactDecimal& topSpeed, int speedClass) {
    constexpr std::int64_t kHundredths = -2;
    return ExactProductText(topSpeed, 2U * static_cast<std::uint32_t>(2 * speedClass - 1),
                            kHundredths);
}

}  // namespace

std::string ClassRule::SpeedsOf(int first, int last) const {
    if (topSpeed_) {
        const std::string from = first == 0 ? "0" : LowerLimit(topSpeed_->Kmh(), first);
        if (last == kHighestClass) {
            return from + " km/h and faster";
        }
        return from + "-" + LowerLimit(topSpeed_->Kmh(), last + 1) + " km/h";
    }
    // Rounded speeds: the classes' own, and above 25 km/h those of class 24.
    const std::string own =
        first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
    if (first > kSharedFastClass || last < kSharedFastClass) {
        return own + " km/h";
    }
    if (last == kHighestClass) {
        return std::to_string(first) + " km/h and faster";
    }
    return own + " km/h or 26 km/h and faster";
}

std::vector<LegendRow> LegendRows(const ClassRule& rule) {
    std::vector<LegendRow> rows;
    int firstClass = 0;
    for (int speedClass = 0; speedClass < kSpeedClassCount; ++speedClass) {
        const std::string& colour = SpeedColours.at(static_cast<std::size_t>(speedClass));
        const bool last = speedClass + 1 == kSpeedClassCount ||
                          SpeedColours.at(static_cast<std::size_t>(speedClass) + 1) != colour;
        if (last) {
            rows.push_back({colour, rule.SpeedsOf(firstClass, speedClass)});
            firstClass = speedClass + 1;
        }
    }
    return rows;
}

}  // namespace routalo
