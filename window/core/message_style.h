#pragma once

namespace routalo {

// Which icon a message box shows; every box has an OK button only. The
// values are the forms runtime's style numbers, as the window core's
// requests show them; each view maps a style to its toolkit's icon.
enum class MessageStyle : int {
    kOkOnly = 0,        // no icon
    kCritical = 16,     // critical-error icon
    kInformation = 64,  // information icon
};

}  // namespace routalo
