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

// Texts are checked sixteen bytes at a time; a byte that needs care must be
// caught in any place of any length, the overlapping last block included.
TEST(AppendXmlText, FindsWhatNeedsCareAtEveryPosition) {
    const std::vector<std::pair<char, std::string>> cases = {
        {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'\x01', "\xEF\xBF\xBD"}};
    for (std::size_t size = 1; size <= 50; ++size) {
        for (std::size_t at = 0; at < size; ++at) {
            for (const auto& [special, escaped] : cases) {
                std::string text(size, '5');
                text[at] = special;
                const std::string expected =
                    std::string(at, '5') + escaped + std::string(size - at - 1, '5');
                EXPECT_EQ(Xml(text), "kept:" + expected) << size << " " << at;
            }
        }
    }
}

TEST(AppendXmlText, EscapesEachOfSeveralPieces) {
    std::string out = "kept:";
    AppendXmlText(out, {"5.1", ",", "52&2", ",0 ", "", "<6>"});
    EXPECT_EQ(out, "kept:5.1,52&amp;2,0 &lt;6&gt;");
    out = "kept:";
    AppendXmlText(out, {"2007-06-07", "T", "09:05:03"});
    EXPECT_EQ(out, "kept:2007-06-07T09:05:03");
    // A forbidden character is whole within its piece, never across two.
    out.clear();
    AppendXmlText(out, {"\xEF\xBF", "\xBE"});
    EXPECT_EQ(out, "\xEF\xBF\xBE");
}

}  // namespace
}  // namespace routalo
