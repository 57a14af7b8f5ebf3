#pragma once

#include <memory>

#include "conversion/files/text_input_file.h"
#include "conversion/readers/point_reader.h"
#include "conversion/readers/xml_node_source.h"

namespace routalo {

// A GPX 1.0 or 1.1 document behind the reader's call: every trkpt of every
// trkseg of every trk, in document order, each trkseg a chain of its own;
// routes and waypoints are left out.
//
//   <trkpt lat="52.2005" lon="5.1010"><time>2007-06-15T11:05:08.5+02:00</time>
//     <speed>3.5</speed></trkpt>
//     -> Latitude "52.2005", Longitude "5.1010", Speed "12.6" (km/h),
//        Date "2007-06-15", Time "09:05:08.5"
//
// The structure is that of the GPX 1.0 or 1.1 namespace, or of none for a
// document that declares none. The speed is the point's own, in m/s: GPX
// 1.0's <speed>, or else an element named speed, of any namespace, anywhere
// in its <extensions>; a negative one is unknown, one above the highest is
// capped (CapAtTheFastestSpeed). Otherwise it is derived: the great-circle
// distance from the point before it in its chain over the time between
// them. Where neither is known the point takes the speed of the one before
// it, the first of a chain 0. The time is read as ReadIsoDateTime reads it
// (utc_time.h). A document without a track point, a coordinate that is no
// number in range, a speed that is no number and a time that is no valid
// ISO 8601 date-time fail, the cause quoting the value as written and
// naming line and column.
class GpxPointReader : public PointReader {
  public:
    explicit GpxPointReader(std::unique_ptr<XmlNodeSource> source);

    PointStep Next(TrackPoint& point) override;
    [[nodiscard]] std::size_t Line() const override;
    [[nodiscard]] std::string_view NoPointCause() const override {
        return "the GPX document holds no track point";
    }
    // The first track's name, else the document's (GPX 1.1's in <metadata>,
    // GPX 1.0's in <gpx>), else empty: as its text says it, trimmed of blank
    // space, its first 1 KiB. Known once the first point has been read.
    [[nodiscard]] std::string_view TrackName() const override;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// A GPX reader over the rest of `log`, with the system's parser: the log
// starts at the document's first "<", which stands at `start` of the log,
// read in `encoding`.
[[nodiscard]] std::unique_ptr<PointReader> MakeGpxPointReader(
    TextInputFile& log, XmlEncoding encoding = XmlEncoding::kAsDeclared, XmlPosition start = {});

}  // namespace routalo
