#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conversion/errors.h"
#include "conversion/readers/xml_markup_filter.h"
#include "conversion/readers/xml_node_source.h"
#include "conversion/stop/stop_request.h"
#include "conversion/text_encoding.h"

namespace routalo {
namespace {

// How much of the log the parser takes at a time: the nodes of one piece
// are kept until they have been read, so this bounds the memory, and the
// time before a stop asked for is seen.
constexpr std::size_t kPieceSize = std::size_t{16} * 1024;

std::string_view ViewOf(const xmlChar* text) {
    return text == nullptr ? std::string_view()
                           : std::string_view(reinterpret_cast<const char*>(text));
}

std::string_view ViewOf(const xmlChar* begin, const xmlChar* end) {
    return {reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin)};
}

// libxml2's SAX2 interface, pushed one piece of the log at a time, through
// XmlMarkupFilter: the nodes that a piece gives are queued, and handed out
// one per Read. Only the
// handlers below are set, so that no tree is built, no DTD loaded and no
// entity of the document looked up; a DTD stops the parser at once. Nothing
// may throw through the parser's C frames: a failure in a handler is kept
// and thrown once the parser has returned.
class LibXml2NodeSource : public XmlNodeSource {
  public:
    LibXml2NodeSource(TextInputFile& log, XmlEncoding encoding, XmlPosition start)
        : log_(log), filter_(encoding, start), start_(start) {
        xmlSAXHandler handler{};
        handler.initialized = XML_SAX2_MAGIC;
        handler.startElementNs = &LibXml2NodeSource::OnStart;
        handler.endElementNs = &LibXml2NodeSource::OnEnd;
        handler.characters = &LibXml2NodeSource::OnText;
        handler.cdataBlock = &LibXml2NodeSource::OnCData;
        handler.internalSubset = &LibXml2NodeSource::OnDocumentType;
        handler.serror = &LibXml2NodeSource::OnError;
        parser_ = xmlCreatePushParserCtxt(&handler, this, nullptr, 0, nullptr);
        if (parser_ == nullptr) {
            throw ConversionError("the XML parser could not be started");
        }
        xmlCtxtUseOptions(parser_, XML_PARSE_NONET | XML_PARSE_BIG_LINES);
    }

    ~LibXml2NodeSource() override { xmlFreeParserCtxt(parser_); }
    LibXml2NodeSource(const LibXml2NodeSource&) = delete;
    LibXml2NodeSource& operator=(const LibXml2NodeSource&) = delete;

    bool Read(XmlNode& node) override {
        while (next_ == nodes_.size()) {
            if (finished_) {
                return false;
            }
            Feed();
        }
        current_ = &nodes_[next_++];
        node.kind = current_->kind;
        node.empty = false;
        node.localName = current_->name;
        node.namespaceUri = current_->uri;
        textAt_ = 0;
        return true;
    }

    std::string_view Text(std::size_t most) override {
        const std::string_view rest = View(current_->text).substr(textAt_);
        std::size_t size = std::min(most, rest.size());
        // libxml2 hands whole characters; a piece ends at one.
        while (size < rest.size() && size > 0 &&
               (static_cast<unsigned char>(rest[size]) & 0xC0U) == 0x80U) {
            --size;
        }
        textAt_ += size;
        return rest.substr(0, size);
    }

    std::optional<std::string_view> Attribute(std::string_view localName) override {
        for (std::size_t i = current_->firstAttribute; i < current_->endAttribute; ++i) {
            if (attributes_[i].name == localName) {
                return View(attributes_[i].value);
            }
        }
        return std::nullopt;
    }

    [[nodiscard]] std::size_t Line() const override { return current_->line; }
    [[nodiscard]] std::size_t Column() const override { return current_->column; }

