#include "conversion/files/text_output_file.h"

#include "conversion/errors.h"

namespace routalo {

// When a step fails, the members go in reverse order: the writer thread
// ends before the file closes.
TextOutputFile::TextOutputFile(const std::string& path, const OverwriteGuard& guard) : path_(path) {
    // Everything the writing needs comes before the file is opened, so that a
    // run that cannot have it neither creates a document nor empties an old
    // one.
    buffer_.reserve(kBufferSize);
    writer_.emplace(file_, kBufferSize);
    file_ = SystemFile::OpenForWriting(path);
    // The file is opened without emptying it, so that a path that names a
    // kept file, or one that another run writes, can be refused before any
    // byte is lost.
    const SystemFile::Status status = file_.Look();
    if (guard) {
        if (std::optional<std::string> reason = guard(status.identity)) {
            throw FileRefused(*reason);
        }
    }
    if (status.directory) {
        throw FileError(std::make_error_code(std::errc::is_a_directory));
    }
    // A device holds no document that two writers could tear apart: any
    // number of runs may write to /dev/null at once.
    if (!status.device && !file_.TryLock()) {
        throw FileRefused("another conversion is writing this document");
    }
    identity_ = status.identity;
    regular_ = status.regular;
    writer_->SetRegular(regular_);
    if (regular_) {
        file_.Truncate(0);
    } else {
        file_.MakeWritesStoppable();
    }
}

TextOutputFile::~TextOutputFile() {
    Abandon();
}

void TextOutputFile::WriteLine(std::string_view text) {
    Append(text, kLineEnd);
}

void TextOutputFile::Write(std::string_view bytes) {
    Append(bytes, {});
}

void TextOutputFile::Append(std::string_view text, std::string_view end) {
    if (broken_ || !file_.IsOpen()) {
        throw FileRefused("write to a closed file");
    }
    // Handed over once little room is left, the buffer holds whole lines.
    if (buffer_.size() > kBufferSize - kLineRoom) {
        Flush();
    }
    // Room first, so that a failure to grow leaves no part of the line.
    buffer_.reserve(buffer_.size() + text.size() + end.size());
    buffer_.append(text);
    buffer_.append(end);
}

void TextOutputFile::Close() {
    if (!file_.IsOpen()) {
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
    if (const std::error_code error = file_.Close()) {
        throw FileError(error, "close failed");
    }
    settled_ = true;
}

void TextOutputFile::Abandon() noexcept {
    if (!file_.IsOpen()) {
        return;
    }
    try {
        Flush();
    } catch (...) {  // NOLINT(bugprone-empty-catch): the failure was reported already
    }
    writer_.reset();  // waits for what it has in hand
    file_.Close();
}

void TextOutputFile::Discard() noexcept {
    if (settled_) {
        return;
    }
    settled_ = true;
    if (file_.IsOpen()) {
        broken_ = true;  // what is buffered stays unwritten
        buffer_.clear();
        writer_.reset();  // waits for what it has in hand
        if (regular_) {
            try {
                file_.Truncate(0);
            } catch (...) {  // NOLINT(bugprone-empty-catch): removed below all the same
            }
        }
        file_.Close();
    }
    // Closed here or by a Close that failed: the path is removed only while
    // it names this file, since another run may have put a file of its own
    // there.
    if (regular_ && IdentityOfFile(path_) == identity_) {
        RemoveFile(path_);
    }
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
