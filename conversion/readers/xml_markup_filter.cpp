#include "conversion/readers/xml_markup_filter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>
#include <utility>

#include "conversion/text_basics.h"

namespace routalo {
namespace {

// A run of plain markup is read here only when it has this many elements:
// the parser's reading its stand-in, and the bytes before it apart, costs
// about what two elements spare. (With libxml2 2.9, GPX points' nodes read
// in 4% fewer instructions with runs of three elements, 14% fewer with four,
// 26% with six; a GPX point's <time> and <speed> read as a run cost 16% more
// for the whole conversion.)
constexpr std::size_t kFewestPlainElements = 4;

// After this many tries in a row that found no run to take, the document is
// taken to be one whose markup is not plain, and no more are tried.
constexpr std::size_t kMostPlainMisses = 16;

// The size of the sections that a long comment or CDATA section is cut
// into; where a character or a run of "-" goes on, a little more.
constexpr std::size_t kSectionSize = 4096;

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

// How long a declaration of a UTF-16 document may be to be replaced: a real
// one is some 40 characters.
constexpr std::size_t kLongestDeclaration = 256;

constexpr std::uint64_t kEveryByteOne = 0x0101010101010101U;
constexpr std::uint64_t kEveryByteHigh = 0x8080808080808080U;

// The high bit of the lowest zero byte of `word`, and maybe of bytes above
// it; none where no byte is zero.
constexpr std::uint64_t ZeroBytes(std::uint64_t word) {
    return (word - kEveryByteOne) & ~word & kEveryByteHigh;
}

// Where the first byte of data[at, end) that is one of `targets` stands, or
// `end`. The runs between markup are tens of bytes, too short for memchr's
// start to pay: eight bytes are looked at in one word, the lowest of them
// first.
template <typename... Targets>
std::size_t FindFirstOf(const char* data, std::size_t at, std::size_t end, Targets... targets) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::size_t kWord = sizeof(std::uint64_t);
        while (end - at >= kWord) {
            std::uint64_t word = 0;
            std::memcpy(&word, data + at, kWord);
            const std::uint64_t found =
                (ZeroBytes(word ^ (kEveryByteOne * static_cast<unsigned char>(targets))) | ...);
            if (found != 0) {
                return at + static_cast<std::size_t>(std::countr_zero(found)) / 8;
            }
            at += kWord;
        }
    }
    while (at < end && ((data[at] != targets) && ...)) {
        ++at;
    }
    return at;
}

}  // namespace

