// Fuzz target: inflating a gzip stream as it is read.
//
// Properties: reading ends, or fails with a LogError that names a byte of
// the input or its end, and nothing else; however the compressed bytes come
// in (one piece, or pieces of a few bytes) the inflated bytes and the
// failure are the same; inflating the input's own gzip gives the input back.

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "conversion/errors.h"
#include "conversion/files/inflating_input.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// Bytes beyond this are not inflated: a stream that inflates without end is
// cut short here, as a run would be stopped.
constexpr std::size_t kMostInflated = std::size_t{1} << 24;

// What `compressed` inflates to and the failure's cause, its first
// `pending` bytes handed over and the rest read `piece` bytes at a time.
std::string Inflate(std::string_view compressed, std::size_t pending, std::size_t piece) {
    using namespace routalo;
    std::size_t at = pending;
    std::string out;
    try {
        InflatingInput input(compressed.substr(0, pending), [&](char* to, std::size_t size) {
            const std::size_t count = std::min({size, piece, compressed.size() - at});
            compressed.copy(to, count, at);
            at += count;
            return count;
        });
        std::string room(4096, '\0');
        while (out.size() < kMostInflated) {
            const std::size_t count = input.Read(room.data(), room.size());
            if (count == 0) {
                break;
            }
            out.append(room, 0, count);
        }
        out.resize(std::min(out.size(), kMostInflated));
        return out;
    } catch (const LogError& error) {
        // How much came out before the failure depends on the pieces; the
        // failure does not.
        routalo::fuzz::Require(error.Place().at <= compressed.size(),
                               "a failure names a byte of the stream, or its end");
        return "failure: " + CauseWithPlace(error);
    } catch (const ConversionError&) {
        routalo::fuzz::Require(false, "a failure is a LogError");
    }
    return {};
}

std::string Gzip(std::string_view text) {
    z_stream stream{};
    routalo::fuzz::Require(
        deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK,
        "the deflater starts");
    std::string out(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    routalo::fuzz::Require(deflate(&stream, Z_FINISH) == Z_STREAM_END, "the deflater ends");
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using routalo::fuzz::Require;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (size < 2) {
        return 0;
    }
    const std::string whole = Inflate(bytes, size, 1);
    Require(Inflate(bytes, 2, 7) == whole, "pieces inflate as the whole does");
    Require(Inflate(Gzip(bytes), 2, 5) == std::string(bytes), "a gzip inflates to its text");
    return 0;
}
