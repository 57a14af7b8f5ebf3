#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "app/routalo/startup_report.h"
#include "app/routalo/window_command_line.h"
#include "app/support/standard_descriptors.h"
#include "app/support/stop_signals.h"
#include "window/qt/frm_main.h"

// Reads the command line, then shows the window and runs until the user closes it.
int main(int argc, char* argv[]) {
    routalo::OpenClosedStandardDescriptors();
    if (const auto answered =
            routalo::AnswerWithoutWindowSystem(argc, argv, std::cout, std::cerr)) {
        return *answered;
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
    const std::vector<std::string> arguments(argv, argv + argc);
    const routalo::WindowStart start =
        routalo::ReadWindowCommandLine(arguments, std::cout, std::cerr);
    if (start.exitStatus) {
        return *start.exitStatus;
    }
    routalo::frmMain window;
    if (!start.file.empty()) {
        window.OpenFile(start.file);
    }
    routalo::ReportFirstPaintIfAsked(window);
    window.show();
    return QApplication::exec();
}
