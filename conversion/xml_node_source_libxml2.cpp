#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>
#include <utility>

#include "conversion/errors.h"
#include "conversion/xml_node_source.h"

namespace routalo {
namespace {

std::string_view ViewOf(const xmlChar* text) {
    return text == nullptr ? std::string_view()
                           : std::string_view(reinterpret_cast<const char*>(text));
}

// libxml2's xmlTextReader, fed from the log's buffer. Nothing may throw
// through the parser's C frames: a failed read is kept and thrown once the
// parser has returned.
class LibXml2NodeSource : public XmlNodeSource {
  public:
    explicit LibXml2NodeSource(TextInputFile& log) : log_(log) {
        // No DTD loaded or validated, no entity substituted, nothing from
        // the network; a DTD of the document itself is refused when met.
        reader_ = xmlReaderForIO(&LibXml2NodeSource::ReadBytes, nullptr, this, nullptr, nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOCDATA | XML_PARSE_BIG_LINES);
        if (reader_ == nullptr) {
            throw ConversionError("the XML parser could not be started");
        }
        xmlTextReaderSetStructuredErrorHandler(reader_, &LibXml2NodeSource::KeepError, this);
    }

    ~LibXml2NodeSource() override { xmlFreeTextReader(reader_); }
    LibXml2NodeSource(const LibXml2NodeSource&) = delete;
    LibXml2NodeSource& operator=(const LibXml2NodeSource&) = delete;

    bool Read(XmlNode& node) override {
        const int result = xmlTextReaderRead(reader_);
        if (readFailure_) {
            std::rethrow_exception(std::exchange(readFailure_, nullptr));
        }
        if (result == 0) {
            return false;
        }
        if (result < 0 || !error_.empty()) {
            throw ConversionError(error_.empty() ? Where() + ": the document is not well-formed"
                                                 : error_);
        }
        node.localName = {};
        node.text = {};
        node.empty = false;
        switch (xmlTextReaderNodeType(reader_)) {
            case XML_READER_TYPE_ELEMENT:
                node.kind = XmlNode::Kind::kStart;
                node.localName = ViewOf(xmlTextReaderConstLocalName(reader_));
                node.empty = xmlTextReaderIsEmptyElement(reader_) == 1;
                break;
            case XML_READER_TYPE_END_ELEMENT:
                node.kind = XmlNode::Kind::kEnd;
                node.localName = ViewOf(xmlTextReaderConstLocalName(reader_));
                break;
            case XML_READER_TYPE_TEXT:
            case XML_READER_TYPE_CDATA:
            case XML_READER_TYPE_WHITESPACE:
            case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
                node.kind = XmlNode::Kind::kText;
                node.text = ViewOf(xmlTextReaderConstValue(reader_));
                break;
            case XML_READER_TYPE_DOCUMENT_TYPE:
            case XML_READER_TYPE_ENTITY_REFERENCE:
                throw ConversionError(Where() + ": the document declares a DTD, which is not read");
            default:
                node.kind = XmlNode::Kind::kOther;
                break;
        }
        return true;
    }

    std::optional<std::string_view> Attribute(std::string_view localName) override {
        const std::string name(localName);
        if (xmlTextReaderMoveToAttribute(reader_, reinterpret_cast<const xmlChar*>(name.c_str())) !=
            1) {
            return std::nullopt;
        }
        const std::string_view value = ViewOf(xmlTextReaderConstValue(reader_));
        xmlTextReaderMoveToElement(reader_);
        return value;
    }

    // The parser reads ahead of the node; the node keeps its own line. A
    // node without one (a DTD) is where the parser stands.
    [[nodiscard]] std::size_t Line() const override {
        const xmlNodePtr node = xmlTextReaderCurrentNode(reader_);
        const long line = node == nullptr ? 0 : xmlGetLineNo(node);
        return static_cast<std::size_t>(
            line > 0 ? line : std::max(xmlTextReaderGetParserLineNumber(reader_), 0));
    }

  private:
    [[nodiscard]] std::string Where() const { return "line " + std::to_string(Line()); }

    static int ReadBytes(void* context, char* buffer, int length) {
        auto& self = *static_cast<LibXml2NodeSource*>(context);
        try {
            const std::string_view bytes = self.log_.Buffered();
            const std::size_t count = std::min(bytes.size(), static_cast<std::size_t>(length));
            std::memcpy(buffer, bytes.data(), count);
            self.log_.Skip(count);
            return static_cast<int>(count);
        } catch (...) {
            self.readFailure_ = std::current_exception();
            return -1;
        }
    }

    // Keeps the first error, in the parser's own words.
    static void KeepError(void* context, xmlErrorPtr error) {
        auto& self = *static_cast<LibXml2NodeSource*>(context);
        if (error == nullptr || error->level < XML_ERR_ERROR || !self.error_.empty()) {
            return;
        }
        std::string message = error->message != nullptr ? error->message : "not well-formed";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
            message.pop_back();
        }
        self.error_ = "line " + std::to_string(error->line) + ", column " +
                      std::to_string(error->int2) + ": " + message;
    }

    TextInputFile& log_;
    xmlTextReaderPtr reader_ = nullptr;
    std::exception_ptr readFailure_;
    std::string error_;
};

}  // namespace

std::unique_ptr<XmlNodeSource> MakeXmlNodeSource(TextInputFile& log) {
    return std::make_unique<LibXml2NodeSource>(log);
}

}  // namespace routalo
