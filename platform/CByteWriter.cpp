#include "platform/CByteWriter.h"

#include <algorithm>

CByteWriter& CByteWriter::PutBytes(const void* data, size_t n)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    m_buffer.insert(m_buffer.end(), bytes, bytes + n);
    return *this;
}

CByteWriter& CByteWriter::PutText(const std::string& text, size_t width)
{
    const size_t n = std::min(text.size(), width);
    PutBytes(text.data(), n);
    return PutZeros(width - n);
}

CByteWriter& CByteWriter::PutId(const std::string& id)
{
    std::string padded = id.substr(0, 8);
    padded.resize(8, ' ');
    return PutBytes(padded.data(), 8);
}

CByteWriter& CByteWriter::PutZeros(size_t n)
{
    m_buffer.resize(m_buffer.size() + n, 0);
    return *this;
}
