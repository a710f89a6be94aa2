#pragma once
// 64-bit positions over the C runtime's buffered files, and the bounds check every reader uses.

#include <cstdint>
#include <cstdio>
#include <string>

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
