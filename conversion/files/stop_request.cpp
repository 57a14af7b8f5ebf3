#include "conversion/files/stop_request.h"

#include "conversion/files/system_file.h"

namespace routalo {

namespace detail {
volatile std::sig_atomic_t requestedStop = 0;
}  // namespace detail

void PrepareStopRequests() {
    PrepareWakeUps();
}

void RequestStop(int signal) noexcept {
    if (detail::requestedStop == 0) {
        detail::requestedStop = signal;
    }
    WakeWaitingWrites();
}

}  // namespace routalo
