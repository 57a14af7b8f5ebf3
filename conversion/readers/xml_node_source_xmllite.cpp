#include <windows.h>
// windows.h first: the COM headers build on it.
#include <objidl.h>
#include <xmllite.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <string>
#include <utility>

#include "conversion/errors.h"
#include "conversion/files/system_error_win32.h"
#include "conversion/readers/xml_markup_filter.h"
#include "conversion/readers/xml_node_source.h"
#include "conversion/stop/stop_request.h"
#include "conversion/utf16.h"

namespace routalo {
namespace {

using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// XmlLite's reasons, as its header names them, in words.
std::string ReasonOf(HRESULT result) {
    struct Reason {
        XmlError error;
        const char* text;
    };
    static constexpr std::array<Reason, 68> kReasons = {{
        {MX_E_MX, "the document cannot be read"},
        {MX_E_INPUTEND, "the document ends before it is complete"},
        {MX_E_ENCODING, "a byte is no character of the document's encoding"},
        {MX_E_ENCODINGSWITCH, "the document names an encoding that its bytes are not in"},
        {MX_E_ENCODINGSIGNATURE, "the document's encoding is not recognised"},
        {WC_E_WC, "the document is not well-formed"},
        {WC_E_WHITESPACE, "blank space expected"},
        {WC_E_SEMICOLON, "';' expected"},
        {WC_E_GREATERTHAN, "expected '>'"},
        {WC_E_QUOTE, "an attribute's value is not in quotes"},
        {WC_E_EQUAL, "'=' expected after an attribute's name"},
        {WC_E_LESSTHAN, "'<' may not stand in an attribute's value"},
        {WC_E_HEXDIGIT, "a hexadecimal digit expected in a character reference"},
        {WC_E_DIGIT, "a digit expected in a character reference"},
        {WC_E_LEFTBRACKET, "'[' expected"},
        {WC_E_LEFTPAREN, "'(' expected"},
        {WC_E_XMLCHARACTER, "a character that XML does not allow"},
        {WC_E_NAMECHARACTER, "a name holds a character that no name may hold"},
        {WC_E_SYNTAX, "the syntax is wrong"},
        {WC_E_CDSECT, "a CDATA section is not well-formed"},
        {WC_E_COMMENT, "a comment is not well-formed"},
        {WC_E_CONDSECT, "a conditional section is not well-formed"},
        {WC_E_DECLATTLIST, "an attribute list declaration is not well-formed"},
        {WC_E_DECLDOCTYPE, "the document type declaration is not well-formed"},
        {WC_E_DECLELEMENT, "an element declaration is not well-formed"},
        {WC_E_DECLENTITY, "an entity declaration is not well-formed"},
        {WC_E_DECLNOTATION, "a notation declaration is not well-formed"},
        {WC_E_NDATA, "NDATA expected"},
        {WC_E_PUBLIC, "PUBLIC expected"},
        {WC_E_SYSTEM, "SYSTEM expected"},
        {WC_E_NAME, "a name expected"},
        {WC_E_ROOTELEMENT, "there is more than one root element, or none"},
        {WC_E_ELEMENTMATCH, "the end tag does not match the start tag"},
        {WC_E_UNIQUEATTRIBUTE, "an attribute appears twice in one tag"},
        {WC_E_TEXTXMLDECL, "a text declaration where an XML declaration belongs"},
        {WC_E_LEADINGXML, "a name begins with 'xml'"},
        {WC_E_TEXTDECL, "a text declaration is not well-formed"},
        {WC_E_XMLDECL, "the XML declaration is not well-formed"},
        {WC_E_ENCNAME, "the encoding's name is not well-formed"},
        {WC_E_PUBLICID, "a public identifier is not well-formed"},
        {WC_E_PESINTERNALSUBSET, "a parameter entity in the internal subset"},
        {WC_E_PESBETWEENDECLS, "a parameter entity between declarations"},
        {WC_E_NORECURSION, "an entity refers to itself"},
        {WC_E_ENTITYCONTENT, "an entity's content is not well-formed"},
        {WC_E_UNDECLAREDENTITY, "an entity that is not declared"},
        {WC_E_PARSEDENTITY, "an entity that is not parsed is referred to"},
        {WC_E_NOEXTERNALENTITYREF, "an attribute refers to an external entity"},
        {WC_E_PI, "a processing instruction is not well-formed"},
        {WC_E_SYSTEMID, "a system identifier is not well-formed"},
        {WC_E_QUESTIONMARK, "'?' expected"},
        {WC_E_CDSECTEND, "']]>' may not stand in text"},
        {WC_E_MOREDATA, "content after the root element"},
        {WC_E_DTDPROHIBITED, "the document declares a DTD, which is not read"},
        {WC_E_INVALIDXMLSPACE, "xml:space is neither 'default' nor 'preserve'"},
        {NC_E_NC, "the namespaces are not well-formed"},
        {NC_E_QNAMECHARACTER, "a qualified name holds a character that it may not hold"},
        {NC_E_QNAMECOLON, "a qualified name holds more than one ':'"},
        {NC_E_NAMECOLON, "a name holds a ':'"},
        {NC_E_DECLAREDPREFIX, "a prefix is declared for no namespace"},
        {NC_E_UNDECLAREDPREFIX, "a prefix that is not declared"},
        {NC_E_EMPTYURI, "a prefix is declared for an empty namespace"},
        {NC_E_XMLPREFIXRESERVED, "the prefix 'xml' is declared for another namespace"},
        {NC_E_XMLNSPREFIXRESERVED, "the prefix 'xmlns' is declared"},
        {NC_E_XMLURIRESERVED, "the namespace of 'xml' is declared for another prefix"},
        {NC_E_XMLNSURIRESERVED, "the namespace of 'xmlns' is declared"},
        {SC_E_SC, "the document goes beyond a limit of the reader"},
        {SC_E_MAXELEMENTDEPTH, "elements are nested too deep"},
        {SC_E_MAXENTITYEXPANSION, "entities expand too far"},
    }};
    for (const Reason& reason : kReasons) {
        if (static_cast<HRESULT>(reason.error) == result) {
            return reason.text;
        }
    }
    // Not XmlLite's own: the system's words for it.
    return WindowsError(static_cast<DWORD>(result)).message();
}

// How much of the log is filtered at a time (xml_markup_filter.h); also
// how long a stop asked for may wait.
constexpr std::size_t kPieceSize = std::size_t{16} * 1024;

// The log as the stream that XmlLite reads, through XmlMarkupFilter.
// Nothing may throw through the reader: a failure (of a read, of the
// filter, a stop asked for) is kept, the reader told that the stream
// failed, and the failure thrown once the reader has returned.
class LogStream : public ISequentialStream {
  public:
    LogStream(TextInputFile& log, XmlEncoding encoding, XmlPosition start)
        : log_(log), filter_(encoding, start) {}
    virtual ~LogStream() = default;
    LogStream(const LogStream&) = delete;
    LogStream& operator=(const LogStream&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (IsEqualIID(id, __uuidof(IUnknown)) || IsEqualIID(id, __uuidof(ISequentialStream))) {
            *object = static_cast<ISequentialStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The stream lives as long as the source that owns it.
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
        std::size_t count = 0;
        try {
            ThrowIfStopRequested();
            while (count < size) {
                // Wine's XmlLite takes a comment whose "-->" is cut between
                // two reads for a malformed one, and a character cut between
                // them for two: a read ends after a byte of ASCII other than
                // "-", but where the document ends or a piece holds none.
                std::size_t available = filtered_.size() - at_;
                const auto readEnd = [&](std::size_t end) {
                    std::size_t kept = end;
                    while (kept > 0 &&
                           (filtered_[at_ + kept - 1] == '-' ||
                            (static_cast<unsigned char>(filtered_[at_ + kept - 1]) & 0x80U) != 0)) {
                        --kept;
                    }
                    return kept;
                };
                if (!atEnd_ && available < kPieceSize) {
                    available = readEnd(available);
                }
                if (available == 0) {
                    if (filter_.Failed()) {
                        throw filter_.Failure();
                    }
                    if (atEnd_) {
                        break;
                    }
                    filtered_.erase(0, at_);  // the "-" held back, if any
                    at_ = 0;
                    const std::string_view bytes = log_.Buffered();
                    const std::size_t piece = std::min(bytes.size(), kPieceSize);
                    filtered_.append(filter_.Filter(bytes.substr(0, piece), piece == 0, changed_));
                    log_.Skip(piece);
                    atEnd_ = piece == 0;
                    continue;
                }
                std::size_t taken = std::min<std::size_t>(available, size - count);
                const bool full = taken == size - count;
                if (full && taken < available && readEnd(taken) > 0) {
                    taken = readEnd(taken);
                }
                std::memcpy(static_cast<char*>(buffer) + count, filtered_.data() + at_, taken);
                at_ += taken;
                count += taken;
                if (full) {
                    break;
                }
            }
        } catch (...) {
            failure_ = std::current_exception();
        }
        if (read != nullptr) {
            *read = static_cast<ULONG>(count);
        }
        if (failure_ && count == 0) {
            return E_FAIL;
        }
        return count < size && AtEnd() ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* /*buffer*/, ULONG /*size*/,
                                    ULONG* /*written*/) override {
        return E_NOTIMPL;
    }

    // True once the document has been handed to its end.
    [[nodiscard]] bool AtEnd() const { return atEnd_ && at_ == filtered_.size(); }

    // Throws what failed, if anything did.
    void ThrowFailure() {
        if (failure_) {
            std::rethrow_exception(std::exchange(failure_, nullptr));
        }
    }

    [[nodiscard]] XmlMarkupFilter& Filter() { return filter_; }

  private:
    TextInputFile& log_;
    XmlMarkupFilter filter_;
    std::string filtered_;  // what the reader is to read
    std::string changed_;   // a piece that the filter changed
    std::size_t at_ = 0;    // of filtered_, handed already
    std::exception_ptr failure_;
    bool atEnd_ = false;
};

// XmlLite, the system's streaming reader, loaded when first needed so that
// the program imports no DLL beyond those it always did.
class XmlLiteNodeSource : public XmlNodeSource {
  public:
    XmlLiteNodeSource(TextInputFile& log, XmlEncoding encoding, XmlPosition start)
        : stream_(log, encoding, start), start_(start) {
        static const HMODULE library = LoadLibraryW(L"xmllite.dll");
        const auto create = library == nullptr
                                ? nullptr
                                : reinterpret_cast<CreateXmlReaderFunction>(reinterpret_cast<void*>(
                                      GetProcAddress(library, "CreateXmlReader")));
        if (create == nullptr ||
            FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader_), nullptr))) {
            throw ConversionError("the system's XML reader (xmllite.dll) could not be started");
        }
        reader_->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
        // The filter holds the limit, the same as on Linux; XmlLite's own,
        // which counts otherwise, lies beyond it.
        reader_->SetProperty(XmlReaderProperty_MaxElementDepth, 2 * kDeepestElement);
        if (FAILED(reader_->SetInput(&stream_))) {
            throw ConversionError("the system's XML reader takes no input");
        }
    }
    ~XmlLiteNodeSource() override { reader_->Release(); }
    XmlLiteNodeSource(const XmlLiteNodeSource&) = delete;
    XmlLiteNodeSource& operator=(const XmlLiteNodeSource&) = delete;

