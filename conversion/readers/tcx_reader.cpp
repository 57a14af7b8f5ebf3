#include "conversion/readers/tcx_reader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conversion/errors.h"
#include "conversion/readers/utc_time.h"
#include "conversion/readers/xml_point_values.h"
#include "conversion/text_basics.h"

namespace routalo {
namespace {

// The longest course name kept, in bytes.
constexpr std::size_t kLongestName = 1024;

enum class Role : std::uint8_t {
    kDocument,  // around the root element
    kOther,     // not read, nor anything in it
    kInside,    // any other element of the document, where a Track may stand
    kCourse,
    kCourseName,
    kTrack,
    kPoint,
    kTime,
    kPosition,
    kLatitude,
    kLongitude,
    kExtensions,
    kTpx,
    kSpeed,
};

Role RoleOf(Role parent, const XmlNode& node, std::string_view tcxNamespace) {
    const std::string_view name = node.localName;
    const bool tcx = node.namespaceUri == tcxNamespace;
    switch (parent) {
        case Role::kDocument:
            return name == kTcxRootElement ? Role::kInside : Role::kOther;
        case Role::kInside:
        case Role::kCourse:
            if (!tcx) {
                return Role::kOther;
            }
            if (name == "Track") {
                return Role::kTrack;
            }
            if (name == "Course") {
                return Role::kCourse;
            }
            return parent == Role::kCourse && name == "Name" ? Role::kCourseName : Role::kInside;
        case Role::kTrack:
            return tcx && name == "Trackpoint" ? Role::kPoint : Role::kOther;
        case Role::kPoint:
            if (!tcx) {
                return Role::kOther;
            }
            if (name == "Time") {
                return Role::kTime;
            }
            if (name == "Position") {
                return Role::kPosition;
            }
            return name == "Extensions" ? Role::kExtensions : Role::kOther;
        case Role::kPosition:
            if (tcx && name == "LatitudeDegrees") {
                return Role::kLatitude;
            }
            return tcx && name == "LongitudeDegrees" ? Role::kLongitude : Role::kOther;
        case Role::kExtensions:
            return name == "TPX" ? Role::kTpx : Role::kOther;
        case Role::kTpx:
            return name == "Speed" ? Role::kSpeed : Role::kOther;
        default:
            break;
    }
    return Role::kOther;
}

}  // namespace

struct TcxPointReader::State {
    std::unique_ptr<XmlNodeSource> source;
    std::vector<Role> open;  // the roles of the elements open now
    std::string tcxNamespace;
    bool chainStarts = true;
    std::size_t line = 0;
    std::string courseName;
    bool courseNameClosed = false;

    // The point being read.
    std::size_t pointLine = 0;
    std::size_t pointColumn = 0;
    bool position = false;
    ElementText latitude;
    ElementText longitude;
    ElementText speed;
    DateTimeText time;

    ChainedTimeAndSpeed chained;  // with the point before, in the chain

    [[noreturn]] void Fail(const std::string& problem) const {
        throw LogError(LogPlace::LineAndColumn(pointLine, pointColumn), problem);
    }

    void StartPoint() {
        pointLine = source->Line();
        pointColumn = source->Column();
        position = false;
        latitude.Clear();
        longitude.Clear();
        speed.Clear();
        time.Clear();
    }

    void Coordinate(const ElementText& written, const char* name, int limit, std::string& out) {
        if (!written.present) {
            Fail(std::string("the Position has no ") + name);
        }
        const std::string_view text = TrimXmlBlanks(written.text);
        if (written.tooLong || !IsCoordinateWithin(text, limit)) {
            Fail(std::string("the ") + name + " \"" + written.Shown() + "\" is no number from -" +
                 std::to_string(limit) + " to " + std::to_string(limit));
        }
        out.assign(text);
    }

