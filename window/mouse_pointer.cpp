#include "window/mouse_pointer.h"

#include <QApplication>
#include <QEventLoop>

namespace routalo {

MousePointer::~MousePointer() {
    if (overriding_) {
        QApplication::restoreOverrideCursor();
    }
}

void MousePointer::Set(int value) {
    if (overriding_) {
        QApplication::restoreOverrideCursor();
        overriding_ = false;
    }
    value_ = value;
    if (value_ == kHourglass) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        overriding_ = true;
    }
    // Hands the change to the window system now. User input stays queued
    // until the handler that set the pointer returns.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace routalo
