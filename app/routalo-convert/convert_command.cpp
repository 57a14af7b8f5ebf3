#include "app/routalo-convert/convert_command.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "app/routalo-convert/batch_guard.h"
#include "app/support/answer_output.h"
#include "app/support/option_reader.h"
#include "app/support/printable_text.h"
#include "app/support/version_text.h"
#include "conversion/conversion_run.h"
#include "conversion/errors.h"
#include "conversion/speed_scheme.h"
#include "conversion/stop/stop_signals.h"
#include "conversion/utf16.h"

namespace routalo {
namespace {

constexpr std::string_view kProgram = "routalo-convert";

constexpr std::string_view kUsage =
    "Usage: routalo-convert [--time] [--merge] [--kmz] [--name NAME] [--top-speed KMH|auto] "
    "[--gap SECONDS] [--stats] LOG...\n";

constexpr std::string_view kHelp =
    "Converts GPS track logs into KML documents whose lines are coloured by speed.\n"
    "A LOG is a CSV track log, a GPX document, an NMEA 0183 log, a FIT file or a\n"
    "TCX document, or any of them gzipped, as its content tells. Each is written as\n"
    "a KML document beside it: a CSV log's path with its last three characters\n"
    "replaced by \"kml\" (rit.csv gives rit.kml), any other LOG's with its\n"
    "extension replaced by \".kml\", or \".kml\" added to a name without one\n"
    "(track.nmea gives track.kml); a gzipped LOG's without its \".gz\" first\n"
    "(ride.fit.gz gives ride.kml). The track's name in a GPX document or a TCX\n"
    "course names the document when --name is not given.\n"
    "\n"
    "Options:\n"
    "  -t, --time         give every segment the date and time of its point, so a\n"
    "                     map viewer can play the trip back\n"
    "  -m, --merge        write few placemarks, for phones and web maps: one per\n"
    "                     speed class (26 at most), each holding every stretch\n"
    "                     of its class; with --time one per stretch, with its\n"
    "                     time span. A KML 2.2 document whose placemarks carry\n"
    "                     their colour and are named by their speeds, with the\n"
    "                     legend of the colours as its description\n"
    "  -z, --kmz          write the merged document into a KMZ archive instead,\n"
    "                     named as the document with \"kmz\" in place of \"kml\"\n"
    "                     (ride.gpx gives ride.kmz), with an image of the legend\n"
    "                     that viewers show in their lower left corner; implies\n"
    "                     --merge. A LOG that fails leaves no archive\n"
    "  -n, --name NAME    name of the track in the document (without it: the\n"
    "                     name that a GPX document gives its track, else none)\n"
    "  -s, --top-speed KMH\n"
    "                     spread the 26 colours evenly from 0 to KMH km/h (1 to\n"
    "                     1000, '.' as the decimal point); without it they end\n"
    "                     at 25 km/h\n"
    "  -s, --top-speed auto\n"
    "                     take KMH from the trip: the speed below which 99% of\n"
    "                     the moving time was spent, rounded up to a multiple of\n"
    "                     5 km/h; the LOG is read twice, so it cannot be a pipe\n"
    "  -g, --gap SECONDS  start a new line where two points lie more than\n"
    "                     SECONDS apart in time: no line across a lost signal\n"
    "  --stats            print the trip's numbers for every LOG converted, and\n"
    "                     put them in its document's description\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "  --                 treat every following argument as a LOG\n"
    "\n"
    "A LOG that fails is reported on one line of standard error,\n"
    "\"routalo-convert: LOG: MESSAGE (CAUSE)\", and the next LOG follows. A LOG\n"
    "whose document would be another LOG, or a document that an earlier LOG\n"
    "wrote, is not converted.\n"
    "\n"
    "With --stats, each LOG converted prints a block on standard output, one\n"
    "value a line, as \"LABEL: VALUE UNIT\": \"log: LOG\", \"distance: 12.346 km\",\n"
    "\"elapsed time: 3600 s\", \"moving time: 3000 s\" (at 1.8 km/h or faster),\n"
    "\"average moving speed: 14.81 km/h\", \"top speed: 31.20 km/h\", with auto\n"
    "\"top of the range: 35 km/h\", then for each colour of the legend\n"
    "\"time in colour C (SPEEDS): ...\" and \"distance in colour C (SPEEDS): ...\",\n"
    "C its KML colour aabbggrr, SPEEDS those it stands for (\"7-8 km/h\"). What\n"
    "the LOG cannot tell is left out.\n"
    "\n"
    "Exit status: 0 when every LOG converted, 1 when any failed, 2 for a usage error,\n"
    "128+N when signal N stopped the conversion.\n";

// The options as getopt_long knows them, and their short forms.
constexpr int kStatsOption = 0x100;  // no short form
constexpr std::array<option, 10> kOptions = {{
    {"time", no_argument, nullptr, 't'},
    {"merge", no_argument, nullptr, 'm'},
    {"kmz", no_argument, nullptr, 'z'},
    {"name", required_argument, nullptr, 'n'},
    {"top-speed", required_argument, nullptr, 's'},
    {"gap", required_argument, nullptr, 'g'},
    {"stats", no_argument, nullptr, kStatsOption},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
}};
constexpr std::string_view kShortOptions = "tmzn:s:g:hV";

struct Options {
    bool withTimeInfo = false;
    bool merge = false;
    bool kmz = false;
    std::optional<std::string> trackName;
    ClassRule classRule;
    bool topSpeedFromTrip = false;
    std::optional<std::int64_t> gapMicroseconds;
    bool withStats = false;
    std::vector<std::string> logs;
    bool help = false;
    bool version = false;
    std::optional<std::string> usageError;  // the first option not understood
};

// The track's name that `argument` gives. On Windows the arguments come
// from UTF-16 with lone surrogates kept, for the paths' sake (utf16.h); in a
// name such a unit is no character, and becomes U+FFFD, so that the rest is
// written as it was typed.
std::string TrackNameOf(const std::string& argument) {
#ifdef _WIN32
    return WithoutLoneSurrogates(argument);
#else
    return argument;
#endif
}

// Reads a gap in seconds, "60" or "0.5": digits with an optional fraction of
// up to six, above zero and at most 10^9. In microseconds.
std::optional<std::int64_t> ReadGap(std::string_view text) {
    constexpr std::int64_t kMicroseconds = 1'000'000;
    constexpr std::int64_t kMostSeconds = 1'000'000'000;
    const std::size_t point = std::min(text.find('.'), text.size());
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point < text.size() ? text.substr(point + 1) : "";
    const auto digits = [](std::string_view part) {
        return std::ranges::all_of(part, [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || whole.size() > 10 || !digits(whole) || !digits(fraction) ||
        fraction.size() > 6 || (point < text.size() && fraction.empty())) {
        return std::nullopt;
    }
    std::int64_t microseconds = 0;
    for (const char c : whole) {
        microseconds = microseconds * 10 + (c - '0');
    }
    std::int64_t scale = kMicroseconds;
    microseconds *= scale;
    for (const char c : fraction) {
        scale /= 10;
        microseconds += (c - '0') * scale;
    }
    if (microseconds == 0 || microseconds > kMostSeconds * kMicroseconds) {
        return std::nullopt;
    }
    return microseconds;
}

Options ParseArguments(const std::vector<std::string>& arguments) {
    const ReadArguments read = ReadOptions(kProgram, arguments, kOptions.data(), kShortOptions);
    Options options;
    const auto refuse = [&](std::string problem) {
        if (!options.usageError) {
            options.usageError = std::move(problem);
        }
    };
    for (const GivenOption& given : read.options) {
        switch (given.name) {
            case 't':
                options.withTimeInfo = true;
                break;
            case 'm':
                options.merge = true;
                break;
            case 'z':
                options.kmz = true;
                break;
            case 'n':
                options.trackName = TrackNameOf(given.value);
                break;
            case 's':
                if (given.value == "auto") {
                    options.topSpeedFromTrip = true;
                    options.classRule = ClassRule();
                } else if (std::optional<TopSpeed> topSpeed = TopSpeed::Read(given.value)) {
                    options.topSpeedFromTrip = false;
                    options.classRule = ClassRule(std::move(*topSpeed));
                } else {
                    refuse(
                        "option '--top-speed' takes a speed in km/h from 1 to 1000 or 'auto', "
                        "not '" +
                        given.value + "'");
                }
                break;
            case 'g':
                options.gapMicroseconds = ReadGap(given.value);
                if (!options.gapMicroseconds) {
                    refuse(
                        "option '--gap' takes a number of seconds from 0.000001 to 1000000000, "
                        "not '" +
                        given.value + "'");
                }
                break;
            case kStatsOption:
                options.withStats = true;
                break;
            case 'h':
                options.help = true;
                break;
            case 'V':
                options.version = true;
                break;
            default:
                refuse(given.value);
        }
    }
    options.logs = read.operands;
    return options;
}

// One line of standard error about `log`.
void Report(std::ostream& errors, const std::string& log, const std::string& text) {
    errors << kProgram << ": " << PrintableText(log + ": " + text) << '\n' << std::flush;
}

// The block of --stats for a converted LOG; false when it could not be
// written.
bool PrintFigures(std::ostream& output, const std::string& log, const ConversionOutcome& outcome) {
    const std::string block = "log: " + PrintableText(log) + "\n" + *outcome.figures;
    output << block << std::flush;
    return !output.fail();
}

}  // namespace

int RunConvertCommand(const std::vector<std::string>& arguments, std::ostream& output,
                      std::ostream& errors) {
    const Options options = ParseArguments(arguments);
    if (options.help) {
        return WriteAnswer(kProgram, std::string(kUsage) + std::string(kHelp), output, errors);
    }
    if (options.usageError) {
        return RefuseUsage(kProgram, kUsage, *options.usageError, errors);
    }
    if (options.version) {
        return WriteAnswer(kProgram, VersionText(kProgram), output, errors);
    }
    if (options.logs.empty()) {
        return RefuseUsage(kProgram, kUsage, "no LOG given", errors);
    }

    InitSpeedScheme();
    BatchGuard guard(options.logs);
    bool anyFailed = false;
    ConversionRequest request;
    request.trackName = options.trackName;
    request.withTimeInfo = options.withTimeInfo;
    request.anyKindOfLog = true;
    request.classRule = options.classRule;
    request.merge = options.merge || options.kmz;
    request.kmz = options.kmz;
    request.topSpeedFromTrip = options.topSpeedFromTrip;
    request.gapMicroseconds = options.gapMicroseconds;
    request.withStats = options.withStats;
    request.mustNotOverwrite = [&](const FileIdentity& file) { return guard.ReasonToKeep(file); };
    for (const std::string& log : options.logs) {
        request.sourcePath = log;
        const ConversionOutcome outcome = RunConversion(request);
        if (outcome.document) {
            guard.KeepDocument(*outcome.document, log);
        }
        switch (outcome.result) {
            case ConversionResult::kConverted:
                if (outcome.figures && !PrintFigures(output, log, outcome)) {
                    Report(errors, log, "the trip's numbers could not be written");
                    anyFailed = true;
                }
                break;
            case ConversionResult::kFailed:
                Report(errors, log,
                       outcome.cause.empty() ? outcome.message
                                             : outcome.message + " (" + outcome.cause + ")");
                anyFailed = true;
                break;
            case ConversionResult::kInterrupted:
                Report(errors, log, "conversion interrupted by " + StopName(outcome.signal));
                return ExitStatusAfterStop(outcome.signal);
        }
    }
    // A stop that came once the last document was whole changes nothing:
    // no work was left undone.
    return anyFailed ? kExitConversionFailed : kExitSuccess;
}

}  // namespace routalo
