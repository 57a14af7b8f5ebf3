#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "conversion/errors.h"
#include "conversion/files/file_identity.h"
#include "conversion/files/system_file.h"

namespace routalo {

class InflatingInput;

// A log file opened for reading, as a buffer of its bytes: a reader looks at
// the bytes that the buffer holds, takes what it needs and moves past it.
// Each reader keeps the rule of its log's lines, records or markup itself.
class TextInputFile {
  public:
    // Opens `path` for reading. Throws FileError when it cannot be opened or
    // is a directory.
    explicit TextInputFile(const std::string& path);
    ~TextInputFile();
    TextInputFile(const TextInputFile&) = delete;
    TextInputFile& operator=(const TextInputFile&) = delete;

    // The bytes not read yet, as far as the buffer holds them, without moving
    // past them; an empty buffer is filled first. Empty at the end of the
    // file. Valid until the next read. Inline: readers ask for it for every
    // line or piece.
    std::string_view Buffered() {
        if (begin_ == end_ && !Refill()) {
            return {};
        }
        return {buffer_.get() + begin_, end_ - begin_};
    }

    // The bytes not read yet, at least `count` of them where the file holds
    // that many: reads on, one read at a time, until the buffer holds them or
    // the file ends. A pipe's writer may send a log in pieces of any size;
    // a caller that decides on the first bytes asks for one more byte at a
    // time until it can. `count` may not exceed kPeekLimit.
    std::string_view Peek(std::size_t count);
    static constexpr std::size_t kPeekLimit = std::size_t{64} * 1024;

    // Moves past the first `count` bytes of Buffered().
    void Skip(std::size_t count) { begin_ += count; }

    // True once every byte of the file has been consumed.
    [[nodiscard]] bool AtEnd();

    [[nodiscard]] const FileIdentity& Identity() const { return identity_; }

    // Whether the file is a regular file, which can be opened and read
    // again from its start; a pipe, a FIFO or a terminal gives its bytes once.
    [[nodiscard]] bool Regular() const { return regular_; }

    // From here on, reads the bytes not read yet, a gzip stream, inflated
    // (inflating_input.h): every byte buffered or peeked is then the
    // stream's, which a reader of any kind of log reads as it would read
    // the log itself.
    void InflateRest();

    // Closes the file; closing twice is no failure.
    void Close() noexcept;

  private:
    // Reads up to `size` bytes into `to`, from the file or through the
    // inflater; 0 at the end.
    std::size_t ReadSome(char* to, std::size_t size);

    // Fills the buffer when it is used up; false at the end of the file.
    bool Refill();

    SystemFile file_;
    FileIdentity identity_;
    bool regular_ = false;
    std::unique_ptr<InflatingInput> inflater_;
    std::unique_ptr<char[]> buffer_;
    std::size_t begin_ = 0;  // next unread byte in the buffer
    std::size_t end_ = 0;    // end of the valid bytes in the buffer
};

}  // namespace routalo
