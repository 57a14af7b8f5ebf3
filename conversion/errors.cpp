#include "conversion/errors.h"

namespace routalo {

StopRequested::StopRequested(int signal)
    : ConversionError("interrupted by a stop request"), signal_(signal) {}

}  // namespace routalo
