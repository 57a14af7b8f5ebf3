#include "conversion/text_output_file.h"

#include <cerrno>

#include "conversion/errors.h"
#include "conversion/posix_file.h"

namespace routalo {

TextOutputFile::TextOutputFile(const std::string& path, const OverwriteGuard& guard)
    : fd_(posix_file::OpenForWriting(path)) {
    try {
        // The file is opened without emptying it, so that a path that names
        // a kept file, or one that another run writes, can be refused before
        // any byte is lost.
        const posix_file::FileStatus status = posix_file::StatusOf(fd_);
        if (guard) {
            if (std::optional<std::string> reason = guard(status.identity)) {
                throw FileError(*reason);
            }
        }
        if (status.directory) {
            throw FileError("", EISDIR);
        }
        // A device holds no document that two writers could tear apart:
        // any number of runs may write to /dev/null at once.
        if (!status.device && !posix_file::TryLock(fd_)) {
            throw FileError("another conversion is writing this document");
        }
        identity_ = status.identity;
        regular_ = status.regular;
        if (!regular_) {
            posix_file::MakeWritesStoppable(fd_);
        }
        // Everything the writing needs comes before the file is emptied, so
        // that a run that cannot have it leaves the old file as it was.
        buffer_.reserve(kBufferSize);
        writer_.emplace(fd_, regular_, kBufferSize);
        if (regular_) {
            posix_file::Truncate(fd_, 0);
        }
    } catch (...) {
        writer_.reset();
        posix_file::Close(fd_);
        fd_ = -1;
        throw;
    }
}

TextOutputFile::~TextOutputFile() {
    Abandon();
}

void TextOutputFile::WriteLine(std::string_view text) {
    if (broken_ || fd_ < 0) {
        throw FileError("write to a closed file");
    }
    // Handed over once little room is left, the buffer holds whole lines.
    if (buffer_.size() > kBufferSize - kLineRoom) {
        Flush();
    }
    // Room first, so that a failure to grow leaves no part of the line.
    buffer_.reserve(buffer_.size() + text.size() + kLineEnd.size());
    buffer_.append(text);
    buffer_.append(kLineEnd);
}

void TextOutputFile::Close() {
    if (fd_ < 0) {
        return;
    }
    try {
        Flush();
        writer_->Finish();
    } catch (...) {
        Abandon();
        throw;
    }
    writer_.reset();
    const int error = posix_file::Close(fd_);
    fd_ = -1;
    if (error != 0) {
        throw FileError("close failed", error);
    }
}

void TextOutputFile::Abandon() noexcept {
    if (fd_ < 0) {
        return;
    }
    try {
        Flush();
    } catch (...) {  // NOLINT(bugprone-empty-catch): the failure was reported already
    }
    writer_.reset();  // waits for what it has in hand
    posix_file::Close(fd_);
    fd_ = -1;
}

// Hands the buffered lines to the writer, which writes them while the next
// ones are made.
void TextOutputFile::Flush() {
    if (broken_ || buffer_.empty()) {
        return;
    }
    // The writer hands back the buffer it wrote before, with its room, so
    // that going on needs no memory.
    try {
        writer_->Write(buffer_);
    } catch (...) {
        broken_ = true;
        buffer_.clear();
        throw;
    }
}

}  // namespace routalo
