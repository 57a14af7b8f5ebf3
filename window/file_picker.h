#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace routalo {

// What one opening of a file-open dialog asks of the user.
struct FileOpenRequest {
    QString title;
    QStringList nameFilters;     // in Qt's form: "CSV GPS files (*.csv)", "All files (*)"
    QString selectedNameFilter;  // the entry in effect when the dialog opens
    QString fileName;            // the file the dialog opens on; may be empty
    // The entries of nameFilters as the dialog lists them, one for each:
    // "CSV GPS files (*.csv)", "All files (*.*)".
    QStringList shownFilters;
};

// Lets the user pick one existing file in a modal dialog.
class FilePicker {
  public:
    virtual ~FilePicker() = default;
    // The full path of the chosen file, or nothing when the user cancels.
    virtual std::optional<QString> PickFile(const FileOpenRequest& request) = 0;

  protected:
    FilePicker() = default;
    FilePicker(const FilePicker&) = default;
    FilePicker& operator=(const FilePicker&) = default;
};

// The picker the program uses: a QFileDialog, modal to `parent`. Qt's own
// dialog lists the file types by their shown texts; a dialog of the desktop
// lists them in Qt's form.
class DialogFilePicker final : public FilePicker {
  public:
    explicit DialogFilePicker(QWidget* parent) : parent_(parent) {}
    std::optional<QString> PickFile(const FileOpenRequest& request) override;

  private:
    QWidget* parent_;
};

}  // namespace routalo
