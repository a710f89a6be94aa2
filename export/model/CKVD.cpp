#include "export/model/CKVD.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <memory>

#include "datafile/container/CKVTAChannel.h"
#include "datafile/container/CKVTAStream.h"
#include "datafile/container/CKVTATimeStamp.h"
#include "datafile/events/CKVTAEvent.h"

namespace {

constexpr uint64_t kNsPerSecond = 1000000000ULL;
constexpr uint64_t kNsPerMinute = 60 * kNsPerSecond;
constexpr uint64_t kNsPerHour = 60 * kNsPerMinute;

// The C library's time separator: the programs run in the "C" locale.
const char kTimeSeparator[] = ":";

// Local calendar text of one stamp: strftime "%c" plus ".mmm"; false when the calendar cannot
// show it (a year before 1900 or a time mktime rejects).
bool LocalTimeText(const CKVTATimeStamp& stamp, std::string& text)
{
    std::unique_ptr<CKVTATimeStamp> local = stamp.ToLocalTime();
    if (!local)
        return false;
    const int year = local->GetYear();
    const int month = local->GetMonth();
    const int day = local->GetDay();
    const int hour = local->GetHour();
    const int minute = local->GetMinute();
    const int second = local->GetSecond();
    const int millisecond = local->GetMillisecond();
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59
        || second > 59)
        return false;
    struct tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    if (mktime(&parts) == static_cast<time_t>(-1))
        return false;
    char calendar[128];
    if (strftime(calendar, sizeof calendar, "%c", &parts) == 0)
        calendar[0] = '\0';
    char withMs[160];
    std::snprintf(withMs, sizeof withMs, "%s.%03d", calendar, millisecond);
    text = withMs;
    return true;
}

} // namespace

CKVD::~CKVD()
{
    if (m_isOpen)
        m_file.Reset();
}

bool CKVD::Open(const std::string& path)
{
    if (m_isOpen)
        m_file.Reset();
    m_isOpen = false;
    m_path.clear();
    if (m_file.Open(path) != 0)
        return false;
    m_path = path;
    m_isOpen = true;
    return true;
}

int CKVD::GetLayoutType() const
{
    const int kind = m_file.GetSourceType();
    return kind >= 0 && kind <= 3 ? kind : 4;
}

CKVTAStream* CKVD::GetStream(int i) const
{
    return m_file.GetStream(i);
}

CKVTAStream* CKVD::FindStream(const std::string& name) const
{
    const std::string withEvent = name + " Event";
    for (int i = 0; i < m_file.GetStreamCount(); ++i) {
        CKVTAStream* stream = m_file.GetStream(i);
        if (!stream)
            continue;
        const std::string streamName = stream->GetName();
        if (streamName == name || streamName == withEvent)
            return stream;
    }
    return nullptr;
}

CKVTAStream* CKVD::FindStreamById(const std::string& id) const
{
    for (int i = 0; i < m_file.GetStreamCount(); ++i) {
        CKVTAStream* stream = m_file.GetStream(i);
        if (stream && stream->GetId() == id)
            return stream;
    }
    return nullptr;
}

bool CKVD::GetStreamNames(std::vector<std::string>& names) const
{
    for (int i = 0; i < m_file.GetStreamCount(); ++i)
        if (const CKVTAStream* stream = m_file.GetStream(i))
            names.push_back(stream->GetName());
    return !names.empty();
}

const CKVTAChannel* CKVD::FindChannel(const std::string& streamName, const std::string& channelName) const
{
    const CKVTAStream* stream = FindStream(streamName);
    for (int i = 0; stream && i < stream->GetChannelCount(); ++i) {
        const CKVTAChannel* channel = stream->GetChannel(i);
        if (channel && channel->GetName2() == channelName)
            return channel;
    }
    return nullptr;
}

int CKVD::GetChannelId(const std::string& streamName, const std::string& channelName) const
{
    const CKVTAChannel* channel = FindChannel(streamName, channelName);
    return channel ? channel->GetId() : -1;
}

int CKVD::GetChannelExtensionValue(const std::string& streamName, const std::string& channelName) const
{
    const CKVTAChannel* channel = FindChannel(streamName, channelName);
    return channel ? channel->GetExtensionValue() : -1;
}

