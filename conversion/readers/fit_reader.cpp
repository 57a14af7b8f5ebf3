#include "conversion/readers/fit_reader.h"

#include <array>
#include <utility>

#include "conversion/errors.h"
#include "conversion/readers/crc16.h"
#include "conversion/readers/great_circle.h"
#include "conversion/readers/utc_time.h"
#include "conversion/speed_class.h"
#include "conversion/text_basics.h"

namespace routalo {
namespace {

constexpr std::string_view kFitMark = ".FIT";
constexpr std::size_t kShortHeader = 12;
constexpr std::size_t kLongHeader = 14;

// Global message numbers and their fields, as the protocol numbers them.
constexpr std::uint16_t kRecordMessage = 20;
constexpr std::uint16_t kEventMessage = 21;
constexpr std::uint8_t kTimestampField = 253;
constexpr std::uint8_t kLatitudeField = 0;
constexpr std::uint8_t kLongitudeField = 1;
constexpr std::uint8_t kSpeedField = 6;
constexpr std::uint8_t kEnhancedSpeedField = 73;
constexpr std::uint8_t kEventField = 0;
constexpr std::uint8_t kEventTypeField = 1;

// The event "timer", and its types that stop it.
constexpr std::uint8_t kTimerEvent = 0;
constexpr bool IsTimerStop(std::uint8_t type) {
    // stop, stop_all, stop_disable, stop_disable_all
    return type == 1 || type == 4 || type == 8 || type == 9;
}

// Invalid values of the base types read here.
constexpr std::uint32_t kInvalidSint32 = 0x7FFFFFFF;
constexpr std::uint32_t kInvalidUint32 = 0xFFFFFFFF;
constexpr std::uint16_t kInvalidUint16 = 0xFFFF;

// 1989-12-31T00:00:00Z, the FIT epoch, in seconds since 1970-01-01T00:00:00Z.
constexpr std::int64_t kFitEpoch = 631065600;

// Record header bits.
constexpr unsigned kCompressedTimeHeader = 0x80U;
constexpr unsigned kDefinitionHeader = 0x40U;
constexpr unsigned kDeveloperData = 0x20U;
constexpr unsigned kLocalTypeMask = 0x0FU;
constexpr unsigned kTimeOffsetMask = 0x1FU;

std::uint32_t Unsigned(std::string_view bytes, std::size_t at, std::size_t size, bool big) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[at + (big ? i : size - 1 - i)]);
        value = (value << 8U) | byte;
    }
    return value;
}

std::uint32_t Little(std::string_view bytes, std::size_t at, std::size_t size) {
    return Unsigned(bytes, at, size, false);
}

constexpr std::uint32_t kSecondsPerDay = 86400;

// Writes the decimal digits of `value` to the back of `text` from `at` on,
// moving `at` to the first.
void PutDigitsBefore(std::array<char, 24>& text, std::size_t& at, std::uint64_t value) {
    do {
        text[--at] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
}

// A speed in mm/s as km/h (x 36 / 10^4), exact, written as ExactProductText
// writes it (no zeros at the end of a fraction, no point without one) and
// capped as CapAtTheFastestSpeed caps it, over `kmh`.
void WriteMilliSpeed(std::uint32_t milliSpeed, std::string& kmh) {
    constexpr std::uint64_t kScale = 10'000;
    constexpr int kDecimals = 4;
    const std::uint64_t scaled = std::uint64_t{milliSpeed} * 36;
    std::uint64_t whole = scaled / kScale;
    std::uint32_t fraction = static_cast<std::uint32_t>(scaled % kScale);
    if (whole >= static_cast<std::uint64_t>(kFastestSpeed)) {
        whole = kFastestSpeed;
        fraction = 0;
    }
    std::array<char, 24> text{};
    std::size_t at = text.size();
    if (fraction != 0) {
        int digits = kDecimals;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --digits;
        }
        for (int i = 0; i < digits; ++i) {
            text[--at] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        text[--at] = '.';
    }
    PutDigitsBefore(text, at, whole);
    kmh.assign(text.data() + at, text.size() - at);
}

}  // namespace

bool IsFitHeader(std::string_view bytes) {
    return bytes.size() >= kShortHeader &&
           (bytes[0] == static_cast<char>(kShortHeader) ||
            bytes[0] == static_cast<char>(kLongHeader)) &&
           bytes.substr(8, kFitMark.size()) == kFitMark;
}

