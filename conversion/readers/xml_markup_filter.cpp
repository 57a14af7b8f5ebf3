#include "conversion/readers/xml_markup_filter.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace routalo {
namespace {

// The size of the sections that a long comment or CDATA section is cut
// into; where a character or a run of "-" goes on, a little more.
constexpr std::size_t kSectionSize = 4096;

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

bool IsXmlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// How long a declaration of a UTF-16 document may be to be replaced: a real
// one is some 40 characters.
constexpr std::size_t kLongestDeclaration = 256;

}  // namespace

void XmlMarkupFilter::Filter(std::string_view bytes, bool atEnd, std::string& out) {
    if (encoding_ == XmlEncoding::kAsDeclared) {
        std::size_t at = 0;
        while (at < bytes.size() && failure_.empty()) {
            // The usual runs, of text and inside a start tag, in one piece
            // up to the byte that ends them.
            std::size_t end = at;
            if (state_ == State::kText) {
                end = bytes.find('<', at);
            } else if (state_ == State::kStartTag) {
                // By hand: find_first_of looks each byte up in the set.
                end = static_cast<std::size_t>(
                    std::find_if(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(),
                                 [](char c) { return c == '"' || c == '\'' || c == '>'; }) -
                    bytes.begin());
            } else if (state_ == State::kEndTag) {
                end = bytes.find('>', at);
            } else if (state_ == State::kQuoted) {
                end = bytes.find(quote_, at);
            }
            end = std::min(end, bytes.size());
            if (end > at) {
                Run(bytes.substr(at, end - at), out);
                at = end;
                continue;
            }
            Byte(bytes[at++], out);
        }
    } else {
        for (const char c : bytes) {
            if (!failure_.empty()) {
                return;
            }
            if (!pendingBytes_) {
                pendingByte_ = static_cast<std::uint8_t>(c);
                pendingBytes_ = true;
                continue;
            }
            pendingBytes_ = false;
            const auto second = static_cast<std::uint8_t>(c);
            Utf16Unit(encoding_ == XmlEncoding::kUtf16LittleEndian
                          ? static_cast<std::uint16_t>(pendingByte_ | (second << 8U))
                          : static_cast<std::uint16_t>((pendingByte_ << 8U) | second),
                      out);
        }
    }
    if (!atEnd || !failure_.empty()) {
        return;
    }
    if (encoding_ != XmlEncoding::kAsDeclared) {
        if (pendingBytes_ || highSurrogate_ != 0) {
            Fail({line_, column_}, "the document is not valid UTF-16");
            return;
        }
        if (!declarationDecided_) {
            declarationDecided_ = true;
            for (const char c : std::exchange(declaration_, {})) {
                Byte(c, out);
            }
        }
    }
    if (!rootSeen_ && failure_.empty()) {
        Fail({line_, column_}, "the document has no root element");
    }
}

XmlPosition XmlMarkupFilter::NextStartTag() {
    if (startTags_.empty()) {
        return {0, 0};
    }
    const XmlPosition position = startTags_.front();
    startTags_.pop_front();
    return position;
}

void XmlMarkupFilter::Fail(XmlPosition where, const std::string& problem) {
    if (failure_.empty()) {
        failure_ = PlaceText(where) + ": " + problem;
    }
}

// Lines end as XML ends them: CR LF, CR or LF. A column is a character.
void XmlMarkupFilter::CountPosition(char c) {
    if (c == '\n') {
        line_ += afterCarriageReturn_ ? 0 : 1;
        column_ = 1;
        afterCarriageReturn_ = false;
    } else if (c == '\r') {
        ++line_;
        column_ = 1;
        afterCarriageReturn_ = true;
    } else {
        afterCarriageReturn_ = false;
        column_ += IsContinuationByte(c) ? 0 : 1;
    }
}

