#include "conversion/speed_scheme.h"

#include <algorithm>
#include <string_view>

namespace routalo {
namespace {

// Colours by class: black, blue, light blue, two greens, yellow-green,
// yellow, orange and red, from standing still to fast.
constexpr std::array<std::string_view, kSpeedClassCount> kColours = {
    "ff000000", "ff000000",                                      // 0, 1
    "ffff0000", "ffff0000",                                      // 2, 3
    "ffff7700", "ffff7700", "ffff7700",                          // 4 .. 6
    "ff00ff6a", "ff00ff6a",                                      // 7, 8
    "ff00ff37", "ff00ff37",                                      // 9, 10
    "ff00ffd9", "ff00ffd9",                                      // 11, 12
    "ff00eaff", "ff00eaff", "ff00eaff", "ff00eaff",              // 13 .. 16
    "ff0077ff", "ff0077ff", "ff0077ff",                          // 17 .. 19
    "ff0000ff", "ff0000ff", "ff0000ff", "ff0000ff", "ff0000ff",  // 20 .. 24
    "ff0000ff",                                                  // 25
};

}  // namespace

std::array<std::string, kSpeedClassCount> SpeedColours;
std::array<std::string, kSpeedClassCount> StyleMapIds;

void InitSpeedScheme() {
    for (int speedClass = 0; speedClass < kSpeedClassCount; ++speedClass) {
        SpeedColours.at(speedClass) = kColours.at(speedClass);
        StyleMapIds.at(speedClass) = "c_" + std::to_string(speedClass);
    }
}

bool SpeedSchemeIsFilled() {
    const auto filled = [](const std::string& text) { return !text.empty(); };
    return std::ranges::all_of(SpeedColours, filled) && std::ranges::all_of(StyleMapIds, filled);
}

}  // namespace routalo
