#pragma once

#include <cstdint>

namespace routalo {

// Which file an open descriptor refers to: two names for one file (the same
// text, a symbolic link, a hard link) share device and inode.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

}  // namespace routalo
