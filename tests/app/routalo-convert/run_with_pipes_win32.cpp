// A test helper for the Windows converter: starts a program with arguments
// exactly as given in UTF-16, optionally serving named pipes to it, and
// exits with the program's exit status.
//
//   run-with-pipes [--log-pipe PIPE FILE] [--document-pipe PIPE FILE] -- PROGRAM [ARGUMENT...]
//
// "{U+XXXX}" in an argument is the one UTF-16 unit XXXX, so that a lone
// surrogate can be given. --log-pipe serves one connection to PIPE with the
// bytes of FILE, then disconnects it; --document-pipe takes what its one client writes to PIPE
// into FILE. Each pipe has a single instance, so a second client is refused
// ("Pipe busy") while the first one is served.
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

// `text` with every "{U+XXXX}" replaced by its unit.
std::wstring Unescaped(const std::wstring& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 3, L"{U+") == 0 && i + 7 < text.size() && text[i + 7] == L'}') {
            out += static_cast<wchar_t>(std::wcstoul(text.substr(i + 3, 4).c_str(), nullptr, 16));
            i += 7;
        } else {
            out += text[i];
        }
    }
    return out;
}

// One argument quoted as the C runtime reads it back.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

HANDLE MakePipe(const std::wstring& name, DWORD direction) {
    const HANDLE pipe = ::CreateNamedPipeW(name.c_str(), direction, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                           65536, 65536, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        std::wcerr << L"run-with-pipes: cannot make the pipe " << name << L'\n';
        std::exit(125);
    }
    return pipe;
}

// Waits for the pipe's one client; false when the connection failed.
bool Connect(HANDLE pipe) {
    return ::ConnectNamedPipe(pipe, nullptr) != 0 || ::GetLastError() == ERROR_PIPE_CONNECTED;
}

// Ends as Windows' documentation shows a server: once the client has read
// every byte, it disconnects the client, whose next read then fails with
// ERROR_PIPE_NOT_CONNECTED, and closes the pipe.
void ServeLog(HANDLE pipe, std::string bytes) {
    if (Connect(pipe)) {
        DWORD put = 0;
        ::WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
        ::FlushFileBuffers(pipe);
        ::DisconnectNamedPipe(pipe);
    }
    ::CloseHandle(pipe);
}

void TakeDocument(HANDLE pipe, const std::wstring& file) {
    std::string bytes;
    if (Connect(pipe)) {
        char buffer[65536];
        DWORD got = 0;
        while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            bytes.append(buffer, got);
        }
    }
    ::CloseHandle(pipe);
    std::ofstream(file.c_str(), std::ios::binary) << bytes;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
    std::vector<std::wstring> pipes;
    std::vector<std::thread> servers;
    int next = 1;
    for (; next + 2 < argc && argv[next][0] == L'-' && argv[next][1] == L'-' && argv[next][2];
         next += 3) {
        const std::wstring option = argv[next];
        const std::wstring pipe = argv[next + 1];
        const std::wstring file = argv[next + 2];
        pipes.push_back(pipe);
        if (option == L"--log-pipe") {
            std::ifstream in(file.c_str(), std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
            servers.emplace_back(ServeLog, MakePipe(pipe, PIPE_ACCESS_OUTBOUND), std::move(bytes));
        } else if (option == L"--document-pipe") {
            servers.emplace_back(TakeDocument, MakePipe(pipe, PIPE_ACCESS_INBOUND), file);
        } else {
            break;
        }
    }
    if (next >= argc || std::wstring(argv[next]) != L"--" || next + 1 >= argc) {
        std::wcerr << L"usage: run-with-pipes [--log-pipe PIPE FILE] [--document-pipe PIPE FILE] "
                      L"-- PROGRAM [ARGUMENT...]\n";
        return 125;
    }
    std::wstring commandLine;
    for (int i = next + 1; i < argc; ++i) {
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(Unescaped(argv[i]));
    }
    // The program writes where this one writes.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    for (const HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
        ::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process)) {
        std::wcerr << L"run-with-pipes: cannot start " << argv[next + 1] << L'\n';
        return 125;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 125;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    // A pipe that the program never opened still waits for its client: be
    // that client, so that its server ends.
    for (const std::wstring& pipe : pipes) {
        for (const DWORD access :
             {DWORD{GENERIC_READ}, DWORD{GENERIC_WRITE}}) {  // the side the server left
            const HANDLE client =
                ::CreateFileW(pipe.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (client != INVALID_HANDLE_VALUE) {
                ::CloseHandle(client);
                break;
            }
        }
    }
    for (std::thread& server : servers) {
        server.join();
    }
    return static_cast<int>(status);
}
