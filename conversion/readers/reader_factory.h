#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "conversion/files/text_input_file.h"
#include "conversion/readers/point_reader.h"
#include "conversion/readers/xml_node_source.h"

namespace routalo {

// The kinds of log that their first bytes tell apart.
enum class LogKind : std::uint8_t { kTrackLog, kGpx, kNmea, kFit, kTcx };

// What the first bytes of a log told.
struct LogStart {
    LogKind kind = LogKind::kTrackLog;
    // Whether the log is a gzip stream, read inflated; its kind is that of
    // what it holds.
    bool compressed = false;
    // For a GPX or TCX document: its encoding, as a byte order mark tells, and
    // where its first "<" stands, after what was skipped.
    XmlEncoding encoding = XmlEncoding::kAsDeclared;
    XmlPosition first;
};

// Tells the kind of `log` from its first bytes, reading as many as that
// takes and no more than TextInputFile::kPeekLimit, however a pipe's writer
// splits them:
// - a gzip stream (its first bytes 1F 8B) is read inflated from there on,
//   and told by what it holds;
// - a FIT file starts with a header of 12 or 14 bytes whose bytes 8 to 11
//   are ".FIT";
// - an XML document starts with "<", after an optional byte order mark
//   (UTF-8, or UTF-16 of either byte order) and blank space, which are
//   skipped, so that the parser gets the document from its "<"; it is a
//   TCX document when its root element is TrainingCenterDatabase, a GPX
//   document otherwise (the GPX reader names what it lacks);
// - a log that starts with the track log's header line is a track log;
// - an NMEA 0183 log holds a sentence on one of the lines that start in
//   its first kPeekLimit bytes; the lines before it stay, for the reader to
//   skip as it skips any line that is no sentence;
// - anything else is left to the track log's header check.
[[nodiscard]] LogStart TellLogKind(TextInputFile& log);

// The reader of a log of the kind told, over the rest of `log`. A track
// log's reads its header first, through its HeaderProblem().
[[nodiscard]] std::unique_ptr<PointReader> MakePointReader(const LogStart& start,
                                                           TextInputFile& log);

}  // namespace routalo
