#include "bench/track_log_generator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <string_view>

#include "conversion/readers/crc16.h"

namespace routalo::bench {
namespace {

struct Place {
    double longitude;
    double latitude;
};

// Town centres: where the first trip starts and where the rides go.
constexpr std::array<Place, 12> kTowns = {{
    {5.121420, 52.090737},  // Utrecht
    {4.895168, 52.370216},  // Amsterdam
    {4.477733, 51.924420},  // Rotterdam
    {4.300700, 52.070498},  // Den Haag
    {5.469722, 51.441642},  // Eindhoven
    {5.898730, 51.985103},  // Arnhem
    {5.387827, 52.156111},  // Amersfoort
    {4.497010, 52.160114},  // Leiden
    {5.303675, 51.697816},  // 's-Hertogenbosch
    {4.776024, 51.571915},  // Breda
    {4.708300, 52.011500},  // Gouda
    {5.852798, 51.812563},  // Nijmegen
}};

// Within this distance of its destination, in degrees, a ride picks the next.
constexpr double kArrived = 0.01;

constexpr double kMetresPerDegreeLatitude = 111'320.0;
constexpr double kDegree = std::numbers::pi / 180.0;
constexpr int kSecondsPerDay = 24 * 3600;
constexpr int kDaysTo2007 = 13'514;  // 1 January 2007, counted from 1 January 1970

// The kinds of trip: a bike ride, a drive through town, a drive in the country.
struct TripKind {
    double lowestMaxSpeed;
    double highestMaxSpeed;
    int shortestStopGap;  // seconds between stops
    int longestStopGap;
};
constexpr std::array<TripKind, 3> kTripKinds = {{
    {16.0, 28.0, 60, 400},
    {30.0, 50.0, 30, 240},
    {45.0, 60.0, 120, 900},
}};

struct CivilDate {
    int year;
    int month;
    int day;
};

// The calendar date of a day counted from 1 January 1970 (proleptic Gregorian).
CivilDate CivilFromDays(int days) {
    const int z = days + 719'468;
    const int era = z / 146'097;
    const int dayOfEra = z - era * 146'097;
    const int yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const int month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

void AppendNumber(std::string& out, long value) {
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), result.ptr);
}

void AppendTwoDigits(std::string& out, int value) {
    out.push_back(static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

void AppendFixed(std::string& out, double value, int decimals) {
    std::array<char, 32> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                                      std::chars_format::fixed, decimals);
    out.append(digits.data(), result.ptr);
}

}  // namespace

TrackLogGenerator::TrackLogGenerator(std::uint64_t seed) : state_(seed) {
    const Place& town = kTowns.at(NextRandom() % kTowns.size());
    longitude_ = town.longitude;
    latitude_ = town.latitude;
    heading_ = Uniform() * 2 * std::numbers::pi;
    PickDestination();
    day_ = kDaysTo2007 + RandomBelow(700);
    secondOfDay_ = 7 * 3600 + RandomBelow(12 * 3600);
}

const std::string& TrackLogGenerator::Header() {
    static const std::string header =
        "Longitude,Latitude,Speed(kilometer),DD/MM/YY,HH:MM:SS,Distance(meter)";
    return header;
}

std::uint64_t TrackLogGenerator::NextRandom() {
    // SplitMix64: the same numbers on every platform, unlike the standard
    // library's distributions.
    state_ += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30U)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27U)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31U);
}

int TrackLogGenerator::RandomBelow(int bound) {
    return static_cast<int>(NextRandom() % static_cast<std::uint64_t>(bound));
}

double TrackLogGenerator::Uniform() {
    constexpr double kScale = 1.0 / 9007199254740992.0;  // 2^-53
    return static_cast<double>(NextRandom() >> 11U) * kScale;
}

void TrackLogGenerator::PickDestination() {
    const Place* town = nullptr;
    do {
        town = &kTowns.at(NextRandom() % kTowns.size());
    } while (std::abs(town->longitude - longitude_) < kArrived &&
             std::abs(town->latitude - latitude_) < kArrived);
    destinationLongitude_ = town->longitude;
    destinationLatitude_ = town->latitude;
}

