#include "app/convert_command.h"

#include <string_view>

#include "app/version_text.h"
#include "conversion/conversion_run.h"
#include "conversion/speed_scheme.h"

namespace routalo {
namespace {

constexpr std::string_view kProgram = "routalo-convert";

constexpr std::string_view kUsage = "Usage: routalo-convert [--time] [--name NAME] LOG...\n";

constexpr std::string_view kHelp =
    "Converts GPS track logs into KML documents whose lines are coloured by speed.\n"
    "Each LOG is written as a KML document beside it: the same path with its last\n"
    "three characters replaced by \"kml\" (rit.csv gives rit.kml).\n"
    "\n"
    "Options:\n"
    "  -t, --time         give every segment the date and time of its point, so a\n"
    "                     map viewer can play the trip back\n"
    "  -n, --name NAME    name of the track in the document (empty when not given)\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "  --                 treat every following argument as a LOG\n"
    "\n"
    "Exit status: 0 when every LOG converted, 1 when any failed, 2 for a usage error.\n";

struct Options {
    bool withTimeInfo = false;
    std::string trackName;
    std::vector<std::string> logs;
    bool help = false;
    bool version = false;
};

// Thrown for arguments that make no valid command.
struct UsageError {
    std::string reason;
};

Options ParseArguments(const std::vector<std::string>& arguments) {
    Options options;
    bool onlyLogs = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyLogs || argument.size() < 2 || argument[0] != '-') {
            options.logs.push_back(argument);
        } else if (argument == "--") {
            onlyLogs = true;
        } else if (argument == "-t" || argument == "--time") {
            options.withTimeInfo = true;
        } else if (argument == "-n" || argument == "--name") {
            if (i + 1 == arguments.size()) {
                throw UsageError{"option '" + argument + "' needs a NAME"};
            }
            options.trackName = arguments[++i];
        } else if (argument.starts_with("--name=")) {
            options.trackName = argument.substr(std::string_view("--name=").size());
        } else if (argument == "-h" || argument == "--help") {
            options.help = true;
        } else if (argument == "-V" || argument == "--version") {
            options.version = true;
        } else {
            throw UsageError{"unknown option '" + argument + "'"};
        }
    }
    if (options.logs.empty() && !options.help && !options.version) {
        throw UsageError{"no LOG given"};
    }
    return options;
}

}  // namespace

int RunConvertCommand(const std::vector<std::string>& arguments, std::ostream& output,
                      std::ostream& errors) {
    Options options;
    try {
        options = ParseArguments(arguments);
    } catch (const UsageError& error) {
        errors << kProgram << ": " << error.reason << '\n'
               << kUsage << "Try 'routalo-convert --help' for more information.\n";
        return kExitUsage;
    }
    if (options.help) {
        output << kUsage << kHelp;
        return kExitSuccess;
    }
    if (options.version) {
        output << VersionText(kProgram);
        return kExitSuccess;
    }

    InitSpeedScheme();
    bool anyFailed = false;
    for (const std::string& log : options.logs) {
        ConvertTrackLog(log, options.trackName, options.withTimeInfo,
                        [&](const std::string& message) {
                            errors << kProgram << ": " << message << '\n' << std::flush;
                            anyFailed = true;
                        });
    }
    return anyFailed ? kExitConversionFailed : kExitSuccess;
}

}  // namespace routalo
