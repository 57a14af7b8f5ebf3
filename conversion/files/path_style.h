#pragma once

#include <string_view>

namespace routalo {

// The characters that end a folder's name in a path: "/" on POSIX systems;
// on Windows "\" and "/" alike, and the ":" of a drive ("C:rit.csv").
#ifdef _WIN32
inline constexpr std::string_view kFolderSeparators = "/\\:";
#else
inline constexpr std::string_view kFolderSeparators = "/";
#endif

}  // namespace routalo
