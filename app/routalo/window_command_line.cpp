#include "app/routalo/window_command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "app/routalo/file_argument.h"
#include "app/support/answer_output.h"
#include "app/support/version_text.h"

namespace routalo {
namespace {

constexpr std::string_view kProgram = "routalo";

constexpr std::string_view kUsage = "Usage: routalo [FILE]\n";

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
    "Exit status: 0, or 2 for a usage error.\n";

// An option as it was written: "-x" or "--name".
QString Dashed(const QString& name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The arguments of a command line that holds no option: all after the
// program's name but the first "--", which only ends the options. These are
// the parser's positional arguments, in order, as the bytes that the system
// gave; the parser itself has them only decoded, which loses a byte that is
// no UTF-8.
std::vector<std::string> Operands(const std::vector<std::string>& arguments) {
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (!optionsEnded && arguments[i] == "--") {
            optionsEnded = true;
        } else {
            operands.push_back(arguments[i]);
        }
    }
    return operands;
}

// The options of routalo, known to `parser`.
struct Options {
    explicit Options(QCommandLineParser& parser) {
        parser.addOption(help);
        parser.addOption(version);
    }
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QString()};
    const QCommandLineOption version{{QStringLiteral("V"), QStringLiteral("version")}, QString()};
};

// Answers --help or --version when `parser` has read either.
std::optional<int> Answer(const QCommandLineParser& parser, const Options& options,
                          std::ostream& output, std::ostream& errors) {
    if (parser.isSet(options.help)) {
        return WriteAnswer(kProgram, std::string(kUsage) + std::string(kHelp), output, errors);
    }
    if (parser.isSet(options.version)) {
        return WriteAnswer(kProgram, VersionText(kProgram), output, errors);
    }
    return std::nullopt;
}

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
    errors << kProgram << ": no display: start it in a desktop session, or run it under xvfb-run\n";
    return 1;
}

std::optional<int> AnswerWithoutWindowSystem(int argc, const char* const* argv,
                                             std::ostream& output, std::ostream& errors) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    QCommandLineParser parser;
    const Options options(parser);
    if (!parser.parse(arguments)) {
        return std::nullopt;
    }
    return Answer(parser, options, output, errors);
}

WindowStart ReadWindowCommandLine(const std::vector<std::string>& arguments, std::ostream& output,
                                  std::ostream& errors) {
    QStringList decoded;
    for (const std::string& argument : arguments) {
        decoded.append(QString::fromLocal8Bit(argument));
    }
    QCommandLineParser parser;
    const Options options(parser);
    if (!parser.parse(decoded)) {
        const QStringList unknown = parser.unknownOptionNames();
        const QString reason =
            unknown.isEmpty() ? parser.errorText()
                              : QStringLiteral("unknown option '%1'").arg(Dashed(unknown.first()));
        return {RefuseUsage(kProgram, kUsage, reason.toLocal8Bit().toStdString(), errors), {}};
    }
    if (const std::optional<int> answered = Answer(parser, options, output, errors)) {
        return {answered, {}};
    }

    // Past --help and --version the parser knows no option, so every
    // argument but the first "--" is a FILE.
    const std::vector<std::string> files = Operands(arguments);
    if (const std::optional<std::string> problem = FileArgumentProblem(files)) {
        errors << kProgram << ": " << *problem << '\n';
        return {};
    }
    if (files.empty()) {
        return {};
    }
    return {std::nullopt, files.front()};
}

}  // namespace routalo
