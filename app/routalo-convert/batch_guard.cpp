#include "app/routalo-convert/batch_guard.h"

#include <algorithm>

namespace routalo {

BatchGuard::BatchGuard(const std::vector<std::string>& logs) {
    kept_.reserve(2 * logs.size());
    for (const std::string& log : logs) {
        if (const std::optional<FileIdentity> identity = IdentityOfFile(log)) {
            kept_.push_back({*identity, &log, false});
        }
    }
}

void BatchGuard::KeepDocument(const FileIdentity& document, const std::string& log) noexcept {
    if (kept_.size() < kept_.capacity()) {
        kept_.push_back({document, &log, true});
    }
}

std::optional<std::string> BatchGuard::ReasonToKeep(const FileIdentity& identity) const {
    if (!identity.Known()) {
        return std::nullopt;
    }
    const auto kept = std::find_if(kept_.begin(), kept_.end(),
                                   [&](const Kept& file) { return file.file == identity; });
    if (kept == kept_.end()) {
        return std::nullopt;
    }
    return (kept->document ? "it holds the document just made from "
                           : "it is another LOG of this command, ") +
           *kept->log;
}

}  // namespace routalo