  private:
    // A text in texts_: where it starts and how long it is.
    struct Span {
        std::size_t start = 0;
        std::size_t size = 0;
    };
    // Names and namespaces are libxml2's own: it keeps one copy of each in
    // its dictionary for as long as the parser lives.
    struct QueuedNode {
        XmlNode::Kind kind = XmlNode::Kind::kOther;
        std::string_view name;
        std::string_view uri;
        Span text;
        std::size_t firstAttribute = 0;
        std::size_t endAttribute = 0;
        std::size_t line = 0;
        std::size_t column = 0;
    };
    struct QueuedAttribute {
        std::string_view name;
        Span value;
    };

    [[nodiscard]] std::string_view View(Span span) const {
        return std::string_view(texts_).substr(span.start, span.size);
    }

    Span Keep(std::string_view text) {
        const Span span{texts_.size(), text.size()};
        texts_.append(text);
        return span;
    }

    // A node where the parser stands; a start's place is the filter's.
    QueuedNode& Queue(XmlNode::Kind kind) {
        QueuedNode& node = nodes_.emplace_back();
        node.kind = kind;
        if (kind == XmlNode::Kind::kStart) {
            const XmlPosition start = filter_.NextStartTag();
            node.line = start.line;
            node.column = start.column;
        } else {
            node.line = static_cast<std::size_t>(std::max(xmlSAX2GetLineNumber(parser_), 0));
            node.column = static_cast<std::size_t>(std::max(xmlSAX2GetColumnNumber(parser_), 0));
        }
        return node;
    }

    // Gives the parser the next piece of the log, or the end of it. A
    // failure of the filter is thrown once the parser has read the bytes
    // before it.
    void Feed() {
        ThrowIfStopRequested();
        nodes_.clear();
        attributes_.clear();
        texts_.clear();
        next_ = 0;
        if (filter_.Failed()) {
            throw filter_.Failure();
        }
        const std::string_view bytes = log_.Buffered();
        const std::size_t size = std::min(bytes.size(), kPieceSize);
        const std::string_view piece = filter_.Filter(bytes.substr(0, size), size == 0, filtered_);
        const int terminate = size == 0 && !filter_.Failed() ? 1 : 0;
        const int result =
            xmlParseChunk(parser_, piece.data(), static_cast<int>(piece.size()), terminate);
        log_.Skip(size);
        finished_ = terminate == 1;
        if (failure_) {
            std::rethrow_exception(std::exchange(failure_, nullptr));
        }
        if (error_) {
            throw *error_;
        }
        if (result != 0) {
            throw LogError(PlaceOf(ParserPlace()), "the document is not well-formed");
        }
    }

    static LibXml2NodeSource& Self(void* context) {
        return *static_cast<LibXml2NodeSource*>(context);
    }

    // Runs `handle` for the parser, keeping what it throws.
    template <typename Handle>
    static void Guarded(void* context, Handle&& handle) {
        LibXml2NodeSource& self = Self(context);
        try {
            handle(self);
        } catch (...) {
            if (!self.failure_) {
                self.failure_ = std::current_exception();
            }
            xmlStopParser(self.parser_);
        }
    }

    static void OnStart(void* context, const xmlChar* localName, const xmlChar* /*prefix*/,
                        const xmlChar* uri, int /*namespaceCount*/, const xmlChar** /*namespaces*/,
                        int attributeCount, int /*defaultedCount*/, const xmlChar** attributes) {
        Guarded(context, [&](LibXml2NodeSource& self) {
            QueuedNode& node = self.Queue(XmlNode::Kind::kStart);
            node.name = ViewOf(localName);
            node.uri = ViewOf(uri);
            node.firstAttribute = self.attributes_.size();
            // Five pointers an attribute: local name, prefix, URI, value, value's end.
            for (int i = 0; i < attributeCount; ++i) {
                const xmlChar** attribute = attributes + static_cast<std::ptrdiff_t>(5 * i);
                if (attribute[1] == nullptr) {  // without a namespace
                    self.attributes_.push_back(
                        {ViewOf(attribute[0]), self.Keep(ViewOf(attribute[3], attribute[4]))});
                }
            }
            node.endAttribute = self.attributes_.size();
        });
    }

