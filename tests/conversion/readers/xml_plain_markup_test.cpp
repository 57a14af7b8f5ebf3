#include "conversion/readers/xml_plain_markup.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "conversion/readers/xml_markup_filter.h"

namespace routalo {
namespace {

// A TCX point as a logger writes it: eight elements.
constexpr std::string_view kPoint =
    "<Trackpoint><Time>2007-02-05T11:39:21Z</Time><Position><LatitudeDegrees>51.985103"
    "</LatitudeDegrees><LongitudeDegrees>5.898730</LongitudeDegrees></Position><Extensions>"
    "<ns3:TPX><ns3:Speed>0.000</ns3:Speed></ns3:TPX></Extensions></Trackpoint>";

TEST(ReadPlainMarkup, TakesWholeElementsUpToWhatIsNotPlain) {
    const std::string point(kPoint);
    struct Case {
        std::string bytes;
        std::size_t taken;  // from the first "<"
    };
    const std::vector<Case> cases = {
        {point + "\r\n" + point + "\r\n</Track>", 2 * point.size() + 2},
        {point + "\r\n<Trackpoint><Time>", point.size()},  // the second is cut off
        {"<a>x</a><b>y</b><c d='1'>z</c>", 16},            // an attribute
        {"<a>x</a> \r <b>y</b>", 8},                       // a CR without LF
        {"<a>x</a><b>y]]></b>", 8},
        {"<a>x</a><b>&amp;</b>", 8},
        {"<a>x</a><b>\xC3\xA9</b>", 8},
        {"<a>x</a ><b>y</b>", 0},  // a blank in a tag
        {"<a>x</b>", 0},
        {"<xml:a>x</xml:a>", 0},
        {"<a:b:c>x</a:b:c>", 0},
        {"<p:a>x</p:a><_.-9>y</_.-9>", 26},
    };
    for (const Case& c : cases) {
        XmlPosition place{3, 5};
        std::vector<PlainNode> nodes;
        const PlainMarkupRead read = ReadPlainMarkup(c.bytes, 0, 1, 4096, place, nodes);
        EXPECT_EQ(read.end, c.taken) << c.bytes;
        EXPECT_GE(read.looked, c.taken) << c.bytes;
    }
}

TEST(ReadPlainMarkup, GivesNodesAndPlaces) {
    const std::string bytes = "<a><p:b>x\r\ny</p:b>\n<c>1</c></a>";
    XmlPosition place{3, 5};
    std::vector<PlainNode> nodes;
    const PlainMarkupRead read = ReadPlainMarkup(bytes, 0, 254, 4096, place, nodes);
    ASSERT_EQ(read.end, bytes.size());
    EXPECT_EQ(read.elements, 3U);
    EXPECT_EQ(place.line, 5U);
    EXPECT_EQ(place.column, 13U);
    std::vector<std::string> seen;
    for (const PlainNode& node : nodes) {
        const std::string_view text = std::string_view(bytes).substr(node.at, node.size);
        std::string& shown = seen.emplace_back();
        if (node.kind == XmlNode::Kind::kText) {
            shown.append(text).append(node.returns ? " CR" : "");
            continue;
        }
        shown.append(node.kind == XmlNode::Kind::kStart ? "<" : "/")
            .append(PlainLocalName(text, node.prefix));
        if (node.kind == XmlNode::Kind::kStart) {
            shown.append(" ")
                .append(std::to_string(node.place.line))
                .append(":")
                .append(std::to_string(node.place.column));
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"<a 3:5", "<b 3:8", "x\r\ny CR", "/b", "\n", "<c 5:1",
                                              "1", "/c", "/a"}));
    // Nested one deeper than the limit allows: none.
    nodes.clear();
    EXPECT_EQ(ReadPlainMarkup(bytes, 0, 256, 4096, place, nodes).end, 0U);
    EXPECT_TRUE(nodes.empty());
}

// The filter hands the parser a comment with the run's line ends in place
// of a run of four elements or more, and leaves shorter ones to it.
TEST(XmlMarkupFilter, PutsAStandInForARunOfPlainMarkup) {
    const std::string point(kPoint);
    const std::string head = "<T xmlns:ns3='urn:x'>\n<Track>\r\n";
    const std::string tail = "</Track><G><a>1</a></G></T>";
    const std::string document = head + point + "\r\n" + point + "\r\n" + tail;
    XmlMarkupFilter filter(XmlEncoding::kAsDeclared);
    filter.TakePlainMarkup(true);
    std::string buffer;
    // The run is <Track> whole and <G> after it: 19 elements, 50 nodes.
    EXPECT_EQ(filter.Filter(document, true, buffer), "<T xmlns:ns3='urn:x'>\n<!--\n\n\n--></T>");
    ASSERT_EQ(filter.PlainRuns().size(), 1U);
    const XmlMarkupFilter::PlainRun& run = filter.PlainRuns()[0];
    EXPECT_EQ(run.at, 22U);
    EXPECT_EQ(run.runAt, 22U);
    EXPECT_EQ(run.runSize, document.size() - 22 - 4);
    EXPECT_EQ(run.columnsSpared, tail.size() - 4 - 3);
    EXPECT_EQ(run.endNode - run.firstNode, 50U);
    // The parser reports only the root's start.
    EXPECT_EQ(filter.NextStartTag().line, 1U);
    EXPECT_EQ(filter.NextStartTag().line, 0U);
}

// A run of fewer than four elements is left to the parser.
TEST(XmlMarkupFilter, LeavesShortRunsToTheParser) {
    const std::string document = "<T><a><b>1</b><c>2</c></a><d x='1'>3</d></T>";
    XmlMarkupFilter filter(XmlEncoding::kAsDeclared);
    filter.TakePlainMarkup(true);
    std::string buffer;
    EXPECT_EQ(filter.Filter(document, true, buffer), document);
    EXPECT_TRUE(filter.PlainRuns().empty());
}

}  // namespace
}  // namespace routalo
