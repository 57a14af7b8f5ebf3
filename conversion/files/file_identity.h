#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>

namespace routalo {

// Which file an open descriptor refers to: two names for one file (the same
// text, a symbolic link, a hard link) share device and inode.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    // Whether the system told which file this is; a pipe or a device on
    // Windows has no identity, and is no other file.
    [[nodiscard]] bool Known() const { return device != 0 || inode != 0; }

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
    friend bool operator<(const FileIdentity& a, const FileIdentity& b) {
        return std::tie(a.device, a.inode) < std::tie(b.device, b.inode);
    }
};

// Tells why the file `identity` must not be written over, or nothing when it
// may be.
using OverwriteGuard = std::function<std::optional<std::string>(const FileIdentity& identity)>;

// The file that `path` names, following links; nothing when there is none.
// Learnt without opening the file where the system allows (POSIX); on
// Windows only a file on a disk is opened for it, never a pipe, whose
// server would take the open as its one connection, nor a device.
[[nodiscard]] std::optional<FileIdentity> IdentityOfFile(const std::string& path);

}  // namespace routalo
