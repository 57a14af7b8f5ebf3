#include "conversion/readers/xml_point_values.h"

#include <algorithm>

#include "conversion/decimal_text.h"
#include "conversion/readers/great_circle.h"

namespace routalo {

std::size_t WholeCharacters(std::string_view text, std::size_t most) {
    std::size_t size = std::min(most, text.size());
    while (size > 0 && size < text.size() &&
           (static_cast<unsigned char>(text[size]) & 0xC0U) == 0x80U) {
        --size;
    }
    return size;
}

void ElementText::Clear() {
    text.clear();
    present = false;
    tooLong = false;
    closed = false;
}

void ElementText::Take(XmlNodeSource& source) {
    if (closed || tooLong) {
        return;
    }
    Append(source.Text(kLongestValue - text.size() + 1));
}

void ElementText::Append(std::string_view piece) {
    const std::size_t room = kLongestValue - std::min(text.size(), kLongestValue);
    tooLong = tooLong || piece.size() > room;
    text.append(piece.substr(0, WholeCharacters(piece, room)));
}

bool IsCoordinateWithin(std::string_view text, int limit) {
    constexpr std::size_t kMostFractionZeros = 300;
    std::size_t fractionZeros = 0;
    double ignored = 0;
    return IsDecimalWithin(text, limit, fractionZeros) &&
           (fractionZeros <= kMostFractionZeros || ReadDegrees(text, ignored));
}

}  // namespace routalo
