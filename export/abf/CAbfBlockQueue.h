#pragma once
// Blocks queued for the voice-tag section of an ABF file: each held in a scratch file until the
// header is completed, then appended behind a directory of one 32-byte entry per block. A block
// flagged for compression goes through the outside compression library "implode.dll", loaded by
// name at each use; without it such a block fails with 1029.

#include <cstddef>
#include <cstdint>
#include <vector>

class CAbfOutput;

constexpr size_t kAbfBlockEntryBytes = 32;

// Byte layout of a block's directory entry (the fields the queue fills in).
namespace AbfBlockEntry {
constexpr size_t lFileOffset = 4;         // from the start of the section
constexpr size_t lUncompressedSize = 8;
constexpr size_t lCompressedSize = 12;
constexpr size_t dwCRC = 24;              // CRC of the uncompressed bytes, for compressed blocks
} // namespace AbfBlockEntry

class CAbfBlockQueue
{
public:
    CAbfBlockQueue() = default;
    ~CAbfBlockQueue();
    CAbfBlockQueue(const CAbfBlockQueue&) = delete;
    CAbfBlockQueue& operator=(const CAbfBlockQueue&) = delete;

    // Queues a copy of `data` with its directory entry. 0, 1023 (no scratch file) or 1015.
    [[nodiscard]] int Add(const uint8_t (&entry)[kAbfBlockEntryBytes], const void* data,
                          size_t size, bool compress);
    size_t Count() const { return m_blocks.size(); }

    // Appends the directory and every block in queue order at the output's end (the caller has
    // padded it to its section boundary). Nothing queued: nothing written. 0, or 1029 (a block
    // wants compression and the library is missing), 1008, 1015, 1017 or 1023; the caller cuts
    // the output back.
    [[nodiscard]] int AppendTo(CAbfOutput& output);

private:
    struct Block
    {
        int fd = -1;                  // scratch file with the data
        uint64_t length = 0;
        bool compress = false;
        uint8_t entry[kAbfBlockEntryBytes] = {};
        int storedFd = -1;            // scratch file with the compressed bytes
        uint64_t storedLength = 0;
        int lastError = 0;
    };

    std::vector<Block> m_blocks;
};

// Compresses `length` bytes of the file `sourceFd` into the file `targetFd` with the outside
// library. 0 with the compressed length and the CRC-32 of the source bytes, else 1008 (no work
// buffer), 1029 (library or one of its functions missing), 1015 (target not written) or 1017.
[[nodiscard]] int AbfCompressBlock(int sourceFd, uint64_t length, int targetFd,
                                   uint64_t* storedLength, uint32_t* crc);
