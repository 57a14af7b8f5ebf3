#pragma once

#include <cstddef>
#include <cstdint>
#include <system_error>

// The two calls that move bytes between an open file and memory, apart from
// the rest of the file layer: the seam through which the fault-injection
// tests, linked with stand-ins of their own, make a read or a write fail
// part-way, as a failing disk does. Each system has its implementation
// beside this header.
namespace routalo::byte_calls {

// Reads at most `size` bytes of the file `handle` into `buffer`: returns
// how many came, 0 at the end of the file, or -1 with `error` set.
std::ptrdiff_t ReadSome(std::intptr_t handle, char* buffer, std::size_t size,
                        std::error_code& error) noexcept;

// Writes at most `size` bytes of `data`: returns how many went out, or -1
// with `error` set.
std::ptrdiff_t WriteSome(std::intptr_t handle, const char* data, std::size_t size,
                         std::error_code& error) noexcept;

}  // namespace routalo::byte_calls