void WriteSemicircleDegrees(std::int32_t semicircles, std::string& out) {
    // |semicircles| x 180 x 10^7 < 2^31 x 2^31: the exact value x 10^7 is
    // that product over 2^31, its remainder deciding the rounding.
    constexpr std::uint64_t kScaled = 180ULL * 10'000'000ULL;
    constexpr unsigned kShift = 31;
    constexpr std::uint64_t kHalf = 1ULL << (kShift - 1);
    const bool negative = semicircles < 0;
    const std::uint64_t magnitude =
        negative ? std::uint64_t{0} - static_cast<std::uint64_t>(std::int64_t{semicircles})
                 : static_cast<std::uint64_t>(semicircles);
    const std::uint64_t product = magnitude * kScaled;
    std::uint64_t units = product >> kShift;
    const std::uint64_t remainder = product & ((1ULL << kShift) - 1);
    if (remainder > kHalf || (remainder == kHalf && units % 2 == 1)) {
        ++units;
    }
    constexpr std::uint32_t kUnitsPerDegree = 10'000'000;
    const bool sign = negative && units != 0;  // no "-0.0000000"
    // At most 180 whole degrees: one to three digits, then the point and
    // the fraction's seven, written in place over the text's own room.
    const auto whole = static_cast<std::uint32_t>(units / kUnitsPerDegree);
    auto fraction = static_cast<std::uint32_t>(units % kUnitsPerDegree);
    const std::size_t wholeDigits = whole >= 100 ? 3 : whole >= 10 ? 2 : 1;
    const std::size_t length = (sign ? 1 : 0) + wholeDigits + 8;
    if (out.size() != length) {
        out.resize(length);
    }
    char* at = out.data();
    if (sign) {
        *at++ = '-';
    }
    if (wholeDigits == 3) {
        *at++ = '1';  // 100 to 180
    }
    if (wholeDigits >= 2) {
        PutTwoDigits(at, whole % 100);
        at += 2;
    } else {
        *at++ = static_cast<char>('0' + whole);
    }
    *at++ = '.';
    *at = static_cast<char>('0' + fraction / 1'000'000);
    fraction %= 1'000'000;
    PutTwoDigits(at + 1, fraction / 10'000);
    PutTwoDigits(at + 3, fraction / 100 % 100);
    PutTwoDigits(at + 5, fraction % 100);
}

void FitPointReader::Fail(std::size_t at, const std::string& problem) const {
    throw LogError(LogPlace::Byte(at), problem);
}

void FitPointReader::FoldCrc() {
    crc_ = Crc16(crc_,
                 std::string_view(crcFrom_, static_cast<std::size_t>(window_.data() - crcFrom_)));
    crcFrom_ = window_.data();
}

std::string_view FitPointReader::TakeAcross(std::size_t count) {
    scratch_.clear();
    while (true) {
        const std::size_t piece = std::min(window_.size(), count - scratch_.size());
        scratch_.append(window_.substr(0, piece));
        window_.remove_prefix(piece);
        if (scratch_.size() == count) {
            break;
        }
        FoldCrc();  // before the buffer's bytes give way to the next
        const std::string_view bytes = log_.Buffered();
        if (bytes.empty()) {
            Fail(offset_ + scratch_.size(), "the FIT file is cut off");
        }
        log_.Skip(bytes.size());
        window_ = bytes;
        crcFrom_ = bytes.data();
    }
    offset_ += count;
    return scratch_;
}

std::string_view FitPointReader::TakeData(std::size_t count) {
    if (count > dataEnd_ - offset_) {
        Fail(offset_, "a message runs past the end of the data that the FIT header gives");
    }
    return Take(count);
}

bool FitPointReader::ReadHeader() {
    FoldCrc();  // before a look at the end may refill the buffer
    if (window_.empty() && log_.AtEnd()) {
        return false;
    }
    const std::size_t start = offset_;
    crc_ = 0;
    const std::string_view first = Take(kShortHeader);
    if (!IsFitHeader(first)) {
        Fail(start, "no FIT file header");
    }
    const std::size_t headerSize = static_cast<unsigned char>(first[0]);
    const std::size_t dataSize = Little(first, 4, 4);
    if (headerSize == kLongHeader) {
        FoldCrc();
        const std::uint16_t computed = crc_;
        const std::uint16_t given = static_cast<std::uint16_t>(Little(Take(2), 0, 2));
        if (given != 0 && given != computed) {
            Fail(start + kShortHeader, "the FIT header's CRC does not match its bytes");
        }
    }
    dataEnd_ = offset_ + dataSize;
    definitions_ = {};
    inFile_ = true;
    chainStarts_ = true;
    return true;
}

void FitPointReader::ReadDefinition(std::uint8_t header) {
    const std::size_t start = offset_ - 1;
    const std::string_view fixed = TakeData(5);
    const bool big = fixed[1] != 0;
    if (static_cast<unsigned char>(fixed[1]) > 1) {
        Fail(start, "a definition's byte order is neither 0 nor 1");
    }
    Definition definition;
    definition.defined = true;
    definition.bigEndian = big;
    definition.global = static_cast<std::uint16_t>(Unsigned(fixed, 2, 2, big));
    const std::size_t fieldCount = static_cast<unsigned char>(fixed[4]);
    const std::string_view fields = TakeData(3 * fieldCount);
    std::size_t at = 0;
    for (std::size_t i = 0; i < fieldCount; ++i) {
        const auto number = static_cast<std::uint8_t>(fields[3 * i]);
        const std::size_t size = static_cast<unsigned char>(fields[3 * i + 1]);
        // A field is taken where it has the size its value needs.
        const auto take = [&](std::size_t& where, std::size_t wanted) {
            if (size == wanted) {
                where = at;
            }
        };
        if (number == kTimestampField) {
            take(definition.timestamp, 4);
        } else if (definition.global == kRecordMessage) {
            if (number == kLatitudeField) {
                take(definition.latitude, 4);
            } else if (number == kLongitudeField) {
                take(definition.longitude, 4);
            } else if (number == kSpeedField) {
                take(definition.speed, 2);
            } else if (number == kEnhancedSpeedField) {
                take(definition.enhancedSpeed, 4);
            }
        } else if (definition.global == kEventMessage) {
            if (number == kEventField) {
                take(definition.event, 1);
            } else if (number == kEventTypeField) {
                take(definition.eventType, 1);
            }
        }
        at += size;
    }
    if ((header & kDeveloperData) != 0) {
        const std::size_t developerCount = static_cast<unsigned char>(TakeData(1)[0]);
        const std::string_view developer = TakeData(3 * developerCount);
        for (std::size_t i = 0; i < developerCount; ++i) {
            at += static_cast<unsigned char>(developer[3 * i + 1]);
        }
    }
    definition.size = at;
    definitions_[header & kLocalTypeMask] = definition;
}

bool FitPointReader::ReadData(const Definition& definition,
                              std::optional<std::uint32_t> compressedTime, TrackPoint& point) {
    const std::string_view bytes = TakeData(definition.size);
    const bool big = definition.bigEndian;
    std::optional<std::uint32_t> time = compressedTime;
    if (definition.timestamp != kAbsent) {
        const std::uint32_t stamp = Unsigned(bytes, definition.timestamp, 4, big);
        if (stamp != kInvalidUint32) {
            time = stamp;
            lastTimestamp_ = stamp;
        }
    }
    if (definition.global == kEventMessage) {
        if (definition.event != kAbsent && definition.eventType != kAbsent &&
            static_cast<std::uint8_t>(bytes[definition.event]) == kTimerEvent &&
            IsTimerStop(static_cast<std::uint8_t>(bytes[definition.eventType]))) {
            chainStarts_ = true;
        }
        return false;
    }
    if (definition.global != kRecordMessage || definition.latitude == kAbsent ||
        definition.longitude == kAbsent) {
        return false;
    }
    const std::uint32_t latitude = Unsigned(bytes, definition.latitude, 4, big);
    const std::uint32_t longitude = Unsigned(bytes, definition.longitude, 4, big);
    if (latitude == kInvalidSint32 || longitude == kInvalidSint32) {
        return false;
    }
    std::optional<std::uint32_t> milliSpeed;
    if (definition.enhancedSpeed != kAbsent) {
        const std::uint32_t value = Unsigned(bytes, definition.enhancedSpeed, 4, big);
        if (value != kInvalidUint32) {
            milliSpeed = value;
        }
    }
    if (!milliSpeed && definition.speed != kAbsent) {
        const std::uint32_t value = Unsigned(bytes, definition.speed, 2, big);
        if (value != kInvalidUint16) {
            milliSpeed = value;
        }
    }
    const auto signedOf = [](std::uint32_t value) {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(value) -
                                         (value >= 0x80000000U ? 0x100000000LL : 0));
    };
    constexpr std::int64_t kSemicirclesPerDegreeTimes180 = 1LL << 31;
    const std::int32_t lat = signedOf(latitude);
    // Beyond 90 degrees either way no latitude is.
    if (std::int64_t{lat} * 180 > kSemicirclesPerDegreeTimes180 * kLatitudeLimit ||
        std::int64_t{lat} * 180 < -kSemicirclesPerDegreeTimes180 * kLatitudeLimit) {
        Fail(offset_ - definition.size - 1, "a record's position_lat lies beyond 90 degrees");
    }
    MakePoint(lat, signedOf(longitude), time, milliSpeed, point);
    return true;
}

