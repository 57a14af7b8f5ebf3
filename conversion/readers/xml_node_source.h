#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "conversion/files/text_input_file.h"

namespace routalo {

// One node of an XML document, as a streaming parser hands it over. The
// texts are UTF-8 and valid until the next read.
struct XmlNode {
    enum class Kind : std::uint8_t { kStart, kEnd, kText, kOther };
    Kind kind = Kind::kOther;
    std::string_view localName;  // of a start or an end
    bool empty = false;          // a start that is its own end: <trkpt ... />
    std::string_view text;       // of text, CDATA included
};

// An XML document read node by node, in constant memory, by the system's
// parser: libxml2 on Linux, XmlLite on Windows. No DTD is loaded, no
// external entity fetched; a document that declares a DTD is refused before
// any entity of it could be expanded.
class XmlNodeSource {
  public:
    XmlNodeSource() = default;
    virtual ~XmlNodeSource() = default;
    XmlNodeSource(const XmlNodeSource&) = delete;
    XmlNodeSource& operator=(const XmlNodeSource&) = delete;

    // Reads the next node; false at the end of the document. Throws
    // ConversionError for a document that is not well-formed, the cause the
    // parser's own reason with its line and column, and the error of a read
    // that failed.
    virtual bool Read(XmlNode& node) = 0;

    // The value of the attribute `localName`, without a namespace, of the
    // start just read.
    [[nodiscard]] virtual std::optional<std::string_view> Attribute(std::string_view localName) = 0;

    // Where the node just read stands, counted from 1: for a start, the end
    // of its tag.
    [[nodiscard]] virtual std::size_t Line() const = 0;
    [[nodiscard]] virtual std::size_t Column() const = 0;
};

// A parser over the rest of `log`.
[[nodiscard]] std::unique_ptr<XmlNodeSource> MakeXmlNodeSource(TextInputFile& log);

}  // namespace routalo
