#include "conversion/files/system_error_win32.h"

#include <string>

#include "conversion/utf16.h"

namespace routalo {
namespace {

class WindowsErrorCategory final : public std::error_category {
  public:
    [[nodiscard]] const char* name() const noexcept override { return "windows"; }

    // The system's own text, in the user's language, without the line end
    // that FormatMessage puts behind it.
    [[nodiscard]] std::string message(int code) const override {
        wchar_t* text = nullptr;
        const DWORD length = ::FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        if (length == 0 || text == nullptr) {
            return "Windows error " + std::to_string(static_cast<DWORD>(code));
        }
        std::u16string wide(text, text + length);
        ::LocalFree(text);
        while (!wide.empty() &&
               (wide.back() == u'\r' || wide.back() == u'\n' || wide.back() == u' ')) {
            wide.pop_back();
        }
        return Utf8FromUtf16(wide);
    }

    [[nodiscard]] std::error_condition default_error_condition(int code) const noexcept override {
        switch (static_cast<DWORD>(code)) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                return std::errc::no_such_file_or_directory;
            case ERROR_ACCESS_DENIED:
                return std::errc::permission_denied;
            case ERROR_DISK_FULL:
            case ERROR_HANDLE_DISK_FULL:
                return std::errc::no_space_on_device;
            case ERROR_BROKEN_PIPE:
            case ERROR_NO_DATA:
                return std::errc::broken_pipe;
            case ERROR_OPERATION_ABORTED:
                return std::errc::interrupted;
            default:
                return {code, *this};
        }
    }
};

}  // namespace

const std::error_category& WindowsCategory() noexcept {
    static const WindowsErrorCategory category;
    return category;
}

}  // namespace routalo
