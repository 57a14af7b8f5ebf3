#include "app/routalo/display_check.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/support/printable_text.h"

namespace routalo {
namespace {

// The value of the environment variable `name`, empty when it is not set.
std::string_view Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string_view() : std::string_view(value);
}

// The value of Qt's own option `name` ("-platform", "-display") among
// `argv`, which Qt also takes with two dashes; the last one given counts, as
// in Qt. Empty when the option is not given.
std::string_view QtOption(int argc, const char* const* argv, std::string_view name) {
    std::string_view value;
    for (int i = 1; i + 1 < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument.starts_with("--")) {
            argument.remove_prefix(1);
        }
        if (argument == name) {
            value = argv[++i];
        }
    }
    return value;
}

// The platforms Qt tries in turn, as QGuiApplication chooses them: those
// that -platform, or else QT_QPA_PLATFORM, names ("wayland;xcb", each name
// before its ':' and arguments); without either, Wayland when WAYLAND_DISPLAY
// is set or the session is a Wayland one, then X (xcb), the default on Linux.
std::vector<std::string> QtPlatforms(int argc, const char* const* argv) {
    std::string_view named = QtOption(argc, argv, "-platform");
    if (named.empty()) {
        named = Environment("QT_QPA_PLATFORM");
    }
    std::vector<std::string> platforms;
    if (named.empty()) {
        if (std::getenv("WAYLAND_DISPLAY") != nullptr ||
            Environment("XDG_SESSION_TYPE") == "wayland") {
            platforms.emplace_back("wayland");
        }
        platforms.emplace_back("xcb");
        return platforms;
    }
    while (!named.empty()) {
        const std::string_view entry = named.substr(0, named.find(';'));
        named.remove_prefix(std::min(named.size(), entry.size() + 1));
        if (!entry.empty()) {
            platforms.emplace_back(entry.substr(0, entry.find(':')));
        }
    }
    return platforms;
}

// Whether the X server `display` (DISPLAY when empty) accepts a connection,
// made as Qt's X platform makes it: through xcb, with the same
// authorization.
bool XDisplayAnswers(const std::string& display) {
    xcb_connection_t* connection =
        ::xcb_connect(display.empty() ? nullptr : display.c_str(), nullptr);
    const bool answers = ::xcb_connection_has_error(connection) == 0;
    ::xcb_disconnect(connection);
    return answers;
}

// Whether a Wayland compositor accepts a connection where a client looks
// for it: the socket WAYLAND_DISPLAY names (wayland-0 when unset), as a path
// of its own or in XDG_RUNTIME_DIR. A connection handed over in
// WAYLAND_SOCKET counts as one.
bool WaylandDisplayAnswers() {
    if (!Environment("WAYLAND_SOCKET").empty()) {
        return true;
    }
    std::string path(Environment("WAYLAND_DISPLAY"));
    if (path.empty()) {
        path = "wayland-0";
    }
    if (path.front() != '/') {
        const std::string_view runtime = Environment("XDG_RUNTIME_DIR");
        if (runtime.empty()) {
            return false;
        }
        path = std::string(runtime) + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        return false;
    }
    const bool answers =
        ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(socket);
    return answers;
}

}  // namespace

std::optional<int> RefuseWithoutDisplay(int argc, const char* const* argv, std::ostream& errors) {
    // The first display named that does not answer, as the message names it.
    std::string silent;
    for (const std::string& platform : QtPlatforms(argc, argv)) {
        if (platform == "xcb") {
            std::string display(QtOption(argc, argv, "-display"));
            if (display.empty()) {
                display = Environment("DISPLAY");
            }
            if (XDisplayAnswers(display)) {
                return std::nullopt;
            }
            if (silent.empty() && !display.empty()) {
                silent = "display '" + PrintableText(display) + "'";
            }
        } else if (platform.starts_with("wayland")) {
            if (WaylandDisplayAnswers()) {
                return std::nullopt;
            }
            if (const std::string_view name = Environment("WAYLAND_DISPLAY");
                silent.empty() && !name.empty()) {
                silent = "Wayland display '" + PrintableText(name) + "'";
            }
        } else {
            // Another of Qt's platforms (offscreen, vnc, a framebuffer):
            // none of the displays this checks.
            return std::nullopt;
        }
    }
    errors << "routalo: " << (silent.empty() ? "no display" : silent + " does not answer")
           << ": start it in a desktop session, or run it under xvfb-run\n";
    return 1;
}

}  // namespace routalo
