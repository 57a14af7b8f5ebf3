#include "conversion/readers/gpx_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/errors.h"
#include "conversion/utf16.h"
#include "tests/support/read_points.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

using Point = testing::ReadPoint;

constexpr PointStep kNew = PointStep::kNewChain;
constexpr PointStep kNext = PointStep::kNextPoint;

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// `text`, UTF-8, in UTF-16 of either byte order.
std::string Utf16(std::string_view text, XmlEncoding encoding) {
    std::string bytes;
    for (const char16_t unit : Utf16FromUtf8(text)) {
        const auto high = static_cast<char>(unit >> 8U);
        const auto low = static_cast<char>(unit & 0xFFU);
        bytes += encoding == XmlEncoding::kUtf16LittleEndian ? std::string{low, high}
                                                             : std::string{high, low};
    }
    return bytes;
}

// The points of a document, or the failure's cause as the last text.
std::pair<std::vector<Point>, std::string> ReadAll(
    const std::string& document, XmlEncoding encoding = XmlEncoding::kAsDeclared) {
    const testing::ScratchFolder folder;
    TextInputFile log(folder.Write("rit.gpx", document));
    std::vector<Point> points;
    try {
        const std::unique_ptr<PointReader> reader = MakeGpxPointReader(log, encoding);
        testing::ReadPoints(*reader, points);
    } catch (const ConversionError& error) {
        // A failure in the document keeps its place apart from its problem,
        // for the run to put in front of it.
        EXPECT_NE(dynamic_cast<const LogError*>(&error), nullptr) << error.Cause();
        return {points, CauseWithPlace(error)};
    }
    return {points, ""};
}

