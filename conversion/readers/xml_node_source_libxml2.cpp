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
#include "conversion/readers/xml_plain_markup.h"
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
// XmlMarkupFilter: the nodes that a piece gives are queued, with those of the
// runs of plain markup that the filter read in their places, and handed out
// one per Read. Only the handlers below are set, so that no tree is built,
// no DTD loaded and no entity of the document looked up; a DTD stops the
// parser at once. Nothing may throw through the parser's C frames: a failure
// in a handler is kept and thrown once the parser has returned.
class LibXml2NodeSource : public XmlNodeSource {
  public:
    LibXml2NodeSource(TextInputFile& log, XmlEncoding encoding, XmlPosition start, bool plainMarkup)
        : log_(log), filter_(encoding, start), start_(start) {
        filter_.TakePlainMarkup(plainMarkup);
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
        if (runNext_ < runEnd_) {
            ReadFromRun(node);
            return true;
        }
        while (next_ == nodes_.size()) {
            if (finished_) {
                return false;
            }
            Feed();
        }
        const QueuedNode& queued = nodes_[next_++];
        if (queued.kind == XmlNode::Kind::kOther) {
            runNext_ = queued.firstAttribute;
            runEnd_ = queued.endAttribute;
            runBytes_ = queued.name;
            ReadFromRun(node);
            return true;
        }
        node.kind = queued.kind;
        node.empty = false;
        node.localName = queued.name;
        node.namespaceUri = queued.uri;
        current_ = &queued;
        textAt_ = 0;
        return true;
    }

    std::string_view Text(std::size_t most) override {
        if (current_ == &runNode_ && runLineEnds_) {
            // Each CR LF is read as LF, as the parser reads it.
            lineEndsRead_.clear();
            for (const char c : runText_) {
                if (c != '\r') {
                    lineEndsRead_.push_back(c);
                }
            }
            runText_ = lineEndsRead_;
            runLineEnds_ = false;
        }
        const std::string_view rest =
            (current_ == &runNode_ ? runText_ : View(current_->text)).substr(textAt_);
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
    // its dictionary for as long as the parser lives. A run of plain markup
    // that the filter read is queued as one node of kind kOther, which the
    // parser's nodes never are: its nodes are the filter's PlainNodes() from
    // firstAttribute to endAttribute, and `name` holds the run's bytes,
    // which stay in the log's buffer until the next piece.
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

    // A node that the parser reports; a start's place is the filter's.
    QueuedNode& Queue(XmlNode::Kind kind) {
        QueuedNode& node = nodes_.emplace_back();
        node.kind = kind;
        if (kind == XmlNode::Kind::kStart) {
            const XmlPosition start = filter_.NextStartTag();
            node.line = start.line;
            node.column = start.column;
        }
        return node;
    }

    // Gives the parser the next piece of the log, or the end of it, with the
    // nodes of the runs of plain markup that the filter read in it queued in
    // their places. A failure of the filter is thrown once the parser has
    // read the bytes before it.
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
        const bool terminate = size == 0 && !filter_.Failed();
        bool failed = false;
        if (!filter_.PlainRuns().empty() && !ReadsUtf8()) {
            failed = !ParseWithRunsGivenBack(piece, bytes, terminate);
        } else {
            failed = !ParseAroundRuns(piece, bytes, terminate);
        }
        log_.Skip(size);
        finished_ = terminate;
        if (failure_) {
            std::rethrow_exception(std::exchange(failure_, nullptr));
        }
        if (error_) {
            throw *error_;
        }
        if (failed) {
            throw LogError(PlaceOf(ParserPlace()), "the document is not well-formed");
        }
    }

    // Whether the parser has read the XML declaration, if any, and reads
    // the document as UTF-8. Until it has, runs of plain markup are given
    // back; once it reads another encoding, no more are read.
    bool ReadsUtf8() {
        const xmlParserInputPtr input = parser_->input;
        if (input != nullptr && input->buf != nullptr && input->buf->encoder != nullptr) {
            filter_.TakePlainMarkup(false);
            return false;
        }
        return parser_->instate != XML_PARSER_START && input != nullptr;
    }

    // Has the parser read the filter's `piece` of `bytes` as if no run of
    // plain markup had been read in it: each run's bytes in place of its
    // stand-in, all in one. False when it failed.
    bool ParseWithRunsGivenBack(std::string_view piece, std::string_view bytes, bool terminate) {
        joined_.clear();
        std::size_t from = 0;
        for (const XmlMarkupFilter::PlainRun& run : filter_.PlainRuns()) {
            filter_.ReturnPlainRun(run);
            joined_.append(piece.substr(from, run.at - from))
                .append(bytes.substr(run.runAt, run.runSize));
            from = run.at + run.size;
        }
        joined_.append(piece.substr(from));
        return Parse(joined_, terminate);
    }

