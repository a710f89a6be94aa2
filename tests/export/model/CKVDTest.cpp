#include "export/model/CKVD.h"

#include <gtest/gtest.h>

#include "datafile/container/KvdFormat.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/TempDir.h"

namespace FH = Kvd::FileHeader;

namespace {

KvdStreamPlan Plan(const std::string& type, const std::string& name, const std::string& id)
{
    KvdStreamPlan plan;
    plan.bufferType = type;
    plan.name = name;
    plan.id = id;
    plan.channels.resize(2);
    plan.channels[0].name = plan.channels[0].displayName = "D1";
    plan.channels[0].id = 7;
    plan.channels[0].extension = 1500;
    plan.channels[1].name = plan.channels[1].displayName = "D2";
    plan.channels[1].id = 8;
    plan.channels[1].number = 1;
    return plan;
}

} // namespace

TEST(CKVD, FindsStreamsAndChannelsByExactName)
{
    KvdBuilder b(11);
    b.AddStream(Plan("digital", "Digital Data Event", "digi0001"));
    TempDir dir;
    ASSERT_TRUE(b.WriteTo(dir.File("a.kvd")));
    CKVD kvd;
    EXPECT_FALSE(kvd.Open(dir.File("missing.kvd")));
    EXPECT_TRUE(kvd.GetPath().empty());
    ASSERT_TRUE(kvd.Open(dir.File("a.kvd")));
    EXPECT_NE(kvd.FindStream("Digital Data Event"), nullptr);
    EXPECT_NE(kvd.FindStream("Digital Data"), nullptr);
    EXPECT_EQ(kvd.FindStream("digital data"), nullptr);
    EXPECT_NE(kvd.FindStreamById("digi0001"), nullptr);
    EXPECT_EQ(kvd.GetChannelId("Digital Data", "D2"), 8);
    EXPECT_EQ(kvd.GetChannelExtensionValue("Digital Data", "D1"), 1500);
    EXPECT_EQ(kvd.GetChannelId("Digital Data", "D3"), -1);
    EXPECT_EQ(kvd.GetChannelId("Analog Data", "D1"), -1);

    std::vector<double> times = {42.0};
    EXPECT_FALSE(kvd.GetEventTimes(kvd.GetStream(0), times));
    EXPECT_EQ(times.size(), 1u);
    EXPECT_EQ(kvd.GetFileSize(), ReadFileBytes(dir.File("a.kvd")).size());
}

TEST(CKVD, FileSizeTextsGroupDigits)
{
    EXPECT_EQ(CKVD::FormatFileSize(999), "999");
    EXPECT_EQ(CKVD::FormatFileSize(1000), "1.000");
    EXPECT_EQ(CKVD::FormatFileSize(1234567), "1.234.567");
    EXPECT_EQ(CKVD::FormatFileSize(1000000000), "1.000.000.000");
    EXPECT_EQ(CKVD::FormatFileSize(5000000000ULL), "5.000.000.000");
}

TEST(CKVD, RecordingTimeTextsAndDuration)
{
    KvdBuilder b(11);
    b.Set<uint64_t>(FH::kStopTime, kKvdDefaultStart);  // stop equals start
    b.Set<uint64_t>(FH::kRecordingTime, 0);
    TempDir dir;
    ASSERT_TRUE(b.WriteTo(dir.File("t.kvd")));
    CKVD kvd;
    ASSERT_TRUE(kvd.Open(dir.File("t.kvd")));
    std::string press, start, stop, duration;
    kvd.GetRecordingTimeTexts(press, start, stop, duration);
    EXPECT_EQ(press, "Unknown");   // the press time 0 is 1601, before the calendar's 1900
    EXPECT_NE(start, "Unknown");
    EXPECT_EQ(start, stop);
    EXPECT_EQ(duration, "Unknown");

    b.Set<uint64_t>(FH::kRecordingTime, kKvdDefaultStart);
    ASSERT_TRUE(b.WriteTo(dir.File("u.kvd")));
    ASSERT_TRUE(kvd.Open(dir.File("u.kvd")));
    kvd.GetRecordingTimeTexts(press, start, stop, duration);
    EXPECT_EQ(press, start);
    EXPECT_EQ(duration, "00:00:00.000");
    EXPECT_EQ(start.substr(start.size() - 4), ".000");
}