TEST(GpxPointReader, ReadsEveryTrackPointInItsChain) {
    const std::string gpx10 =
        R"(<?xml version="1.0"?><gpx version="1.0" xmlns="http://www.topografix.com/GPX/1/0">)"
        R"(<wpt lat="1" lon="1"/><rte><rtept lat="1" lon="1"/></rte><trk><trkseg>)"
        R"(<trkpt lat="52.2000" lon="5.1000"><time>2007-06-15T09:05:03Z</time><speed>3.5</speed></trkpt>)"
        "<trkpt lat=' 52.2005 ' "
        "lon=\"+5.1010\">\n<time><![CDATA[2007-06-15T11:05:08+02:00]]></time>"
        R"(<speed>10</speed></trkpt></trkseg><trkseg><trkpt lat="-1" lon="-2"><speed>0.25</speed>)"
        R"(</trkpt></trkseg></trk><trk><trkseg><trkpt lat="0" lon="0"/></trkseg></trk></gpx>)";
    const std::string gpx11 =
        R"(<g:gpx xmlns:g="http://www.topografix.com/GPX/1/1" xmlns:x="urn:x"><g:trk><g:trkseg>)"
        R"(<g:trkpt lat="10" lon="20"><g:extensions><x:TrackPointExtension><x:speed>2)"
        R"(</x:speed><x:speed>9</x:speed></x:TrackPointExtension></g:extensions></g:trkpt>)"
        R"(<g:trkpt lat="10" lon="20"><g:speed>1</g:speed><g:extensions><x:speed>2</x:speed>)"
        R"(</g:extensions></g:trkpt></g:trkseg></g:trk></g:gpx>)";
    // Only GPX's own elements make the structure, and GPX 1.0's speed wins
    // over one in the extensions, wherever it stands.
    const std::string namespaces =
        R"(<gpx xmlns="http://www.topografix.com/GPX/1/0" xmlns:o="urn:o"><trk><trkseg>)"
        R"(<trkpt lat="1" lon="1"><o:speed>50</o:speed><extensions><o:speed>2</o:speed>)"
        R"(</extensions><speed>1</speed></trkpt><o:trkpt lat="2" lon="2"/></trkseg><o:trkseg>)"
        R"(<trkpt lat="3" lon="3"/></o:trkseg><trkseg><trkpt xmlns="urn:o" lat="4" lon="4"/>)"
        R"(<trkpt lat="5" lon="5"><o:speed>50</o:speed></trkpt></trkseg></trk>)"
        R"(<o:trk><trkseg><trkpt lat="6" lon="6"/></trkseg></o:trk></gpx>)";
    const std::string foreignRoot =
        R"(<gpx xmlns="urn:o"><trk><trkseg><trkpt lat="1" lon="1"/></trkseg></trk></gpx>)";
    // Comments and CDATA sections of any length, in pieces that end
    // nowhere near a character or a "-".
    std::string longComment = "<!--";
    std::string longSection = "<desc><![CDATA[";
    std::string longText = "<desc>";
    for (int i = 0; i < 30000; ++i) {
        longText += "&amp;]\xE2\x82\xAC]";
        longComment += "-a-\xC3\xA9";
        longSection += "]\xE2\x82\xAC]]";
    }
    const std::string longMarkup = "<gpx>" + longComment + "-->" +
                                   "<trk><trkseg><trkpt lat=\"1\" lon=\"2\">" + longSection +
                                   "]]></desc>" + longText +
                                   "</desc><time><![CDATA[2007-06-15T09:05:03Z]]></time>"
                                   "</trkpt></trkseg></trk></gpx>" +
                                   longComment + "-->";
    const std::string utf16 =
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<gpx><trk><name>\xF0\x9F\x9A\xB2 "
        "\xC3\xA9</name>"
        "<trkseg><trkpt lat=\"52.1\" lon=\"5.1\"><speed>1</speed></trkpt></trkseg></trk></gpx>";
    // Derived from the positions and times: 0.001 degree along a meridian
    // in 10 s, 0.002 degree in 4 s; no time, or none later, keeps the speed
    // of the point before.
    const std::string derived =
        R"(<gpx><trk><trkseg><trkpt lat="0" lon="0"><time>2007-06-15T09:00:00Z</time></trkpt>)"
        R"(<trkpt lat="0.001" lon="0"><time>2007-06-15T09:00:10Z</time></trkpt>)"
        R"(<trkpt lat="0.001" lon="0"><time>2007-06-15T09:00:10Z</time></trkpt>)"
        R"(<trkpt lat="0.003" lon="0"><time>2007-06-15T09:00:14Z</time></trkpt>)"
        R"(<trkpt lat="0.004" lon="0"/></trkseg><trkseg><trkpt lat="1" lon="1"/>)"
        R"(<trkpt lat="1" lon="2"><time>2007-06-15T09:00:14Z</time></trkpt></trkseg></trk></gpx>)";
    // A negative speed is unknown: derived, or the one before. One beyond
    // the highest is capped. Times follow ReadIsoDateTime.
    const std::string values =
        R"(<gpx><trk><trkseg><trkpt lat="0" lon="0"><time>2016-12-31T23:59:50+0000</time>)"
        R"(<speed>-1</speed></trkpt><trkpt lat="0.001" lon="0"><time>2016-12-31T23:59:60Z</time>)"
        R"(<speed>-0.5</speed></trkpt><trkpt lat="0" lon="0"><speed>10000</speed></trkpt>)"
        R"(<trkpt lat="0" lon="0"><speed>-0</speed><time>2017-01-01T01:00:00.5+01</time></trkpt>)"
        R"(<trkpt lat="0" lon="0"><speed>-3</speed></trkpt></trkseg></trk></gpx>)";
    const std::string ulp =
        testing::ReadBytes(std::string(ROUTALO_SOURCE_DIR) + "/tests/conversion/readers/ulp.gpx");
    const std::pair<std::string, std::vector<Point>> cases[] = {
        {values,
         {{kNew, "0", "0", "0", "2016-12-31", "23:59:50"},
          {kNext, "0.001", "0", "40.030229", "2017-01-01", "00:00:00"},
          {kNext, "0", "0", "32767", "", ""},
          {kNext, "0", "0", "0", "2017-01-01", "00:00:00.5"},
          {kNext, "0", "0", "0", "", ""}}},
        {ulp,
         {{kNew, "16.612693499475398", "79.336053904925734", "0", "2007-06-15", "11:05:00"},
          {kNext, "16.612079089539453", "79.335957687373607", "13.499999", "2007-06-15",
           "11:05:18.422491293"}}},
        {gpx10,
         {{kNew, "52.2000", "5.1000", "12.6", "2007-06-15", "09:05:03"},
          {kNext, "52.2005", "+5.1010", "36", "2007-06-15", "09:05:08"},
          {kNew, "-1", "-2", "0.9", "", ""},
          {kNew, "0", "0", "0", "", ""}}},
        {gpx11, {{kNew, "10", "20", "7.2", "", ""}, {kNext, "10", "20", "7.2", "", ""}}},
        {namespaces, {{kNew, "1", "1", "3.6", "", ""}, {kNew, "5", "5", "0", "", ""}}},
        {longMarkup, {{kNew, "1", "2", "0", "2007-06-15", "09:05:03"}}},
        {derived,
         {{kNew, "0", "0", "0", "2007-06-15", "09:00:00"},
          {kNext, "0.001", "0", "40.030229", "2007-06-15", "09:00:10"},
          {kNext, "0.001", "0", "40.030229", "2007-06-15", "09:00:10"},
          {kNext, "0.003", "0", "200.151144", "2007-06-15", "09:00:14"},
          {kNext, "0.004", "0", "200.151144", "", ""},
          {kNew, "1", "1", "0", "", ""},
          {kNext, "1", "2", "0", "2007-06-15", "09:00:14"}}},
    };
    for (const auto& [document, points] : cases) {
        SCOPED_TRACE(document.substr(0, 300));
        EXPECT_EQ(ReadAll(document), std::make_pair(points, std::string()));
    }
    // No point, which the run fails (conversion_run_test).
    EXPECT_EQ(ReadAll(foreignRoot), std::make_pair(std::vector<Point>(), std::string()));
    // A UTF-16 document, read from behind its byte order mark.
    for (const XmlEncoding encoding :
         {XmlEncoding::kUtf16LittleEndian, XmlEncoding::kUtf16BigEndian}) {
        EXPECT_EQ(ReadAll(Utf16(utf16, encoding), encoding),
                  std::make_pair(std::vector<Point>{{kNew, "52.1", "5.1", "3.6", "", ""}},
                                 std::string()));
    }
}

