#include "datafile/CKVTATimeStamp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

constexpr uint64_t kStart = 13200000000000000000ull;
// 2024-02-29 23:59:59.999 UTC in ns since 1601, a Thursday; above INT64_MAX.
constexpr uint64_t kLeapDay = 13353724799999000000ull;

uint64_t UnixToNs(int64_t seconds)
{
    return (116444736000000000ull + static_cast<uint64_t>(seconds) * 10000000ull) * 100ull;
}

class ScopedTz
{
public:
    explicit ScopedTz(const char* zone)
    {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (old)
            m_old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTz()
    {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

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
    const CKVTATimeStamp epoch(0, 0);
    EXPECT_EQ(epoch.GetYear(), 1601);
    EXPECT_EQ(epoch.GetMonth(), 1);
    EXPECT_EQ(epoch.GetDay(), 1);
    EXPECT_EQ(epoch.GetHour() + epoch.GetMinute() + epoch.GetSecond() + epoch.GetMillisecond(), 0);

    CKVTATimeStamp stamp(kLeapDay, kStart);
    EXPECT_FALSE(stamp.IsCalendarCached());
    EXPECT_EQ(stamp.GetYear(), 2024);
    EXPECT_EQ(stamp.GetMonth(), 2);
    EXPECT_EQ(stamp.GetDay(), 29);
    EXPECT_EQ(stamp.GetDayOfWeek(), 4);
    EXPECT_EQ(stamp.GetHour(), 23);
    EXPECT_EQ(stamp.GetMinute(), 59);
    EXPECT_EQ(stamp.GetSecond(), 59);
    EXPECT_EQ(stamp.GetMillisecond(), 999);

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
    {
        ScopedTz zone("UTC");
        const auto local = CKVTATimeStamp(UnixToNs(1719835200), 0).ToLocalTime();
        EXPECT_EQ(local->GetHour(), 12);
        EXPECT_EQ(local->GetTime(), 0u);
    }
    ScopedTz zone("Europe/Berlin");
    const auto summer = CKVTATimeStamp(UnixToNs(1719835200), 0).ToLocalTime();  // 2024-07-01 12:00
    const auto winter = CKVTATimeStamp(UnixToNs(1705320000), 0).ToLocalTime();  // 2024-01-15 12:00
    EXPECT_EQ(summer->GetHour(), 14);
    EXPECT_EQ(winter->GetHour(), 13);
    EXPECT_EQ(winter->GetDay(), 15);
    EXPECT_EQ(summer->GetTime(), 0u);
    EXPECT_EQ(summer->GetStart(), 0u);
}
