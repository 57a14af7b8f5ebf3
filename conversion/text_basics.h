#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace routalo {

// The small pieces of text handling that every reader of a log needs, written
// once, whatever the locale.

// An ASCII digit.
[[nodiscard]] inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The two digits of every number below 100, "00" to "99", one after another.
inline constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (std::size_t value = 0; value < 100; ++value) {
        pairs[2 * value] = static_cast<char>('0' + value / 10);
        pairs[2 * value + 1] = static_cast<char>('0' + value % 10);
    }
    return pairs;
}();

// Writes `value`, from 0 to 99, as two digits at `at`: one look in a table
// rather than a division for each digit, as times and coordinates are
// written for every point.
inline void PutTwoDigits(char* at, unsigned value) {
    std::memcpy(at, &kDigitPairs[2 * std::size_t{value}], 2);
}

// XML's blank space: space, tab, CR and LF.
[[nodiscard]] inline bool IsXmlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// `text` without the spaces around it (spaces alone, as a CSV line has them).
[[nodiscard]] inline std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

// `text` without the XML blank space around it. By hand: find_first_not_of
// looks each byte up in a set.
[[nodiscard]] inline std::string_view TrimXmlBlanks(std::string_view text) {
    while (!text.empty() && IsXmlBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsXmlBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The byte order marks that a text log may start with.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
inline constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
inline constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

// The largest latitude and longitude, in degrees either way.
inline constexpr int kLatitudeLimit = 90;
inline constexpr int kLongitudeLimit = 180;

}  // namespace routalo
