#include "conversion/readers/gpx_reader.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "conversion/errors.h"
#include "conversion/readers/utc_time.h"
#include "conversion/readers/xml_point_values.h"
#include "conversion/text_basics.h"
#include "conversion/xml_text.h"

namespace routalo {
namespace {

constexpr std::string_view kXmlBlanks = " \t\r\n";

// The namespaces of GPX 1.0 and 1.1.
constexpr std::string_view kGpx10 = "http://www.topografix.com/GPX/1/0";
constexpr std::string_view kGpx11 = "http://www.topografix.com/GPX/1/1";

// The longest track name kept, in bytes: more than any title shows.
constexpr std::size_t kLongestName = 1024;

// What an element of the document is to the reader, from its name, its
// namespace and the role of the element around it.
enum class Role : std::uint8_t {
    kDocument,  // around the root element
    kOther,
    kGpx,
    kMetadata,
    kDocumentName,  // GPX 1.1's in <metadata>, GPX 1.0's in <gpx>
    kTrack,
    kTrackName,
    kSegment,
    kPoint,
    kTime,
    kSpeed,       // GPX 1.0's, directly in the point
    kExtensions,  // the point's, and every element inside them
    kExtensionSpeed,
};

// The structure is that of the root's namespace, GPX 1.0's or 1.1's, or of
// none for a document that declares none. A speed is GPX 1.0's, or an
// element named speed of any namespace in the point's extensions, as the
// exporters write it.
Role RoleOf(Role parent, const XmlNode& node, std::string_view gpxNamespace) {
    const std::string_view name = node.localName;
    const bool gpx = node.namespaceUri == gpxNamespace;
    switch (parent) {
        case Role::kDocument:
            return name == "gpx" && (node.namespaceUri.empty() || node.namespaceUri == kGpx10 ||
                                     node.namespaceUri == kGpx11)
                       ? Role::kGpx
                       : Role::kOther;
        case Role::kGpx:
            if (!gpx) {
                return Role::kOther;
            }
            if (name == "trk") {
                return Role::kTrack;
            }
            if (name == "metadata") {
                return Role::kMetadata;
            }
            return name == "name" ? Role::kDocumentName : Role::kOther;
        case Role::kMetadata:
            return gpx && name == "name" ? Role::kDocumentName : Role::kOther;
        case Role::kTrack:
            if (!gpx) {
                return Role::kOther;
            }
            if (name == "name") {
                return Role::kTrackName;
            }
            return name == "trkseg" ? Role::kSegment : Role::kOther;
        case Role::kSegment:
            return gpx && name == "trkpt" ? Role::kPoint : Role::kOther;
        case Role::kPoint:
            if (name == "speed" && (node.namespaceUri == kGpx10 ||
                                    (gpxNamespace.empty() && node.namespaceUri.empty()))) {
                return Role::kSpeed;
            }
            if (!gpx) {
                return Role::kOther;
            }
            if (name == "time") {
                return Role::kTime;
            }
            return name == "extensions" ? Role::kExtensions : Role::kOther;
        case Role::kExtensions:
        case Role::kExtensionSpeed:
            return name == "speed" ? Role::kExtensionSpeed : Role::kExtensions;
        case Role::kOther:
        case Role::kDocumentName:
        case Role::kTrackName:
        case Role::kTime:
        case Role::kSpeed:
            break;
    }
    return Role::kOther;
}

// A name, as its text nodes give it, trimmed of blank space, its first
// kLongestName bytes.
struct NameText {
    std::string text;
    bool closed = false;

    void Take(XmlNodeSource& source) {
        if (closed) {
            return;
        }
        while (text.size() < kLongestName) {
            std::string_view piece = source.Text(kLongestName - text.size());
            if (piece.empty()) {
                return;
            }
            if (text.empty()) {
                const std::size_t first = piece.find_first_not_of(kXmlBlanks);
                piece = piece.substr(first == std::string_view::npos ? piece.size() : first);
            }
            text.append(piece);
        }
    }
    void Close() {
        closed = true;
        text.erase(std::min(text.size(), text.find_last_not_of(kXmlBlanks) + 1));
    }
};

}  // namespace

struct GpxPointReader::State {
    std::unique_ptr<XmlNodeSource> source;
    std::vector<Role> open;    // the roles of the elements open now, at most 256
    std::string gpxNamespace;  // the root's
    std::size_t tracks = 0;    // begun so far
    NameText trackName;        // the first track's
    NameText documentName;
    bool chainStarts = true;
    std::size_t line = 0;  // where the last point ended

    // The point being read.
    std::size_t pointLine = 0;
    std::size_t pointColumn = 0;
    DateTimeText time;
    ElementText speed;  // GPX 1.0's
    ElementText extensionSpeed;

    ChainedTimeAndSpeed chained;  // with the point before, in the chain

    [[noreturn]] void Fail(const std::string& problem) const {
        throw LogError(LogPlace::LineAndColumn(pointLine, pointColumn), problem);
    }