    bool Read(XmlNode& node) override {
        XmlNodeType type = XmlNodeType_None;
        const HRESULT result = reader_->Read(&type);
        if (result != S_OK) {
            stream_.ThrowFailure();
        }
        if (result == S_FALSE) {
            return false;
        }
        UINT line = 0;
        UINT column = 0;
        reader_->GetLineNumber(&line);
        reader_->GetLinePosition(&column);
        // Wine's XmlLite, given a document cut off in text, hands the same
        // text node again and again where Windows' says MX_E_INPUTEND: a
        // node where the one before stood, at the end of the input, is that.
        const bool noProgress =
            stream_.AtEnd() && type == lastType_ && line == readerLine_ && column == readerColumn_;
        readerLine_ = line;
        readerColumn_ = column;
        const XmlPosition place = PlaceInLog(start_, line, column);
        line_ = place.line;
        column_ = place.column;
        lastType_ = type;
        if (FAILED(result) || noProgress) {
            throw LogError(PlaceOf(place),
                           ReasonOf(FAILED(result) ? result : static_cast<HRESULT>(MX_E_INPUTEND)));
        }
        node.empty = false;
        node.localName = {};
        node.namespaceUri = {};
        textHeld_.clear();
        textEnded_ = false;
        switch (type) {
            case XmlNodeType_Element: {
                node.kind = XmlNode::Kind::kStart;
                node.localName = Utf8(name_, &IXmlReader::GetLocalName);
                node.namespaceUri = Utf8(uri_, &IXmlReader::GetNamespaceUri);
                node.empty = reader_->IsEmptyElement() != FALSE;
                const XmlPosition start = stream_.Filter().NextStartTag();
                line_ = start.line;
                column_ = start.column;
                break;
            }
            case XmlNodeType_EndElement:
                node.kind = XmlNode::Kind::kEnd;
                node.localName = Utf8(name_, &IXmlReader::GetLocalName);
                break;
            case XmlNodeType_Text:
            case XmlNodeType_CDATA:
            case XmlNodeType_Whitespace:
                node.kind = XmlNode::Kind::kText;
                break;
            default:
                node.kind = XmlNode::Kind::kOther;
                break;
        }
        return true;
    }

