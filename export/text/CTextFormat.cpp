#include "export/text/CTextFormat.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>

namespace {

// Room for any double in fixed notation with a few decimals (the largest has 309 digits).
constexpr size_t kNumberRoom = 400;

void Pad(std::string& out, size_t written, int width)
{
    if (width > 0 && written < static_cast<size_t>(width))
        out.append(static_cast<size_t>(width) - written, ' ');
}

// snprintf into the string, of any length.
template <class... Args>
void AppendPrintf(std::string& out, const char* format, Args... args)
{
    const int n = std::snprintf(nullptr, 0, format, args...);
    if (n <= 0)
        return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n) + 1);
    std::snprintf(&out[at], static_cast<size_t>(n) + 1, format, args...);
    out.resize(at + static_cast<size_t>(n));
}

} // namespace

void CTextFormat::Text(std::string& out, const std::string& text, int width) const
{
    if (m_plain) {
        AppendPrintf(out, "%-*s", width, text.c_str());
        return;
    }
    // Like "%s", the text ends at its first NUL.
    const size_t length = text.find('\0');
    const size_t used = length == std::string::npos ? text.size() : length;
    out.append(text, 0, used);
    Pad(out, used, width);
}

void CTextFormat::Int(std::string& out, int64_t value, int width) const
{
    if (m_plain) {
        AppendPrintf(out, "%-*" PRId64, width, value);
        return;
    }
    char buffer[32];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    const size_t used = static_cast<size_t>(r.ptr - buffer);
    out.append(buffer, used);
    Pad(out, used, width);
}

void CTextFormat::Fixed(std::string& out, double value, int precision, int width) const
{
    if (m_plain) {
        AppendPrintf(out, "%-*.*f", width, precision, value);
        return;
    }
    char buffer[kNumberRoom];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    if (r.ec != std::errc()) {
        AppendPrintf(out, "%-*.*f", width, precision, value);
        return;
    }
    const size_t used = static_cast<size_t>(r.ptr - buffer);
    out.append(buffer, used);
    Pad(out, used, width);
}