// CountPosition for every byte of `run`: a run without a line end, the
// commonest, is counted without looking at its bytes one by one.
void XmlMarkupFilter::CountPositions(std::string_view run) {
    std::size_t afterLastEnd = run.size();
    while (afterLastEnd > 0 && run[afterLastEnd - 1] != '\r' && run[afterLastEnd - 1] != '\n') {
        --afterLastEnd;
    }
    for (const char c : run.substr(0, afterLastEnd)) {
        CountPosition(c);
    }
    run.remove_prefix(afterLastEnd);
    if (!run.empty()) {
        afterCarriageReturn_ = false;
        column_ += static_cast<std::size_t>(
            std::count_if(run.begin(), run.end(), [](char c) { return !IsContinuationByte(c); }));
    }
}

// Whether a piece may be cut before `c` once it has `size` bytes: at a
// character, and before a line end where there is one (then the parser's
// columns stay those of the document), else at twice the size.
bool XmlMarkupFilter::CutsBefore(char c, std::size_t size, bool allowed) const {
    if (size < kSectionSize || !allowed || IsContinuationByte(c)) {
        return false;
    }
    const bool lineEnd = c == '\r' || (c == '\n' && previous_ != '\r');
    return lineEnd || size >= 2 * kSectionSize;
}

// A long text is cut by an empty comment every few KiB, which leaves it as
// it was: a parser (Wine's XmlLite) may hold a text node whole. Not inside a
// character reference, nor where "]]>" would be cut, which may stand in no
// text.
void XmlMarkupFilter::TextCut(char c, std::string& out) {
    if (CutsBefore(c, textBytes_, previous_ != ']' && !inReference_) ||
        textBytes_ >= 3 * kSectionSize) {
        out.append("<!---->");
        textBytes_ = 0;
    }
    ++textBytes_;
    inReference_ = c == '&' || (inReference_ && c != ';');
    previous_ = c;
}

// A run of bytes none of which ends the text, start tag, end tag or quoted
// value that the filter is in.
void XmlMarkupFilter::Run(std::string_view run, std::string& out) {
    CountPositions(run);
    if (state_ == State::kText) {
        // Up to kSectionSize bytes of text go on in one piece, as no cut may
        // come before; from there on each byte is looked at, until a cut.
        while (!run.empty()) {
            if (inReference_ || textBytes_ >= kSectionSize) {
                // Before twice the size, only a line end or a reference can
                // bring a cut: the bytes before the first of them go on in
                // one piece.
                const std::size_t most =
                    textBytes_ < 2 * kSectionSize ? 2 * kSectionSize - textBytes_ : 0;
                const std::size_t plain =
                    inReference_
                        ? 0
                        : static_cast<std::size_t>(
                              std::find_if(
                                  run.begin(), run.begin() + std::min(most, run.size()),
                                  [](char c) { return c == '&' || c == '\r' || c == '\n'; }) -
                              run.begin());
                if (plain == 0) {
                    TextCut(run.front(), out);
                    out.push_back(run.front());
                    run.remove_prefix(1);
                    continue;
                }
                textBytes_ += plain;
                previous_ = run[plain - 1];
                out.append(run.substr(0, plain));
                run.remove_prefix(plain);
                continue;
            }
            const std::string_view piece = run.substr(0, kSectionSize - textBytes_);
            textBytes_ += piece.size();
            const std::size_t reference = piece.find_last_of('&');
            inReference_ = reference != std::string_view::npos &&
                           piece.find(';', reference) == std::string_view::npos;
            previous_ = piece.back();
            out.append(piece);
            run.remove_prefix(piece.size());
        }
        return;
    }
    tagBytes_ += run.size();
    if (tagBytes_ > kLongestTag) {
        const char* what = "a declaration";
        if (state_ == State::kEndTag) {
            what = "an end tag";
        } else if (state_ == State::kStartTag || quotedFrom_ == State::kStartTag) {
            what = "a start tag";
        }
        Fail(tagStart_,
             std::string(what) + " is longer than " + std::to_string(kLongestTag / 1024) + " KiB");
        return;
    }
    previous_ = run.back();
    out.append(run);
}

