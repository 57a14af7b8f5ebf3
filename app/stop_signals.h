#pragma once

#include <csignal>

namespace routalo {

// The number of the first interrupt, terminate or hang-up signal that
// reached the program since CatchStopSignals; 0 until one comes.
extern volatile std::sig_atomic_t stopSignal;

// Makes SIGINT, SIGTERM and SIGHUP ask for a stop instead of ending the
// program: the first one sets stopSignal, and a conversion stops at the end
// of its line. A second one ends the program at once, as without this.
void CatchStopSignals();

// Makes a write to a pipe whose reader went away, or past the file-size
// limit, fail with an error (EPIPE, EFBIG) that the conversion reports,
// instead of killing the program on the spot with SIGPIPE or SIGXFSZ.
void IgnoreWriteSignals();

}  // namespace routalo
