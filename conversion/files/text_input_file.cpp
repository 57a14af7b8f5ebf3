#include "conversion/files/text_input_file.h"

#include <algorithm>
#include <cstring>

#include "conversion/files/inflating_input.h"

namespace routalo {
namespace {

constexpr std::size_t kBufferSize = std::size_t{256} * 1024;

}  // namespace

TextInputFile::TextInputFile(const std::string& path)
    : buffer_(std::make_unique_for_overwrite<char[]>(kBufferSize)) {
    // The buffer comes first, so that no failure can leave the file open.
    file_ = SystemFile::OpenForReading(path);
    const SystemFile::Status status = file_.Look();
    if (status.directory) {
        throw FileError(std::make_error_code(std::errc::is_a_directory));
    }
    identity_ = status.identity;
    regular_ = status.regular;
}

TextInputFile::~TextInputFile() {
    Close();
}

std::string_view TextInputFile::Peek(std::size_t count) {
    static_assert(kPeekLimit <= kBufferSize);
    if (begin_ == end_ && !Refill()) {
        return {};
    }
    if (end_ - begin_ < count && begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    const std::size_t wanted = std::min(count, kPeekLimit);
    while (end_ - begin_ < wanted) {
        const std::size_t read = ReadSome(buffer_.get() + end_, kBufferSize - end_);
        if (read == 0) {
            break;
        }
        end_ += read;
    }
    return {buffer_.get() + begin_, end_ - begin_};
}

bool TextInputFile::AtEnd() {
    return begin_ == end_ && !Refill();
}

void TextInputFile::InflateRest() {
    inflater_ = std::make_unique<InflatingInput>(
        std::string_view(buffer_.get() + begin_, end_ - begin_),
        [this](char* to, std::size_t size) { return file_.Read(to, size); });
    begin_ = 0;
    end_ = 0;
}

std::size_t TextInputFile::ReadSome(char* to, std::size_t size) {
    return inflater_ ? inflater_->Read(to, size) : file_.Read(to, size);
}

void TextInputFile::Close() noexcept {
    file_.Close();
}

bool TextInputFile::Refill() {
    if (!file_.IsOpen()) {
        throw FileRefused("read from a closed file");
    }
    begin_ = 0;
    end_ = ReadSome(buffer_.get(), kBufferSize);
    return end_ > 0;
}

}  // namespace routalo
