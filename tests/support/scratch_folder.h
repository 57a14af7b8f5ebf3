#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace routalo::testing {

// A fresh folder, removed with all it holds when the object goes. It is made
// under the system's temporary folder, or under `preferred` (/dev/shm for a
// folder in memory, say), where a file can be written there; otherwise
// under the build folder. A folder may exist and yet take no files: /dev/shm
// in a chroot, a temporary folder on a read-only or full file system.
class ScratchFolder {
  public:
    ScratchFolder();
    explicit ScratchFolder(const std::filesystem::path& preferred);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // The path of `name` inside the folder, as text.
    [[nodiscard]] std::string File(std::string_view name) const;
    // Writes `bytes` to `name` inside the folder and returns its path.
    std::string Write(std::string_view name, std::string_view bytes) const;

  private:
    std::filesystem::path path_;
};

// The whole content of a file; throws when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);

// The number of descriptors this process has open.
int OpenDescriptorCount();

}  // namespace routalo::testing
