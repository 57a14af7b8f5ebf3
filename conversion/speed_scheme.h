#pragma once

#include <array>
#include <string>

namespace routalo {

// The speed colour scheme: 26 speed classes, one per km/h from 0 to 25.
inline constexpr int kSpeedClassCount = 26;

// Entry i is the KML colour of class i (aabbggrr, lower-case hex digits).
extern std::array<std::string, kSpeedClassCount> SpeedColours;
// Entry i is the id of the style map of class i: "c_" and i.
extern std::array<std::string, kSpeedClassCount> StyleMapIds;

// Fills SpeedColours and StyleMapIds. Call once before the first conversion.
void InitSpeedScheme();

// True when every entry of both tables has a text, as after InitSpeedScheme.
[[nodiscard]] bool SpeedSchemeIsFilled();

}  // namespace routalo
