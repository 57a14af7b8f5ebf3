#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace routalo::fuzz {

// Ends the process when a property does not hold, so that libFuzzer keeps
// the input that broke it (and a corpus replay fails).
inline void Require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "fuzz: property does not hold: %s\n", property);
        std::abort();
    }
}

// True when `bytes` is UTF-8 as RFC 3629 defines it: shortest forms only, no
// surrogates, nothing above U+10FFFF. Written apart from the engine's own
// check, which it is meant to catch out.
inline bool IsStrictUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        unsigned long codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xE0U) == 0xC0U) {
            length = 2;
            codePoint = lead & 0x1FU;
        } else if ((lead & 0xF0U) == 0xE0U) {
            length = 3;
            codePoint = lead & 0x0FU;
        } else if ((lead & 0xF8U) == 0xF0U) {
            length = 4;
            codePoint = lead & 0x07U;
        } else {
            return false;
        }
        if (i + length > bytes.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0U) != 0x80U) {
                return false;
            }
            codePoint = (codePoint << 6U) | (next & 0x3FU);
        }
        const unsigned long shortest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (codePoint < shortest || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

}  // namespace routalo::fuzz
