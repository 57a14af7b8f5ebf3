#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/files/text_input_file.h"
#include "conversion/readers/point_reader.h"

namespace routalo {

// The bytes a FIT file's first bytes are told by: its header's size and
// ".FIT" at bytes 8 to 11.
inline constexpr std::size_t kFitHeaderPeek = 12;

// Whether `bytes` start with a FIT file header: a size of 12 or 14 and
// ".FIT" at bytes 8 to 11.
[[nodiscard]] bool IsFitHeader(std::string_view bytes);

// A FIT activity file, or several chained one after another: every `record`
// message (global message 20) with a valid position_lat and position_long,
// in order.
//
//   record: position_lat 623191729, position_long 60850487 (semicircles),
//           timestamp 581245503, enhanced_speed 3500 (mm/s)
//     -> Latitude "52.2353273", Longitude "5.1004289", Speed "12.6" (km/h),
//        Date "2008-06-01", Time "09:05:03"
//
// Definition and data messages of either byte order, compressed timestamp
// headers (whose time counts on from the last timestamp field of any
// message) and developer fields (skipped) are read. Degrees are semicircles
// x 180 / 2^31, written with 7 decimals rounded half to even on the exact
// value, by integer arithmetic alone. A position of 0x7FFFFFFF is invalid:
// such a record is no point. The time is the timestamp, seconds since
// 1989-12-31T00:00:00Z; the speed enhanced_speed, else speed (m/s x 1000),
// else derived as the GPX reader derives it. A timer stop (event message 21,
// event timer, type stop, stop_all, stop_disable or stop_disable_all) ends
// a chain, as does the end of each chained file.
//
// The header's CRC (when not 0) and each file's CRC are checked. A failure
// names the offset of the byte where it stands ("byte 812: ..."): a CRC that
// does not match, a message that is not defined, a file cut off (at the
// offset where its bytes end). Memory is bounded whatever the file holds:
// 16 definitions of at most 255 fields and 255 developer fields each, and
// one message of at most 128 KiB at a time.
class FitPointReader : public PointReader {
  public:
    explicit FitPointReader(TextInputFile& log) : log_(log) {}

    PointStep Next(TrackPoint& point) override;
    [[nodiscard]] std::size_t Line() const override { return 0; }
    [[nodiscard]] std::string_view NoPointCause() const override {
        return "the FIT file holds no record with a position";
    }

    // The offset of the next byte to be read, from the log's first.
    [[nodiscard]] std::size_t Offset() const { return offset_; }

  private:
    // Where the fields that a point needs stand in a data message of one
    // definition, or kAbsent.
    static constexpr std::size_t kAbsent = SIZE_MAX;
    struct Definition {
        bool defined = false;
        bool bigEndian = false;
        std::uint16_t global = 0;
        std::size_t size = 0;  // of a data message, developer fields too
        std::size_t timestamp = kAbsent;
        std::size_t latitude = kAbsent;
        std::size_t longitude = kAbsent;
        std::size_t speed = kAbsent;
        std::size_t enhancedSpeed = kAbsent;
        std::size_t event = kAbsent;
        std::size_t eventType = kAbsent;
    };

    // Reads the next file header; false at the end of the log.
    bool ReadHeader();
    // Takes the next `count` bytes of the log; valid until the next take.
    // Nearly always they lie in the window, and are used where they lie.
    std::string_view Take(std::size_t count) {
        if (count <= window_.size()) {
            const std::string_view taken = window_.substr(0, count);
            window_.remove_prefix(count);
            offset_ += count;
            return taken;
        }
        return TakeAcross(count);
    }
    // The same for bytes that the window does not hold whole: copied, the
    // window refilled from the log as often as it takes.
    std::string_view TakeAcross(std::size_t count);
    // Counts the bytes taken from the window so far into the CRC: before
    // the window gives way, and before the CRC is compared. The CRC is taken
    // over long runs of bytes, not message by message.
    void FoldCrc();
    // Takes the next `count` bytes of the current file's data.
    std::string_view TakeData(std::size_t count);
    void ReadDefinition(std::uint8_t header);
    // Reads a data message; true when it gave `point`.
    bool ReadData(const Definition& definition, std::optional<std::uint32_t> compressedTime,
                  TrackPoint& point);
    void MakePoint(std::int32_t latitude, std::int32_t longitude, std::optional<std::uint32_t> time,
                   std::optional<std::uint32_t> milliSpeed, TrackPoint& point);
    [[noreturn]] void Fail(std::size_t at, const std::string& problem) const;

    TextInputFile& log_;
    std::size_t offset_ = 0;
    // The bytes of the log's buffer that it has handed over (and been told
    // are consumed) and that are not read yet; valid until the next
    // Buffered().
    std::string_view window_;
    const char* crcFrom_ = nullptr;  // the first byte taken but not in crc_
    std::uint16_t crc_ = 0;
    bool inFile_ = false;
    std::size_t dataEnd_ = 0;  // offset where the current file's data ends
    std::array<Definition, 16> definitions_{};
    std::string scratch_;  // a message that did not lie whole in the buffer
    std::optional<std::uint32_t> lastTimestamp_;
    std::string date_;  // the date text of day dateDay_
    std::uint32_t dateDay_ = 0;
    bool chainStarts_ = true;

    // The point before, in the chain.
    std::optional<std::uint32_t> previousTime_;
    std::int32_t previousLatitude_ = 0;  // semicircles
    std::int32_t previousLongitude_ = 0;
    std::string previousSpeed_ = "0";
};

// The degrees of `semicircles` (x 180 / 2^31) with 7 decimals, rounded half
// to even on the exact value, written over `out`: "52.2353273", "-0.0000001".
void WriteSemicircleDegrees(std::int32_t semicircles, std::string& out);

}  // namespace routalo
