#pragma once
// Settings records of the analysis streams, as the tests and the fuzz seeds build them.

#include <cstdint>
#include <vector>

#include "tests/datafile/settings/SettingsBytes.h"

inline std::vector<uint8_t> AnalyserSettings(const char* tag, bool burst)
{
    SettingsBytes b;
    b.Tag(tag).U32(1).F32(0).F32(1).U32(1).F64(1.0).I32(-3).I32(3).Str32("Interval");
    b.U32(4).U32(1).U32(0).U32(1).U32(1).Str32("spks0001").U32(1);
    if (burst)
        b.I32(1).I32(2).I32(3).I32(4).I32(5);
    return b.Get();
}

inline std::vector<uint8_t> AverageSettings()
{
    SettingsBytes b;
    b.Tag("PARAMEVP").U32(5).U32(0x00030004).Str32("window").Str32("text");
    b.U16(8).F32(-20.0f).F32(80.0f);
    return b.Get();
}

inline std::vector<uint8_t> FilterSettings()
{
    SettingsBytes b;
    b.Tag("PARAMFLT").U32(1).Str32("Savitzky-Golay").U32(0).U32(0).U32(1).F32(100.0f);
    b.U32(0).U32(9).U32(4).U32(3).F64(50).F64(2).U8(0).U32(100);
    return b.Get();
}

inline std::vector<uint8_t> ChannelToolSettings()
{
    SettingsBytes b;
    b.Tag("PARAMCHT").U16(3).Str32("elec0001").Str32("E12");
    return b.Get();
}
