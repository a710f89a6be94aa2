#pragma once
// Bounded little-endian reader over a byte buffer: every record reader of the project uses it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

static_assert(sizeof(float) == 4 && sizeof(double) == 8, "IEEE float32/float64 expected");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the on-disk records are little-endian; this build assumes a little-endian host"
#endif

// Reads a little-endian value at p; the caller has checked that sizeof(T) bytes are there.
template <class T>
inline T LoadLE(const uint8_t* p)
{
    static_assert(std::is_arithmetic<T>::value, "arithmetic types only");
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

// Stores a little-endian value at p; the caller has checked that sizeof(T) bytes are there.
template <class T>
inline void StoreLE(uint8_t* p, T value)
{
    static_assert(std::is_arithmetic<T>::value, "arithmetic types only");
    std::memcpy(p, &value, sizeof(T));
}

// A cursor over [data, data + size). The first failed read sticks: every later read fails too,
// yields zero, and Ok() stays false, so a record reads straight down and is checked once.
class CByteReader
{
public:
    CByteReader() = default;
    CByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(data ? size : 0) {}
    explicit CByteReader(const std::vector<uint8_t>& bytes) : CByteReader(bytes.data(), bytes.size()) {}

    // Reads one value; on a short buffer the value becomes 0 and the reader fails.
    template <class T>
    bool Read(T& value)
    {
        if (!Has(sizeof(T))) {
            value = T();
            m_ok = false;
            return false;
        }
        value = LoadLE<T>(m_data + m_pos);
        m_pos += sizeof(T);
        return true;
    }

    // Returns the next value, or T() when the bytes run out (the reader then fails).
    template <class T>
    T Get()
    {
        T value;
        Read(value);
        return value;
    }

    // Copies n bytes; on a short buffer the destination is zero-filled and the reader fails.
    bool ReadBytes(void* destination, size_t n);

    // Reads a text field of exactly `width` bytes, keeping the characters before the first NUL.
    // Older files do not always terminate their text fields; the copy never reads past the field.
    bool ReadText(std::string& out, size_t width);

    bool Skip(size_t n);
    // Moves to an absolute position within the buffer; a position beyond the end fails the reader.
    [[nodiscard]] bool Seek(size_t position);
    void Fail() { m_ok = false; }

    bool Ok() const { return m_ok; }
    bool Has(size_t n) const { return m_ok && n <= m_size - m_pos; }
    size_t Position() const { return m_pos; }
    size_t Remaining() const { return m_ok ? m_size - m_pos : 0; }
    const uint8_t* Cursor() const { return m_data + m_pos; }

private:
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    bool m_ok = true;
};

// Keeps the characters of a fixed text field before its first NUL (at most `width` bytes).
std::string TextField(const uint8_t* field, size_t width);
