#include "tests/window/qt/stand_ins.h"

#include <optional>
#include <string>
#include <utility>

namespace routalo::testing {

void PrintTo(const ShownMessage& message, std::ostream* out) {
    *out << "box \"" << message.text.toStdString() << "\" style " << static_cast<int>(message.style)
         << " title \"" << message.title.toStdString() << "\" pointer "
         << (message.pointer ? std::to_string(static_cast<int>(*message.pointer)) : "none");
}

void RecordingMessageBox::Show(const QString& text, MessageStyle style, const QString& title) {
    shown.push_back({text, style, title, readPointer ? std::optional(readPointer()) : std::nullopt,
                     readShownPointer ? readShownPointer() : Qt::BlankCursor});
}

std::optional<std::string> ScriptedFilePicker::PickFile(const FileOpenRequest& request) {
    requests.push_back(request);
    if (answers.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

}  // namespace routalo::testing
