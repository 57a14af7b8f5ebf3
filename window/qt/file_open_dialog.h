#pragma once

#include <QString>
#include <QStringList>
#include <span>
#include <string>

#include "window/core/window_view.h"

namespace routalo {

class FilePicker;

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

// The file-open dialog component of the window. Title and filter are set
// before each opening; FileName keeps the last confirmed choice from one
// opening to the next, and a cancel leaves it as it was.
class FileOpenDialog {
  public:
    explicit FileOpenDialog(FilePicker& picker) : picker_(picker) {}

    [[nodiscard]] const QString& DialogTitle() const { return dialogTitle_; }
    void SetDialogTitle(const QString& title) { dialogTitle_ = title; }

    // The file types, which the dialog lists.
    void SetFilters(std::span<const FileFilter> filters) {
        nameFilters_ = QtNameFilters(filters);
        shownFilters_ = ShownFilters(filters);
    }

    // The full path of the last confirmed choice, as the bytes that name it
    // in the file system; empty until there is one.
    [[nodiscard]] const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName) { fileName_ = fileName; }

    // Shows the dialog, modal, with the first filter entry in effect and the
    // current FileName filled in. "*.*" lists every file, names without a
    // dot included. Returns when the user confirms or cancels, true for a
    // confirmed choice; a cancel is no failure.
    bool ShowOpen();

  private:
    FilePicker& picker_;
    QString dialogTitle_;
    QStringList nameFilters_;
    QStringList shownFilters_;
    std::string fileName_;
};

}  // namespace routalo
