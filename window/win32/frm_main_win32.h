#pragma once

#include <string>

namespace routalo {

// Shows the program's window made of the Windows standard controls, with
// `file` (UTF-8) chosen when it names a file, and runs until the user closes
// it. Returns the program's exit status.
int RunWin32Window(const std::string& file);

}  // namespace routalo
