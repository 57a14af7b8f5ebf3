#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/background_writer.h"
#include "conversion/file_identity.h"

namespace routalo {

// A text file opened for writing line by line; every line ends in CR LF.
//
// Lines are gathered in a buffer and written out whole, on a thread of their
// own, so the file only ever holds complete lines: when a write fails
// part-way (a full disk), the file is cut back to the end of the last line
// that reached it. A failure shows at the next hand-over of a buffer or at
// Close at the latest.
class TextOutputFile {
  public:
    // Creates `path`, or empties it when it exists. When `mustDiffer` is
    // given and `path` names that file (by any name), nothing is touched and
    // FileError is thrown; so is it when the file cannot be created.
    explicit TextOutputFile(const std::string& path,
                            std::optional<FileIdentity> mustDiffer = std::nullopt);
    ~TextOutputFile();
    TextOutputFile(const TextOutputFile&) = delete;
    TextOutputFile& operator=(const TextOutputFile&) = delete;

    // Writes `text` followed by CR LF. Throws FileError when writing fails.
    void WriteLine(std::string_view text);

    // Writes out what is buffered and closes the file. Throws FileError when
    // either fails; the file is closed all the same.
    void Close();

    // Closes after a failure elsewhere: keeps the complete lines written so
    // far, as far as the disk takes them, and reports nothing.
    void Abandon() noexcept;

  private:
    // The buffer's size, and the room kept for the next line: the buffer is
    // handed to the writer when less is left. A longer line makes it grow.
    static constexpr std::size_t kBufferSize = std::size_t{1024} * 1024;
    static constexpr std::size_t kLineRoom = std::size_t{64} * 1024;

    void Flush();

    int fd_ = -1;
    bool regular_ = false;  // only regular files can be cut back
    bool broken_ = false;   // a write failed; nothing more goes out
    std::string buffer_;    // lines not yet handed to the writer
    std::optional<BackgroundWriter> writer_;
};

}  // namespace routalo
