#include "datafile/container/CKVTATimeStamp.h"

#include <gtest/gtest.h>

#include "tests/support/ScopedEnv.h"

namespace {

constexpr uint64_t kStart = 13200000000000000000ull;
// 2024-02-29 23:59:59.999 UTC in ns since 1601, a Thursday; above INT64_MAX.
constexpr uint64_t kLeapDay = 13353724799999000000ull;

uint64_t UnixToNs(int64_t seconds)
{
    return (116444736000000000ull + static_cast<uint64_t>(seconds) * 10000000ull) * 100ull;
}

} // namespace

TEST(CKVTATimeStamp, SplitsTheTimeSinceTheStartIntoSignedParts)
{
    struct Case
    {
        const char* name;
        int64_t sinceStart;
        int32_t s, ms, us, ns;
    };
    const Case cases[] = {
        {"1 s 234 ms 567 us 891 ns", 1234567891, 1, 234, 567, 891},
        {"one ns before the start", -1, 0, 0, 0, -1},
        {"1.5 s before the start", -1500000000, -1, -500, 0, 0},
        {"at the start", 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CKVTATimeStamp stamp(kStart + static_cast<uint64_t>(c.sinceStart), kStart);
        EXPECT_EQ(stamp.GetSecondsSinceStart(), c.s);
        EXPECT_EQ(stamp.GetMilliseconds(), c.ms);
        EXPECT_EQ(stamp.GetMicroseconds(), c.us);
        EXPECT_EQ(stamp.GetNanoseconds(), c.ns);
    }
    EXPECT_EQ(CKVTATimeStamp(1234567891, 0).GetAbsoluteMicroseconds(), 567);
}

TEST(CKVTATimeStamp, PartSettersMoveForwardAndBackWithoutWrapping)
{
    CKVTATimeStamp stamp(kStart + 1234567891, kStart);
    stamp.SetMilliseconds(500);
    EXPECT_EQ(stamp.GetSinceStart(), 1500567891);
    stamp.SetSeconds(0);  // backwards: an unsigned difference would jump ~136 years ahead
    EXPECT_EQ(stamp.GetSinceStart(), 500567891);
    stamp.SetSeconds(3);
    EXPECT_EQ(stamp.GetSinceStart(), 3500567891);
    stamp.SetMicroseconds(2);
    stamp.SetNanoseconds(7);
    EXPECT_EQ(stamp.GetSinceStart(), 3500002007);
    EXPECT_EQ(stamp.GetStart(), kStart);

    // Without a start reference the seconds exceed 32 bits; setting them still lands exactly.
    CKVTATimeStamp absolute(5000000000999000000ull, 0);
    absolute.SetSeconds(10);
    EXPECT_EQ(absolute.GetTime(), 10999000000ull);
}

TEST(CKVTATimeStamp, GivesUtcCalendarFieldsThroughItsCache)
{
    CKVTATimeStamp stamp(kLeapDay, kStart);
    EXPECT_FALSE(stamp.IsCalendarCached());
    EXPECT_EQ(std::vector<int>({stamp.GetYear(), stamp.GetMonth(), stamp.GetDay(), stamp.GetDayOfWeek(),
                                stamp.GetHour(), stamp.GetMinute(), stamp.GetSecond(), stamp.GetMillisecond()}),
              std::vector<int>({2024, 2, 29, 4, 23, 59, 59, 999}));

    // A valid cache follows every change; an invalid one stays invalid until asked for.
    stamp.SetNanoseconds(static_cast<int16_t>(stamp.GetNanoseconds() + 1));
    stamp.SetMilliseconds(static_cast<int16_t>(stamp.GetMilliseconds() + 1));
    EXPECT_EQ(stamp.GetYear(), 2024);
    EXPECT_EQ(stamp.GetMonth(), 3);
    EXPECT_EQ(stamp.GetDay(), 1);
    CKVTATimeStamp fresh(0, 0);
    fresh.SetTime(kLeapDay);
    EXPECT_FALSE(fresh.IsCalendarCached());
    EXPECT_EQ(fresh.GetDay(), 29);

    const auto copy = stamp.Clone();
    EXPECT_FALSE(copy->IsCalendarCached());
    EXPECT_EQ(copy->GetTime(), stamp.GetTime());
    EXPECT_EQ(copy->GetStart(), kStart);
    CKVTATimeStamp assigned(0, 0);
    EXPECT_EQ(assigned.GetYear(), 1601);
    assigned = fresh;  // refreshes the valid cache
    EXPECT_EQ(assigned.GetYear(), 2024);
}

TEST(CKVTATimeStamp, LocalTimeUsesTheOffsetOfThatDate)
{
    ScopedEnv zone("TZ", "Europe/Berlin");
    const auto summer = CKVTATimeStamp(UnixToNs(1719835200), 0).ToLocalTime();  // 2024-07-01 12:00
    const auto winter = CKVTATimeStamp(UnixToNs(1705320000), 0).ToLocalTime();  // 2024-01-15 12:00
    EXPECT_EQ(summer->GetHour(), 14);
    EXPECT_EQ(winter->GetHour(), 13);
    EXPECT_EQ(winter->GetDay(), 15);
}
