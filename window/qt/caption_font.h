#pragma once

#include <QFont>
#include <QSize>
#include <QString>

namespace routalo {

// The font in which `caption`, set in bold on one line, fits a box of size
// `box`: `font` itself when the caption fits in it, otherwise the same
// family narrower (semi-condensed, then condensed) and then smaller, half a
// point at a time down to six points. Fonts differ in width from system to
// system (one without a condensed face falls back on a wider one), so a
// caption that must show whole is measured with the font it will be drawn in.
[[nodiscard]] QFont CaptionFont(const QFont& font, const QString& caption, const QSize& box);

}  // namespace routalo
