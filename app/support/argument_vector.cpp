#include "app/support/argument_vector.h"

namespace routalo {

std::vector<char*> ArgumentVector(std::vector<std::string>& texts) {
    std::vector<char*> argv;
    argv.reserve(texts.size() + 1);
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    return argv;
}

}  // namespace routalo
