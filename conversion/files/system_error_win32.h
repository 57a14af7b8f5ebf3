#pragma once

#include <windows.h>

#include <system_error>

// Windows' error codes (GetLastError) as std::error_code, worded as the
// system words them (FormatMessage) and comparable with std::errc where a
// code has a portable meaning.
namespace routalo {

[[nodiscard]] const std::error_category& WindowsCategory() noexcept;

[[nodiscard]] inline std::error_code WindowsError(DWORD code) noexcept {
    return {static_cast<int>(code), WindowsCategory()};
}

[[nodiscard]] inline std::error_code LastWindowsError() noexcept {
    return WindowsError(::GetLastError());
}

}  // namespace routalo
