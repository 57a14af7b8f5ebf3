#include "conversion/text_input_file.h"

#include <cerrno>
#include <utility>

#include "conversion/posix_file.h"

namespace routalo {
namespace {

constexpr std::size_t kBufferSize = std::size_t{256} * 1024;

}  // namespace

TextInputFile::TextInputFile(const std::string& path)
    : buffer_(std::make_unique_for_overwrite<char[]>(kBufferSize)) {
    // The buffer comes first, so that no failure can leave the file open.
    fd_ = posix_file::OpenForReading(path);
    try {
        const posix_file::FileStatus status = posix_file::StatusOf(fd_);
        if (status.directory) {
            throw FileError("", EISDIR);
        }
        identity_ = status.identity;
    } catch (...) {
        Close();
        throw;
    }
}

TextInputFile::~TextInputFile() {
    Close();
}

void TextInputFile::ReadLine(std::string& line, std::size_t keep) {
    line.clear();
    ReadLine([&](std::string_view piece) {
        if (line.size() < keep) {
            line.append(piece.substr(0, keep - line.size()));
        }
    });
}

bool TextInputFile::AtEnd() {
    return begin_ == end_ && !Refill();
}

void TextInputFile::Close() noexcept {
    if (fd_ >= 0) {
        posix_file::Close(fd_);
        fd_ = -1;
    }
}

bool TextInputFile::Refill() {
    if (fd_ < 0) {
        throw FileError("read from a closed file");
    }
    begin_ = 0;
    end_ = posix_file::Read(fd_, buffer_.get(), kBufferSize);
    if (end_ > 0 && std::exchange(lineFeedMayFollow_, false) && buffer_[0] == '\n') {
        begin_ = 1;
        if (end_ == 1) {
            return Refill();
        }
    }
    return end_ > begin_;
}

}  // namespace routalo
