#include "export/abf/CAbfBlockQueue.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <unistd.h>

#include "export/abf/AbfMessages.h"
#include "export/abf/CAbfOutput.h"
#include "platform/CByteReader.h"
#include "platform/DynamicLibrary.h"
#include "platform/File64.h"
#include "platform/TempFiles.h"

namespace {

constexpr size_t kCopyBlockBytes = 1 << 20;
constexpr size_t kImplodeWorkBytes = 36312;
constexpr unsigned kImplodeBinary = 0;
constexpr unsigned kImplodeDictionary = 2048;

// The compression library's own error numbers, mapped to the file library's below.
constexpr int kNoWorkBuffer = 5;
constexpr int kNoLibrary = 10;
constexpr int kNoFunction = 11;
constexpr int kWriteFailed = 12;

using ReadCallback = unsigned (*)(char* buffer, unsigned* size, void* context);
using WriteCallback = void (*)(char* buffer, unsigned* size, void* context);
using ImplodeFunction = unsigned (*)(ReadCallback, WriteCallback, char* work, void* context,
                                     unsigned* type, unsigned* dictionarySize);
using ExplodeFunction = unsigned (*)(ReadCallback, WriteCallback, char* work, void* context);
using Crc32Function = uint32_t (*)(char* buffer, unsigned* size, uint32_t* running);

// True when all `size` bytes at `position` of a scratch file were read.
bool ReadAt(int fd, uint64_t position, void* data, size_t size)
{
    return ReadFullyAt(fd, data, size, position).bytes == size;
}

// Copies `length` bytes of a scratch file to the output in large pieces.
int CopyFile(int fd, uint64_t length, CAbfOutput& output)
{
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(kCopyBlockBytes, length)));
    for (uint64_t at = 0; at < length;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(block.size(), length - at));
        if (!ReadAt(fd, at, block.data(), want))
            return kAbfNoTempFile;
        if (!output.Append(block.data(), want))
            return kAbfDiskFull;
        at += want;
    }
    return 0;
}

// What the callbacks of one compression run share.
struct ImplodeContext
{
    int sourceFd = -1;
    uint64_t sourceLength = 0;
    uint64_t sourceRead = 0;
    int targetFd = -1;
    uint64_t written = 0;
    Crc32Function crc32 = nullptr;
    uint32_t crc = 0xFFFFFFFF;
    int error = 0;
};

unsigned ReadPiece(char* buffer, unsigned* size, void* context)
{
    ImplodeContext& run = *static_cast<ImplodeContext*>(context);
    unsigned count = 0;
    if (run.error == 0 && size && run.sourceRead < run.sourceLength) {
        count = static_cast<unsigned>(std::min<uint64_t>(*size, run.sourceLength - run.sourceRead));
        if (ReadAt(run.sourceFd, run.sourceRead, buffer, count)) {
            run.sourceRead += count;
            unsigned crcSize = count;
            run.crc = run.crc32(buffer, &crcSize, &run.crc);
        } else {
            run.error = kAbfNoTempFile;
            count = 0;
        }
    }
    if (size)
        *size = count;
    return count;
}

void WritePiece(char* buffer, unsigned* size, void* context)
{
    ImplodeContext& run = *static_cast<ImplodeContext*>(context);
    if (run.error != 0 || !size || *size == 0)
        return;
    if (!WriteFullyAt(run.targetFd, buffer, *size, run.written)) {
        run.error = kWriteFailed;
        return;
    }
    run.written += *size;
}

int LibraryError(int error)
{
    switch (error) {
    case 0: return 0;
    case kNoWorkBuffer: return kAbfOutOfMemory;
    case kNoLibrary:
    case kNoFunction: return kAbfNoCompression;
    case kWriteFailed: return kAbfDiskFull;
    case kAbfNoTempFile: return kAbfNoTempFile;
    default: return kAbfTagReadFailed;
    }
}

} // namespace

