#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/files/background_writer.h"
#include "conversion/files/file_identity.h"
#include "conversion/files/system_file.h"
#include "conversion/writers/document_lines.h"

namespace routalo {

// A text file opened for writing line by line; every line ends in CR LF.
//
// Lines are gathered in a buffer and written out whole, on a thread of their
// own, so the file only ever holds complete lines: when a write fails
// part-way (a full disk), the file is cut back to the end of the last line
// that reached it. A failure shows at the next hand-over of a buffer or at
// Close at the latest. Final, so that a writer that holds it as itself, as
// the default layout does, calls WriteLine without going through the table.
class TextOutputFile final : public DocumentLines {
  public:
    // Creates `path`, or empties it when it exists, and holds the file's
    // exclusive lock until it is closed. Throws, with nothing emptied, when
    // the file cannot be created, is a directory, is one that `guard` keeps
    // (by any name: a link is the file it leads to), or is locked: another
    // TextOutputFile, in this process or another, writes it; and with nothing
    // created either when the buffers or the writer thread cannot be had.
    explicit TextOutputFile(const std::string& path, const OverwriteGuard& guard = {});
    ~TextOutputFile() override;
    TextOutputFile(const TextOutputFile&) = delete;
    TextOutputFile& operator=(const TextOutputFile&) = delete;
    TextOutputFile(TextOutputFile&&) = delete;
    TextOutputFile& operator=(TextOutputFile&&) = delete;

    // Writes `text` followed by CR LF. Throws FileError when writing fails.
    void WriteLine(std::string_view text) override;

    // Writes `bytes` as they are, without a line end: a file that is no text
    // (an archive). A failed write leaves such a file of no use: Discard it.
    void Write(std::string_view bytes);

    // Writes out what is buffered and closes the file. Throws FileError when
    // either fails; the file is closed all the same.
    void Close();

    // Closes after a failure elsewhere: keeps the complete lines written so
    // far, as far as the disk takes them, and reports nothing.
    void Abandon() noexcept;

    // Closes after a failure, a failed Close too, and leaves no file: a
    // regular file is cut back to nothing and removed, as long as its path
    // still names it. For a file that is worth nothing unless whole, such as
    // an archive; an old file of that name was emptied when this one was
    // opened. Does nothing after a Close that succeeded.
    void Discard() noexcept;

    // The file written, as it was when opened.
    [[nodiscard]] const FileIdentity& Identity() const { return identity_; }

  private:
    // The buffer's size, and the room kept for the next line: the buffer is
    // handed to the writer when less is left. A longer line makes it grow.
    static constexpr std::size_t kBufferSize = std::size_t{1024} * 1024;
    static constexpr std::size_t kLineRoom = std::size_t{64} * 1024;

    // Writes `text` and then `end` into the buffer.
    void Append(std::string_view text, std::string_view end);
    void Flush();

    SystemFile file_;  // first, so that it closes after the writer ends
    std::string path_;
    FileIdentity identity_;
    bool regular_ = false;  // only regular files can be cut back
    bool broken_ = false;   // a write failed; nothing more goes out
    bool settled_ = false;  // closed whole, or discarded
    std::string buffer_;    // lines not yet handed to the writer
    std::optional<BackgroundWriter> writer_;
};

}  // namespace routalo
