#pragma once

#include <atomic>

#include "conversion/errors.h"

// A stop that the user or the system asks of this process's conversions:
// Ctrl-C, `kill`, a hang-up (stop_signals.h). Once asked it stays asked. A
// conversion stops at the end of a line, and a wait of the file layer (an
// open, a read, a write that waits for the other end of a pipe) ends instead
// of going on, with StopRequested: the waits a stop ends are in
// stoppable_waits.h.
namespace routalo {

namespace detail {
// The signal that asked for the stop; 0 while none has. A signal handler
// sets it, or on Windows the console's own thread, while the conversion's
// threads read it: a lock-free atomic is safe for both.
extern std::atomic<int> requestedStop;
static_assert(std::atomic<int>::is_always_lock_free);
}  // namespace detail

// Asks for the stop on behalf of `signal`; the first request's signal stays,
// whichever threads or handlers ask at once. Wakes writes that wait for a
// pipe's reader. Safe to call from a signal handler.
void RequestStop(int signal) noexcept;

// The signal that asked for the stop; 0 while none has.
[[nodiscard]] inline int StopSignal() noexcept {
    // Acquire: what the thread that asked did before it asked is seen too.
    return detail::requestedStop.load(std::memory_order_acquire);
}

// Throws StopRequested once a stop has been asked for.
inline void ThrowIfStopRequested() {
    if (const int signal = StopSignal(); signal != 0) [[unlikely]] {
        throw StopRequested(signal);
    }
}

}  // namespace routalo
