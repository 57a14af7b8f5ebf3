#include "conversion/posix_file.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>

#include "conversion/errors.h"
#include "conversion/stop_request.h"

namespace routalo::posix_file {
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

// How long, once a stop is asked for, a write may still wait for a pipe's
// reader to take the rest of the lines in hand: a reader that keeps reading
// gets whole lines, one that has paused does not hold the stop up.
constexpr std::chrono::milliseconds kStopGrace{300};

// The pipe that wakes writes waiting in poll() when a stop is asked for,
// once OpenWakeUpPipe made it. The signal handler reads the write end,
// hence an atomic.
int wakeUpReadEnd = -1;
std::atomic<int> wakeUpWriteEnd{-1};

// Waits until `fd` takes bytes again; false once a stop was asked for and
// `giveUpAt` (set on the first look after the stop) has passed.
bool WaitUntilWritable(int fd, std::chrono::steady_clock::time_point& giveUpAt) {
    using Clock = std::chrono::steady_clock;
    while (true) {
        int timeout = -1;
        if (StopSignal() != 0) {
            if (giveUpAt == Clock::time_point{}) {
                giveUpAt = Clock::now() + kStopGrace;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(giveUpAt - Clock::now());
            if (left.count() <= 0) {
                return false;
            }
            timeout = static_cast<int>(left.count());
        }
        // Once stopping, the wake-up pipe stays readable: leave it out.
        pollfd waits[2] = {{fd, POLLOUT, 0}, {wakeUpReadEnd, POLLIN, 0}};
        const int ready = ::poll(waits, timeout < 0 ? 2 : 1, timeout);
        if (ready > 0 && waits[0].revents != 0) {
            return true;  // writable, or a failure that the next write tells
        }
    }
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
    return {IdentityFrom(status), S_ISDIR(status.st_mode), S_ISREG(status.st_mode),
            S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)};
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

void OpenWakeUpPipe() {
    int ends[2] = {-1, -1};
    if (wakeUpReadEnd < 0 && ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeUpReadEnd = ends[0];
        wakeUpWriteEnd = ends[1];
    }
}

void MakeWritesStoppable(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        Fail("cannot set up the file");
    }
}

void WakeWaitingWrites() noexcept {
    const int writeEnd = wakeUpWriteEnd;
    if (writeEnd >= 0) {
        const int savedErrno = errno;
        [[maybe_unused]] const ssize_t put = ::write(writeEnd, "!", 1);  // full is as good
        errno = savedErrno;
    }
}

std::thread StartThreadWithoutSignals(std::function<void()> run) {
    sigset_t all;
    sigset_t before;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &before);  // the new thread starts with this mask
    try {
        std::thread thread(std::move(run));
        ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
        return thread;
    } catch (...) {
        ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
        throw;
    }
}

std::size_t Read(int fd, char* buffer, std::size_t size) {
    // Looked at before every read too: a read that never waits (an endless
    // line from a device) must also end with a stop.
    ThrowIfStopRequested();
    const ssize_t got = RetryInterrupted([&] { return byteCalls.read(fd, buffer, size); });
    if (got < 0) {
        Fail("read failed");
    }
    return static_cast<std::size_t>(got);
}

std::size_t WriteAll(int fd, const char* data, std::size_t size, int& error) {
    std::size_t written = 0;
    std::chrono::steady_clock::time_point giveUpAt{};
    error = 0;
    while (written < size) {
        const ssize_t put = byteCalls.write(fd, data + written, size - written);
        if (put > 0) {
            written += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitUntilWritable(fd, giveUpAt)) {
                continue;
            }
            errno = EINTR;
        } else if (put < 0 && errno == EINTR && StopSignal() == 0) {
            continue;
        }
        error = put < 0 ? errno : ENOSPC;
        break;
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
