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

// A text file opened for reading line by line.
//
// A line ends at a carriage return (CR) or at CR LF, which is one line end; a
// line feed that follows no CR belongs to the line's text. The last line may
// lack a line end. Reading when no byte is left fails.
//
// Lines are handed over in pieces, so that a line of any length is read in
// the memory of the buffer alone.
class TextInputFile {
  public:
    // Opens `path` for reading. Throws FileError when it cannot be opened or
    // is a directory.
    explicit TextInputFile(const std::string& path);
    ~TextInputFile();
    TextInputFile(const TextInputFile&) = delete;
    TextInputFile& operator=(const TextInputFile&) = delete;

    // Hands the next line, without its line end, to `consume` as one or more
    // consecutive pieces (none for an empty line), then moves past the line
    // end. Throws FileRefused at the end of the file, FileError when a read
    // fails.
    template <typename Consume>
    void ReadLine(Consume&& consume);

    // When the next line lies whole in the buffer, line end included, sets
    // `line` to it (without its line end) where it lies, moves past it and
    // returns true: the usual case, and no byte is copied. `line` stays valid
    // until the next read. An empty buffer is filled first. Otherwise takes
    // nothing and returns false, and ReadLine above takes the line in pieces.
    bool ReadBufferedLine(std::string_view& line);

    // Reads the next line into `line`, keeping at most `keep` bytes of it.
    void ReadLine(std::string& line, std::size_t keep);

    // The bytes not read yet, as far as the buffer holds them, without moving
    // past them; an empty buffer is filled first. Empty at the end of the
    // file. Valid until the next read. For logs whose lines are not the
    // lines above.
    std::string_view Buffered();

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
    // (inflating_input.h): every line, piece and peek is then the
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

    // Set when the last line ended in a CR that was the last byte of the
    // file then: a log still being written may get the LF of that CR LF in
    // a later write, and the next Refill takes it as part of the line end.
    bool lineFeedMayFollow_ = false;

    SystemFile file_;
    FileIdentity identity_;
    bool regular_ = false;
    std::unique_ptr<InflatingInput> inflater_;
    std::unique_ptr<char[]> buffer_;
    std::size_t begin_ = 0;  // next unread byte in the buffer
    std::size_t end_ = 0;    // end of the valid bytes in the buffer
};

template <typename Consume>
void TextInputFile::ReadLine(Consume&& consume) {
    if (begin_ == end_ && !Refill()) {
        throw FileRefused("read past end of file");
    }
    while (true) {
        const std::string_view rest(buffer_.get() + begin_, end_ - begin_);
        const std::size_t cr = rest.find('\r');
        if (cr == std::string_view::npos) {
            if (!rest.empty()) {
                consume(rest);
            }
            begin_ = end_;
            if (!Refill()) {
                return;  // the last line runs to the end of the file
            }
            continue;
        }
        if (cr > 0) {
            consume(rest.substr(0, cr));
        }
        begin_ += cr + 1;
        if (begin_ == end_ && !Refill()) {
            // The log ends in this CR for now; an LF that it gains later
            // belongs to this line end.
            lineFeedMayFollow_ = true;
        } else if (buffer_[begin_] == '\n') {
            ++begin_;
        }
        return;
    }
}

inline bool TextInputFile::ReadBufferedLine(std::string_view& line) {
    if (begin_ == end_ && !Refill()) {
        return false;  // at the end: ReadLine reports it
    }
    const std::string_view rest(buffer_.get() + begin_, end_ - begin_);
    const std::size_t cr = rest.find('\r');
    // The byte behind the CR must be in the buffer too, to tell CR LF apart.
    if (cr == std::string_view::npos || cr + 1 >= rest.size()) {
        return false;
    }
    line = rest.substr(0, cr);
    begin_ += cr + (rest[cr + 1] == '\n' ? 2 : 1);
    return true;
}

}  // namespace routalo
