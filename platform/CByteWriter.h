#pragma once
// Little-endian writer that appends on-disk records to a byte buffer.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/CByteReader.h"

class CByteWriter
{
public:
    explicit CByteWriter(std::vector<uint8_t>& buffer) : m_buffer(buffer) {}

    template <class T>
    CByteWriter& Put(T value)
    {
        const size_t at = m_buffer.size();
        m_buffer.resize(at + sizeof(T));
        StoreLE<T>(m_buffer.data() + at, value);
        return *this;
    }

    CByteWriter& PutBytes(const void* data, size_t n);
    // Writes `text` into a field of `width` bytes: cut at the width, the rest zero-filled.
    CByteWriter& PutText(const std::string& text, size_t width);
    // Writes an 8-byte chunk id: cut at 8, padded with blanks, no terminating zero.
    CByteWriter& PutId(const std::string& id);
    CByteWriter& PutZeros(size_t n);

private:
    std::vector<uint8_t>& m_buffer;
};
