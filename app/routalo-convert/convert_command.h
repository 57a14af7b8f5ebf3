#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/support/answer_output.h"

namespace routalo {

// Exit statuses of routalo-convert, besides kExitUsage; a stopped run exits
// with ExitStatusAfterStop (stop_signals.h).
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitConversionFailed = 1;

// Runs routalo-convert with `arguments` (without the program name):
//
//   routalo-convert [--time] [--merge] [--kmz] [--name NAME] [--top-speed KMH|auto]
//                   [--gap SECONDS] [--stats] LOG...
//
// Options are read as getopt_long reads them. Every LOG, a track log, a GPX
// document or an NMEA 0183 log, is converted into its document beside it,
// one after the other. A failure is one line on
// `errors`,
//
//   routalo-convert: LOG: MESSAGE (CAUSE)
//
// and the next LOG follows. A LOG whose document would be another LOG of the
// command, or a document that an earlier LOG wrote, is refused. A stop asked
// for (stop_request.h) ends the LOG being converted, or the one about to
// start, with one line, and no further LOG is converted. Returns the exit
// status.
int RunConvertCommand(const std::vector<std::string>& arguments, std::ostream& output,
                      std::ostream& errors);

}  // namespace routalo
