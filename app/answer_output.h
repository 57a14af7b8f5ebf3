#pragma once

#include <ostream>
#include <string_view>

namespace routalo {

// Writes the answer to --help or --version, `text`, to `output` and returns
// the exit status: 0, or 1 when the answer could not be written (a full
// disk, a closed pipe), which is then said on one line of `errors`:
//   routalo-convert: write error: No space left on device
int WriteAnswer(std::string_view program, std::string_view text, std::ostream& output,
                std::ostream& errors);

}  // namespace routalo
