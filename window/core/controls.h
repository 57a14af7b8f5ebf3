#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
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

// The window's ten controls, in the order they are made: a later one lies
// over an earlier one ("i" over the right end of Label1's box). Each names
// its entry of kControls.
enum class Control : std::uint8_t {
    kLabel1,
    kCmdFile,
    kLabel2,
    kChkGenTimeInfo,
    kCmbKleuren,
    kLabel3,
    kTxtNaam,
    kLabel4,
    kCmdConverteer,
    kCmdInfo,
};
inline constexpr std::size_t kControlCount = 10;

[[nodiscard]] constexpr std::size_t IndexOf(Control control) {
    return static_cast<std::size_t>(control);
}

struct ControlDesign {
    Control control;
    std::string_view name;  // kind prefix and a word: cmdFile, txtNaam
    ControlKind kind;
    std::string_view caption;  // UTF-8; "&" marks the access key; a text box's text
    TwipsBox box;
    // The place in the focus order; labels have one too, and take no focus.
    int tabIndex;
};

// Indexed by Control.
inline constexpr std::array<ControlDesign, kControlCount> kControls{{
    {Control::kLabel1,
     "Label1",
     ControlKind::kLabel,
     "Stap 1: Selecteer het bron bestand.",
     {120, 120, 5295, 255},
     2},
    {Control::kCmdFile,
     "cmdFile",
     ControlKind::kCommandButton,
     "&File open",
     {240, 480, 1455, 375},
     0},
    {Control::kLabel2,
     "Label2",
     ControlKind::kLabel,
     "Stap 2: Kies het type uitvoer (soort file en kleuren schema).",
     {120, 1080, 5295, 255},
     3},
    {Control::kChkGenTimeInfo,
     "chkGenTimeInfo",
     ControlKind::kCheckBox,
     "Genereer een KML file met tijd informatie (dit resulteerd in een groter bestand met "
     "afspeel mogelijkheid).",
     {240, 1440, 5175, 375},
     1},
    {Control::kCmbKleuren, "cmbKleuren", ControlKind::kComboBox, "", {240, 1920, 5175, 315}, 8},
    {Control::kLabel3,
     "Label3",
     ControlKind::kLabel,
     "Stap 3: Kies een naam voor het traject.",
     {120, 2400, 5295, 255},
     4},
    {Control::kTxtNaam, "txtNaam", ControlKind::kTextBox, "", {240, 2760, 5175, 285}, 5},
    {Control::kLabel4,
     "Label4",
     ControlKind::kLabel,
     "Stap 4: Genereer het KML bestand.",
     {120, 3240, 5295, 255},
     6},
    {Control::kCmdConverteer,
     "cmdConverteer",
     ControlKind::kCommandButton,
     "&Start conversie",
     {240, 3600, 1455, 375},
     7},
    {Control::kCmdInfo, "cmdInfo", ControlKind::kCommandButton, "i", {5160, 0, 375, 375}, 9},
}};

[[nodiscard]] constexpr const ControlDesign& DesignOf(Control control) {
    return kControls.at(IndexOf(control));
}

// Each entry stands at the index of its control.
static_assert([] {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (IndexOf(kControls.at(i).control) != i) {
            return false;
        }
    }
    return true;
}());

// The four steps the window leads the user through, numbered as their
// labels are ("Stap 1: ...").
enum class Step : std::uint8_t {
    kChooseSource = 1,  // Label1: choose the track log
    kChooseOutput = 2,  // Label2: choose the kind of output
    kNameTrack = 3,     // Label3: name the track
    kConvert = 4,       // Label4: convert
};
inline constexpr std::array<Step, 4> kSteps{Step::kChooseSource, Step::kChooseOutput,
                                            Step::kNameTrack, Step::kConvert};

// The place of `step` in kSteps, and in any table kept for each step.
[[nodiscard]] constexpr std::size_t IndexOf(Step step) {
    return static_cast<std::size_t>(step) - 1;
}

// The label of each step, at the step's index.
inline constexpr std::array<Control, kSteps.size()> kStepLabels{Control::kLabel1, Control::kLabel2,
                                                                Control::kLabel3, Control::kLabel4};

[[nodiscard]] constexpr Control StepLabel(Step step) {
    return kStepLabels.at(IndexOf(step));
}

static_assert([] {
    for (std::size_t i = 0; i < kSteps.size(); ++i) {
        if (IndexOf(kSteps.at(i)) != i) {
            return false;
        }
    }
    return true;
}());

// The controls that take the focus, in the order Tab moves through them (by
// their tab index); labels take none. The focus starts on the first.
inline constexpr std::size_t kFocusCount = static_cast<std::size_t>(
    std::count_if(kControls.begin(), kControls.end(),
                  [](const ControlDesign& design) { return design.kind != ControlKind::kLabel; }));
inline constexpr std::array<Control, kFocusCount> kFocusOrder = [] {
    std::array<Control, kFocusCount> order{};
    std::size_t taken = 0;
    for (int tab = 0; tab < static_cast<int>(kControls.size()); ++tab) {
        for (const ControlDesign& design : kControls) {
            if (design.tabIndex == tab && design.kind != ControlKind::kLabel) {
                order.at(taken++) = design.control;
            }
        }
    }
    return order;
}();

}  // namespace routalo
