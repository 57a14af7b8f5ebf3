#include "conversion/decimal_text.h"

#include <algorithm>
#include <vector>

namespace routalo {
namespace {

constexpr std::int64_t kExponentCap = 1'000'000;

// A whole number of any size, in limbs of nine decimal digits, the lowest
// first: just enough to compare exact products.
class WholeNumber {
  public:
    explicit WholeNumber(std::string_view digits) {
        for (std::size_t end = digits.size(); end > 0;) {
            const std::size_t start = end > kLimbDigits ? end - kLimbDigits : 0;
            std::uint32_t limb = 0;
            for (std::size_t i = start; i < end; ++i) {
                limb = limb * 10 + static_cast<std::uint32_t>(digits[i] - '0');
            }
            limbs_.push_back(limb);
            end = start;
        }
        Trim();
    }

    [[nodiscard]] WholeNumber Times(std::uint32_t factor) const {
        WholeNumber product = *this;
        std::uint64_t carry = 0;
        for (std::uint32_t& limb : product.limbs_) {
            const std::uint64_t value = std::uint64_t{limb} * factor + carry;
            limb = static_cast<std::uint32_t>(value % kLimbBase);
            carry = value / kLimbBase;
        }
        while (carry > 0) {
            product.limbs_.push_back(static_cast<std::uint32_t>(carry % kLimbBase));
            carry /= kLimbBase;
        }
        product.Trim();
        return product;
    }

    // -1, 0 or 1 as this is less than, equal to or greater than `other`.
    [[nodiscard]] int Compare(const WholeNumber& other) const {
        if (limbs_.size() != other.limbs_.size()) {
            return limbs_.size() < other.limbs_.size() ? -1 : 1;
        }
        for (std::size_t i = limbs_.size(); i > 0; --i) {
            if (limbs_[i - 1] != other.limbs_[i - 1]) {
                return limbs_[i - 1] < other.limbs_[i - 1] ? -1 : 1;
            }
        }
        return 0;
    }

  private:
    static constexpr std::size_t kLimbDigits = 9;
    static constexpr std::uint64_t kLimbBase = 1'000'000'000;

    void Trim() {
        while (!limbs_.empty() && limbs_.back() == 0) {
            limbs_.pop_back();
        }
    }

    std::vector<std::uint32_t> limbs_;
};

}  // namespace

std::optional<ExactDecimal> ReadExactDecimal(std::string_view text, bool withExponent) {
    ExactDecimal number;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        number.negative = text[i] == '-';
        ++i;
    }
    // The whole part and the fraction are found first and their digits
    // taken in one piece each: a coordinate is read for every point.
    const std::size_t wholeStart = i;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
    }
    const std::string_view whole = text.substr(wholeStart, i - wholeStart);
    std::string_view fraction;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fractionStart = ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
        }
        fraction = text.substr(fractionStart, i - fractionStart);
    }
    if (whole.empty() && fraction.empty()) {
        return std::nullopt;
    }
    number.exponent = -static_cast<std::int64_t>(fraction.size());
    if (const std::size_t firstOfWhole = whole.find_first_not_of('0');
        firstOfWhole != std::string_view::npos) {
        number.digits.reserve(whole.size() - firstOfWhole + fraction.size());
        number.digits.append(whole.substr(firstOfWhole)).append(fraction);
    } else if (const std::size_t firstOfFraction = fraction.find_first_not_of('0');
               firstOfFraction != std::string_view::npos) {
        number.digits.assign(fraction.substr(firstOfFraction));
    }
    if (withExponent && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        const std::size_t first = i;
        std::int64_t exponent = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            exponent = std::min(exponent * 10 + (text[i] - '0'), kExponentCap);
        }
        if (i == first) {
            return std::nullopt;
        }
        number.exponent += negativeExponent ? -exponent : exponent;
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    if (number.digits.empty()) {
        number.negative = false;
        number.exponent = 0;
    }
    return number;
}