bool CKVD::GetEventTimes(CKVTAStream* stream, std::vector<double>& times) const
{
    if (!stream)
        return false;
    std::unique_ptr<CKVTAEvent> cursor = stream->GetFirstEvent();
    if (!cursor)
        return false;
    do {
        const CKVTATimeStamp& stamp = cursor->GetTimeStamp();
        times.push_back(stamp.GetSecondsSinceStart() + stamp.GetMilliseconds() / 1000.0
                        + stamp.GetMicroseconds() / 1000000.0);
    } while (cursor->Next());
    return true;
}

int64_t CKVD::GetPressTimeUs() const
{
    return static_cast<int64_t>(m_file.GetFileTimeStamp().GetTime() / 1000);
}

int64_t CKVD::ToMicroseconds(const CKVTATimeStamp& stamp)
{
    // Truncated toward zero, as whole seconds, milliseconds and microseconds add up.
    return stamp.GetSinceStart() / 1000;
}

int64_t CKVD::GetSweepStartTimeUs(int sweep)
{
    std::unique_ptr<CKVTATimeStamp> stamp = m_file.GetSweepStartTime(sweep);
    return stamp ? ToMicroseconds(*stamp) : 0;
}

int64_t CKVD::GetSweepStopTimeUs(int sweep)
{
    std::unique_ptr<CKVTATimeStamp> stamp = m_file.GetSweepStopTime(sweep);
    return stamp ? ToMicroseconds(*stamp) : 0;
}

int64_t CKVD::GetRecordingStopTimeUs() const
{
    return ToMicroseconds(m_file.GetStopTimeStamp());
}

void CKVD::GetRecordingTimeTexts(std::string& press, std::string& start, std::string& stop,
                                 std::string& duration) const
{
    bool valid = true;
    const CKVTATimeStamp* stamps[3] = {&m_file.GetFileTimeStamp(), &m_file.GetStartTimeStamp(),
                                       &m_file.GetStopTimeStamp()};
    std::string* texts[3] = {&press, &start, &stop};
    for (int i = 0; i < 3; ++i) {
        if (!LocalTimeText(*stamps[i], *texts[i])) {
            *texts[i] = "Unknown";
            valid = false;
        }
    }
    if (!valid) {
        duration = "Unknown";
        return;
    }
    // Unsigned like the recorded times: a stop before the start shows as a huge duration.
    const uint64_t d = m_file.GetStopTimeStamp().GetTime() - m_file.GetStartTimeStamp().GetTime();
    char text[96];
    std::snprintf(text, sizeof text, "%02" PRIu64 "%s%02d%s%02d.%03d", d / kNsPerHour, kTimeSeparator,
                  static_cast<int>(d % kNsPerHour / kNsPerMinute), kTimeSeparator,
                  static_cast<int>(d % kNsPerMinute / kNsPerSecond),
                  static_cast<int>(d % kNsPerSecond / 1000000));
    duration = text;
}

uint64_t CKVD::GetFileSize() const
{
    struct stat info {};
    if (m_path.empty() || stat(m_path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return 0;
    return static_cast<uint64_t>(info.st_size);
}

void CKVD::GetFileSizeText(std::string& text) const
{
    text = FormatFileSize(GetFileSize());
}

std::string CKVD::FormatFileSize(uint64_t n)
{
    char text[64];
    if (n < 1000ULL)
        std::snprintf(text, sizeof text, "%" PRIu64, n);
    else if (n < 1000000ULL)
        std::snprintf(text, sizeof text, "%" PRIu64 ".%03" PRIu64, n / 1000, n % 1000);
    else if (n < 1000000000ULL)
        std::snprintf(text, sizeof text, "%" PRIu64 ".%03" PRIu64 ".%03" PRIu64, n / 1000000,
                      n % 1000000 / 1000, n % 1000);
    else
        std::snprintf(text, sizeof text, "%" PRIu64 ".%03" PRIu64 ".%03" PRIu64 ".%03" PRIu64,
                      n / 1000000000, n % 1000000000 / 1000000, n % 1000000 / 1000, n % 1000);
    return text;
}
