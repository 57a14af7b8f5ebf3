#include "conversion/errors.h"
#include "conversion/xml_node_source.h"

namespace routalo {

// This build has no XML parser for GPX documents yet.
std::unique_ptr<XmlNodeSource> MakeXmlNodeSource(TextInputFile& /*log*/) {
    throw ConversionError("this build reads no GPX documents");
}

}  // namespace routalo
