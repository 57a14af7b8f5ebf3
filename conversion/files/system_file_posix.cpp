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
#include <utility>

#include "conversion/errors.h"
#include "conversion/files/stop_request.h"
#include "conversion/files/system_file.h"
#include "conversion/files/wake_ups.h"

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

// How long, once a stop is asked for, a write may still wait for a pipe's
// reader to take the rest of the lines in hand: a reader that keeps reading
// gets whole lines, one that has paused does not hold the stop up.
constexpr std::chrono::milliseconds kStopGrace{300};

// The pipe that wakes writes waiting in poll() when a stop is asked for,
// once PrepareWakeUps made it. The signal handler reads the write end,
// hence an atomic.
int wakeUpReadEnd = -1;
std::atomic<int> wakeUpWriteEnd{-1};

// Empties the wake-up pipe, which holds bytes that no stop wrote (a stray
// write to its descriptor): left there, they would end every wait for a
// pipe's reader at once, and the wait would spin instead of sleeping. A stop
// that came meanwhile wakes the other waits again.
void DrainWakeUps() noexcept {
    if (StopSignal() != 0) {
        return;  // a stop's wake-up: the caller sees the stop
    }
    char bytes[64];
    while (::read(wakeUpReadEnd, bytes, sizeof bytes) > 0) {
    }
    if (StopSignal() != 0) {
        WakeWaitingWrites();
    }
}

}  // namespace

SystemFile SystemFile::OpenForReading(const std::string& path) {
    return SystemFile(OpenDescriptor(path, O_RDONLY));
}

SystemFile SystemFile::OpenForWriting(const std::string& path) {
    return SystemFile(OpenDescriptor(path, O_WRONLY | O_CREAT));
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
// poll(), which the wake-up pipe ends.
void SystemFile::MakeWritesStoppable() {
    const int flags = ::fcntl(Descriptor(handle_), F_GETFL);
    if (flags < 0 || ::fcntl(Descriptor(handle_), F_SETFL, flags | O_NONBLOCK) != 0) {
        Fail("cannot set up the file");
    }
}

// Waits in poll(), which the wake-up pipe ends, for a pipe's reader to take
// bytes again.
bool SystemFile::WaitUntilWritable(std::chrono::steady_clock::time_point& giveUpAt) const {
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
        pollfd waits[2] = {{Descriptor(handle_), POLLOUT, 0}, {wakeUpReadEnd, POLLIN, 0}};
        const int ready = ::poll(waits, timeout < 0 ? 2 : 1, timeout);
        if (ready > 0 && waits[0].revents != 0) {
            return true;  // writable, or a failure that the next write tells
        }
        if (timeout < 0 && waits[1].revents != 0) {
            DrainWakeUps();
        }
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

void PrepareWakeUps() {
    int ends[2] = {-1, -1};
    if (wakeUpReadEnd < 0 && ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeUpReadEnd = ends[0];
        wakeUpWriteEnd = ends[1];
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

bool RemoveFile(const std::string& path) noexcept {
    return ::unlink(path.c_str()) == 0;
}

std::thread StartWriterThread(std::function<void()> run) {
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

std::optional<FileIdentity> IdentityOfFile(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return IdentityFrom(status);
}

}  // namespace routalo
