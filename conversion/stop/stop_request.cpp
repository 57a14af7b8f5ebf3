#include "conversion/stop/stop_request.h"

#include "conversion/stop/stoppable_waits.h"

namespace routalo {

namespace detail {
std::atomic<int> requestedStop{0};
}  // namespace detail

// One compare-exchange: of two requests at once, exactly one finds no stop
// asked for yet and sets its signal.
void RequestStop(int signal) noexcept {
    int none = 0;
    detail::requestedStop.compare_exchange_strong(none, signal, std::memory_order_acq_rel,
                                                  std::memory_order_acquire);
    WakeStoppableWaits();
}

}  // namespace routalo
