#pragma once

#include <string>
#include <vector>

namespace routalo {

// The argument vector that execv and getopt_long take: a pointer to each of
// `texts`, in order, then a null pointer. The pointers are valid while
// `texts` lives and is not changed; getopt_long may reorder the pointers,
// never the texts.
[[nodiscard]] std::vector<char*> ArgumentVector(std::vector<std::string>& texts);

}  // namespace routalo
