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

}  // namespace
}  // namespace routalo
