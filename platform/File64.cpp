#include "platform/File64.h"

#include <cerrno>

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr uint64_t kMaxOffset = static_cast<uint64_t>(INT64_MAX);

// `offset + done` as the system's file offset; false with EINVAL past the largest one.
bool SystemOffset(uint64_t offset, size_t done, off_t& at)
{
    if (offset > kMaxOffset || done > kMaxOffset - offset) {
        errno = EINVAL;
        return false;
    }
    at = static_cast<off_t>(offset + done);
    return true;
}

// What `call` returns, made again as long as a signal interrupts it.
template <typename Call>
ssize_t Resumed(Call call)
{
    ssize_t result = 0;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

// Calls `transfer(done)` until `size` bytes have moved, a call moves none or one fails.
// `transfer` returns what read or write returns.
template <typename Transfer>
FileReadResult TransferFully(size_t size, Transfer transfer)
{
    FileReadResult result;
    while (result.bytes < size) {
        const ssize_t moved = Resumed([&] { return transfer(result.bytes); });
        if (moved < 0) {
            result.error = errno;
            break;
        }
        if (moved == 0)
            break;
        result.bytes += static_cast<size_t>(moved);
    }
    return result;
}

// A whole write's outcome: true when all `size` bytes went out, else false with errno set.
bool WroteAll(const FileReadResult& result, size_t size)
{
    if (result.bytes == size)
        return true;
    if (result.error == 0)
        errno = EIO;
    return false;
}

} // namespace

int64_t FileLength(FILE* file)
{
    if (!file)
        return -1;
    struct stat info {};
    if (fstat(fileno(file), &info) != 0)
        return -1;
    return static_cast<int64_t>(info.st_size);
}

bool Seek64(FILE* file, int64_t offset, int origin)
{
    return file && fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

int64_t Tell64(FILE* file)
{
    return file ? static_cast<int64_t>(ftello(file)) : -1;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool SameFile(const struct stat& a, const std::string& path)
{
    struct stat b {};
    return !path.empty() && stat(path.c_str(), &b) == 0 && SameFile(a, b);
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {};
    return stat(a.c_str(), &sa) == 0 && SameFile(sa, b);
}

FileReadResult ReadFully(int fd, void* buffer, size_t size)
{
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    return TransferFully(size, [&](size_t done) { return ::read(fd, bytes + done, size - done); });
}

FileReadResult ReadFullyAt(int fd, void* buffer, size_t size, uint64_t offset)
{
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    return TransferFully(size, [&](size_t done) -> ssize_t {
        off_t at = 0;
        return SystemOffset(offset, done, at) ? ::pread(fd, bytes + done, size - done, at) : -1;
    });
}

FileReadResult ReadVectorAt(int fd, const struct iovec* parts, int count, uint64_t offset)
{
    FileReadResult result;
    off_t at = 0;
    if (!SystemOffset(offset, 0, at)) {
        result.error = errno;
        return result;
    }
    const ssize_t got = Resumed([&] { return ::preadv(fd, parts, count, at); });
    if (got < 0)
        result.error = errno;
    else
        result.bytes = static_cast<size_t>(got);
    return result;
}

bool WriteFully(int fd, const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return WroteAll(
        TransferFully(size, [&](size_t done) { return ::write(fd, bytes + done, size - done); }),
        size);
}

bool WriteFullyAt(int fd, const void* data, size_t size, uint64_t offset)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return WroteAll(TransferFully(size, [&](size_t done) -> ssize_t {
        off_t at = 0;
        return SystemOffset(offset, done, at) ? ::pwrite(fd, bytes + done, size - done, at) : -1;
    }), size);
}
