#include "conversion/speed_class.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "conversion/decimal_text.h"
#include "conversion/errors.h"

namespace routalo {
namespace {

constexpr int kHighestClass = 25;
constexpr int kSharedFastClass = 24;

// Fails with the speed as written, cut short when long: "the speed "fast"
// is not a number".
[[noreturn]] void FailSpeed(std::string_view text, const char* problem) {
    constexpr std::size_t kShownBytes = 24;
    std::string shown(text.substr(0, kShownBytes));
    if (text.size() > kShownBytes) {
        shown += "...";
    }
    throw SpeedError("the speed \"" + shown + "\" " + problem);
}

// The pieces of a speed's text; a text that is no number fails.
DecimalPieces ReadSpeedPieces(std::string_view text) {
    std::optional<DecimalPieces> pieces = ReadDecimalPieces(text, true);
    if (!pieces) {
        FailSpeed(text, "is not a number");
    }
    return *pieces;
}

// Whether a whole number `whole` followed by the digits `fraction` rounds up,
// halves going to the even neighbour.
bool RoundsUp(std::string_view fraction, std::int64_t whole) {
    if (fraction.empty() || fraction[0] < '5') {
        return false;
    }
    if (fraction[0] > '5') {
        return true;
    }
    const bool aboveHalf = fraction.find_first_not_of('0', 1) != std::string_view::npos;
    return aboveHalf || whole % 2 == 1;
}

int SignedInRange(std::string_view text, bool negative, std::int64_t whole) {
    const std::int64_t value = negative ? -whole : whole;
    if (value < -kFastestSpeed - 1 || value > kFastestSpeed) {
        FailSpeed(text, "is out of range");
    }
    return static_cast<int>(value);
}

// A number without exponent and with few digits in front of the point, as
// nearly every logged speed is: its digits are its value as they stand.
constexpr std::size_t kPlainIntegerDigits = 18;  // fits in 63 bits

int RoundPlain(std::string_view text, const DecimalPieces& number) {
    std::int64_t whole = 0;
    for (const char digit : number.wholeDigits) {
        whole = whole * 10 + (digit - '0');
    }
    whole += RoundsUp(number.fractionDigits, whole) ? 1 : 0;
    return SignedInRange(text, number.negative, whole);
}

int RoundPieces(std::string_view text, const DecimalPieces& number) {
    if (number.exponent == 0 && number.wholeDigits.size() <= kPlainIntegerDigits) {
        return RoundPlain(text, number);
    }

    // All digits in one row; the decimal point stands `point` digits in.
    std::string digits;
    digits.reserve(number.wholeDigits.size() + number.fractionDigits.size());
    digits.append(number.wholeDigits).append(number.fractionDigits);
    std::int64_t point = static_cast<std::int64_t>(number.wholeDigits.size()) + number.exponent;
    const std::size_t firstNonZero = digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos) {
        return 0;
    }
    digits.erase(0, firstNonZero);
    point -= static_cast<std::int64_t>(firstNonZero);

    // Now the value is 0.<digits> x 10^point with a non-zero first digit.
    constexpr std::int64_t kMostIntegerDigits = 5;  // 32768 has five
    if (point > kMostIntegerDigits) {
        FailSpeed(text, "is out of range");
    }
    std::int64_t whole = 0;
    for (std::int64_t k = 0; k < point; ++k) {
        const auto at = static_cast<std::size_t>(k);
        whole = whole * 10 + (at < digits.size() ? digits[at] - '0' : 0);
    }
    // The fraction is what stands behind the point; a negative point means
    // leading zeros in front of the digits, which keep it below one half.
    if (point >= 0 && static_cast<std::size_t>(point) < digits.size()) {
        const std::string_view fraction =
            std::string_view(digits).substr(static_cast<std::size_t>(point));
        whole += RoundsUp(fraction, whole) ? 1 : 0;
    }
    return SignedInRange(text, number.negative, whole);
}

}  // namespace

void CapAtTheFastestSpeed(std::string& kmh) {
    static const std::string kFastest = std::to_string(kFastestSpeed);
    const std::size_t whole = std::min(kmh.find('.'), kmh.size());
    if (whole > kFastest.size() ||
        (whole == kFastest.size() && std::string_view(kmh).substr(0, whole) >= kFastest)) {
        kmh.assign(kFastest);
    }
}

int RoundSpeed(std::string_view text) {
    return RoundPieces(text, ReadSpeedPieces(text));
}

