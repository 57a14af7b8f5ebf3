#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <string>

#include "window/file_open_dialog.h"
#include "window/mouse_pointer.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace routalo {

class FilePicker;
class MessageBox;
class WrappingCheckBox;

// The program's one window. It leads the user through four steps, one label
// each: choose the track log, choose the kind of output, name the track,
// convert. The label of the step that is due is bold. Every handler switches
// single labels on or off and nothing resets them as a group, so at times
// two labels are bold.
//
// Controls carry a kind prefix and a word (cmdFile, txtNaam); their objectName
// is that name. Handlers are named after control and event (cmdFile_Click).
class frmMain : public QWidget {
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

    // The full path of the chosen track log, as the bytes that name it in the
    // file system, whether or not they are UTF-8; empty until a file is chosen.
    [[nodiscard]] const std::string& SourceFileName() const { return sourceFileName_; }
    // The window's mouse pointer as a shape number (kHourglass while converting).
    [[nodiscard]] int MousePointerValue() const { return mousePointer_.Value(); }
    // Takes `path`, as bytes, as if it were chosen in the file dialog and
    // confirmed, as a file dropped on the window or named on the command line
    // is. A relative path is made absolute. Returns false, changing nothing,
    // when `path` names no file.
    bool OpenFile(const std::string& path);

    // The file dialog component with its FileName.
    [[nodiscard]] const FileOpenDialog& FileDialog() const { return cdFile; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private slots:
    void cmdFile_Click();
    void chkGenTimeInfo_Click();
    void cmbKleuren_Change();
    void txtNaam_Change();
    void cmdConverteer_Click();
    void cmdInfo_Click();

  private:  // NOLINT(readability-redundant-access-specifiers): the rest, after the slots
    // Runs once, from the constructor, before the window is shown.
    void Form_Load();
    // A click on the window's background, outside every control.
    void Form_Click();
    void ShowInfo();
    // What follows a closing of the file dialog: take its FileName as the
    // source, show it in the caption and move the bold mark to step 2.
    void TakeDialogFileName();

    void createControls();
    QLabel* createStepLabel(const QString& name, const QString& caption, const QRect& box);
    QPushButton* createButton(const QString& name, const QString& caption, const QRect& box);
    void connectHandlers();
    void setFocusOrder();
    [[nodiscard]] bool isBackground(const QPoint& pos) const;

    std::unique_ptr<FilePicker> ownFilePicker_;
    std::unique_ptr<MessageBox> ownMessageBox_;
    MessageBox& messageBox_;

    FileOpenDialog cdFile;
    MousePointer mousePointer_;
    std::string sourceFileName_;
    bool backgroundPressed_ = false;

    QPushButton* cmdInfo = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* cmdFile = nullptr;
    QLabel* Label2 = nullptr;
    WrappingCheckBox* chkGenTimeInfo = nullptr;
    QComboBox* cmbKleuren = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtNaam = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* cmdConverteer = nullptr;
};

}  // namespace routalo
