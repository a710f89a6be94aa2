#include "com/Guid.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kGuidTextLength = 38; // {8-4-4-4-12}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value of `digits` hex digits at text[pos]; false on a non-digit.
bool ReadHex(const std::string& text, size_t pos, size_t digits, uint32_t& value)
{
    value = 0;
    for (size_t i = 0; i < digits; ++i) {
        const int digit = HexValue(text[pos + i]);
        if (digit < 0)
            return false;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return true;
}

} // namespace

bool GuidFromString(const std::string& text, GUID& out)
{
    if (text.size() != kGuidTextLength || text[0] != '{' || text[37] != '}' || text[9] != '-'
        || text[14] != '-' || text[19] != '-' || text[24] != '-')
        return false;
    GUID guid;
    uint32_t value = 0;
    if (!ReadHex(text, 1, 8, value))
        return false;
    guid.Data1 = value;
    if (!ReadHex(text, 10, 4, value))
        return false;
    guid.Data2 = static_cast<uint16_t>(value);
    if (!ReadHex(text, 15, 4, value))
        return false;
    guid.Data3 = static_cast<uint16_t>(value);
    static const size_t kBytePositions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, kBytePositions[i], 2, value))
            return false;
        guid.Data4[i] = static_cast<uint8_t>(value);
    }
    out = guid;
    return true;
}

std::string GuidToString(const GUID& guid)
{
    char text[kGuidTextLength + 1];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(guid.Data1), static_cast<unsigned>(guid.Data2),
                  static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2],
                  guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3
           && std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}
