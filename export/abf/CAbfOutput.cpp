#include "export/abf/CAbfOutput.h"

#include <vector>

#include <unistd.h>

#include "export/abf/CrcEngine.h"
#include "platform/File64.h"

CAbfOutput::CAbfOutput(int fd, uint64_t bodyStart) : m_fd(fd), m_bodyStart(bodyStart), m_end(bodyStart)
{
}

bool CAbfOutput::Append(const void* data, size_t size)
{
    if (size == 0)
        return true;
    if (!data || !WriteFullyAt(m_fd, data, size, m_end)) {
        // Nothing of a failed write stays in the file. Should the cut fail too, the header
        // still says where the good data ends.
        const bool cut = ftruncate(m_fd, static_cast<off_t>(m_end)) == 0;
        static_cast<void>(cut);
        return false;
    }
    m_bodyCrc = CrcEngine::Crc32(data, size, m_bodyCrc);
    m_end += size;
    return true;
}

bool CAbfOutput::PadTo(uint64_t block)
{
    if (block == 0 || m_end % block == 0)
        return true;
    const std::vector<uint8_t> zeros(static_cast<size_t>(block - m_end % block), 0);
    return Append(zeros.data(), zeros.size());
}

bool CAbfOutput::Rewind(const Mark& mark)
{
    if (mark.end < m_bodyStart || mark.end > m_end)
        return false;
    if (ftruncate(m_fd, static_cast<off_t>(mark.end)) != 0)
        return false;
    m_end = mark.end;
    m_bodyCrc = mark.crc;
    return true;
}

bool CAbfOutput::WriteHeader(const void* data, size_t size)
{
    return data && WriteFullyAt(m_fd, data, size, 0);
}

uint32_t CAbfOutput::FileCrc(const void* header) const
{
    const uint32_t headerCrc = CrcEngine::Crc32(header, static_cast<size_t>(m_bodyStart));
    return CrcEngine::Combine32(headerCrc, m_bodyCrc, m_end - m_bodyStart);
}
