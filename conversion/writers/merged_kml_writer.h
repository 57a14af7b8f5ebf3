#pragma once

#include <array>
#include <string>
#include <string_view>

#include "conversion/class_rule.h"
#include "conversion/speed_scheme.h"
#include "conversion/track_point.h"
#include "conversion/writers/document_lines.h"
#include "conversion/writers/run_spool.h"

namespace routalo {

// Writes the merged layout, a KML 2.2 document of few placemarks for map
// viewers that take a limited number of them (phones, web maps):
//
//  - A run is a stretch of consecutive segments of one class within one
//    chain: its first point and the end point of every segment, written as
//    the default layout writes them (kml_pieces.h).
//  - Without time information, one placemark per class that occurs, in
//    class order, whose MultiGeometry holds one LineString per run of that
//    class. The runs are kept in a RunSpool until the log has been read.
//  - With time information, one placemark per run, in the log's order, with
//    a TimeSpan from the first to the last known time of its points (none
//    when no point of the run has a time).
//
// Every placemark is named by the speeds its class stands for and carries
// its style inline, the class's colour in a line 3 pixels wide: viewers that
// ignore shared styles draw the colours too. The document's description is
// the legend, a table of one row per colour (LegendRows); with the trip's
// figures, the legend and then the figures, at the document's end, where
// the figures are known. Given the name of the legend's image (a KMZ
// archive's files/legend.png), the document also shows the image in the
// viewer's lower left corner, as a ScreenOverlay named "Legend" of the
// image's own size.
//
// A run longer than kMostRunBytes of coordinates is cut there into pieces
// that share their joining point, each a LineString (a placemark with time
// information) of its own, so that memory stays bounded on a log that keeps
// one class for hours. Uses the speed colour scheme, which InitSpeedScheme
// must have filled.
class MergedKmlWriter {
  public:
    // With `withFigures`, the description waits for WriteKmlFooter's figures.
    MergedKmlWriter(DocumentLines& document, ClassRule rule, bool withTimeInfo,
                    bool withFigures = false, std::string_view legendImage = {});

    // The XML declaration and <kml>, the document's name and its legend
    // (not yet with figures to follow), and the legend's overlay when the
    // document has an image of it.
    void WriteKmlHeader(std::string_view trackName);

    // The segment from `previous` to `current`, of the class of the speed of
    // `current`. Throws SpeedError when `current` has no usable speed.
    void WriteSegment(const TrackPoint& current, const TrackPoint& previous);

    // The chain of points ends here: the next segment starts a run.
    void EndChain() { EndRun(); }

    // The placemarks not yet written, the description when it waited for
    // `figures` (an HTML table), and the closing line.
    void WriteKmlFooter(std::string_view figures = {});

    static constexpr std::size_t kMostRunBytes = std::size_t{32} * 1024;

  private:
    [[nodiscard]] std::size_t RunSize() const;
    void StartRun(int speedClass, const TrackPoint& first);
    void AddPoint(const TrackPoint& point);
    void EndRun();
    // <Placemark><name>7 km/h</name> with its time span, if any, and style.
    void AppendPlacemarkOpening(int speedClass, bool withTimeSpan);
    // <description><![CDATA[<table>...</table>FIGURES]]></description>
    void WriteDescription(std::string_view figures);

    DocumentLines& document_;
    ClassRule rule_;
    bool withTimeInfo_;
    bool withFigures_;
    std::string legendImage_;                          // its path in the archive; empty for none
    std::array<std::string, kSpeedClassCount> names_;  // each class's name as XML text

    int runClass_ = -1;  // the class of the open run; -1 when none is open
    // The open run's line as it is made: run_ with time information, its
    // place in the spool without.
    std::string* runLine_ = nullptr;
    std::string run_;
    std::string begin_;  // the first time of its points, as written
    TrackPoint last_;    // the date and time of its last point that has one
    bool lastKnown_ = false;
    std::string line_;
    RunSpool spool_;
};

}  // namespace routalo
