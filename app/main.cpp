#include <QApplication>

#include "app/startup_report.h"
#include "window/frm_main.h"

// Loads the window, shows it, and runs until the user closes it.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    routalo::frmMain window;
    routalo::ReportFirstPaintIfAsked(window);
    window.show();
    return QApplication::exec();
}
