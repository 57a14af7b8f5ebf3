#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

namespace routalo {

// Which file an open descriptor refers to: two names for one file (the same
// text, a symbolic link, a hard link) share device and inode.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
    friend bool operator<(const FileIdentity& a, const FileIdentity& b) {
        return std::tie(a.device, a.inode) < std::tie(b.device, b.inode);
    }
};

// The file that `path` names, following links; nothing when there is none.
[[nodiscard]] std::optional<FileIdentity> IdentityOfFile(const std::string& path);

}  // namespace routalo