    // Read in pieces of a few hundred characters, as far as asked: a text
    // of any length takes no more memory.
    std::string_view Text(std::size_t most) override {
        constexpr UINT kChunk = 256;
        while (textHeld_.size() < most && !textEnded_) {
            std::array<WCHAR, kChunk + 1> units{};
            UINT read = 0;
            if (reader_->ReadValueChunk(units.data(), kChunk, &read) != S_OK || read == 0) {
                textEnded_ = true;
                break;
            }
            // A surrogate pair stays whole.
            if (units[read - 1] >= 0xD800 && units[read - 1] <= 0xDBFF) {
                UINT low = 0;
                reader_->ReadValueChunk(units.data() + read, 1, &low);
                read += low;
            }
            textHeld_ += Utf8FromUtf16(
                std::u16string_view(reinterpret_cast<const char16_t*>(units.data()), read));
        }
        std::size_t size = std::min(most, textHeld_.size());
        while (size > 0 && size < textHeld_.size() &&
               (static_cast<unsigned char>(textHeld_[size]) & 0xC0U) == 0x80U) {
            --size;
        }
        handed_.assign(textHeld_, 0, size);
        textHeld_.erase(0, size);
        return handed_;
    }

    std::optional<std::string_view> Attribute(std::string_view localName) override {
        const std::u16string name = Utf16FromUtf8(localName);
        if (reader_->MoveToAttributeByName(reinterpret_cast<const WCHAR*>(name.c_str()), nullptr) !=
            S_OK) {
            return std::nullopt;
        }
        const std::string_view value = Utf8(attribute_, &IXmlReader::GetValue);
        reader_->MoveToElement();
        return value;
    }

