#include "window/qt/wrapping_check_box.h"

#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace routalo {
namespace {

constexpr int kCaptionFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;

}  // namespace

WrappingCheckBox::WrappingCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent) {}

void WrappingCheckBox::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    const bool focused = option.state.testFlag(QStyle::State_HasFocus);

    // The style draws the box alone; the caption follows, wrapped.
    option.text.clear();
    option.state &= ~QStyle::State_HasFocus;
    painter.drawControl(QStyle::CE_CheckBox, option);

    option.text = caption;
    const QRect area = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    painter.drawItemText(area, kCaptionFlags, option.palette, isEnabled(), caption,
                         QPalette::WindowText);

    if (focused) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = fontMetrics().boundingRect(area, kCaptionFlags, caption).adjusted(-1, 0, 1, 0);
        focus.rect &= rect();
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool WrappingCheckBox::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

}  // namespace routalo
