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
// with its moment from a PointClock of its own, while the next batch fills.
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
        if (count_ + kAhead < kBatchPoints) {
            const auto* ahead = reinterpret_cast<const char*>(&(*filling_)[count_ + kAhead]);
            for (std::size_t line = 0; line < sizeof(Entry); line += kCacheLine) {
                FetchForWriting(ahead + line);
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
    // few enough that the batches take about a MiB.
    static constexpr std::size_t kBatchPoints = 2048;

  private:
    struct Entry {
        TrackPoint point;
        bool continuesChain = false;
    };
    // The places ahead were last read by the thread, on another core. Were
    // the reader to write them as they stand, every point would wait for
    // its places to be taken from there; asked for a few points ahead,
    // they are here, and writable, by the time it does. Taken for reading
    // only, as a plain prefetch asks, each write would still wait: x86's
    // PREFETCHW (a no-op where a processor lacks it) asks for writing, and
    // the compilers' own prefetch asks for it only where the build's
    // processor level has it.
    static void FetchForWriting(const char* at) {
#if defined(__x86_64__) || defined(__i386__)
        asm volatile("prefetchw %0" : : "m"(*at));
#else
        __builtin_prefetch(at, 1);
#endif
    }
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
    // Waits until the thread is done with the batch `index`; rethrows what
    // the thread met.
    void TakeBack(std::size_t index);
    void Run(ClassRule rule);

    // The batches, taken in turn: the conversion fills one while the thread
    // works on those before, so that neither waits for the other while one
    // of them is held up for a moment.
    static constexpr std::size_t kBatches = 3;
    std::array<Batch, kBatches> batches_;
    std::array<std::future<void>, kBatches> inHand_;
    std::size_t fillingIndex_ = 0;
    Batch* filling_ = &batches_[0];
    std::size_t count_ = 0;
    std::exception_ptr failure_;
    OneSlotQueue<std::optional<Job>> jobs_;  // nothing: the thread ends
    TripFigures figures_;                    // the thread's, read once it is done
    std::thread thread_;
};

}  // namespace routalo
