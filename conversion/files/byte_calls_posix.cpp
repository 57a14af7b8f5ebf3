#include <unistd.h>

#include <cerrno>

#include "conversion/files/byte_calls.h"

namespace routalo::byte_calls {

std::ptrdiff_t ReadSome(std::intptr_t handle, char* buffer, std::size_t size,
                        std::error_code& error) noexcept {
    const ssize_t got = ::read(static_cast<int>(handle), buffer, size);
    if (got < 0) {
        error.assign(errno, std::generic_category());
    }
    return got;
}

std::ptrdiff_t WriteSome(std::intptr_t handle, const char* data, std::size_t size,
                         std::error_code& error) noexcept {
    const ssize_t put = ::write(static_cast<int>(handle), data, size);
    if (put < 0) {
        error.assign(errno, std::generic_category());
    }
    return put;
}

}  // namespace routalo::byte_calls