void TrackLogGenerator::StartTrip() {
    if (started_) {
        // A break between trips; late in the evening the next one waits for
        // the morning, now and then a few days later.
        secondOfDay_ += 600 + RandomBelow(3 * 3600);
        if (secondOfDay_ > 21 * 3600) {
            day_ += 1 + RandomBelow(3);
            secondOfDay_ = 7 * 3600 + RandomBelow(3 * 3600);
        }
    }
    started_ = true;
    const TripKind& kind = kTripKinds.at(NextRandom() % kTripKinds.size());
    maxSpeed_ = kind.lowestMaxSpeed + Uniform() * (kind.highestMaxSpeed - kind.lowestMaxSpeed);
    cruiseSpeed_ = maxSpeed_ * (0.7 + 0.3 * Uniform());
    secondsToNextStop_ =
        kind.shortestStopGap + RandomBelow(kind.longestStopGap - kind.shortestStopGap);
    speed_ = 0;
    braking_ = false;
    stopSecondsLeft_ = 3 + RandomBelow(20);  // the logger starts before the wheels
    tripSecondsLeft_ = 900 + RandomBelow(105 * 60);
    tripMetres_ = 0;
    dateForm_ = RandomBelow(4);
}

void TrackLogGenerator::StepSpeed() {
    if (stopSecondsLeft_ > 0) {
        --stopSecondsLeft_;
        speed_ = 0;
        return;
    }
    // Brake for the next stop, or to come to a halt at the end of the trip.
    if (tripSecondsLeft_ < 25 || (--secondsToNextStop_ <= 0 && !braking_)) {
        braking_ = true;
    }
    if (braking_) {
        speed_ = std::max(0.0, speed_ - (2.0 + 3.0 * Uniform()));
        if (speed_ == 0) {
            braking_ = false;
            stopSecondsLeft_ = 5 + RandomBelow(60);
            secondsToNextStop_ = 30 + RandomBelow(600);
        }
        return;
    }
    // Drift the speed aimed at, then move towards it at most 1.5 km/h a
    // second, with a little noise from the receiver.
    if (RandomBelow(20) == 0) {
        cruiseSpeed_ =
            std::clamp(cruiseSpeed_ + (Uniform() - 0.5) * 12.0, maxSpeed_ * 0.4, maxSpeed_);
    }
    const double change = std::clamp(cruiseSpeed_ - speed_, -1.5, 1.5) + (Uniform() - 0.5) * 0.6;
    speed_ = std::clamp(speed_ + change, 0.0, 60.0);
}

void TrackLogGenerator::StepPosition(double metres) {
    if (turnSecondsLeft_ > 0) {
        heading_ += turnRate_;
        --turnSecondsLeft_;
    } else if (RandomBelow(40) == 0) {
        const bool corner = RandomBelow(3) == 0;
        const double sign = RandomBelow(2) == 0 ? 1.0 : -1.0;
        const double angle = corner ? 90.0 * kDegree : (5.0 + 25.0 * Uniform()) * kDegree;
        turnSecondsLeft_ = corner ? 4 + RandomBelow(5) : 10 + RandomBelow(20);
        turnRate_ = sign * angle / turnSecondsLeft_;
    }
    // Roads wind, but lead somewhere: bend slowly towards the destination.
    const double eastward = (destinationLongitude_ - longitude_) * std::cos(latitude_ * kDegree);
    const double northward = destinationLatitude_ - latitude_;
    if (std::abs(eastward) < kArrived && std::abs(northward) < kArrived) {
        PickDestination();
    }
    const double towardsDestination = std::atan2(eastward, northward);
    heading_ += std::clamp(std::remainder(towardsDestination - heading_, 2 * std::numbers::pi),
                           -0.02, 0.02);
    latitude_ += metres * std::cos(heading_) / kMetresPerDegreeLatitude;
    longitude_ +=
        metres * std::sin(heading_) / (kMetresPerDegreeLatitude * std::cos(latitude_ * kDegree));
}

