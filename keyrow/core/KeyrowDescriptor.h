#pragma once
// Reading the "key=value" fields of a layout descriptor string
// ("label:name=..:hwid=..:subtype=..:show=..:dx=..:dy=..:dxextend=..:dyextend=..").

#include <cstdint>
#include <string>

// The text after the first occurrence of the key (such as "hwid=") up to the next ':' or the
// end; empty when the key is absent.
std::string GetKeyValue(const std::string& descriptor, const std::string& key);

// Text to int as the C library's atoi reads it (leading blanks, a sign, digits; anything else
// ends the number), but saturating at the int32 limits instead of overflowing. Empty or
// non-numeric text gives 0.
int32_t ParseDescriptorInt(const std::string& text);

// GetKeyValue then ParseDescriptorInt: an absent key counts as 0.
int32_t GetKeyInt(const std::string& descriptor, const std::string& key);

// The fields of one descriptor that the layout reads. Cell positions and extents are percent of
// a cell, clamped to +-kMaxDescriptorPercent so the pixel arithmetic stays far from overflow.
constexpr int32_t kMaxDescriptorPercent = 100000;
struct KeyrowDescriptor
{
    std::string name;
    int32_t hwid = 0;
    int32_t subtype = 0;
    int32_t show = 0;
    int32_t dx = 0;
    int32_t dy = 0;
    int32_t dxextend = 0;
    int32_t dyextend = 0;
};
KeyrowDescriptor ParseDescriptor(const std::string& descriptor);
