#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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
// ones are worked out. The conversion reads its points straight into the
// thread's batches (Slot), so that no point is copied: a full batch is
// handed over, and the thread takes its points in the order they came, each
// with its moment from a PointClock of its own, while the other batch fills.
// The figures are the same as TripStats gives on the same points.
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

    // Where the next point is to be read: its texts keep the memory of a
    // point read before. The point taken last (Take) stays where it is, and
    // unchanged, until the next point has been taken.
    [[nodiscard]] TrackPoint& Slot() {
        // The places ahead were last read by the thread, on another core:
        // asked for now, they are here by the time the reader writes them,
        // instead of stalling it.
        if (count_ + kAhead < kBatchPoints) {
            const auto* ahead = reinterpret_cast<const char*>(&(*filling_)[count_ + kAhead]);
            for (std::size_t line = 0; line < sizeof(Entry); line += kCacheLine) {
                __builtin_prefetch(ahead + line, 1);
            }
        }
        return (*filling_)[count_].point;
    }

    // Takes the point read into Slot(), as TripStats::Add, its moment read
    // on the thread; `continuesChain` when a segment joins it to the one
    // before.
    void Take(bool continuesChain) {
        (*filling_)[count_++].continuesChain = continuesChain;
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
    struct Entry {
        TrackPoint point;
        bool continuesChain = false;
    };
    static constexpr std::size_t kAhead = 8;
    static constexpr std::size_t kCacheLine = 64;
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
