#include "conversion/stop/stop_signals.h"

#include <signal.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <initializer_list>
#include <string>

#include "conversion/stop/stop_request.h"
#include "conversion/stop/stoppable_waits.h"

namespace routalo {
namespace {

// How often, once a stop was asked for, the main thread's waits are
// interrupted again.
constexpr long kNudgeNanoseconds = 50'000'000;

// A timer that, once started, sends the nudge signal every kNudgeNanoseconds.
// A stop signal interrupts the wait that the program is in; one that comes
// just before a wait begins would be missed by it, but the nudges interrupt
// that wait too, so it sees the stop.
timer_t nudgeTimer{};
// Whether a stop signal starts the nudges; cleared for good by StopNudging.
// A signal handler reads it on whichever thread the signal lands, while the
// main thread sets and clears it: a lock-free atomic, as the stop itself.
// Release and acquire: a handler that sees it set sees the timer too.
std::atomic<bool> haveNudgeTimer{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void AskToStop(int signal) {
    const int savedErrno = errno;
    RequestStop(signal);
    if (haveNudgeTimer.load(std::memory_order_acquire)) {
        const itimerspec every{{0, kNudgeNanoseconds}, {0, kNudgeNanoseconds}};
        ::timer_settime(nudgeTimer, 0, &every, nullptr);
    }
    errno = savedErrno;
}

// Does nothing: the nudge's work is done by interrupting the wait.
extern "C" void Nudged(int /*signal*/) {}

void Handle(int signal, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    ::sigaction(signal, &action, nullptr);
}

}  // namespace

void CatchStopSignals() {
    // Without SA_RESTART, so that a signal ends the wait it interrupts
    // instead of resuming it.
    PrepareStoppableWaits();
    const int nudge = SIGRTMIN;
    Handle(nudge, Nudged, 0);
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = nudge;
    haveNudgeTimer.store(::timer_create(CLOCK_MONOTONIC, &event, &nudgeTimer) == 0,
                         std::memory_order_release);
    // A further signal asks again and changes nothing: the stop is on its
    // way. timeout(1), for one, sends its signal twice, to the program and
    // to its process group.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        Handle(signal, AskToStop, 0);
    }
}

// The flag first: a stop signal that comes after it starts no nudges, and
// one that came before started the timer that goes now.
void StopNudging() {
    if (haveNudgeTimer.exchange(false, std::memory_order_acq_rel)) {
        ::timer_delete(nudgeTimer);
    }
}

std::string StopName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(signal);
    }
}

int ExitStatusAfterStop(int signal) {
    return 128 + signal;
}

}  // namespace routalo
