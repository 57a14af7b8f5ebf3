#pragma once

namespace routalo {

// Makes SIGINT, SIGTERM and SIGHUP ask for a stop (stop_request.h) instead
// of ending the program: a conversion then stops at the end of its line, and
// a wait in an open, a read or a write ends. A second one ends the program
// at once, as without this.
void CatchStopSignals();

// Makes a write to a pipe whose reader went away, or past the file-size
// limit, fail with an error (EPIPE, EFBIG) that the conversion reports,
// instead of killing the program on the spot with SIGPIPE or SIGXFSZ.
void IgnoreWriteSignals();

}  // namespace routalo
