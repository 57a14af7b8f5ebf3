#pragma once

#include <string_view>

namespace routalo {

// Where a layout's lines go: a document file of its own, or an entry of an
// archive that holds the document. Each line is written with the document's
// line end (CR LF) after it.
class DocumentLines {
  public:
    DocumentLines() = default;
    DocumentLines(const DocumentLines&) = delete;
    DocumentLines& operator=(const DocumentLines&) = delete;
    DocumentLines(DocumentLines&&) = delete;
    DocumentLines& operator=(DocumentLines&&) = delete;
    virtual ~DocumentLines() = default;

    virtual void WriteLine(std::string_view line) = 0;
};

}  // namespace routalo
