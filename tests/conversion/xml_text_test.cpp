#include "conversion/xml_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace routalo {
namespace {

std::string Xml(std::string_view text) {
    std::string out = "kept:";
    AppendXmlText(out, text);
    return out;
}

TEST(AppendXmlText, EscapesOnlyTheThreeReservedCharacters) {
    EXPECT_EQ(Xml("a<b & c>d"), "kept:a&lt;b &amp; c&gt;d");
    EXPECT_EQ(Xml("&amp;"), "kept:&amp;amp;");
    EXPECT_EQ(Xml("\"quoted\" 'and' plain"), "kept:\"quoted\" 'and' plain");
    EXPECT_EQ(Xml(""), "kept:");
}

TEST(AppendXmlText, ReplacesCharactersThatXmlForbids) {
    EXPECT_EQ(Xml(std::string_view("a\0b", 3)),
              "kept:a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(
        Xml("\x01\x08\x0B\x0C\x0E\x1F"), "kept:" + [] {
            std::string six;
            for (int i = 0; i < 6; ++i) {
                six += "\xEF\xBF\xBD";
            }
            return six;
        }());
    EXPECT_EQ(Xml("\xEF\xBF\xBE|\xEF\xBF\xBF"), "kept:\xEF\xBF\xBD|\xEF\xBF\xBD");
}

TEST(AppendXmlText, KeepsWhatXmlAllows) {
    EXPECT_EQ(Xml("tab\there\nline\rreturn"), "kept:tab\there\nline\rreturn");
    // Neighbours of the forbidden code points stay as they are.
    EXPECT_EQ(Xml("\xEF\xBF\xBD\xEF\xBF\xBC\xEF\xBB\xBF"),
              "kept:\xEF\xBF\xBD\xEF\xBF\xBC\xEF\xBB\xBF");
    EXPECT_EQ(Xml("\xC2\x81 \xE2\x82\xAC"), "kept:\xC2\x81 \xE2\x82\xAC");
    EXPECT_EQ(Xml("\xEF\xBF"), "kept:\xEF\xBF");
}

// Texts are checked eight bytes at a time; a byte that needs care must be
// caught in any place of any length, the overlapping last word included.
TEST(AppendXmlText, FindsWhatNeedsCareAtEveryPosition) {
    const std::vector<std::pair<char, std::string>> cases = {
        {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'\x01', "\xEF\xBF\xBD"}};
    for (std::size_t size = 1; size <= 50; ++size) {
        EXPECT_TRUE(IsPlainXmlText(std::string(size, '5'))) << size;
        for (std::size_t at = 0; at < size; ++at) {
            for (const auto& [special, escaped] : cases) {
                std::string text(size, '5');
                text[at] = special;
                const std::string expected =
                    std::string(at, '5') + escaped + std::string(size - at - 1, '5');
                EXPECT_FALSE(IsPlainXmlText(text)) << size << " " << at;
                EXPECT_EQ(Xml(text), "kept:" + expected) << size << " " << at;
            }
        }
    }
}

// Only printable ASCII other than "&", "<" and ">" is plain; the check must
// hold for the neighbours of every boundary, wherever they stand in a word.
TEST(IsPlainXmlText, DrawsTheLineExactlyAtPrintableAscii) {
    for (std::size_t size : {1, 7, 8, 9, 16, 17}) {
        for (std::size_t at = 0; at < size; ++at) {
            for (int byte = 0; byte < 256; ++byte) {
                std::string text(size, 'x');
                text[at] = static_cast<char>(byte);
                const bool plain =
                    byte >= 0x20 && byte <= 0x7E && byte != '&' && byte != '<' && byte != '>';
                EXPECT_EQ(IsPlainXmlText(text), plain) << size << " " << at << " " << byte;
            }
        }
    }
    EXPECT_TRUE(IsPlainXmlText(""));
}

}  // namespace
}  // namespace routalo
