#pragma once
// Common base of the per-stream settings (info) objects that CKVTAStream::CreateInfo hands out.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CKVTAStream;

// Each buffer type has its own info class derived from this one; the caller of CreateInfo owns
// and deletes it. Only the parameter-stream info answers the two parameter questions: the
// parameter event cursor needs them to step over and decode its records.
class CKVTAStreamInfo
{
public:
    virtual ~CKVTAStreamInfo() = default;

    // Bytes of one channel's values in a parameter record; -1 for other info objects.
    virtual int GetParamBytesPerChannel() const { return -1; }
    // Decodes one channel's values of a parameter record (`values`: the record behind its
    // time, `size` bytes) into `out`; false when the record has fewer channels.
    virtual bool DecodeParamChannel(const CKVTAStream& stream, const uint8_t* values, size_t size,
                                    int channel, std::vector<float>& out) const
    {
        (void)stream;
        (void)values;
        (void)size;
        (void)channel;
        out.clear();
        return false;
    }
};

// What the settings readers get to build a stream's info object.
struct KvtStreamInfoSource
{
    std::string bufferType;        // exact, e.g. "spikes"
    uint16_t headerVersion = 0;    // stream header version (not the file header version)
    const uint8_t* settings = nullptr;  // the "STRMFMT " bytes behind the 32-byte head
    size_t settingsBytes = 0;
    uint16_t adcBits = 0;
    uint16_t adcZero = 0;
    double microvoltsPerStep = 0;  // volts per step x 1000000
};

// Builds the info object of a stream (for tagged types from the bytes behind the 8-byte tag,
// which CKVTAStream::CreateInfo has checked); NULL when the reader fails.
std::unique_ptr<CKVTAStreamInfo> KvtBuildStreamInfo(const KvtStreamInfoSource& source);