bool IsDecimalWithin(std::string_view text, int limit, std::size_t& fractionZeros) {
    // One pass: the whole part's value while it has at most three digits
    // beyond its leading zeros, then whether the fraction holds any digit
    // other than zero, and after how many zeros.
    constexpr int kLimitDigits = 3;
    fractionZeros = 0;
    std::size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    bool anyDigit = false;
    int value = 0;
    int wholeDigits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        anyDigit = true;
        if (value != 0 || text[i] != '0') {
            if (++wholeDigits > kLimitDigits) {
                return false;
            }
            value = value * 10 + (text[i] - '0');
        }
    }
    bool anyFraction = false;
    std::size_t zeros = 0;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && IsDigit(text[i]); ++i) {
            anyDigit = true;
            if (!anyFraction) {
                anyFraction = text[i] != '0';
                zeros += anyFraction ? 0 : 1;
            }
        }
    }
    if (i != text.size() || !anyDigit) {
        return false;
    }
    if (value == 0 && anyFraction) {
        fractionZeros = zeros;
    }
    return value < limit || (value == limit && !anyFraction);
}

std::string ExactProductText(const ExactDecimal& value, std::uint32_t factor, std::int64_t shift) {
    // The digits times the factor, written at the back of room that the
    // carry of a 32-bit factor (ten digits) fits in. Up to nine digits, as a
    // speed has, the product fits in 64 bits and is one multiplication.
    constexpr std::size_t kCarryDigits = 10;
    constexpr std::size_t kDigitsInOneWord = 9;
    std::string product(value.digits.size() + kCarryDigits, '0');
    std::size_t at = product.size();
    if (value.digits.size() <= kDigitsInOneWord) {
        std::uint64_t whole = 0;
        for (const char digit : value.digits) {
            whole = whole * 10 + static_cast<std::uint64_t>(digit - '0');
        }
        for (whole *= factor; whole > 0; whole /= 10) {
            product[--at] = static_cast<char>('0' + whole % 10);
        }
    } else {
        std::uint64_t carry = 0;
        for (auto it = value.digits.rbegin(); it != value.digits.rend(); ++it) {
            const std::uint64_t step = std::uint64_t(*it - '0') * factor + carry;
            product[--at] = static_cast<char>('0' + step % 10);
            carry = step / 10;
        }
        for (; carry > 0; carry /= 10) {
            product[--at] = static_cast<char>('0' + carry % 10);
        }
    }
    std::string_view digits = std::string_view(product).substr(at);
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.empty()) {
        return "0";
    }
    std::int64_t exponent = value.exponent + shift;
    // Zeros at the end of a fraction say nothing.
    while (exponent < 0 && digits.back() == '0') {
        digits.remove_suffix(1);
        ++exponent;
    }
    std::string text = value.negative ? "-" : "";
    if (exponent >= 0) {
        text.append(digits).append(static_cast<std::size_t>(exponent), '0');
        return text;
    }
    const auto fractionDigits = static_cast<std::size_t>(-exponent);
    if (digits.size() <= fractionDigits) {
        text.append("0.").append(fractionDigits - digits.size(), '0').append(digits);
    } else {
        const std::size_t point = digits.size() - fractionDigits;
        text.append(digits.substr(0, point)).append(".").append(digits.substr(point));
    }
    return text;
}

int RoundedQuotient(const ExactDecimal& numerator, std::uint32_t factor,
                    const ExactDecimal& denominator, int cap) {
    if (numerator.digits.empty() || factor == 0) {
        return 0;
    }
    // The order of magnitude of numerator / denominator tells the far cases
    // without any sum: it lies below 10^(magnitude + 1) and above
    // 10^(magnitude - 1); the factor adds less than its number of digits.
    const std::int64_t shift = numerator.exponent - denominator.exponent;
    const std::int64_t magnitude = static_cast<std::int64_t>(numerator.digits.size()) + shift -
                                   static_cast<std::int64_t>(denominator.digits.size());
    if (magnitude + static_cast<std::int64_t>(std::to_string(factor).size()) < -1) {
        return 0;  // below 0.1
    }
    if (magnitude > static_cast<std::int64_t>(std::to_string(cap).size())) {
        return cap;
    }
    // quotient = left / right, both whole: the exponents go as zeros to one side.
    std::string left = numerator.digits;
    std::string right = denominator.digits;
    (shift >= 0 ? left : right).append(static_cast<std::size_t>(shift >= 0 ? shift : -shift), '0');
    const WholeNumber twiceLeft = WholeNumber(left).Times(factor).Times(2);
    const WholeNumber whole(right);
    for (int k = 0; k < cap; ++k) {
        // Compare the quotient with k + 1/2: 2 x left against (2k + 1) x right.
        const int order = twiceLeft.Compare(whole.Times(static_cast<std::uint32_t>(2 * k + 1)));
        if (order < 0) {
            return k;
        }
        if (order == 0) {
            return k % 2 == 0 ? k : k + 1;
        }
    }
    return cap;
}

}  // namespace routalo
