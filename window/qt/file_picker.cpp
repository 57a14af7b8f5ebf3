#include "window/qt/file_picker.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QSettings>

namespace routalo {
namespace {

// "*.csv;*.txt" -> "*.csv *.txt"; "*.*" -> "*".
QString QtPatterns(const QString& patterns) {
    QStringList result;
    for (const QString& part : patterns.split(u';', Qt::SkipEmptyParts)) {
        const QString pattern = part.trimmed();
        if (pattern.isEmpty()) {
            continue;
        }
        result.append(pattern == u"*.*" ? QStringLiteral("*") : pattern);
    }
    return result.join(u' ');
}

// The description without a bracketed copy of `patterns` at its end.
QString BareDescription(const QString& description, const QString& patterns) {
    QString trimmed = description.trimmed();
    const QString shown = u'(' + patterns.trimmed() + u')';
    if (trimmed.endsWith(shown)) {
        return trimmed.chopped(shown.size()).trimmed();
    }
    return trimmed;
}

// Qt's own file dialog keeps its last folder, its history and its layout in
// QtProject.conf through QSettings: it reads the user's and the system's
// copy when it opens and writes the user's when it closes. The program keeps
// no settings, so QSettings looks for its files under /dev/null, which is a
// device and no folder: no file there can be read, and none can be made.
// This holds for every QSettings of the process that uses the default
// places; a QSettings given a file of its own is not affected.
void KeepNoSettings() {
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) {
            QSettings::setPath(format, scope, QStringLiteral("/dev/null"));
        }
    }
}

QStringList ItemTexts(const QComboBox& box) {
    QStringList texts;
    for (int i = 0; i < box.count(); ++i) {
        texts.append(box.itemText(i));
    }
    return texts;
}

}  // namespace

QStringList QtNameFilters(std::span<const FileFilter> filters) {
    QStringList result;
    for (const FileFilter& filter : filters) {
        const QString patterns = QString::fromUtf8(filter.patterns);
        const QString bare = BareDescription(QString::fromUtf8(filter.description), patterns);
        const QString shown = u'(' + QtPatterns(patterns) + u')';
        result.append(bare.isEmpty() ? shown : bare + u' ' + shown);
    }
    return result;
}

QStringList ShownFilters(std::span<const FileFilter> filters) {
    QStringList result;
    for (const FileFilter& filter : filters) {
        const QString description = QString::fromUtf8(filter.description).trimmed();
        result.append(description.isEmpty() ? QtNameFilters({&filter, 1}).constFirst()
                                            : description);
    }
    return result;
}

DialogFilePicker::DialogFilePicker(QWidget* parent) : parent_(parent) {
    KeepNoSettings();
}

std::optional<std::string> DialogFilePicker::PickFile(const FileOpenRequest& request) {
    QFileDialog dialog(parent_, request.title);
    // Qt's own dialog, never the desktop's: that one would keep its own
    // recent folders and layout in the desktop's settings.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name that does not exist is returned too, as the common dialog
    // of Windows returns it: the conversion then says it cannot open it.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.nameFilters);
    if (!request.selectedNameFilter.isEmpty()) {
        dialog.selectNameFilter(request.selectedNameFilter);
    }
    // Qt's dialog selects a file type by its listed text, so the entries are
    // relabelled after the selection; it filters by the entry's place in
    // nameFilters, which keeps the patterns Qt understands.
    // The list is the dialog's one combo box that lists the name filters.
    for (auto* fileTypes : dialog.findChildren<QComboBox*>()) {
        if (ItemTexts(*fileTypes) == request.nameFilters &&
            fileTypes->count() == request.shownFilters.size()) {
            for (int i = 0; i < fileTypes->count(); ++i) {
                fileTypes->setItemText(i, request.shownFilters.at(i));
            }
            break;
        }
    }
    if (!request.fileName.empty()) {
        // A full path opens the dialog in the file's folder, the name filled in.
        dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(request.fileName)));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(chosen.constFirst()).toStdString();
}

}  // namespace routalo
