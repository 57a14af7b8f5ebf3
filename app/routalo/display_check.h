#pragma once

#include <optional>
#include <ostream>

namespace routalo {

// Before Qt starts, which would abort when no display answers it: finds the
// platforms Qt would try, as Qt chooses them (its option -platform among
// `argv`, QT_QPA_PLATFORM, WAYLAND_DISPLAY, XDG_SESSION_TYPE), and whether
// the display of any answers: the X server that Qt's option -display or
// DISPLAY names, through xcb as Qt connects to it; the Wayland compositor's
// socket (WAYLAND_DISPLAY, or wayland-0, in XDG_RUNTIME_DIR). When none
// does, writes one line to `errors`, naming the display that did not answer
// ("no display" when none is named), and returns the exit status 1; returns
// nothing, having written nothing, otherwise, also for Qt's other platforms
// (offscreen, vnc), which it leaves to Qt.
[[nodiscard]] std::optional<int> RefuseWithoutDisplay(int argc, const char* const* argv,
                                                      std::ostream& errors);

}  // namespace routalo
