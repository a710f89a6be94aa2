#pragma once
// One opened recorded-data file as the document, converters, report and dialogs see it.

#include <cstdint>
#include <string>
#include <vector>

#include "datafile/container/CKVTAStreamFile.h"

class CKVTAChannel;
class CKVTAStream;
class CKVTATimeStamp;

class CKVD
{
public:
    CKVD() = default;
    virtual ~CKVD();
    CKVD(const CKVD&) = delete;
    CKVD& operator=(const CKVD&) = delete;

    // Opens the path (closing a file opened before); false on any failure, and the object is
    // then closed and empty. The caller words the message.
    [[nodiscard]] bool Open(const std::string& path);
    bool IsOpen() const { return m_isOpen; }
    const std::string& GetPath() const { return m_path; }
    CKVTAStreamFile& GetStreamFile() { return m_file; }
    const CKVTAStreamFile& GetStreamFile() const { return m_file; }

    // 0 plain, 1 single array, 2 double array, 3 individual layout; 4 for any other kind.
    int GetLayoutType() const;

    // Stream i, or NULL when i is not below the stream count.
    CKVTAStream* GetStream(int i) const;
    // The first stream whose name equals `name` or `name` + " Event" (exact case); NULL if none.
    CKVTAStream* FindStream(const std::string& name) const;
    // The first stream whose 8-character stream id equals `id`; NULL if none.
    CKVTAStream* FindStreamById(const std::string& id) const;
    // Appends every stream name in file order; true when `names` is not empty afterwards.
    bool GetStreamNames(std::vector<std::string>& names) const;
    // Id and extension value of the first channel of the named stream whose display name
    // equals `channelName`; -1 when the stream or the channel is missing.
    int GetChannelId(const std::string& streamName, const std::string& channelName) const;
    int GetChannelExtensionValue(const std::string& streamName, const std::string& channelName) const;

    // Appends the time of every record of `stream` in seconds since the recording start; false
    // (the array untouched) when the stream has no records.
    bool GetEventTimes(CKVTAStream* stream, std::vector<double>& times) const;

    // Times in microseconds since the recording start. A sweep that does not exist gives 0.
    int64_t GetSweepStartTimeUs(int sweep);
    int64_t GetSweepStopTimeUs(int sweep);
    int64_t GetRecordingStopTimeUs() const;
    // The recording-button press as an absolute time in microseconds (since 1601): the time base
    // of an export whose times count from the press. Divided before it is narrowed, since the
    // stamp in nanoseconds passes the signed 64-bit range.
    int64_t GetPressTimeUs() const;

    // Local-time texts of the recording-button press, start and stop, and the duration;
    // "Unknown" for a time the calendar cannot show (and then for the duration too).
    void GetRecordingTimeTexts(std::string& press, std::string& start, std::string& stop,
                               std::string& duration) const;

    // Size of the file at the stored path; 0 when it cannot be read.
    uint64_t GetFileSize() const;
    // The size with "." between groups of three digits, e.g. 1.234.567.
    void GetFileSizeText(std::string& text) const;
    static std::string FormatFileSize(uint64_t size);

    // Microseconds since the stamp's start reference.
    static int64_t ToMicroseconds(const CKVTATimeStamp& stamp);

private:
    const CKVTAChannel* FindChannel(const std::string& streamName, const std::string& channelName) const;

    std::string m_path;
    bool m_isOpen = false;
    CKVTAStreamFile m_file;
};
