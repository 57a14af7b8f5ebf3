#include "app/support/printable_text.h"

#include "conversion/files/path_style.h"
#include "conversion/text_encoding.h"
#include "conversion/utf16.h"

namespace routalo {
namespace {

void AppendHexEscape(std::string& out, unsigned char byte) {
    constexpr std::string_view kDigits = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4U];
    out += kDigits[byte & 0xFU];
}

// The length of the valid UTF-8 sequence of a printable character beyond
// ASCII at the start of `text`, or 0 when there is none there.
std::size_t PrintableSequenceAt(std::string_view text) {
    const std::size_t length = Utf8SequenceLength(text);
    // U+0080..U+009F, the C1 controls, are C2 80..C2 9F.
    const bool c1Control = static_cast<unsigned char>(text[0]) == 0xC2 && length == 2 &&
                           static_cast<unsigned char>(text[1]) < 0xA0;
    return c1Control ? 0 : length;
}

}  // namespace

std::string PrintableText(std::string_view shown) {
#ifdef _WIN32
    // Every text here comes from UTF-16, where a lone surrogate stands for
    // no character: it shows as U+FFFD, as any program of Windows shows it.
    const std::string replaced = WithoutLoneSurrogates(shown);
    const std::string_view text = replaced;
#else
    const std::string_view text = shown;
#endif
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {
            const std::size_t length = PrintableSequenceAt(text.substr(i));
            if (length == 0) {
                AppendHexEscape(out, byte);
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (byte) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                // Doubled, unless it separates folders (on Windows), where
                // doubling it would garble every path.
                out += kFolderSeparators.find('\\') == std::string_view::npos ? "\\\\" : "\\";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    AppendHexEscape(out, byte);
                } else {
                    out += static_cast<char>(byte);
                }
        }
        ++i;
    }
    return out;
}

}  // namespace routalo
