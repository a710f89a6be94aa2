#pragma once
// Byte layout of the recorded-data container: chunk framing, chunk ids, the file header block
// by version and the data-chunk header.

#include <cstddef>
#include <cstdint>

namespace Kvd {

// Every chunk starts with an 8-byte id (blank-padded, not terminated) and an int64 size.
constexpr size_t kIdBytes = 8;
constexpr size_t kFrameBytes = 16;

constexpr char kIdMagic[] = "KVTSTRM ";
constexpr char kIdListHeader[] = "LISThdr ";
constexpr char kIdFileHeader[] = "KVTHDR  ";
constexpr char kIdLayout[] = "LAYOUT  ";
constexpr char kIdStimulator[] = "VESPRA  ";
constexpr char kIdStreamHeader[] = "STRMHDR ";
constexpr char kIdStreamFormat[] = "STRMFMT ";
constexpr char kIdListStreams[] = "LISTstrm";
constexpr char kIdIndexPosition[] = "IDX1POS ";
constexpr char kIdIndex[] = "IDX1KVT ";
constexpr char kIdIndexEntries[] = "IDXIDX  ";
constexpr char kIdIndexSweeps[] = "IDXSWEEP";

// The reader seeks here for "LISThdr "; the file header payload starts at kFileHeaderAt.
constexpr uint64_t kListHeaderAt = 16;
constexpr uint64_t kFileHeaderAt = 48;
constexpr int64_t kFileHeaderSizeWritten = 2328;

// Data chunk: id, size = 16 + payload, start time, stop time, payload.
namespace DataChunk {
constexpr size_t kId = 0;
constexpr size_t kSize = 8;
constexpr size_t kStart = 16;
constexpr size_t kStop = 24;
constexpr size_t kHeaderBytes = 32;
// The size field counts the two time fields as well; anything smaller is not a data chunk.
constexpr int64_t kMinSize = 16;
}

// File header block ("KVTHDR  " payload), kept in memory as a zero-filled 2328-byte block.
namespace FileHeader {
constexpr size_t kVersion = 0;              // u16, 0..11
constexpr size_t kProgramVersion1 = 4;      // int32: major in the high 16 bits
constexpr size_t kProgramVersion2 = 8;      // int32
constexpr size_t kTextBlock = 272;          // char[520]
constexpr size_t kTextBlockWidth = 520;
constexpr size_t kRecordingTime = 792;      // int64, versions 0-2: the start time
constexpr size_t kStreamCount = 800;        // int32
constexpr size_t kSampleRate = 804;         // int32, 1/1000 Hz
constexpr size_t kRecordingMode = 808;      // int32: 0, 1, 2
constexpr size_t kWindowStart = 812;        // float32 ms
constexpr size_t kWindowExtent = 816;       // float32 ms
constexpr size_t kTriggerStreamNumber = 820; // u16, versions 1-4
constexpr size_t kLayoutKind = 824;         // int32
constexpr size_t kElectrodeCount1 = 828;    // seven u16 channel-group values from here
constexpr size_t kElectrodeFirst1 = 830;
constexpr size_t kAnalogCount1 = 832;
constexpr size_t kAnalogFirst1 = 834;
constexpr size_t kDigitalCount = 836;
constexpr size_t kDigitalFirst = 838;
constexpr size_t kTotalChannels = 840;
constexpr size_t kStopTime = 848;           // int64
constexpr size_t kDataChunkCount = 856;     // int64
constexpr size_t kIndexFlag = 864;          // int32
constexpr size_t kChunkTimeLimit = 868;     // int32 ns
constexpr size_t kStartTime = 872;          // int64
constexpr size_t kStartTriggerId = 888;     // char[9]
constexpr size_t kStopTriggerId = 897;      // char[9]
constexpr size_t kTriggerIdWidth = 9;
constexpr size_t kInfoRecords = 912;        // 4 x 320 bytes
constexpr size_t kInfoRecordBytes = 320;
constexpr int kInfoRecordCount = 4;
constexpr size_t kInfoRecordText = 56;      // offset inside one record
constexpr size_t kInfoRecordTextWidth = 264;
constexpr size_t kElectrodeCount2 = 2192;   // u16
constexpr size_t kElectrodeFirst2 = 2194;
constexpr size_t kAnalogCount2 = 2196;
constexpr size_t kAnalogFirst2 = 2198;
constexpr size_t kVersion8Value = 2200;     // int32
constexpr size_t kTitle = 2208;             // char[80]
constexpr size_t kTitleWidth = 80;
constexpr size_t kSubtitle = 2288;          // char[32]
constexpr size_t kSubtitleWidth = 32;
constexpr size_t kStimulatorFlag = 2320;    // u8
constexpr size_t kBytes = 2328;
constexpr uint16_t kHighestVersion = 11;
}
static_assert(FileHeader::kInfoRecords + FileHeader::kInfoRecordCount * FileHeader::kInfoRecordBytes
                  == FileHeader::kElectrodeCount2, "info records drifted");
static_assert(FileHeader::kSubtitle + FileHeader::kSubtitleWidth == FileHeader::kStimulatorFlag,
              "file header text fields drifted");

// Bytes of the file header on disk (version field included), 0 for an unknown version.
constexpr size_t FileHeaderBytesOnDisk(uint16_t version)
{
    constexpr size_t bytes[] = {808, 872, 872, 888, 888, 912, 1232, 1232, 2208, 2208, 2320, 2328};
    return version <= FileHeader::kHighestVersion ? bytes[version] : 0;
}

// The index-position chunk: "IDX1POS ", int64 8, int64 absolute offset of "IDX1KVT " (0 = none).
constexpr size_t kIndexPositionChunkBytes = 24;

} // namespace Kvd
