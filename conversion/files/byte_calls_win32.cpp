#include <windows.h>

#include <algorithm>

#include "conversion/files/byte_calls.h"
#include "conversion/files/system_error_win32.h"

namespace routalo::byte_calls {
namespace {

HANDLE Handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);  // NOLINT(performance-no-int-to-ptr)
}

// ReadFile and WriteFile move at most 4 GiB - 1 bytes a call.
DWORD MostOf(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, std::size_t{1} << 30U));
}

}  // namespace

std::ptrdiff_t ReadSome(std::intptr_t handle, char* buffer, std::size_t size,
                        std::error_code& error) noexcept {
    DWORD got = 0;
    if (::ReadFile(Handle(handle), buffer, MostOf(size), &got, nullptr)) {
        return got;
    }
    const DWORD failure = ::GetLastError();
    // The writer of a pipe is gone: the end of the file. A server that
    // disconnects, as Windows' documentation shows one (FlushFileBuffers,
    // DisconnectNamedPipe, CloseHandle), leaves ERROR_PIPE_NOT_CONNECTED.
    if (failure == ERROR_BROKEN_PIPE || failure == ERROR_PIPE_NOT_CONNECTED ||
        failure == ERROR_HANDLE_EOF) {
        return 0;
    }
    error = WindowsError(failure);
    return -1;
}

std::ptrdiff_t WriteSome(std::intptr_t handle, const char* data, std::size_t size,
                         std::error_code& error) noexcept {
    DWORD put = 0;
    if (::WriteFile(Handle(handle), data, MostOf(size), &put, nullptr)) {
        return put;
    }
    error = LastWindowsError();
    return -1;
}

}  // namespace routalo::byte_calls
