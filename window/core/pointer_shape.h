#pragma once

namespace routalo {

// The window's mouse pointer. The values are the forms runtime's numbers of
// these shapes (11 is its hourglass), as the window core's requests show
// them.
enum class PointerShape : int {
    kDefault = 0,     // whatever the control under it shows
    kHourglass = 11,  // busy
};

}  // namespace routalo
