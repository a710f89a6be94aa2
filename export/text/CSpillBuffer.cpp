#include "export/text/CSpillBuffer.h"

#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/File64.h"
#include "platform/TempFiles.h"

namespace {

constexpr size_t kDrainBytes = 1 << 20;

} // namespace

CSpillBuffer::~CSpillBuffer()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

CSpillBuffer::CSpillBuffer(CSpillBuffer&& other) noexcept
    : m_limit(other.m_limit), m_text(std::move(other.m_text)), m_fd(other.m_fd),
      m_spilled(other.m_spilled), m_failed(other.m_failed)
{
    other.m_fd = -1;
    other.m_spilled = 0;
}

bool CSpillBuffer::Settle()
{
    // A failed buffer is never written: what comes after the failure is dropped at once, so a
    // long export that goes on appending keeps its memory bounded.
    if (m_failed) {
        m_text.clear();
        return false;
    }
    if (m_text.size() < m_limit)
        return true;
    if (m_fd < 0)
        m_fd = CreateScratchFile("sondrel-text-");
    if (m_fd < 0 || !WriteFully(m_fd, m_text.data(), m_text.size())) {
        m_failed = true;
        m_text.clear();
        return false;
    }
    m_spilled += m_text.size();
    m_text.clear();
    return true;
}

bool CSpillBuffer::Drain(const std::function<bool(const char*, size_t)>& write)
{
    bool ok = !m_failed;
    if (ok && m_spilled > 0) {
        std::vector<char> piece(kDrainBytes);
        size_t done = 0;
        while (ok && done < m_spilled) {
            const size_t want = std::min(piece.size(), m_spilled - done);
            // What a cut scratch file still holds goes out before the failure.
            const size_t got = ReadFullyAt(m_fd, piece.data(), want, done).bytes;
            ok = got > 0 && write(piece.data(), got) && got == want;
            done += got;
        }
    }
    if (ok && !m_text.empty())
        ok = write(m_text.data(), m_text.size());
    Reset();
    return ok;
}

void CSpillBuffer::Reset()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_spilled = 0;
    m_text.clear();
    m_failed = false;
}
