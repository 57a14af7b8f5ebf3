#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "window/core/controls.h"
#include "window/core/window_core.h"
#include "window/core/window_view.h"
#include "window/qt/mouse_pointer.h"

namespace routalo {

class FilePicker;
class MessageBox;

// The program's one window, shown with Qt. It makes its controls from the
// design table (controls.h), hands the user's actions to the window's core
// (window_core.h), and carries out what the core asks of it.
//
// Controls carry a kind prefix and a word (cmdFile, txtNaam); their objectName
// is that name, for accessibility tools and tests. The window itself finds
// them by their Control.
class frmMain : public QWidget, private WindowView {
    Q_OBJECT

  public:
    // The window as the program shows it, with Qt's file dialog and message boxes.
    explicit frmMain(QWidget* parent = nullptr);
    // The window reaching the user through `filePicker` and `messageBox`,
    // which must outlive it.
    frmMain(FilePicker& filePicker, MessageBox& messageBox, QWidget* parent = nullptr);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // The window's state: the chosen file, the dialog's file name, the step marks.
    [[nodiscard]] const WindowCore& Core() const { return core_; }
    // The full path of the chosen track log, as bytes (WindowCore::SourceFileName).
    [[nodiscard]] const std::string& SourceFileName() const { return core_.SourceFileName(); }
    // Takes `path` as chosen and confirmed in the file dialog (WindowCore::OpenFile).
    bool OpenFile(const std::string& path) { return core_.OpenFile(path); }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // What the core asks of the window.
    void SetStepBold(Step step, bool bold) override;
    void SetCaption(const std::string& caption) override;
    void SetPointerShape(PointerShape shape) override;
    void ShowMessage(const std::string& text, MessageStyle style,
                     const std::string& title) override;
    std::optional<std::string> ChooseFile(const std::string& title,
                                          std::span<const FileFilter> filters,
                                          const std::string& fileName) override;
    void SetSchemeText(const std::string& text) override;
    [[nodiscard]] std::string NameText() const override;
    [[nodiscard]] bool TimeInfoTicked() const override;

    void createControls();
    // Makes the control of `design` and has it report its events to the core.
    QWidget* createControl(const ControlDesign& design);
    void setFocusOrder();
    [[nodiscard]] bool isBackground(const QPoint& pos) const;

    // The control made for `control`, as the widget class it was made of.
    template <typename Widget>
    [[nodiscard]] Widget* control(Control control) const {
        return static_cast<Widget*>(controls_.at(IndexOf(control)));
    }

    std::unique_ptr<FilePicker> ownFilePicker_;
    std::unique_ptr<MessageBox> ownMessageBox_;
    FilePicker& filePicker_;
    MessageBox& messageBox_;

    MousePointer mousePointer_{*this};
    WindowCore core_{*this};

    // Indexed by Control.
    std::array<QWidget*, kControlCount> controls_{};
};

}  // namespace routalo