std::string_view XmlMarkupFilter::Filter(std::string_view bytes, bool atEnd, std::string& buffer) {
    buffer.clear();
    out_ = &buffer;
    plainRuns_.clear();
    plainNodes_.clear();
    plainFrom_ = 0;
    startTagsReturned_ = 0;
    input_ = {};
    passed_ = 0;
    copied_ = 0;
    changed_ = false;
    counted_ = 0;
    direct_ = encoding_ == XmlEncoding::kAsDeclared;
    if (direct_) {
        // The bytes are looked at in runs, each up to the byte that ends
        // it; the states that a document spends its bytes in are taken here,
        // the others byte by byte. Lines and columns are counted only where
        // a place is needed: at a start tag, a failure, the end of the bytes.
        input_ = bytes;
        // One pass over all of it, which a compiler makes over many bytes
        // at once, tells whether lines and columns can be counted plainly.
        const auto* const unsignedBytes = reinterpret_cast<const unsigned char*>(bytes.data());
        unsigned char bits = 0;
        unsigned char loneReturn = 0;  // a CR before anything but LF
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
            bits |= unsignedBytes[i];
            loneReturn |=
                static_cast<unsigned char>(static_cast<unsigned>(unsignedBytes[i] == '\r') &
                                           static_cast<unsigned>(unsignedBytes[i + 1] != '\n'));
        }
        if (!bytes.empty()) {
            bits |= unsignedBytes[bytes.size() - 1];
            loneReturn |= static_cast<unsigned char>(bytes.back() == '\r');
        }
        plain_ = (bits & 0x80U) == 0 && loneReturn == 0 && !afterCarriageReturn_;
        lineEnd_ = plain_ ? NextLineEnd(0) : std::string_view::npos;
        const std::size_t size = bytes.size();
        const char* const data = bytes.data();
        std::size_t at = 0;
        while (at < size && failure_.empty()) {
            // The end of the run from `at`: the first byte that ends it.
            std::size_t end = at;
            switch (state_) {
                case State::kText:
                    end = FindFirstOf(data, at, size, '<');
                    break;
                case State::kStartTag:
                    end = FindFirstOf(data, at, size, '"', '\'', '>');
                    break;
                case State::kEndTag:
                    end = FindFirstOf(data, at, size, '>');
                    break;
                case State::kQuoted:
                    end = FindFirstOf(data, at, size, quote_);
                    break;
                case State::kAngle:
                    break;
                default:
                    // Byte by byte, each counted before it is looked at.
                    CountTo(at);
                    Byte(data[at]);
                    counted_ = ++at;
                    // Where the byte was a CR, the bytes are counted one by
                    // one again.
                    plain_ = plain_ && !afterCarriageReturn_;
                    if (plain_ && lineEnd_ < counted_) {
                        lineEnd_ = NextLineEnd(counted_);
                    }
                    continue;
            }
            if (end > at) {
                const std::string_view run = bytes.substr(at, end - at);
                if (state_ == State::kText) {
                    // A short text without a reference goes on as it is.
                    if (!inReference_ && textBytes_ + run.size() <= kSectionSize &&
                        run.find('&') == std::string_view::npos) {
                        textBytes_ += run.size();
                        previous_ = run.back();
                        passed_ += run.size();
                    } else {
                        Run(run);
                    }
                } else {
                    // A tag's run; Run tells the one that makes it too long.
                    if (tagBytes_ + run.size() > kLongestTag) {
                        Run(run);
                        continue;
                    }
                    tagBytes_ += run.size();
                    previous_ = run.back();
                    passed_ += run.size();
                }
                at = end;
                if (at == size) {
                    break;
                }
            }
            if (state_ == State::kText) {  // "<"
                if (PlainRunMayStart(at, depth_) && TakePlainRun(at)) {
                    continue;
                }
                if (WholeTags(at)) {
                    continue;
                }
                // Where the tag begins is counted when it is needed.
                state_ = State::kAngle;
                tagAt_ = at;
                tagCounted_ = false;
                tagBytes_ = 1;
                textBytes_ = 0;
                inReference_ = false;
            } else {
                // The byte that ends a run of a tag.
                TagByte(bytes[at]);
                if (!failure_.empty()) {
                    continue;
                }
            }
            ++passed_;
            ++at;
        }
        CountTo(at);
    } else {
        for (const char c : bytes) {
            if (!failure_.empty()) {
                return buffer;
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
                          : static_cast<std::uint16_t>((pendingByte_ << 8U) | second));
        }
    }
    if (atEnd && failure_.empty()) {
        if (encoding_ != XmlEncoding::kAsDeclared) {
            if (pendingBytes_ || highSurrogate_ != 0) {
                Fail({line_, column_}, "the document is not valid UTF-16");
            } else if (!declarationDecided_) {
                declarationDecided_ = true;
                for (const char c : std::exchange(declaration_, {})) {
                    Byte(c);
                }
            }
        }
        if (!rootSeen_ && failure_.empty()) {
            Fail({line_, column_}, "the document has no root element");
        }
    }
    if (encoding_ != XmlEncoding::kAsDeclared) {
        return buffer;
    }
    direct_ = false;
    input_ = {};
    if (!changed_) {
        return bytes.substr(0, passed_);
    }
    buffer.append(bytes.substr(copied_, passed_ - copied_));
    return buffer;
}

void XmlMarkupFilter::Emit(char c) {
    if (direct_) {
        ++passed_;
    } else {
        out_->push_back(c);
    }
}

