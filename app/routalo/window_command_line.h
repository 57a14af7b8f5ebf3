#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace routalo {

// What the command line of the window program asks for; both systems' window
// programs read it alike and differ only in how they answer: on a terminal,
// or in message boxes.
struct WindowStart {
    enum class Request : std::uint8_t { kOpenWindow, kHelp, kVersion, kUsageError };
    Request request = Request::kOpenWindow;
    // With kOpenWindow: the file that counts as chosen with "File open", as
    // the bytes of its argument; empty for none.
    std::string file;
    // With kOpenWindow: why the FILEs given are not taken, said before the
    // window opens without a file (FileArgumentProblem); empty when there is
    // nothing to say. With kUsageError: why the command line was not
    // understood ("unrecognized option '--bogus'").
    std::string message;
};

inline constexpr std::string_view kWindowProgram = "routalo";
inline constexpr std::string_view kWindowUsage = "Usage: routalo [FILE]\n";
// The answer to --help: the usage line, then what the program does and its options.
[[nodiscard]] std::string WindowHelpText();

// Reads the arguments of the window program after its name, bytes that need
// not be UTF-8 (UTF-8 on Windows): -h or --help, -V or --version, and at
// most one FILE; a first "--" ends the options. A command line that is not
// understood wins over --help and --version.
[[nodiscard]] WindowStart ReadWindowCommandLine(const std::vector<std::string>& arguments);

}  // namespace routalo
