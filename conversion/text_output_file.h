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

    // Writes the line that `build` appends to the string it is handed,
    // followed by CR LF. The line is put together in the buffer itself, so
    // it is never copied; when `build` throws, nothing of it stays.
    template <typename Build>
    void WriteLineBuiltBy(Build&& build);

    // Writes out what is buffered and closes the file. Throws FileError when
    // either fails; the file is closed all the same.
    void Close();

    // Closes after a failure elsewhere: keeps the complete lines written so
    // far, as far as the disk takes them, and reports nothing.
    void Abandon() noexcept;

  private:
    // The buffer's size, and the room left for the line being put together:
    // the buffer is handed to the writer when less is left. A longer line
    // makes the buffer grow.
    static constexpr std::size_t kBufferSize = std::size_t{1024} * 1024;
    static constexpr std::size_t kLineRoom = std::size_t{64} * 1024;

    void StartLine();
    void Flush();

    int fd_ = -1;
    bool regular_ = false;  // only regular files can be cut back
    bool broken_ = false;   // a write failed; nothing more goes out
    std::string buffer_;    // lines not yet handed to the writer
    std::optional<BackgroundWriter> writer_;
};

template <typename Build>
void TextOutputFile::WriteLineBuiltBy(Build&& build) {
    StartLine();
    const std::size_t start = buffer_.size();
    try {
        build(buffer_);
        buffer_.append(kLineEnd);
    } catch (...) {
        buffer_.resize(start);
        throw;
    }
}

}  // namespace routalo
