#include "conversion/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace routalo {
namespace {

TEST(IsValidUtf8, AcceptsWellFormedText) {
    for (const char* text : {"", "plain ascii", "caf\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x9A\xB2",
                             "\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF", "\xED\x9F\xBF"}) {
        EXPECT_TRUE(IsValidUtf8(text)) << text;
    }
}

TEST(IsValidUtf8, RejectsMalformedText) {
    for (const char* text : {
             "\x80",              // continuation byte without a lead
             "\xC3",              // sequence cut short
             "\xC3(",             // lead followed by no continuation
             "\xC0\xAF",          // overlong "/"
             "\xE0\x80\xAF",      // overlong three-byte form
             "\xF0\x80\x80\xAF",  // overlong four-byte form
             "\xED\xA0\x80",      // a surrogate
             "\xF4\x90\x80\x80",  // above U+10FFFF
             "\xF5\x80\x80\x80",  // no such lead byte
             "\xFF",
             "\xE9t\xE9",  // Windows-1252
         }) {
        EXPECT_FALSE(IsValidUtf8(text)) << text;
    }
}

TEST(Utf8Validator, FollowsSequencesSplitAcrossPieces) {
    Utf8Validator validator;
    validator.Feed("long ascii run before the split \xF0\x9F");
    EXPECT_FALSE(validator.Valid());  // a sequence is still open
    validator.Feed("\x9A");
    validator.Feed("\xB2 and after");
    EXPECT_TRUE(validator.Valid());
    validator.Feed("\xED");
    validator.Feed("\xA0\x80");
    EXPECT_FALSE(validator.Valid());
    validator.Reset();
    EXPECT_TRUE(validator.Valid());
    // An open sequence is not closed by the ASCII piece that follows.
    validator.Feed("ab\xC3");
    validator.Feed("plain ascii text");
    EXPECT_FALSE(validator.Valid());
}

// ASCII runs are taken a word at a time: a stray byte must be found wherever
// it stands, in the first word, between words or in the last partial one.
TEST(Utf8Validator, FindsAStrayByteAtEveryPosition) {
    for (std::size_t size = 1; size <= 40; ++size) {
        for (std::size_t at = 0; at < size; ++at) {
            std::string text(size, 'a');
            text[at] = '\x80';
            EXPECT_FALSE(IsValidUtf8(text)) << size << " " << at;
            text[at] = '\x7F';
            EXPECT_TRUE(IsValidUtf8(text)) << size << " " << at;
        }
    }
}

TEST(DecodeLogText, KeepsUtf8AndTranscodesWindows1252) {
    EXPECT_EQ(DecodeLogText("Caf\xC3\xA9"), "Caf\xC3\xA9");
    EXPECT_EQ(DecodeLogText("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(DecodeLogText("\x80\x8A\x9F\xA0\xFF"),
              "\xE2\x82\xAC\xC5\xA0\xC5\xB8\xC2\xA0\xC3\xBF");
    // The five bytes that Windows-1252 leaves open become C1 controls.
    EXPECT_EQ(DecodeLogText("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
}

TEST(DecodeLogText, AlwaysGivesValidUtf8) {
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        everyByte.push_back(static_cast<char>(byte));
    }
    const std::string text = DecodeLogText(everyByte);
    EXPECT_TRUE(IsValidUtf8(text));
    EXPECT_EQ(CharacterCount(text, LineEncoding::kUtf8), 256U);
}

TEST(DropLastCharacters, DropsCharactersNotBytes) {
    EXPECT_EQ(DropLastCharacters("rit.csv", 3, LineEncoding::kUtf8), "rit.");
    EXPECT_EQ(DropLastCharacters("rit.c\xC3\xA9v", 3, LineEncoding::kUtf8), "rit.");
    EXPECT_EQ(DropLastCharacters("\xF0\x9F\x9A\xB2xy", 3, LineEncoding::kUtf8), "");
    EXPECT_EQ(DropLastCharacters("ab", 3, LineEncoding::kUtf8), std::nullopt);
    EXPECT_EQ(DropLastCharacters("ab\xE9", 3, LineEncoding::kWindows1252), "");
    EXPECT_EQ(DropLastCharacters("\xE9", 3, LineEncoding::kWindows1252), std::nullopt);
}

}  // namespace
}  // namespace routalo
