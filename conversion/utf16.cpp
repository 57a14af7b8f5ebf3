#include "conversion/utf16.h"

#include "conversion/text_encoding.h"

namespace routalo {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10U));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FFU));
    }
}

}  // namespace

std::string Utf8FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (IsHighSurrogate(cp) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10U) + (text[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::string WithoutLoneSurrogates(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A surrogate's three bytes: ED A0..BF 80..BF.
        const bool surrogate = static_cast<unsigned char>(text[i]) == 0xED && i + 2 < text.size() &&
                               static_cast<unsigned char>(text[i + 1]) >= 0xA0 &&
                               static_cast<unsigned char>(text[i + 1]) <= 0xBF &&
                               (static_cast<unsigned char>(text[i + 2]) & 0xC0U) == 0x80;
        if (surrogate) {
            AppendUtf8(out, kReplacement);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::u16string Utf16FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80                    ? 1
                                   : lead >= 0xF0 && lead <= 0xF4 ? 4
                                   : lead >= 0xE0                 ? 3
                                   : lead >= 0xC2 && lead <= 0xDF ? 2
                                                                  : 0;
        char32_t cp = length == 4 ? lead & 0x07U : length == 3 ? lead & 0x0FU : lead & 0x1FU;
        std::size_t taken = 1;
        while (length > 1 && taken < length && i + taken < text.size() &&
               (static_cast<unsigned char>(text[i + taken]) & 0xC0U) == 0x80) {
            cp = (cp << 6U) | (static_cast<unsigned char>(text[i + taken]) & 0x3FU);
            ++taken;
        }
        const bool whole = length == 1 || (length > 1 && taken == length);
        const bool shortest = length != 3 || cp >= 0x800;
        const bool inRange = length != 4 || (cp >= 0x10000 && cp <= 0x10FFFF);
        if (length == 1) {
            out += static_cast<char16_t>(lead);
        } else if (whole && shortest && inRange) {
            AppendUtf16(out, cp);  // a surrogate's three bytes give the lone unit back
        } else {
            out += kReplacement;
        }
        i += length > 1 && taken > 1 ? taken : 1;
    }
    return out;
}

}  // namespace routalo