    // Has the parser read the filter's `piece` of `bytes`, and queues the
    // nodes of each run of plain markup in its place: the parser reads the
    // bytes before a run, then, where the run can be read here, its
    // stand-in, which ends any text held back before it; else the run's own
    // bytes. False when it failed.
    bool ParseAroundRuns(std::string_view piece, std::string_view bytes, bool terminate) {
        std::size_t parsed = 0;
        for (const XmlMarkupFilter::PlainRun& run : filter_.PlainRuns()) {
            const std::string_view before = piece.substr(parsed, run.at - parsed);
            const std::string_view runBytes = bytes.substr(run.runAt, run.runSize);
            parsed = run.at + run.size;
            if (!EndsInAscii(before)) {
                // The parser waits for the rest of a character that may
                // end what it was given, and would fail otherwise than on
                // the document's own bytes: it reads them on.
                filter_.ReturnPlainRun(run);
                joined_.assign(before).append(runBytes);
                if (!Parse(joined_, false)) {
                    return false;
                }
                continue;
            }
            if (!Parse(before, false)) {
                return false;
            }
            if (RunReadable(run, runBytes)) {
                if (!Parse(piece.substr(run.at, run.size), false)) {
                    return false;
                }
                NoteSpared(run);
                QueueRun(run, runBytes);
            } else {
                filter_.ReturnPlainRun(run);
                if (!Parse(runBytes, false)) {
                    return false;
                }
            }
        }
        return Parse(piece.substr(parsed), terminate);
    }

    // Has the parser read `bytes`; false when it failed.
    bool Parse(std::string_view bytes, bool terminate) {
        if (bytes.empty() && !terminate) {
            return true;
        }
        const int result =
            xmlParseChunk(parser_, bytes.data(), static_cast<int>(bytes.size()), terminate ? 1 : 0);
        return result == 0 && !failure_ && !error_;
    }

    // Whether the last three bytes that the parser will hold once it has
    // read `before` are ASCII.
    [[nodiscard]] bool EndsInAscii(std::string_view before) const {
        const auto ascii = [](auto c) { return static_cast<unsigned char>(c) < 0x80; };
        std::size_t left = 3;
        for (auto c = before.rbegin(); c != before.rend() && left > 0; ++c, --left) {
            if (!ascii(*c)) {
                return false;
            }
        }
        const xmlParserInputPtr input = parser_->input;
        if (input != nullptr && input->cur != nullptr) {
            for (const xmlChar* c = input->end; c > input->cur && left > 0; --left) {
                if (!ascii(*--c)) {
                    return false;
                }
            }
        }
        return true;
    }

    // Whether the run of plain markup whose bytes are `bytes` can be read
    // here: the parser holds back nothing of what came before but a text
    // that the stand-in ends (not a reference that it waits to see the end
    // of), and would find every prefix in the run declared. Each start's
    // namespace, declared around the run, is kept in plainUris_ on the way.
    // Else the parser is to read the run itself.
    bool RunReadable(const XmlMarkupFilter::PlainRun& run, std::string_view bytes) {
        const xmlParserInputPtr input = parser_->input;
        if (ViewOf(input->cur, input->end).find_first_of("<&") != std::string_view::npos) {
            return false;
        }
        const std::vector<PlainNode>& plainNodes = filter_.PlainNodes();
        plainUris_.resize(plainNodes.size());
        for (std::size_t i = run.firstNode; i < run.endNode; ++i) {
            const PlainNode& plain = plainNodes[i];
            if (plain.kind == XmlNode::Kind::kStart) {
                const std::optional<std::string_view> uri =
                    NamespaceOf(bytes.substr(plain.at, plain.prefix));
                if (!uri) {
                    return false;
                }
                plainUris_[i] = *uri;
            }
        }
        return true;
    }

    // Queues a run of plain markup, whose bytes are `bytes`, that
    // RunReadable found readable.
    void QueueRun(const XmlMarkupFilter::PlainRun& run, std::string_view bytes) {
        QueuedNode& queued = nodes_.emplace_back();
        queued.firstAttribute = run.firstNode;
        queued.endAttribute = run.endNode;
        queued.name = bytes;
    }

    // Reads the next node of the run being read.
    void ReadFromRun(XmlNode& node) {
        const PlainNode& plain = filter_.PlainNodes()[runNext_];
        const std::string_view text = runBytes_.substr(plain.at, plain.size);
        node.kind = plain.kind;
        node.empty = false;
        node.localName = {};
        node.namespaceUri = {};
        current_ = &runNode_;  // no attributes
        textAt_ = 0;
        if (plain.kind == XmlNode::Kind::kText) {
            runText_ = text;
            runLineEnds_ = plain.returns;
        } else {
            node.localName = PlainLocalName(text, plain.prefix);
            if (plain.kind == XmlNode::Kind::kStart) {
                node.namespaceUri = plainUris_[runNext_];
                runNode_.line = plain.place.line;
                runNode_.column = plain.place.column;
            }
        }
        ++runNext_;
    }

