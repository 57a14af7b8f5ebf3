#include "conversion/files/background_writer.h"

#include <string_view>

#include "conversion/errors.h"
#include "conversion/files/stop_request.h"

namespace routalo {

BackgroundWriter::BackgroundWriter(SystemFile& file, std::size_t capacity) : file_(file) {
    inHand_.reserve(capacity);
    thread_ = StartWriterThread([this] { Run(); });
}

BackgroundWriter::~BackgroundWriter() {
    {
        std::unique_lock lock(mutex_);
        WaitUntilIdle(lock);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BackgroundWriter::Write(std::string& lines) {
    {
        std::unique_lock lock(mutex_);
        WaitUntilIdle(lock);
        ThrowIfFailed();
        inHand_.swap(lines);
        lines.clear();
        busy_ = true;
    }
    changed_.notify_all();
}

void BackgroundWriter::Finish() {
    std::unique_lock lock(mutex_);
    WaitUntilIdle(lock);
    ThrowIfFailed();
}

void BackgroundWriter::WaitUntilIdle(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !busy_; });
}

void BackgroundWriter::ThrowIfFailed() const {
    if (error_ == std::errc::interrupted) {  // the write gave up for a stop
        throw StopRequested(StopSignal());
    }
    if (error_) {
        throw FileError(error_, "write failed");
    }
}

void BackgroundWriter::Run() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return busy_ || stopping_; });
        if (!busy_) {
            return;
        }
        const bool failed = static_cast<bool>(error_);
        lock.unlock();
        if (!failed) {
            WriteOut();
        }
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

// Runs on the thread, outside the lock: the other side leaves inHand_ alone
// while busy_ is set.
void BackgroundWriter::WriteOut() {
    std::error_code error;
    const std::size_t put = file_.WriteAll(inHand_.data(), inHand_.size(), error);
    if (!error) {
        if (regular_) {
            file_.StartWriteBack(written_, put);
        }
        written_ += put;
        return;
    }
    // Keep whole lines only: cut the file back to the last line end that got
    // out. The buffer holds whole lines, so that end is a CR LF within it.
    const std::size_t lastLineEnd = std::string_view(inHand_).substr(0, put).rfind(kLineEnd);
    const std::size_t keep =
        lastLineEnd == std::string_view::npos ? 0 : lastLineEnd + kLineEnd.size();
    if (regular_ && keep < put) {
        try {
            file_.Truncate(written_ + keep);
        } catch (
            const std::exception&) {  // NOLINT(bugprone-empty-catch): the write error is reported
        }
    }
    written_ += keep;
    const std::lock_guard lock(mutex_);
    error_ = error;
}

}  // namespace routalo
