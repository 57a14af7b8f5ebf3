#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/errors.h"
#include "conversion/readers/xml_node_source.h"
#include "conversion/readers/xml_plain_markup.h"

namespace routalo {

// The limits that hold for every document, whichever parser reads it.
inline constexpr std::size_t kDeepestElement = 256;  // levels of nesting
// The longest start tag, end tag, processing instruction or declaration, in
// bytes: no GPS log writes one near it, and a parser keeps a tag whole.
inline constexpr std::size_t kLongestTag = std::size_t{64} * 1024;

// Goes over a document's bytes on their way to the system's XML parser, in
// constant memory, so that both systems' parsers see the same document and
// hold the same limits:
//
// - a UTF-16 document is handed on in UTF-8, its XML declaration replaced
//   by one without an encoding;
// - elements nested deeper than kDeepestElement, and tags longer than
//   kLongestTag, fail here: a parser keeps every open element's name and a
//   tag whole, and takes time that grows with the square of a tag's
//   attributes;
// - comments, CDATA sections and texts are cut into pieces of a few KiB
//   each, which say the same, so that a parser never holds a long one whole;
// - where each start tag begins is kept, counted here from the bytes of
//   the document, so that both systems name the same line and column;
// - a document that ends without a root element fails here alike;
// - where asked to, runs of plain markup (xml_plain_markup.h) inside the
//   root element are read here, and the parser reads a comment in their
//   place.
//
// The parsers' own checks stay theirs: this is no XML parser, and passes on
// whatever it does not look into.
class XmlMarkupFilter {
  public:
    // `start` is where the document's first byte stands in its log.
    explicit XmlMarkupFilter(XmlEncoding encoding, XmlPosition start = {})
        : line_(start.line), column_(start.column), encoding_(encoding) {}

    // What the parser is to read of `bytes`, the document's next bytes;
    // `atEnd` once the document has no more. Where the filter changes
    // nothing, which is the rule, that is a part of `bytes` itself, else it
    // is written into `buffer`, which is overwritten. After a failure
    // nothing more comes: the parser reads the bytes before it, then
    // Failure() is what to throw.
    std::string_view Filter(std::string_view bytes, bool atEnd, std::string& buffer);

    // Whether the document failed here.
    [[nodiscard]] bool Failed() const { return !failure_.empty(); }

    // The failure, at its line and column; only once Failed().
    [[nodiscard]] LogError Failure() const { return {PlaceOf(failurePlace_), failure_}; }

    // Where the next start tag that the parser reports begins: its "<".
    XmlPosition NextStartTag();

    // A run of plain markup that Filter read in place of the parser: what
    // it returned holds, from `at`, `size` bytes of a comment that stands in
    // for the run's `runSize` bytes from `runAt` of the bytes it was given.
    // The comment holds the run's line ends, so the parser's lines go on as
    // the document's; its columns after the comment, up to the next line
    // end, fall short of the document's by `columnsSpared`. Its nodes are
    // PlainNodes()[firstNode, endNode).
    struct PlainRun {
        std::size_t at = 0;
        std::size_t size = 0;
        std::size_t runAt = 0;
        std::size_t runSize = 0;
        std::size_t firstNode = 0;
        std::size_t endNode = 0;
        std::size_t columnsSpared = 0;
        std::size_t startTagsBefore = 0;  // start tags that the parser reports before it
    };

    // Whether Filter reads runs of plain markup (none, until asked to).
    void TakePlainMarkup(bool take) { takePlain_ = take; }

    // Gives a run of the last Filter back to the parser, which reads its
    // bytes itself: NextStartTag gives its start tags' places in their turn.
    void ReturnPlainRun(const PlainRun& run);

    // The runs that the last Filter read, in their order, and their nodes.
    [[nodiscard]] const std::vector<PlainRun>& PlainRuns() const { return plainRuns_; }
    [[nodiscard]] const std::vector<PlainNode>& PlainNodes() const { return plainNodes_; }

  private:
    enum class State : std::uint8_t {
        kText,
        kAngle,       // after "<"
        kStartTag,    // in a start tag, outside its quoted values
        kQuoted,      // in a quoted value of a start tag or a declaration
        kEndTag,      // after "</"
        kBang,        // after "<!": a comment, a CDATA section or a declaration
        kComment,     // after "<!--"
        kCData,       // after "<![CDATA["
        kPi,          // after "<?"
        kDeclaration  // after "<!" that starts no comment or CDATA section
    };

