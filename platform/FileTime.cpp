#include "platform/FileTime.h"

#include <ctime>

namespace {

constexpr uint64_t kTicksPerMillisecond = 10000;
constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kSecondsPerDay = 86400;

// Days since 0000-03-01 style civil arithmetic, shifted so that 1601-01-01 is day 0.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe);
}

const int64_t kDay1601 = DaysFromCivil(1601, 1, 1);

void CivilFromDays(int64_t days, int64_t& y, unsigned& m, unsigned& d)
{
    const int64_t z = days + kDay1601;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

bool IsLeap(int64_t y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(int64_t y, unsigned m)
{
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

} // namespace

bool FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime)
{
    if (!fileTime || !systemTime)
        return false;
    const uint64_t ticks = FileTimeToU64(*fileTime);
    if (ticks >> 63)
        return false;
    const uint64_t totalSeconds = ticks / kTicksPerSecond;
    const uint64_t days = totalSeconds / kSecondsPerDay;
    const uint64_t secondOfDay = totalSeconds % kSecondsPerDay;
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(static_cast<int64_t>(days), year, month, day);
    systemTime->wYear = static_cast<uint16_t>(year);
    systemTime->wMonth = static_cast<uint16_t>(month);
    systemTime->wDay = static_cast<uint16_t>(day);
    systemTime->wDayOfWeek = static_cast<uint16_t>((days + 1) % 7); // 1601-01-01 was a Monday
    systemTime->wHour = static_cast<uint16_t>(secondOfDay / 3600);
    systemTime->wMinute = static_cast<uint16_t>(secondOfDay / 60 % 60);
    systemTime->wSecond = static_cast<uint16_t>(secondOfDay % 60);
    systemTime->wMilliseconds = static_cast<uint16_t>(ticks / kTicksPerMillisecond % 1000);
    return true;
}

bool SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime)
{
    if (!systemTime || !fileTime)
        return false;
    const SYSTEMTIME& st = *systemTime;
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1
        || st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59
        || st.wSecond > 59 || st.wMilliseconds > 999)
        return false;
    const uint64_t days = static_cast<uint64_t>(DaysFromCivil(st.wYear, st.wMonth, st.wDay) - kDay1601);
    const uint64_t seconds = days * kSecondsPerDay + st.wHour * 3600u + st.wMinute * 60u + st.wSecond;
    *fileTime = U64ToFileTime(seconds * kTicksPerSecond + st.wMilliseconds * kTicksPerMillisecond);
    return true;
}

bool FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local)
{
    if (!utc || !local)
        return false;
    const uint64_t ticks = FileTimeToU64(*utc);
    const int64_t unixSeconds = static_cast<int64_t>(ticks / kTicksPerSecond)
                              - static_cast<int64_t>(kUnixEpochAsFileTime / kTicksPerSecond);
    const time_t t = static_cast<time_t>(unixSeconds);
    struct tm parts {};
    if (!localtime_r(&t, &parts))
        return false;
    const int64_t offsetTicks = static_cast<int64_t>(parts.tm_gmtoff) * static_cast<int64_t>(kTicksPerSecond);
    if (offsetTicks < 0 && static_cast<uint64_t>(-offsetTicks) > ticks)
        return false;
    *local = U64ToFileTime(ticks + static_cast<uint64_t>(offsetTicks));
    return true;
}
