#include "conversion/xml_text.h"

#include <algorithm>
#include <array>

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

}  // namespace

void AppendXmlText(std::string& out, std::string_view text) {
    // Nearly every text needs no care at all: one pass without branches to
    // tell, then one append.
    bool anyCare = false;
    for (const char c : text) {
        anyCare |= NeedsCare(c);
    }
    if (!anyCare) {
        out.append(text);
        return;
    }
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

}  // namespace routalo
