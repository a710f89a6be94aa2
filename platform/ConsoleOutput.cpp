#include "platform/ConsoleOutput.h"

#include <cstdarg>
#include <cstdio>

#include "platform/TextEncoding.h"

void ConsolePrint(const std::string& text)
{
    const std::string utf8 = ToDisplayText(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

void ConsolePrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0) {
        std::string text(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(length));
        ConsolePrint(text);
    }
    va_end(args);
}
