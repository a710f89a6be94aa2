#pragma once
// Random (version 4) GUIDs, laid out as the Windows GUID structure stores them on disk.

#include <cstdint>

struct GUID
{
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};
};

constexpr int kGuidBytes = 16;

// Fills `guid` from 16 random bytes with the version-4 and variant bits set. False (and the
// GUID zeroed) only when the system gives no random bytes.
[[nodiscard]] bool CoCreateGuid(GUID* guid);

// The 16 bytes of a GUID in Windows order: Data1, Data2, Data3 little-endian, then Data4.
void GuidToBytes(const GUID& guid, uint8_t* bytes);
GUID GuidFromBytes(const uint8_t* bytes);
