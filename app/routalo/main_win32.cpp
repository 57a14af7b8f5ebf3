// windows.h before the headers that build on it.
#include <windows.h>

#include <shellapi.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/routalo/window_command_line.h"
#include "app/support/answer_output.h"
#include "app/support/version_text.h"
#include "conversion/utf16.h"
#include "window/win32/frm_main_win32.h"

namespace {

using routalo::WindowStart;

// A message box titled Routalo: a program without a console has no
// standard output or error to answer on.
void Say(const std::string& text, UINT icon) {
    const std::u16string wide = routalo::Utf16FromUtf8(text);
    ::MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(wide.c_str()), L"Routalo",
                  MB_OK | icon);
}

}  // namespace

// The window program for Windows: `routalo [--help] [--version] [[--] FILE]`.
// Windows hands the command line over in UTF-16, so that every file name
// arrives whole; the program takes it in UTF-8. FILE counts as chosen with
// "File open"; more than one, or one that names no file, opens the window
// without, after a message box that says so.
int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; argv != nullptr && i < count; ++i) {
        arguments.push_back(routalo::Utf8FromUtf16(reinterpret_cast<const char16_t*>(argv[i])));
    }
    ::LocalFree(argv);

    const WindowStart start = routalo::ReadWindowCommandLine(arguments);
    switch (start.request) {
        case WindowStart::Request::kHelp:
            Say(routalo::WindowHelpText(), MB_ICONINFORMATION);
            return 0;
        case WindowStart::Request::kVersion:
            Say(routalo::VersionText(routalo::kWindowProgram), MB_ICONINFORMATION);
            return 0;
        case WindowStart::Request::kUsageError: {
            std::ostringstream usage;
            const int status = routalo::RefuseUsage(routalo::kWindowProgram, routalo::kWindowUsage,
                                                    start.message, usage);
            Say(usage.str(), MB_ICONERROR);
            return status;
        }
        case WindowStart::Request::kOpenWindow:
            break;
    }
    if (!start.message.empty()) {
        Say(start.message, 0);
    }
    return routalo::RunWin32Window(start.file);
}
