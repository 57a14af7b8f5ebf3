#include "app/support/standard_descriptors.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace routalo {

// open() takes the lowest free number, which is the closed standard
// descriptor once those below it are open; it is moved there all the same,
// should it not be.
void OpenClosedStandardDescriptors() noexcept {
    for (int standard = STDIN_FILENO; standard <= STDERR_FILENO; ++standard) {
        if (::fcntl(standard, F_GETFD) >= 0 || errno != EBADF) {
            continue;
        }
        const int fd = ::open("/dev/null", O_RDWR);
        if (fd >= 0 && fd != standard) {
            ::dup2(fd, standard);
            ::close(fd);
        }
    }
}

void IgnoreWriteSignals() {
    for (const int signal : {SIGPIPE, SIGXFSZ}) {
        struct sigaction action {};
        action.sa_handler = SIG_IGN;
        ::sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace routalo