int AbfCompressBlock(int sourceFd, uint64_t length, int targetFd, uint64_t* storedLength, uint32_t* crc)
{
    HMODULE library = LoadLibraryA("implode.dll");
    if (!library)
        return LibraryError(kNoLibrary);
    const auto implode = reinterpret_cast<ImplodeFunction>(GetProcAddress(library, "implode"));
    const auto explode = reinterpret_cast<ExplodeFunction>(GetProcAddress(library, "explode"));
    const auto crc32 = reinterpret_cast<Crc32Function>(GetProcAddress(library, "crc32"));
    if (!implode || !explode || !crc32) {
        FreeLibrary(library);
        return LibraryError(kNoFunction);
    }
    char* work = new (std::nothrow) char[kImplodeWorkBytes];
    if (!work) {
        FreeLibrary(library);
        return LibraryError(kNoWorkBuffer);
    }
    ImplodeContext run;
    run.sourceFd = sourceFd;
    run.sourceLength = length;
    run.targetFd = targetFd;
    run.crc32 = crc32;
    unsigned type = kImplodeBinary;
    unsigned dictionary = kImplodeDictionary;
    const unsigned result = implode(ReadPiece, WritePiece, work, &run, &type, &dictionary);
    delete[] work;
    FreeLibrary(library);
    if (run.error != 0)
        return LibraryError(run.error);
    if (result != 0 || run.sourceRead != length)
        return kAbfTagReadFailed;
    if (storedLength)
        *storedLength = run.written;
    if (crc)
        *crc = ~run.crc;
    return 0;
}

CAbfBlockQueue::~CAbfBlockQueue()
{
    for (Block& block : m_blocks) {
        if (block.fd >= 0)
            close(block.fd);
        if (block.storedFd >= 0)
            close(block.storedFd);
    }
}

int CAbfBlockQueue::Add(const uint8_t (&entry)[kAbfBlockEntryBytes], const void* data, size_t size,
                        bool compress)
{
    Block block;
    block.fd = CreateScratchFile("voice");
    if (block.fd < 0)
        return kAbfNoTempFile;
    if (size > 0 && (!data || !WriteFullyAt(block.fd, data, size, 0))) {
        close(block.fd);
        return kAbfDiskFull;
    }
    block.length = size;
    block.compress = compress && size > 0;   // an empty block has nothing to compress
    std::memcpy(block.entry, entry, sizeof block.entry);
    m_blocks.push_back(block);
    return 0;
}

int CAbfBlockQueue::AppendTo(CAbfOutput& output)
{
    if (m_blocks.empty())
        return 0;
    // Compress first, so that every entry is final before the directory is written: the output
    // is only ever appended to.
    for (Block& block : m_blocks) {
        block.storedLength = block.length;
        if (!block.compress)
            continue;
        if (block.storedFd < 0)
            block.storedFd = CreateScratchFile("implode");
        if (block.storedFd < 0)
            return block.lastError = kAbfNoTempFile;
        uint32_t crc = 0;
        if (int rc = AbfCompressBlock(block.fd, block.length, block.storedFd, &block.storedLength, &crc))
            return block.lastError = rc;
        StoreLE<uint32_t>(block.entry + AbfBlockEntry::dwCRC, crc);
    }
    std::vector<uint8_t> directory(m_blocks.size() * kAbfBlockEntryBytes);
    uint64_t offset = directory.size();
    for (size_t i = 0; i < m_blocks.size(); ++i) {
        Block& block = m_blocks[i];
        StoreLE<int32_t>(block.entry + AbfBlockEntry::lFileOffset, static_cast<int32_t>(offset));
        StoreLE<int32_t>(block.entry + AbfBlockEntry::lUncompressedSize, static_cast<int32_t>(block.length));
        StoreLE<int32_t>(block.entry + AbfBlockEntry::lCompressedSize, static_cast<int32_t>(block.storedLength));
        std::memcpy(directory.data() + i * kAbfBlockEntryBytes, block.entry, kAbfBlockEntryBytes);
        offset += block.storedLength;
    }
    if (!output.Append(directory.data(), directory.size()))
        return kAbfDiskFull;
    for (Block& block : m_blocks) {
        const int fd = block.compress ? block.storedFd : block.fd;
        if (int rc = CopyFile(fd, block.storedLength, output))
            return block.lastError = rc;
    }
    return 0;
}
