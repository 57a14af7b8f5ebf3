#include <windows.h>

#include <iostream>
#include <new>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "app/routalo-convert/convert_command.h"
#include "conversion/stop/stop_signals.h"
#include "conversion/utf16.h"

namespace {

// Text for standard output or standard error, which the program writes in
// UTF-8: into a console as UTF-16 (WriteConsoleW), so that every character
// shows whatever the console's code page; into a file or a pipe as the
// UTF-8 bytes themselves. A line goes out as soon as it ends.
class StandardStream final : public std::streambuf {
  public:
    explicit StandardStream(DWORD which) : handle_(::GetStdHandle(which)) {
        DWORD mode = 0;
        console_ = ::GetConsoleMode(handle_, &mode) != 0;
    }
    StandardStream(const StandardStream&) = delete;
    StandardStream& operator=(const StandardStream&) = delete;
    ~StandardStream() override { sync(); }

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        pending_ += traits_type::to_char_type(c);
        if (c == '\n' && sync() != 0) {
            return traits_type::eof();
        }
        return c;
    }

    std::streamsize xsputn(const char* text, std::streamsize size) override {
        pending_.append(text, static_cast<std::size_t>(size));
        if (pending_.find('\n') != std::string::npos && sync() != 0) {
            return 0;
        }
        return size;
    }

    int sync() override {
        if (pending_.empty()) {
            return 0;
        }
        const bool written = console_ ? ToConsole() : ToFile();
        pending_.clear();
        return written ? 0 : -1;
    }

  private:
    bool ToConsole() const {
        const std::u16string text = routalo::Utf16FromUtf8(pending_);
        DWORD put = 0;
        return ::WriteConsoleW(handle_, text.data(), static_cast<DWORD>(text.size()), &put,
                               nullptr) != 0;
    }

    bool ToFile() const {
        std::string_view rest = pending_;
        while (!rest.empty()) {
            DWORD put = 0;
            if (!::WriteFile(handle_, rest.data(), static_cast<DWORD>(rest.size()), &put,
                             nullptr) ||
                put == 0) {
                return false;
            }
            rest.remove_prefix(put);
        }
        return true;
    }

    HANDLE handle_;
    bool console_ = false;
    std::string pending_;
};

}  // namespace

// Windows hands the arguments over in UTF-16, so that every file name
// arrives whole; the program takes them in UTF-8.
int wmain(int argc, wchar_t* argv[]) {
    routalo::CatchStopSignals();
    StandardStream outputBuffer(STD_OUTPUT_HANDLE);
    StandardStream errorBuffer(STD_ERROR_HANDLE);
    std::ostream output(&outputBuffer);
    std::ostream errors(&errorBuffer);
    int status = routalo::kExitConversionFailed;
    try {
        std::vector<std::string> arguments;
        for (int i = 1; i < argc; ++i) {
            arguments.push_back(routalo::Utf8FromUtf16(reinterpret_cast<const char16_t*>(argv[i])));
        }
        status = routalo::RunConvertCommand(arguments, output, errors);
    } catch (const std::bad_alloc&) {
        // Caught, so that every open document is closed with whole lines.
        errors << "routalo-convert: out of memory\n";
    }
    routalo::StopNudging();
    return status;
}