void FitPointReader::MakePoint(std::int32_t latitude, std::int32_t longitude,
                               std::optional<std::uint32_t> time,
                               std::optional<std::uint32_t> milliSpeed, TrackPoint& point) {
    if (chainStarts_) {
        previousTime_.reset();
        previousSpeed_.assign(1, '0');
    }
    WriteSemicircleDegrees(latitude, point.Latitude);
    WriteSemicircleDegrees(longitude, point.Longitude);
    if (time) {
        // The date only when the day changes: a record a second.
        const std::uint32_t day = *time / kSecondsPerDay;
        if (date_.empty() || day != dateDay_) {
            WriteDateOfDay(kFitEpoch / kSecondsPerDay + day, date_);
            dateDay_ = day;
        }
        point.Date = date_;
        WriteTimeOfDay(*time % kSecondsPerDay, point.Time);
    } else {
        point.Date.clear();
        point.Time.clear();
    }
    if (milliSpeed) {
        WriteMilliSpeed(*milliSpeed, point.Speed);
    } else if (time && previousTime_ && *time > *previousTime_) {
        // From the degrees as written, as the GPX reader derives it.
        std::string fromLatitude;
        std::string fromLongitude;
        WriteSemicircleDegrees(previousLatitude_, fromLatitude);
        WriteSemicircleDegrees(previousLongitude_, fromLongitude);
        point.Speed =
            DerivedSpeedBetween(fromLatitude, fromLongitude, point.Latitude, point.Longitude,
                                static_cast<double>(*time - *previousTime_));
    } else {
        point.Speed = previousSpeed_;
    }
    point.XmlSafe = true;  // digits, signs, points, "-" and ":" alone
    previousSpeed_ = point.Speed;
    previousTime_ = time;
    previousLatitude_ = latitude;
    previousLongitude_ = longitude;
}

