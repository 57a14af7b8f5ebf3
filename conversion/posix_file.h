#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <thread>

#include "conversion/file_identity.h"

// Thin wrappers over the operating system's file calls, private to the text
// file layer. Each throws FileError with the system's reason on failure. A
// call that a signal interrupted is made again, unless a stop was asked for
// (see stop_request.h): then it throws StopRequested, so that a wait for a
// pipe's other end, or an endless read, ends with the stop.
namespace routalo::posix_file {

// The two calls that move bytes between a file and memory. Tests put
// stand-ins here to make a read or a write fail part-way, as a failing disk
// does; the program itself never changes them.
struct ByteCalls {
    ssize_t (*read)(int fd, void* buffer, std::size_t size);
    ssize_t (*write)(int fd, const void* data, std::size_t size);
};
extern ByteCalls byteCalls;

int OpenForReading(const std::string& path);
// Opens `path` for writing, creating it when missing, without emptying it.
int OpenForWriting(const std::string& path);
// What the text files need to know of an open file, from one look at it.
struct FileStatus {
    FileIdentity identity;
    bool directory = false;
    bool regular = false;  // a regular file, which can be cut back
    bool device = false;   // a device (/dev/null, a terminal), which holds no document
};
FileStatus StatusOf(int fd);
// Takes the exclusive lock on `fd` without waiting: false when another open
// file holds it. Where the file system keeps no locks the file stays
// unlocked and this returns true.
bool TryLock(int fd);
void Truncate(int fd, std::size_t size);
// Makes writes to `fd`, which is no regular file (a pipe, a terminal), wait
// in WriteAll where a stop can end the wait, instead of inside write().
void MakeWritesStoppable(int fd);
// Makes the pipe through which WakeWaitingWrites wakes the writes that wait
// for a pipe's other end; without it they see a stop only once that other
// end moves. Once a process.
void OpenWakeUpPipe();
// Wakes the writes that wait for the other end of a pipe, so that they see
// a stop asked for. Safe in a signal handler.
void WakeWaitingWrites() noexcept;
// Starts `run` on a thread of its own that no signal interrupts: signals
// go to the main thread, whose waits they are meant to end.
[[nodiscard]] std::thread StartThreadWithoutSignals(std::function<void()> run);
std::size_t Read(int fd, char* buffer, std::size_t size);
// Writes up to `size` bytes; returns how many were written before a failure
// and sets `error` to the reason then (0 when all went out), so that the
// caller knows how far the file got. Once a stop is asked for, a write that
// waits for a pipe's reader gives up, with EINTR, when the reader has not
// taken the rest within a moment. Throws nothing, for the writer thread.
std::size_t WriteAll(int fd, const char* data, std::size_t size, int& error);
// Asks the system to start writing `size` bytes from `offset` of `fd` to
// the disk now, without waiting for them. A large document then goes out
// while it is being made instead of piling up in memory until the end.
// Only a hint: where the system has no such call, or it fails, nothing
// happens.
void StartWriteBack(int fd, std::size_t offset, std::size_t size) noexcept;
// Closes `fd`; returns the system's error number, or 0.
int Close(int fd) noexcept;

}  // namespace routalo::posix_file
