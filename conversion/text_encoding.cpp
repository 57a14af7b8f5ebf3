#include "conversion/text_encoding.h"

#include <array>
#include <cstring>

namespace routalo {
namespace {

// Code points of the bytes 0x80..0x9F in Windows-1252 as the WHATWG encoding
// standard maps them; the five bytes that the code page leaves open map to
// the C1 control of the same number. 0xA0..0xFF equal their code point.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsContinuationByte(unsigned char byte) {
    return (byte & 0xC0U) == 0x80U;
}

// Length of the run of ASCII bytes at the start of `bytes`, eight at a time.
std::size_t AsciiPrefix(const char* bytes, std::size_t size) {
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + i, sizeof word);
        if ((word & 0x8080808080808080ULL) != 0) {
            break;
        }
    }
    while (i < size && static_cast<unsigned char>(bytes[i]) < 0x80) {
        ++i;
    }
    return i;
}

// True when every byte of `bytes` is ASCII. The bytes are taken eight at a
// time, the last word overlapping the one before, so that the usual short
// line costs a few instructions and no unpredictable branch.
bool IsAscii(std::string_view bytes) {
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    const char* data = bytes.data();
    const std::size_t size = bytes.size();
    if (size < kWord) {
        return AsciiPrefix(data, size) == size;
    }
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i + kWord < size; i += kWord) {
        std::uint64_t word = 0;
        std::memcpy(&word, data + i, kWord);
        seen |= word;
    }
    std::uint64_t last = 0;
    std::memcpy(&last, data + size - kWord, kWord);
    return ((seen | last) & kHighBits) == 0;
}

}  // namespace

void Utf8Validator::Feed(std::string_view bytes) {
    if (needed_ == 0 && IsAscii(bytes)) {
        return;  // nearly every line: valid whatever came before
    }
    const char* data = bytes.data();
    std::size_t size = bytes.size();
    std::size_t i = 0;
    while (i < size && !failed_) {
        if (needed_ == 0) {
            i += AsciiPrefix(data + i, size - i);
            if (i == size) {
                break;
            }
            const auto lead = static_cast<unsigned char>(data[i++]);
            lower_ = 0x80;
            upper_ = 0xBF;
            if (lead >= 0xC2 && lead <= 0xDF) {
                needed_ = 1;
            } else if (lead >= 0xE0 && lead <= 0xEF) {
                needed_ = 2;
                if (lead == 0xE0) {
                    lower_ = 0xA0;  // no overlong three-byte forms
                } else if (lead == 0xED) {
                    upper_ = 0x9F;  // no surrogates
                }
            } else if (lead >= 0xF0 && lead <= 0xF4) {
                needed_ = 3;
                if (lead == 0xF0) {
                    lower_ = 0x90;  // no overlong four-byte forms
                } else if (lead == 0xF4) {
                    upper_ = 0x8F;  // nothing above U+10FFFF
                }
            } else {
                failed_ = true;
            }
            continue;
        }
        const auto byte = static_cast<unsigned char>(data[i++]);
        if (byte < lower_ || byte > upper_) {
            failed_ = true;
            break;
        }
        lower_ = 0x80;
        upper_ = 0xBF;
        --needed_;
    }
}

bool IsValidUtf8(std::string_view bytes) {
    Utf8Validator validator;
    validator.Feed(bytes);
    return validator.Valid();
}

std::size_t Utf8SequenceLength(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    return bytes.size() >= length && IsValidUtf8(bytes.substr(0, length)) ? length : 0;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6U)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3FU)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12U)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3FU)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18U)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3FU)));
    }
}

void AppendDecoded(std::string& out, std::string_view bytes, LineEncoding encoding) {
    if (encoding == LineEncoding::kUtf8) {
        out.append(bytes);
        return;
    }
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else if (byte < 0xA0) {
            AppendUtf8(out, kWindows1252High[byte - 0x80]);
        } else {
            AppendUtf8(out, byte);
        }
    }
}

std::string DecodeLogText(std::string_view bytes) {
    std::string text;
    AppendDecoded(text, bytes,
                  IsValidUtf8(bytes) ? LineEncoding::kUtf8 : LineEncoding::kWindows1252);
    return text;
}

std::size_t CharacterCount(std::string_view text, LineEncoding encoding) {
    if (encoding == LineEncoding::kWindows1252) {
        return text.size();
    }
    std::size_t count = 0;
    for (const char c : text) {
        count += IsContinuationByte(static_cast<unsigned char>(c)) ? 0 : 1;
    }
    return count;
}

std::optional<std::string_view> DropLastCharacters(std::string_view text, std::size_t count,
                                                   LineEncoding encoding) {
    if (encoding == LineEncoding::kWindows1252) {
        return text.size() < count ? std::nullopt
                                   : std::optional(text.substr(0, text.size() - count));
    }
    std::size_t end = text.size();
    for (std::size_t dropped = 0; dropped < count; ++dropped) {
        if (end == 0) {
            return std::nullopt;
        }
        --end;
        while (end > 0 && IsContinuationByte(static_cast<unsigned char>(text[end]))) {
            --end;
        }
    }
    return text.substr(0, end);
}

}  // namespace routalo
