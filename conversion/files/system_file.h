#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

#include "conversion/files/file_identity.h"

namespace routalo {

// An open file of the system, which the object owns and closes when it goes.
// The one place where the text files meet the system's file calls; each
// system has its implementation beside this header. Paths are UTF-8.
//
// A call that fails throws FileError with the system's code. A wait in an
// open or a read that a stop interrupts (conversion/stop/) throws
// StopRequested instead of going on.
class SystemFile {
  public:
    // What the text files need to know of an open file, from one look at it.
    struct Status {
        FileIdentity identity;
        bool directory = false;
        bool regular = false;  // a regular file, which can be cut back
        bool device = false;   // a device (/dev/null, a terminal), which holds no document
    };

    [[nodiscard]] static SystemFile OpenForReading(const std::string& path);
    // Opens `path` for writing, creating it when missing, without emptying it.
    [[nodiscard]] static SystemFile OpenForWriting(const std::string& path);
    // Creates a file for reading and writing in the system's folder for
    // temporary files (TMPDIR or /tmp; Windows' TEMP) that no name leads to
    // once it is open, or that the system deletes when it closes, however the
    // process ends: nothing is left behind after a failure or a signal.
    [[nodiscard]] static SystemFile OpenTemporary();

    SystemFile() = default;
    ~SystemFile() { Close(); }
    SystemFile(SystemFile&& other) noexcept : handle_(other.handle_) { other.handle_ = kClosed; }
    SystemFile& operator=(SystemFile&& other) noexcept;
    SystemFile(const SystemFile&) = delete;
    SystemFile& operator=(const SystemFile&) = delete;

    [[nodiscard]] bool IsOpen() const { return handle_ != kClosed; }
    [[nodiscard]] Status Look() const;

    // Takes the exclusive lock on the file without waiting: false when
    // another open file holds it. Where the file system keeps no locks the
    // file stays unlocked and this returns true. The lock goes with Close.
    bool TryLock();
    // Cuts the file back, or lengthens it, to `size` bytes.
    void Truncate(std::size_t size);
    // Moves the place of the next read or write to `offset` bytes from the
    // file's start.
    void Seek(std::uint64_t offset);
    // Makes writes to a file that is no regular file (a pipe, a terminal)
    // wait where a stop can end the wait (see WriteAll).
    void MakeWritesStoppable();

    // Reads up to `size` bytes; 0 at the end of the file. Looks for a stop
    // before every read, so that a read that never waits (an endless line
    // from a device) ends with a stop too.
    std::size_t Read(char* buffer, std::size_t size);
    // Writes up to `size` bytes; returns how many were written before a
    // failure and sets `error` to the reason then (cleared when all went
    // out), so that the caller knows how far the file got. Once a stop is
    // asked for, a write that waits for a pipe's reader gives up, with
    // std::errc::interrupted, when the reader has not taken the rest within
    // a moment. Throws nothing, for the writer thread.
    std::size_t WriteAll(const char* data, std::size_t size, std::error_code& error) noexcept;
    // Asks the system to start writing `size` bytes from `offset` to the
    // disk now, without waiting for them, so that a large document goes out
    // while it is being made instead of piling up in memory until the end.
    // Only a hint: where the system has no such call, nothing happens.
    void StartWriteBack(std::size_t offset, std::size_t size) noexcept;

    // Closes the file; returns the system's reason when that fails. Closing
    // a closed file does nothing.
    std::error_code Close() noexcept;

  private:
    explicit SystemFile(std::intptr_t handle) : handle_(handle) {}

    // A descriptor on POSIX systems, a HANDLE on Windows; both use -1 for none.
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;
};

// Removes the file `path` names (a link itself, not what it leads to);
// false when the system refuses.
bool RemoveFile(const std::string& path) noexcept;

}  // namespace routalo
