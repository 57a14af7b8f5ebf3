#pragma once

namespace routalo {

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed, as
// daemons do, before the program opens anything else. A program started
// with standard input or error closed (`routalo-convert x.csv <&- 2>&-`)
// would otherwise get those numbers for files and pipes of its own, and a
// message to standard error would go into one of them. POSIX systems only;
// once, at the start of main.
void OpenClosedStandardDescriptors() noexcept;

}  // namespace routalo
