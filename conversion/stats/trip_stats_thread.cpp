#include "conversion/stats/trip_stats_thread.h"

#include <utility>

#include "conversion/stop/stoppable_waits.h"

namespace routalo {

TripStatsThread::TripStatsThread(ClassRule rule) {
    for (Batch& batch : batches_) {
        batch.resize(kBatchPoints);
    }
    thread_ =
        StartStoppableThread([this, rule = std::move(rule)]() mutable { Run(std::move(rule)); });
}

TripStatsThread::~TripStatsThread() {
    for (std::size_t index = 0; index < kBatches; ++index) {
        try {
            TakeBack(index);
        } catch (...) {  // NOLINT(bugprone-empty-catch): reported by Figures, or not asked for
        }
    }
    jobs_.Push(std::nullopt);
    thread_.join();
}

void TripStatsThread::TakeBack(std::size_t index) {
    if (inHand_.at(index).valid()) {
        try {
            inHand_.at(index).get();
        } catch (...) {
            failure_ = failure_ ? failure_ : std::current_exception();
        }
    }
    if (failure_) {
        std::rethrow_exception(failure_);
    }
}

void TripStatsThread::HandOver(bool last) {
    Job job;
    job.batch = filling_;
    job.count = count_;
    job.last = last;
    inHand_.at(fillingIndex_) = job.done.get_future();
    jobs_.Push(std::move(job));
    fillingIndex_ = (fillingIndex_ + 1) % kBatches;
    filling_ = &batches_.at(fillingIndex_);
    count_ = 0;
    TakeBack(fillingIndex_);
}

TripFigures TripStatsThread::Figures() {
    HandOver(true);
    // Every batch still in hand, the oldest first, so that the first
    // failure is the one reported.
    for (std::size_t older = 0; older < kBatches; ++older) {
        TakeBack((fillingIndex_ + older) % kBatches);
    }
    return figures_;
}

// A failure keeps the thread going: the next job it gets is the end, since
// nothing more is handed over once TakeBack has thrown it.
void TripStatsThread::Run(ClassRule rule) {
    TripStats stats(std::move(rule));
    PointClock clock;
    // The place of the last point of the batch before: the conversion
    // reads into that batch again once this one is handed back.
    TrackPoint previous;
    while (std::optional<Job> job = jobs_.Pop()) {
        try {
            const Batch& batch = *job->batch;
            for (std::size_t i = 0; i < job->count; ++i) {
                const Entry& entry = batch[i];
                stats.Add(entry.point, i == 0 ? previous : batch[i - 1].point,
                          clock.MomentOf(entry.point), entry.continuesChain);
            }
            if (job->count > 0) {
                const TrackPoint& last = batch[job->count - 1].point;
                previous.Latitude.assign(last.Latitude);
                previous.Longitude.assign(last.Longitude);
            }
            if (job->last) {
                figures_ = stats.Figures();
            }
            job->done.set_value();
        } catch (...) {
            job->done.set_exception(std::current_exception());
        }
    }
}

}  // namespace routalo
