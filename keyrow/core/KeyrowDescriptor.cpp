// Descriptor-string fields.

#include "keyrow/core/KeyrowDescriptor.h"

#include <algorithm>
#include <cctype>
#include <limits>

std::string GetKeyValue(const std::string& descriptor, const std::string& key)
{
    if (key.empty())
        return std::string();
    const size_t at = descriptor.find(key);
    if (at == std::string::npos)
        return std::string();
    const size_t begin = at + key.size();
    const size_t end = descriptor.find(':', begin);
    return descriptor.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

int32_t ParseDescriptorInt(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative number: its range holds INT32_MIN.
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    int64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < kMin) {
            value = kMin;
            // Skip the remaining digits; the value stays saturated.
            while (i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])))
                ++i;
        }
    }
    if (!negative)
        value = std::min<int64_t>(-value, std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(value);
}

int32_t GetKeyInt(const std::string& descriptor, const std::string& key)
{
    return ParseDescriptorInt(GetKeyValue(descriptor, key));
}

KeyrowDescriptor ParseDescriptor(const std::string& descriptor)
{
    auto percent = [&descriptor](const char* key) {
        return std::clamp(GetKeyInt(descriptor, key), -kMaxDescriptorPercent,
                          kMaxDescriptorPercent);
    };
    KeyrowDescriptor d;
    d.name = GetKeyValue(descriptor, "name=");
    d.hwid = GetKeyInt(descriptor, "hwid=");
    d.subtype = GetKeyInt(descriptor, "subtype=");
    d.show = GetKeyInt(descriptor, "show=");
    d.dx = percent("dx=");
    d.dy = percent("dy=");
    d.dxextend = percent("dxextend=");
    d.dyextend = percent("dyextend=");
    return d;
}
