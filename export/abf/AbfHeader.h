#pragma once
// The 6144-byte ABF 1.83 file header: byte layout of the fields Sondrel writes, and its defaults.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/CByteReader.h"

constexpr size_t kAbfHeaderBytes = 6144;
constexpr size_t kAbfBlockBytes = 512;        // section positions count 512-byte blocks
constexpr int kAbfAdcCount = 16;
constexpr int kAbfDacCount = 4;
constexpr size_t kAbfAdcNameWidth = 10;
constexpr size_t kAbfAdcUnitsWidth = 8;
constexpr size_t kAbfTagBytes = 64;
constexpr size_t kAbfTagCommentWidth = 56;
constexpr size_t kAbfSynchEntryBytes = 8;     // start, length (int32 each)
constexpr float kAbfVersion = 1.83f;

// Byte offsets of the header fields (names as the format's documentation gives them).
namespace AbfField {
constexpr size_t lFileSignature = 0;              // "ABF "
constexpr size_t fFileVersionNumber = 4;          // float
constexpr size_t nOperationMode = 8;              // int16
constexpr size_t lActualAcqLength = 10;           // int32, samples of all channels
constexpr size_t lActualEpisodes = 16;            // int32
constexpr size_t lFileStartDate = 20;             // int32, yyyymmdd
constexpr size_t lFileStartTime = 24;             // int32, seconds since midnight
constexpr size_t fHeaderVersionNumber = 32;       // float
constexpr size_t nFileType = 36;                  // int16
constexpr size_t lDataSectionPtr = 40;            // int32, blocks
constexpr size_t lTagSectionPtr = 44;
constexpr size_t lNumTagEntries = 48;
constexpr size_t lScopeConfigPtr = 52;
constexpr size_t lNumScopes = 56;
constexpr size_t lDACFilePtrOld = 60;
constexpr size_t lDACFileNumEpisodesOld = 64;
constexpr size_t lDeltaArrayPtr = 72;
constexpr size_t lNumDeltas = 76;
constexpr size_t lVoiceTagPtr = 80;
constexpr size_t lVoiceTagEntries = 84;
constexpr size_t lSynchArrayPtr = 92;
constexpr size_t lSynchArraySize = 96;
constexpr size_t nDataFormat = 100;               // int16, 0 = int16 samples, >0 = float
constexpr size_t lStatisticsConfigPtr = 104;
constexpr size_t lAnnotationSectionPtr = 108;
constexpr size_t lNumAnnotations = 112;
constexpr size_t nADCNumChannels = 120;           // int16
constexpr size_t fADCSampleInterval = 122;        // float, microseconds
constexpr size_t fADCSecondSampleInterval = 126;  // float
constexpr size_t fSynchTimeUnit = 130;            // float, 0 = synch times in samples
constexpr size_t lNumSamplesPerEpisode = 138;     // int32, all channels
constexpr size_t lPreTriggerSamples = 142;
constexpr size_t lEpisodesPerRun = 146;
constexpr size_t lRunsPerTrial = 150;
constexpr size_t lNumberOfTrials = 154;
constexpr size_t fTriggerThreshold = 164;         // float
constexpr size_t lCalculationPeriod = 214;
constexpr size_t fADCRange = 244;                 // float, volts
constexpr size_t fDACRange = 248;
constexpr size_t lADCResolution = 252;
constexpr size_t lDACResolution = 256;
constexpr size_t nExperimentType = 260;           // int16
constexpr size_t fAutosampleAdditGain = 268;      // float
constexpr size_t fAutosampleFilter = 272;         // float
constexpr size_t nFileStartMillisecs = 366;       // int16
constexpr size_t nADCPtoLChannelMap = 378;        // int16 x 16
constexpr size_t nADCSamplingSeq = 410;           // int16 x 16, -1 beyond the used channels
constexpr size_t sADCChannelName = 442;           // char[10] x 16
constexpr size_t sADCUnits = 602;                 // char[8] x 16
constexpr size_t fADCProgrammableGain = 730;      // float x 16
constexpr size_t fADCDisplayAmplification = 794;
constexpr size_t fInstrumentScaleFactor = 922;
constexpr size_t fInstrumentOffset = 986;
constexpr size_t fSignalGain = 1050;
constexpr size_t fSignalLowpassFilter = 1178;
constexpr size_t sDACChannelName = 1306;          // char[10] x 4
constexpr size_t sDACChannelUnits = 1346;         // char[8] x 4
constexpr size_t fDACScaleFactor = 1378;          // float x 4
constexpr size_t fDACHoldingLevel = 1394;         // float x 4
constexpr size_t nDigitalHolding = 1584;          // int16, then nDigitalInterEpisode
constexpr size_t lHeaderSize = 2034;              // int32
constexpr size_t lDACFilePtr = 2048;              // int32 x 2
constexpr size_t lDACFileNumEpisodes = 2056;      // int32 x 2
constexpr size_t fDACCalibrationFactor = 2074;    // float x 4
constexpr size_t fTelegraphAdditGain = 4576;      // float x 16
constexpr size_t fTelegraphFilter = 4640;         // float x 16
constexpr size_t FileGUID = 5282;                 // 16 bytes
constexpr size_t ulFileCRC = 5314;                // uint32
} // namespace AbfField

static_assert(AbfField::sADCChannelName + kAbfAdcCount * kAbfAdcNameWidth == AbfField::sADCUnits,
              "ABF channel-name table drifted");
static_assert(AbfField::sADCUnits + kAbfAdcCount * kAbfAdcUnitsWidth == AbfField::fADCProgrammableGain,
              "ABF units table drifted");
static_assert(AbfField::sDACChannelName + kAbfDacCount * kAbfAdcNameWidth == AbfField::sDACChannelUnits,
              "ABF DAC-name table drifted");
static_assert(AbfField::ulFileCRC + 4 <= kAbfHeaderBytes, "ABF header layout drifted");

// One ABF header image. Fields are read and written little-endian at their byte offsets.
struct AbfFileHeader
{
    uint8_t bytes[kAbfHeaderBytes] = {};

    template <class T>
    T Get(size_t offset) const
    {
        return offset + sizeof(T) <= kAbfHeaderBytes ? LoadLE<T>(bytes + offset) : T();
    }

    template <class T>
    void Set(size_t offset, T value)
    {
        if (offset + sizeof(T) <= kAbfHeaderBytes)
            StoreLE<T>(bytes + offset, value);
    }

    // Writes `text` into a field of `width` bytes: cut at the width, the rest filled with blanks.
    void SetText(size_t offset, const char* text, size_t width);
};

// One ABF tag record as it is stored in the tag section.
struct AbfTag
{
    int32_t time = 0;                      // samples
    char comment[kAbfTagCommentWidth] = {};
    int16_t type = 0;
    int16_t voiceTagNumber = 0;
};

// Clears the header and fills in the signature, versions, sizes and the published defaults.
void AbfInitFileHeader(AbfFileHeader& header);

// Sample size in bytes: 4 when the header's data format says float samples, else 2.
size_t AbfGetSampleSize(const AbfFileHeader& header);
