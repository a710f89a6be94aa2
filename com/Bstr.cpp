#include "com/Bstr.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kPrefixBytes = sizeof(uint32_t);

} // namespace

BSTR SysAllocString(const char* text)
{
    if (!text)
        return nullptr;
    const size_t length = std::strlen(text);
    if (length > UINT32_MAX)
        return nullptr;
    return SysAllocStringLen(text, static_cast<uint32_t>(length));
}

BSTR SysAllocStringLen(const char* text, uint32_t length)
{
    char* block = static_cast<char*>(std::malloc(kPrefixBytes + size_t(length) + 1));
    if (!block)
        return nullptr;
    std::memcpy(block, &length, kPrefixBytes);
    char* string = block + kPrefixBytes;
    if (text)
        std::memcpy(string, text, length);
    else
        std::memset(string, 0, length);
    string[length] = '\0';
    return string;
}

void SysFreeString(BSTR text)
{
    if (text)
        std::free(text - kPrefixBytes);
}

uint32_t SysStringLen(BSTR text)
{
    if (!text)
        return 0;
    uint32_t length = 0;
    std::memcpy(&length, text - kPrefixBytes, kPrefixBytes);
    return length;
}
