#include "conversion/line_builder.h"

#include <gtest/gtest.h>

#include <string>

namespace routalo {
namespace {

// Pieces of every length up to several words, copied in their few moves,
// must land exactly behind one another.
TEST(LineBuilder, PutsPiecesOfEveryLengthInOrder) {
    const auto piece = [](std::size_t size) {
        std::string text;
        for (std::size_t i = 0; i < size; ++i) {
            text.push_back(static_cast<char>('a' + (size + i) % 26));
        }
        return text;
    };
    std::string expected;
    for (std::size_t size = 0; size <= 40; ++size) {
        expected += piece(size) + "|";
    }
    LineBuilder builder;
    char* at = builder.Start(expected.size());
    for (std::size_t size = 0; size <= 40; ++size) {
        at = Put(at, piece(size));
        at = Put(at, "|");
    }
    EXPECT_EQ(builder.Line(at), expected);
}

// A longer line than any before gets room of its own; a shorter one after
// it starts afresh at the beginning.
TEST(LineBuilder, GivesRoomForLinesOfAnyLength) {
    LineBuilder builder;
    const std::string longLine(100'000, 'x');
    char* at = Put(builder.Start(5), "short");
    EXPECT_EQ(builder.Line(at), "short");
    at = Put(builder.Start(longLine.size()), longLine);
    EXPECT_EQ(builder.Line(at), longLine);
    at = Put(builder.Start(2), "ab");
    EXPECT_EQ(builder.Line(at), "ab");
}

// A line that runs past the room asked for fails, even where the buffer
// behind it is larger from an earlier line.
TEST(LineBuilder, FailsALineThatOutgrowsItsRoom) {
    LineBuilder builder;
    (void)builder.Start(100);
    char* at = Put(builder.Start(4), "four");
    EXPECT_EQ(builder.Line(at), "four");
    EXPECT_THROW((void)builder.Line(Put(at, "5")), ConversionError);
    EXPECT_EQ(builder.Build(std::string_view("a"), std::string("bc"), "def"), "abcdef");
}

}  // namespace
}  // namespace routalo
