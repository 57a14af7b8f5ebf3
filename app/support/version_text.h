#pragma once

#include <string>
#include <string_view>

namespace routalo {

// What `--version` prints, in the form GNU programs use:
//
//   routalo-convert (Routalo) 1.0.0
//   Copyright (C) 2026 The Routalo developers
//   License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.
//   This is free software: you are free to change and redistribute it.
//   There is NO WARRANTY, to the extent permitted by law.
[[nodiscard]] std::string VersionText(std::string_view program);

}  // namespace routalo
