#include "app/routalo/window_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

// The window program reads its command line alike on both systems; this
// runs on Linux and, with MinGW's getopt_long, under Wine.
TEST(WindowCommandLine, TellsWhatEachCommandLineAsksFor) {
    const testing::ScratchFolder scratch;
    const std::string log = scratch.Write("-rit.csv", "");
    const std::string missing = scratch.File("weg.csv");
    using Request = WindowStart::Request;
    struct Case {
        std::vector<std::string> arguments;
        Request request;
        std::string file;
        std::string message;
    };
    const Case cases[] = {
        {{}, Request::kOpenWindow, "", ""},
        {{log}, Request::kOpenWindow, log, ""},
        {{"--", log}, Request::kOpenWindow, log, ""},
        {{missing}, Request::kOpenWindow, "", missing + ": no such file"},
        {{log, log},
         Request::kOpenWindow,
         "",
         "2 files given, but the window takes one; it opens without a file"},
        {{"-h", log}, Request::kHelp, "", ""},
        {{"-V", "--help"}, Request::kHelp, "", ""},
        {{"--vers"}, Request::kVersion, "", ""},
        {{"--help", "--bogus"}, Request::kUsageError, "", "unrecognized option '--bogus'"},
        {{"-x"}, Request::kUsageError, "", "invalid option -- 'x'"},
        {{"--version=1"}, Request::kUsageError, "", "option '--version' doesn't allow an argument"},
    };
    for (const Case& c : cases) {
        const std::string shown = c.arguments.empty() ? "(none)" : c.arguments.front();
        const WindowStart start = ReadWindowCommandLine(c.arguments);
        EXPECT_EQ(start.request, c.request) << shown;
        EXPECT_EQ(start.file, c.file) << shown;
        EXPECT_EQ(start.message, c.message) << shown;
    }
}

}  // namespace
}  // namespace routalo