void XmlMarkupFilter::Pass(std::string_view run) {
    if (direct_) {
        passed_ += run.size();
    } else {
        out_->append(run);
    }
}

// What is added goes before the byte that is to pass next.
void XmlMarkupFilter::Add(std::string_view added) {
    if (direct_) {
        out_->append(input_.substr(copied_, passed_ - copied_));
        copied_ = passed_;
        changed_ = true;
    }
    out_->append(added);
}

// Takes the start and end tags from the "<" at `at` of input_, and the
// short texts without a reference between them, in one go, as the states of
// Filter would take them byte by byte: a log's points are made of nothing
// else. Stops at the first tag that does not end within input_, breaks a
// limit or is no start or end tag, and at the first other text, having
// taken what came before; false when it took nothing.
bool XmlMarkupFilter::WholeTags(std::size_t& at) {
    const char* const data = input_.data();
    const std::size_t size = input_.size();
    std::size_t depth = depth_;
    char previous = previous_;
    std::size_t tagBytes = tagBytes_;
    std::size_t textBytes = 0;
    std::size_t taken = at;  // where the bytes taken end
    std::size_t open = at;   // a "<"
    while (true) {
        // The ">" of a tag no longer than kLongestTag stands before `most`.
        const std::size_t most = std::min(size, open + kLongestTag);
        std::size_t i = open + 1;
        if (i >= most || data[i] == '?' || data[i] == '!') {
            break;
        }
        if (data[i] == '/') {
            i = FindFirstOf(data, i + 1, most, '>');
            if (i == most) {
                break;
            }
            previous = i > open + 2 ? data[i - 1] : '\0';
            depth -= depth > 0 ? 1 : 0;
        } else {
            if (depth == kDeepestElement) {
                break;
            }
            ++i;  // the first byte after "<" is the name's, whatever it is
            while (true) {
                i = FindFirstOf(data, i, most, '"', '\'', '>');
                if (i == most || data[i] == '>') {
                    break;
                }
                i = FindFirstOf(data, i + 1, most, data[i]);
                if (i == most) {
                    break;
                }
                ++i;
            }
            if (i == most) {
                break;
            }
            CountTo(open);
            startTags_.push_back({line_, column_});
            rootSeen_ = true;
            // An element that is its own end: <a/>.
            depth += data[i - 1] == '/' ? 0 : 1;
            previous = '>';
        }
        tagBytes = i + 1 - open;
        textBytes = 0;
        taken = i + 1;
        // The text up to the next tag, when it is short and has no reference.
        const std::size_t next =
            FindFirstOf(data, taken, std::min(size, taken + kSectionSize + 1), '<', '&');
        if (next == size || next > taken + kSectionSize || data[next] != '<') {
            break;
        }
        if (next > taken) {
            textBytes = next - taken;
            previous = data[next - 1];
            taken = next;
        }
        open = next;
        // Where a run of plain markup may begin, Filter tries one.
        if (PlainRunMayStart(open, depth)) {
            break;
        }
    }
    if (taken == at) {
        return false;
    }
    depth_ = depth;
    previous_ = previous;
    tagBytes_ = tagBytes;
    textBytes_ = textBytes;
    inReference_ = false;
    passed_ += taken - at;
    at = taken;
    return true;
}

// Whether a run of plain markup may begin at the "<" at `at` of input_, in
// `depth` open elements: at a start tag inside the root element, where no
// try has looked yet.
bool XmlMarkupFilter::PlainRunMayStart(std::size_t at, std::size_t depth) const {
    if (!takePlain_ || depth == 0 || at < plainFrom_ || at + 1 >= input_.size()) {
        return false;
    }
    const char next = input_[at + 1];
    return next != '/' && next != '!' && next != '?';
}

