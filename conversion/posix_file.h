#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "conversion/file_identity.h"

// Thin wrappers over the operating system's file calls, private to the text
// file layer. Each throws FileError with the system's reason on failure and
// retries calls that a signal interrupted.
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
};
FileStatus StatusOf(int fd);
// Takes the exclusive lock on `fd` without waiting: false when another open
// file holds it. Where the file system keeps no locks the file stays
// unlocked and this returns true.
bool TryLock(int fd);
void Truncate(int fd, std::size_t size);
std::size_t Read(int fd, char* buffer, std::size_t size);
// Writes up to `size` bytes; returns how many were written before a failure
// and sets `error` to the reason then (0 when all went out), so that the
// caller knows how far the file got.
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
