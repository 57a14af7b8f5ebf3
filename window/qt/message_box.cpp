#include "window/qt/message_box.h"

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
    // The box is a window of its own: while the main window shows the busy
    // pointer (mouse_pointer.h), the box shows the arrow, and the user can
    // reach its OK button.
    box.exec();
}

}  // namespace routalo
