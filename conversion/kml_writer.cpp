#include "conversion/kml_writer.h"

#include <array>

#include "conversion/speed_class.h"
#include "conversion/speed_scheme.h"
#include "conversion/text_encoding.h"
#include "conversion/xml_text.h"

namespace routalo {
namespace {

constexpr std::string_view kKmlNamespace = "http://earth.google.com/kml/2.1";

// Every byte of a segment line but its texts and its style map id: the
// most the markup can take.
constexpr std::string_view kSegmentMarkup =
    "<Placemark><name>Track</name><TimeStamp><when>T+00:00</when></TimeStamp><styleUrl>#"
    "</styleUrl><LineString><coordinates>,,0 ,,0 </coordinates></LineString></Placemark>";

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
    const std::string_view styleMapId =
        StyleMapIds.at(static_cast<std::size_t>(SpeedClassOf(current.Speed)));

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

    std::size_t size = kSegmentMarkup.size() + styleMapId.size();
    for (const std::string_view text : texts) {
        size += text.size();
    }
    char* at = segment_.Start(size);
    at = Put(at, "<Placemark><name>Track</name>");
    if (withTimeInfo) {
        at = Put(at, "<TimeStamp><when>");
        at = Put(at, date);
        *at++ = 'T';
        at = Put(at, time);
        at = Put(at, "+00:00</when></TimeStamp>");
    }
    at = Put(at, "<styleUrl>#");
    at = Put(at, styleMapId);
    at = Put(at, "</styleUrl><LineString><coordinates>");
    at = Put(at, fromLongitude);
    *at++ = ',';
    at = Put(at, fromLatitude);
    at = Put(at, ",0 ");
    at = Put(at, toLongitude);
    *at++ = ',';
    at = Put(at, toLatitude);
    at = Put(at, ",0 </coordinates></LineString></Placemark>");
    document_.WriteLine(segment_.Line(at));
}

void KmlWriter::WriteKmlFooter() {
    document_.WriteLine("<colorMode>random</colorMode></Folder></Document></kml>");
}

}  // namespace routalo
