#include "conversion/readers/xml_plain_markup.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "conversion/readers/xml_markup_filter.h"

namespace routalo {
namespace {

// What each byte may be in plain markup.
enum : std::uint8_t { kNameStart = 1, kName = 2, kText = 4 };

constexpr std::array<std::uint8_t, 256> kByteKinds = [] {
    std::array<std::uint8_t, 256> kinds{};
    for (unsigned c = 0x20; c < 0x7F; ++c) {
        kinds[c] = kText;
    }
    for (const unsigned char c : std::string_view("<&>]")) {
        kinds[c] = 0;
    }
    kinds['\t'] = kText;  // a line end is looked at apart
    for (unsigned c = 'a'; c <= 'z'; ++c) {
        kinds[c] |= kNameStart | kName;
        kinds[c - 'a' + 'A'] |= kNameStart | kName;
    }
    for (unsigned c = '0'; c <= '9'; ++c) {
        kinds[c] |= kName;
    }
    kinds['_'] |= kNameStart | kName;
    kinds['-'] |= kName;
    kinds['.'] |= kName;
    return kinds;
}();

bool Is(char c, std::uint8_t kind) {
    return (kByteKinds[static_cast<unsigned char>(c)] & kind) != 0;
}

// The longest name taken: real ones are a few bytes.
constexpr std::size_t kLongestName = 256;

}  // namespace

PlainMarkupRead ReadPlainMarkup(std::string_view bytes, std::size_t at, std::size_t depth,
                                std::size_t longestText, XmlPosition& place,
                                std::vector<PlainNode>& nodes) {
    const char* const data = bytes.data();
    const std::size_t size = bytes.size();
    // The open elements' names: where each stands in `bytes`, its size and
    // its prefix's.
    struct Name {
        std::size_t at;
        std::size_t size;
        std::size_t prefix;
    };
    std::array<Name, kDeepestElement> open;  // only the first `opened` are read
    std::size_t opened = 0;
    std::size_t elements = 0;
    // Columns on the line being read: the column of lineStart's byte.
    std::size_t line = place.line;
    std::size_t lineStart = at;
    std::size_t lineColumn = place.column;
    const auto here = [&](std::size_t i) { return XmlPosition{line, lineColumn + i - lineStart}; };
    // What is taken: up to the end of the last element closed at the run's level.
    PlainMarkupRead read{at, 0, at};
    XmlPosition takenPlace = place;
    std::size_t takenNodes = nodes.size();

    std::size_t i = at;  // a "<"
    while (i + 1 < size) {
        if (data[i + 1] == '/') {
            if (opened == 0) {
                break;
            }
            const Name name = open[opened - 1];
            const std::size_t close = i + 2 + name.size;
            if (close >= size || data[close] != '>' ||
                std::memcmp(data + i + 2, data + name.at, name.size) != 0) {
                break;
            }
            --opened;
            i = close + 1;
            nodes.push_back({XmlNode::Kind::kEnd, name.at - at, name.size, name.prefix, {}});
            if (opened == 0) {
                read.end = i;
                read.elements = elements;
                takenPlace = here(i);
                takenNodes = nodes.size();
            }
        } else {
            if (depth + opened >= kDeepestElement) {
                break;
            }
            const std::size_t nameAt = i + 1;
            std::size_t j = nameAt;
            std::size_t prefix = 0;
            if (!Is(data[j], kNameStart)) {
                break;
            }
            while (++j < size && Is(data[j], kName)) {
            }
            if (j + 1 < size && data[j] == ':' && Is(data[j + 1], kNameStart)) {
                prefix = j - nameAt;
                ++j;
                while (++j < size && Is(data[j], kName)) {
                }
            }
            const std::string_view prefixName(data + nameAt, prefix);
            if (j >= size || data[j] != '>' || j - nameAt > kLongestName || prefixName == "xml" ||
                prefixName == "xmlns") {
                break;
            }
            nodes.push_back({XmlNode::Kind::kStart, nameAt - at, j - nameAt, prefix, here(i)});
            open[opened++] = {nameAt, j - nameAt, prefix};
            ++elements;
            i = j + 1;
        }
        // The text up to the next "<". A CR is taken before an LF, where
        // the two end one line.
        std::size_t t = i;
        bool returns = false;
        while (true) {
            while (t < size && Is(data[t], kText)) {
                ++t;
            }
            if (t < size && data[t] == '\n') {
                ++line;
                lineStart = ++t;
                lineColumn = 1;
            } else if (t + 1 < size && data[t] == '\r' && data[t + 1] == '\n') {
                returns = true;
                ++t;
            } else {
                break;
            }
        }
        if (t == size || data[t] != '<' || t - i > longestText) {
            break;
        }
        if (t > i) {
            nodes.push_back({XmlNode::Kind::kText, i - at, t - i, 0, {}, returns});
        }
        i = t;
    }
    nodes.resize(takenNodes);
    place = takenPlace;
    read.looked = i;
    return read;
}

}  // namespace routalo
