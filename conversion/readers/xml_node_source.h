#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"

namespace routalo {

// How the bytes of a document are to be read: as its XML declaration says
// (UTF-8 without one), or as UTF-16 of either byte order, which a byte
// order mark told before the document.
enum class XmlEncoding : std::uint8_t { kAsDeclared, kUtf16LittleEndian, kUtf16BigEndian };

// A place in a log, counted from 1: lines end at CR LF, CR or LF, and a
// column is a character.
struct XmlPosition {
    std::size_t line = 1;
    std::size_t column = 1;
};

// The place in the log of `line` and `column`, counted from 1 in a document
// that begins at `start` of the log.
[[nodiscard]] inline XmlPosition PlaceInLog(XmlPosition start, std::size_t line,
                                            std::size_t column) {
    if (line <= 1) {
        return {start.line, start.column + column - std::min<std::size_t>(column, 1)};
    }
    return {start.line + line - 1, column};
}

// A failure's place at `place`: its line and column (errors.h).
[[nodiscard]] inline LogPlace PlaceOf(XmlPosition place) {
    return LogPlace::LineAndColumn(place.line, place.column);
}

// One node of an XML document, as a streaming parser hands it over. The
// texts are UTF-8 and valid until the next read.
struct XmlNode {
    enum class Kind : std::uint8_t { kStart, kEnd, kText, kOther };
    Kind kind = Kind::kOther;
    std::string_view localName;     // of a start or an end
    std::string_view namespaceUri;  // of a start; empty for none
    bool empty = false;             // a start that is its own end: <trkpt ... />
};

// An XML document read node by node, in constant memory, by the system's
// parser: libxml2 on Linux, XmlLite on Windows. No DTD is loaded, no
// external entity fetched; a document that declares a DTD is refused before
// any entity of it could be expanded. Both systems hold the same limits
// (xml_markup_filter.h): elements nested deeper than 256 and tags longer
// than 64 KiB fail, long comments and CDATA sections are read in pieces.
class XmlNodeSource {
  public:
    XmlNodeSource() = default;
    virtual ~XmlNodeSource() = default;
    XmlNodeSource(const XmlNodeSource&) = delete;
    XmlNodeSource& operator=(const XmlNodeSource&) = delete;

    // Reads the next node; false at the end of the document. Throws
    // LogError for a document that is not well-formed or breaks a limit, at
    // the line and column of the failure, StopRequested once a stop is
    // asked for, and the error of a read that failed.
    virtual bool Read(XmlNode& node) = 0;

    // The next piece of the text node just read (text or CDATA): whole
    // characters, at most `most` bytes of them, and empty once the node has
    // been handed whole. Text that is not asked for is never fetched.
    [[nodiscard]] virtual std::string_view Text(std::size_t most) = 0;

    // The value of the attribute `localName`, without a namespace, of the
    // start just read.
    [[nodiscard]] virtual std::optional<std::string_view> Attribute(std::string_view localName) = 0;

    // Where the start just read stands, counted from 1: the "<" of its tag,
    // counted alike on both systems (lines end at CR LF, CR or LF; a column
    // is a character). Nothing is promised of other nodes.
    [[nodiscard]] virtual std::size_t Line() const = 0;
    [[nodiscard]] virtual std::size_t Column() const = 0;
};

// A parser over the rest of `log`, which starts at the document's first "<"
// (or is empty), read in `encoding`. What came before that "<" (a byte
// order mark, blank space) was skipped: `start` is where the "<" stands in
// the log, so that every line and column named is the log's own. With
// `plainMarkup`, libxml2 is spared the runs of plain markup
// (xml_plain_markup.h), which are read without it into the same nodes;
// XmlLite reads everything.
[[nodiscard]] std::unique_ptr<XmlNodeSource> MakeXmlNodeSource(TextInputFile& log,
                                                               XmlEncoding encoding,
                                                               XmlPosition start = {},
                                                               bool plainMarkup = true);

}  // namespace routalo
