#include "window/file_picker.h"

#include <QComboBox>
#include <QFileDialog>

namespace routalo {

std::optional<QString> DialogFilePicker::PickFile(const FileOpenRequest& request) {
    QFileDialog dialog(parent_, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(request.nameFilters);
    if (!request.selectedNameFilter.isEmpty()) {
        dialog.selectNameFilter(request.selectedNameFilter);
    }
    // Qt's dialog selects a file type by its listed text, so the entries are
    // relabelled after the selection; it filters by the entry's place in
    // nameFilters, which keeps the patterns Qt understands.
    auto* fileTypes = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    if (fileTypes != nullptr && fileTypes->count() == request.shownFilters.size()) {
        for (int i = 0; i < fileTypes->count(); ++i) {
            fileTypes->setItemText(i, request.shownFilters.at(i));
        }
    }
    if (!request.fileName.isEmpty()) {
        // A full path opens the dialog in the file's folder, the name filled in.
        dialog.selectFile(request.fileName);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.constFirst();
}

}  // namespace routalo
