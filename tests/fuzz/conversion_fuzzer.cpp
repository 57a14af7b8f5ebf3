// Fuzz target: a whole conversion of arbitrary bytes as the track log.
//
// Input: byte 0 chooses time information (its lowest bit); byte 1 is the
// length of the track name, whose bytes follow; everything after the name is
// the log. Shorter inputs leave the name empty.
//
// Properties checked on every input:
// - the run shows exactly the message that the reference model predicts, or
//   none; never more than one;
// - every file that the run opened is closed again;
// - the log is unchanged, byte for byte;
// - a document exists exactly when the header matched, and is valid UTF-8
//   holding one placemark per segment that the model counts;
// - without a message it ends with the closing line and is well-formed XML
//   (parsed by libxml2) whose root is <kml>;
// - with the message of a failure while converting, it holds complete lines
//   only: the head and whole placemark lines.

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/conversion_run.h"
#include "conversion/speed_scheme.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/reference_log.h"
#include "tests/support/scratch_folder.h"

namespace routalo::fuzz {
namespace {

constexpr std::string_view kFolderOpeningLine = "<Folder><name>Tracklogs</name><open>1</open>\r\n";
constexpr std::string_view kPlacemarkEnd = "</Placemark>\r\n";
constexpr std::string_view kClosingLine =
    "<colorMode>random</colorMode></Folder></Document></kml>\r\n";

// A folder of its own for this process, in memory where the system has such
// a place that takes files, removed when the process ends normally.
const testing::ScratchFolder& Scratch() {
    static const testing::ScratchFolder folder("/dev/shm");
    return folder;
}

void WriteAll(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    Require(static_cast<bool>(out), "the log can be stored");
}

std::size_t Occurrences(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

// Parses the document with libxml2: the name of its root element and the
// number of <Placemark> elements, or nothing when it is not well-formed.
struct ParsedDocument {
    std::string root;
    std::size_t placemarks = 0;
};

std::size_t CountPlacemarks(const xmlNode* node) {
    std::size_t count = 0;
    for (; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE &&
            std::strcmp(reinterpret_cast<const char*>(node->name), "Placemark") == 0) {
            ++count;
        }
        count += CountPlacemarks(node->children);
    }
    return count;
}

std::optional<ParsedDocument> ParseXml(std::string_view text) {
    xmlDoc* document =
        xmlReadMemory(text.data(), static_cast<int>(text.size()), "document.kml", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (document == nullptr) {
        return std::nullopt;
    }
    ParsedDocument parsed;
    const xmlNode* root = xmlDocGetRootElement(document);
    if (root != nullptr) {
        parsed.root = reinterpret_cast<const char*>(root->name);
        parsed.placemarks = CountPlacemarks(root);
    }
    xmlFreeDoc(document);
    return parsed;
}

}  // namespace
}  // namespace routalo::fuzz

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    routalo::InitSpeedScheme();
    xmlInitParser();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace routalo;
    using namespace routalo::fuzz;

    std::string_view input(reinterpret_cast<const char*>(data), size);
    const bool withTimeInfo = !input.empty() && (data[0] & 1U) != 0;
    input.remove_prefix(std::min<std::size_t>(input.size(), 1));
    std::string_view trackName;
    if (!input.empty()) {
        const std::size_t length =
            std::min<std::size_t>(static_cast<unsigned char>(input[0]), input.size() - 1);
        trackName = input.substr(1, length);
        input.remove_prefix(1 + length);
    }
    const std::string_view log = input;

    const std::string logPath = Scratch().File("log.csv");
    const std::string documentPath = Scratch().File("log.kml");
    std::filesystem::remove(documentPath);
    WriteAll(logPath, log);

    const int descriptorsBefore = testing::OpenDescriptorCount();
    std::vector<std::string> messages;
    ConvertTrackLog(logPath, trackName, withTimeInfo,
                    [&](const std::string& message) { messages.push_back(message); });
    Require(testing::OpenDescriptorCount() == descriptorsBefore,
            "every file the run opened is closed");
    Require(messages.size() <= 1, "at most one message");
    Require(testing::ReadBytes(logPath) == log, "the log is unchanged");

    const ExpectedRun expected = ExpectedConversion(log, logPath);
    Require(messages.empty() == !expected.message.has_value(),
            "a message exactly when the model expects one");
    Require(messages.empty() || messages.front() == *expected.message,
            "the message the model expects");
    Require(std::filesystem::exists(documentPath) == expected.documentCreated,
            "a document exactly when the header matched");
    if (!expected.documentCreated) {
        return 0;
    }

    const std::string document = testing::ReadBytes(documentPath);
    Require(IsStrictUtf8(document), "the document is valid UTF-8");
    Require(Occurrences(document, "<Placemark>") == static_cast<std::size_t>(expected.segments),
            "one placemark per segment");
    const bool headOnly = expected.segments == 0;
    if (messages.empty()) {
        Require(document.ends_with(std::string(headOnly ? kFolderOpeningLine : kPlacemarkEnd) +
                                   std::string(kClosingLine)),
                "the document ends with the closing line");
        const std::optional<ParsedDocument> parsed = ParseXml(document);
        Require(parsed.has_value(), "the document is well-formed XML");
        Require(parsed->root == "kml", "the root element is <kml>");
        Require(parsed->placemarks == static_cast<std::size_t>(expected.segments),
                "the parser sees one placemark per segment");
    } else {
        Require(document.ends_with(headOnly ? kFolderOpeningLine : kPlacemarkEnd),
                "a failed document holds complete lines only");
    }
    return 0;
}
