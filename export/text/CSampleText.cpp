#include "export/text/CSampleText.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kMaxPoolBytes = 8u << 20;

// A bit outside the 16 of a sample is never set.
int BitOf(uint32_t v, int bit)
{
    return bit >= 0 && bit < 16 ? static_cast<int>((v >> bit) & 1u) : 0;
}

} // namespace

CSampleText::CSampleText(Kind kind, int bit, uint16_t zero, double scale, const CTextFormat& format)
    : m_kind(kind), m_bit(bit), m_zero(zero), m_scale(scale), m_format(format)
{
    if (m_format.IsPlain())
        return;
    m_offsets.resize(65537);
    m_pool.reserve(65536 * 14);
    char text[512];
    for (uint32_t v = 0; v <= 0xFFFF; ++v) {
        m_offsets[v] = static_cast<uint32_t>(m_pool.size());
        int n = 0;
        switch (m_kind) {
        case kBit:
            n = std::snprintf(text, sizeof text, "\t%-12d", BitOf(v, m_bit));
            break;
        case kWord:
            n = std::snprintf(text, sizeof text, "\t%-12.0lf", static_cast<double>(v) * 1.0);
            break;
        case kMicrovolts:
            n = std::snprintf(text, sizeof text, "\t%-12.2lf",
                              static_cast<double>(static_cast<int>(v) - static_cast<int>(m_zero)) * m_scale);
            break;
        }
        if (n <= 0 || static_cast<size_t>(n) >= sizeof text
            || m_pool.size() + static_cast<size_t>(n) > kMaxPoolBytes) {
            m_offsets.clear();
            m_pool.clear();
            m_pool.shrink_to_fit();
            return;
        }
        m_pool.append(text, static_cast<size_t>(n));
    }
    m_offsets[65536] = static_cast<uint32_t>(m_pool.size());
    m_hasTable = true;
}

bool CSampleText::Matches(Kind kind, int bit, uint16_t zero, double scale) const
{
    return kind == m_kind && (kind != kBit || bit == m_bit)
           && (kind != kMicrovolts || (zero == m_zero && std::memcmp(&scale, &m_scale, sizeof scale) == 0));
}

void CSampleText::Format(std::string& out, uint16_t v) const
{
    out += '\t';
    switch (m_kind) {
    case kBit:
        m_format.Int(out, BitOf(v, m_bit), 12);
        break;
    case kWord:
        m_format.Fixed(out, static_cast<double>(v) * 1.0, 0, 12);
        break;
    case kMicrovolts:
        m_format.Fixed(out, static_cast<double>(static_cast<int>(v) - static_cast<int>(m_zero)) * m_scale, 2,
                       12);
        break;
    }
}
