#pragma once

#include <string>

namespace routalo {

// One row of a document's legend: a colour that the document draws, and the
// speeds it stands for.
struct LegendRow {
    std::string colour;  // as KML writes it: aabbggrr, lower-case hexadecimal
    std::string speeds;  // "0-1 km/h", "24 km/h and faster"
};

}  // namespace routalo
