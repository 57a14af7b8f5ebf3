#pragma once

#include <QString>

#include "window/core/message_style.h"

class QWidget;

namespace routalo {

// A modal message box: Show returns when the user has closed it.
class MessageBox {
  public:
    virtual ~MessageBox() = default;
    virtual void Show(const QString& text, MessageStyle style, const QString& title) = 0;

  protected:
    MessageBox() = default;
    MessageBox(const MessageBox&) = default;
    MessageBox& operator=(const MessageBox&) = default;
};

// The message box the program shows: a QMessageBox, modal to `parent`.
class ModalMessageBox final : public MessageBox {
  public:
    explicit ModalMessageBox(QWidget* parent) : parent_(parent) {}
    void Show(const QString& text, MessageStyle style, const QString& title) override;

  private:
    QWidget* parent_;
};

}  // namespace routalo
