#pragma once
// FILETIME and SYSTEMTIME as the recording program's files use them: 100 ns ticks since
// 1601-01-01 00:00 UTC, proleptic Gregorian calendar, weekday 0 = Sunday.

#include <cstdint>

struct FILETIME
{
    uint32_t dwLowDateTime = 0;
    uint32_t dwHighDateTime = 0;
};

struct SYSTEMTIME
{
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0;
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};

// 1970-01-01 00:00 UTC as a FILETIME value.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

inline uint64_t FileTimeToU64(const FILETIME& ft)
{
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

inline FILETIME U64ToFileTime(uint64_t value)
{
    FILETIME ft;
    ft.dwLowDateTime = static_cast<uint32_t>(value);
    ft.dwHighDateTime = static_cast<uint32_t>(value >> 32);
    return ft;
}

// Fails (false) only for values of 2^63 and above, like the platform call it stands in for.
[[nodiscard]] bool FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
// Fails for fields out of range (year 1601..30827, a day the month does not have, ...);
// wDayOfWeek is ignored.
[[nodiscard]] bool SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime);
// Converts UTC to local time with the offset in force on that date (not today's offset).
[[nodiscard]] bool FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
