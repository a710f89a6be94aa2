#include "export/core/StringHelpers.h"

#include "platform/AsciiCase.h"

#include <cstdarg>
#include <cstdio>

std::string FormatString(const char* format, ...)
{
    if (!format)
        return std::string();
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args); // a va_list cannot be walked twice
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string result;
    if (length > 0) {
        result.resize(static_cast<size_t>(length));
        // Writes length characters plus the terminator into the string's own final NUL slot.
        if (std::vsnprintf(result.data(), result.size() + 1, format, args) != length)
            result.clear();
    }
    va_end(args);
    return result;
}

std::string& ToLowerInPlace(std::string& text)
{
    AsciiLowerInPlace(text);
    return text;
}

bool StripEventWord(const std::string& name, std::string& source)
{
    static const std::string kEvent = " Event";
    const size_t at = name.find(kEvent);
    if (at == std::string::npos)
        return false;
    source = name.substr(0, at) + name.substr(at + kEvent.size());
    return true;
}
