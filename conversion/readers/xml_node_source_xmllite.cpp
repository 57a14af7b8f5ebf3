#include <windows.h>
// windows.h first: the COM headers build on it.
#include <objidl.h>
#include <xmllite.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <utility>

#include "conversion/errors.h"
#include "conversion/readers/xml_node_source.h"
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
    static constexpr std::array<Reason, 14> kReasons = {{
        {MX_E_INPUTEND, "the document ends before it is complete"},
        {MX_E_ENCODING, "a byte is no character of the document's encoding"},
        {MX_E_ENCODINGSWITCH, "the encoding cannot be switched"},
        {MX_E_ENCODINGSIGNATURE, "the encoding's signature is not recognised"},
        {WC_E_GREATERTHAN, "expected '>'"},
        {WC_E_ELEMENTMATCH, "the end tag does not match the start tag"},
        {WC_E_NAMECHARACTER, "a name holds a character that no name may hold"},
        {WC_E_XMLCHARACTER, "a character that XML does not allow"},
        {WC_E_SYNTAX, "the syntax is wrong"},
        {WC_E_ROOTELEMENT, "there is more than one root element, or none"},
        {WC_E_UNDECLAREDENTITY, "an entity that is not declared"},
        {WC_E_DTDPROHIBITED, "the document declares a DTD, which is not read"},
        {SC_E_MAXELEMENTDEPTH, "elements are nested too deep"},
        {SC_E_MAXENTITYEXPANSION, "entities expand too far"},
    }};
    for (const Reason& reason : kReasons) {
        if (static_cast<HRESULT>(reason.error) == result) {
            return reason.text;
        }
    }
    std::array<char, 48> text{};
    std::snprintf(text.data(), text.size(), "XmlLite error 0x%08lX",
                  static_cast<unsigned long>(result));
    return text.data();
}

// The log as the stream that XmlLite reads. Nothing may throw through the
// reader: a failed read is kept and thrown once the reader has returned.
class LogStream : public ISequentialStream {
  public:
    explicit LogStream(TextInputFile& log) : log_(log) {}
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
        try {
            const std::string_view bytes = log_.Buffered();
            const std::size_t count = std::min<std::size_t>(bytes.size(), size);
            std::memcpy(buffer, bytes.data(), count);
            log_.Skip(count);
            if (read != nullptr) {
                *read = static_cast<ULONG>(count);
            }
            atEnd_ = atEnd_ || count == 0;
            return count < size ? S_FALSE : S_OK;
        } catch (...) {
            failure_ = std::current_exception();
            return E_FAIL;
        }
    }
    HRESULT STDMETHODCALLTYPE Write(const void* /*buffer*/, ULONG /*size*/,
                                    ULONG* /*written*/) override {
        return E_NOTIMPL;
    }

    // True once a read found nothing left.
    [[nodiscard]] bool AtEnd() const { return atEnd_; }

    // Throws what a read threw, if one did.
    void ThrowFailure() {
        if (failure_) {
            std::rethrow_exception(std::exchange(failure_, nullptr));
        }
    }

  private:
    TextInputFile& log_;
    std::exception_ptr failure_;
    bool atEnd_ = false;
};

// XmlLite, the system's streaming reader, loaded when first needed so that
// the program imports no DLL beyond those it always did.
class XmlLiteNodeSource : public XmlNodeSource {
  public:
    explicit XmlLiteNodeSource(TextInputFile& log) : stream_(log) {
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
        stream_.ThrowFailure();
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
            stream_.AtEnd() && type == lastType_ && line == line_ && column == column_;
        line_ = line;
        column_ = column;
        lastType_ = type;
        if (FAILED(result) || noProgress) {
            throw ConversionError(
                "line " + std::to_string(line_) + ", column " + std::to_string(column_) + ": " +
                ReasonOf(FAILED(result) ? result : static_cast<HRESULT>(MX_E_INPUTEND)));
        }
        node.empty = false;
        node.localName = {};
        node.text = {};
        switch (type) {
            case XmlNodeType_Element:
                node.kind = XmlNode::Kind::kStart;
                node.localName = Utf8(name_, &IXmlReader::GetLocalName);
                node.empty = reader_->IsEmptyElement() != FALSE;
                break;
            case XmlNodeType_EndElement:
                node.kind = XmlNode::Kind::kEnd;
                node.localName = Utf8(name_, &IXmlReader::GetLocalName);
                break;
            case XmlNodeType_Text:
            case XmlNodeType_CDATA:
            case XmlNodeType_Whitespace:
                node.kind = XmlNode::Kind::kText;
                node.text = Utf8(text_, &IXmlReader::GetValue);
                break;
            default:
                node.kind = XmlNode::Kind::kOther;
                break;
        }
        return true;
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

    // The text that `get` gives, in UTF-8, kept in `out`.
    std::string_view Utf8(std::string& out, GetText get) {
        const WCHAR* text = nullptr;
        UINT length = 0;
        if (FAILED((reader_->*get)(&text, &length)) || text == nullptr) {
            out.clear();
        } else {
            out =
                Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
        }
        return out;
    }

    LogStream stream_;
    IXmlReader* reader_ = nullptr;
    std::string name_;
    std::string text_;
    std::string attribute_;
    std::size_t line_ = 0;
    std::size_t column_ = 0;
    XmlNodeType lastType_ = XmlNodeType_None;
};

}  // namespace

std::unique_ptr<XmlNodeSource> MakeXmlNodeSource(TextInputFile& log) {
    return std::make_unique<XmlLiteNodeSource>(log);
}

}  // namespace routalo
