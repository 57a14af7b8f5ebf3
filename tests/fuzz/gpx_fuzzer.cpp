// Fuzz target: reading a GPX document.
//
// Properties: the reader ends, or fails with a ConversionError, and nothing
// else; every point it gives has a latitude and a longitude that are
// decimal numbers in range, a speed that has a class, and a date and time
// that are both there or both missing and together a valid date-time in UTC;
// a document that it reads to the end is one that libxml2, reading it whole
// into a tree, finds well-formed.

#include <libxml/parser.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "conversion/decimal_text.h"
#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"
#include "conversion/readers/gpx_reader.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/log_file.h"
#include "tests/fuzz/point_check.h"

namespace {

void Silent(void* /*context*/, xmlErrorPtr /*error*/) {}

bool WellFormed(std::string_view bytes) {
    xmlSetStructuredErrorFunc(nullptr, &Silent);
    const std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> document(
        xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                      XML_PARSE_NONET),
        &xmlFreeDoc);
    return document != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace routalo;
    using namespace routalo::fuzz;

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TextInputFile log(StoreInMemoryLog(bytes));
    try {
        const std::unique_ptr<PointReader> reader = MakeGpxPointReader(log);
        TrackPoint point;
        while (reader->Next(point) != PointStep::kEnd) {
            Require(ReadExactDecimal(point.Latitude, false).has_value() &&
                        ReadExactDecimal(point.Longitude, false).has_value(),
                    "coordinates are decimal numbers");
            RequireTimeAndSpeed(point);
        }
    } catch (const ConversionError&) {
        return 0;
    }
    Require(WellFormed(bytes), "a document read to the end is well-formed");
    return 0;
}