    bool WholeTags(std::size_t& at);
    [[nodiscard]] bool PlainRunMayStart(std::size_t at, std::size_t depth) const;
    bool TakePlainRun(std::size_t& at);
    void Byte(char c);
    void TagByte(char c);
    bool OverLong(const char* what);
    void Run(std::string_view run);
    void TextCut(char c);
    [[nodiscard]] bool CutsBefore(char c, std::size_t size, bool allowed) const;
    void CountPosition(char c);
    void CountPositions(std::string_view run);
    void CountTo(std::size_t end);
    [[nodiscard]] std::size_t NextLineEnd(std::size_t from) const;
    XmlPosition TagStart();
    void Fail(XmlPosition where, const std::string& problem);
    void FailTooLong(const char* what);
    void Utf16Unit(std::uint16_t unit);
    void Utf8Byte(char c);

    // What the parser reads. The bytes of a document read as declared go
    // on as they are, with what the filter adds between them: then only
    // the additions and the bytes between them are copied into *out_, and
    // the bytes that go on are counted in passed_. A UTF-16 document's
    // bytes are all written into *out_.
    void Emit(char c);
    void Pass(std::string_view run);
    void Add(std::string_view added);

    std::string* out_ = nullptr;
    bool direct_ = false;      // whether the bytes are input_'s
    std::string_view input_;   // the bytes of this Filter, read as declared
    std::size_t passed_ = 0;   // of input_, going on to the parser
    std::size_t copied_ = 0;   // of input_, in *out_
    bool changed_ = false;     // whether anything was added to input_
    std::size_t counted_ = 0;  // of input_: line_ and column_ are where it stands
    // Whether input_ is ASCII whose every CR stands before an LF, after no
    // CR: then a line ends at each LF or CR LF, and a column is a byte.
    bool plain_ = false;
    std::size_t lineEnd_ = 0;  // of input_, when plain_: the first line end from counted_, or npos
    std::size_t tagAt_ = 0;    // of input_: the "<" of tagStart_, when not counted
    bool tagCounted_ = true;   // whether tagStart_ is known

    bool takePlain_ = false;
    std::size_t plainFrom_ = 0;    // of input_: where the next run may start
    std::size_t plainMisses_ = 0;  // tries in a row that took no run
    std::vector<PlainRun> plainRuns_;
    std::vector<PlainNode> plainNodes_;

    std::string failure_;  // the problem, empty while none
    XmlPosition failurePlace_;
    // Where the start tags that the parser has not yet reported begin, from
    // nextStartTag_ on.
    std::vector<XmlPosition> startTags_;
    std::size_t nextStartTag_ = 0;
    std::size_t startTagsDropped_ = 0;   // taken from the front of startTags_
    std::size_t startTagsReturned_ = 0;  // of runs of the last Filter given back

    // The position of the next byte.
    std::size_t line_ = 1;
    std::size_t column_ = 1;

    XmlPosition tagStart_;  // of the tag, comment or section being read
    std::size_t tagBytes_ = 0;
    std::size_t sectionBytes_ = 0;  // of the comment's or CDATA section's piece so far
    std::size_t textBytes_ = 0;     // of the text so far, since markup or a cut
    std::size_t repeats_ = 0;       // of "-" in a comment, "]" in a CDATA section
    std::string bang_;              // what follows "<!", while it may open a comment or CDATA
    std::size_t depth_ = 0;

    // The XML declaration of a UTF-16 document, kept until it is whole.
    std::string declaration_;

    XmlEncoding encoding_;
    State state_ = State::kText;
    State quotedFrom_ = State::kStartTag;  // the state that a quoted value returns to
    char quote_ = '"';
    char previous_ = 0;  // the byte before
    bool afterCarriageReturn_ = false;
    bool inReference_ = false;  // in text, after "&", before ";"
    bool rootSeen_ = false;
    bool declarationDecided_ = false;
    // UTF-16 documents: a byte or a high surrogate waiting for its other half.
    std::uint8_t pendingByte_ = 0;
    bool pendingBytes_ = false;
    std::uint16_t highSurrogate_ = 0;
};

}  // namespace routalo
