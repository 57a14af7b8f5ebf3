#pragma once

// What a program on a POSIX system sets up first, at the start of main:
// its standard descriptors and the signals of a failed write.
namespace routalo {

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed, as
// daemons do, before the program opens anything else. A program started
// with standard input or error closed (`routalo-convert x.csv <&- 2>&-`)
// would otherwise get those numbers for files and pipes of its own, and a
// message to standard error would go into one of them. POSIX systems only;
// once, at the start of main.
void OpenClosedStandardDescriptors() noexcept;

// Makes a write to a pipe whose reader went away, or past the file-size
// limit, fail with an error (EPIPE, EFBIG) that the conversion reports,
// instead of killing the program on the spot with SIGPIPE or SIGXFSZ.
// POSIX systems only: Windows reports those as errors already.
void IgnoreWriteSignals();

}  // namespace routalo
