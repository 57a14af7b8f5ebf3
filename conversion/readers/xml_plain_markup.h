#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "conversion/readers/xml_node_source.h"

namespace routalo {

// Plain markup is what a log's points are mostly made of: elements whose
// start and end tags hold their name and nothing else (<Time>, </ns3:Speed>),
// with the texts between them. A name is ASCII letters, digits, "_", "-"
// and ".", with at most one prefix before a ":" (neither "xml" nor
// "xmlns"); a text is printable ASCII, tabs and line ends (LF, CR LF),
// without "<", "&", ">" or "]". Plain markup holds no attribute, namespace
// declaration, reference, comment, lone CR or non-ASCII byte, so what a
// parser makes of it follows from its bytes and from the namespaces declared
// around it, and it can be read in one pass, without a parser's general
// machinery.

// A node of a run of plain markup. Its text is a start's or an end's
// qualified name, whose first `prefix` bytes are the prefix before the ":"
// (0: none), or a text's bytes: `size` bytes from `at`, counted from the
// run's first byte.
struct PlainNode {
    XmlNode::Kind kind = XmlNode::Kind::kOther;
    std::size_t at = 0;
    std::size_t size = 0;
    std::size_t prefix = 0;
    XmlPosition place;     // a start's: where its "<" stands
    bool returns = false;  // a text's: it holds CR LF, which a parser reads as LF
};

// What ReadPlainMarkup read.
struct PlainMarkupRead {
    std::size_t end = 0;       // where the run ends; where it would start, for none
    std::size_t elements = 0;  // in the run
    // Where it stopped looking: a caller that starts no other run before
    // there looks at no byte twice, which keeps a document of markup that
    // is plain but for its end in linear time.
    std::size_t looked = 0;
};

// Reads the longest run of plain markup in `bytes` from the "<" at `at`:
// whole elements and the texts between them, up to the ">" that ends the
// last element. Around it `depth` elements are open; nothing in it is nested
// deeper than kDeepestElement, and no text in it is longer than
// `longestText`. `place` is where the "<" stands, and becomes where the run
// ends. Appends the run's nodes to `nodes`.
PlainMarkupRead ReadPlainMarkup(std::string_view bytes, std::size_t at, std::size_t depth,
                                std::size_t longestText, XmlPosition& place,
                                std::vector<PlainNode>& nodes);

// The local part of a plain qualified name whose prefix is `prefix` bytes.
[[nodiscard]] inline std::string_view PlainLocalName(std::string_view name, std::size_t prefix) {
    return prefix == 0 ? name : name.substr(prefix + 1);
}

}  // namespace routalo
