#pragma once
// A parameter settings record laid out table by table, for the settings and cursor tests.

#include <initializer_list>

#include "datafile/settings/CMIAnalyzerProperty.h"
#include "tests/datafile/settings/SettingsBytes.h"

inline constexpr uint32_t kNo = kParamNotSelected;

// A parameter settings record laid out table by table; every field holds a distinct value.
struct ParamRecord
{
    uint16_t version = 5;
    std::vector<uint32_t> sizes = {4, 4, 8, 8, 4, 8, 4, 4, 2, 4, 4, 4, 4, 4, 0};
    std::vector<uint32_t> positions = std::vector<uint32_t>(15, kNo);
    std::vector<uint32_t> selected = std::vector<uint32_t>(15, 0);
    uint32_t timeSelector = 1;
    bool endAfterDescriptionCount = false;

    // Records the quantities of `wanted` as stored and selected; their positions count up.
    ParamRecord& Select(std::initializer_list<size_t> wanted)
    {
        uint32_t next = 0;
        for (size_t q : wanted) {
            positions[q] = next++;
            selected[q] = 1;
        }
        return *this;
    }

    std::vector<uint8_t> Bytes() const
    {
        SettingsBytes b;
        b.Tag("FMTBLPAR").U16(static_cast<uint16_t>(sizes.size()));
        for (uint32_t s : sizes)
            b.U32(s);
        b.Tag("PSTBLPAR").U16(static_cast<uint16_t>(positions.size()));
        for (uint32_t p : positions)
            b.U32(p);
        b.Tag("PRTBLPAR").U16(static_cast<uint16_t>(selected.size()));
        for (size_t i = 0; i < selected.size(); ++i) {
            b.F32(-1.0f - i).F32(1.0f + i).I32(7).F64(2.0 + i).I32(1).I32(8);
            b.Str16("stored" + std::to_string(i));
        }
        if (version != 0) {
            b.I32(-5).U32(timeSelector);
            for (uint32_t s : selected)
                b.U32(s);
            b.U32(77);
            if (endAfterDescriptionCount)
                return b.U16(9).Get();
            b.Str16("elec0001");
            if (version >= 2) {
                b.U32(88);
                if (version >= 4)
                    b.Str16("second");
                b.I32(-7).F32(12.5f).F32(250.0f).U16(1).U16(2);
                if (version >= 4)
                    b.Str32("from").Str32("to");
                if (version >= 5)
                    b.U32(99);
            }
        }
        return b.Get();
    }
};

