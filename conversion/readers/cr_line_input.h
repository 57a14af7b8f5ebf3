#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"

namespace routalo {

// The lines of a log whose lines end in carriage returns, read from its
// input file's buffer.
//
// A line ends at a carriage return (CR) or at CR LF, which is one line end; a
// line feed that follows no CR belongs to the line's text. The last line may
// lack a line end. Reading when no byte is left fails.
//
// Lines are handed over in pieces, so that a line of any length is read in
// the memory of the file's buffer alone.
class CrLineInput {
  public:
    explicit CrLineInput(TextInputFile& file) : file_(file) {}

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

    // True once every byte of the file has been read.
    [[nodiscard]] bool AtEnd() { return Rest().empty(); }

  private:
    // The bytes not read yet, as far as the buffer holds them; empty at the
    // end of the file. The LF of a line end whose CR was read before it
    // came is taken off first.
    std::string_view Rest() {
        if (lineFeedMayFollow_) [[unlikely]] {
            return RestAfterFinalCr();
        }
        return file_.Buffered();
    }
    // Rest, while the line feed may still follow.
    std::string_view RestAfterFinalCr();

    TextInputFile& file_;
    // Set when the last line ended in a CR that was the last byte of the
    // file then: a log still being written may get the LF of that CR LF in
    // a later write, which then is part of that line end.
    bool lineFeedMayFollow_ = false;
};

template <typename Consume>
void CrLineInput::ReadLine(Consume&& consume) {
    std::string_view rest = Rest();
    if (rest.empty()) {
        throw FileRefused("read past end of file");
    }
    while (true) {
        const std::size_t cr = rest.find('\r');
        if (cr == std::string_view::npos) {
            consume(rest);
            file_.Skip(rest.size());
            rest = file_.Buffered();
            if (rest.empty()) {
                return;  // the last line runs to the end of the file
            }
            continue;
        }
        if (cr > 0) {
            consume(rest.substr(0, cr));
        }
        file_.Skip(cr + 1);
        rest = file_.Buffered();
        if (rest.empty()) {
            // The log ends in this CR for now; an LF that it gains later
            // belongs to this line end.
            lineFeedMayFollow_ = true;
        } else if (rest.front() == '\n') {
            file_.Skip(1);
        }
        return;
    }
}

inline bool CrLineInput::ReadBufferedLine(std::string_view& line) {
    const std::string_view rest = Rest();
    const std::size_t cr = rest.find('\r');
    // The byte behind the CR must be in the buffer too, to tell CR LF apart.
    // At the end of the file there is no CR: ReadLine reports the end.
    if (cr == std::string_view::npos || cr + 1 >= rest.size()) {
        return false;
    }
    file_.Skip(cr + (rest[cr + 1] == '\n' ? 2 : 1));
    line = rest.substr(0, cr);
    return true;
}

}  // namespace routalo
