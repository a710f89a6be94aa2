#include "export/abf/CAbfTempStore.h"

#include <algorithm>

#include <unistd.h>

#include "export/abf/AbfMessages.h"
#include "export/abf/CAbfOutput.h"
#include "platform/File64.h"
#include "platform/TempFiles.h"

namespace {

constexpr size_t kCopyBlockBytes = 1 << 20;

} // namespace

CAbfTempStore::CAbfTempStore(const std::string& prefix, size_t memoryBytes)
    : m_prefix(prefix), m_memoryBytes(memoryBytes == 0 ? 1 : memoryBytes)
{
}

CAbfTempStore::~CAbfTempStore()
{
    if (m_fd >= 0)
        close(m_fd);
}

int CAbfTempStore::Spill()
{
    if (m_fd < 0) {
        m_fd = CreateScratchFile(m_prefix);
        if (m_fd < 0)
            return kAbfNoTempFile;
    }
    if (!WriteFullyAt(m_fd, m_memory.data(), m_memory.size(), m_spilled))
        return kAbfDiskFull;
    m_spilled += m_memory.size();
    m_memory.clear();
    return 0;
}

int CAbfTempStore::Append(const void* data, size_t size)
{
    if (size == 0)
        return 0;
    if (m_memory.size() + size > m_memoryBytes && !m_memory.empty())
        if (int rc = Spill())
            return rc;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    m_memory.insert(m_memory.end(), bytes, bytes + size);
    if (m_memory.size() > m_memoryBytes)
        if (int rc = Spill()) {
            m_memory.resize(m_memory.size() - size);
            return rc;
        }
    return 0;
}

int CAbfTempStore::CopyTo(CAbfOutput& output) const
{
    if (m_spilled > 0) {
        std::vector<uint8_t> block(kCopyBlockBytes);
        uint64_t at = 0;
        while (at < m_spilled) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(block.size(), m_spilled - at));
            // What a cut scratch file still holds goes to the output before the failure.
            const size_t got = ReadFullyAt(m_fd, block.data(), want, at).bytes;
            if (got == 0)
                return kAbfNoTempFile;
            if (!output.Append(block.data(), got))
                return kAbfDiskFull;
            if (got < want)
                return kAbfNoTempFile;
            at += want;
        }
    }
    if (!m_memory.empty() && !output.Append(m_memory.data(), m_memory.size()))
        return kAbfDiskFull;
    return 0;
}
