#include "conversion/readers/cr_line_input.h"

namespace routalo {

std::string_view CrLineInput::RestAfterFinalCr() {
    std::string_view rest = file_.Buffered();
    if (!rest.empty()) {
        lineFeedMayFollow_ = false;
        if (rest.front() == '\n') {
            file_.Skip(1);
            rest = file_.Buffered();
        }
    }
    return rest;
}

void CrLineInput::ReadLine(std::string& line, std::size_t keep) {
    line.clear();
    ReadLine([&](std::string_view piece) {
        if (line.size() < keep) {
            line.append(piece.substr(0, keep - line.size()));
        }
    });
}

}  // namespace routalo
