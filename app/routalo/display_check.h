#pragma once

#include <optional>
#include <ostream>

namespace routalo {

// Before Qt starts, which would abort without a display to show the window
// on: when no platform is named (QT_QPA_PLATFORM, or Qt's option -platform
// among `argv`) and there is neither an X display (DISPLAY) nor a Wayland
// socket (WAYLAND_DISPLAY, or wayland-0, in XDG_RUNTIME_DIR), writes one
// line to `errors` and returns the exit status 1; returns nothing, having
// written nothing, otherwise.
[[nodiscard]] std::optional<int> RefuseWithoutDisplay(int argc, const char* const* argv,
                                                      std::ostream& errors);

}  // namespace routalo
