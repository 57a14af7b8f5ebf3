#include "conversion/files/text_input_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

using testing::ScratchFolder;

// Every line of a file with `bytes`, read until the end.
std::vector<std::string> LinesOf(std::string_view bytes) {
    const ScratchFolder folder;
    TextInputFile file(folder.Write("log.csv", bytes));
    std::vector<std::string> lines;
    while (!file.AtEnd()) {
        std::string line;
        file.ReadLine([&](std::string_view piece) { line.append(piece); });
        lines.push_back(line);
    }
    return lines;
}

using Lines = std::vector<std::string>;

// The same, each line taken where it lies in the buffer when it can be and
// in pieces otherwise; `direct` counts the lines taken where they lie.
Lines BufferedLinesOf(std::string_view bytes, std::size_t& direct) {
    const ScratchFolder folder;
    TextInputFile file(folder.Write("log.csv", bytes));
    Lines lines;
    direct = 0;
    while (!file.AtEnd()) {
        std::string_view whole;
        if (file.ReadBufferedLine(whole)) {
            lines.emplace_back(whole);
            ++direct;
            continue;
        }
        std::string line;
        file.ReadLine([&](std::string_view piece) { line.append(piece); });
        lines.push_back(line);
    }
    return lines;
}

TEST(TextInputFile, EndsLinesAtCrAndAtCrLf) {
    EXPECT_EQ(LinesOf("a\r\nb\rc\r\n"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(LinesOf("a\r\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(LinesOf("\r\n\r\n"), (Lines{"", ""}));
}

TEST(TextInputFile, KeepsBareLineFeedsInTheLine) {
    EXPECT_EQ(LinesOf("a\nb\nc\n"), (Lines{"a\nb\nc\n"}));
    EXPECT_EQ(LinesOf("a\n\rb"), (Lines{"a\n", "b"}));
    EXPECT_EQ(LinesOf("\n"), (Lines{"\n"}));
}

TEST(TextInputFile, LetsTheLastLineRunToTheEndOfTheFile) {
    EXPECT_EQ(LinesOf("a\r\nlast"), (Lines{"a", "last"}));
    EXPECT_EQ(LinesOf("only"), (Lines{"only"}));
    EXPECT_EQ(LinesOf(""), Lines{});
}

TEST(TextInputFile, IsAtItsEndRightAfterAFinalLineEnd) {
    const ScratchFolder folder;
    TextInputFile file(folder.Write("log.csv", "x\r"));
    std::string line;
    file.ReadLine(line, 100);
    EXPECT_EQ(line, "x");
    EXPECT_TRUE(file.AtEnd());
}

TEST(TextInputFile, FailsToReadWhenNoByteIsLeft) {
    const ScratchFolder folder;
    TextInputFile empty(folder.Write("empty.csv", ""));
    std::string line;
    EXPECT_THROW(empty.ReadLine(line, 100), FileRefused);

    TextInputFile oneLine(folder.Write("one.csv", "x\r\n"));
    oneLine.ReadLine(line, 100);
    EXPECT_THROW(oneLine.ReadLine(line, 100), FileRefused);
}

TEST(TextInputFile, JoinsLinesAndLineEndsAcrossItsBuffer) {
    // The buffer holds 256 KiB: put a CR as its last byte and the LF that
    // completes it as the first byte of the next fill, and a line that spans
    // several fills.
    const std::size_t buffer = std::size_t{256} * 1024;
    std::string bytes(buffer - 1, 'a');
    bytes += "\r\nb";
    bytes += std::string(3 * buffer, 'c');
    bytes += "\rd";
    const Lines lines = LinesOf(bytes);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0], std::string(buffer - 1, 'a'));
    EXPECT_EQ(lines[1], "b" + std::string(3 * buffer, 'c'));
    EXPECT_EQ(lines[2], "d");
}

// A log that is still being written may end in the CR of a CR LF for a
// while: the LF that comes later ends the same line, and is no text of
// the next one.
TEST(TextInputFile, TakesALineFeedThatComesLaterAsPartOfTheLineEnd) {
    const ScratchFolder folder;
    const std::string path = folder.Write("log.csv", "a\r");
    TextInputFile file(path);
    std::string line;
    const std::pair<const char*, std::vector<std::string>> writes[] = {
        {"\nb\r", {"b"}}, {"\n", {}}, {"\nc\r\n", {"\nc"}}};
    file.ReadLine(line, 100);
    EXPECT_EQ(line, "a");
    EXPECT_TRUE(file.AtEnd());
    for (const auto& [written, lines] : writes) {
        SCOPED_TRACE(written);
        std::ofstream(path, std::ios::app | std::ios::binary) << written;
        std::vector<std::string> read;
        while (!file.AtEnd()) {
            file.ReadLine(line, 100);
            read.push_back(line);
        }
        EXPECT_EQ(read, lines);
    }
}

// Lines taken where they lie in the buffer end exactly where lines read in
// pieces end, at the buffer's edge too.
TEST(TextInputFile, TakesLinesWhereTheyLieAsItReadsThemInPieces) {
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

TEST(TextInputFile, KeepsOnlyAsMuchOfALineAsAsked) {
    const ScratchFolder folder;
    TextInputFile file(folder.Write("log.csv", std::string(1'000'000, 'x') + "\r\nnext"));
    std::string line;
    file.ReadLine(line, 5);
    EXPECT_EQ(line, "xxxxx");
    file.ReadLine(line, 5);
    EXPECT_EQ(line, "next");
}

TEST(TextInputFile, RefusesMissingFilesAndDirectories) {
    const ScratchFolder folder;
    EXPECT_THROW(TextInputFile(folder.File("missing.csv")), FileError);
    EXPECT_THROW(TextInputFile(folder.Path().string()), FileError);
}

TEST(TextInputFile, ReleasesItsDescriptorOnEveryPath) {
    const ScratchFolder folder;
    const int before = testing::OpenDescriptorCount();
    {
        TextInputFile file(folder.Write("log.csv", "a\r\n"));
        file.Close();
        file.Close();  // closing twice is no failure
    }
    EXPECT_THROW(TextInputFile(folder.Path().string()), FileError);
    { TextInputFile file(folder.File("log.csv")); }
    EXPECT_EQ(testing::OpenDescriptorCount(), before);
}

}  // namespace
}  // namespace routalo
