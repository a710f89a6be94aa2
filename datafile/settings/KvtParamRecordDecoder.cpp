#include "datafile/settings/KvtParamRecordDecoder.h"

#include "datafile/info/CKVTAInfoParam.h"
#include "platform/CByteReader.h"

KvtParamRecordDecoder::KvtParamRecordDecoder(const CKVTAInfoParam& info, int channelCount,
                                             uint16_t adcZero, double voltsPerStep,
                                             int headerVersion)
    : m_info(info), m_channelCount(channelCount), m_adcZero(adcZero),
      m_voltsPerStep(voltsPerStep), m_headerVersion(headerVersion)
{
}

void KvtParamRecordDecoder::SetRecord(const uint8_t* values, size_t size)
{
    m_values = values;
    m_size = values ? size : 0;
}

float KvtParamRecordDecoder::DecodeValue(size_t quantity, size_t offset, uint32_t valueSize) const
{
    // Reads a T at offset when the record holds it; the caller maps absent values to the marker.
    auto fits = [&](size_t bytes) { return offset <= m_size && bytes <= m_size - offset; };
    const uint8_t* at = m_values + offset;
    const double zero = m_adcZero;

    switch (quantity) {
    case 0: case 1: case 4:
        if (valueSize == 2) {
            if (!fits(2))
                return kParamNoValue;
            const uint16_t value = LoadLE<uint16_t>(at);
            return value == 0xFFFF ? kParamNoValue : float((value - zero) * m_voltsPerStep);
        } else {
            if (!fits(4))
                return kParamNoValue;
            const int32_t value = LoadLE<int32_t>(at);
            return value == -1 ? kParamNoValue : float((value - zero) * m_voltsPerStep);
        }
    case 2: case 3: {
        if (!fits(8))
            return kParamNoValue;
        const int64_t value = LoadLE<int64_t>(at);
        return value == 0 ? kParamNoValue : float(double(value) / 1000000.0);
    }
    case 5: {
        if (!fits(8))
            return kParamNoValue;
        const uint64_t value = LoadLE<uint64_t>(at);
        if (value == 0)
            return kParamNoValue;
        return value > 1000000000000ull ? float(value / 1000000000ull) : float(value);
    }
    case 6:
        if (!fits(4))
            return kParamNoValue;
        return float((LoadLE<int32_t>(at) - zero) * m_voltsPerStep);
    case 7: {
        if (!fits(4))
            return kParamNoValue;
        const uint32_t value = LoadLE<uint32_t>(at);
        return value == 0 ? kParamNoValue : float(value * m_voltsPerStep);
    }
    case 8:
        return fits(2) ? float(LoadLE<uint16_t>(at)) : kParamNoValue;
    case 9:
        if (!fits(4))
            return kParamNoValue;
        return m_headerVersion < 3 ? float(LoadLE<uint32_t>(at)) : LoadLE<float>(at);
    default:   // 10 to 13: slopes as stored
        return fits(4) ? LoadLE<float>(at) : kParamNoValue;
    }
}

int KvtParamRecordDecoder::DecodeChannel(int channel, std::vector<float>& values) const
{
    const size_t bytesPerChannel = m_info.GetBytesPerChannel();
    if (channel < 0 || channel >= m_channelCount)
        return 0;
    const size_t start = size_t(channel) * bytesPerChannel;
    if (start >= m_size)
        return 0;

    const uint32_t* valueSizes = m_info.GetAnalyzer().m_valueSizes;
    size_t offset = start;
    size_t k = 0;
    for (size_t q = 0; q < kParamQuantityCount; ++q) {
        if (!m_info.IsQuantityRecorded(int(q)))
            continue;
        if (values.size() <= k)
            values.resize(k + 1, 0.0f);
        const uint32_t valueSize = valueSizes[q] & 0xFFFF;
        if (q != kParamQuantityCount - 1)   // quantity 14 has no value of its own
            values[k] = DecodeValue(q, offset, valueSize);
        offset += valueSize;
        ++k;
    }
    return 1;
}
