#include "window/file_picker.h"

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
