#pragma once

#include <ostream>
#include <string_view>

namespace routalo {

// The exit status of a command line that was not understood.
inline constexpr int kExitUsage = 2;

// Writes the answer to --help or --version, `text`, to `output` and returns
// the exit status: 0, or 1 when the answer could not be written (a full
// disk, a closed pipe), which is then said on one line of `errors`:
//   routalo-convert: write error: No space left on device
int WriteAnswer(std::string_view program, std::string_view text, std::ostream& output,
                std::ostream& errors);

// Says on `errors` why the command line was not understood, shown as
// PrintableText, and how to get help; returns kExitUsage:
//   routalo-convert: invalid option -- 'x'
//   Usage: routalo-convert [--time] [--name NAME] LOG...
//   Try 'routalo-convert --help' for more information.
int RefuseUsage(std::string_view program, std::string_view usage, std::string_view reason,
                std::ostream& errors);

}  // namespace routalo
