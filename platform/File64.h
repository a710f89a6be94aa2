#pragma once
// 64-bit positions over the C runtime's buffered files, the bounds check every reader uses, and
// whole reads and writes on descriptors, each resumed when a signal interrupts it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct iovec;
struct stat;

// True when [offset, offset + size) lies within a file of fileLength bytes; never overflows.
inline bool FitsInFile(uint64_t offset, uint64_t size, uint64_t fileLength)
{
    return offset <= fileLength && size <= fileLength - offset;
}

// Length of an open file in bytes, or -1; the file position is left unchanged.
int64_t FileLength(FILE* file);
bool Seek64(FILE* file, int64_t offset, int origin = SEEK_SET);
int64_t Tell64(FILE* file);

// One file under any name (hard links too): the same device and inode.
bool SameFile(const struct stat& a, const struct stat& b);
// The same for a file already examined and a path; false when the path is empty or names nothing.
bool SameFile(const struct stat& a, const std::string& path);
// The same for two paths; false when either names nothing.
bool SameFile(const std::string& a, const std::string& b);

// What a read brought. `bytes` falls short of the size asked for only at the end of the file (or
// of a pipe whose writers are gone), where `error` is 0, or after a failure, where `error` is the
// failing call's errno, which errno still holds. The bytes before a failure are in the buffer.
struct [[nodiscard]] FileReadResult
{
    size_t bytes = 0;
    int error = 0;
};

// Reads `size` bytes from the file position into `buffer`, going on after short reads and after
// calls a signal interrupted.
FileReadResult ReadFully(int fd, void* buffer, size_t size);
// The same at `offset`, leaving the file position alone. Bytes the system cannot address (past
// INT64_MAX) are not asked for: the read stops there with EINVAL.
FileReadResult ReadFullyAt(int fd, void* buffer, size_t size, uint64_t offset);
// One positioned read into `count` parts in a single call, resumed only when a signal interrupts
// it: it may bring fewer bytes than the parts hold although more are in the file. Callers that
// need them all read the rest with ReadFullyAt.
FileReadResult ReadVectorAt(int fd, const struct iovec* parts, int count, uint64_t offset);

// Writes all `size` bytes at the file position, going on after short writes and after calls a
// signal interrupted. False when a call fails (errno is its errno; a call that writes nothing
// without one gives EIO). The bytes written before the failure stay: callers that must not leave
// them cut the file back.
[[nodiscard]] bool WriteFully(int fd, const void* data, size_t size);
// The same at `offset`, leaving the file position alone; bytes past INT64_MAX fail with EINVAL.
[[nodiscard]] bool WriteFullyAt(int fd, const void* data, size_t size, uint64_t offset);
