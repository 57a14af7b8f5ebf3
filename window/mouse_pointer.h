#pragma once

#include "window/pointer_shape.h"

namespace routalo {

// Holds the pointer value and shows its shape over the application. Any
// value other than kHourglass shows the default pointer.
class MousePointer {
  public:
    MousePointer() = default;
    ~MousePointer();
    MousePointer(const MousePointer&) = delete;
    MousePointer& operator=(const MousePointer&) = delete;

    [[nodiscard]] int Value() const { return value_; }

    // Takes the new value and shows its shape at once, before the caller
    // goes on with work that keeps the event loop from running.
    void Set(int value);

  private:
    int value_ = kDefaultPointer;
    bool overriding_ = false;  // whether this pointer has a shape on Qt's override stack
};

}  // namespace routalo
