#pragma once
// Settings of the recording program's spike detector ("spikes" streams), per channel and unit.

#include <cstdint>
#include <map>
#include <string>

#include "platform/CByteReader.h"

struct KvtSpikeUnitSettings
{
    float values[3] = {0.0f, 0.0f, 0.0f};
    uint32_t words[2] = {255, 255};
    uint16_t word = 0;
    uint16_t unitId = 0;
};

struct KvtSpikeChannelSettings
{
    uint16_t channel = 0;
    uint16_t word = 0;
    float threshold = -0.00012f;        // volts
    uint32_t mode = 1;
    float secondThreshold = -0.00012f;
    float value1 = 0.2f;
    float value2 = 1.0f;
    std::map<uint16_t, KvtSpikeUnitSettings> units;   // by unit id

    // Reads one channel record with its unit records; a later unit with the same id replaces the
    // earlier one. Returns false when the record runs past the reader's end.
    [[nodiscard]] bool Read(CByteReader& in);
};

struct KvtSpikeSettings
{
    uint32_t wordA = 0;
    uint32_t wordB = 0;
    uint32_t wordC = 0;
    float threshold = -3.0f;
    int32_t preTrigger = 1000;          // microseconds
    int32_t postTrigger = 2000;
    int32_t deadTime = 2000;
    std::map<uint16_t, KvtSpikeChannelSettings> channels;   // by channel
    std::string inputStreamName;

    void Init() { *this = KvtSpikeSettings(); }

    // Reads the record of the given stream header version. Versions 0 to 4 hold a list of
    // trigger settings, whose parameter part depends on the file's `programVersion`. A later
    // channel record with the same channel replaces the earlier one. Returns false when the
    // record runs past the reader's end or a count cannot fit in the bytes left.
    [[nodiscard]] bool Read(CByteReader& in, uint16_t version, int32_t programVersion);

private:
    [[nodiscard]] bool ReadOldTriggerList(CByteReader& in, uint16_t version,
                                          int32_t programVersion);
};
