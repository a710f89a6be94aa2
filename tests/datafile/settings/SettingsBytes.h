#pragma once
// Builds settings records byte by byte for the settings tests.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/CByteReader.h"
#include "platform/CByteWriter.h"

class SettingsBytes
{
public:
    template <class T>
    SettingsBytes& Put(T value)
    {
        CByteWriter(m_bytes).Put<T>(value);
        return *this;
    }
    SettingsBytes& U8(uint8_t v) { return Put(v); }
    SettingsBytes& U16(uint16_t v) { return Put(v); }
    SettingsBytes& U32(uint32_t v) { return Put(v); }
    SettingsBytes& I32(int32_t v) { return Put(v); }
    SettingsBytes& F32(float v) { return Put(v); }
    SettingsBytes& F64(double v) { return Put(v); }
    SettingsBytes& Tag(const char* tag)
    {
        CByteWriter(m_bytes).PutBytes(tag, 8);
        return *this;
    }
    // A counted text; the stored bytes include a terminating NUL, as the recording program
    // writes them.
    SettingsBytes& Str32(const std::string& text)
    {
        U32(static_cast<uint32_t>(text.size() + 1));
        return Bytes(text.c_str(), text.size() + 1);
    }
    SettingsBytes& Str16(const std::string& text)
    {
        U16(static_cast<uint16_t>(text.size() + 1));
        return Bytes(text.c_str(), text.size() + 1);
    }
    SettingsBytes& Bytes(const void* data, size_t n)
    {
        CByteWriter(m_bytes).PutBytes(data, n);
        return *this;
    }
    SettingsBytes& Zeros(size_t n)
    {
        CByteWriter(m_bytes).PutZeros(n);
        return *this;
    }
    const std::vector<uint8_t>& Get() const { return m_bytes; }
    size_t Size() const { return m_bytes.size(); }

private:
    std::vector<uint8_t> m_bytes;
};

// Overwrites a little-endian value inside a built record.
template <class T>
void Patch(std::vector<uint8_t>& bytes, size_t at, T value)
{
    StoreLE<T>(bytes.data() + at, value);
}

// The first n bytes in a buffer of exactly that size, so that the sanitizer sees any read
// past the end.
inline std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t n)
{
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

// Program versions as the recording program stores them: major in the high 16 bits.
constexpr int32_t ProgramVersion(int major, int minor)
{
    return static_cast<int32_t>((uint32_t(major) << 16) | uint32_t(minor));
}