PointStep FitPointReader::Next(TrackPoint& point) {
    while (true) {
        if (!inFile_) {
            if (!ReadHeader()) {
                return PointStep::kEnd;
            }
        }
        if (offset_ == dataEnd_) {
            FoldCrc();
            const std::uint16_t computed = crc_;
            const std::size_t at = offset_;
            const std::string_view given = Take(2);
            if (Little(given, 0, 2) != computed) {
                Fail(at, "the FIT file's CRC does not match its bytes");
            }
            inFile_ = false;
            continue;
        }
        const std::size_t start = offset_;
        const auto header = static_cast<std::uint8_t>(TakeData(1)[0]);
        std::optional<std::uint32_t> compressedTime;
        std::size_t local = header & kLocalTypeMask;
        if ((header & kCompressedTimeHeader) != 0) {
            local = (header >> 5U) & 0x03U;
            const std::uint32_t offset = header & kTimeOffsetMask;
            if (!lastTimestamp_) {
                Fail(start, "a compressed timestamp follows no timestamp");
            }
            const std::uint32_t last = *lastTimestamp_;
            std::uint32_t stamp = (last & ~kTimeOffsetMask) + offset;
            if (offset < (last & kTimeOffsetMask)) {
                stamp += kTimeOffsetMask + 1;
            }
            compressedTime = stamp;
            lastTimestamp_ = stamp;
        } else if ((header & kDefinitionHeader) != 0) {
            ReadDefinition(header);
            continue;
        }
        const Definition& definition = definitions_[local];
        if (!definition.defined) {
            Fail(start, "a data message of local type " + std::to_string(local) +
                            ", which is not defined");
        }
        if (ReadData(definition, compressedTime, point)) {
            return std::exchange(chainStarts_, false) ? PointStep::kNewChain
                                                      : PointStep::kNextPoint;
        }
    }
}

}  // namespace routalo
