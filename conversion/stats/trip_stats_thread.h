#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "conversion/class_rule.h"
#include "conversion/files/one_slot_queue.h"
#include "conversion/stats/trip_stats.h"
#include "conversion/track_point.h"

namespace routalo {

// Keeps a trip's figures (TripStats) on a thread of its own, so that the
// conversion reads and writes the next points while the figures of the last
// ones are worked out: the points are handed over in batches, copied, and
// the thread takes them in the order they came, each with its moment from a
// PointClock of its own. The figures are the same as TripStats gives on the
// same points.
class TripStatsThread {
  public:
    // Starts the thread. Throws, with no thread left running, when the
    // thread cannot be had.
    explicit TripStatsThread(ClassRule rule);
    // Ends the thread; the points not yet taken are forgotten.
    ~TripStatsThread();
    TripStatsThread(const TripStatsThread&) = delete;
    TripStatsThread& operator=(const TripStatsThread&) = delete;
    TripStatsThread(TripStatsThread&&) = delete;
    TripStatsThread& operator=(TripStatsThread&&) = delete;

    // Takes the next point, as TripStats::Add, its moment read on the
    // thread; `continuesChain` when a segment joins it to the one before.
    void Add(const TrackPoint& point, bool continuesChain) {
        Entry& entry = (*filling_)[count_++];
        Copy(entry.point.Latitude, point.Latitude);
        Copy(entry.point.Longitude, point.Longitude);
        Copy(entry.point.Speed, point.Speed);
        Copy(entry.point.Date, point.Date);
        Copy(entry.point.Time, point.Time);
        entry.continuesChain = continuesChain;
        if (count_ == kBatchPoints) {
            HandOver(false);
        }
    }

    // The figures of every point taken. Throws what the thread met, if
    // anything (a speed that no class takes).
    [[nodiscard]] TripFigures Figures();

    // Points in a batch: enough that handing one over costs nothing much,
    // few enough that the batches take some hundreds of KiB.
    static constexpr std::size_t kBatchPoints = 2048;

  private:
    // A text into one that had room for it before: the commonest case,
    // without assign's general way.
    static void Copy(std::string& to, const std::string& from) {
        if (to.size() != from.size()) {
            to.resize(from.size());
        }
        std::memcpy(to.data(), from.data(), from.size());
    }

    struct Entry {
        TrackPoint point;
        bool continuesChain = false;
    };
    using Batch = std::vector<Entry>;
    struct Job {
        Batch* batch = nullptr;
        std::size_t count = 0;
        bool last = false;
        std::promise<void> done;
    };

    void HandOver(bool last);
    // Waits for the batch in hand; rethrows what the thread met.
    void TakeBack();
    void Run(ClassRule rule);

    // The batch being filled, and the other one, which the thread takes
    // while this one fills.
    std::array<Batch, 2> batches_;
    Batch* filling_ = &batches_[0];
    std::size_t count_ = 0;
    std::future<void> inHand_;
    std::exception_ptr failure_;
    OneSlotQueue<std::optional<Job>> jobs_;  // nothing: the thread ends
    TripFigures figures_;                    // the thread's, read once it is done
    std::thread thread_;
};

}  // namespace routalo
