// windows.h before the headers that build on it.
#include <windows.h>

#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "app/routalo/file_argument.h"
#include "conversion/utf16.h"
#include "window/win32/frm_main_win32.h"

// The window program for Windows: `routalo [--] [FILE]`. Windows hands the
// command line over in UTF-16, so that every file name arrives whole; the
// program takes it in UTF-8. FILE counts as chosen with "File open"; more
// than one argument, or one that names no file, opens the window without,
// after a message box that says so: a program without a console has no
// standard error to say it on.
int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (int i = 1; argv != nullptr && i < count; ++i) {
        const std::string argument =
            routalo::Utf8FromUtf16(reinterpret_cast<const char16_t*>(argv[i]));
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else {
            files.push_back(argument);
        }
    }
    ::LocalFree(argv);
    if (const std::optional<std::string> problem = routalo::FileArgumentProblem(files)) {
        const std::u16string text = routalo::Utf16FromUtf8(*problem);
        ::MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), L"Routalo", MB_OK);
        return routalo::RunWin32Window(std::string());
    }
    return routalo::RunWin32Window(files.empty() ? std::string() : files.front());
}
