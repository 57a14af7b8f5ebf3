#include "window/qt/file_open_dialog.h"

#include <optional>
#include <string_view>

#include "window/qt/file_picker.h"

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

bool FileOpenDialog::ShowOpen() {
    FileOpenRequest request;
    request.title = dialogTitle_;
    request.nameFilters = nameFilters_;
    request.shownFilters = shownFilters_;
    if (!request.nameFilters.isEmpty()) {
        request.selectedNameFilter = request.nameFilters.constFirst();
    }
    request.fileName = fileName_;
    const std::optional<std::string> chosen = picker_.PickFile(request);
    if (!chosen) {
        return false;
    }
    fileName_ = *chosen;
    return true;
}

}  // namespace routalo
