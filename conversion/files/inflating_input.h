#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

struct z_stream_s;

namespace routalo {

// The two bytes that every gzip stream starts with.
inline constexpr std::string_view kGzipMagic = "\x1F\x8B";

// A gzip stream inflated as it is read, one or more members one after
// another (as `cat a.gz b.gz` makes them), in constant memory: the
// compressed bytes come in pieces of 64 KiB, the inflated ones go straight
// to the caller's buffer. Between two pieces of output a stop asked for
// (stop_request.h) ends the reading, so that a stream that inflates without
// end still stops.
class InflatingInput {
  public:
    // Reads up to `size` compressed bytes into its first argument; 0 at the
    // end of the stream's file.
    using ReadCompressed = std::function<std::size_t(char*, std::size_t)>;

    // `pending` are the stream's first bytes, already read; the rest comes
    // from `read`. Throws std::bad_alloc when zlib gets no memory.
    InflatingInput(std::string_view pending, ReadCompressed read);
    ~InflatingInput();
    InflatingInput(const InflatingInput&) = delete;
    InflatingInput& operator=(const InflatingInput&) = delete;

    // Inflates up to `size` bytes into `to`; 0 once the last member has
    // ended with the file. A stream that zlib finds corrupt fails with
    // zlib's reason, one that ends inside a member as cut off: a LogError
    // at the offset of the compressed byte where it went wrong.
    std::size_t Read(char* to, std::size_t size);

  private:
    // Refills the compressed bytes; false at the end of the file.
    bool TakeMore();
    [[noreturn]] void Fail(const std::string& problem) const;

    struct StreamEnd {
        void operator()(z_stream_s* stream) const;
    };
    std::unique_ptr<z_stream_s, StreamEnd> stream_;
    ReadCompressed read_;
    std::unique_ptr<char[]> input_;
    std::size_t offset_ = 0;  // of the first byte in input_, in the compressed file
    bool fileEnded_ = false;
    bool streamEnded_ = false;  // the last member read so far has ended
};

}  // namespace routalo
