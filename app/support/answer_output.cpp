#include "app/support/answer_output.h"

#include <cerrno>
#include <cstring>

#include "app/support/printable_text.h"

namespace routalo {

int WriteAnswer(std::string_view program, std::string_view text, std::ostream& output,
                std::ostream& errors) {
    errno = 0;
    output << text << std::flush;
    if (output) {
        return 0;
    }
    const int error = errno;
    errors << program << ": write error";
    if (error != 0) {
        errors << ": " << std::strerror(error);
    }
    errors << '\n';
    return 1;
}

int RefuseUsage(std::string_view program, std::string_view usage, std::string_view reason,
                std::ostream& errors) {
    errors << program << ": " << PrintableText(reason) << '\n'
           << usage << "Try '" << program << " --help' for more information.\n";
    return kExitUsage;
}

}  // namespace routalo
