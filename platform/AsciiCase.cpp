#include "platform/AsciiCase.h"

void AsciiUpperInPlace(std::string& text)
{
    for (char& c : text)
        c = AsciiToUpper(c);
}

void AsciiLowerInPlace(std::string& text)
{
    for (char& c : text)
        c = AsciiToLower(c);
}

std::string AsciiUpper(std::string text)
{
    AsciiUpperInPlace(text);
    return text;
}

std::string AsciiLower(std::string text)
{
    AsciiLowerInPlace(text);
    return text;
}

int AsciiCompareNoCase(const std::string& a, const std::string& b)
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(AsciiToLower(a[i]));
        const unsigned char y = static_cast<unsigned char>(AsciiToLower(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool AsciiEqualsNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && AsciiCompareNoCase(a, b) == 0;
}
