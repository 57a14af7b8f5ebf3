#include "window/qt/mouse_pointer.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace routalo {

void MousePointer::Set(PointerShape shape) {
    switch (shape) {
        case PointerShape::kHourglass:
            ShowBusy();
            break;
        case PointerShape::kDefault:
            ShowOwn();
            break;
    }
    // Hands the change to the window system now. User input stays queued
    // until the handler that set the pointer returns.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// A control shows its parent's pointer unless it has one of its own; those
// that have take the busy one too. Windows of their own among the children
// (a dialog) are left alone.
void MousePointer::ShowBusy() {
    if (busy_) {
        return;
    }
    busy_ = true;
    window_.setCursor(Qt::WaitCursor);
    for (QWidget* control : window_.findChildren<QWidget*>()) {
        if (control->window() == &window_ && control->testAttribute(Qt::WA_SetCursor)) {
            ownPointers_.emplace_back(control, control->cursor());
            control->setCursor(Qt::WaitCursor);
        }
    }
}

void MousePointer::ShowOwn() {
    if (!busy_) {
        return;
    }
    busy_ = false;
    for (auto& [control, pointer] : ownPointers_) {
        if (control != nullptr) {
            control->setCursor(pointer);
        }
    }
    ownPointers_.clear();
    window_.unsetCursor();
}

}  // namespace routalo
