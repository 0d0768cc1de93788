// Opening input files the program did not make: only regular files are read, and reads stay
// within a cap, so a FIFO, a device such as /dev/zero or a huge file cannot stall or flood
// the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Opens path read-only when it is a regular file. A FIFO, device, socket or folder is refused
// without blocking (the open does not wait for a FIFO's writer). Returns the descriptor
// (close-on-exec), or -1 with errno set: EISDIR for a folder, EINVAL for the other kinds.
int openRegularFile(const std::string& path);

enum class ReadResult { Ok, Unreadable, TooLarge };

struct stat;
// Reads the whole regular file at path into out when it holds at most maxBytes. identity, when
// given, receives the status of the file that was read (as fstat gives it).
ReadResult readRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& out,
                           struct stat* identity = nullptr);

// The first limit bytes of the regular file at path (all of it when limit is 0, or as many
// as it has); empty when it cannot be opened or read.
std::string readFileHead(const std::string& path, std::size_t limit);

// Writes bytes to path (created or truncated), checking every write and the close, so a full
// file system is a failure rather than a short file. Returns 0 or the errno of the failure;
// a regular file left half-written is removed.
int writeWholeFile(const std::string& path, std::string_view bytes);
