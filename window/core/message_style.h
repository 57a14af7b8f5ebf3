#pragma once

namespace routalo {

// The style values of a message box: which icon it shows. Every box has an
// OK button only.
enum class MessageStyle : int {
    kOkOnly = 0,        // no icon
    kCritical = 16,     // critical-error icon
    kInformation = 64,  // information icon
};

}  // namespace routalo
