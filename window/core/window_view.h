#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "window/core/controls.h"
#include "window/core/message_style.h"
#include "window/core/pointer_shape.h"

namespace routalo {

// One entry of a file dialog's list of file types: its description as the
// user reads it, and its patterns, ";"-separated ("*.csv;*.txt").
struct FileFilter {
    std::string_view description;
    std::string_view patterns;
};

// What the window's core asks of the toolkit that shows the window. Text
// goes both ways as UTF-8; a path as the bytes that name it in the file
// system. Every request is carried out before the call returns.
class WindowView {
  public:
    virtual ~WindowView() = default;

    // Shows the label of `step` in bold or in the normal weight.
    virtual void SetStepBold(Step step, bool bold) = 0;
    virtual void SetCaption(const std::string& caption) = 0;

    // Shows the window's mouse pointer in `shape` at once, before the core
    // goes on with work that keeps the toolkit's event loop from running.
    // The core keeps the shape.
    virtual void SetPointerShape(PointerShape shape) = 0;

    // A modal message box with an OK button; returns when it is closed.
    virtual void ShowMessage(const std::string& text, MessageStyle style,
                             const std::string& title) = 0;

    // Runs the file-open dialog modally with `title`, the file types of
    // `filters` (the first in effect), and `fileName` filled in. The chosen
    // file's full path, or nothing when the user cancels.
    virtual std::optional<std::string> ChooseFile(const std::string& title,
                                                  std::span<const FileFilter> filters,
                                                  const std::string& fileName) = 0;

    // Sets the text of the scheme box. The view may report this change as
    // an edit, as it reports the user's: the core takes no notice of it.
    virtual void SetSchemeText(const std::string& text) = 0;

    // The text of the name box.
    [[nodiscard]] virtual std::string NameText() const = 0;
    // Whether the time box is ticked.
    [[nodiscard]] virtual bool TimeInfoTicked() const = 0;

  protected:
    WindowView() = default;
    WindowView(const WindowView&) = default;
    WindowView& operator=(const WindowView&) = default;
};

}  // namespace routalo
