#pragma once

#include <memory>
#include <string_view>

#include "conversion/files/text_input_file.h"
#include "conversion/readers/point_reader.h"
#include "conversion/readers/xml_node_source.h"

namespace routalo {

// The root element that tells a TCX document from a GPX one.
inline constexpr std::string_view kTcxRootElement = "TrainingCenterDatabase";

// A TCX (Training Center XML) document behind the reader's call: every
// Trackpoint with a Position in every Track of the document, in document
// order, each Track a chain of its own: the laps of an Activity, the sports
// of a MultiSportSession, a Course's track alike.
//
//   <Trackpoint><Time>2007-06-15T11:05:08+02:00</Time>
//     <Position><LatitudeDegrees>52.2005</LatitudeDegrees>
//     <LongitudeDegrees>5.1010</LongitudeDegrees></Position>
//     <Extensions><TPX><Speed>3.5</Speed></TPX></Extensions></Trackpoint>
//     -> Latitude "52.2005", Longitude "5.1010", Speed "12.6" (km/h),
//        Date "2007-06-15", Time "09:05:08"
//
// The elements are those of the root's namespace; the speed, in m/s, is the
// Speed of a TPX element of any namespace in the point's Extensions, else
// derived as the GPX reader derives it. Degrees are written as they stand;
// the time is read as ReadIsoDateTime reads it. A document without a track
// point with a position, a coordinate that is no number in range, a speed
// that is no number and a time that is no valid ISO 8601 date-time fail,
// the cause quoting the value and naming the point's line and column.
class TcxPointReader : public PointReader {
  public:
    explicit TcxPointReader(std::unique_ptr<XmlNodeSource> source);
    ~TcxPointReader() override;

    PointStep Next(TrackPoint& point) override;
    [[nodiscard]] std::size_t Line() const override;
    [[nodiscard]] std::string_view NoPointCause() const override {
        return "the TCX document holds no track point with a position";
    }
    // The first course's name, trimmed of blank space, its first 1 KiB;
    // empty for a document of activities, which name none.
    [[nodiscard]] std::string_view TrackName() const override;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// A TCX reader over the rest of `log`, as MakeGpxPointReader makes a GPX one.
[[nodiscard]] std::unique_ptr<PointReader> MakeTcxPointReader(TextInputFile& log,
                                                              XmlEncoding encoding,
                                                              XmlPosition start);

}  // namespace routalo
