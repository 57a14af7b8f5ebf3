#include "app/routalo/file_argument.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "app/support/printable_text.h"

namespace routalo {

std::optional<std::string> FileArgumentProblem(const std::vector<std::string>& files) {
    if (files.size() > 1) {
        return std::to_string(files.size()) +
               " files given, but the window takes one; it opens without a file";
    }
    if (files.empty()) {
        return std::nullopt;
    }
    // The bytes as UTF-8: a plain std::string would be read in the ANSI code
    // page on Windows. On POSIX systems they pass as they are.
    const std::string& file = files.front();
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(
        std::filesystem::path(std::u8string(file.begin(), file.end())), error);
    std::string_view reason;
    if (!std::filesystem::exists(status)) {
        reason = "no such file";
    } else if (!std::filesystem::is_regular_file(status)) {
        reason = "not a file";
    } else {
        return std::nullopt;
    }
    return PrintableText(file) + ": " + std::string(reason);
}

}  // namespace routalo
