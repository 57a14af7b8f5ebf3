#pragma once

#include <QCheckBox>

namespace routalo {

// A check box whose caption wraps onto further lines within the box's width,
// and which toggles on a click anywhere in its box, caption included.
class WrappingCheckBox : public QCheckBox {
    Q_OBJECT

  public:
    explicit WrappingCheckBox(const QString& text, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
    [[nodiscard]] bool hitButton(const QPoint& pos) const override;
};

}  // namespace routalo
