#include "tests/support/xml_check.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>

namespace routalo::testing {
namespace {

struct DocumentDeleter {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using Document = std::unique_ptr<xmlDoc, DocumentDeleter>;

Document Parse(std::string_view text) {
    return Document(xmlReadMemory(text.data(), static_cast<int>(text.size()), "document.kml",
                                  nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

int CountIn(const xmlNode* node, std::string_view name) {
    int count = 0;
    for (; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE &&
            name ==
                reinterpret_cast<const char*>(node->name)) {  // NOLINT: libxml2 text is UTF-8 bytes
            ++count;
        }
        count += CountIn(node->children, name);
    }
    return count;
}

}  // namespace

std::string XmlProblems(std::string_view document) {
    xmlResetLastError();
    const Document parsed = Parse(document);
    if (parsed) {
        return {};
    }
    const xmlError* error = xmlGetLastError();
    return error != nullptr && error->message != nullptr ? error->message : "not well-formed";
}

int CountElements(std::string_view document, std::string_view name) {
    const Document parsed = Parse(document);
    return parsed ? CountIn(xmlDocGetRootElement(parsed.get()), name) : -1;
}

}  // namespace routalo::testing
