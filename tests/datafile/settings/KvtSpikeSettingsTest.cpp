#include "datafile/settings/KvtSpikeSettings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <tuple>

#include "tests/datafile/settings/SettingsBytes.h"

namespace {

void PutChannel(SettingsBytes& b, uint16_t channel, std::initializer_list<uint16_t> unitIds)
{
    b.U16(channel).U16(0x0102);
    b.F32(-0.0002f).U32(2).F32(-0.0003f).F32(0.5f).F32(1.5f);
    b.U16(static_cast<uint16_t>(unitIds.size()));
    for (uint16_t id : unitIds)
        b.U16(0x0A0B).U16(id).F32(1.0f).F32(2.0f).F32(3.0f).U32(4).U32(id * 10u);
}

// The three times as the version stores them: seconds (f32) below 7, microseconds from 7.
SettingsBytes NewRecord(uint16_t version, float pre, float post, float dead)
{
    SettingsBytes b;
    b.U32(101).U32(102).U32(103).F32(-4.5f);
    if (version >= 7)
        b.U32(uint32_t(pre)).U32(uint32_t(post)).U32(uint32_t(dead));
    else
        b.F32(pre).F32(post).F32(dead);
    b.Str16("filt0001");
    b.U16(3);
    PutChannel(b, 9, {4, 2});
    PutChannel(b, 3, {7});
    PutChannel(b, 9, {5, 1});   // the later record for channel 9 replaces the first
    return b;
}

} // namespace

TEST(KvtSpikeSettings, ReadsEveryFieldOfTheNewRecords)
{
    struct Case {
        uint16_t version;
        float pre, post, dead;
        int32_t expectPre, expectPost, expectDead;
    };
    const Case cases[] = {
        {5, 0.001f, 0.002f, 0.0025f, 1000, 2000, 2500},
        {6, 0.0015f, 0.0000004f, 0.0f, 1500, 0, 0},
        {7, 1500.0f, 3000.0f, 250.0f, 1500, 3000, 250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        SettingsBytes b = NewRecord(c.version, c.pre, c.post, c.dead);
        b.U8(0x77);
        CByteReader in(b.Get());
        KvtSpikeSettings s;
        ASSERT_TRUE(s.Read(in, c.version, 0));
        EXPECT_EQ(in.Get<uint8_t>(), 0x77);
        EXPECT_EQ(std::make_tuple(s.wordB, s.wordA, s.wordC, s.threshold, s.inputStreamName),
                  std::make_tuple(101u, 102u, 103u, -4.5f, std::string("filt0001")));
        EXPECT_EQ(std::make_tuple(s.preTrigger, s.postTrigger, s.deadTime),
                  std::make_tuple(c.expectPre, c.expectPost, c.expectDead));

        ASSERT_EQ(s.channels.size(), 2u);
        EXPECT_EQ(s.channels.at(3).units.size(), 1u);
        const KvtSpikeChannelSettings& n = s.channels.at(9);   // the later record of channel 9
        EXPECT_EQ(std::make_tuple(n.channel, n.word, n.threshold, n.mode, n.secondThreshold, n.value1, n.value2),
                  std::make_tuple(uint16_t(9), uint16_t(0x0102), -0.0002f, 2u, -0.0003f, 0.5f, 1.5f));
        ASSERT_EQ(n.units.size(), 2u);
        EXPECT_EQ(n.units.begin()->first, 1);
        const KvtSpikeUnitSettings& u = n.units.at(5);
        EXPECT_EQ(std::make_tuple(u.word, u.unitId, u.values[0], u.values[2], u.words[0], u.words[1]),
                  std::make_tuple(uint16_t(0x0A0B), uint16_t(5), 1.0f, 3.0f, 4u, 50u));
    }
}

TEST(KvtSpikeSettings, SecondsBecomeWholeMicrosecondsWithoutOverflow)
{
    struct Case {
        float seconds;
        int32_t micros;
    };
    const Case cases[] = {
        {0.0015f, 1500}, {0.0000004f, 0}, {-0.0015f, -1499}, {NAN, 0},
        {INFINITY, INT_MAX}, {-INFINITY, INT_MIN}, {1e10f, INT_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        SettingsBytes b = NewRecord(6, c.seconds, 0, 0);
        CByteReader in(b.Get());
        KvtSpikeSettings s;
        ASSERT_TRUE(s.Read(in, 6, 0));
        EXPECT_EQ(s.preTrigger, c.micros);
    }
}

TEST(KvtSpikeSettings, OldRecordsBuildChannelsFromTheirTriggerList)
{
    SettingsBytes b;
    b.U32(2);
    for (int32_t hwid : {5, 3}) {
        b.U32(0).U32(1).U32(2).U32(3);                   // skipped word, words 1 to 3
        b.U32(6);                                         // dead time
        b.I32(hwid == 5 ? -1200 : 2500).I32(0);           // levels
        b.U32(hwid == 5 ? 0 : 1).I32(hwid).U32(0);        // slope, hwid, source kind
        b.Zeros(20).U8(0).U32(0).U32(0).Str32("elec0001").U32(1);
    }
    b.U32(2000000000u).U32(1000000000u).U32(3000000000u);   // dead, pre, post (ns)
    CByteReader in(b.Get());
    KvtSpikeSettings s;
    s.wordA = s.wordB = 9;
    ASSERT_TRUE(s.Read(in, 4, ProgramVersion(2, 0)));
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(std::make_tuple(s.deadTime, s.preTrigger, s.postTrigger, s.wordA, s.wordB),
              std::make_tuple(2000, 1000, 3000, 0u, 0u));
    EXPECT_EQ(s.inputStreamName, "elec0001");
    ASSERT_EQ(s.channels.size(), 2u);
    EXPECT_FLOAT_EQ(s.channels.at(5).threshold, -1200 / 1e7f);
    EXPECT_FLOAT_EQ(s.channels.at(3).threshold, 2500 / 1e7f);
    EXPECT_EQ(s.channels.at(5).mode, 0u);
    EXPECT_EQ(s.channels.at(3).mode, 1u);
    EXPECT_EQ(s.channels.at(3).value1, 0.2f);   // defaults otherwise

    CByteReader none(nullptr, 0);
    KvtSpikeSettings empty;
    ASSERT_TRUE(empty.Read(none, 0, 0));   // version 0 stores no list at all
    EXPECT_EQ(empty.preTrigger, 0);
    EXPECT_TRUE(empty.channels.empty());
}

TEST(KvtSpikeSettings, RefusesOversizedCounts)
{
    const std::vector<uint8_t> full = NewRecord(7, 1, 2, 3).Get();
    // Offsets of the counts in NewRecord: name count at 28, channel count at 28 + 2 + 9.
    struct Oversize {
        const char* name;
        size_t at;
        uint16_t value;
    };
    const Oversize cases[] = {
        {"input stream name", 28, 0xFFFF},
        {"channel count", 39, 0xFFFF},
        {"unit count of the first channel", 39 + 2 + 24, 0xFFFF},
    };
    for (const Oversize& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = full;
        Patch<uint16_t>(bytes, c.at, c.value);
        CByteReader in(bytes);
        KvtSpikeSettings s;
        EXPECT_FALSE(s.Read(in, 7, 0));
    }
}
