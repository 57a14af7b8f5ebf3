#include "conversion/files/zip_archive.h"

#include <zlib.h>

#include <chrono>
#include <limits>
#include <new>
#include <utility>

#include "conversion/errors.h"

namespace routalo {
namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t kDataDescriptorSignature = 0x08074b50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t kEndRecordSignature = 0x06054b50;
// 2.0: deflate; made by MS-DOS (0 in the high byte), whose attributes are 0.
constexpr std::uint16_t kVersion = 20;
constexpr std::uint16_t kSizesFollow = 1U << 3U;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint64_t kMostBytes = std::numeric_limits<std::uint32_t>::max();
// zlib's raw deflate, without its own header and check, as ZIP wants it,
// with the largest window.
constexpr int kRawWindowBits = -15;
constexpr int kMemoryLevel = 8;
// Deflate's level 3: on a KML document of 1,000,000 points it is as fast as
// level 1 and three times as fast as the default level 6, for 14:1 where
// level 6 gives 17:1.
constexpr int kLevel = 3;

void Put16(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFFU));
    out.push_back(static_cast<char>((value >> 8U) & 0xFFU));
}

void Put32(std::string& out, std::uint64_t value) {
    Put16(out, static_cast<std::uint32_t>(value & 0xFFFFU));
    Put16(out, static_cast<std::uint32_t>((value >> 16U) & 0xFFFFU));
}

std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes) {
    // zlib takes at most 4 GiB - 1 bytes a call; callers stay below that.
    return static_cast<std::uint32_t>(::crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()),
                                              static_cast<uInt>(bytes.size())));
}

[[noreturn]] void TooLarge() {
    throw FileRefused("the archive would reach 4 GiB, more than a ZIP archive without ZIP64 holds");
}

// zlib's raw deflater, set up; std::bad_alloc when it gets no memory,
// which is all that can fail with these fixed settings.
z_stream* NewDeflater() {
    auto stream = std::make_unique<z_stream>();
    if (deflateInit2(stream.get(), kLevel, Z_DEFLATED, kRawWindowBits, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::bad_alloc();
    }
    return stream.release();
}

std::string Room(std::size_t reserve, std::size_t size) {
    std::string room(size, '\0');
    room.reserve(reserve);
    return room;
}

}  // namespace

DosTime DosTimeOf(std::optional<std::int64_t> utcSeconds) {
    using namespace std::chrono;
    // 1980-01-01T00:00:00Z and 2108-01-01T00:00:00Z.
    constexpr std::int64_t kFirst = 315532800;
    constexpr std::int64_t kAfterLast = 4354819200;
    if (!utcSeconds || *utcSeconds < kFirst || *utcSeconds >= kAfterLast) {
        return {};
    }
    const sys_seconds moment{seconds{*utcSeconds}};
    const sys_days day = floor<days>(moment);
    const year_month_day date{day};
    const hh_mm_ss<seconds> time{moment - day};
    const int year = static_cast<int>(date.year());
    return {static_cast<std::uint16_t>((static_cast<unsigned>(time.hours().count()) << 11U) |
                                       (static_cast<unsigned>(time.minutes().count()) << 5U) |
                                       (static_cast<unsigned>(time.seconds().count()) / 2U)),
            static_cast<std::uint16_t>((static_cast<unsigned>(year - 1980) << 9U) |
                                       (static_cast<unsigned>(date.month()) << 5U) |
                                       static_cast<unsigned>(date.day()))};
}

void ZipArchive::StreamEnd::operator()(z_stream_s* stream) const {
    deflateEnd(stream);
    delete stream;  // made by NewDeflater
}

ZipArchive::ZipArchive(const std::string& path, const OverwriteGuard& guard)
    : input_(Room(kPieceSize, 0)),
      output_(Room(kPieceSize, kPieceSize)),
      stream_(NewDeflater()),
      file_(path, guard) {}

ZipArchive::~ZipArchive() {
    Discard();
}

// Every byte of the archive goes out here, which counts them.
void ZipArchive::Put(std::string_view bytes) {
    written_ += bytes.size();
    if (written_ > kMostBytes) {
        TooLarge();
    }
    file_.Write(bytes);
}

void ZipArchive::PutEntryFields(std::string& out, const Entry& entry) {
    Put16(out, entry.flags);
    Put16(out, entry.method);
    Put16(out, entry.time.time);
    Put16(out, entry.time.date);
    Put32(out, entry.crc);
    Put32(out, entry.compressedSize);
    Put32(out, entry.size);
    Put16(out, static_cast<std::uint32_t>(entry.name.size()));
    Put16(out, 0);  // extra length
}

void ZipArchive::PutLocalHeader(const Entry& entry) {
    std::string header;
    Put32(header, kLocalHeaderSignature);
    Put16(header, kVersion);
    PutEntryFields(header, entry);
    header.append(entry.name);
    Put(header);
}

