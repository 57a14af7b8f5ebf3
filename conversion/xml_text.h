#pragma once

#include <string>
#include <string_view>

namespace routalo {

// Appends UTF-8 `text` to `out` as XML character data:
//   a<b & c>d  ->  a&lt;b &amp; c&gt;d
// "&", "<" and ">" become entity references, and characters that XML 1.0
// forbids (U+0000..U+0008, U+000B, U+000C, U+000E..U+001F, U+FFFE, U+FFFF)
// become U+FFFD. Everything else, tab and line feed included, is copied.
void AppendXmlText(std::string& out, std::string_view text);

// True when `text` holds only printable ASCII other than "&", "<" and ">":
// XML character data as it stands, which AppendXmlText copies unchanged.
// False also for some such data (a tab, any non-ASCII character).
[[nodiscard]] bool IsPlainXmlText(std::string_view text);

}  // namespace routalo
