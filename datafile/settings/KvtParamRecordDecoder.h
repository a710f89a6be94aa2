#pragma once
// Turns one channel's stored values of a parameter record into numbers.

#include <cstddef>
#include <cstdint>
#include <vector>

class CKVTAInfoParam;

// Stands for "no value" in decoded parameter values: the largest float.
constexpr float kParamNoValue = 3.4028235e+38f;

class KvtParamRecordDecoder
{
public:
    // `info` must outlive the decoder. `adcZero` and `voltsPerStep` are the stream's format-head
    // values as stored; `headerVersion` is the stream header version.
    KvtParamRecordDecoder(const CKVTAInfoParam& info, int channelCount, uint16_t adcZero,
                          double voltsPerStep, int headerVersion);

    // The record's value bytes: everything behind its int64 time, as far as the buffer holds it.
    void SetRecord(const uint8_t* values, size_t size);

    // Writes one float per recorded quantity of `channel`, in quantity order, into values[0..];
    // the vector grows as needed and keeps elements it does not write. A value that lies past
    // the record's end reads as kParamNoValue. Returns 1, or 0 when the channel is outside the
    // stream's channels or starts at or past the record's end.
    [[nodiscard]] int DecodeChannel(int channel, std::vector<float>& values) const;

private:
    float DecodeValue(size_t quantity, size_t offset, uint32_t valueSize) const;

    const CKVTAInfoParam& m_info;
    int m_channelCount;
    uint16_t m_adcZero;
    double m_voltsPerStep;
    int m_headerVersion;
    const uint8_t* m_values = nullptr;
    size_t m_size = 0;
};