// The name once the first point has been read, when the document head is
// written: the first track's, else the document's, trimmed, its first KiB.
TEST(GpxPointReader, NamesTheTrackAfterTheFirstPoint) {
    const std::string points = "<trkseg><trkpt lat='1' lon='1'/><trkpt lat='2' lon='2'/></trkseg>";
    const std::string gpx11 = "<gpx xmlns='http://www.topografix.com/GPX/1/1'><metadata>";
    std::string longName = " \n";
    std::string kept;
    for (int i = 0; i < 600; ++i) {
        longName += "\xC3\xA9";
        kept += i < 512 ? "\xC3\xA9" : "";
    }
    const std::pair<std::string, std::string> cases[] = {
        {gpx11 +
             "<name>Document</name></metadata><trk><name>\n Rit &amp; <![CDATA[terug]]> \t"
             "</name>" +
             points + "</trk></gpx>",
         "Rit & terug"},
        {gpx11 + "<name> Document </name></metadata><trk><o:name xmlns:o='urn:o'>Other</o:name>" +
             points + "</trk><trk><name>Second</name></trk></gpx>",
         "Document"},
        {"<gpx version='1.0'><name>GPX 1.0</name><trk><name/>" + points + "</trk></gpx>",
         "GPX 1.0"},
        {"<gpx><trk><name>" + longName + "</name>" + points + "</trk></gpx>", kept},
        {"<gpx><trk>" + points + "<name>Late</name></trk></gpx>", ""},
    };
    for (const auto& [document, name] : cases) {
        SCOPED_TRACE(document.substr(0, 200));
        const testing::ScratchFolder folder;
        TextInputFile log(folder.Write("rit.gpx", document));
        const std::unique_ptr<PointReader> reader = MakeGpxPointReader(log);
        TrackPoint point;
        ASSERT_EQ(reader->Next(point), kNew);
        EXPECT_EQ(reader->TrackName(), name);
    }
}

