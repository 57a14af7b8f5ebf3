#include "conversion/readers/cr_line_input.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

using testing::ScratchFolder;

// Every line of a file with `bytes`, read until the end.
std::vector<std::string> LinesOf(std::string_view bytes) {
    const ScratchFolder folder;
    TextInputFile log(folder.Write("log.csv", bytes));
    CrLineInput input(log);
    std::vector<std::string> lines;
    while (!input.AtEnd()) {
        std::string line;
        input.ReadLine([&](std::string_view piece) { line.append(piece); });
        lines.push_back(line);
    }
    return lines;
}

using Lines = std::vector<std::string>;

// The same, each line taken where it lies in the buffer when it can be and
// in pieces otherwise; `direct` counts the lines taken where they lie.
Lines BufferedLinesOf(std::string_view bytes, std::size_t& direct) {
    const ScratchFolder folder;
    TextInputFile log(folder.Write("log.csv", bytes));
    CrLineInput input(log);
    Lines lines;
    direct = 0;
    while (!input.AtEnd()) {
        std::string_view whole;
        if (input.ReadBufferedLine(whole)) {
            lines.emplace_back(whole);
            ++direct;
            continue;
        }
        std::string line;
        input.ReadLine([&](std::string_view piece) { line.append(piece); });
        lines.push_back(line);
    }
    return lines;
}

TEST(CrLineInput, EndsLinesAtCrAndAtCrLf) {
    EXPECT_EQ(LinesOf("a\r\nb\rc\r\n"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(LinesOf("a\r\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(LinesOf("\r\n\r\n"), (Lines{"", ""}));
}

TEST(CrLineInput, KeepsBareLineFeedsInTheLine) {
    EXPECT_EQ(LinesOf("a\nb\nc\n"), (Lines{"a\nb\nc\n"}));
    EXPECT_EQ(LinesOf("a\n\rb"), (Lines{"a\n", "b"}));
    EXPECT_EQ(LinesOf("\n"), (Lines{"\n"}));
}

TEST(CrLineInput, LetsTheLastLineRunToTheEndOfTheFile) {
    EXPECT_EQ(LinesOf("a\r\nlast"), (Lines{"a", "last"}));
    EXPECT_EQ(LinesOf("only"), (Lines{"only"}));
    EXPECT_EQ(LinesOf(""), Lines{});
}

TEST(CrLineInput, IsAtItsEndRightAfterAFinalLineEnd) {
    const ScratchFolder folder;
    TextInputFile log(folder.Write("log.csv", "x\r"));
    CrLineInput input(log);
    std::string line;
    input.ReadLine(line, 100);
    EXPECT_EQ(line, "x");
    EXPECT_TRUE(input.AtEnd());
}

// The cause of reading when no byte is left.
std::string ReadPastEnd(CrLineInput& lines) {
    std::string line;
    try {
        lines.ReadLine(line, 100);
    } catch (const FileRefused& refused) {
        return refused.Cause();
    }
    return "read " + line;
}

TEST(CrLineInput, FailsToReadWhenNoByteIsLeft) {
    const ScratchFolder folder;
    TextInputFile emptyFile(folder.Write("empty.csv", ""));
    CrLineInput empty(emptyFile);
    EXPECT_EQ(ReadPastEnd(empty), "read past end of file");

    TextInputFile oneLineFile(folder.Write("one.csv", "x\r\n"));
    CrLineInput oneLine(oneLineFile);
    std::string line;
    oneLine.ReadLine(line, 100);
    EXPECT_EQ(ReadPastEnd(oneLine), "read past end of file");
}

TEST(CrLineInput, JoinsLinesAndLineEndsAcrossItsBuffer) {
    // The buffer holds 256 KiB: put a CR as its last byte and the LF that
    // completes it as the first byte of the next fill, and a line that spans
    // several fills.
    const std::size_t buffer = std::size_t{256} * 1024;
    const std::string first(buffer - 1, 'a');
    const std::string second = std::string("b").append(3 * buffer, 'c');
    const Lines lines = LinesOf(first + "\r\n" + second + "\rd");
    EXPECT_EQ(lines, (Lines{first, second, "d"}));
}

// A log that is still being written may end in the CR of a CR LF for a
// while: the LF that comes later ends the same line, and is no text of
// the next one.
TEST(CrLineInput, TakesALineFeedThatComesLaterAsPartOfTheLineEnd) {
    const ScratchFolder folder;
    const std::string path = folder.Write("log.csv", "a\r");
    TextInputFile log(path);
    CrLineInput input(log);
    std::string line;
    const std::pair<const char*, std::vector<std::string>> writes[] = {
        {"\nb\r", {"b"}}, {"\n", {}}, {"\nc\r\n", {"\nc"}}};
    input.ReadLine(line, 100);
    EXPECT_EQ(line, "a");
    EXPECT_TRUE(input.AtEnd());
    for (const auto& [written, lines] : writes) {
        SCOPED_TRACE(written);
        std::ofstream(path, std::ios::app | std::ios::binary) << written;
        std::vector<std::string> read;
        while (!input.AtEnd()) {
            input.ReadLine(line, 100);
            read.push_back(line);
        }
        EXPECT_EQ(read, lines);
    }
}

// Lines taken where they lie in the buffer end exactly where lines read in
// pieces end, at the buffer's edge too.
TEST(CrLineInput, TakesLinesWhereTheyLieAsItReadsThemInPieces) {
    const std::size_t buffer = std::size_t{256} * 1024;
    std::string edges;
    for (int i = 0; edges.size() < 3 * buffer; ++i) {
        edges += std::string(static_cast<std::size_t>(i % 700), 'x') + (i % 3 == 0 ? "\r" : "\r\n");
        edges += i % 5 == 0 ? "\n" : "";  // a bare LF at the start of a line
    }
    std::string crAtEdge(buffer - 1, 'a');
    crAtEdge += "\r\nb\r\nc";
    for (const std::string& bytes :
         {std::string("a\r\nb\rc\r\n"), std::string("a\r\r\nb"), std::string("a\n\rb\n"),
          std::string("\r\n\r"), std::string("only"), std::string(""), edges, crAtEdge}) {
        std::size_t direct = 0;
        EXPECT_EQ(BufferedLinesOf(bytes, direct), LinesOf(bytes)) << bytes.substr(0, 20);
    }
    std::size_t direct = 0;
    const Lines lines = BufferedLinesOf(edges, direct);
    EXPECT_GT(direct, lines.size() * 9 / 10);  // nearly all lines lie whole in the buffer
    EXPECT_LT(direct, lines.size());           // and some do not
    // Only "b": the LF of the first line is not in the buffer yet, and "c"
    // has no line end.
    (void)BufferedLinesOf(crAtEdge, direct);
    EXPECT_EQ(direct, 1U);
}

TEST(CrLineInput, KeepsOnlyAsMuchOfALineAsAsked) {
    const ScratchFolder folder;
    TextInputFile log(folder.Write("log.csv", std::string(1'000'000, 'x') + "\r\nnext"));
    CrLineInput input(log);
    std::string line;
    input.ReadLine(line, 5);
    EXPECT_EQ(line, "xxxxx");
    input.ReadLine(line, 5);
    EXPECT_EQ(line, "next");
}

}  // namespace
}  // namespace routalo
