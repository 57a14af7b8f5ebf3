#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>

#include "conversion/errors.h"
#include "conversion/files/system_file.h"
#include "conversion/stop/stop_request.h"

namespace routalo {
namespace {

// Makes `call` again for as long as a signal interrupts it, unless the
// signal asked for a stop; returns what the last call returned. A call fails
// with a negative result and errno set.
template <typename Call>
auto RetryInterrupted(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR) {
        ThrowIfStopRequested();
        result = call();
    }
    return result;
}

[[noreturn]] void Fail(const char* doing) {
    throw FileError(std::error_code(errno, std::generic_category()), doing);
}

int Descriptor(std::intptr_t handle) {
    return static_cast<int>(handle);
}

FileIdentity IdentityFrom(const struct stat& status) {
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

int OpenDescriptor(const std::string& path, int flags) {
    const int fd = RetryInterrupted([&] { return ::open(path.c_str(), flags | O_CLOEXEC, 0666); });
    if (fd < 0) {
        throw FileError(std::error_code(errno, std::generic_category()));
    }
    return fd;
}

}  // namespace

SystemFile SystemFile::OpenForReading(const std::string& path) {
    return SystemFile(OpenDescriptor(path, O_RDONLY));
}

SystemFile SystemFile::OpenForWriting(const std::string& path) {
    return SystemFile(OpenDescriptor(path, O_WRONLY | O_CREAT));
}

// A file of no name where the file system makes one (O_TMPFILE); elsewhere
// one made under a unique name and unlinked at once, before any byte goes in.
SystemFile SystemFile::OpenTemporary() {
    const char* variable = std::getenv("TMPDIR");
    const std::string folder = variable != nullptr && *variable != '\0' ? variable : "/tmp";
#ifdef O_TMPFILE
    const int unnamed = RetryInterrupted(
        [&] { return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600); });
    if (unnamed >= 0) {
        return SystemFile(unnamed);
    }
#endif
    std::string path = folder + "/routalo-XXXXXX";
    const int fd = RetryInterrupted([&] { return ::mkostemp(path.data(), O_CLOEXEC); });
    if (fd < 0) {
        Fail("cannot create a temporary file");
    }
    SystemFile file(fd);
    if (::unlink(path.c_str()) != 0) {
        Fail("cannot create a temporary file");
    }
    return file;
}

void SystemFile::Seek(std::uint64_t offset) {
    if (::lseek(Descriptor(handle_), static_cast<off_t>(offset), SEEK_SET) < 0) {
        Fail("cannot move in the file");
    }
}

SystemFile::Status SystemFile::Look() const {
    struct stat status {};
    if (::fstat(Descriptor(handle_), &status) != 0) {
        Fail("cannot inspect the file");
    }
    return {IdentityFrom(status), S_ISDIR(status.st_mode), S_ISREG(status.st_mode),
            S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)};
}

// An advisory lock on the whole file, which both programs take on every
// document they write; it goes with the last descriptor of the open file.
// flock and not fcntl: an fcntl lock is the process's, so a second document
// of one process would not see the first's lock, and closing any descriptor
// of the file would drop it.
bool SystemFile::TryLock() {
    if (RetryInterrupted([&] { return ::flock(Descriptor(handle_), LOCK_EX | LOCK_NB); }) == 0) {
        return true;
    }
    if (errno == EWOULDBLOCK) {
        return false;
    }
    if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) {
        return true;
    }
    Fail("cannot lock the file");
}

void SystemFile::Truncate(std::size_t size) {
    if (RetryInterrupted(
            [&] { return ::ftruncate(Descriptor(handle_), static_cast<off_t>(size)); }) != 0) {
        Fail("cannot empty the file");
    }
}

// A write that would wait returns EAGAIN at once; WriteAll then waits in
// poll(), which a stop's wake-up ends (stoppable_waits.h).
void SystemFile::MakeWritesStoppable() {
    const int flags = ::fcntl(Descriptor(handle_), F_GETFL);
    if (flags < 0 || ::fcntl(Descriptor(handle_), F_SETFL, flags | O_NONBLOCK) != 0) {
        Fail("cannot set up the file");
    }
}

void SystemFile::StartWriteBack([[maybe_unused]] std::size_t offset,
                                [[maybe_unused]] std::size_t size) noexcept {
#ifdef __linux__
    ::sync_file_range(Descriptor(handle_), static_cast<off_t>(offset), static_cast<off_t>(size),
                      SYNC_FILE_RANGE_WRITE);
#endif
}

std::error_code SystemFile::Close() noexcept {
    if (handle_ == kClosed) {
        return {};
    }
    // A close that a signal interrupts has released the descriptor on Linux;
    // retrying could close a descriptor that another thread just opened.
    const int result = ::close(Descriptor(std::exchange(handle_, kClosed)));
    return result == 0 ? std::error_code() : std::error_code(errno, std::generic_category());
}

bool RemoveFile(const std::string& path) noexcept {
    return ::unlink(path.c_str()) == 0;
}

std::optional<FileIdentity> IdentityOfFile(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return IdentityFrom(status);
}

}  // namespace routalo