// Reads the run of plain markup from the "<" at `at` of input_, if there is
// one of kFewestPlainElements or more, and puts the comment that stands in
// for it into the parser's bytes; true when it did. A run breaks none of the
// limits: its tags are short, its texts no longer than kSectionSize, and it
// is nested no deeper than kDeepestElement.
bool XmlMarkupFilter::TakePlainRun(std::size_t& at) {
    CountTo(at);
    XmlPosition place{line_, column_};
    const std::size_t firstNode = plainNodes_.size();
    const PlainMarkupRead read =
        ReadPlainMarkup(input_, at, depth_, kSectionSize, place, plainNodes_);
    plainFrom_ = read.looked;
    if (read.elements < kFewestPlainElements) {
        plainNodes_.resize(firstNode);
        if (++plainMisses_ == kMostPlainMisses) {
            takePlain_ = false;
        }
        return false;
    }
    plainMisses_ = 0;
    const std::size_t end = read.end;
    out_->append(input_.substr(copied_, passed_ - copied_));
    PlainRun& taken = plainRuns_.emplace_back();
    taken.startTagsBefore = startTagsDropped_ + startTags_.size();
    taken.at = out_->size();
    taken.runAt = at;
    taken.runSize = end - at;
    taken.firstNode = firstNode;
    taken.endNode = plainNodes_.size();
    // Its line ends, and nothing else: the columns that the parser counts
    // after it, on the run's last line, are short by what it spares. (Lines
    // end in the run's texts only, and never at its end tag.)
    out_->append("<!--");
    const std::size_t lineEnds = place.line - line_;
    if (lineEnds == 0) {
        taken.columnsSpared = taken.runSize - 7;
    } else {
        out_->append(lineEnds, '\n');
        taken.columnsSpared = place.column - 1 - 3;
    }
    out_->append("-->");
    taken.size = out_->size() - taken.at;
    changed_ = true;
    passed_ = copied_ = counted_ = at = end;
    line_ = place.line;
    column_ = place.column;
    afterCarriageReturn_ = false;
    if (plain_) {
        lineEnd_ = NextLineEnd(end);
    }
    previous_ = '>';
    textBytes_ = 0;
    inReference_ = false;
    return true;
}

void XmlMarkupFilter::ReturnPlainRun(const PlainRun& run) {
    std::vector<XmlPosition> places;
    for (std::size_t i = run.firstNode; i < run.endNode; ++i) {
        if (plainNodes_[i].kind == XmlNode::Kind::kStart) {
            places.push_back(plainNodes_[i].place);
        }
    }
    // The parser has reported no start tag after the run's; those of runs
    // before it in the piece that it was given back came in before it.
    startTags_.insert(
        startTags_.begin() + static_cast<std::ptrdiff_t>(run.startTagsBefore + startTagsReturned_ -
                                                         startTagsDropped_),
        places.begin(), places.end());
    startTagsReturned_ += places.size();
}

// Counts the bytes of input_ up to `end`, setting tagStart_ on the way.
void XmlMarkupFilter::CountTo(std::size_t end) {
    if (!tagCounted_ && tagAt_ <= end) {
        tagCounted_ = true;
        CountTo(tagAt_);
        tagStart_ = {line_, column_};
    }
    if (!plain_) {
        CountPositions(input_.substr(counted_, end - counted_));
        counted_ = end;
        return;
    }
    while (lineEnd_ < end) {
        ++line_;
        column_ = 1;
        std::size_t next = lineEnd_ + 1;
        if (input_[lineEnd_] == '\r') {
            if (next == end) {
                // Between CR and LF: from here on byte by byte.
                counted_ = end;
                afterCarriageReturn_ = true;
                plain_ = false;
                return;
            }
            ++next;  // the LF of CR LF
        }
        counted_ = next;
        lineEnd_ = NextLineEnd(next);
    }
    column_ += end - counted_;
    counted_ = end;
    afterCarriageReturn_ = false;
}

