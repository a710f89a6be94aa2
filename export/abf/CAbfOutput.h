#pragma once
// The ABF file library's only way to the disk: appends at a known end with 64-bit positions,
// cuts a failed write back, and folds the CRC-32 of everything after the header as it writes,
// so the whole-file checksum never needs the output read again.

#include <cstddef>
#include <cstdint>

class CAbfOutput
{
public:
    // A position in the body, with the CRC-32 of the body up to it.
    struct Mark
    {
        uint64_t end = 0;
        uint32_t crc = 0;
    };

    // `fd` stays owned by the caller. The body starts at `bodyStart` (the header's length).
    CAbfOutput(int fd, uint64_t bodyStart);

    // Writes all bytes at End(). On failure the file is cut back to where it was and false.
    [[nodiscard]] bool Append(const void* data, size_t size);
    // Zero bytes up to the next multiple of `block` (512 for ABF sections).
    [[nodiscard]] bool PadTo(uint64_t block);
    // Cuts the file back to a mark taken before; false when the system refuses.
    [[nodiscard]] bool Rewind(const Mark& mark);
    // Writes `size` bytes at position 0 (the header); false unless all were written.
    [[nodiscard]] bool WriteHeader(const void* data, size_t size);

    Mark GetMark() const { return Mark{m_end, m_bodyCrc}; }
    uint64_t End() const { return m_end; }
    // CRC-32 of the body [bodyStart, End) as written so far.
    uint32_t BodyCrc() const { return m_bodyCrc; }
    // CRC-32 of the whole file when its first bodyStart bytes are `header`.
    uint32_t FileCrc(const void* header) const;

private:
    int m_fd;
    uint64_t m_bodyStart;
    uint64_t m_end;
    uint32_t m_bodyCrc = 0;
};
