#pragma once

#include <QString>

class QWidget;

namespace routalo {

// The style values of a message box: which icon it shows. Every box has an
// OK button only.
enum class MessageStyle : int {
    kOkOnly = 0,        // no icon
    kCritical = 16,     // critical-error icon
    kInformation = 64,  // information icon
};

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
