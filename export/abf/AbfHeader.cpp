#include "export/abf/AbfHeader.h"

#include <cstdio>

void AbfFileHeader::SetText(size_t offset, const char* text, size_t width)
{
    if (offset > kAbfHeaderBytes || width > kAbfHeaderBytes - offset)
        return;
    size_t n = 0;
    if (text)
        while (n < width && text[n] != '\0')
            ++n;
    if (n > 0)
        std::memcpy(bytes + offset, text, n);
    std::memset(bytes + offset + n, ' ', width - n);
}

void AbfInitFileHeader(AbfFileHeader& header)
{
    using namespace AbfField;
    header = AbfFileHeader();
    std::memcpy(header.bytes + lFileSignature, "ABF ", 4);
    header.Set<float>(fFileVersionNumber, kAbfVersion);
    header.Set<float>(fHeaderVersionNumber, kAbfVersion);
    header.Set<int32_t>(lHeaderSize, static_cast<int32_t>(kAbfHeaderBytes));
    header.Set<int16_t>(nFileType, 1);
    header.Set<int16_t>(nOperationMode, 3);
    header.Set<int32_t>(lDataSectionPtr, static_cast<int32_t>(kAbfHeaderBytes / kAbfBlockBytes));
    header.Set<int16_t>(nDataFormat, 0);
    header.Set<int16_t>(nADCNumChannels, 1);
    header.Set<float>(fADCSampleInterval, 100.0f);
    header.Set<float>(fADCSecondSampleInterval, 0.0f);
    header.Set<float>(fSynchTimeUnit, 0.0f);
    header.Set<int32_t>(lNumSamplesPerEpisode, 512);
    header.Set<int32_t>(lPreTriggerSamples, 16);
    header.Set<int32_t>(lEpisodesPerRun, 1);
    header.Set<int32_t>(lRunsPerTrial, 1);
    header.Set<int32_t>(lNumberOfTrials, 1);
    header.Set<int32_t>(lCalculationPeriod, 16384);
    header.Set<float>(fADCRange, 10.24f);
    header.Set<float>(fDACRange, 10.24f);
    header.Set<int32_t>(lADCResolution, 32768);
    header.Set<int32_t>(lDACResolution, 32768);
    header.Set<int16_t>(nExperimentType, 2);
    header.Set<float>(fAutosampleAdditGain, 1.0f);
    header.Set<float>(fAutosampleFilter, 100000.0f);

    char text[32];
    for (int i = 0; i < kAbfAdcCount; ++i) {
        header.Set<int16_t>(nADCPtoLChannelMap + 2 * i, static_cast<int16_t>(i));
        // Readers take every sequence entry of 0 or more as a sampled channel.
        header.Set<int16_t>(nADCSamplingSeq + 2 * i, static_cast<int16_t>(i == 0 ? 0 : -1));
        // The default name is 12 characters; only the field's 10 are kept.
        std::snprintf(text, sizeof text, "AI #%-8d", i);
        header.SetText(sADCChannelName + kAbfAdcNameWidth * i, text, kAbfAdcNameWidth);
        header.SetText(sADCUnits + kAbfAdcUnitsWidth * i, "pA", kAbfAdcUnitsWidth);
        header.Set<float>(fADCProgrammableGain + 4 * i, 1.0f);
        header.Set<float>(fADCDisplayAmplification + 4 * i, 1.0f);
        header.Set<float>(fInstrumentScaleFactor + 4 * i, 0.1f);
        header.Set<float>(fInstrumentOffset + 4 * i, 0.0f);
        header.Set<float>(fSignalGain + 4 * i, 1.0f);
        header.Set<float>(fSignalLowpassFilter + 4 * i, 100000.0f);
        header.Set<float>(fTelegraphAdditGain + 4 * i, 1.0f);
        header.Set<float>(fTelegraphFilter + 4 * i, 100000.0f);
    }
    for (int j = 0; j < kAbfDacCount; ++j) {
        std::snprintf(text, sizeof text, "AO #%-8d", j);
        header.SetText(sDACChannelName + kAbfAdcNameWidth * j, text, kAbfAdcNameWidth);
        header.SetText(sDACChannelUnits + kAbfAdcUnitsWidth * j, "mV", kAbfAdcUnitsWidth);
        header.Set<float>(fDACScaleFactor + 4 * j, 1.0f);
        header.Set<float>(fDACCalibrationFactor + 4 * j, 1.0f);
    }
}

size_t AbfGetSampleSize(const AbfFileHeader& header)
{
    return header.Get<int16_t>(AbfField::nDataFormat) > 0 ? 4 : 2;
}
