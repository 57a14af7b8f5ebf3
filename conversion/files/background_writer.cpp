#include "conversion/files/background_writer.h"

#include <string_view>
#include <system_error>
#include <utility>

#include "conversion/errors.h"
#include "conversion/stop/stop_request.h"
#include "conversion/stop/stoppable_waits.h"

namespace routalo {

BackgroundWriter::BackgroundWriter(SystemFile& file, std::size_t capacity) : file_(file) {
    spare_.reserve(capacity);
    thread_ = StartStoppableThread([this] { Run(); });
}

BackgroundWriter::~BackgroundWriter() {
    try {
        TakeBack();
    } catch (...) {  // NOLINT(bugprone-empty-catch): reported by Write or Finish, or not asked for
    }
    jobs_.Push(std::nullopt);
    thread_.join();
}

void BackgroundWriter::Write(std::string& lines) {
    TakeBack();
    WriteJob job;
    inHand_ = job.written.get_future();
    job.lines.swap(lines);
    lines.swap(spare_);
    jobs_.Push(std::move(job));
}

void BackgroundWriter::Finish() {
    TakeBack();
}

void BackgroundWriter::TakeBack() {
    if (inHand_.valid()) {
        try {
            spare_ = inHand_.get();
        } catch (...) {
            failure_ = std::current_exception();
        }
    }
    if (failure_) {
        std::rethrow_exception(failure_);
    }
}

// A failed write keeps the thread going: the next job it gets is the end,
// since Write hands no buffer over after a failure.
void BackgroundWriter::Run() {
    while (std::optional<WriteJob> job = jobs_.Pop()) {
        try {
            WriteOut(job->lines);
            job->lines.clear();
            job->written.set_value(std::move(job->lines));
        } catch (...) {
            job->written.set_exception(std::current_exception());
        }
    }
}

// Runs on the thread. Throws FileError when the write fails, StopRequested
// when it gave up for a stop.
void BackgroundWriter::WriteOut(const std::string& lines) {
    std::error_code error;
    const std::size_t put = file_.WriteAll(lines.data(), lines.size(), error);
    if (!error) {
        if (regular_) {
            file_.StartWriteBack(written_, put);
        }
        written_ += put;
        return;
    }
    // Keep whole lines only: cut the file back to the last line end that got
    // out. The buffer holds whole lines, so that end is a CR LF within it.
    const std::size_t lastLineEnd = std::string_view(lines).substr(0, put).rfind(kLineEnd);
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
    if (error == std::errc::interrupted) {  // the write gave up for a stop
        throw StopRequested(StopSignal());
    }
    throw FileError(error, "write failed");
}

}  // namespace routalo
