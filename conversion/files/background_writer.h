#pragma once

#include <cstddef>
#include <exception>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "conversion/files/one_slot_queue.h"
#include "conversion/files/system_file.h"

namespace routalo {

// The end of every line written: CR LF.
inline constexpr std::string_view kLineEnd = "\r\n";

// Writes buffers of whole lines to an open file on a thread of its own, one
// buffer at a time, so that making the next lines and writing the last ones
// go on side by side. Only whole lines reach the file: when a write fails
// part-way (a full disk), the file is cut back to the last line end that got
// out, and nothing more is written.
//
// Each buffer goes to the thread with the promise of its outcome: the
// buffer back, emptied, for the next lines, or the write's failure.
class BackgroundWriter {
  public:
    // Sets aside room for a buffer of `capacity` bytes, so that the buffers
    // that trade places with Write need none, and starts the thread. `file`
    // need not be open yet: it is first written at the first Write. Throws,
    // with no thread left running, when the room or the thread cannot be had.
    BackgroundWriter(SystemFile& file, std::size_t capacity);
    // Waits for the buffer in hand to be written; reports nothing.
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Tells, before the first Write, whether the file is a regular file,
    // which can be cut back.
    void SetRegular(bool regular) { regular_ = regular; }

    // Waits until the buffer handed over before is written, then takes
    // `lines` and leaves an empty buffer in its place. Throws FileError when
    // an earlier write failed, StopRequested when a write gave up for a stop.
    void Write(std::string& lines);

    // Waits until every buffer handed over is written. Throws as Write does.
    void Finish();

  private:
    struct WriteJob {
        std::string lines;
        std::promise<std::string> written;
    };

    void Run();
    void WriteOut(const std::string& lines);
    // Waits for the buffer in hand, if any, and takes it back; then throws
    // the first failure of any write, for as long as the writer lives.
    void TakeBack();

    SystemFile& file_;
    bool regular_ = false;     // set before the first Write, read by the thread after it
    std::size_t written_ = 0;  // bytes that reached the file; the thread's own

    std::string spare_;                           // the emptied buffer that Write hands back
    std::future<std::string> inHand_;             // the outcome of the buffer being written
    std::exception_ptr failure_;                  // the first write's failure
    OneSlotQueue<std::optional<WriteJob>> jobs_;  // nothing: the thread ends

    std::thread thread_;  // started once the rest is in place
};

}  // namespace routalo
