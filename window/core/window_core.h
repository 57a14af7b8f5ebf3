#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "window/core/controls.h"
#include "window/core/pointer_shape.h"

namespace routalo {

class WindowView;

// What a control reports of the user: a click (a button pressed, the check
// box ticked or cleared, by mouse or key) or a change of its text.
enum class ControlEvent : std::uint8_t { kClick, kChange };

enum class MouseButton : std::uint8_t { kLeft, kOther };

// The window's state, its handlers and the rules of its events, free of any
// toolkit. A view builds the controls (controls.h), reports the user's raw
// actions (Handle, MouseDown and MouseUp, Drop), and carries out what the
// core asks of it (window_view.h).
//
// The window leads the user through four steps, one label each: choose the
// track log, choose the kind of output, name the track, convert. The label
// of the step that is due is bold. Every handler switches single labels on
// or off and nothing resets them as a group, so at times two labels are bold.
class WindowCore {
  public:
    // The core of a window shown by `view`, which must outlive it. Nothing is
    // asked of the view before Form_Load.
    explicit WindowCore(WindowView& view) : view_(view) {}

    // The full path of the chosen track log, as the bytes that name it in the
    // file system, whether or not they are UTF-8; empty until a file is chosen.
    [[nodiscard]] const std::string& SourceFileName() const { return sourceFileName_; }
    // The file dialog's FileName: the last confirmed choice, kept from one
    // opening to the next; empty until there is one.
    [[nodiscard]] const std::string& DialogFileName() const { return dialogFileName_; }
    // Whether the label of `step` is bold.
    [[nodiscard]] bool StepBold(Step step) const { return stepBold_.at(IndexOf(step)); }
    // The window's mouse pointer.
    [[nodiscard]] PointerShape Pointer() const { return pointer_; }

    // Runs the handler, if any, of `event` of `control`. A change that the
    // core makes itself (the scheme box's text at the start) runs none.
    void Handle(Control control, ControlEvent event);

    // A press and a release of a mouse button on the window itself, with
    // whether the press was on the background (where no control lies,
    // labels included) and whether the release was inside the window. A left
    // press on the background and a left release inside the window, with no
    // other press between, are a click on the window (Form_Click).
    void MouseDown(MouseButton button, bool onBackground);
    void MouseUp(MouseButton button, bool insideWindow);

    // The path that a drop of `paths` (as bytes) would open: one path that
    // names a file; nothing for several, none, or anything else.
    [[nodiscard]] static std::optional<std::string> DroppedFile(
        const std::vector<std::string>& paths);
    // Opens the file that a drop of `paths` carries (OpenFile); false,
    // changing nothing, when the drop carries none.
    bool Drop(const std::vector<std::string>& paths);

    // Runs once, when the view has made its controls and before it is shown:
    // marks step 1, then sets the scheme box's text, which is a change of
    // the scheme box (so steps 1 and 3 are bold at the start).
    void Form_Load();
    // A click on the window's background, outside every control.
    void Form_Click();
    void cmdFile_Click();
    void chkGenTimeInfo_Click();
    void cmbKleuren_Change();
    void txtNaam_Change();
    void cmdConverteer_Click();
    void cmdInfo_Click();
    void ShowInfo();

    // Takes `path`, as bytes, as if it were chosen in the file dialog and
    // confirmed, as a file dropped on the window or named on the command line
    // is. A relative path is made absolute by putting the working folder in
    // front, so that it names the same file. Returns false, changing nothing,
    // when `path` names no file.
    bool OpenFile(const std::string& path);

  private:
    // What follows a closing of the file dialog: take its FileName as the
    // source, show it in the caption and move the bold mark to step 2.
    void TakeDialogFileName();
    void SetStepBold(Step step, bool bold);
    void SetPointerShape(PointerShape shape);

    WindowView& view_;
    std::string sourceFileName_;
    std::string dialogFileName_;
    std::array<bool, kSteps.size()> stepBold_{};
    PointerShape pointer_ = PointerShape::kDefault;
    bool backgroundPressed_ = false;
    // The control whose text the core is setting, whose change it ignores.
    std::optional<Control> settingText_;
};

// Whether `path`, as bytes, names a file (or a link to one) that exists; never
// for a path that holds a NUL.
[[nodiscard]] bool NamesFile(const std::string& path);

}  // namespace routalo
