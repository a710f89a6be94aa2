#include "platform/Guid.h"

#include <cerrno>
#include <cstddef>

#include <sys/random.h>

#include "platform/CByteReader.h"

bool CoCreateGuid(GUID* guid)
{
    if (!guid)
        return false;
    *guid = GUID();
    uint8_t bytes[kGuidBytes];
    size_t have = 0;
    while (have < sizeof bytes) {
        const ssize_t got = getrandom(bytes + have, sizeof bytes - have, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        have += static_cast<size_t>(got);
    }
    *guid = GuidFromBytes(bytes);
    guid->Data3 = static_cast<uint16_t>((guid->Data3 & 0x0FFF) | 0x4000);      // version 4
    guid->Data4[0] = static_cast<uint8_t>((guid->Data4[0] & 0x3F) | 0x80);     // variant 10xx
    return true;
}

void GuidToBytes(const GUID& guid, uint8_t* bytes)
{
    StoreLE<uint32_t>(bytes, guid.Data1);
    StoreLE<uint16_t>(bytes + 4, guid.Data2);
    StoreLE<uint16_t>(bytes + 6, guid.Data3);
    for (int i = 0; i < 8; ++i)
        bytes[8 + i] = guid.Data4[i];
}

GUID GuidFromBytes(const uint8_t* bytes)
{
    GUID guid;
    guid.Data1 = LoadLE<uint32_t>(bytes);
    guid.Data2 = LoadLE<uint16_t>(bytes + 4);
    guid.Data3 = LoadLE<uint16_t>(bytes + 6);
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = bytes[8 + i];
    return guid;
}
