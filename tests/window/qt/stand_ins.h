#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "window/core/pointer_shape.h"
#include "window/qt/file_picker.h"
#include "window/qt/message_box.h"

namespace routalo::testing {

// One message box as the window showed it, with the state around it.
struct ShownMessage {
    QString text;
    MessageStyle style;
    QString title;
    std::optional<PointerShape> pointer;  // the window's pointer; none when unread
    Qt::CursorShape shownPointer;         // the one Qt shows over the window
};

// How a test failure shows a recorded box.
void PrintTo(const ShownMessage& message, std::ostream* out);

// Stands in for the modal message box: records every box and returns at once.
class RecordingMessageBox : public MessageBox {
  public:
    void Show(const QString& text, MessageStyle style, const QString& title) override;

    std::vector<ShownMessage> shown;
    // Read while a box is up: the window's pointer, and the pointer that Qt
    // shows over the window.
    std::function<PointerShape()> readPointer;
    std::function<Qt::CursorShape()> readShownPointer;
};

// Stands in for the file dialog's user: answers each opening with the next
// scripted answer, a path or a cancel (nothing); cancels when none is left.
class ScriptedFilePicker : public FilePicker {
  public:
    std::optional<std::string> PickFile(const FileOpenRequest& request) override;

    std::deque<std::optional<std::string>> answers;
    std::vector<FileOpenRequest> requests;
};

}  // namespace routalo::testing
