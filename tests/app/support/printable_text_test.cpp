#include "app/support/printable_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace routalo {
namespace {

TEST(PrintableText, EscapesWhatCouldBreakOrFakeALine) {
    const std::pair<std::string, std::string> cases[] = {
        {"/data/rit.csv", "/data/rit.csv"},
        {"a\nb\rc\td", "a\\nb\\rc\\td"},
        {"\x1b[2J\x07\x7f", "\\x1b[2J\\x07\\x7f"},
#ifdef _WIN32
        {"C:\\logs\\nieuw.csv", "C:\\logs\\nieuw.csv"},  // the folder separator stays
#else
        {"a\\nb", "a\\\\nb"},
#endif
        {std::string("a\0b", 3), "a\\x00b"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x9a\xb2", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x9a\xb2"},
        {"caf\xe9", "caf\\xe9"},  // Windows-1252, no UTF-8
        {"\xc2\x9b"
         "2J",
         "\\xc2\\x9b2J"},            // U+009B, the C1 control sequence introducer
        {"\xe2\x82", "\\xe2\\x82"},  // a cut sequence
#ifdef _WIN32
        {"a\xed\xa0\x80", "a\xef\xbf\xbd"},  // a lone surrogate of a UTF-16 name
#else
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},  // a surrogate
#endif
        {"\xc0\xaf", "\\xc0\\xaf"},  // an overlong "/"
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(PrintableText(text), shown) << shown;
    }
}

}  // namespace
}  // namespace routalo