    static void OnEnd(void* context, const xmlChar* localName, const xmlChar* /*prefix*/,
                      const xmlChar* /*uri*/) {
        Guarded(context, [&](LibXml2NodeSource& self) {
            self.Queue(XmlNode::Kind::kEnd).name = ViewOf(localName);
        });
    }

    static void OnText(void* context, const xmlChar* text, int length) {
        Guarded(context, [&](LibXml2NodeSource& self) {
            self.Queue(XmlNode::Kind::kText).text =
                self.Keep(ViewOf(text, text + std::max(length, 0)));
        });
    }

    // libxml2 hands a CDATA section over in whole characters, but reading
    // in pieces it does not check them as it checks text: an overlong or
    // otherwise invalid UTF-8 sequence there fails here, as it fails the
    // parser anywhere else. (What it hands over is UTF-8 whatever the
    // document's encoding.)
    static void OnCData(void* context, const xmlChar* text, int length) {
        const std::string_view bytes = ViewOf(text, text + std::max(length, 0));
        LibXml2NodeSource& self = Self(context);
        if (!IsValidUtf8(bytes)) {
            self.KeepError(self.ParserPlace(), "a CDATA section is not valid UTF-8");
            xmlStopParser(self.parser_);
            return;
        }
        OnText(context, text, length);
    }

    static void OnDocumentType(void* context, const xmlChar* /*name*/,
                               const xmlChar* /*externalId*/, const xmlChar* /*systemId*/) {
        LibXml2NodeSource& self = Self(context);
        self.KeepError(self.ParserPlace(), "the document declares a DTD, which is not read");
        xmlStopParser(self.parser_);
    }

    // Keeps the first error, in the parser's own words.
    static void OnError(void* context, xmlErrorPtr error) {
        LibXml2NodeSource& self = Self(context);
        if (error == nullptr || error->level < XML_ERR_ERROR || self.error_) {
            return;
        }
        std::string message = error->message != nullptr ? error->message : "not well-formed";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
            message.pop_back();
        }
        self.KeepError(PlaceInLog(self.start_, static_cast<std::size_t>(std::max(error->line, 0)),
                                  static_cast<std::size_t>(std::max(error->int2, 0))),
                       message);
    }

    // Keeps the first error of the document, and where it stands.
    void KeepError(XmlPosition place, const std::string& problem) {
        if (!error_) {
            error_.emplace(PlaceOf(place), problem);
        }
    }

    // Where the parser stands, in the log's lines and columns.
    [[nodiscard]] XmlPosition ParserPlace() const {
        return PlaceInLog(start_,
                          static_cast<std::size_t>(std::max(xmlSAX2GetLineNumber(parser_), 0)),
                          static_cast<std::size_t>(std::max(xmlSAX2GetColumnNumber(parser_), 0)));
    }

    TextInputFile& log_;
    XmlMarkupFilter filter_;
    XmlPosition start_;
    std::string filtered_;    // the piece that the parser reads, where the filter changed it
    std::size_t textAt_ = 0;  // how much of the text just read has been handed
    xmlParserCtxtPtr parser_ = nullptr;
    std::vector<QueuedNode> nodes_;
    std::vector<QueuedAttribute> attributes_;
    std::string texts_;
    std::size_t next_ = 0;
    const QueuedNode* current_ = nullptr;
    bool finished_ = false;
    std::exception_ptr failure_;
    std::optional<LogError> error_;  // the document's first error
};

}  // namespace

std::unique_ptr<XmlNodeSource> MakeXmlNodeSource(TextInputFile& log, XmlEncoding encoding,
                                                 XmlPosition start) {
    return std::make_unique<LibXml2NodeSource>(log, encoding, start);
}

}  // namespace routalo
