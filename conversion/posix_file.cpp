#include "conversion/posix_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "conversion/errors.h"

namespace routalo::posix_file {
namespace {

// Makes `call` again for as long as a signal interrupts it; returns what the
// last call returned. A call fails with a negative result and errno set.
template <typename Call>
auto RetryInterrupted(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR) {
        result = call();
    }
    return result;
}

FileIdentity IdentityFrom(const struct stat& status) {
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

[[noreturn]] void Fail(const char* doing) {
    throw FileError(doing, errno);
}

}  // namespace

ByteCalls byteCalls{::read, ::write};

int OpenForReading(const std::string& path) {
    const int fd = RetryInterrupted([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
    if (fd < 0) {
        Fail("");
    }
    return fd;
}

int OpenForWriting(const std::string& path) {
    const int fd = RetryInterrupted(
        [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666); });
    if (fd < 0) {
        Fail("");
    }
    return fd;
}

FileStatus StatusOf(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        Fail("cannot inspect the file");
    }
    return {IdentityFrom(status), S_ISDIR(status.st_mode), S_ISREG(status.st_mode)};
}

// An advisory lock on the whole file, which both programs take on every
// document they write; it goes with the last descriptor of the open file.
// flock and not fcntl: an fcntl lock is the process's, so a second document
// of one process would not see the first's lock, and closing any descriptor
// of the file would drop it.
bool TryLock(int fd) {
    if (RetryInterrupted([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0) {
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

void Truncate(int fd, std::size_t size) {
    if (RetryInterrupted([&] { return ::ftruncate(fd, static_cast<off_t>(size)); }) != 0) {
        Fail("cannot empty the file");
    }
}

std::size_t Read(int fd, char* buffer, std::size_t size) {
    const ssize_t got = RetryInterrupted([&] { return byteCalls.read(fd, buffer, size); });
    if (got < 0) {
        Fail("read failed");
    }
    return static_cast<std::size_t>(got);
}

std::size_t WriteAll(int fd, const char* data, std::size_t size, int& error) {
    std::size_t written = 0;
    error = 0;
    while (written < size) {
        const ssize_t put =
            RetryInterrupted([&] { return byteCalls.write(fd, data + written, size - written); });
        if (put <= 0) {
            error = put < 0 ? errno : ENOSPC;
            break;
        }
        written += static_cast<std::size_t>(put);
    }
    return written;
}

void StartWriteBack([[maybe_unused]] int fd, [[maybe_unused]] std::size_t offset,
                    [[maybe_unused]] std::size_t size) noexcept {
#ifdef __linux__
    ::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(size),
                      SYNC_FILE_RANGE_WRITE);
#endif
}

int Close(int fd) noexcept {
    // A close that a signal interrupts has released the descriptor on Linux;
    // retrying could close a descriptor that another thread just opened.
    return ::close(fd) == 0 ? 0 : errno;
}

}  // namespace routalo::posix_file

namespace routalo {

std::optional<FileIdentity> IdentityOfFile(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return posix_file::IdentityFrom(status);
}

}  // namespace routalo
