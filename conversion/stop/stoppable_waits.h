#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

// The waits that a stop (stop_request.h) ends, for each system; each has its
// implementation beside this header. On POSIX systems a write that waits
// for a pipe's reader waits in poll() beside a wake-up pipe, which a stop
// writes to; on Windows a stop cancels the synchronous calls of the threads
// listed here (the main thread, the writer threads), so that an open, a read
// or a write of a pipe fails and sees the stop. The file layer waits through
// these; nothing here knows the files.
namespace routalo {

// Sets up the wake-ups: the wake-up pipe, or the listing of the calling
// thread, the main one. Once a process, before the first stop can be asked
// for; CatchStopSignals does it.
void PrepareStoppableWaits();

// Wakes the waits that only the other end of a pipe would end, so that they
// see a stop asked for; without a stop they wait on. Safe in a signal
// handler. RequestStop calls it, and on Windows the nudges again.
void WakeStoppableWaits() noexcept;

// Waits until `handle`, an open file whose write would have waited (a pipe),
// takes bytes again. False once a stop was asked for and `giveUpAt`, set on
// the first look after the stop, has passed: a reader that keeps reading
// gets whole lines, one that has paused does not hold the stop up. On
// Windows, whose writes wait inside WriteFile and never ask to wait here,
// always false.
[[nodiscard]] bool WaitUntilWritable(std::intptr_t handle,
                                     std::chrono::steady_clock::time_point& giveUpAt);

// Starts `run` on a thread whose waits for a pipe's other end a stop can
// end. On POSIX systems no signal interrupts it: signals go to the main
// thread, whose waits they are meant to end.
[[nodiscard]] std::thread StartStoppableThread(std::function<void()> run);

}  // namespace routalo
