#include "conversion/stop_request.h"

#include "conversion/posix_file.h"

namespace routalo {

namespace detail {
volatile std::sig_atomic_t requestedStop = 0;
}  // namespace detail

void PrepareStopRequests() {
    posix_file::OpenWakeUpPipe();
}

void RequestStop(int signal) noexcept {
    if (detail::requestedStop == 0) {
        detail::requestedStop = signal;
    }
    posix_file::WakeWaitingWrites();
}

}  // namespace routalo
