#include "conversion/errors.h"

namespace routalo {

std::string PlaceText(const LogPlace& place) {
    switch (place.kind) {
        case LogPlace::Kind::kLineAndColumn:
            return "line " + std::to_string(place.at) + ", column " + std::to_string(place.column);
        case LogPlace::Kind::kByte:
            return "byte " + std::to_string(place.at);
        case LogPlace::Kind::kLine:
            break;
    }
    return "line " + std::to_string(place.at);
}

std::string CauseWithPlace(const ConversionError& error) {
    if (const auto* placed = dynamic_cast<const LogError*>(&error)) {
        return PlaceText(placed->Place()) + ": " + placed->Cause();
    }
    return error.Cause();
}

StopRequested::StopRequested(int signal)
    : ConversionError("interrupted by a stop request"), signal_(signal) {}

}  // namespace routalo
