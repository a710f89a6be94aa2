#include "platform/CByteReader.h"

bool CByteReader::ReadBytes(void* destination, size_t n)
{
    if (!Has(n)) {
        if (n)
            std::memset(destination, 0, n);
        m_ok = false;
        return false;
    }
    if (n)
        std::memcpy(destination, m_data + m_pos, n);
    m_pos += n;
    return true;
}

bool CByteReader::ReadText(std::string& out, size_t width)
{
    out.clear();
    if (!Has(width)) {
        m_ok = false;
        return false;
    }
    out = TextField(m_data + m_pos, width);
    m_pos += width;
    return true;
}

bool CByteReader::Skip(size_t n)
{
    if (!Has(n)) {
        m_ok = false;
        return false;
    }
    m_pos += n;
    return true;
}

bool CByteReader::Seek(size_t position)
{
    if (!m_ok || position > m_size) {
        m_ok = false;
        return false;
    }
    m_pos = position;
    return true;
}

std::string TextField(const uint8_t* field, size_t width)
{
    const void* end = std::memchr(field, 0, width);
    const size_t length = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - field) : width;
    return std::string(reinterpret_cast<const char*>(field), length);
}
