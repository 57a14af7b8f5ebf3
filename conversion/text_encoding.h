#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace routalo {

// How the bytes of one log line become text: a line that is valid UTF-8 as a
// whole is taken as UTF-8, any other line as Windows-1252.
enum class LineEncoding : std::uint8_t { kUtf8, kWindows1252 };

// Checks whether a byte stream, fed in pieces, is valid UTF-8 (no overlong
// forms, no surrogates, nothing above U+10FFFF). A sequence may be split
// across pieces.
class Utf8Validator {
  public:
    void Feed(std::string_view bytes);
    // True when everything fed so far is valid and no sequence is left open.
    [[nodiscard]] bool Valid() const { return !failed_ && needed_ == 0; }
    void Reset() { *this = Utf8Validator{}; }

  private:
    bool failed_ = false;
    int needed_ = 0;              // continuation bytes still to come
    unsigned char lower_ = 0x80;  // allowed range of the next continuation byte
    unsigned char upper_ = 0xBF;
};

[[nodiscard]] bool IsValidUtf8(std::string_view bytes);

// The length of the valid UTF-8 sequence at the start of `bytes` (1 for an
// ASCII byte), or 0 when they start with none. `bytes` must not be empty.
[[nodiscard]] std::size_t Utf8SequenceLength(std::string_view bytes);

// Appends code point `cp` (at most U+10FFFF) to `out` in UTF-8. A surrogate
// gets the three bytes its number would have.
void AppendUtf8(std::string& out, char32_t cp);

// Appends `bytes` to `out` as UTF-8: unchanged for kUtf8, transcoded from
// Windows-1252 (the WHATWG table) for kWindows1252.
void AppendDecoded(std::string& out, std::string_view bytes, LineEncoding encoding);

// The text that a piece of 8-bit input stands for, as UTF-8, by the line rule.
[[nodiscard]] std::string DecodeLogText(std::string_view bytes);

// Number of characters in `text` when its bytes are read in `encoding`.
[[nodiscard]] std::size_t CharacterCount(std::string_view text, LineEncoding encoding);

// `text` without its last `count` characters (counted as `encoding` reads
// them), or nothing when it holds fewer than `count` characters.
[[nodiscard]] std::optional<std::string_view> DropLastCharacters(std::string_view text,
                                                                 std::size_t count,
                                                                 LineEncoding encoding);

}  // namespace routalo
