#pragma once
// ASCII-only case folding: chunk ids and option names never depend on the locale.

#include <cstddef>
#include <string>

inline char AsciiToUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline char AsciiToLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void AsciiUpperInPlace(std::string& text);
void AsciiLowerInPlace(std::string& text);
std::string AsciiUpper(std::string text);
std::string AsciiLower(std::string text);
bool AsciiEqualsNoCase(const std::string& a, const std::string& b);
// Negative, 0 or positive like strcmp after folding both sides to lower case.
int AsciiCompareNoCase(const std::string& a, const std::string& b);
