#include "export/abf/CABF.h"

#include <cmath>
#include <cstring>

#include "export/abf/AbfFileLibrary.h"
#include "export/abf/AbfMessages.h"

namespace {

bool IsChannel(int channel)
{
    return channel >= 0 && channel < kAbfAdcCount;
}

// User units per ADC step for a stream: microvolts from its volts per step; 1 (the bare step)
// when the recording gives no usable value.
double UnitsPerStep(const AbfStreamScaling& stream)
{
    const double microvolts = stream.voltsPerStep * 1000000.0;
    return std::isfinite(microvolts) && microvolts > 0.0 ? microvolts : 1.0;
}

} // namespace

CABF::CABF()
{
    AbfInitFileHeader(m_header);
}

CABF::~CABF()
{
    if (IsOpen())
        (void)Close();
}

bool CABF::OpenForWrite(const std::string& path, int* error)
{
    if (IsOpen())
        return AbfSetError(error, kAbfOpenFailed);
    int handle = -1;
    if (!AbfOpenForWrite(path.c_str(), &handle, 0, &m_header, error))
        return false;
    // A file whose descriptor the library cannot name is not used: it is closed again.
    int value = -1;
    if (!AbfGetFileValue(handle, &value, error)) {
        (void)AbfClose(handle, nullptr);   // the first error is the one returned
        return false;
    }
    m_handle = handle;
    m_fileName = path;
    return true;
}

bool CABF::WriteMultiplexData(const int16_t* samples, uint32_t count, int32_t start, unsigned flags,
                              int* error)
{
    return AbfWriteMultiplexData(m_handle, &m_header, flags, samples, start, count, error);
}

bool CABF::WriteTag(int32_t time, const std::string& comment, int* error)
{
    m_tag = AbfTag();
    m_tag.time = time;
    const size_t n = comment.size() < kAbfTagCommentWidth ? comment.size() : kAbfTagCommentWidth;
    std::memset(m_tag.comment, ' ', kAbfTagCommentWidth);
    std::memcpy(m_tag.comment, comment.data(), n);
    m_tag.type = 0;
    m_tag.voiceTagNumber = 0;
    return AbfWriteTag(m_handle, &m_header, &m_tag, error);
}

bool CABF::UpdateHeader(int* error)
{
    return AbfUpdateHeader(m_handle, &m_header, error);
}

bool CABF::Close(int* error)
{
    const int handle = m_handle;
    m_handle = -1;
    return AbfClose(handle, error);
}

std::string CABF::LibraryText(int error) const
{
    return AbfErrorText(error, m_fileName);
}

std::string CABF::ErrorMessage(int error) const
{
    bool known = false;
    const std::string text = AbfErrorText(error, m_fileName, &known);
    if (!known)
        return "Unknown error number: " + std::to_string(error) + "\r\n";
    return "ERROR: " + text;
}

void CABF::SetOperationMode(int16_t mode)
{
    m_header.Set<int16_t>(AbfField::nOperationMode, mode);
}

void CABF::SetEpisodes(int32_t episodes)
{
    m_header.Set<int32_t>(AbfField::lActualEpisodes, episodes);
}

void CABF::SetSamplesPerEpisode(int32_t samples)
{
    m_header.Set<int32_t>(AbfField::lNumSamplesPerEpisode, samples);
}

void CABF::SetAdcChannelCount(int count)
{
    if (count >= 1 && count <= kAbfAdcCount)
        m_header.Set<int16_t>(AbfField::nADCNumChannels, static_cast<int16_t>(count));
    const int used = count < 0 ? 0 : (count > kAbfAdcCount ? kAbfAdcCount : count);
    for (int i = 0; i < kAbfAdcCount; ++i)
        m_header.Set<int16_t>(AbfField::nADCSamplingSeq + 2 * i, static_cast<int16_t>(i < used ? i : -1));
}

void CABF::SetAdcSampleInterval(float microseconds)
{
    m_header.Set<float>(AbfField::fADCSampleInterval, microseconds);
}

