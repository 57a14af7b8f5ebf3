#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_check.h"

namespace routalo::fuzz {

// A log that lives in memory: a memfd, opened again by its /proc path.
inline std::string StoreInMemoryLog(std::string_view bytes) {
    static const int fd = memfd_create("log", MFD_CLOEXEC);
    Require(fd >= 0, "a memory file for the log");
    Require(ftruncate(fd, 0) == 0, "the memory file empties");
    std::size_t put = 0;
    while (put < bytes.size()) {
        const ssize_t n =
            pwrite(fd, bytes.data() + put, bytes.size() - put, static_cast<off_t>(put));
        Require(n > 0, "the memory file takes the log");
        put += static_cast<std::size_t>(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace routalo::fuzz
