#include "conversion/kml_writer.h"

#include "conversion/speed_class.h"
#include "conversion/speed_scheme.h"
#include "conversion/text_encoding.h"
#include "conversion/xml_text.h"

namespace routalo {
namespace {

constexpr std::string_view kKmlNamespace = "http://earth.google.com/kml/2.1";

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
    document_.WriteLineBuiltBy([](std::string& line) {
        line.append(R"(<?xml version="1.0" encoding="UTF-8"?><kml xmlns=")");
        line.append(kKmlNamespace).append(R"(">)");
    });
}

// <Document><name>Rit naar &amp; van huis</name>
void KmlWriter::WriteDocumentName(std::string_view trackName) {
    document_.WriteLineBuiltBy([trackName](std::string& line) {
        line.append("<Document><name>");
        AppendXmlText(line, DecodeLogText(trackName));
        line.append("</name>");
    });
}

// <Style id="c2"><LineStyle><color>ffff0000</color><width>1</width></LineStyle></Style>
// <StyleMap id="c_2"><Pair><key>normal</key><styleUrl>#c2</styleUrl></Pair>
// <Pair><key>highlight</key><styleUrl>#c2</styleUrl></Pair></StyleMap>   (one line)
void KmlWriter::WriteStyle(int speedClass) {
    const std::string number = std::to_string(speedClass);
    const auto index = static_cast<std::size_t>(speedClass);
    document_.WriteLineBuiltBy([&](std::string& line) {
        line.append(R"(<Style id="c)").append(number).append(R"("><LineStyle><color>)");
        line.append(SpeedColours.at(index));
        line.append(R"(</color><width>1</width></LineStyle></Style><StyleMap id=")");
        line.append(StyleMapIds.at(index));
        line.append(R"("><Pair><key>normal</key><styleUrl>#c)").append(number);
        line.append("</styleUrl></Pair><Pair><key>highlight</key><styleUrl>#c").append(number);
        line.append("</styleUrl></Pair></StyleMap>");
    });
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
    document_.WriteLineBuiltBy([&](std::string& line) {
        line.append("<Placemark><name>Track</name>");
        if (withTimeInfo) {
            line.append("<TimeStamp><when>");
            AppendXmlText(line, {current.Date, "T", current.Time});
            line.append("+00:00</when></TimeStamp>");
        }
        line.append("<styleUrl>#").append(styleMapId);
        line.append("</styleUrl><LineString><coordinates>");
        AppendXmlText(line, {previous.Longitude, ",", previous.Latitude, ",0 ", current.Longitude,
                             ",", current.Latitude});
        line.append(",0 </coordinates></LineString></Placemark>");
    });
}

void KmlWriter::WriteKmlFooter() {
    document_.WriteLine("<colorMode>random</colorMode></Folder></Document></kml>");
}

}  // namespace routalo
