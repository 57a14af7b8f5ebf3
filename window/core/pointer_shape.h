#pragma once

namespace routalo {

// The window's mouse pointer, a small whole number as the forms runtime
// numbers its shapes. The window uses two of them.
inline constexpr int kDefaultPointer = 0;  // whatever the control under it shows
inline constexpr int kHourglass = 11;      // busy

}  // namespace routalo