// Where the first line from `from` of input_ ends, when plain_: every CR
// stands before an LF.
std::size_t XmlMarkupFilter::NextLineEnd(std::size_t from) const {
    const std::size_t lineFeed = input_.find('\n', from);
    return lineFeed != std::string_view::npos && lineFeed > from && input_[lineFeed - 1] == '\r'
               ? lineFeed - 1
               : lineFeed;
}

// Where the tag being read begins: its "<".
XmlPosition XmlMarkupFilter::TagStart() {
    if (!tagCounted_) {
        CountTo(tagAt_);
    }
    return tagStart_;
}

XmlPosition XmlMarkupFilter::NextStartTag() {
    if (nextStartTag_ == startTags_.size()) {
        return {0, 0};
    }
    const XmlPosition position = startTags_[nextStartTag_++];
    // The places taken go once they are half of all: the parser is at most
    // a few tags behind the filter.
    if (nextStartTag_ == startTags_.size()) {
        startTagsDropped_ += startTags_.size();
        startTags_.clear();
        nextStartTag_ = 0;
    } else if (nextStartTag_ * 2 > startTags_.size()) {
        startTagsDropped_ += nextStartTag_;
        startTags_.erase(startTags_.begin(),
                         startTags_.begin() + static_cast<std::ptrdiff_t>(nextStartTag_));
        nextStartTag_ = 0;
    }
    return position;
}

void XmlMarkupFilter::Fail(XmlPosition where, const std::string& problem) {
    if (failure_.empty()) {
        failure_ = problem;
        failurePlace_ = where;
    }
}

void XmlMarkupFilter::FailTooLong(const char* what) {
    Fail(TagStart(),
         std::string(what) + " is longer than " + std::to_string(kLongestTag / 1024) + " KiB");
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

// CountPosition for every byte of `run`, in passes that a compiler makes
// over many bytes at once: line ends and characters are counted, and only
// a run that holds a line end is looked at again, back to its last one.
void XmlMarkupFilter::CountPositions(std::string_view run) {
    if (run.empty()) {
        return;
    }
    const auto lineEnd = [](char c) { return c == '\r' || c == '\n'; };
    const auto character = [](char c) { return IsContinuationByte(c) ? 0U : 1U; };
    // LF after CR ends no line of its own.
    std::size_t lines = run[0] == '\r' || (run[0] == '\n' && !afterCarriageReturn_) ? 1 : 0;
    std::size_t lineEnds = lineEnd(run[0]) ? 1 : 0;
    std::size_t characters = character(run[0]);
    for (std::size_t i = 1; i < run.size(); ++i) {
        const char c = run[i];
        lines += c == '\r' || (c == '\n' && run[i - 1] != '\r') ? 1U : 0U;
        lineEnds += lineEnd(c) ? 1U : 0U;
        characters += character(c);
    }
    if (lineEnds == 0) {
        column_ += characters;
        afterCarriageReturn_ = false;
        return;
    }
    line_ += lines;
    std::size_t afterLastEnd = run.size();
    while (!lineEnd(run[afterLastEnd - 1])) {
        --afterLastEnd;
    }
    column_ = 1;
    for (const char c : run.substr(afterLastEnd)) {
        column_ += character(c);
    }
    afterCarriageReturn_ = run.back() == '\r';
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
void XmlMarkupFilter::TextCut(char c) {
    if (CutsBefore(c, textBytes_, previous_ != ']' && !inReference_) ||
        textBytes_ >= 3 * kSectionSize) {
        Add("<!---->");
        textBytes_ = 0;
    }
    ++textBytes_;
    inReference_ = c == '&' || (inReference_ && c != ';');
    previous_ = c;
}

// A run of bytes none of which ends the text, start tag, end tag or quoted
// value that the filter is in.
// Read as declared: its bytes are counted when a place is needed.
void XmlMarkupFilter::Run(std::string_view run) {
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
                    TextCut(run.front());
                    Emit(run.front());
                    run.remove_prefix(1);
                    continue;
                }
                textBytes_ += plain;
                previous_ = run[plain - 1];
                Pass(run.substr(0, plain));
                run.remove_prefix(plain);
                continue;
            }
            const std::string_view piece = run.substr(0, kSectionSize - textBytes_);
            textBytes_ += piece.size();
            const std::size_t reference = piece.find_last_of('&');
            inReference_ = reference != std::string_view::npos &&
                           piece.find(';', reference) == std::string_view::npos;
            previous_ = piece.back();
            Pass(piece);
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
        FailTooLong(what);
        return;
    }
    previous_ = run.back();
    Pass(run);
}

