#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "conversion/files/text_input_file.h"
#include "conversion/readers/point_reader.h"

namespace routalo {

// An NMEA 0183 log: every RMC sentence with a valid fix, of any talker
// ($GPRMC, $GNRMC, ...), in order, as one chain.
//
//   $GPRMC,090503.00,A,5212.0000,N,00506.0000,E,6.48,54.7,150607,,,A*5F
//     -> Latitude "52.200000", Longitude "5.100000", Speed "12.00096",
//        Date "2007-06-15", Time "09:05:03.00"
//
// Skipped, as a receiver skips them: a sentence with a wrong or missing
// checksum, an RMC with status V (no fix) or with a field that is no valid
// value (a date the calendar lacks and a time no day has among them), every
// other sentence, and a line of more than 1 KiB. Lines end in CR LF, LF or
// CR. Date and time follow ToUtcTime (utc_time.h): 23:59:60 and 24:00:00
// are the next day's 00:00:00, a fraction keeps 9 digits. Degrees and
// minutes become decimal degrees with six decimals, rounded on the exact
// value with halves going to the even neighbour; knots become km/h exactly
// (x 1.852), a speed above 32767 km/h becoming 32767, the same class; years
// 80 to 99 are 19xx, 00 to 79 20xx. A log without one usable sentence fails.
class NmeaPointReader : public PointReader {
  public:
    explicit NmeaPointReader(TextInputFile& log) : log_(log) {}

    PointStep Next(TrackPoint& point) override;
    [[nodiscard]] std::size_t Line() const override { return lineNumber_; }
    [[nodiscard]] std::string_view NoPointCause() const override {
        return "the log holds no RMC sentence with a valid fix";
    }

  private:
    // Reads the next line into line_, as far as a sentence can reach; false
    // at the end of the log.
    bool TakeLine();

    TextInputFile& log_;
    std::string line_;
    bool overlong_ = false;  // line_ holds only the start of a longer line
    bool afterCr_ = false;   // the last line ended in CR: an LF next is part of it
    std::size_t lineNumber_ = 0;
    bool anyPoint_ = false;
};

// The point of one RMC sentence, without its line end; false, with `point`
// in any state, for a sentence that gives none. For the tests and the fuzz
// target.
[[nodiscard]] bool ReadRmcSentence(std::string_view sentence, TrackPoint& point);

// The longest line that can hold a sentence, without its line end.
inline constexpr std::size_t kLongestNmeaSentence = 1024;

// Whether `line` (without its line end; blank space around it allowed) is
// an NMEA 0183 sentence of any type: "$", an address of capital letters and
// digits (a talker and a type, or a maker's "P..."), fields, and a checksum
// that matches.
[[nodiscard]] bool IsNmeaSentence(std::string_view line);

}  // namespace routalo
