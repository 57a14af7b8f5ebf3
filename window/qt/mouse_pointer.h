#pragma once

#include <QCursor>
#include <QPointer>
#include <QWidget>
#include <utility>
#include <vector>

#include "window/core/pointer_shape.h"

namespace routalo {

// Shows a window's pointer shape over that window and every control in it.
// The default shape shows the pointers the window and its controls have of
// their own. Another window, such as a message box shown while the window is
// busy, keeps its own pointer: the busy one is no override for the whole
// application.
class MousePointer {
  public:
    explicit MousePointer(QWidget& window) : window_(window) {}
    ~MousePointer() = default;
    MousePointer(const MousePointer&) = delete;
    MousePointer& operator=(const MousePointer&) = delete;

    // Shows `shape` at once, before the caller goes on with work that keeps
    // the event loop from running.
    void Set(PointerShape shape);

  private:
    void ShowBusy();
    void ShowOwn();

    QWidget& window_;
    bool busy_ = false;
    // The controls with a pointer of their own (a text box's I-beam), which
    // show the busy one meanwhile and get theirs back afterwards.
    std::vector<std::pair<QPointer<QWidget>, QCursor>> ownPointers_;
};

}  // namespace routalo