void XmlMarkupFilter::Byte(char c, std::string& out) {
    if (!failure_.empty()) {
        return;
    }
    const XmlPosition here{line_, column_};
    CountPosition(c);
    // Ends a tag, a declaration or a processing instruction that has grown
    // too long; true when it did.
    const auto overLong = [&](const char* what) {
        if (++tagBytes_ <= kLongestTag) {
            return false;
        }
        Fail(tagStart_,
             std::string(what) + " is longer than " + std::to_string(kLongestTag / 1024) + " KiB");
        return true;
    };
    // A declaration's byte: its quoted values may hold ">".
    const auto declarationByte = [&] {
        if (c == '"' || c == '\'') {
            quote_ = c;
            quotedFrom_ = State::kDeclaration;
            state_ = State::kQuoted;
        } else if (c == '>') {
            state_ = State::kText;
        }
    };
    switch (state_) {
        case State::kText:
            if (c != '<') {
                TextCut(c, out);
                break;
            }
            state_ = State::kAngle;
            tagStart_ = here;
            tagBytes_ = 1;
            textBytes_ = 0;
            inReference_ = false;
            break;
        case State::kAngle:
            ++tagBytes_;
            previous_ = 0;
            if (c == '/') {
                state_ = State::kEndTag;
            } else if (c == '?') {
                state_ = State::kPi;
            } else if (c == '!') {
                state_ = State::kBang;
                bang_.clear();
            } else {
                if (depth_ == kDeepestElement) {
                    Fail(tagStart_,
                         "elements are nested deeper than " + std::to_string(kDeepestElement));
                    return;
                }
                ++depth_;
                rootSeen_ = true;
                startTags_.push_back(tagStart_);
                state_ = State::kStartTag;
                previous_ = c;
            }
            break;
        case State::kStartTag:
            if (overLong("a start tag")) {
                return;
            }
            if (c == '"' || c == '\'') {
                quote_ = c;
                quotedFrom_ = State::kStartTag;
                state_ = State::kQuoted;
            } else if (c == '>') {
                depth_ -= previous_ == '/' ? 1 : 0;  // an element that is its own end
                state_ = State::kText;
            }
            previous_ = c;
            break;
        case State::kQuoted:
            if (overLong(quotedFrom_ == State::kStartTag ? "a start tag" : "a declaration")) {
                return;
            }
            if (c == quote_) {
                state_ = quotedFrom_;
            }
            previous_ = c;
            break;
        case State::kEndTag:
            if (overLong("an end tag")) {
                return;
            }
            if (c == '>') {
                depth_ -= depth_ > 0 ? 1 : 0;
                state_ = State::kText;
            }
            break;
        case State::kBang: {
            ++tagBytes_;
            bang_.push_back(c);
            constexpr std::string_view kComment = "--";
            constexpr std::string_view kCData = "[CDATA[";
            constexpr std::string_view kDocumentType = "DOCTYPE";
            if (bang_ == kComment || bang_ == kCData) {
                state_ = bang_ == kComment ? State::kComment : State::kCData;
                repeats_ = 0;
                sectionBytes_ = 0;
            } else if (bang_ == kDocumentType) {
                // Both parsers would refuse it, each at a place of its own.
                Fail(tagStart_, "the document declares a DTD, which is not read");
                return;
            } else if (!kComment.starts_with(bang_) && !kCData.starts_with(bang_) &&
                       !kDocumentType.starts_with(bang_)) {
                state_ = State::kDeclaration;
                declarationByte();
            }
            break;
        }
        case State::kDeclaration:
            if (overLong("a declaration")) {
                return;
            }
            declarationByte();
            break;
        case State::kComment:
        case State::kCData: {
            const bool comment = state_ == State::kComment;
            if (c == '>' && repeats_ >= 2) {
                state_ = State::kText;
                break;
            }
            // In a comment not after a "-": "--" may stand in no comment,
            // nor "-" at its end.
            if (CutsBefore(c, sectionBytes_, !comment || repeats_ == 0) ||
                sectionBytes_ >= 3 * kSectionSize) {
                out.append(comment ? "--><!--" : "]]><![CDATA[");
                sectionBytes_ = 0;
            }
            repeats_ = c == (comment ? '-' : ']') ? repeats_ + 1 : 0;
            ++sectionBytes_;
            previous_ = c;
            break;
        }
        case State::kPi:
            if (overLong("a processing instruction")) {
                return;
            }
            if (c == '>' && previous_ == '?') {
                state_ = State::kText;
            }
            previous_ = c;
            break;
    }
    out.push_back(c);
}

