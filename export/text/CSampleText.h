#pragma once
// The text of one value column of the text converter, for every possible 16-bit sample: a value
// depends only on its sample, so each text is made once and copied into the rows.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export/text/CTextFormat.h"

class CSampleText
{
public:
    enum Kind {
        kBit,          // "\t%-12d": bit `bit` of the sample, 0 or 1
        kWord,         // "\t%-12.0lf": the whole sample
        kMicrovolts,   // "\t%-12.2lf": (sample - zero) x scale
    };

    // Prepares the column. In the fast mode a table of all 65536 texts is made with snprintf
    // (unless they would take more than a few megabytes, as an absurd scale can make them);
    // without a table each value is formatted when it is appended.
    CSampleText(Kind kind, int bit, uint16_t zero, double scale, const CTextFormat& format);

    // Appends the tab and the text of sample `v`.
    void Append(std::string& out, uint16_t v) const
    {
        if (m_hasTable) {
            const uint32_t at = m_offsets[v];
            out.append(m_pool.data() + at, m_offsets[v + 1u] - at);
        } else {
            Format(out, v);
        }
    }
    bool HasTable() const { return m_hasTable; }
    bool Matches(Kind kind, int bit, uint16_t zero, double scale) const;

private:
    void Format(std::string& out, uint16_t v) const;

    Kind m_kind;
    int m_bit;
    uint16_t m_zero;
    double m_scale;
    CTextFormat m_format;
    bool m_hasTable = false;
    std::vector<uint32_t> m_offsets;   // 65537 entries: text v is pool[offsets[v], offsets[v + 1])
    std::string m_pool;
};
