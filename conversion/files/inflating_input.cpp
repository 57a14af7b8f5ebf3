#include "conversion/files/inflating_input.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>

#include "conversion/errors.h"
#include "conversion/stop/stop_request.h"

namespace routalo {
namespace {

constexpr std::size_t kInputSize = std::size_t{64} * 1024;

// zlib's window bits for a gzip stream: its largest window, plus 16.
constexpr int kGzipWindowBits = 16 + MAX_WBITS;

}  // namespace

void InflatingInput::StreamEnd::operator()(z_stream_s* stream) const {
    inflateEnd(stream);
    delete stream;  // NOLINT(cppcoreguidelines-owning-memory): made by the constructor
}

InflatingInput::InflatingInput(std::string_view pending, ReadCompressed read)
    : read_(std::move(read)),
      // Room for the pending bytes whole: what TextInputFile hands over is
      // at most its buffer.
      input_(std::make_unique_for_overwrite<char[]>(std::max(kInputSize, pending.size()))) {
    auto stream = std::make_unique<z_stream>();
    if (inflateInit2(stream.get(), kGzipWindowBits) != Z_OK) {
        throw std::bad_alloc();
    }
    stream_.reset(stream.release());
    std::copy(pending.begin(), pending.end(), input_.get());
    stream_->next_in = reinterpret_cast<Bytef*>(input_.get());
    stream_->avail_in = static_cast<uInt>(pending.size());
}

InflatingInput::~InflatingInput() = default;

bool InflatingInput::TakeMore() {
    if (fileEnded_) {
        return false;
    }
    offset_ += static_cast<std::size_t>(stream_->next_in - reinterpret_cast<Bytef*>(input_.get()));
    const std::size_t count = read_(input_.get(), kInputSize);
    stream_->next_in = reinterpret_cast<Bytef*>(input_.get());
    stream_->avail_in = static_cast<uInt>(count);
    fileEnded_ = count == 0;
    return count > 0;
}

void InflatingInput::Fail(const std::string& problem) const {
    const std::size_t at = offset_ + static_cast<std::size_t>(
                                         stream_->next_in - reinterpret_cast<Bytef*>(input_.get()));
    throw LogError(LogPlace::Byte(at), problem);
}

std::size_t InflatingInput::Read(char* to, std::size_t size) {
    size = std::min<std::size_t>(size, std::numeric_limits<uInt>::max());
    while (size > 0) {
        // Between two pieces: a stream that inflates without end stops here.
        ThrowIfStopRequested();
        if (stream_->avail_in == 0 && !TakeMore()) {
            if (streamEnded_) {
                return 0;
            }
            Fail("the gzip stream is cut off");
        }
        if (streamEnded_) {
            // More bytes after a member's end: the next member.
            inflateReset(stream_.get());
            streamEnded_ = false;
        }
        stream_->next_out = reinterpret_cast<Bytef*>(to);
        stream_->avail_out = static_cast<uInt>(size);
        const int result = inflate(stream_.get(), Z_NO_FLUSH);
        const std::size_t produced = size - stream_->avail_out;
        if (result == Z_STREAM_END) {
            streamEnded_ = true;
        } else if (result == Z_MEM_ERROR) {
            throw std::bad_alloc();
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            Fail(std::string("the gzip stream is corrupt: ") +
                 (stream_->msg != nullptr ? stream_->msg : zError(result)));
        }
        if (produced > 0) {
            return produced;
        }
    }
    return 0;
}

}  // namespace routalo
