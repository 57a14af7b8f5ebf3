#include "conversion/files/inflating_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <utility>

#include "conversion/errors.h"
#include "conversion/stop/stop_request.h"
#include "tests/support/gzip.h"

namespace routalo {
namespace {

// All that `compressed` inflates to, its first `pending` bytes handed over
// as already read and the rest read 7 bytes at a time; or the cause of the
// failure.
std::string InflateAll(const std::string& compressed, std::size_t pending = 2) {
    std::size_t at = pending;
    InflatingInput input(
        std::string_view(compressed).substr(0, pending), [&](char* to, std::size_t size) {
            const std::size_t count = std::min({size, std::size_t{7}, compressed.size() - at});
            compressed.copy(to, count, at);
            at += count;
            return count;
        });
    std::string out;
    char piece[1000];
    try {
        while (const std::size_t count = input.Read(piece, sizeof piece)) {
            out.append(piece, count);
        }
    } catch (const ConversionError& error) {
        return CauseWithPlace(error);
    }
    return out;
}

TEST(InflatingInput, InflatesEveryMemberOrFailsWithZlibsReason) {
    std::string text;
    for (int i = 0; i < 5000; ++i) {
        text += std::to_string(i * 7919 % 10007) + ",";
    }
    const std::string one = testing::Gzip(text);
    std::string badMethod = one;
    badMethod[2] = 7;
    std::string badData = one;
    badData[one.size() - 5] ^= 1;  // in the CRC-32 of the trailer
    const std::pair<std::string, std::string> cases[] = {
        {one, text},
        {one + testing::Gzip("") + testing::Gzip("end"), text + "end"},
        {one.substr(0, 100), "byte 100: the gzip stream is cut off"},
        {one.substr(0, one.size() - 1),
         "byte " + std::to_string(one.size() - 1) + ": the gzip stream is cut off"},
        {badMethod, "byte 4: the gzip stream is corrupt: unknown compression method"},
        {badData, "byte " + std::to_string(one.size() - 4) +
                      ": the gzip stream is corrupt: incorrect data check"},
        {one + "trailing", "byte " + std::to_string(one.size() + 2) +
                               ": the gzip stream is corrupt: incorrect header check"},
    };
    for (const auto& [compressed, inflated] : cases) {
        EXPECT_EQ(InflateAll(compressed), inflated);
        EXPECT_EQ(InflateAll(compressed, compressed.size()), inflated);
    }
}

// A stream that inflates without end stops at a stop request: between two
// pieces of output, whatever the input.
TEST(InflatingInput, StopsBetweenTwoPiecesAtAStopRequest) {
    const std::string zeros = testing::Gzip(std::string(std::size_t{1} << 24, '\0'));
    InflatingInput input(zeros, [](char*, std::size_t) { return std::size_t{0}; });
    char piece[4096];
    ASSERT_EQ(input.Read(piece, sizeof piece), sizeof piece);
    RequestStop(SIGINT);
    EXPECT_THROW((void)input.Read(piece, sizeof piece), StopRequested);
    detail::requestedStop.store(0);  // for the tests after this one
}

}  // namespace
}  // namespace routalo
