#include "app/answer_output.h"

#include <cerrno>
#include <cstring>

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

}  // namespace routalo
