#include "datafile/container/CKVTATimeStamp.h"

namespace {

constexpr int64_t kNsPerSecond = 1000000000;
constexpr int64_t kNsPerMillisecond = 1000000;
constexpr int64_t kNsPerMicrosecond = 1000;

} // namespace

CKVTATimeStamp& CKVTATimeStamp::operator=(const CKVTATimeStamp& other)
{
    if (this != &other) {
        m_time = other.m_time;
        m_start = other.m_start;
        Refresh();
    }
    return *this;
}

void CKVTATimeStamp::SetTime(uint64_t time)
{
    m_time = time;
    Refresh();
}

int32_t CKVTATimeStamp::GetSecondsSinceStart() const
{
    return static_cast<int32_t>(GetSinceStart() / kNsPerSecond);
}

int32_t CKVTATimeStamp::GetMilliseconds() const
{
    return static_cast<int32_t>((GetSinceStart() % kNsPerSecond) / kNsPerMillisecond);
}

int32_t CKVTATimeStamp::GetMicroseconds() const
{
    return static_cast<int32_t>((GetSinceStart() % kNsPerMillisecond) / kNsPerMicrosecond);
}

int32_t CKVTATimeStamp::GetNanoseconds() const
{
    return static_cast<int32_t>(GetSinceStart() % kNsPerMicrosecond);
}

int32_t CKVTATimeStamp::GetAbsoluteMicroseconds() const
{
    return static_cast<int32_t>((m_time % 1000000u) / 1000u);
}

void CKVTATimeStamp::SetSeconds(uint32_t seconds)
{
    // The difference is taken in 64 bits over the full seconds: moving back must not wrap.
    const int64_t current = GetSinceStart() / kNsPerSecond;
    AddNanoseconds((static_cast<int64_t>(seconds) - current) * kNsPerSecond);
    Refresh();
}

void CKVTATimeStamp::SetMilliseconds(int16_t milliseconds)
{
    const int16_t current = static_cast<int16_t>(GetMilliseconds());
    AddNanoseconds((static_cast<int64_t>(milliseconds) - current) * kNsPerMillisecond);
    Refresh();
}

void CKVTATimeStamp::SetMicroseconds(int16_t microseconds)
{
    const int16_t current = static_cast<int16_t>(GetMicroseconds());
    AddNanoseconds((static_cast<int64_t>(microseconds) - current) * kNsPerMicrosecond);
    Refresh();
}

void CKVTATimeStamp::SetNanoseconds(int16_t nanoseconds)
{
    const int16_t current = static_cast<int16_t>(GetNanoseconds());
    AddNanoseconds(static_cast<int64_t>(nanoseconds) - current);
    Refresh();
}

std::unique_ptr<CKVTATimeStamp> CKVTATimeStamp::ToLocalTime() const
{
    auto local = std::make_unique<CKVTATimeStamp>();
    FILETIME utc;
    FILETIME localTime;
    // A time the calendar cannot hold leaves the calendar zeroed, as for FillCache below.
    if (SystemTimeToFileTime(&Calendar(), &utc) && FileTimeToLocalFileTime(&utc, &localTime))
        (void)FileTimeToSystemTime(&localTime, &local->m_calendar);
    local->m_cacheValid = true;
    return local;
}

std::unique_ptr<CKVTATimeStamp> CKVTATimeStamp::Clone() const
{
    return std::make_unique<CKVTATimeStamp>(m_time, m_start);
}

const SYSTEMTIME& CKVTATimeStamp::Calendar() const
{
    if (!m_cacheValid)
        FillCache();
    return m_calendar;
}

void CKVTATimeStamp::FillCache() const
{
    const FILETIME fileTime = U64ToFileTime(m_time / 100u);
    m_calendar = SYSTEMTIME();
    // Times from 2^63 ticks on have no calendar date: the calendar stays zeroed.
    (void)FileTimeToSystemTime(&fileTime, &m_calendar);
    m_cacheValid = true;
}

void CKVTATimeStamp::Refresh()
{
    if (m_cacheValid)
        FillCache();
}
