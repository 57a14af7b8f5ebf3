#include "conversion/xml_text.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace routalo
