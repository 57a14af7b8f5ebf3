#include <windows.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "conversion/errors.h"
#include "conversion/files/path_style.h"
#include "conversion/files/system_error_win32.h"
#include "conversion/files/system_file.h"
#include "conversion/stop/stop_request.h"
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

// `path` made absolute by the system, as its calls would take it; nothing
// where the system cannot.
std::optional<std::wstring> FullPath(const std::wstring& path) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return std::nullopt;
    }
    full.resize(length);
    return full;
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
    const std::optional<std::wstring> fullPath = FullPath(wide);
    if (!fullPath) {
        return wide;
    }
    const std::wstring& full = *fullPath;
    // The device namespace ("\\.\C:\...", and "//./" or "//?/", which the
    // full path writes with backslashes) stays where it is, given the prefix
    // that lifts the limit; only \\server\share\... is a network path.
    if (full.starts_with(L"\\\\.\\") || full.starts_with(L"\\\\?\\")) {
        return L"\\\\?\\" + full.substr(4);
    }
    if (full.starts_with(L"\\\\")) {  // \\server\share\... becomes \\?\UNC\server\share\...
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

// The device name that Windows reserves and that the last component of
// `path` is, whatever its extension ("nul.kml" is NUL, "com¹.csv" is
// COM¹), or an empty text for any other name. Such a name is a device
// wherever a path is not given with "\\?\", and even there Explorer cannot
// delete a file of that name.
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
    if (!upper.starts_with("COM") && !upper.starts_with("LPT")) {
        return {};
    }
    // A digit 1 to 9, or the superscript one, two or three (U+00B9, U+00B2,
    // U+00B3, in UTF-8 C2 B9, C2 B2, C2 B3).
    const std::string_view number = std::string_view(upper).substr(3);
    const bool digit = number.size() == 1 && number[0] >= '1' && number[0] <= '9';
    const bool superscript = number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
    return digit || superscript ? upper : std::string();
}

// Refuses `path` when its name is one that Windows reserves for a device.
void RefuseReservedDeviceName(const std::string& path) {
    if (const std::string device = ReservedDeviceName(path); !device.empty()) {
        throw FileRefused("Windows reserves the name " + device + " for a device");
    }
}

// Whether opening `path` would open the device its name is reserved for,
// as it does wherever the path does not reach the system with "\\?\".
bool OpensADevice(const std::string& path) {
    return !ReservedDeviceName(path).empty() && !WindowsPath(path).starts_with(L"\\\\?\\");
}

// Whether `path` certainly names a file in a file system: on a drive
// ("C:\...", also in the device namespace), on a volume ("\\?\Volume{...}\")
// or on a share ("\\server\share\...") other than the pipes' and the
// mailslots'. Opening a pipe connects to its server, which takes the
// connection as the one it serves; opening a device may wait for ever.
bool NamesAFileOnADisk(const std::string& path) {
    if (OpensADevice(path)) {
        return false;
    }
    const std::wstring wide = WindowsPath(path);
    std::optional<std::wstring> fullPath = FullPath(wide);
    if (!fullPath) {
        return false;
    }
    std::wstring& full = *fullPath;
    std::transform(full.begin(), full.end(), full.begin(), [](wchar_t c) {
        return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    });
    const auto onADrive = [](std::wstring_view rest) {
        return rest.size() >= 3 && rest[0] >= L'A' && rest[0] <= L'Z' && rest[1] == L':' &&
               rest[2] == L'\\';
    };
    const auto onAShare = [](std::wstring_view rest) {  // "server\share\..."
        const std::size_t shareStart = rest.find(L'\\');
        if (shareStart == std::wstring_view::npos) {
            return false;
        }
        const std::wstring_view share =
            rest.substr(shareStart + 1, rest.find(L'\\', shareStart + 1) - shareStart - 1);
        return !share.empty() && share != L"PIPE" && share != L"MAILSLOT";
    };
    std::wstring_view rest = full;
    if (rest.starts_with(L"\\\\?\\") || rest.starts_with(L"\\\\.\\")) {
        rest.remove_prefix(4);
        if (rest.starts_with(L"UNC\\")) {
            return onAShare(rest.substr(4));
        }
        return onADrive(rest) || rest.starts_with(L"VOLUME{");
    }
    if (rest.starts_with(L"\\\\")) {
        return onAShare(rest.substr(2));
    }
    return onADrive(rest);
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

}  // namespace

// A log named like a device is not opened where that would open the
// device: a serial port waits for ever, CON reads the keyboard.
SystemFile SystemFile::OpenForReading(const std::string& path) {
    if (OpensADevice(path)) {
        RefuseReservedDeviceName(path);
    }
    return SystemFile(
        reinterpret_cast<std::intptr_t>(OpenHandle(path, GENERIC_READ, OPEN_EXISTING)));
}

// A document must be a file: writing to a device would report a document
// that does not exist. A name reserved for a device is refused also where
// "\\?\" makes it a file, as it does for every path that is too long
// without it: Explorer cannot delete such a file.
SystemFile SystemFile::OpenForWriting(const std::string& path) {
    RefuseReservedDeviceName(path);
    SystemFile file(reinterpret_cast<std::intptr_t>(OpenHandle(path, GENERIC_WRITE, OPEN_ALWAYS)));
    if (file.Look().device) {
        throw FileRefused("it is a device, not a file");
    }
    return file;
}

// Made under a unique name in the user's folder for temporary files, and
// opened so that the system deletes it with the last handle: also when the
// process is ended by force.
SystemFile SystemFile::OpenTemporary() {
    std::array<wchar_t, MAX_PATH + 1> folder{};
    std::array<wchar_t, MAX_PATH + 1> name{};
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
    if (length == 0 || length > folder.size() ||
        ::GetTempFileNameW(folder.data(), L"rta", 0, name.data()) == 0) {
        Fail("cannot create a temporary file");
    }
    const HANDLE handle =
        ::CreateFileW(name.data(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const std::error_code error = LastWindowsError();
        ::DeleteFileW(name.data());
        throw FileError(error, "cannot create a temporary file");
    }
    return SystemFile(reinterpret_cast<std::intptr_t>(handle));
}

void SystemFile::Seek(std::uint64_t offset) {
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(Handle(handle_), distance, nullptr, FILE_BEGIN)) {
        Fail("cannot move in the file");
    }
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

bool RemoveFile(const std::string& path) noexcept {
    try {
        return ::DeleteFileW(WindowsPath(path).c_str()) != 0;
    } catch (...) {  // the path's conversion could not have its memory
        return false;
    }
}

// Only a file on a disk is opened to learn its identity; a pipe or a device
// has none, and cannot be a document.
std::optional<FileIdentity> IdentityOfFile(const std::string& path) {
    if (!NamesAFileOnADisk(path)) {
        return std::nullopt;
    }
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
