#include "datafile/CFileReader.h"

#include <algorithm>
#include <cstring>

#include "platform/File64.h"

void CFileReader::Attach(FILE* file)
{
    m_file = file;
    m_pos = 0;
    Refresh();
}

void CFileReader::Refresh()
{
    const int64_t length = m_file ? FileLength(m_file) : -1;
    m_length = length > 0 ? static_cast<uint64_t>(length) : 0;
    m_windowBytes = 0;
    m_nextFill = kMinWindow;
}

bool CFileReader::ReadAt(uint64_t pos, void* destination, size_t n)
{
    if (n == 0)
        return true;
    if (!m_file || !FitsInFile(pos, n, m_length)) {
        std::memset(destination, 0, n);
        return false;
    }
    if (pos >= m_windowAt && n <= m_windowBytes && pos - m_windowAt <= m_windowBytes - n) {
        std::memcpy(destination, m_window.data() + (pos - m_windowAt), n);
        return true;
    }
    if (n > kMaxWindow / 2)
        return ReadDirect(pos, destination, n);
    if (!Fill(pos, n)) {
        std::memset(destination, 0, n);
        return false;
    }
    std::memcpy(destination, m_window.data(), n);
    return true;
}

bool CFileReader::Read(void* destination, size_t n)
{
    if (!ReadAt(m_pos, destination, n))
        return false;
    m_pos += n;
    return true;
}

bool CFileReader::Skip(uint64_t n)
{
    if (n > Remaining())
        return false;
    m_pos += n;
    return true;
}

bool CFileReader::Fill(uint64_t pos, size_t n)
{
    // A read that continues right where the window ended is part of a forward scan: widen the
    // next window. A jump starts small again, since big payloads are usually skipped over.
    const bool continues = m_windowBytes != 0 && pos >= m_windowAt
                           && pos - m_windowAt >= m_windowBytes / 2;
    m_nextFill = continues ? std::min(m_nextFill * 2, kMaxWindow) : kMinWindow;
    size_t want = std::max(m_nextFill, n);
    if (want > m_length - pos)
        want = static_cast<size_t>(m_length - pos);
    m_window.resize(std::max(m_window.size(), want));
    m_windowBytes = 0;
    ++m_fileReads;
    if (!Seek64(m_file, static_cast<int64_t>(pos)))
        return false;
    const size_t got = fread(m_window.data(), 1, want, m_file);
    m_windowAt = pos;
    m_windowBytes = got;
    return got >= n;
}

bool CFileReader::ReadDirect(uint64_t pos, void* destination, size_t n)
{
    ++m_fileReads;
    if (Seek64(m_file, static_cast<int64_t>(pos)) && fread(destination, 1, n, m_file) == n)
        return true;
    std::memset(destination, 0, n);
    return false;
}