template <typename Step>
void ZipArchive::Guarded(Step step) {
    if (finished_) {
        throw FileRefused("write to a closed file");
    }
    try {
        step();
    } catch (...) {
        Discard();
        throw;
    }
}

void ZipArchive::StartEntry(std::string_view name, DosTime time) {
    Guarded([&] {
        if (!entries_.empty()) {
            throw FileRefused("only an archive's first entry streams");
        }
        Entry entry{std::string(name), time, kSizesFollow, kDeflated, 0, 0, 0, written_};
        PutLocalHeader(entry);
        entries_.push_back(std::move(entry));
        streaming_ = true;
    });
}

void ZipArchive::Write(std::string_view bytes) {
    Guarded([&] {
        if (!streaming_) {
            throw FileRefused("no entry is open in the archive");
        }
        Entry& entry = entries_.back();
        entry.size += bytes.size();
        if (entry.size > kMostBytes) {
            TooLarge();
        }
        entry.crc = Crc32(entry.crc, bytes);
        while (!bytes.empty()) {
            const std::size_t take = std::min(bytes.size(), kPieceSize - input_.size());
            input_.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            if (input_.size() == kPieceSize) {
                Deflate(false);
            }
        }
    });
}

// Deflates what is gathered and writes out what zlib makes of it; with
// `finish`, the end of the entry's deflate stream too.
void ZipArchive::Deflate(bool finish) {
    stream_->next_in = reinterpret_cast<Bytef*>(input_.data());
    stream_->avail_in = static_cast<uInt>(input_.size());
    const int flush = finish ? Z_FINISH : Z_NO_FLUSH;
    int status = Z_OK;
    do {
        stream_->next_out = reinterpret_cast<Bytef*>(output_.data());
        stream_->avail_out = static_cast<uInt>(output_.size());
        status = deflate(stream_.get(), flush);
        if (status == Z_STREAM_ERROR) {
            throw ConversionError("the archive's deflater failed");
        }
        const std::size_t made = output_.size() - stream_->avail_out;
        entries_.back().compressedSize += made;
        Put(std::string_view(output_).substr(0, made));
    } while (stream_->avail_out == 0 || (finish && status != Z_STREAM_END));
    input_.clear();
}

void ZipArchive::EndStreamedEntry() {
    if (!streaming_) {
        return;
    }
    Deflate(true);
    streaming_ = false;
    const Entry& entry = entries_.back();
    if (entry.compressedSize > kMostBytes) {
        TooLarge();
    }
    std::string descriptor;
    Put32(descriptor, kDataDescriptorSignature);
    Put32(descriptor, entry.crc);
    Put32(descriptor, entry.compressedSize);
    Put32(descriptor, entry.size);
    Put(descriptor);
}

void ZipArchive::AddStoredEntry(std::string_view name, std::string_view bytes, DosTime time) {
    Guarded([&] {
        EndStreamedEntry();
        if (bytes.size() > kMostBytes) {
            TooLarge();
        }
        Entry entry{std::string(name), time,         0,       kStored, Crc32(0, bytes),
                    bytes.size(),      bytes.size(), written_};
        PutLocalHeader(entry);
        Put(bytes);
        entries_.push_back(std::move(entry));
    });
}

void ZipArchive::Finish() {
    Guarded([&] {
        EndStreamedEntry();
        const std::uint64_t directoryOffset = written_;
        std::string directory;
        for (const Entry& entry : entries_) {
            Put32(directory, kCentralHeaderSignature);
            Put16(directory, kVersion);  // made by
            Put16(directory, kVersion);  // needed
            PutEntryFields(directory, entry);
            Put16(directory, 0);  // comment length
            Put16(directory, 0);  // first disk
            Put16(directory, 0);  // internal attributes
            Put32(directory, 0);  // external attributes
            Put32(directory, entry.offset);
            directory.append(entry.name);
        }
        const std::size_t directorySize = directory.size();
        Put32(directory, kEndRecordSignature);
        Put16(directory, 0);  // this disk
        Put16(directory, 0);  // the central directory's disk
        Put16(directory, static_cast<std::uint32_t>(entries_.size()));
        Put16(directory, static_cast<std::uint32_t>(entries_.size()));
        Put32(directory, directorySize);
        Put32(directory, directoryOffset);
        Put16(directory, 0);  // comment length
        Put(directory);
        file_.Close();
        finished_ = true;
    });
}

void ZipArchive::Discard() noexcept {
    if (finished_) {
        return;
    }
    finished_ = true;
    streaming_ = false;
    file_.Discard();
}

void ZipEntryLines::WriteLine(std::string_view line) {
    archive_.Write(line);
    archive_.Write(kLineEnd);
}

}  // namespace routalo