void XmlMarkupFilter::Utf16Unit(std::uint16_t unit, std::string& out) {
    std::uint32_t code = unit;
    if (highSurrogate_ != 0) {
        if (unit < 0xDC00 || unit > 0xDFFF) {
            Fail({line_, column_}, "the document is not valid UTF-16");
            return;
        }
        code = 0x10000U + ((highSurrogate_ - 0xD800U) << 10U) + (unit - 0xDC00U);
        highSurrogate_ = 0;
    } else if (unit >= 0xD800 && unit <= 0xDBFF) {
        highSurrogate_ = unit;
        return;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
        Fail({line_, column_}, "the document is not valid UTF-16");
        return;
    }
    std::array<char, 4> bytes{};
    std::size_t count = 0;
    if (code < 0x80) {
        bytes[count++] = static_cast<char>(code);
    } else if (code < 0x800) {
        bytes[count++] = static_cast<char>(0xC0U | (code >> 6U));
        bytes[count++] = static_cast<char>(0x80U | (code & 0x3FU));
    } else if (code < 0x10000) {
        bytes[count++] = static_cast<char>(0xE0U | (code >> 12U));
        bytes[count++] = static_cast<char>(0x80U | ((code >> 6U) & 0x3FU));
        bytes[count++] = static_cast<char>(0x80U | (code & 0x3FU));
    } else {
        bytes[count++] = static_cast<char>(0xF0U | (code >> 18U));
        bytes[count++] = static_cast<char>(0x80U | ((code >> 12U) & 0x3FU));
        bytes[count++] = static_cast<char>(0x80U | ((code >> 6U) & 0x3FU));
        bytes[count++] = static_cast<char>(0x80U | (code & 0x3FU));
    }
    for (std::size_t i = 0; i < count; ++i) {
        Utf8Byte(bytes[i], out);
    }
}

// A UTF-16 document reaches the parser in UTF-8: its XML declaration, which
// names UTF-16 or nothing, gives way to one that names nothing, which is
// UTF-8. A document without one gets none.
void XmlMarkupFilter::Utf8Byte(char c, std::string& out) {
    if (declarationDecided_) {
        Byte(c, out);
        return;
    }
    constexpr std::string_view kOpening = "<?xml";
    declaration_.push_back(c);
    bool replace = false;
    if (declaration_.size() <= kOpening.size()) {
        if (kOpening.starts_with(declaration_)) {
            return;
        }
    } else if (declaration_.size() == kOpening.size() + 1) {
        if (IsXmlBlank(c)) {
            return;
        }
    } else if (declaration_.ends_with("?>")) {
        replace = true;
    } else if (declaration_.size() < kLongestDeclaration) {
        return;
    }
    declarationDecided_ = true;
    const std::string declaration = std::exchange(declaration_, {});
    if (!replace) {
        for (const char kept : declaration) {
            Byte(kept, out);
        }
        return;
    }
    // Counted as written; its line ends stay, so that lines count alike.
    std::string dropped;
    out.append("<?xml version=\"1.0\"");
    for (const char written : declaration) {
        Byte(written, dropped);
        if (written == '\n' || written == '\r') {
            out.push_back(written);
        }
    }
    out.append("?>");
}

}  // namespace routalo
