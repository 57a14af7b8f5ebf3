#pragma once

// The file layer's seam for a stop: the waits of the file layer that only
// the other end of a pipe would end (a write to a pipe whose reader has
// paused) are woken through it, so that they see the stop and give up. The
// stop (stop_request.h) calls it; the file layer implements it beside its
// waits, for each system.
namespace routalo {

// Sets up what WakeWaitingWrites needs; once a process, before the first
// stop can be asked for.
void PrepareWakeUps();

// Wakes the writes that wait for a pipe's other end, so that they see a stop
// asked for. Safe in a signal handler.
void WakeWaitingWrites() noexcept;

}  // namespace routalo