    [[nodiscard]] std::size_t Line() const override { return line_; }
    [[nodiscard]] std::size_t Column() const override { return column_; }

  private:
    using GetText = HRESULT (STDMETHODCALLTYPE IXmlReader::*)(const WCHAR**, UINT*);

    // The text that `get` gives, in UTF-8, kept in `out`: a name or an
    // attribute's value, which the filter keeps short.
    std::string_view Utf8(std::string& out, GetText get) {
        const WCHAR* text = nullptr;
        UINT length = 0;
        if (FAILED((reader_->*get)(&text, &length)) || text == nullptr) {
            out.clear();
        } else if (std::all_of(text, text + length, [](WCHAR unit) { return unit < 0x80; })) {
            out.assign(text, text + length);  // ASCII, as names nearly always are: no allocation
        } else {
            out =
                Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
        }
        return out;
    }

    LogStream stream_;
    IXmlReader* reader_ = nullptr;
    std::string name_;
    std::string uri_;
    std::string attribute_;
    std::string textHeld_;  // of the text node just read: fetched, not handed yet
    std::string handed_;
    bool textEnded_ = false;
    XmlPosition start_;
    std::size_t line_ = 0;
    std::size_t column_ = 0;
    UINT readerLine_ = 0;  // where XmlLite last stood
    UINT readerColumn_ = 0;
    XmlNodeType lastType_ = XmlNodeType_None;
};

}  // namespace

std::unique_ptr<XmlNodeSource> MakeXmlNodeSource(TextInputFile& log, XmlEncoding encoding,
                                                 XmlPosition start, bool /*plainMarkup*/) {
    return std::make_unique<XmlLiteNodeSource>(log, encoding, start);
}

}  // namespace routalo
