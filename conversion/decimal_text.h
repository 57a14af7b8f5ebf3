#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace routalo {

// An ASCII digit, whatever the locale.
[[nodiscard]] inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A decimal number as written, held exactly: the value is
// (negative ? -1 : 1) x digits x 10^exponent, `digits` holding no leading
// zeros (empty for zero).
struct ExactDecimal {
    bool negative = false;
    std::string digits;
    std::int64_t exponent = 0;
};

// Reads an optional sign, digits with an optional "." and fraction (at least
// one digit in all) and, when `withExponent`, an optional exponent ("e5",
// "E-3"). Nothing for any other text. An exponent beyond a million is capped
// there: no value that matters here comes near it.
[[nodiscard]] std::optional<ExactDecimal> ReadExactDecimal(std::string_view text,
                                                           bool withExponent);

// Whether `text` reads as ReadExactDecimal(text, false) would read it and
// its value lies within -limit..limit (a limit below 1000), found on the
// text itself with no digits kept: a reader checks two coordinates for
// every point. `fractionZeros` is set to the zeros that begin the fraction
// of a value below 1, the others to zero: a value of more than 300 lies
// below 10^-300, where a double may underflow.
[[nodiscard]] bool IsDecimalWithin(std::string_view text, int limit, std::size_t& fractionZeros);

// The exact product of `value` and the whole number `factor` x 10^`shift`,
// written as plain decimal text ("-12.3456", "0"): knots to km/h is
// factor 1852, shift -3.
[[nodiscard]] std::string ExactProductText(const ExactDecimal& value, std::uint32_t factor,
                                           std::int64_t shift);

// numerator x factor / denominator rounded to a whole number, halves going
// to the even neighbour, found on the exact values; both decimals must be
// non-negative and the denominator above zero. Answers at most `cap`: a
// larger quotient gives `cap`.
[[nodiscard]] int RoundedQuotient(const ExactDecimal& numerator, std::uint32_t factor,
                                  const ExactDecimal& denominator, int cap);

}  // namespace routalo
