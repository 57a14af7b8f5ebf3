#include "app/routalo/window_command_line.h"

#include <array>
#include <optional>

#include "app/routalo/file_argument.h"
#include "app/support/option_reader.h"

namespace routalo {
namespace {

constexpr std::string_view kHelp =
    "Opens the Routalo window, which converts a GPS track log into a KML document\n"
    "whose lines are coloured by speed. A FILE named here counts as chosen with\n"
    "\"File open\".\n"
    "\n"
    "Options:\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "  --                 treat the following argument as the FILE\n"
    "\n"
#ifdef _WIN32
    "Exit status: 0, or 2 for a usage error.\n";
#else
    "Exit status: 0, 1 when no display answers (which is told before an option that\n"
    "is not understood) or the help or the version cannot be written, 2 for a usage\n"
    "error.\n";
#endif

constexpr std::array<option, 3> kOptions = {{
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
}};

}  // namespace

std::string WindowHelpText() {
    return std::string(kWindowUsage) + std::string(kHelp);
}

WindowStart ReadWindowCommandLine(const std::vector<std::string>& arguments) {
    const ReadArguments read = ReadOptions(kWindowProgram, arguments, kOptions.data(), "hV");
    bool help = false;
    bool version = false;
    for (const GivenOption& given : read.options) {
        if (given.name == 0) {
            return {WindowStart::Request::kUsageError, {}, given.value};
        }
        (given.name == 'h' ? help : version) = true;
    }
    if (help || version) {
        return {help ? WindowStart::Request::kHelp : WindowStart::Request::kVersion, {}, {}};
    }
    if (const std::optional<std::string> problem = FileArgumentProblem(read.operands)) {
        return {WindowStart::Request::kOpenWindow, {}, *problem};
    }
    return {WindowStart::Request::kOpenWindow,
            read.operands.empty() ? std::string() : read.operands.front(),
            {}};
}

}  // namespace routalo
