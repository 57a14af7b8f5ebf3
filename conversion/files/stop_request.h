#pragma once

#include <csignal>

#include "conversion/errors.h"

// A stop that the user or the system asks of this process's conversions:
// Ctrl-C, `kill`, a hang-up. Once asked it stays asked. A conversion stops
// at the end of a line, and a wait of the file layer (an open, a read, a
// write that waits for the other end of a pipe) ends instead of going on,
// with StopRequested.
namespace routalo {

namespace detail {
// The signal that asked for the stop; 0 while none has.
extern volatile std::sig_atomic_t requestedStop;
}  // namespace detail

// Sets up what RequestStop needs to wake the waits of the file layer; once
// a process, before the first request can come.
void PrepareStopRequests();

// Asks for the stop on behalf of `signal`; a later request keeps the first
// one's signal. Wakes writes that wait for a pipe's reader. Safe to call
// from a signal handler.
void RequestStop(int signal) noexcept;

// The signal that asked for the stop; 0 while none has.
[[nodiscard]] inline int StopSignal() noexcept {
    return detail::requestedStop;
}

// Throws StopRequested once a stop has been asked for.
inline void ThrowIfStopRequested() {
    if (const int signal = StopSignal(); signal != 0) [[unlikely]] {
        throw StopRequested(signal);
    }
}

}  // namespace routalo
