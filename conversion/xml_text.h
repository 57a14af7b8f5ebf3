#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace routalo {

// Appends UTF-8 `text` to `out` as XML character data:
//   a<b & c>d  ->  a&lt;b &amp; c&gt;d
// "&", "<" and ">" become entity references, and characters that XML 1.0
// forbids (U+0000..U+0008, U+000B, U+000C, U+000E..U+001F, U+FFFE, U+FFFF)
// become U+FFFD. Everything else, tab and line feed included, is copied.
void AppendXmlText(std::string& out, std::string_view text);

// Appends the pieces one after the other as XML character data, as
// AppendXmlText does for each; cheaper than one call per piece.
//   {"5.1", ",", "52.2"}  ->  5.1,52.2
void AppendXmlText(std::string& out, std::initializer_list<std::string_view> pieces);

}  // namespace routalo
