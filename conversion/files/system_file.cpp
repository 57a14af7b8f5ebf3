#include "conversion/files/system_file.h"

#include <chrono>
#include <utility>

#include "conversion/errors.h"
#include "conversion/files/byte_calls.h"
#include "conversion/stop/stop_request.h"
#include "conversion/stop/stoppable_waits.h"

// What the files of every system do alike: reads and writes go through the
// byte calls, and one that is interrupted is made again unless a stop was
// asked for. The rest is each system's (system_file_posix.cpp,
// system_file_win32.cpp).
namespace routalo {

SystemFile& SystemFile::operator=(SystemFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kClosed);
    }
    return *this;
}

std::size_t SystemFile::Read(char* buffer, std::size_t size) {
    ThrowIfStopRequested();
    std::error_code error;
    std::ptrdiff_t got = 0;
    while ((got = byte_calls::ReadSome(handle_, buffer, size, error)) < 0 &&
           error == std::errc::interrupted) {
        ThrowIfStopRequested();
    }
    if (got < 0) {
        throw FileError(error, "read failed");
    }
    return static_cast<std::size_t>(got);
}

std::size_t SystemFile::WriteAll(const char* data, std::size_t size,
                                 std::error_code& error) noexcept {
    std::size_t written = 0;
    std::chrono::steady_clock::time_point giveUpAt{};
    error.clear();
    while (written < size) {
        const std::ptrdiff_t put =
            byte_calls::WriteSome(handle_, data + written, size - written, error);
        if (put > 0) {
            written += static_cast<std::size_t>(put);
            continue;
        }
        if (put == 0) {
            error = std::make_error_code(std::errc::no_space_on_device);
        } else if (error == std::errc::resource_unavailable_try_again ||
                   error == std::errc::operation_would_block) {
            if (WaitUntilWritable(handle_, giveUpAt)) {
                continue;
            }
            error = std::make_error_code(std::errc::interrupted);
        } else if (error == std::errc::interrupted && StopSignal() == 0) {
            continue;
        }
        break;
    }
    if (written == size) {
        error.clear();
    }
    return written;
}

}  // namespace routalo
