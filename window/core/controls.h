#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace routalo {

// The window's design: its caption and client area, and every control with
// its place, in twips (1440 to the inch). Each view builds its controls from
// this table.

// "Routalo", nine blanks, the copyright line (the "©" as its UTF-8 bytes).
inline constexpr std::string_view kStartCaption =
    "Routalo         Copyright \xC2\xA9 De makers van Routalo";
inline constexpr int kClientWidthTwips = 5565;
inline constexpr int kClientHeightTwips = 4110;

enum class ControlKind : std::uint8_t { kLabel, kCommandButton, kCheckBox, kComboBox, kTextBox };

struct TwipsBox {
    int left;
    int top;
    int width;
    int height;
};

struct ControlDesign {
    std::string_view name;  // kind prefix and a word: cmdFile, txtNaam
    ControlKind kind;
    std::string_view caption;  // UTF-8; "&" marks the access key; a text box's text
    TwipsBox box;
    // The place in the focus order; labels have one too, and take no focus.
    int tabIndex;
};

// In the order the controls are made: a later one lies over an earlier one
// ("i" over the right end of Label1's box).
inline constexpr std::array<ControlDesign, 10> kControls{{
    {"Label1",
     ControlKind::kLabel,
     "Stap 1: Selecteer het bron bestand.",
     {120, 120, 5295, 255},
     2},
    {"cmdFile", ControlKind::kCommandButton, "&File open", {240, 480, 1455, 375}, 0},
    {"Label2",
     ControlKind::kLabel,
     "Stap 2: Kies het type uitvoer (soort file en kleuren schema).",
     {120, 1080, 5295, 255},
     3},
    {"chkGenTimeInfo",
     ControlKind::kCheckBox,
     "Genereer een KML file met tijd informatie (dit resulteerd in een groter bestand met "
     "afspeel mogelijkheid).",
     {240, 1440, 5175, 375},
     1},
    {"cmbKleuren", ControlKind::kComboBox, "", {240, 1920, 5175, 315}, 8},
    {"Label3",
     ControlKind::kLabel,
     "Stap 3: Kies een naam voor het traject.",
     {120, 2400, 5295, 255},
     4},
    {"txtNaam", ControlKind::kTextBox, "", {240, 2760, 5175, 285}, 5},
    {"Label4", ControlKind::kLabel, "Stap 4: Genereer het KML bestand.", {120, 3240, 5295, 255}, 6},
    {"cmdConverteer", ControlKind::kCommandButton, "&Start conversie", {240, 3600, 1455, 375}, 7},
    {"cmdInfo", ControlKind::kCommandButton, "i", {5160, 0, 375, 375}, 9},
}};

// The label of each of the four steps: step n is kStepLabels[n - 1].
inline constexpr std::array<std::string_view, 4> kStepLabels{"Label1", "Label2", "Label3",
                                                             "Label4"};
inline constexpr int kStepCount = static_cast<int>(kStepLabels.size());

}  // namespace routalo
