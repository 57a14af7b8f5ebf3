#pragma once

#include <string>
#include <string_view>

namespace routalo {

// `text` as it can be shown on one line of a terminal, whatever a path or a
// log holds: control characters and bytes that are no UTF-8 become escapes,
// so that no text can end a message's line, move the cursor or fake
// another message.
//   "a\nb"      -> "a\\nb"        "\x1b[2J"  -> "\\x1b[2J"
//   "caf\xe9"   -> "caf\\xe9"     "a\\b"     -> "a\\\\b"
// Tab, CR and LF are \t, \r, \n; the backslash doubles, so that an escape
// cannot be told from the same characters typed, except on Windows, where
// it separates folders and no file name holds a control character; valid UTF-8 outside the C0
// and C1 controls and DEL stays as it is. On Windows a lone surrogate, kept
// in a name that came from UTF-16 (utf16.h), shows as U+FFFD.
[[nodiscard]] std::string PrintableText(std::string_view text);

}  // namespace routalo