// Counts a byte of a tag, a declaration or a processing instruction, and
// fails one that has grown too long; true when it did.
bool XmlMarkupFilter::OverLong(const char* what) {
    if (++tagBytes_ <= kLongestTag) {
        return false;
    }
    FailTooLong(what);
    return true;
}

// A byte after "<", of a start tag or its quoted value, or of an end tag:
// how Filter takes the byte that ends one of its runs of them, and Byte any
// byte of them.
void XmlMarkupFilter::TagByte(char c) {
    switch (state_) {
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
                    Fail(TagStart(),
                         "elements are nested deeper than " + std::to_string(kDeepestElement));
                    return;
                }
                ++depth_;
                rootSeen_ = true;
                startTags_.push_back(TagStart());
                state_ = State::kStartTag;
                previous_ = c;
            }
            break;
        case State::kStartTag:
            if (OverLong("a start tag")) {
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
            if (OverLong(quotedFrom_ == State::kStartTag ? "a start tag" : "a declaration")) {
                return;
            }
            if (c == quote_) {
                state_ = quotedFrom_;
            }
            previous_ = c;
            break;
        case State::kEndTag:
            if (OverLong("an end tag")) {
                return;
            }
            if (c == '>') {
                depth_ -= depth_ > 0 ? 1 : 0;
                state_ = State::kText;
            }
            break;
        default:
            break;
    }
}

// A byte of a UTF-16 document, in UTF-8, or of one read as declared that
// Filter does not take itself; the bytes before it have been counted.
void XmlMarkupFilter::Byte(char c) {
    if (!failure_.empty()) {
        return;
    }
    const XmlPosition here{line_, column_};
    CountPosition(c);
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
                TextCut(c);
                break;
            }
            state_ = State::kAngle;
            tagStart_ = here;
            tagBytes_ = 1;
            textBytes_ = 0;
            inReference_ = false;
            break;
        case State::kAngle:
        case State::kStartTag:
        case State::kQuoted:
        case State::kEndTag:
            TagByte(c);
            if (!failure_.empty()) {
                return;
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
            if (OverLong("a declaration")) {
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
                Add(comment ? "--><!--" : "]]><![CDATA[");
                sectionBytes_ = 0;
            }
            repeats_ = c == (comment ? '-' : ']') ? repeats_ + 1 : 0;
            ++sectionBytes_;
            previous_ = c;
            break;
        }
        case State::kPi:
            if (OverLong("a processing instruction")) {
                return;
            }
            if (c == '>' && previous_ == '?') {
                state_ = State::kText;
            }
            previous_ = c;
            break;
    }
    Emit(c);
}

void XmlMarkupFilter::Utf16Unit(std::uint16_t unit) {
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
        Utf8Byte(bytes[i]);
    }
}

// A UTF-16 document reaches the parser in UTF-8: its XML declaration, which
// names UTF-16 or nothing, gives way to one that names nothing, which is
// UTF-8. A document without one gets none.
void XmlMarkupFilter::Utf8Byte(char c) {
    if (declarationDecided_) {
        Byte(c);
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
            Byte(kept);
        }
        return;
    }
    // Counted as written; its line ends stay, so that lines count alike.
    std::string dropped;
    std::string& out = *std::exchange(out_, &dropped);
    out.append("<?xml version=\"1.0\"");
    for (const char written : declaration) {
        Byte(written);
        if (written == '\n' || written == '\r') {
            out.push_back(written);
        }
    }
    out.append("?>");
    out_ = &out;
}

}  // namespace routalo
