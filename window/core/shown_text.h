#pragma once

#include <string>
#include <string_view>

namespace routalo {

// `bytes` as UTF-8 text to show: every whole, valid UTF-8 sequence is kept,
// and every other byte (one that starts no sequence, starts one cut short,
// an overlong form, a surrogate, or a value above U+10FFFF) becomes one
// U+FFFD of its own, byte for byte as Qt's QString::fromUtf8 replaces them.
[[nodiscard]] std::string ShownText(std::string_view bytes);

}  // namespace routalo
