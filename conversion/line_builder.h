#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "conversion/errors.h"

namespace routalo {

inline char* Put(char* to, std::string_view piece);

// Room for putting a line together, reused from line to line. The caller
// asks for room for the whole line, then copies the pieces in with Put,
// keeping its place in a local pointer: a document line is some twenty
// pieces, most of them a few bytes long, and this costs far less than
// appending them to a string one by one.
class LineBuilder {
  public:
    // Returns room for a line of at most `size` bytes, valid until the next
    // call.
    char* Start(std::size_t size) {
        if (size > capacity_) {
            capacity_ = std::max(size, 2 * capacity_);
            bytes_ = std::make_unique_for_overwrite<char[]>(capacity_);
        }
        room_ = size;
        return bytes_.get();
    }

    // The line from its start up to `end`. Throws ConversionError when the
    // line ran past the room asked for, so that a wrong size fails the run
    // rather than going unnoticed.
    [[nodiscard]] std::string_view Line(const char* end) const {
        const auto size = static_cast<std::size_t>(end - bytes_.get());
        if (size > room_) {
            throw ConversionError("a document line outgrew the room made for it");
        }
        return {bytes_.get(), size};
    }

    // The line of `pieces` one behind the other, in room sized from the very
    // pieces that are copied, so that the size cannot drift from the text.
    template <typename... Pieces>
    [[nodiscard]] std::string_view Build(const Pieces&... pieces) {
        char* at = Start((std::size_t{0} + ... + std::string_view(pieces).size()));
        ((at = Put(at, pieces)), ...);
        return Line(at);
    }

  private:
    std::unique_ptr<char[]> bytes_;
    std::size_t capacity_ = 0;
    std::size_t room_ = 0;
};

namespace line_builder_detail {

// Copies `size` bytes, one to two words of them, as their first and their
// last word, which may overlap.
template <typename Word>
void MoveWords(char* to, const char* from, std::size_t size) {
    Word first = 0;
    Word last = 0;
    std::memcpy(&first, from, sizeof(Word));
    std::memcpy(&last, from + size - sizeof(Word), sizeof(Word));
    std::memcpy(to, &first, sizeof(Word));
    std::memcpy(to + size - sizeof(Word), &last, sizeof(Word));
}

}  // namespace line_builder_detail

// Copies `piece` to `to` and returns the end of the copy. A piece of up to
// sixteen bytes takes a few moves of a fixed size and no call.
inline char* Put(char* to, std::string_view piece) {
    const std::size_t size = piece.size();
    const char* from = piece.data();
    if (size >= 8 && size <= 16) {
        line_builder_detail::MoveWords<std::uint64_t>(to, from, size);
    } else if (size >= 4 && size < 8) {
        line_builder_detail::MoveWords<std::uint32_t>(to, from, size);
    } else if (size < 4) {
        for (std::size_t i = 0; i < size; ++i) {
            to[i] = from[i];
        }
    } else {
        std::memcpy(to, from, size);
    }
    return to + size;
}

}  // namespace routalo
