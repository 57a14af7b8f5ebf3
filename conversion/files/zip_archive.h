#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/files/file_identity.h"
#include "conversion/files/text_output_file.h"
#include "conversion/writers/document_lines.h"

// zlib's stream, kept out of this header.
struct z_stream_s;

namespace routalo {

// A moment as a ZIP archive dates its entries: MS-DOS's date and time, to
// two seconds, of the years 1980 to 2107.
struct DosTime {
    std::uint16_t time = 0;                // hour << 11 | minute << 5 | second / 2
    std::uint16_t date = (1U << 5U) | 1U;  // (year - 1980) << 9 | month << 5 | day
    friend bool operator==(const DosTime&, const DosTime&) = default;
};

// The moment `utcSeconds` after 1970-01-01T00:00:00Z, the odd second cut to
// the even one before it; 1980-01-01 00:00 for none and for a moment outside
// the years the format holds.
[[nodiscard]] DosTime DosTimeOf(std::optional<std::int64_t> utcSeconds);

// A ZIP archive written front to back in constant memory, so that a document
// of any length goes into it as it is made. The first entry streams: its
// bytes are deflated as they come and its sizes follow it; the others are
// given whole. Entries are dated as given and every other field is fixed, so
// that the same entries give the same bytes on every run and system.
//
// The format's parts, each field little-endian:
// - local header, before each entry's bytes: signature 0x04034b50, version
//   needed (20), flags (bit 3: sizes in a data descriptor), method (0 stored,
//   8 deflated), DOS time, DOS date, CRC-32, compressed size, size (all
//   three 0 when bit 3 is set), name length, extra length (0), the name;
// - data descriptor, after the bytes of an entry with bit 3: signature
//   0x08074b50, CRC-32, compressed size, size;
// - central directory, after the last entry: for each entry signature
//   0x02014b50, version made by (20, MS-DOS), the local header's fields from
//   version needed to extra length with the true CRC and sizes, comment
//   length, first disk, internal and external attributes (all 0), and the
//   offset of its local header, then the name;
// - end record: signature 0x06054b50, disk numbers (0), entries on this disk
//   and in all, the central directory's size and offset, comment length (0).
// Sizes and offsets are 32 bits: an archive or an entry that would reach
// 4 GiB is refused with a FileRefused rather than written wrong (ZIP64's
// fields would be needed, which a streamed entry must announce before its
// first byte). A KML document of 1,000,000 points is some 220 MB.
//
// Every call but Discard throws FileRefused("write to a closed file") once
// the archive is finished or discarded, and discards it when it fails
// (FileError when writing fails, FileRefused for entries out of order and an
// archive too large), so that no failure leaves an archive behind, nor one
// that goes before Finish (TextOutputFile::Discard); an archive refused when
// it is opened leaves an old archive of its name as it was.
class ZipArchive {
  public:
    // Sets up the deflater and creates the archive `path`, as
    // TextOutputFile creates a document (the same refusals and lock). Throws
    // as TextOutputFile does, and std::bad_alloc, with nothing created,
    // when zlib gets no memory.
    explicit ZipArchive(const std::string& path, const OverwriteGuard& guard = {});
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;
    ZipArchive(ZipArchive&&) = delete;
    ZipArchive& operator=(ZipArchive&&) = delete;

    // Starts the streamed entry `name`, deflated, which Write fills. Only
    // the first entry streams.
    void StartEntry(std::string_view name, DosTime time);
    // Adds `bytes` to the streamed entry.
    void Write(std::string_view bytes);
    // Ends the streamed entry, if one is open, and adds `bytes` whole as the
    // entry `name`, stored as they are (for bytes that are compressed
    // already, such as a PNG image).
    void AddStoredEntry(std::string_view name, std::string_view bytes, DosTime time);
    // Ends the open entry, writes the central directory and the end record,
    // and closes the file.
    void Finish();
    // Leaves no archive behind; does nothing once the archive is finished.
    void Discard() noexcept;

    // The archive written, as it was when opened.
    [[nodiscard]] const FileIdentity& Identity() const { return file_.Identity(); }

  private:
    struct Entry {
        std::string name;
        DosTime time;
        std::uint16_t flags = 0;
        std::uint16_t method = 0;
        std::uint32_t crc = 0;
        std::uint64_t compressedSize = 0;
        std::uint64_t size = 0;
        std::uint64_t offset = 0;  // of its local header
    };

    void Put(std::string_view bytes);
    // The fields that a local header and a central directory header share,
    // from the flags to the extra field's length, in the order both hold them.
    static void PutEntryFields(std::string& out, const Entry& entry);
    void PutLocalHeader(const Entry& entry);
    void Deflate(bool finish);
    void EndStreamedEntry();
    // Runs `step` of the writing on an archive that is neither finished nor
    // discarded; discards it when the step fails, so that no archive with a
    // part missing is left or finished.
    template <typename Step>
    void Guarded(Step step);

    // Bytes gathered before they go to zlib, and zlib's output before it
    // goes to the file: deflate works best on large pieces.
    static constexpr std::size_t kPieceSize = std::size_t{64} * 1024;

    // Ends zlib's stream and frees it.
    struct StreamEnd {
        void operator()(z_stream_s* stream) const;
    };

    // The memory for the writing comes before the file, so that an archive
    // that cannot have it neither creates a file nor empties an old one.
    std::string input_;   // bytes of the streamed entry not yet deflated
    std::string output_;  // zlib's room for what it makes
    std::unique_ptr<z_stream_s, StreamEnd> stream_;
    TextOutputFile file_;
    std::vector<Entry> entries_;
    bool streaming_ = false;
    bool finished_ = false;      // or discarded: nothing more is written
    std::uint64_t written_ = 0;  // bytes of the archive so far
};

// The lines of a layout as the bytes of the streamed entry of `archive`,
// each followed by CR LF.
class ZipEntryLines final : public DocumentLines {
  public:
    explicit ZipEntryLines(ZipArchive& archive) : archive_(archive) {}

    void WriteLine(std::string_view line) override;

  private:
    ZipArchive& archive_;
};

}  // namespace routalo
