#include "tests/support/scratch_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace routalo::testing {
namespace {

// A fresh folder under `base` into which a byte could be written, or nothing
// where making the folder or writing fails.
std::optional<std::filesystem::path> MakeWritableFolder(const std::filesystem::path& base) {
    if (base.empty()) {
        return std::nullopt;
    }
    // A name that no other test took, as mkdtemp would make it (which
    // Windows lacks).
    static std::mt19937_64 random{std::random_device{}()};
    std::filesystem::path folder;
    std::error_code error;
    for (int tries = 0; tries < 100 && folder.empty(); ++tries) {
        const std::filesystem::path name = base / ("routalo-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(name, error)) {
            folder = name;
        } else if (error) {
            return std::nullopt;
        }
    }
    if (folder.empty()) {
        return std::nullopt;
    }
    const std::filesystem::path probe = folder / "probe";
    std::ofstream out(probe, std::ios::binary);
    out.put('\0');
    out.close();  // a full file system refuses the byte only here
    std::error_code ignored;
    if (!out) {
        std::filesystem::remove_all(folder, ignored);
        return std::nullopt;
    }
    std::filesystem::remove(probe, ignored);
    return folder;
}

std::filesystem::path TemporaryFolder() {
    std::error_code error;  // TMPDIR may name no folder
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? std::filesystem::path() : folder;
}

std::filesystem::path MakeScratchFolder(const std::filesystem::path& preferred) {
    if (std::optional<std::filesystem::path> folder = MakeWritableFolder(preferred)) {
        return *folder;
    }
    const std::filesystem::path inBuild =
        std::filesystem::path(ROUTALO_BINARY_DIR) / "test-scratch";
    std::error_code ignored;
    std::filesystem::create_directories(inBuild, ignored);
    if (std::optional<std::filesystem::path> folder = MakeWritableFolder(inBuild)) {
        return *folder;
    }
    throw std::runtime_error("cannot make a scratch folder under " + preferred.string() + " or " +
                             inBuild.string());
}

}  // namespace

ScratchFolder::ScratchFolder() : ScratchFolder(TemporaryFolder()) {}

ScratchFolder::ScratchFolder(const std::filesystem::path& preferred)
    : path_(MakeScratchFolder(preferred)) {}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

// In UTF-8, as the program takes paths, also on Windows, where string()
// would give the ANSI code page.
std::string ScratchFolder::File(std::string_view name) const {
#ifdef _WIN32
    const std::u8string text = (path_ / std::u8string(name.begin(), name.end())).generic_u8string();
    return {text.begin(), text.end()};
#else
    return (path_ / name).string();
#endif
}

std::string ScratchFolder::Write(std::string_view name, std::string_view bytes) const {
    std::string path = File(name);
    std::ofstream out(path_ / std::u8string(name.begin(), name.end()),
                      std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
    return path;
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int OpenDescriptorCount() {
#ifdef _WIN32
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return static_cast<int>(count);
#else
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
#endif
}

}  // namespace routalo::testing
