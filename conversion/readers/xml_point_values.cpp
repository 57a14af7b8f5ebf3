#include "conversion/readers/xml_point_values.h"

#include <algorithm>

#include "conversion/decimal_text.h"
#include "conversion/readers/great_circle.h"
#include "conversion/speed_class.h"
#include "conversion/text_basics.h"

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

std::optional<std::string> ChainedTimeAndSpeed::Write(TrackPoint& point, const DateTimeText& time,
                                                      const ElementText& speed, bool chainStarts) {
    if (chainStarts) {
        previousTimed_ = false;
        previousSpeed_.assign(1, '0');
    }
    if (time.present) {
        if (!time.Read(stamp_)) {
            return "the time \"" + time.Shown() + "\" is no ISO 8601 date-time";
        }
        // The time between points needs the stamp's seconds and fraction
        // alone: its texts go to the point.
        point.Date.swap(stamp_.date);
        point.Time.swap(stamp_.time);
    } else {
        point.Date.clear();
        point.Time.clear();
    }
    std::optional<ExactDecimal> metresPerSecond;
    if (speed.present) {
        metresPerSecond =
            speed.tooLong ? std::nullopt : ReadExactDecimal(TrimXmlBlanks(speed.text), false);
        if (!metresPerSecond) {
            return "the speed \"" + speed.Shown() + "\" is not a number";
        }
        // A negative speed is the "unknown" of some programs.
        if (metresPerSecond->negative && !metresPerSecond->digits.empty()) {
            metresPerSecond.reset();
        }
    }
    std::optional<double> seconds;
    if (metresPerSecond) {
        constexpr std::uint32_t kKilometresPerHourTimesTen = 36;  // per m/s
        point.Speed = ExactProductText(*metresPerSecond, kKilometresPerHourTimesTen, -1);
        CapAtTheFastestSpeed(point.Speed);
    } else if (time.present && previousTimed_ &&
               (seconds = SecondsBetween(previousTime_, stamp_))) {
        // Both points' coordinates passed their limits, so each reads.
        point.Speed = DerivedSpeedBetween(previousLatitude_, previousLongitude_, point.Latitude,
                                          point.Longitude, *seconds);
    } else {
        point.Speed = previousSpeed_;
    }
    point.XmlSafe = true;  // coordinates of digits, signs and points alone
    previousSpeed_ = point.Speed;
    // What the time between points needs; the stamp's texts stay for the
    // next point's.
    std::swap(previousTime_.seconds, stamp_.seconds);
    previousTime_.fraction.swap(stamp_.fraction);
    previousTimed_ = time.present;
    previousLatitude_ = point.Latitude;
    previousLongitude_ = point.Longitude;
    return std::nullopt;
}

}  // namespace routalo