void CABF::SetAdcChannelName(int channel, const std::string& name)
{
    if (IsChannel(channel))
        m_header.SetText(AbfField::sADCChannelName + kAbfAdcNameWidth * channel, name.c_str(),
                         kAbfAdcNameWidth);
}

void CABF::SetAdcUnits(int channel, char unitCharacter)
{
    if (!IsChannel(channel))
        return;
    const std::string units = unitCharacter == 'V' ? std::string("\xB5V") : std::string(1, unitCharacter);
    m_header.SetText(AbfField::sADCUnits + kAbfAdcUnitsWidth * channel, units.c_str(), kAbfAdcUnitsWidth);
}

void CABF::SetAdcResolution(const AbfStreamScaling& stream)
{
    int32_t resolution = 32768;
    double range = 0.0;
    if (stream.adcBits == 16) {
        resolution = 65536;
        const double amplifier = stream.rangeCode > 0 ? AmplifierRange(stream.rangeCode) : 0.0;
        // Without a range code the channels are scaled from volts per step alone.
        range = amplifier > 0.0 ? 2.0 * amplifier : static_cast<double>(resolution);
    } else {
        if (stream.adcBits >= 1 && stream.adcBits <= 30) {
            const int64_t steps = (int64_t{1} << stream.adcBits) - stream.adcZero;
            if (steps > 0 && steps <= INT32_MAX)
                resolution = static_cast<int32_t>(steps);
        }
        range = static_cast<double>(resolution);
    }
    m_header.Set<int32_t>(AbfField::lADCResolution, resolution);
    m_header.Set<float>(AbfField::fADCRange, static_cast<float>(range));
}

void CABF::SetChannelScaling(int channel, const AbfStreamScaling& stream, double extensionValue)
{
    if (!IsChannel(channel))
        return;
    const bool sixteenBits = stream.adcBits == 16;
    double scale = 0.0;
    double offset = 0.0;
    if (sixteenBits && stream.rangeCode > 0 && extensionValue > 0.0 && std::isfinite(extensionValue)) {
        scale = extensionValue / 1000000000.0;
    } else {
        // Readers compute sample x range / (scale x resolution) + offset.
        const double range = m_header.Get<float>(AbfField::fADCRange);
        const double resolution = m_header.Get<int32_t>(AbfField::lADCResolution);
        const double perStep = UnitsPerStep(stream);
        scale = range / (resolution * perStep);
        if (!std::isfinite(scale) || scale <= 0.0)
            scale = 1.0 / perStep;
        // 16-bit samples are written with their zero already taken off.
        if (!sixteenBits)
            offset = -(perStep * stream.adcZero);
    }
    m_header.Set<float>(AbfField::fInstrumentScaleFactor + 4 * channel, static_cast<float>(scale));
    m_header.Set<float>(AbfField::fInstrumentOffset + 4 * channel, static_cast<float>(offset));
}

void CABF::SetFileStartTime(const SYSTEMTIME& localTime)
{
    const int32_t date = localTime.wYear * 10000 + localTime.wMonth * 100 + localTime.wDay;
    const int32_t seconds = localTime.wHour * 3600 + localTime.wMinute * 60 + localTime.wSecond;
    m_header.Set<int32_t>(AbfField::lFileStartDate, date);
    m_header.Set<int32_t>(AbfField::lFileStartTime, seconds);
    m_header.Set<int16_t>(AbfField::nFileStartMillisecs, static_cast<int16_t>(localTime.wMilliseconds));
}

std::string CABF::MakeChannelName(const std::string& streamName, const std::string& channelName)
{
    return streamName.substr(0, 2) + "_" + channelName;
}

double CABF::AmplifierRange(int32_t rangeCode)
{
    switch (rangeCode) {
    case 410: return 0.4096;
    case 819: return 0.8192;
    case 2048: return 2.048;
    case 4096: return 4.096;
    case 10: return 0.0098;
    case 20: return 0.0195;
    case 39: return 0.0391;
    case 78: return 0.0781;
    case 156: return 0.1563;
    case 313: return 0.3125;
    case 625: return 0.625;
    case 1250: return 1.25;
    case 2500: return 2.5;
    default: return rangeCode / 1000.0;
    }
}
