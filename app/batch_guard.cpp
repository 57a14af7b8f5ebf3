#include "app/batch_guard.h"

namespace routalo {

BatchGuard::BatchGuard(const std::vector<std::string>& logs) {
    for (const std::string& log : logs) {
        if (const std::optional<FileIdentity> identity = IdentityOfFile(log)) {
            kept_.emplace(*identity, "it is another LOG of this command, " + log);
        }
    }
}

void BatchGuard::KeepDocument(const FileIdentity& document, const std::string& log) {
    kept_.emplace(document, "it holds the document just made from " + log);
}

std::optional<std::string> BatchGuard::ReasonToKeep(const FileIdentity& identity) const {
    const auto kept = kept_.find(identity);
    if (kept == kept_.end()) {
        return std::nullopt;
    }
    return kept->second;
}

}  // namespace routalo