    // The namespace that `prefix` (empty: none) stands for where the parser
    // is; none for a prefix that is not declared.
    [[nodiscard]] std::optional<std::string_view> NamespaceOf(std::string_view prefix) const {
        for (auto binding = bindings_.rbegin(); binding != bindings_.rend(); ++binding) {
            if (binding->prefix == prefix) {
                return binding->uri;
            }
        }
        return prefix.empty() ? std::optional<std::string_view>(std::string_view()) : std::nullopt;
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
                        const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                        int attributeCount, int /*defaultedCount*/, const xmlChar** attributes) {
        Guarded(context, [&](LibXml2NodeSource& self) {
            ++self.depth_;
            // Two pointers a declaration: prefix (none for the default), URI.
            for (int i = 0; i < namespaceCount; ++i) {
                const xmlChar** declared = namespaces + static_cast<std::ptrdiff_t>(2 * i);
                self.bindings_.push_back({ViewOf(declared[0]), ViewOf(declared[1]), self.depth_});
            }
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
            while (!self.bindings_.empty() && self.bindings_.back().depth == self.depth_) {
                self.bindings_.pop_back();
            }
            --self.depth_;
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
        self.KeepError(self.PlaceOfParser(error->line, error->int2), message);
    }

    // Keeps the first error of the document, and where it stands.
    void KeepError(XmlPosition place, const std::string& problem) {
        if (!error_) {
            error_.emplace(PlaceOf(place), problem);
        }
    }

    // Where the parser stands, in the log's lines and columns.
    [[nodiscard]] XmlPosition ParserPlace() const {
        return PlaceOfParser(xmlSAX2GetLineNumber(parser_), xmlSAX2GetColumnNumber(parser_));
    }

    // The place in the log of the parser's `line` and `column`: on a line
    // where stand-ins of runs spared columns, the columns after them count
    // what they spared.
    [[nodiscard]] XmlPosition PlaceOfParser(int line, int column) const {
        auto counted = static_cast<std::size_t>(std::max(column, 0));
        if (line == sparedLine_) {
            for (auto spared = spared_.rbegin(); spared != spared_.rend(); ++spared) {
                if (spared->from <= counted) {
                    counted += spared->columns;
                    break;
                }
            }
        }
        return PlaceInLog(start_, static_cast<std::size_t>(std::max(line, 0)), counted);
    }

    // Notes the columns that the stand-in of `run`, just read, spared.
    void NoteSpared(const XmlMarkupFilter::PlainRun& run) {
        const int line = xmlSAX2GetLineNumber(parser_);
        if (line != sparedLine_) {
            spared_.clear();
            sparedLine_ = line;
        }
        const std::size_t before = spared_.empty() ? 0 : spared_.back().columns;
        spared_.push_back({static_cast<std::size_t>(std::max(xmlSAX2GetColumnNumber(parser_), 0)),
                           before + run.columnsSpared});
    }

    TextInputFile& log_;
    XmlMarkupFilter filter_;
    XmlPosition start_;
    std::string filtered_;    // the piece that the parser reads, where the filter changed it
    std::string joined_;      // bytes before a run that the parser reads, and the run's
    std::size_t textAt_ = 0;  // how much of the text just read has been handed
    xmlParserCtxtPtr parser_ = nullptr;
    std::vector<QueuedNode> nodes_;
    std::vector<QueuedAttribute> attributes_;
    std::string texts_;
    std::size_t next_ = 0;
    const QueuedNode* current_ = nullptr;  // the node just read, or runNode_
    // The node of a run just read: its place, if a start, and its text, if
    // a text, with whether its CR LF are still to be read as LF.
    QueuedNode runNode_;
    std::string_view runText_;
    bool runLineEnds_ = false;
    std::string lineEndsRead_;  // a text of a run, its CR LF read as LF
    // The run being read: its nodes left, and its bytes.
    std::size_t runNext_ = 0;
    std::size_t runEnd_ = 0;
    std::string_view runBytes_;
    std::vector<std::string_view> plainUris_;  // of the filter's PlainNodes that are starts
    // The namespaces declared on the open elements, innermost last; the
    // strings are libxml2's.
    struct Binding {
        std::string_view prefix;
        std::string_view uri;
        std::size_t depth = 0;  // of the element that declares it
    };
    std::vector<Binding> bindings_;
    std::size_t depth_ = 0;  // open elements
    // The columns spared on the parser's line sparedLine_: from its column
    // `from` on, `columns` more than it counts.
    struct Spared {
        std::size_t from = 0;
        std::size_t columns = 0;
    };
    std::vector<Spared> spared_;
    int sparedLine_ = 0;
    bool finished_ = false;
    std::exception_ptr failure_;
    std::optional<LogError> error_;  // the document's first error
};

}  // namespace

std::unique_ptr<XmlNodeSource> MakeXmlNodeSource(TextInputFile& log, XmlEncoding encoding,
                                                 XmlPosition start, bool plainMarkup) {
    return std::make_unique<LibXml2NodeSource>(log, encoding, start, plainMarkup);
}

}  // namespace routalo
