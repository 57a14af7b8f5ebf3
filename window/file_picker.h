#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace routalo {

// What one opening of a file-open dialog asks of the user.
struct FileOpenRequest {
    QString title;
    QStringList nameFilters;     // in Qt's form: "CSV GPS files (*.csv)"
    QString selectedNameFilter;  // the entry in effect when the dialog opens
    QString fileName;            // the file the dialog opens on; may be empty
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

// The picker the program uses: a QFileDialog, modal to `parent`.
class DialogFilePicker final : public FilePicker {
  public:
    explicit DialogFilePicker(QWidget* parent) : parent_(parent) {}
    std::optional<QString> PickFile(const FileOpenRequest& request) override;

  private:
    QWidget* parent_;
};

}  // namespace routalo
