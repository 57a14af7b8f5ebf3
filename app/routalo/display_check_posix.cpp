#include "app/routalo/display_check.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace routalo {
namespace {

// The value of the environment variable `name`, empty when it is not set.
std::string_view Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string_view() : std::string_view(value);
}

// Whether a Wayland compositor's socket is there, where a client looks for
// it: WAYLAND_DISPLAY as a path of its own, or that name (wayland-0 when
// unset) in XDG_RUNTIME_DIR.
bool HasWaylandSocket() {
    std::string socket(Environment("WAYLAND_DISPLAY"));
    if (socket.empty()) {
        socket = "wayland-0";
    }
    if (socket.front() != '/') {
        const std::string_view runtime = Environment("XDG_RUNTIME_DIR");
        if (runtime.empty()) {
            return false;
        }
        socket = std::string(runtime) + "/" + socket;
    }
    std::error_code error;
    return std::filesystem::is_socket(socket, error);
}

// Whether Qt is told which platform to use: QT_QPA_PLATFORM, or -platform
// (also --platform) with its value on the command line.
bool NamesPlatform(int argc, const char* const* argv) {
    if (!Environment("QT_QPA_PLATFORM").empty()) {
        return true;
    }
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-platform" || argument == "--platform") {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<int> RefuseWithoutDisplay(int argc, const char* const* argv, std::ostream& errors) {
    if (NamesPlatform(argc, argv) || !Environment("DISPLAY").empty() || HasWaylandSocket()) {
        return std::nullopt;
    }
    errors << "routalo: no display: start it in a desktop session, or run it under xvfb-run\n";
    return 1;
}

}  // namespace routalo
