#include "platform/FileTime.h"

#include "tests/support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

SYSTEMTIME ToSystem(uint64_t ticks)
{
    SYSTEMTIME st;
    const FILETIME ft = U64ToFileTime(ticks);
    EXPECT_TRUE(FileTimeToSystemTime(&ft, &st));
    return st;
}

} // namespace

TEST(FileTime, CalendarFieldsAndWeekdays)
{
    struct Row { uint64_t ticks; int y, mo, dow, d, h, mi, s, ms; };
    const Row rows[] = {
        {0, 1601, 1, 1, 1, 0, 0, 0, 0},                          // the epoch, a Monday
        {kUnixEpochAsFileTime, 1970, 1, 4, 1, 0, 0, 0, 0},        // a Thursday
        {kUnixEpochAsFileTime + 9518687999990000ULL, 2000, 2, 2, 29, 23, 59, 59, 999},
        {kUnixEpochAsFileTime + 17092511999990000ULL, 2024, 2, 4, 29, 23, 59, 59, 999},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.ticks);
        const SYSTEMTIME st = ToSystem(row.ticks);
        EXPECT_EQ(std::vector<int>({st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute,
                                    st.wSecond, st.wMilliseconds}),
                  std::vector<int>({row.y, row.mo, row.dow, row.d, row.h, row.mi, row.s, row.ms}));
    }
    FILETIME tooLarge = U64ToFileTime(1ULL << 63);
    SYSTEMTIME st;
    EXPECT_FALSE(FileTimeToSystemTime(&tooLarge, &st));
}

TEST(FileTime, SystemTimeRoundTripsAndLeapRules)
{
    for (uint64_t ticks : {uint64_t(0), kUnixEpochAsFileTime, uint64_t(133000000001230000ULL), uint64_t(9000000000000000000ULL)}) {
        SYSTEMTIME st = ToSystem(ticks);
        FILETIME back;
        ASSERT_TRUE(SystemTimeToFileTime(&st, &back));
        EXPECT_EQ(FileTimeToU64(back), ticks - ticks % 10000);
    }
    SYSTEMTIME feb29 {};
    feb29.wMonth = 2;
    feb29.wDay = 29;
    FILETIME ft;
    for (int year : {1900, 2100}) {
        feb29.wYear = static_cast<uint16_t>(year);
        EXPECT_FALSE(SystemTimeToFileTime(&feb29, &ft)) << year;
    }
    for (int year : {2000, 2024}) {
        feb29.wYear = static_cast<uint16_t>(year);
        EXPECT_TRUE(SystemTimeToFileTime(&feb29, &ft)) << year;
    }
}

TEST(FileTime, LocalTimeUsesTheOffsetOfThatDate)
{
    ScopedEnv zone("TZ", "Europe/Berlin");
    // 2024-01-15 12:00 UTC is 13:00 in winter; 2024-07-15 12:00 UTC is 14:00 in summer.
    const uint64_t winter = kUnixEpochAsFileTime + 1705320000ULL * 10000000ULL;
    const uint64_t summer = kUnixEpochAsFileTime + 1721044800ULL * 10000000ULL;
    FILETIME local;
    FILETIME utc = U64ToFileTime(winter);
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(ToSystem(FileTimeToU64(local)).wHour, 13);
    utc = U64ToFileTime(summer);
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(ToSystem(FileTimeToU64(local)).wHour, 14);
}
