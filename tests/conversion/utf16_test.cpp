#include "conversion/utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace routalo {
namespace {

// Names go to UTF-16 and back unchanged, lone surrogates included; bytes
// that are no UTF-8 become U+FFFD.
TEST(Utf16, CarriesEveryNameThereAndBack) {
    const struct {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"rit.csv", u"rit.csv"},
        {"caf\xC3\xA9 \xE2\x82\xAC", u"caf\u00E9 \u20AC"},
        {"\xF0\x9F\x9A\xB2", u"\U0001F6B2"},
        {"a\xED\xA0\x80z", std::u16string{u'a', char16_t{0xD800}, u'z'}},  // a lone surrogate
        {"", u""},
    };
    for (const auto& [utf8, utf16] : cases) {
        EXPECT_EQ(Utf16FromUtf8(utf8), utf16) << utf8;
        EXPECT_EQ(Utf8FromUtf16(utf16), utf8) << utf8;
    }
    EXPECT_EQ(Utf16FromUtf8("a\xFF"
                            "b\xC3"),
              u"a\uFFFDb\uFFFD");
    EXPECT_EQ(Utf16FromUtf8("\xC0\xAF \xE0\x80\xAF"), u"\uFFFD\uFFFD \uFFFD");  // overlong
}

// A text shown or written takes U+FFFD for each lone surrogate, and keeps
// the rest, pairs included.
TEST(Utf16, ReplacesLoneSurrogatesInATextAlone) {
    const std::u16string lone = {u'a', char16_t{0xD800}, u' ', char16_t{0xDFFF}, u'z'};
    EXPECT_EQ(WithoutLoneSurrogates(Utf8FromUtf16(lone)), "a\xEF\xBF\xBD \xEF\xBF\xBDz");
    EXPECT_EQ(WithoutLoneSurrogates("\xF0\x9F\x9A\xB2 caf\xC3\xA9 \xED\x9F\xBF"),
              "\xF0\x9F\x9A\xB2 caf\xC3\xA9 \xED\x9F\xBF");    // U+D7FF is no surrogate
    EXPECT_EQ(WithoutLoneSurrogates("\xED\xA0"), "\xED\xA0");  // cut short: left as it is
}

}  // namespace
}  // namespace routalo
