#pragma once

#include <string>
#include <string_view>

// Windows names files and passes arguments in UTF-16; the program keeps all
// text in UTF-8. A name that Windows allows may hold a lone surrogate, which
// no UTF-8 text can: such a unit is kept as the three bytes UTF-8 would give
// it (as WTF-8 does), so that every name goes there and back unchanged.
namespace routalo {

// `text` in UTF-8, lone surrogates kept as described above.
[[nodiscard]] std::string Utf8FromUtf16(std::u16string_view text);

// `text`, from Utf8FromUtf16, with every lone surrogate replaced by U+FFFD:
// the text to show or to write where a name is no path, and such a unit
// stands for no character. The rest stays as it is.
[[nodiscard]] std::string WithoutLoneSurrogates(std::string_view text);

// `text` in UTF-16: the inverse of Utf8FromUtf16. A byte that starts no
// sequence, or a sequence cut short, becomes U+FFFD.
[[nodiscard]] std::u16string Utf16FromUtf8(std::string_view text);

}  // namespace routalo
