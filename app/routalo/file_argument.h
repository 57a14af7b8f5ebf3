#pragma once

#include <optional>
#include <string>
#include <vector>

namespace routalo {

// What keeps the window from opening with the FILEs of its command line
// (paths as UTF-8 bytes, or any bytes on POSIX systems), as one sentence
// without the program's name; nothing when there is none or one that names
// a file (or a link to one):
//   "2 files given, but the window takes one; it opens without a file"
//   "/logs/weg.csv: no such file"
//   "/logs: not a file"
// The path is shown with PrintableText, its bytes that are no UTF-8 escaped.
[[nodiscard]] std::optional<std::string> FileArgumentProblem(const std::vector<std::string>& files);

}  // namespace routalo
