#include "conversion/decimal_text.h"

#include <algorithm>
#include <vector>

namespace routalo {
namespace {

constexpr std::int64_t kExponentCap = 1'000'000;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

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
    bool anyDigit = false;
    bool inFraction = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !inFraction) {
            inFraction = true;
        } else if (IsDigit(c)) {
            anyDigit = true;
            if (!number.digits.empty() || c != '0') {
                number.digits.push_back(c);
            }
            number.exponent -= inFraction ? 1 : 0;
        } else {
            break;
        }
    }
    if (!anyDigit) {
        return std::nullopt;
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

std::string ExactProductText(const ExactDecimal& value, std::uint32_t factor, std::int64_t shift) {
    // The digits times the factor, from the lowest digit up.
    std::string digits;
    std::uint64_t carry = 0;
    for (auto it = value.digits.rbegin(); it != value.digits.rend(); ++it) {
        const std::uint64_t product = std::uint64_t(*it - '0') * factor + carry;
        digits.push_back(static_cast<char>('0' + product % 10));
        carry = product / 10;
    }
    for (; carry > 0; carry /= 10) {
        digits.push_back(static_cast<char>('0' + carry % 10));
    }
    std::reverse(digits.begin(), digits.end());
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.empty()) {
        return "0";
    }
    std::int64_t exponent = value.exponent + shift;
    // Zeros at the end of a fraction say nothing.
    while (exponent < 0 && digits.back() == '0') {
        digits.pop_back();
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
        text.append(digits, 0, point).append(".").append(digits, point);
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
