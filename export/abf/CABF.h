#pragma once
// One ABF 1.83 header in memory, set up field by field for an export, with the handle of the
// file it is written to through the ABF file library.

#include <cstdint>
#include <string>

#include "export/abf/AbfHeader.h"
#include "platform/FileTime.h"

// What the scaling of one exported stream needs to know.
struct AbfStreamScaling
{
    int adcBits = 16;             // resolution of the stream's samples
    int32_t adcZero = 32768;      // stored value of 0 V
    double voltsPerStep = 0.0;    // volts per ADC step
    int32_t rangeCode = 0;        // amplifier range code of the recording (16-bit streams)
};

class CABF
{
public:
    // A cleared header with the ABF 1.83 defaults; no file.
    CABF();
    // Closes this object's file when it is still open (without completing its header).
    virtual ~CABF();
    CABF(const CABF&) = delete;
    CABF& operator=(const CABF&) = delete;

    AbfFileHeader& Header() { return m_header; }
    int Handle() const { return m_handle; }           // -1 when no file is open
    bool IsOpen() const { return m_handle >= 0; }

    // The file operations. Each returns false with the library's error number in `error`.
    // Creates the file and writes the header as it stands.
    [[nodiscard]] bool OpenForWrite(const std::string& path, int* error = nullptr);
    // Appends samples of all channels (see AbfWriteMultiplexData); pass whole blocks.
    [[nodiscard]] bool WriteMultiplexData(const int16_t* samples, uint32_t count, int32_t start,
                                          unsigned flags = 0, int* error = nullptr);
    // Writes one tag at `time` (samples) with the comment cut at 56 characters, type 0.
    [[nodiscard]] bool WriteTag(int32_t time, const std::string& comment, int* error = nullptr);
    // Completes the file's header; repeating it with nothing new in between does nothing.
    [[nodiscard]] bool UpdateHeader(int* error = nullptr);
    // Closes the file; the handle is -1 afterwards, whatever the outcome.
    [[nodiscard]] bool Close(int* error = nullptr);

    // "ERROR: " and the library's text for `error` with this file's name, or
    // "Unknown error number: <n>\r\n" for a number without text.
    std::string ErrorMessage(int error) const;
    // The library's text for `error` with this file's name.
    std::string LibraryText(int error) const;

    // Header set-up. Channel indices outside 0..15 are ignored.
    void SetOperationMode(int16_t mode);
    void SetEpisodes(int32_t episodes);
    void SetSamplesPerEpisode(int32_t samples);
    // The channel count field (written only for 1..16) and the sampling sequence: 0..n-1, then -1.
    void SetAdcChannelCount(int count);
    void SetAdcSampleInterval(float microseconds);
    // Blank-padded, cut at 10 characters.
    void SetAdcChannelName(int channel, const std::string& name);
    // "\xB5V" when the stream's unit character is 'V', else that character; blank-padded.
    void SetAdcUnits(int channel, char unitCharacter);
    // ADC resolution and range of the file, from the first exported stream.
    void SetAdcResolution(const AbfStreamScaling& stream);
    // Instrument scale factor and offset of one channel, such that readers get microvolts
    // (volts for units other than 'V') from the stored samples. `extensionValue` is the channel's
    // own scale in nanovolts per unit, 0 or below when the recording has none.
    void SetChannelScaling(int channel, const AbfStreamScaling& stream, double extensionValue);
    // File start date (yyyymmdd), time of day (seconds) and milliseconds, from a local time.
    void SetFileStartTime(const SYSTEMTIME& localTime);

    // "%s_%s" of the first two characters of the stream name and the channel name.
    static std::string MakeChannelName(const std::string& streamName, const std::string& channelName);
    // The amplifier's positive full-scale range in volts for a range code of a 16-bit recording.
    static double AmplifierRange(int32_t rangeCode);

private:
    AbfFileHeader m_header;
    int m_handle = -1;
    std::string m_fileName;
    AbfTag m_tag;
};
