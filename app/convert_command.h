#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace routalo {

// Exit statuses of routalo-convert.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitConversionFailed = 1;
inline constexpr int kExitUsage = 2;

// Runs routalo-convert with `arguments` (without the program name):
//
//   routalo-convert [--time] [--name NAME] LOG...
//
// converts every LOG into its document beside it. A failure is printed to
// `errors` as "routalo-convert: " and the conversion's message, and the next
// LOG follows. Returns the exit status.
int RunConvertCommand(const std::vector<std::string>& arguments, std::ostream& output,
                      std::ostream& errors);

}  // namespace routalo
