#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <utility>

#include "conversion/stop/stop_request.h"
#include "conversion/stop/stoppable_waits.h"

namespace routalo {
namespace {

// How long, once a stop is asked for, a write may still wait for a pipe's
// reader to take the rest of the lines in hand.
constexpr std::chrono::milliseconds kStopGrace{300};

// The pipe that wakes writes waiting in poll() when a stop is asked for,
// once PrepareStoppableWaits made it. The signal handler reads the write
// end and the writer threads the read end, hence atomics.
std::atomic<int> wakeUpReadEnd{-1};
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
        WakeStoppableWaits();
    }
}

}  // namespace

void PrepareStoppableWaits() {
    int ends[2] = {-1, -1};
    if (wakeUpReadEnd < 0 && ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeUpReadEnd = ends[0];
        wakeUpWriteEnd = ends[1];
    }
}

void WakeStoppableWaits() noexcept {
    const int writeEnd = wakeUpWriteEnd;
    if (writeEnd >= 0) {
        const int savedErrno = errno;
        [[maybe_unused]] const ssize_t put = ::write(writeEnd, "!", 1);  // full is as good
        errno = savedErrno;
    }
}

// Waits in poll(), which the wake-up pipe ends, for a pipe's reader to take
// bytes again.
bool WaitUntilWritable(std::intptr_t handle, std::chrono::steady_clock::time_point& giveUpAt) {
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
        pollfd waits[2] = {{static_cast<int>(handle), POLLOUT, 0}, {wakeUpReadEnd, POLLIN, 0}};
        const int ready = ::poll(waits, timeout < 0 ? 2 : 1, timeout);
        if (ready > 0 && waits[0].revents != 0) {
            return true;  // writable, or a failure that the next write tells
        }
        if (timeout < 0 && waits[1].revents != 0) {
            DrainWakeUps();
        }
    }
}

std::thread StartStoppableThread(std::function<void()> run) {
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

}  // namespace routalo
