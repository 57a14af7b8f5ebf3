#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <span>
#include <string>

#include "window/core/window_view.h"

class QWidget;

namespace routalo {

// Turns file types, as description and pattern pairs,
//   {"CSV GPS files (*.csv)", "*.csv"}, {"All files (*.*)", "*.*"}
// into Qt's name filters, one per pair:
//   "CSV GPS files (*.csv)", "All files (*)"
// Patterns separated by ";" become one space-separated list, and "*.*"
// becomes "*", which also matches names without a dot. A pattern already
// shown in brackets at the end of its description is not shown twice.
[[nodiscard]] QStringList QtNameFilters(std::span<const FileFilter> filters);

// The same file types as a file dialog lists them: each pair's description
// as written ("All files (*.*)"), or its Qt name filter when the description
// is empty.
[[nodiscard]] QStringList ShownFilters(std::span<const FileFilter> filters);

// What one opening of a file-open dialog asks of the user.
struct FileOpenRequest {
    QString title;
    QStringList nameFilters;     // in Qt's form: "CSV GPS files (*.csv)", "All files (*)"
    QString selectedNameFilter;  // the entry in effect when the dialog opens
    std::string fileName;        // the path the dialog opens on, as bytes; may be empty
    // The entries of nameFilters as the dialog lists them, one for each:
    // "CSV GPS files (*.csv)", "All files (*.*)".
    QStringList shownFilters;
};

// Lets the user pick one file in a modal dialog, or type the name of one.
class FilePicker {
  public:
    virtual ~FilePicker() = default;
    // The full path of the chosen file as bytes, or nothing when the user cancels.
    virtual std::optional<std::string> PickFile(const FileOpenRequest& request) = 0;

  protected:
    FilePicker() = default;
    FilePicker(const FilePicker&) = default;
    FilePicker& operator=(const FilePicker&) = default;
};

// The picker the program uses: Qt's own QFileDialog, modal to `parent`, which
// lists the file types by their shown texts. The dialog keeps nothing from
// one run of the program to the next: making the picker turns off the
// settings that Qt's dialog would read and write (see KeepNoSettings).
//
// It returns a typed name whose file does not exist, but not one longer than
// its folder's file system allows (the Open button stays off); a typed
// folder is opened instead. Qt's dialog works with names as text: it neither
// lists nor accepts a file or folder whose name is no valid UTF-8, and the
// path it returns is encoded with QFile::encodeName.
class DialogFilePicker final : public FilePicker {
  public:
    explicit DialogFilePicker(QWidget* parent);
    std::optional<std::string> PickFile(const FileOpenRequest& request) override;

  private:
    QWidget* parent_;
};

}  // namespace routalo
