#pragma once
// Which whole-file inputs the recording targets take on: a header may claim up to 65535
// channels, and opening builds a default layout record for each (megabytes, and a slow run
// under the sanitizers), whatever the size of the file. Real setups have a few hundred.

#include <cstddef>
#include <cstdint>

#include "datafile/container/KvdFormat.h"
#include "datafile/layout/CKVLayout.h"
#include "platform/CByteReader.h"

namespace FuzzRecording {

constexpr uint16_t kMaxDefaultLayoutChannels = 1024;

// False for a file whose header asks for a default layout of more channels than that.
inline bool WithinBudget(const uint8_t* data, size_t size)
{
    namespace FH = Kvd::FileHeader;
    constexpr size_t at = Kvd::kFileHeaderAt;
    if (size < at + 2)
        return true;
    const size_t onDisk = Kvd::FileHeaderBytesOnDisk(LoadLE<uint16_t>(data + at));
    if (onDisk < FH::kTotalChannels + 2 || size < at + FH::kTotalChannels + 2)
        return true;
    return LoadLE<int32_t>(data + at + FH::kLayoutKind) == CKVLayout::kIndividualLayout
        || LoadLE<uint16_t>(data + at + FH::kTotalChannels) <= kMaxDefaultLayoutChannels;
}

} // namespace FuzzRecording