int SpeedClassOf(std::string_view text) {
    const int speed = RoundSpeed(text);
    if (speed > kHighestClass) {
        return kSharedFastClass;
    }
    if (speed < 0) {
        FailSpeed(text, "rounds below zero");
    }
    return speed;
}

std::optional<TopSpeed> TopSpeed::Read(std::string_view kmh) {
    if (kmh.empty() || !IsDigit(kmh[0])) {
        return std::nullopt;  // no sign, no bare point
    }
    std::optional<ExactDecimal> number = ReadExactDecimal(kmh, false);
    if (!number || number->digits.empty()) {
        return std::nullopt;
    }
    // The value lies in [10^(magnitude - 1), 10^magnitude).
    const std::int64_t magnitude =
        static_cast<std::int64_t>(number->digits.size()) + number->exponent;
    const bool exactlyAThousand = magnitude == 4 &&
                                  number->digits.find_first_not_of('0', 1) == std::string::npos &&
                                  number->digits[0] == '1';
    if (magnitude < 1 || (magnitude > 3 && !exactlyAThousand)) {
        return std::nullopt;
    }
    return TopSpeed(std::move(*number));
}

TopSpeed::TopSpeed(ExactDecimal kmh) : kmh_(std::move(kmh)) {
    constexpr std::size_t kMostDigits = 7;
    constexpr std::int64_t kMostScale = 6;
    if (kmh_.digits.size() > kMostDigits || kmh_.exponent < -kMostScale || kmh_.exponent > 3) {
        return;
    }
    for (const char digit : kmh_.digits) {
        scaledKmh_ = scaledKmh_ * 10 + (digit - '0');
    }
    for (std::int64_t i = 0; i < kmh_.exponent; ++i) {
        scaledKmh_ *= 10;
    }
    scale_ = kmh_.exponent < 0 ? static_cast<int>(-kmh_.exponent) : 0;
}

int TopSpeed::ClassOf(std::string_view text) const {
    // The quick way, for a speed as nearly every log writes it: digits, a
    // point and up to nine more (a speed of 32767 km/h or more, which may be
    // out of range, goes the long way). The class is speed x 25 / top speed
    // rounded, halves to the even neighbour: both as whole numbers of their
    // units, in 128 bits, which hold the largest product, 32767 x 10^9 x 25
    // x 10^6, many times over.
    __extension__ using Wide = unsigned __int128;
    const std::size_t point = std::min(text.find('.'), text.size());
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point < text.size() ? text.substr(point + 1) : "";
    constexpr std::size_t kMostWholeDigits = 5;
    constexpr std::size_t kMostFractionDigits = 9;
    constexpr std::uint64_t kRangeEnd = 32767;
    if (scaledKmh_ != 0 && whole.size() <= kMostWholeDigits &&
        fraction.size() <= kMostFractionDigits && !(whole.empty() && fraction.empty()) &&
        std::ranges::all_of(whole, IsDigit) && std::ranges::all_of(fraction, IsDigit)) {
        std::uint64_t wholeKmh = 0;
        for (const char digit : whole) {
            wholeKmh = wholeKmh * 10 + static_cast<std::uint64_t>(digit - '0');
        }
        if (wholeKmh < kRangeEnd) {
            Wide speed = wholeKmh;
            for (const char digit : fraction) {
                speed = speed * 10 + static_cast<std::uint64_t>(digit - '0');
            }
            // speed / 10^f x 25 / (top / 10^scale) = speed x 25 x 10^scale / (top x 10^f)
            Wide numerator = speed * kHighestClass;
            for (int i = 0; i < scale_; ++i) {
                numerator *= 10;
            }
            Wide denominator = static_cast<std::uint64_t>(scaledKmh_);
            for (std::size_t i = 0; i < fraction.size(); ++i) {
                denominator *= 10;
            }
            const Wide quotient = numerator / denominator;
            const Wide twice = 2 * (numerator % denominator);
            const bool up = twice > denominator || (twice == denominator && quotient % 2 == 1);
            return static_cast<int>(std::min<Wide>(quotient + (up ? 1 : 0), kHighestClass));
        }
    }
    const DecimalPieces pieces = ReadSpeedPieces(text);
    (void)RoundPieces(text, pieces);  // in range
    ExactDecimal speed = ExactDecimalOf(pieces);
    const bool negative = speed.negative;
    speed.negative = false;
    const int speedClass = RoundedQuotient(speed, kHighestClass, kmh_, kHighestClass);
    if (negative && speedClass > 0) {
        FailSpeed(text, "rounds below zero");
    }
    return speedClass;
}

}  // namespace routalo
