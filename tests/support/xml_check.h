#pragma once

#include <string>
#include <string_view>

namespace routalo::testing {

// Parses `document` with libxml2. Returns the empty text when it is
// well-formed XML, or the parser's first complaint.
std::string XmlProblems(std::string_view document);

// How many elements named `name` the document holds (it must be well-formed).
int CountElements(std::string_view document, std::string_view name);

}  // namespace routalo::testing
