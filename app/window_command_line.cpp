#include "app/window_command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>
#include <string_view>

#include "app/answer_output.h"
#include "app/printable_text.h"
#include "app/version_text.h"

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

// `text` in the terminal's encoding, escaped where it could break the line.
std::string Local(const QString& text) {
    return PrintableText(text.toLocal8Bit().toStdString());
}

// An option as it was written: "-x" or "--name".
QString Dashed(const QString& name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The reason why `path` cannot be the FILE, or an empty text when it can.
QString NotAFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return QStringLiteral("no such file");
    }
    if (!info.isFile()) {
        return QStringLiteral("not a file");
    }
    return {};
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

}  // namespace

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

WindowStart ReadWindowCommandLine(const QStringList& arguments, std::ostream& output,
                                  std::ostream& errors) {
    QCommandLineParser parser;
    const Options options(parser);
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        const QString reason =
            unknown.isEmpty() ? parser.errorText()
                              : QStringLiteral("unknown option '%1'").arg(Dashed(unknown.first()));
        return {RefuseUsage(kProgram, kUsage, reason.toLocal8Bit().toStdString(), errors), {}};
    }
    if (const std::optional<int> answered = Answer(parser, options, output, errors)) {
        return {answered, {}};
    }

    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        errors << kProgram << ": " << files.size()
               << " files given, but the window takes one; it opens without a file\n";
        return {};
    }
    if (files.isEmpty()) {
        return {};
    }
    if (const QString reason = NotAFile(files.first()); !reason.isEmpty()) {
        errors << kProgram << ": " << Local(files.first()) << ": " << Local(reason) << '\n';
        return {};
    }
    return {std::nullopt, files.first()};
}

}  // namespace routalo
