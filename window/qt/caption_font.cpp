#include "window/qt/caption_font.h"

#include <QFontMetrics>
#include <QList>

namespace routalo {
namespace {

constexpr qreal kSmallestPointSize = 6.0;
constexpr qreal kPointSizeStep = 0.5;

bool FitsInBold(QFont font, const QString& caption, const QSize& box) {
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(caption) <= box.width() && metrics.height() <= box.height();
}

// The point sizes to try, largest first; only the font's own for a font
// sized in pixels.
QList<qreal> PointSizes(const QFont& font) {
    QList<qreal> sizes{font.pointSizeF()};
    while (sizes.constLast() - kPointSizeStep >= kSmallestPointSize) {
        sizes.append(sizes.constLast() - kPointSizeStep);
    }
    return sizes;
}

}  // namespace

QFont CaptionFont(const QFont& font, const QString& caption, const QSize& box) {
    if (FitsInBold(font, caption, box)) {
        return font;
    }
    QFont narrower = font;
    for (const qreal size : PointSizes(font)) {
        if (size > 0) {
            narrower.setPointSizeF(size);
        }
        // Qt draws a face narrower than it is when the family has no
        // narrower face of its own.
        for (const int stretch : {QFont::SemiCondensed, QFont::Condensed}) {
            narrower.setStretch(stretch);
            if (FitsInBold(narrower, caption, box)) {
                return narrower;
            }
        }
    }
    return narrower;
}

}  // namespace routalo
