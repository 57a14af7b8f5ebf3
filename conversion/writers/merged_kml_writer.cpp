#include "conversion/writers/merged_kml_writer.h"

#include <utility>

#include "conversion/text_encoding.h"
#include "conversion/writers/kml_pieces.h"
#include "conversion/xml_text.h"

namespace routalo {
namespace {

constexpr std::string_view kKmlNamespace = "http://www.opengis.net/kml/2.2";
constexpr std::string_view kLineWidth = "3";
constexpr std::string_view kLineStringOpen = "<LineString><coordinates>";
constexpr std::string_view kLineStringClose = "</coordinates></LineString>";

// #rrggbb of a KML colour aabbggrr.
std::string HtmlColour(std::string_view kml) {
    constexpr std::size_t kRed = 6;
    constexpr std::size_t kGreen = 4;
    constexpr std::size_t kBlue = 2;
    std::string html = "#";
    html.append(kml.substr(kRed, 2)).append(kml.substr(kGreen, 2)).append(kml.substr(kBlue, 2));
    return html;
}

}  // namespace

MergedKmlWriter::MergedKmlWriter(DocumentLines& document, ClassRule rule, bool withTimeInfo,
                                 bool withFigures, std::string_view legendImage)
    : document_(document),
      rule_(std::move(rule)),
      withTimeInfo_(withTimeInfo),
      withFigures_(withFigures),
      legendImage_(legendImage) {
    for (int speedClass = 0; speedClass < kSpeedClassCount; ++speedClass) {
        AppendXmlText(names_.at(static_cast<std::size_t>(speedClass)),
                      rule_.SpeedsOf(speedClass, speedClass));
    }
}

// <?xml version="1.0" encoding="UTF-8"?><kml xmlns="http://www.opengis.net/kml/2.2">
// <Document><name>Rit</name>
// <description><![CDATA[<table>...</table>]]></description>
// <ScreenOverlay><name>Legend</name><Icon><href>files/legend.png</href></Icon>
// <overlayXY .../><screenXY .../><size .../></ScreenOverlay>   (with an image)
void MergedKmlWriter::WriteKmlHeader(std::string_view trackName) {
    line_.assign(R"(<?xml version="1.0" encoding="UTF-8"?><kml xmlns=")");
    line_.append(kKmlNamespace).append(R"(">)");
    document_.WriteLine(line_);

    line_.assign("<Document><name>");
    AppendXmlText(line_, DecodeLogText(trackName));
    line_.append("</name>");
    document_.WriteLine(line_);

    if (!withFigures_) {
        WriteDescription({});
    }
    // The image's lower left corner on the screen's, at the image's own size.
    if (!legendImage_.empty()) {
        constexpr std::string_view kCorner = R"(x="0" y="0" xunits="fraction" yunits="fraction"/>)";
        line_.assign("<ScreenOverlay><name>Legend</name><Icon><href>");
        AppendXmlText(line_, legendImage_);
        line_.append("</href></Icon><overlayXY ").append(kCorner);
        line_.append("<screenXY ").append(kCorner);
        line_.append("<size ").append(kCorner).append("</ScreenOverlay>");
        document_.WriteLine(line_);
    }
}

// The legend as a viewer shows the description: a swatch and the speeds of
// each colour, one row each; then the figures, if any.
void MergedKmlWriter::WriteDescription(std::string_view figures) {
    line_.assign(R"(<description><![CDATA[<table><tr><th colspan="2">Speed</th></tr>)");
    for (const LegendRow& row : LegendRows(rule_)) {
        line_.append(R"(<tr><td style="background-color:)").append(HtmlColour(row.colour));
        line_.append(R"(;width:2em">&nbsp;</td><td>)").append(row.speeds).append("</td></tr>");
    }
    line_.append("</table>").append(figures).append("]]></description>");
    document_.WriteLine(line_);
}

void MergedKmlWriter::WriteSegment(const TrackPoint& current, const TrackPoint& previous) {
    const int speedClass = rule_.ClassOf(current.Speed);
    if (speedClass != runClass_ || RunSize() >= kMostRunBytes) {
        EndRun();
        StartRun(speedClass, previous);
    }
    AddPoint(current);
}

std::size_t MergedKmlWriter::RunSize() const {
    if (runLine_ == nullptr) {
        return 0;
    }
    return withTimeInfo_ ? run_.size() : spool_.LineSize();
}

void MergedKmlWriter::StartRun(int speedClass, const TrackPoint& first) {
    runClass_ = speedClass;
    if (withTimeInfo_) {
        run_.clear();
        runLine_ = &run_;
    } else {
        runLine_ = &spool_.StartLine(speedClass);
        runLine_->append(kLineStringOpen);
    }
    begin_.clear();
    lastKnown_ = false;
    AddPoint(first);
}

// The run's last time is kept as the point's texts and written once the run
// ends: most points of a run are not its last.
void MergedKmlWriter::AddPoint(const TrackPoint& point) {
    kml_pieces::AppendCoordinates(*runLine_, point);
    if (withTimeInfo_ && kml_pieces::HasTime(point)) {
        if (begin_.empty()) {
            kml_pieces::AppendTime(begin_, point);
        } else {
            last_.Date.assign(point.Date);
            last_.Time.assign(point.Time);
            last_.XmlSafe = point.XmlSafe;
            lastKnown_ = true;
        }
    }
}

void MergedKmlWriter::AppendPlacemarkOpening(int speedClass, bool withTimeSpan) {
    const auto index = static_cast<std::size_t>(speedClass);
    line_.assign("<Placemark><name>").append(names_.at(index)).append("</name>");
    if (withTimeSpan && !begin_.empty()) {
        line_.append("<TimeSpan><begin>").append(begin_).append("</begin><end>");
        if (lastKnown_) {
            kml_pieces::AppendTime(line_, last_);
        } else {
            line_.append(begin_);
        }
        line_.append("</end></TimeSpan>");
    }
    line_.append("<Style><LineStyle><color>").append(SpeedColours.at(index));
    line_.append("</color><width>").append(kLineWidth).append("</width></LineStyle></Style>");
}

// With time information:
// <Placemark><name>7 km/h</name><TimeSpan><begin>2007-06-15T09:05:03+00:00</begin>
// <end>2007-06-15T09:05:05+00:00</end></TimeSpan><Style>...</Style><LineString>
// <coordinates>5.1,52.2,0 5.2,52.2,0 5.3,52.2,0 </coordinates></LineString></Placemark>
// (one line). Without, the LineString alone, made in the spool.
void MergedKmlWriter::EndRun() {
    if (runClass_ < 0) {
        return;
    }
    if (withTimeInfo_) {
        AppendPlacemarkOpening(runClass_, true);
        line_.append(kLineStringOpen).append(run_).append(kLineStringClose).append("</Placemark>");
        document_.WriteLine(line_);
    } else {
        runLine_->append(kLineStringClose);
        spool_.EndLine();
    }
    runLine_ = nullptr;
    runClass_ = -1;
}

// Without time information, per class that occurs:
// <Placemark><name>7 km/h</name><Style>...</Style><MultiGeometry>
// <LineString><coordinates>...</coordinates></LineString>   (one line per run)
// </MultiGeometry></Placemark>
void MergedKmlWriter::WriteKmlFooter(std::string_view figures) {
    EndRun();
    for (int speedClass = 0; speedClass < kSpeedClassCount; ++speedClass) {
        if (!spool_.Holds(speedClass)) {
            continue;
        }
        AppendPlacemarkOpening(speedClass, false);
        line_.append("<MultiGeometry>");
        document_.WriteLine(line_);
        spool_.Replay(speedClass, document_);
        document_.WriteLine("</MultiGeometry></Placemark>");
    }
    if (withFigures_) {
        WriteDescription(figures);
    }
    document_.WriteLine("</Document></kml>");
}

}  // namespace routalo
