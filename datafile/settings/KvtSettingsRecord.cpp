#include "datafile/settings/KvtSettingsRecord.h"

#include <cmath>
#include <cstring>
#include <limits>

bool ReadText32(CByteReader& in, std::string& out)
{
    uint32_t count = 0;
    if (!in.Read(count)) {
        out.clear();
        return false;
    }
    return in.ReadText(out, count);
}

bool ReadText16(CByteReader& in, std::string& out)
{
    uint16_t count = 0;
    if (!in.Read(count)) {
        out.clear();
        return false;
    }
    return in.ReadText(out, count);
}

bool ReadTag(CByteReader& in, const char* tag)
{
    char stored[8];
    if (!in.ReadBytes(stored, sizeof stored))
        return false;
    if (std::memcmp(stored, tag, sizeof stored) != 0) {
        in.Fail();
        return false;
    }
    return true;
}

bool CountFits(CByteReader& in, uint64_t count, size_t minBytesEach)
{
    if (!in.Ok())
        return false;
    if (minBytesEach == 0 || count <= in.Remaining() / minBytesEach)
        return true;
    in.Fail();
    return false;
}

int32_t SecondsToMicroseconds(double seconds)
{
    const double scaled = seconds * 1000000.0 + 0.5;
    if (std::isnan(scaled))
        return 0;
    if (scaled >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (scaled <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(scaled);
}

int32_t ClampToInt32(int64_t value)
{
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}