// The date forms that loggers write, by dateForm_: whether day, month (and
// hours) have two digits, and whether the year has two.
struct DateForm {
    bool padded;
    bool shortYear;
};
constexpr std::array<DateForm, 4> kDateForms = {{
    {false, false},  // 7/6/2007
    {true, false},   // 07/06/2007
    {true, true},    // 21/12/07
    {false, true},   // 7/6/07
}};

void TrackLogGenerator::AppendDate(std::string& out) const {
    const CivilDate date = CivilFromDays(day_ + secondOfDay_ / kSecondsPerDay);
    const DateForm& form = kDateForms.at(static_cast<std::size_t>(dateForm_));
    const auto appendPart = [&](int value) {
        form.padded ? AppendTwoDigits(out, value) : AppendNumber(out, value);
    };
    appendPart(date.day);
    out.push_back('/');
    appendPart(date.month);
    out.push_back('/');
    form.shortYear ? AppendTwoDigits(out, date.year % 100) : AppendNumber(out, date.year);
}

void TrackLogGenerator::AppendTime(std::string& out) const {
    const int second = secondOfDay_ % kSecondsPerDay;
    const int hours = second / 3600;
    // The padded date forms come with padded hours: 09:05:03 beside 9:05:03.
    if (kDateForms.at(static_cast<std::size_t>(dateForm_)).padded) {
        AppendTwoDigits(out, hours);
    } else {
        AppendNumber(out, hours);
    }
    out.push_back(':');
    AppendTwoDigits(out, second / 60 % 60);
    out.push_back(':');
    AppendTwoDigits(out, second % 60);
}

void TrackLogGenerator::AppendNextLine(std::string& out) {
    if (!started_ || tripSecondsLeft_ <= 0) {
        StartTrip();
    } else {
        ++secondOfDay_;
        --tripSecondsLeft_;
        StepSpeed();
        const double metres = speed_ / 3.6;
        tripMetres_ += metres;
        StepPosition(metres);
    }
    AppendFixed(out, longitude_, 6);
    out.push_back(',');
    AppendFixed(out, latitude_, 6);
    out.push_back(',');
    AppendFixed(out, speed_, 1);
    out.push_back(',');
    AppendDate(out);
    out.push_back(',');
    AppendTime(out);
    out.push_back(',');
    AppendNumber(out, std::lround(tripMetres_));
}

