#include "conversion/writers/kml_writer.h"

#include <array>

#include "conversion/speed_scheme.h"
#include "conversion/text_encoding.h"
#include "conversion/writers/kml_pieces.h"
#include "conversion/xml_text.h"

namespace routalo {
namespace {

constexpr std::string_view kKmlNamespace = "http://earth.google.com/kml/2.1";

// The markup of a segment line, in the order it is written.
constexpr std::string_view kPlacemarkOpen = "<Placemark><name>Track</name>";
constexpr std::string_view kTimeStampOpen = "<TimeStamp><when>";
using kml_pieces::kCoordinateSeparator;
using kml_pieces::kDateTimeSeparator;
constexpr std::string_view kTimeStampClose = "+00:00</when></TimeStamp>";
constexpr std::string_view kStyleUrlOpen = "<styleUrl>#";
constexpr std::string_view kCoordinatesOpen = "</styleUrl><LineString><coordinates>";
constexpr std::string_view kBetweenPoints = kml_pieces::kAfterPoint;
constexpr std::string_view kPlacemarkClose = ",0 </coordinates></LineString></Placemark>";
// Pieces that run a shared piece and the next one together, for speed.
static_assert(kTimeStampClose.starts_with(kml_pieces::kTimeZone));
static_assert(kPlacemarkClose.starts_with(kml_pieces::kAfterPoint));

}  // namespace

void KmlWriter::WriteKmlHeader(std::string_view trackName) {
    WriteDocumentOpening();
    WriteDocumentName(trackName);
    for (int speedClass = 0; speedClass < kSpeedClassCount; ++speedClass) {
        WriteStyle(speedClass);
    }
    WriteFolderOpening();
}

// <?xml version="1.0" encoding="UTF-8"?><kml xmlns="http://earth.google.com/kml/2.1">
void KmlWriter::WriteDocumentOpening() {
    line_.assign(R"(<?xml version="1.0" encoding="UTF-8"?><kml xmlns=")");
    line_.append(kKmlNamespace).append(R"(">)");
    document_.WriteLine(line_);
}

// <Document><name>Rit naar &amp; van huis</name>
void KmlWriter::WriteDocumentName(std::string_view trackName) {
    line_.assign("<Document><name>");
    AppendXmlText(line_, DecodeLogText(trackName));
    line_.append("</name>");
    document_.WriteLine(line_);
}

// <Style id="c2"><LineStyle><color>ffff0000</color><width>1</width></LineStyle></Style>
// <StyleMap id="c_2"><Pair><key>normal</key><styleUrl>#c2</styleUrl></Pair>
// <Pair><key>highlight</key><styleUrl>#c2</styleUrl></Pair></StyleMap>   (one line)
void KmlWriter::WriteStyle(int speedClass) {
    const std::string number = std::to_string(speedClass);
    const auto index = static_cast<std::size_t>(speedClass);
    line_.assign(R"(<Style id="c)").append(number).append(R"("><LineStyle><color>)");
    line_.append(SpeedColours.at(index));
    line_.append(R"(</color><width>1</width></LineStyle></Style><StyleMap id=")");
    line_.append(StyleMapIds.at(index));
    line_.append(R"("><Pair><key>normal</key><styleUrl>#c)").append(number);
    line_.append("</styleUrl></Pair><Pair><key>highlight</key><styleUrl>#c").append(number);
    line_.append("</styleUrl></Pair></StyleMap>");
    document_.WriteLine(line_);
}

// <Folder><name>Tracklogs</name><open>1</open>
void KmlWriter::WriteFolderOpening() {
    document_.WriteLine("<Folder><name>Tracklogs</name><open>1</open>");
}

// <Placemark><name>Track</name><TimeStamp><when>2007-06-15T09:05:03+00:00</when></TimeStamp>
// <styleUrl>#c_12</styleUrl><LineString><coordinates>5.1000,52.2000,0 5.1010,52.2005,0
// </coordinates></LineString></Placemark>   (one line; the time stamp only with time information)
void KmlWriter::WriteSegment(const TrackPoint& current, const TrackPoint& previous,
                             bool withTimeInfo) {
    const int speedClass = rule_.ClassOf(current.Speed);
    const std::string_view styleMapId = StyleMapIds.at(static_cast<std::size_t>(speedClass));

    // The six texts as they go into the line: as they stand when the reader
    // found them plain, as XML text otherwise.
    std::array<std::string_view, 6> texts = {current.Date,       current.Time,
                                             previous.Longitude, previous.Latitude,
                                             current.Longitude,  current.Latitude};
    if (!current.XmlSafe || !previous.XmlSafe) {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            escaped_[i].clear();
            AppendXmlText(escaped_[i], texts[i]);
            texts[i] = escaped_[i];
        }
    }
    const auto& [date, time, fromLongitude, fromLatitude, toLongitude, toLatitude] = texts;

    // A point without a date, as a GPX point without a time is, has no time
    // to stamp; a track log's point always has one ("--" when empty).
    const std::string_view line =
        withTimeInfo && !current.Date.empty()
            ? segment_.Build(kPlacemarkOpen, kTimeStampOpen, date, kDateTimeSeparator, time,
                             kTimeStampClose, kStyleUrlOpen, styleMapId, kCoordinatesOpen,
                             fromLongitude, kCoordinateSeparator, fromLatitude, kBetweenPoints,
                             toLongitude, kCoordinateSeparator, toLatitude, kPlacemarkClose)
            : segment_.Build(kPlacemarkOpen, kStyleUrlOpen, styleMapId, kCoordinatesOpen,
                             fromLongitude, kCoordinateSeparator, fromLatitude, kBetweenPoints,
                             toLongitude, kCoordinateSeparator, toLatitude, kPlacemarkClose);
    document_.WriteLine(line);
}

void KmlWriter::WriteKmlFooter(std::string_view figures) {
    if (figures.empty()) {
        document_.WriteLine("<colorMode>random</colorMode></Folder></Document></kml>");
        return;
    }
    line_.assign("<colorMode>random</colorMode></Folder><description><![CDATA[");
    line_.append(figures).append("]]></description></Document></kml>");
    document_.WriteLine(line_);
}

}  // namespace routalo
