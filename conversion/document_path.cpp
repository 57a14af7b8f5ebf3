#include "conversion/document_path.h"

#include "conversion/files/path_style.h"
#include "conversion/text_encoding.h"

namespace routalo {
namespace {

// How many characters of a track log's path give way to "kml".
constexpr std::size_t kDroppedCharacters = 3;

// A file name that is valid UTF-8 is read as UTF-8, any other as
// Windows-1252, as the lines of a log are.
LineEncoding EncodingOf(std::string_view name) {
    return IsValidUtf8(name) ? LineEncoding::kUtf8 : LineEncoding::kWindows1252;
}

// Where the file name starts in `path`.
std::size_t NameStart(std::string_view path) {
    return path.find_last_of(kFolderSeparators) + 1;
}

std::string OtherLogsDocumentPath(std::string_view sourcePath) {
    // A "." is one byte in UTF-8 and Windows-1252 alike, and no byte of
    // another character: the name needs no decoding here.
    const std::size_t nameStart = NameStart(sourcePath);
    const std::size_t dot = sourcePath.rfind('.');
    const std::size_t stemEnd =
        dot != std::string_view::npos && dot > nameStart ? dot : sourcePath.size();
    return std::string(sourcePath.substr(0, stemEnd)) + ".kml";
}

}  // namespace

std::optional<std::string> KmlPathFor(std::string_view sourcePath) {
    // The characters are counted in the file name, decoded on its own, so
    // that a folder name in another encoding cannot split one. A file name
    // shorter than that gives a path outside the log's folder, which the run
    // refuses; it is formed from the whole path, to be named in the message.
    std::string_view name = sourcePath.substr(NameStart(sourcePath));
    if (CharacterCount(name, EncodingOf(name)) < kDroppedCharacters) {
        name = sourcePath;
    }
    const std::optional<std::string_view> stem =
        DropLastCharacters(name, kDroppedCharacters, EncodingOf(name));
    if (!stem) {
        return std::nullopt;
    }
    return std::string(sourcePath.substr(0, sourcePath.size() - name.size())) + std::string(*stem) +
           "kml";
}

bool LeavesTheLogsFolder(std::string_view sourcePath, std::string_view outputPath) {
    const std::string_view dropped =
        sourcePath.substr(outputPath.size() - std::string_view("kml").size());
    return dropped.find_first_of(kFolderSeparators) != std::string_view::npos;
}

std::string_view UncompressedPath(std::string_view sourcePath, bool compressed) {
    constexpr std::size_t kSuffix = 3;  // ".gz"
    const std::size_t nameStart = NameStart(sourcePath);
    if (!compressed || sourcePath.size() <= nameStart + kSuffix) {
        return sourcePath;
    }
    const std::string_view suffix = sourcePath.substr(sourcePath.size() - kSuffix);
    const bool gz = suffix[0] == '.' && (suffix[1] == 'g' || suffix[1] == 'G') &&
                    (suffix[2] == 'z' || suffix[2] == 'Z');
    return gz ? sourcePath.substr(0, sourcePath.size() - kSuffix) : sourcePath;
}

std::optional<std::string> DocumentPathFor(std::string_view sourcePath, LogKind kind,
                                           DocumentFormat format, bool compressed) {
    sourcePath = UncompressedPath(sourcePath, compressed);
    std::optional<std::string> path;
    if (kind == LogKind::kTrackLog) {
        path = KmlPathFor(sourcePath);
    } else {
        path = OtherLogsDocumentPath(sourcePath);
    }
    if (path && format == DocumentFormat::kKmz) {
        path->back() = 'z';  // every document path ends in "kml"
    }
    return path;
}

}  // namespace routalo
