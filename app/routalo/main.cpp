#include <QApplication>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/routalo/display_check.h"
#include "app/routalo/startup_report.h"
#include "app/routalo/window_command_line.h"
#include "app/support/answer_output.h"
#include "app/support/standard_descriptors.h"
#include "app/support/version_text.h"
#include "window/qt/frm_main.h"

namespace {

using routalo::WindowStart;

// Answers `start` on the terminal: the help or the version on standard
// output, a usage error or why the FILE is not taken on standard error.
// Returns the exit status when the program ends here.
std::optional<int> Answer(const WindowStart& start) {
    using routalo::kWindowProgram;
    switch (start.request) {
        case WindowStart::Request::kHelp:
            return routalo::WriteAnswer(kWindowProgram, routalo::WindowHelpText(), std::cout,
                                        std::cerr);
        case WindowStart::Request::kVersion:
            return routalo::WriteAnswer(kWindowProgram, routalo::VersionText(kWindowProgram),
                                        std::cout, std::cerr);
        case WindowStart::Request::kUsageError:
            return routalo::RefuseUsage(kWindowProgram, routalo::kWindowUsage, start.message,
                                        std::cerr);
        case WindowStart::Request::kOpenWindow:
            break;
    }
    if (!start.message.empty()) {
        std::cerr << kWindowProgram << ": " << start.message << '\n';
    }
    return std::nullopt;
}

}  // namespace

// Reads the command line, then shows the window and runs until the user closes it.
int main(int argc, char* argv[]) {
    routalo::OpenClosedStandardDescriptors();
    // The help and the version are answered before Qt starts, so that
    // neither needs a display. A command line that is not understood may
    // hold Qt's own options, which QApplication takes out below.
    const WindowStart early =
        routalo::ReadWindowCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (early.request == WindowStart::Request::kHelp ||
        early.request == WindowStart::Request::kVersion) {
        return *Answer(early);
    }
    if (const auto refused = routalo::RefuseWithoutDisplay(argc, argv, std::cerr)) {
        return *refused;
    }
    routalo::IgnoreWriteSignals();
    QApplication app(argc, argv);
    // The window's class on X11 and its app id on Wayland: the desktop matches
    // them with the installed desktop entry, which names the icon.
    QApplication::setApplicationName(QStringLiteral("Routalo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("nl.routalo.Routalo"));
    // QApplication has taken its own options out of argv; what is left is
    // read as bytes, so that a FILE whose name is no UTF-8 keeps its name.
    const WindowStart start =
        routalo::ReadWindowCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (const std::optional<int> answered = Answer(start)) {
        return *answered;
    }
    routalo::frmMain window;
    if (!start.file.empty()) {
        window.OpenFile(start.file);
    }
    routalo::ReportFirstPaintIfAsked(window);
    window.show();
    return QApplication::exec();
}
