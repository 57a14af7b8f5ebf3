#include "app/stop_signals.h"

#include <initializer_list>

namespace routalo {

volatile std::sig_atomic_t stopSignal = 0;

namespace {

extern "C" void AskToStop(int signal) {
    if (stopSignal == 0) {
        stopSignal = signal;
    }
}

}  // namespace

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = AskToStop;
    sigemptyset(&action.sa_mask);
    // Back to the default at once, so that a second signal ends a run that
    // waits on something that will not come.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

void IgnoreWriteSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGPIPE, SIGXFSZ}) {
        sigaction(signal, &action, nullptr);
    }
}

}  // namespace routalo
