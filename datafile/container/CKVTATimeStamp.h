#pragma once
// A nanosecond time since 1601-01-01 UTC with the start time of its recording as reference.

#include <cstdint>
#include <memory>

#include "platform/FileTime.h"

// Absolute times are unsigned; the parts since the start are signed (a time may lie before the
// start). The calendar fields come from a cached UTC SYSTEMTIME that is filled on first request
// and refreshed on every change of the time once it is valid.
class CKVTATimeStamp
{
public:
    CKVTATimeStamp() = default;
    explicit CKVTATimeStamp(uint64_t time, uint64_t start = 0) : m_time(time), m_start(start) {}
    // A copy has the same time and start and no cached calendar time.
    CKVTATimeStamp(const CKVTATimeStamp& other) : m_time(other.m_time), m_start(other.m_start) {}
    // Copies time and start; refreshes this stamp's calendar cache when it was valid.
    CKVTATimeStamp& operator=(const CKVTATimeStamp& other);
    virtual ~CKVTATimeStamp() = default;

    uint64_t GetTime() const { return m_time; }
    void SetTime(uint64_t time);
    uint64_t GetStart() const { return m_start; }
    void SetStart(uint64_t start) { m_start = start; }

    // time - start, signed.
    int64_t GetSinceStart() const { return static_cast<int64_t>(m_time - m_start); }
    // Whole seconds since the start, truncated toward zero (as a 32-bit value).
    int32_t GetSecondsSinceStart() const;
    // The millisecond, microsecond and nanosecond parts; they carry the sign of time - start.
    int32_t GetMilliseconds() const;
    int32_t GetMicroseconds() const;
    int32_t GetNanoseconds() const;
    // Microseconds within the millisecond of the absolute time (0-999).
    int32_t GetAbsoluteMicroseconds() const;

    // Each setter replaces one part and keeps the others; the start is not changed.
    void SetSeconds(uint32_t seconds);
    void SetMilliseconds(int16_t milliseconds);
    void SetMicroseconds(int16_t microseconds);
    void SetNanoseconds(int16_t nanoseconds);

    // Calendar fields (UTC) of the time; the cache is filled first when needed.
    int GetYear() const { return Calendar().wYear; }
    int GetMonth() const { return Calendar().wMonth; }
    int GetDay() const { return Calendar().wDay; }
    int GetDayOfWeek() const { return Calendar().wDayOfWeek; }
    int GetHour() const { return Calendar().wHour; }
    int GetMinute() const { return Calendar().wMinute; }
    int GetSecond() const { return Calendar().wSecond; }
    int GetMillisecond() const { return Calendar().wMilliseconds; }
    bool IsCalendarCached() const { return m_cacheValid; }

    // A new stamp whose calendar fields are this stamp's time in local time (the offset in force
    // on that date); its time and start are 0.
    std::unique_ptr<CKVTATimeStamp> ToLocalTime() const;
    // A new stamp with the same time and start and no cached calendar time.
    std::unique_ptr<CKVTATimeStamp> Clone() const;

private:
    const SYSTEMTIME& Calendar() const;
    void FillCache() const;
    void Refresh();
    void AddNanoseconds(int64_t delta) { m_time += static_cast<uint64_t>(delta); }

    uint64_t m_time = 0;
    uint64_t m_start = 0;
    mutable bool m_cacheValid = false;
    mutable SYSTEMTIME m_calendar;
};
