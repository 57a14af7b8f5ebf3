#include "window/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace routalo {
namespace {

QMessageBox::Icon IconOf(MessageStyle style) {
    switch (style) {
        case MessageStyle::kCritical:
            return QMessageBox::Critical;
        case MessageStyle::kInformation:
            return QMessageBox::Information;
        case MessageStyle::kOkOnly:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void ModalMessageBox::Show(const QString& text, MessageStyle style, const QString& title) {
    QMessageBox box(IconOf(style), title, text, QMessageBox::Ok, parent_);
    // A box shown while the window is busy gets the ordinary arrow over it:
    // the user has to reach its OK button.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    box.exec();
    if (busy) {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace routalo
