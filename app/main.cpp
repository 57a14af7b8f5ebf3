#include <QApplication>

#include "app/startup_report.h"
#include "window/frm_main.h"

// Loads the window, shows it, and runs until the user closes it.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The window's class on X11 and its app id on Wayland: the desktop matches
    // them with the installed desktop entry, which names the icon.
    QApplication::setApplicationName(QStringLiteral("Routalo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("nl.routalo.Routalo"));
    routalo::frmMain window;
    // A file named on the command line (as the desktop's "Open with" does)
    // counts as chosen in the file dialog.
    if (const QStringList arguments = QApplication::arguments(); arguments.size() == 2) {
        window.OpenFile(arguments.at(1));
    }
    routalo::ReportFirstPaintIfAsked(window);
    window.show();
    return QApplication::exec();
}
