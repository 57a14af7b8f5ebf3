#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace routalo {

// What the command line of `routalo` asks for.
struct WindowStart {
    // Set when the program ends at once, without a window, with this exit
    // status: after --help or --version (0), or a command line that was not
    // understood (2).
    std::optional<int> exitStatus;
    // The file that counts as chosen with "File open", as the bytes of its
    // argument; empty for none.
    std::string file;
};

// Answers --help or --version on `output` before Qt starts, so that neither
// needs a display, and returns the exit status (a failed write is said on
// `errors`); returns nothing, having
// written nothing, for any other command line, also one that holds options
// of Qt, which ReadWindowCommandLine reads after Qt has taken its own.
[[nodiscard]] std::optional<int> AnswerWithoutWindowSystem(int argc, const char* const* argv,
                                                           std::ostream& output,
                                                           std::ostream& errors);

// Before Qt starts, which would abort without a display to show the window
// on: when no platform is named (QT_QPA_PLATFORM, or Qt's option -platform
// among `argv`) and there is neither an X display (DISPLAY) nor a Wayland
// socket (WAYLAND_DISPLAY, or wayland-0, in XDG_RUNTIME_DIR), writes one
// line to `errors` and returns the exit status 1; returns nothing, having
// written nothing, otherwise.
[[nodiscard]] std::optional<int> RefuseWithoutDisplay(int argc, const char* const* argv,
                                                      std::ostream& errors);

// Reads the arguments of `routalo` as the system gave them, bytes that need
// not be UTF-8: the program's name, then its options and at most one FILE,
// with Qt's own options already taken out (QApplication takes them out of
// argv). Writes the help or the version to `output`. Writes to `errors` one
// line, "routalo: ...", for an option it does not know (followed by how to
// get help), for a FILE that is not a file and for more than one FILE; in
// the last two cases the window opens without a file.
[[nodiscard]] WindowStart ReadWindowCommandLine(const std::vector<std::string>& arguments,
                                                std::ostream& output, std::ostream& errors);

}  // namespace routalo
