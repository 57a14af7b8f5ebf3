#include "conversion/text_output_file.h"

#include "conversion/errors.h"
#include "conversion/posix_file.h"

namespace routalo {
namespace {

constexpr std::size_t kBufferSize = std::size_t{1024} * 1024;
constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

TextOutputFile::TextOutputFile(const std::string& path, std::optional<FileIdentity> mustDiffer)
    : fd_(posix_file::OpenForWriting(path)) {
    try {
        // The file is opened without emptying it, so that a document path
        // that names the log itself can be refused before any byte is lost.
        if (mustDiffer && posix_file::IdentityOf(fd_) == *mustDiffer) {
            throw FileError("cannot create: the document would overwrite the log");
        }
        if (posix_file::IsDirectory(fd_)) {
            throw FileError("cannot create: is a directory");
        }
        regular_ = posix_file::IsRegularFile(fd_);
        if (regular_) {
            posix_file::Truncate(fd_, 0);
        }
    } catch (...) {
        posix_file::Close(fd_);
        fd_ = -1;
        throw;
    }
    buffer_.reserve(kBufferSize);
}

TextOutputFile::~TextOutputFile() {
    Abandon();
}

void TextOutputFile::WriteLine(std::string_view text) {
    if (broken_ || fd_ < 0) {
        throw FileError("write to a closed file");
    }
    if (buffer_.size() + text.size() + kLineEnd.size() > kBufferSize && !buffer_.empty()) {
        Flush();
    }
    buffer_.append(text);
    buffer_.append(kLineEnd);
}

void TextOutputFile::Close() {
    if (fd_ < 0) {
        return;
    }
    try {
        Flush();
    } catch (...) {
        Abandon();
        throw;
    }
    const int error = posix_file::Close(fd_);
    fd_ = -1;
    if (error != 0) {
        throw FileError("close failed: " + posix_file::Reason(error));
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
    posix_file::Close(fd_);
    fd_ = -1;
}

void TextOutputFile::Flush() {
    if (broken_ || buffer_.empty()) {
        return;
    }
    int error = 0;
    const std::size_t put = posix_file::WriteAll(fd_, buffer_.data(), buffer_.size(), error);
    if (error == 0) {
        if (regular_) {
            posix_file::StartWriteBack(fd_, written_, put);
        }
        written_ += put;
        buffer_.clear();
        return;
    }
    broken_ = true;
    // Keep whole lines only: cut the file back to the last line end that got
    // out. The buffer holds whole lines, so that end is a CR LF within it.
    const std::size_t lastLineEnd = std::string_view(buffer_).substr(0, put).rfind(kLineEnd);
    const std::size_t keep =
        lastLineEnd == std::string_view::npos ? 0 : lastLineEnd + kLineEnd.size();
    if (regular_ && keep < put) {
        try {
            posix_file::Truncate(fd_, written_ + keep);
        } catch (const FileError&) {  // NOLINT(bugprone-empty-catch): the write error is the one to
                                      // report
        }
    }
    written_ += keep;
    buffer_.clear();
    throw FileError("write failed: " + posix_file::Reason(error));
}

}  // namespace routalo