namespace {

// The fields of a CSV line as the generator writes it.
struct LineFields {
    double longitude = 0;
    double latitude = 0;
    double kmh = 0;
    int year = 0;
    int month = 0;
    int day = 0;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
};

LineFields FieldsOf(std::string_view line) {
    LineFields fields;
    const auto number = [&](auto& value, char separator) {
        const std::size_t end = line.find(separator);
        std::from_chars(line.data(), line.data() + end, value);
        line.remove_prefix(end + 1);
    };
    number(fields.longitude, ',');
    number(fields.latitude, ',');
    number(fields.kmh, ',');
    number(fields.day, '/');
    number(fields.month, '/');
    const std::size_t yearDigits = line.find(',');
    number(fields.year, ',');
    fields.year += yearDigits <= 2 ? 2000 : 0;
    number(fields.hours, ':');
    number(fields.minutes, ':');
    number(fields.seconds, ',');
    return fields;
}

// 5212.3456,N: degrees and minutes as NMEA writes them.
void AppendDegreesAndMinutes(std::string& out, double degrees, int degreeDigits, char positive,
                             char negative) {
    const double magnitude = std::abs(degrees);
    const int whole = static_cast<int>(magnitude);
    const double minutes = (magnitude - whole) * 60;
    std::array<char, 32> text{};
    const int length = std::snprintf(text.data(), text.size(), "%0*d%07.4f,%c", degreeDigits, whole,
                                     minutes, degrees < 0 ? negative : positive);
    out.append(text.data(), static_cast<std::size_t>(length));
}

// The point's moment as xs:dateTime without its zone: "2007-02-05T11:39:21".
void AppendIsoDateTime(std::string& out, const LineFields& f) {
    AppendNumber(out, f.year);
    out.push_back('-');
    AppendTwoDigits(out, f.month);
    out.push_back('-');
    AppendTwoDigits(out, f.day);
    out.push_back('T');
    AppendTwoDigits(out, f.hours);
    out.push_back(':');
    AppendTwoDigits(out, f.minutes);
    out.push_back(':');
    AppendTwoDigits(out, f.seconds);
}

void AppendGpxPoint(std::string& out, const LineFields& f) {
    out.append("<trkpt lat=\"");
    AppendFixed(out, f.latitude, 6);
    out.append("\" lon=\"");
    AppendFixed(out, f.longitude, 6);
    out.append("\"><time>");
    AppendIsoDateTime(out, f);
    out.append("Z</time><speed>");
    AppendFixed(out, f.kmh / 3.6, 3);
    out.append("</speed></trkpt>");
}

void AppendRmcSentence(std::string& out, const LineFields& f) {
    std::string body = "GPRMC,";
    AppendTwoDigits(body, f.hours);
    AppendTwoDigits(body, f.minutes);
    AppendTwoDigits(body, f.seconds);
    body.append(".00,A,");
    AppendDegreesAndMinutes(body, f.latitude, 2, 'N', 'S');
    body.push_back(',');
    AppendDegreesAndMinutes(body, f.longitude, 3, 'E', 'W');
    body.push_back(',');
    AppendFixed(body, f.kmh / 1.852, 2);
    body.append(",0.0,");
    AppendTwoDigits(body, f.day);
    AppendTwoDigits(body, f.month);
    AppendTwoDigits(body, f.year % 100);
    body.append(",,,A");
    unsigned sum = 0;
    for (const char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    constexpr std::string_view kHex = "0123456789ABCDEF";
    out.append("$").append(body).append("*");
    out.push_back(kHex[sum >> 4U]);
    out.push_back(kHex[sum & 15U]);
}

void AppendTcxPoint(std::string& out, const LineFields& f) {
    out.append("<Trackpoint><Time>");
    AppendIsoDateTime(out, f);
    out.append("Z</Time><Position><LatitudeDegrees>");
    AppendFixed(out, f.latitude, 6);
    out.append("</LatitudeDegrees><LongitudeDegrees>");
    AppendFixed(out, f.longitude, 6);
    out.append("</LongitudeDegrees></Position><Extensions><ns3:TPX><ns3:Speed>");
    AppendFixed(out, f.kmh / 3.6, 3);
    out.append("</ns3:Speed></ns3:TPX></Extensions></Trackpoint>");
}

// A FIT file: its 14-byte header, one definition of the record message
// (local type 0: timestamp, position_lat, position_long, enhanced_speed)
// and a data message of 17 bytes per point, little-endian.
constexpr std::size_t kFitDefinitionSize = 6 + 4 * 3;
constexpr std::size_t kFitRecordSize = 1 + 4 * 4;

void AppendLittle(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((value >> (8U * static_cast<unsigned>(i))) & 0xFFU));
    }
}

void AppendFitStart(std::string& out, std::size_t points) {
    std::string header = {14, 0x20, 0x54, 0x08};
    AppendLittle(header, static_cast<std::uint32_t>(kFitDefinitionSize + points * kFitRecordSize));
    header.append(".FIT");
    const std::uint16_t crc = Crc16(0, header);
    header.push_back(static_cast<char>(crc & 0xFFU));
    header.push_back(static_cast<char>(crc >> 8U));
    out.append(header);
    out.append({0x40, 0, 0, 20, 0, 4});
    out.append({static_cast<char>(253), 4, static_cast<char>(0x86)});
    out.append({0, 4, static_cast<char>(0x85)});
    out.append({1, 4, static_cast<char>(0x85)});
    out.append({73, 4, static_cast<char>(0x86)});
}