    // Fills in the point once its element has ended; false for one without
    // a position, which is no point.
    bool EndPoint(TrackPoint& point) {
        if (!position) {
            return false;
        }
        Coordinate(latitude, "LatitudeDegrees", kLatitudeLimit, point.Latitude);
        Coordinate(longitude, "LongitudeDegrees", kLongitudeLimit, point.Longitude);
        if (std::optional<std::string> problem = chained.Write(point, time, speed, chainStarts)) {
            Fail(*problem);
        }
        return true;
    }
};

TcxPointReader::TcxPointReader(std::unique_ptr<XmlNodeSource> source)
    : state_(std::make_unique<State>()) {
    state_->source = std::move(source);
}

TcxPointReader::~TcxPointReader() = default;

std::size_t TcxPointReader::Line() const {
    return state_->line;
}

std::string_view TcxPointReader::TrackName() const {
    return state_->courseName;
}

PointStep TcxPointReader::Next(TrackPoint& point) {
    State& s = *state_;
    XmlNode node;
    while (s.source->Read(node)) {
        const Role parent = s.open.empty() ? Role::kDocument : s.open.back();
        if (node.kind == XmlNode::Kind::kText) {
            switch (parent) {
                case Role::kTime:
                    while (!s.time.Settled()) {
                        const std::string_view piece = s.source->Text(kTimePiece);
                        if (piece.empty()) {
                            break;
                        }
                        s.time.Append(piece);
                    }
                    break;
                case Role::kLatitude:
                    s.latitude.Take(*s.source);
                    break;
                case Role::kLongitude:
                    s.longitude.Take(*s.source);
                    break;
                case Role::kSpeed:
                    s.speed.Take(*s.source);
                    break;
                case Role::kCourseName:
                    if (!s.courseNameClosed) {
                        while (s.courseName.size() < kLongestName) {
                            const std::string_view piece =
                                s.source->Text(kLongestName - s.courseName.size());
                            if (piece.empty()) {
                                break;
                            }
                            s.courseName.append(piece);
                        }
                    }
                    break;
                default:
                    break;
            }
            continue;
        }
        Role ended = Role::kOther;
        if (node.kind == XmlNode::Kind::kStart) {
            Role role = RoleOf(parent, node, s.tcxNamespace);
            if (parent == Role::kDocument && role == Role::kInside) {
                s.tcxNamespace.assign(node.namespaceUri);
            }
            switch (role) {
                case Role::kTrack:
                    s.chainStarts = true;
                    break;
                case Role::kPoint:
                    s.StartPoint();
                    break;
                case Role::kTime:
                    s.time.present = true;
                    break;
                case Role::kPosition:
                    s.position = true;
                    break;
                case Role::kLatitude:
                    s.latitude.present = true;
                    break;
                case Role::kLongitude:
                    s.longitude.present = true;
                    break;
                case Role::kSpeed:
                    s.speed.present = true;
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
        switch (ended) {
            case Role::kTime:
                s.time.closed = true;
                break;
            case Role::kLatitude:
                s.latitude.closed = true;
                break;
            case Role::kLongitude:
                s.longitude.closed = true;
                break;
            case Role::kSpeed:
                s.speed.closed = true;
                break;
            case Role::kCourseName:
                if (!s.courseNameClosed) {
                    s.courseNameClosed = true;
                    s.courseName.assign(TrimXmlBlanks(s.courseName));
                }
                break;
            case Role::kPoint:
                if (s.EndPoint(point)) {
                    s.line = s.pointLine;
                    return std::exchange(s.chainStarts, false) ? PointStep::kNewChain
                                                               : PointStep::kNextPoint;
                }
                break;
            default:
                break;
        }
    }
    return PointStep::kEnd;
}

std::unique_ptr<PointReader> MakeTcxPointReader(TextInputFile& log, XmlEncoding encoding,
                                                XmlPosition start) {
    return std::make_unique<TcxPointReader>(MakeXmlNodeSource(log, encoding, start));
}

}  // namespace routalo
