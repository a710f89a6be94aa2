#include "platform/Cp1252.h"

#include <cstdint>

namespace {

// Code points of the bytes 0x80 to 0x9F.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

std::string Cp1252ToUtf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.push_back(c);
            continue;
        }
        const uint32_t code = byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
        if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        }
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
    return out;
}
