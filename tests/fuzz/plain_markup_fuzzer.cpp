// Fuzz target: the runs of plain markup that the XML layer reads beside
// libxml2.
//
// Property: a document read with those runs gives the same nodes (a start's
// name, namespace and place, an end's name, the texts between them
// together), and ends or fails alike, with the same message at the same
// place, as the document read by libxml2 alone. The document is the input
// itself, and the input repeated inside a root element until it is longer
// than the pieces that the parser is given, so that runs meet their ends.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"
#include "conversion/readers/xml_node_source.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/log_file.h"

namespace {

using routalo::XmlNode;

// What a reader can see of the document, written out.
std::string NodesOf(std::string_view bytes, bool plainMarkup) {
    using namespace routalo;
    TextInputFile log(fuzz::StoreInMemoryLog(bytes));
    std::string seen;
    std::string text;
    const auto endText = [&] {
        if (!text.empty()) {
            seen.append("text ").append(text).append("\n");
            text.clear();
        }
    };
    try {
        const std::unique_ptr<XmlNodeSource> source =
            MakeXmlNodeSource(log, XmlEncoding::kAsDeclared, {}, plainMarkup);
        XmlNode node;
        while (source->Read(node)) {
            if (node.kind == XmlNode::Kind::kText) {
                for (std::string_view piece = source->Text(100); !piece.empty();
                     piece = source->Text(100)) {
                    text.append(piece);
                }
                continue;
            }
            endText();
            if (node.kind == XmlNode::Kind::kStart) {
                seen.append("start ")
                    .append(node.localName)
                    .append(" {")
                    .append(node.namespaceUri)
                    .append("} ")
                    .append(std::to_string(source->Line()))
                    .append(":")
                    .append(std::to_string(source->Column()))
                    .append("\n");
            } else if (node.kind == XmlNode::Kind::kEnd) {
                seen.append("end ").append(node.localName).append("\n");
            }
        }
        endText();
        seen.append("read to the end\n");
    } catch (const ConversionError& error) {
        endText();
        seen.append("failed: ").append(CauseWithPlace(error)).append("\n");
    }
    return seen;
}

void Compare(std::string_view document) {
    routalo::fuzz::Require(NodesOf(document, true) == NodesOf(document, false),
                           "the runs of plain markup read as libxml2 reads them");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.empty() || bytes.front() != '<') {
        return 0;  // a document starts at its first "<"
    }
    Compare(bytes);
    std::string repeated = "<r xmlns:p=\"urn:p\">";
    while (repeated.size() <= std::size_t{40} * 1024) {
        repeated.append(bytes);
    }
    repeated.append("</r>");
    Compare(repeated);
    return 0;
}
