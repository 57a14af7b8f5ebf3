#include "window/qt/file_open_dialog.h"

#include <optional>

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

QStringList QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts.at(i);
        const QString& patterns = parts.at(i + 1);
        const QString bare = BareDescription(description, patterns);
        const QString shown = u'(' + QtPatterns(patterns) + u')';
        result.append(bare.isEmpty() ? shown : bare + u' ' + shown);
    }
    return result;
}

QStringList ShownFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    const QStringList qtFilters = QtNameFilters(filter);
    QStringList result;
    for (qsizetype i = 0; i < qtFilters.size(); ++i) {
        const QString description = parts.at(2 * i).trimmed();
        result.append(description.isEmpty() ? qtFilters.at(i) : description);
    }
    return result;
}

bool FileOpenDialog::ShowOpen() {
    FileOpenRequest request;
    request.title = dialogTitle_;
    request.nameFilters = QtNameFilters(filter_);
    request.shownFilters = ShownFilters(filter_);
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
