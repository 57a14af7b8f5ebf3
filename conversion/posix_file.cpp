#include "conversion/posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "conversion/errors.h"

namespace routalo::posix_file {
namespace {

[[noreturn]] void Fail(const char* what) {
    throw FileError(std::string(what) + ": " + Reason(errno));
}

struct stat SystemStatusOf(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        Fail("cannot inspect file");
    }
    return status;
}

}  // namespace

ByteCalls byteCalls{::read, ::write};

std::string Reason(int error) {
    return std::strerror(error);
}

int OpenForReading(const std::string& path) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        Fail("cannot open");
    }
    return fd;
}

int OpenForWriting(const std::string& path) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        Fail("cannot create");
    }
    return fd;
}

FileStatus StatusOf(int fd) {
    const struct stat status = SystemStatusOf(fd);
    return {{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)},
            S_ISDIR(status.st_mode),
            S_ISREG(status.st_mode)};
}

void Truncate(int fd, std::size_t size) {
    int result = 0;
    do {
        result = ::ftruncate(fd, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        Fail("cannot empty file");
    }
}

std::size_t Read(int fd, char* buffer, std::size_t size) {
    while (true) {
        const ssize_t got = byteCalls.read(fd, buffer, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            Fail("read failed");
        }
    }
}

std::size_t WriteAll(int fd, const char* data, std::size_t size, int& error) {
    std::size_t written = 0;
    error = 0;
    while (written < size) {
        const ssize_t put = byteCalls.write(fd, data + written, size - written);
        if (put > 0) {
            written += static_cast<std::size_t>(put);
        } else if (put < 0 && errno == EINTR) {
            continue;
        } else {
            error = put < 0 ? errno : ENOSPC;
            break;
        }
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