    // Takes the point's coordinates, as written, into `point`.
    void StartPoint(TrackPoint& point) {
        pointLine = source->Line();
        pointColumn = source->Column();
        time.Clear();
        speed.Clear();
        extensionSpeed.Clear();
        const auto coordinate = [&](const char* name, int limit, std::string& out) {
            const std::optional<std::string_view> written = source->Attribute(name);
            if (!written) {
                Fail(std::string("the track point has no ") + name);
            }
            const std::string_view text = TrimXmlBlanks(*written);
            // Read as a double only where a derived speed needs it.
            if (!IsCoordinateWithin(text, limit)) {
                ElementText shown;
                shown.Append(*written);
                Fail(std::string("the ") + name + " \"" + shown.Shown() + "\" is no number from -" +
                     std::to_string(limit) + " to " + std::to_string(limit));
            }
            out.assign(text);
        };
        coordinate("lat", kLatitudeLimit, point.Latitude);
        coordinate("lon", kLongitudeLimit, point.Longitude);
    }

    // Fills in the point's time and speed once its element has ended.
    void EndPoint(TrackPoint& point) {
        const ElementText& own = speed.present ? speed : extensionSpeed;
        if (std::optional<std::string> problem = chained.Write(point, time, own, chainStarts)) {
            Fail(*problem);
        }
    }
};

GpxPointReader::GpxPointReader(std::unique_ptr<XmlNodeSource> source)
    : state_(std::make_unique<State>()) {
    state_->source = std::move(source);
}

std::size_t GpxPointReader::Line() const {
    return state_->line;
}

std::string_view GpxPointReader::TrackName() const {
    return state_->trackName.text.empty() ? state_->documentName.text : state_->trackName.text;
}

PointStep GpxPointReader::Next(TrackPoint& point) {
    State& s = *state_;
    XmlNode node;
    while (s.source->Read(node)) {
        if (node.kind == XmlNode::Kind::kText) {
            switch (s.open.empty() ? Role::kOther : s.open.back()) {
                case Role::kTime:
                    // Read whole, however many digits its fraction has (the
                    // time text keeps what it needs of it in constant memory),
                    // unless it can be no time at all.
                    while (!s.time.Settled()) {
                        const std::string_view piece = s.source->Text(kTimePiece);
                        if (piece.empty()) {
                            break;
                        }
                        s.time.Append(piece);
                    }
                    break;
                case Role::kSpeed:
                    s.speed.Take(*s.source);
                    break;
                case Role::kExtensionSpeed:
                    s.extensionSpeed.Take(*s.source);
                    break;
                case Role::kTrackName:
                    s.trackName.Take(*s.source);
                    break;
                case Role::kDocumentName:
                    s.documentName.Take(*s.source);
                    break;
                default:
                    break;  // a text not needed is not fetched
            }
            continue;
        }
        Role ended = Role::kOther;
        if (node.kind == XmlNode::Kind::kStart) {
            Role role =
                RoleOf(s.open.empty() ? Role::kDocument : s.open.back(), node, s.gpxNamespace);
            switch (role) {
                case Role::kGpx:
                    s.gpxNamespace.assign(node.namespaceUri);
                    break;
                case Role::kTrack:
                    ++s.tracks;
                    break;
                case Role::kTrackName:
                    role = s.tracks == 1 ? role : Role::kOther;
                    break;
                case Role::kSegment:
                    s.chainStarts = true;
                    break;
                case Role::kPoint:
                    s.StartPoint(point);
                    break;
                case Role::kTime:
                    s.time.present = true;
                    break;
                case Role::kSpeed:
                    s.speed.present = true;
                    break;
                case Role::kExtensionSpeed:
                    s.extensionSpeed.present = true;
                    break;
                default:
                    break;
            }
            if (!node.empty) {
                s.open.push_back(role);
                continue;
            }
            ended = role;
        } else if (node.kind == XmlNode::Kind::kEnd && !s.open.empty()) {
            ended = s.open.back();
            s.open.pop_back();
        }
        // The first of each element counts.
        switch (ended) {
            case Role::kTime:
                s.time.closed = true;
                break;
            case Role::kSpeed:
                s.speed.closed = true;
                break;
            case Role::kExtensionSpeed:
                s.extensionSpeed.closed = true;
                break;
            case Role::kTrackName:
                s.trackName.Close();
                break;
            case Role::kDocumentName:
                s.documentName.Close();
                break;
            case Role::kPoint:
                s.EndPoint(point);
                s.line = s.pointLine;
                return std::exchange(s.chainStarts, false) ? PointStep::kNewChain
                                                           : PointStep::kNextPoint;
            default:
                break;
        }
    }
    return PointStep::kEnd;
}

std::unique_ptr<PointReader> MakeGpxPointReader(TextInputFile& log, XmlEncoding encoding,
                                                XmlPosition start) {
    return std::make_unique<GpxPointReader>(MakeXmlNodeSource(log, encoding, start));
}

}  // namespace routalo
