#include "datafile/container/CFileReader.h"

#include <sys/uio.h>

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
    // Payloads go straight into the caller's buffer: through the window every sample would be
    // copied twice.
    if (n >= kDirectBytes)
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

bool CFileReader::Fill(uint64_t pos, size_t n)
{
    // A read that goes on from the second half of the window up to its end is part of a
    // forward scan: widen the next window. A jump past the window (a chunk header behind a
    // payload that was skipped) starts small again: widening there would read every payload
    // a header walk skips.
    const uint64_t windowEnd = m_windowAt + m_windowBytes;
    const bool continues = m_windowBytes != 0 && pos >= m_windowAt + m_windowBytes / 2 && pos <= windowEnd;
    m_nextFill = continues ? std::min(m_nextFill * 2, kMaxWindow) : kMinWindow;
    size_t want = std::max(m_nextFill, n);
    if (want > m_length - pos)
        want = static_cast<size_t>(m_length - pos);
    m_window.resize(std::max(m_window.size(), want));
    m_windowBytes = 0;
    ++m_fileReads;
    const size_t got = ReadFile(pos, m_window.data(), want);
    m_windowAt = pos;
    m_windowBytes = got;
    return got >= n;
}

bool CFileReader::ReadDirect(uint64_t pos, void* destination, size_t n)
{
    ++m_fileReads;
    // The bytes behind a payload come along into the window in the same call: the next chunk
    // header starts there, so a walk over big payloads costs one read per chunk.
    const uint64_t end = pos + n;
    const size_t ahead =
        end < m_length ? static_cast<size_t>(std::min<uint64_t>(kMinWindow, m_length - end)) : 0;
    m_window.resize(std::max(m_window.size(), ahead));
    m_windowBytes = 0;
    m_nextFill = kMinWindow;
    iovec parts[2] = {{destination, n}, {m_window.data(), ahead}};
    const size_t done = ReadVectorAt(fileno(m_file), parts, ahead != 0 ? 2 : 1, pos).bytes;
    if (done >= n) {
        m_windowAt = end;
        m_windowBytes = done - n;
        return true;
    }
    // A short read: the rest of the payload on its own.
    uint8_t* rest = static_cast<uint8_t*>(destination) + done;
    if (ReadFile(pos + done, rest, n - done) == n - done)
        return true;
    std::memset(destination, 0, n);
    return false;
}

size_t CFileReader::ReadFile(uint64_t pos, void* destination, size_t n)
{
    // Positioned reads on the descriptor: one system call, no seek, no stdio buffer between.
    // The FILE's own position is left alone; whoever reads through it seeks first.
    return ReadFullyAt(fileno(m_file), destination, n, pos).bytes;
}