void AppendFitRecord(std::string& out, const LineFields& f) {
    // Days from 1970-01-01 of the civil date, then seconds since the FIT
    // epoch, 1989-12-31T00:00:00Z.
    const int y = f.year - (f.month <= 2 ? 1 : 0);
    const int era = y / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (f.month + (f.month > 2 ? -3 : 9)) + 2) / 5 + f.day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const long days = era * 146097L + dayOfEra - 719468L;
    const long seconds = days * 86400L + f.hours * 3600L + f.minutes * 60L + f.seconds - 631065600L;
    constexpr double kSemicirclesPerDegree = 2147483648.0 / 180.0;
    out.push_back(0);
    AppendLittle(out, static_cast<std::uint32_t>(seconds));
    AppendLittle(out, static_cast<std::uint32_t>(static_cast<std::int32_t>(
                          std::lround(f.latitude * kSemicirclesPerDegree))));
    AppendLittle(out, static_cast<std::uint32_t>(static_cast<std::int32_t>(
                          std::lround(f.longitude * kSemicirclesPerDegree))));
    AppendLittle(out, static_cast<std::uint32_t>(std::lround(f.kmh / 3.6 * 1000)));
}

}  // namespace

bool WriteTrackLog(const std::string& path, std::size_t points, std::uint64_t seed,
                   LogFormat format) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                               &std::fclose);
    if (!file) {
        return false;
    }
    constexpr std::size_t kChunk = std::size_t{1} << 20U;
    std::string chunk;
    chunk.reserve(kChunk + 256);
    switch (format) {
        case LogFormat::kCsv:
            chunk.append(TrackLogGenerator::Header()).append("\r\n");
            break;
        case LogFormat::kGpx:
            chunk.append(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<gpx version=\"1.0\" "
                "creator=\"generate_log\" xmlns=\"http://www.topografix.com/GPX/1/0\">\r\n"
                "<trk><trkseg>\r\n");
            break;
        case LogFormat::kTcx:
            chunk.append(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<TrainingCenterDatabase "
                "xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\" "
                "xmlns:ns3=\"http://www.garmin.com/xmlschemas/ActivityExtension/v2\">\r\n"
                "<Activities><Activity Sport=\"Biking\"><Id>2000-01-01T00:00:00Z</Id><Lap>"
                "<Track>\r\n");
            break;
        case LogFormat::kFit:
            AppendFitStart(chunk, points);
            break;
        case LogFormat::kNmea:
            break;
    }
    std::uint16_t crc = 0;  // of a FIT file, all written before the chunk
    TrackLogGenerator generator(seed);
    std::string line;
    for (std::size_t i = 0; i < points; ++i) {
        if (format == LogFormat::kCsv) {
            generator.AppendNextLine(chunk);
        } else {
            line.clear();
            generator.AppendNextLine(line);
            const LineFields fields = FieldsOf(line);
            switch (format) {
                case LogFormat::kGpx:
                    AppendGpxPoint(chunk, fields);
                    break;
                case LogFormat::kTcx:
                    AppendTcxPoint(chunk, fields);
                    break;
                case LogFormat::kFit:
                    AppendFitRecord(chunk, fields);
                    break;
                default:
                    AppendRmcSentence(chunk, fields);
                    break;
            }
        }
        if (format != LogFormat::kFit) {
            chunk.append("\r\n");
        }
        if (format == LogFormat::kGpx && i + 1 == points) {
            chunk.append("</trkseg></trk></gpx>\r\n");
        }
        if (format == LogFormat::kTcx && i + 1 == points) {
            chunk.append("</Track></Lap></Activity></Activities></TrainingCenterDatabase>\r\n");
        }
        if (format == LogFormat::kFit && i + 1 == points) {
            crc = Crc16(crc, chunk);
            chunk.push_back(static_cast<char>(crc & 0xFFU));
            chunk.push_back(static_cast<char>(crc >> 8U));
        }
        if (chunk.size() >= kChunk || i + 1 == points) {
            if (format == LogFormat::kFit && i + 1 < points) {
                crc = Crc16(crc, chunk);
            }
            if (std::fwrite(chunk.data(), 1, chunk.size(), file.get()) != chunk.size()) {
                return false;
            }
            chunk.clear();
        }
    }
    if (points == 0 && std::fwrite(chunk.data(), 1, chunk.size(), file.get()) != chunk.size()) {
        return false;
    }
    return std::fflush(file.get()) == 0;
}

}  // namespace routalo::bench
