#include "conversion/xml_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace routalo {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

constexpr bool IsForbiddenControl(unsigned char byte) {
    return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r';
}

// For every byte value: true when the byte starts something other than a
// plain copy. A table, because every text of every segment is scanned.
constexpr std::array<bool, 256> kNeedsCare = [] {
    std::array<bool, 256> table{};
    for (unsigned byte = 0; byte < table.size(); ++byte) {
        table[byte] = byte == '&' || byte == '<' || byte == '>' || byte == 0xEF ||
                      IsForbiddenControl(static_cast<unsigned char>(byte));
    }
    return table;
}();

bool NeedsCare(char c) {
    return kNeedsCare[static_cast<unsigned char>(c)];
}

// True when the byte may need more than a plain copy: anything but printable
// ASCII, and "&", "<" and ">".
constexpr bool IsSpecial(std::uint8_t byte) {
    return static_cast<std::uint8_t>(byte - 0x20U) > 0x7EU - 0x20U || byte == '&' || byte == '<' ||
           byte == '>';
}

constexpr std::size_t kBlock = 16;

#if defined(__GNUC__)
// Sixteen bytes as one vector: GCC and Clang turn the comparisons below into
// a few SIMD instructions on any target that has them.
using ByteBlock = std::uint8_t __attribute__((vector_size(kBlock)));

bool BlockIsPlain(const char* bytes) {
    ByteBlock block;
    std::memcpy(&block, bytes, sizeof block);
    const auto special = (block - 0x20 > 0x7E - 0x20) | (block == '&') | ((block | 2) == '>');
    std::array<std::uint64_t, 2> halves{};
    std::memcpy(halves.data(), &special, sizeof halves);
    return (halves[0] | halves[1]) == 0;
}
#else
bool BlockIsPlain(const char* bytes) {
    bool special = false;
    for (std::size_t i = 0; i < kBlock; ++i) {
        special |= IsSpecial(static_cast<std::uint8_t>(bytes[i]));
    }
    return !special;
}
#endif

}  // namespace

// Checked 16 bytes at a time, the last block overlapping the one before: a
// byte checked twice does no harm.
bool IsPlainXmlText(std::string_view text) {
    const char* bytes = text.data();
    const std::size_t size = text.size();
    if (size < kBlock) {
        return std::none_of(text.begin(), text.end(),
                            [](char c) { return IsSpecial(static_cast<std::uint8_t>(c)); });
    }
    for (std::size_t i = 0; i + kBlock < size; i += kBlock) {
        if (!BlockIsPlain(bytes + i)) {
            return false;
        }
    }
    return BlockIsPlain(bytes + size - kBlock);
}

namespace {

void AppendEscaped(std::string& out, std::string_view text) {
    std::size_t start = 0;
    while (true) {
        const auto* special =
            std::find_if(text.begin() + static_cast<std::ptrdiff_t>(start), text.end(), NeedsCare);
        const auto at = static_cast<std::size_t>(special - text.begin());
        out.append(text.substr(start, at - start));
        if (at == text.size()) {
            return;
        }
        start = at + 1;
        switch (text[at]) {
            case '&':
                out.append("&amp;");
                break;
            case '<':
                out.append("&lt;");
                break;
            case '>':
                out.append("&gt;");
                break;
            case '\xEF':
                // U+FFFE and U+FFFF are EF BF BE and EF BF BF.
                if (text.substr(at, 2) == "\xEF\xBF" && at + 2 < text.size() &&
                    (text[at + 2] == '\xBE' || text[at + 2] == '\xBF')) {
                    out.append(kReplacementCharacter);
                    start = at + 3;
                } else {
                    out.push_back(text[at]);
                }
                break;
            default:
                out.append(kReplacementCharacter);
                break;
        }
    }
}

}  // namespace

void AppendXmlText(std::string& out, std::string_view text) {
    if (IsPlainXmlText(text)) {
        out.append(text);  // nearly every text
    } else {
        AppendEscaped(out, text);
    }
}

}  // namespace routalo
