#include "tests/support/scratch_folder.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <system_error>

namespace routalo::testing {
namespace {

// A fresh folder under `base` into which a byte could be written, or nothing
// where making the folder or writing fails.
std::optional<std::filesystem::path> MakeWritableFolder(const std::filesystem::path& base) {
    if (base.empty()) {
        return std::nullopt;
    }
    std::string pattern = (base / "routalo-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return std::nullopt;
    }
    const std::filesystem::path folder = pattern;
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
    const std::filesystem::path inBuild = std::filesystem::path(ROUTALO_BINARY_DIR) / "test-scratch";
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

std::string ScratchFolder::File(std::string_view name) const {
    return (path_ / name).string();
}

std::string ScratchFolder::Write(std::string_view name, std::string_view bytes) const {
    const std::string path = File(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
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
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

}  // namespace routalo::testing