TEST(GpxPointReader, FailsWithTheCauseAndWhereItStands) {
    const std::string head = "<gpx>\n<trk><trkseg>";
    const std::string tail = "</trkseg></trk></gpx>";
    const std::string laughs =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
        "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e "
        "\"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g "
        "\"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
        "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i "
        "\"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]>"
        "<gpx a=\"&i;\"><trk><trkseg><trkpt lat=\"1\" lon=\"1\"><name>&i;</name></trkpt>" +
        tail;
    // Deeper than 256 levels: the 257th, however many follow.
    const std::string point = R"(<gpx><trk><trkseg><trkpt lat="1" lon="1"><extensions>)";
    std::string deep = point;
    for (int level = 6; level <= 1'000'000; ++level) {
        deep += "<e>";
    }
    std::string attributes = "<gpx";
    for (int i = 0; i < 200'000; ++i) {
        attributes += " a" + std::to_string(i) + "=''";
    }
    const std::string name(70'000, 'n');
    std::string lines;
    for (int line = 0; line < 99; ++line) {
        lines += std::string(99, 'a') + "\r\n";
    }
    // A CR LF across the 16 KiB pieces that the parser is given.
    const std::string across = "<gpx>" + std::string(16'378, 'a') + "\r\n<trk><trkseg>";
    const std::pair<std::string, std::string> cases[] = {
        {head + R"(<trkpt lat="90.0001" lon="0"/>)" + tail,
         "line 2, column 14: the lat \"90.0001\" is no number from -90 to 90"},
        {head + "<trkpt lat=\"1\"\r\n lon=\"1e2\"/>" + tail,
         "line 2, column 14: the lon \"1e2\" is no number from -180 to 180"},
        {head + R"(<trkpt lat="1"/>)" + tail, "line 2, column 14: the track point has no lon"},
        {"<gpx>\r<!-- \xC3\xA9\r\n -->\n<trk><trkseg><![CDATA[<]]><trkpt lat='1' "
         "lon='2'><time>yesterday</time></trkpt>" +
             tail,
         "line 4, column 27: the time \"yesterday\" is no ISO 8601 date-time"},
        {"<gpx>\r\n<!-- a\r\n -->\r\n<trk><trkseg><trkpt lat='1' lon='2'><time>x</time></trkpt>" +
             tail,
         "line 4, column 14: the time \"x\" is no ISO 8601 date-time"},
        {across + "<trkpt lat='1' lon='2'><time>x</time></trkpt>" + tail,
         "line 2, column 14: the time \"x\" is no ISO 8601 date-time"},
        {head + R"(<trkpt lat="1" lon="2"><speed>fast</speed></trkpt>)" + tail,
         "line 2, column 14: the speed \"fast\" is not a number"},
        {deep, "line 1, column 807: elements are nested deeper than 256"},
        {attributes, "line 1, column 1: a start tag is longer than 64 KiB"},
        {"<gpx></" + name + ">", "line 1, column 6: an end tag is longer than 64 KiB"},
        {"<gpx><?pi " + name + "?>",
         "line 1, column 6: a processing instruction is longer than 64 KiB"},
        {"", "line 1, column 1: the document has no root element"},
        {R"(<?xml version="1.0"?>)", "line 1, column 22: the document has no root element"},
        {"<?xml version=\"1.0\"?>\r\n<!-- a -->\n",
         "line 3, column 1: the document has no root element"},
        {head + R"(<trkpt lat="1" lon="2"><speed> -1,5 </speed></trkpt>)" + tail,
         "line 2, column 14: the speed \" -1,5 \" is not a number"},
        {head + R"(<trkpt lat="1" lon="2"><time>2016-12-31T23:59:61Z</time></trkpt>)" + tail,
         "line 2, column 14: the time \"2016-12-31T23:59:61Z\" is no ISO 8601 date-time"},
        {head + R"(<trkpt lat="1" lon="2"><time>2023-02-29T09:05:04</time></trkpt>)" + tail,
         "line 2, column 14: the time \"2023-02-29T09:05:04\" is no ISO 8601 date-time"},
        {head + R"(<trkpt lat="1" lon="2"><time>2016-12-31T12:00:60Z</time></trkpt>)" + tail,
         "line 2, column 14: the time \"2016-12-31T12:00:60Z\" is no ISO 8601 date-time"},
        {head + R"(<trkpt lat="1" lon="2"><time>2007-06-15T09:05:03Z</ti)",
         "line 2, column 67: expected '>'"},
        {head + R"(<trkpt lat="1" lon="2"></trkseg>)" + tail,
         kWindows ? "line 2, column 46: the end tag does not match the start tag"
                  : "line 2, column 46: Opening and ending tag mismatch: trkpt line 2 and trkseg"},
        // Wine's XmlLite calls it a syntax error.
        {head + tail + "<gpx/>",
         kWindows ? "line 2, column 35: the syntax is wrong"
                  : "line 2, column 35: Extra content at the end of the document"},
        {"<gpx>" + lines + "]]></gpx>",
         kWindows ? "line 100, column 1: ']]>' may not stand in text"
                  : "line 100, column 1: Sequence ']]>' not allowed in content"},
        {"<gpx>\n<trk a=b>", kWindows ? "line 2, column 8: an attribute's value is not in quotes"
                                      : "line 2, column 8: AttValue: \" or ' expected"},
        {"<gpx><rte><rtept lat=\"1\" lon=\"1\"/></rte><trk><trkseg></trkseg></trk></gpx>", ""},
        {laughs, "line 2, column 1: the document declares a DTD, which is not read"},
        {"<!DOCTYPE gpx [<!ENTITY a \"b\">]><gpx>&a;</gpx>",
         "line 1, column 1: the document declares a DTD, which is not read"},
    };
    for (const auto& [document, cause] : cases) {
        SCOPED_TRACE(document.substr(0, 200));
        EXPECT_EQ(ReadAll(document).second, cause);
    }
    constexpr XmlEncoding kLittle = XmlEncoding::kUtf16LittleEndian;
    constexpr XmlEncoding kBig = XmlEncoding::kUtf16BigEndian;
    EXPECT_EQ(ReadAll(Utf16("<gpx/>", kLittle) + "x", kLittle).second,
              "line 1, column 7: the document is not valid UTF-16");
    EXPECT_EQ(
        ReadAll(Utf16("<gpx>", kBig) + std::string("\xDC\x00", 2) + Utf16("</gpx>", kBig), kBig)
            .second,
        "line 1, column 6: the document is not valid UTF-16");
    EXPECT_EQ(ReadAll(Utf16("<?xml version='1.0'?>", kBig), kBig).second,
              "line 1, column 22: the document has no root element");
}

}  // namespace
}  // namespace routalo
