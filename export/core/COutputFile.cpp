#include "export/core/COutputFile.h"

namespace {

// Large writes go straight through; the buffer only gathers small ones such as head lines.
constexpr size_t kBufferBytes = 1 << 20;

} // namespace

COutputFile::~COutputFile()
{
    if (m_file)
        std::fclose(m_file);
}

bool COutputFile::Open(const std::string& path)
{
    if (m_file || path.empty())
        return false;
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file)
        return false;
    std::setvbuf(m_file, nullptr, _IOFBF, kBufferBytes);
    m_failed = false;
    return true;
}

bool COutputFile::Write(const void* data, size_t bytes)
{
    if (!m_file || m_failed)
        return false;
    if (bytes > 0 && std::fwrite(data, 1, bytes, m_file) != bytes)
        m_failed = true;
    return !m_failed;
}

bool COutputFile::Close()
{
    if (!m_file)
        return false;
    bool ok = !m_failed;
    if (std::fflush(m_file) != 0 || std::ferror(m_file))
        ok = false;
    if (std::fclose(m_file) != 0)
        ok = false;
    m_file = nullptr;
    m_failed = false;
    return ok;
}
