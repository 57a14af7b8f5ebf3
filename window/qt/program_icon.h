#pragma once

#include <QIcon>

namespace routalo {

// The icon of the program's windows: "routalo" from the icon theme, as the
// package installs it, or the icon built into the program where the theme
// has none.
[[nodiscard]] QIcon ProgramIcon();

}  // namespace routalo
