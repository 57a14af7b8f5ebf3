// Decimal texts read and multiplied exactly, as the readers use them for
// coordinates and speeds.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

#include "conversion/decimal_text.h"

namespace routalo {
namespace {

TEST(IsDecimalWithin, AgreesWithTheExactReadingAtTheLimits) {
    // text, limit, within, fraction zeros
    const std::tuple<std::string, int, bool, std::size_t> cases[] = {
        {"90", 90, true, 0},        {"+90.000", 90, true, 0},
        {"-90", 90, true, 0},       {"90.0001", 90, false, 0},
        {"0089.9", 90, true, 0},    {"1000", 180, false, 0},
        {"000179.5", 180, true, 0}, {".5", 90, true, 0},
        {"5.", 90, true, 0},        {"-0.00012", 90, true, 3},
        {"0.000", 90, true, 0},     {"1.0001", 90, true, 0},
        {"", 90, false, 0},         {"+", 90, false, 0},
        {".", 90, false, 0},        {"1e2", 180, false, 0},
        {"1.2.3", 90, false, 0},    {" 1", 90, false, 0},
        {"--1", 90, false, 0},      {"180.0000000001", 180, false, 0},
    };
    for (const auto& [text, limit, within, zeros] : cases) {
        std::size_t fractionZeros = 99;
        EXPECT_EQ(IsDecimalWithin(text, limit, fractionZeros), within) << text;
        if (within) {
            EXPECT_EQ(fractionZeros, zeros) << text;
        }
        // Whatever is within reads as an exact decimal too.
        EXPECT_TRUE(!within || ReadExactDecimal(text, false).has_value()) << text;
    }
}

TEST(ExactProductText, WritesTheExactProductInPlainDecimals) {
    // value, factor, shift, product: metres a second to km/h is 36 and -1,
    // knots 1852 and -3. Up to nine digits are one multiplication, more go
    // digit by digit.
    const std::tuple<std::string, std::uint32_t, std::int64_t, std::string> cases[] = {
        {"1.5", 36, -1, "5.4"},
        {"-2.50", 36, -1, "-9"},
        {"0.000", 36, -1, "0"},
        {"123456789", 36, -1, "444444440.4"},
        {"1234567891", 36, -1, "4444444407.6"},
        {"0.0000000000001", 1852, -3, "0.0000000000001852"},
        {"99999999999999999999", 4294967295U, 0, "429496729499999999995705032705"},
        {"7", 1, 3, "7000"},
    };
    for (const auto& [value, factor, shift, product] : cases) {
        const std::optional<ExactDecimal> number = ReadExactDecimal(value, false);
        ASSERT_TRUE(number.has_value()) << value;
        EXPECT_EQ(ExactProductText(*number, factor, shift), product) << value;
    }
}

}  // namespace
}  // namespace routalo
