#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <string_view>
#include <utility>

#include "conversion/errors.h"
#include "conversion/path_style.h"
#include "conversion/stop_request.h"
#include "conversion/system_error_win32.h"
#include "conversion/system_file.h"
#include "conversion/utf16.h"

namespace routalo {
namespace {

HANDLE Handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);  // NOLINT(performance-no-int-to-ptr)
}

[[noreturn]] void Fail(const char* doing) {
    throw FileError(LastWindowsError(), doing);
}

[[noreturn]] void FailToOpen() {
    throw FileError(LastWindowsError());
}

// `path` as Windows takes it: UTF-16, and made absolute with the "\\?\"
// prefix when it is longer than the 260 characters that the system's calls
// take otherwise.
std::wstring WindowsPath(const std::string& path) {
    const std::u16string utf16 = Utf16FromUtf8(path);
    std::wstring wide(utf16.begin(), utf16.end());
    if (wide.size() < MAX_PATH - 12 || wide.starts_with(L"\\\\?\\")) {
        return wide;
    }
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return wide;
    }
    full.resize(length);
    if (full.starts_with(L"\\\\")) {  // \\server\share\... becomes \\?\UNC\server\share\...
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

// The device that the last component of `path` names to Windows, whatever
// its extension ("nul.kml" is NUL), or an empty text for a file name.
std::string ReservedDeviceName(std::string_view path) {
    std::string_view name = path.substr(path.find_last_of(kFolderSeparators) + 1);
    name = name.substr(0, name.find('.'));
    while (!name.empty() && (name.back() == ' ')) {
        name.remove_suffix(1);
    }
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    static constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                                 "NUL", "CONIN$", "CONOUT$"};
    if (std::find(kDevices.begin(), kDevices.end(), upper) != kDevices.end()) {
        return upper;
    }
    if (upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
        upper[3] >= '1' && upper[3] <= '9') {
        return upper;
    }
    return {};
}

HANDLE OpenHandle(const std::string& path, DWORD access, DWORD disposition) {
    // Others may read and write the file meanwhile, as on POSIX systems; the
    // lock on a document keeps a second writer out.
    const HANDLE handle = ::CreateFileW(WindowsPath(path).c_str(), access,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_OPERATION_ABORTED) {
            ThrowIfStopRequested();
        }
        FailToOpen();
    }
    return handle;
}

// A stop ends the waits of these threads: the main thread's, whose reads
// and opens may wait for a pipe, and the writer threads'. CancelSynchronousIo
// ends a wait in a read, a write or an open of a pipe.
constexpr std::size_t kMostThreads = 8;
std::array<std::atomic<HANDLE>, kMostThreads> stoppableThreads{};

void AddStoppableThread(HANDLE thread) {
    for (std::atomic<HANDLE>& slot : stoppableThreads) {
        HANDLE empty = nullptr;
        if (slot.compare_exchange_strong(empty, thread)) {
            return;
        }
    }
    ::CloseHandle(thread);  // more threads than slots: this one waits unwoken
}

void RemoveStoppableThread(DWORD id) {
    for (std::atomic<HANDLE>& slot : stoppableThreads) {
        HANDLE thread = slot.load();
        if (thread != nullptr && ::GetThreadId(thread) == id &&
            slot.compare_exchange_strong(thread, nullptr)) {
            ::CloseHandle(thread);
            return;
        }
    }
}

HANDLE CurrentThread() {
    HANDLE thread = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &thread,
                      0, FALSE, DUPLICATE_SAME_ACCESS);
    return thread;
}

}  // namespace

SystemFile SystemFile::OpenForReading(const std::string& path) {
    return SystemFile(
        reinterpret_cast<std::intptr_t>(OpenHandle(path, GENERIC_READ, OPEN_EXISTING)));
}

// A document must be a file: Windows takes a name such as "nul.kml" as the
// device NUL, and writing to it would report a document that does not exist.
SystemFile SystemFile::OpenForWriting(const std::string& path) {
    if (const std::string device = ReservedDeviceName(path); !device.empty()) {
        throw FileRefused("Windows takes this name as the device " + device);
    }
    SystemFile file(reinterpret_cast<std::intptr_t>(OpenHandle(path, GENERIC_WRITE, OPEN_ALWAYS)));
    if (file.Look().device) {
        throw FileRefused("it is a device, not a file");
    }
    return file;
}

// The volume's serial number and the file's index tell files apart as a
// device and an inode do, so a hard link or another spelling of a name
// ("RIT.KML" for "rit.kml") is the same file.
SystemFile::Status SystemFile::Look() const {
    Status status;
    const DWORD type = ::GetFileType(Handle(handle_));
    status.device = type == FILE_TYPE_CHAR;
    if (type != FILE_TYPE_DISK) {
        return status;  // a pipe or a device has no volume and no index
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(Handle(handle_), &information)) {
        Fail("cannot inspect the file");
    }
    status.identity = {
        information.dwVolumeSerialNumber,
        (std::uint64_t{information.nFileIndexHigh} << 32U) | information.nFileIndexLow};
    status.directory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status.regular = !status.directory;
    return status;
}

// Only files on a disk take locks: a pipe stays unlocked.
bool SystemFile::TryLock() {
    if (::GetFileType(Handle(handle_)) != FILE_TYPE_DISK) {
        return true;
    }
    OVERLAPPED whole{};
    if (::LockFileEx(Handle(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                     MAXDWORD, MAXDWORD, &whole)) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
        return false;
    }
    if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED) {
        return true;  // a file system without locks
    }
    Fail("cannot lock the file");
}

void SystemFile::Truncate(std::size_t size) {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFilePointerEx(Handle(handle_), position, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(Handle(handle_))) {
        Fail("cannot empty the file");
    }
}

// Writes that wait for a pipe's reader are ended by CancelSynchronousIo.
void SystemFile::MakeWritesStoppable() {}

// Writes on Windows wait inside WriteFile, which CancelSynchronousIo ends:
// they never ask to wait here.
bool SystemFile::WaitUntilWritable(std::chrono::steady_clock::time_point& /*giveUpAt*/) const {
    return false;
}

void SystemFile::StartWriteBack(std::size_t /*offset*/, std::size_t /*size*/) noexcept {}

std::error_code SystemFile::Close() noexcept {
    if (handle_ == kClosed) {
        return {};
    }
    if (!::CloseHandle(Handle(std::exchange(handle_, kClosed)))) {
        return LastWindowsError();
    }
    return {};
}

void PrepareWakeUps() {
    AddStoppableThread(CurrentThread());
}

void WakeWaitingWrites() noexcept {
    for (std::atomic<HANDLE>& slot : stoppableThreads) {
        if (const HANDLE thread = slot.load(); thread != nullptr) {
            ::CancelSynchronousIo(thread);
        }
    }
}

std::thread StartWriterThread(std::function<void()> run) {
    return std::thread([run = std::move(run)] {
        AddStoppableThread(CurrentThread());
        run();
        RemoveStoppableThread(::GetCurrentThreadId());
    });
}

std::optional<FileIdentity> IdentityOfFile(const std::string& path) {
    const HANDLE handle = ::CreateFileW(
        WindowsPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = ::GetFileInformationByHandle(handle, &information) != 0;
    ::CloseHandle(handle);
    if (!known) {
        return std::nullopt;
    }
    return FileIdentity{
        information.dwVolumeSerialNumber,
        (std::uint64_t{information.nFileIndexHigh} << 32U) | information.nFileIndexLow};
}

}  // namespace routalo
