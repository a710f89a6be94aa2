#include "datafile/settings/CMMEATriggerProperty.h"
#include "datafile/settings/CMTimeWindowProperty.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/datafile/settings/SettingsBytes.h"

namespace {

// A trigger record of version 3 or later with distinct values in every field; the parameter
// part and the extra byte are added as the caller asks.
SettingsBytes TriggerRecord(const std::string& inputStream, bool parameterPart, bool extra)
{
    SettingsBytes b;
    b.U32(0xDEADBEEF);                          // never interpreted
    b.U32(11).U32(12).U32(13);                  // words 1 to 3
    b.U32(7);                                   // dead time
    b.I32(-1205).I32(-2400);                    // levels
    b.U32(0);                                   // slope
    b.I32(42);                                  // input hwid
    b.U32(1);                                   // source kind
    b.U32(21).U32(22).U32(23).U32(24).U32(25);  // words 4 to 8
    b.U8(1).U32(5).U32(6);                      // digital flag, value, type
    b.Str32(inputStream);
    b.U32(0x00F0);                              // digital mask
    if (parameterPart)
        b.U8(1).I32(9).Str32("Ampl.").Str32("\xB5V");
    if (extra)
        b.U8(1);
    return b;
}

SettingsBytes OldImage(uint32_t sourceKind, size_t imageSize)
{
    std::vector<uint8_t> image(std::max<size_t>(imageSize, 60), 0);
    Patch<uint32_t>(image, 4, 31);
    Patch<uint32_t>(image, 8, 32);
    Patch<uint32_t>(image, 12, 33);
    Patch<uint32_t>(image, 16, 9);        // dead time
    Patch<int32_t>(image, 20, -800);
    Patch<int32_t>(image, 24, -900);
    Patch<uint32_t>(image, 28, 0);
    Patch<int32_t>(image, 32, 17);
    Patch<uint32_t>(image, 36, sourceKind);
    for (int i = 0; i < 5; ++i)
        Patch<uint32_t>(image, 40 + 4 * i, 50 + i);
    image.resize(imageSize);
    SettingsBytes b;
    b.U32(static_cast<uint32_t>(imageSize)).Bytes(image.data(), image.size());
    return b;
}

// The fields both record layouts hold, words 4 to 8 by their last.
auto Fields(const CMMEATriggerProperty& t)
{
    return std::make_tuple(t.m_word1, t.m_word2, t.m_word3, t.m_deadTime, t.m_level, t.m_secondLevel,
                           t.m_slope, t.m_inputHwid, t.m_sourceKind, t.m_words4To8[4]);
}

} // namespace

TEST(CMMEATriggerProperty, ReadsEveryFieldOfEachRecordVersion)
{
    struct Case {
        uint16_t version;
        int programMajor;
        bool parameterPart;
        bool extra;
    };
    const Case cases[] = {
        {3, 3, false, false}, {4, 2, false, false}, {4, 3, true, false},
        {6, 2, false, true},  {6, 4, true, true},   {9, 3, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "version " << c.version << ", major " << c.programMajor);
        SettingsBytes b = TriggerRecord("elec0001", c.parameterPart, c.extra);
        b.U8(0x77);   // the first byte of whatever follows the record
        CByteReader in(b.Get());
        CMMEATriggerProperty t;
        ASSERT_TRUE(t.Read(in, c.version, ProgramVersion(c.programMajor, 1)));
        EXPECT_EQ(in.Remaining(), 1u);
        EXPECT_EQ(in.Get<uint8_t>(), 0x77);

        EXPECT_EQ(Fields(t), std::make_tuple(11u, 12u, 13u, 7u, -1205, -2400, 0u, 42, 1u, 25u));
        EXPECT_EQ(t.m_words4To8[0], 21u);
        EXPECT_EQ(std::make_tuple(t.m_digitalFlag, t.m_digitalValue, t.m_digitalType, t.m_digitalMask),
                  std::make_tuple(uint8_t(1), 5u, 6u, 0xF0u));
        EXPECT_EQ(t.m_inputStreamName, "elec0001");
        EXPECT_EQ(std::make_tuple(t.m_parameterFlag, t.m_parameterWord, t.m_parameterName, t.m_parameterUnit),
                  c.parameterPart ? std::make_tuple(uint8_t(1), 9, std::string("Ampl."), std::string("\xB5V"))
                                  : std::make_tuple(uint8_t(0), -1, std::string(), std::string()));
        EXPECT_EQ(t.m_extraFlag, c.extra ? 1 : 0);
    }
}

TEST(CMMEATriggerProperty, OldImagesNameTheInputBySourceKind)
{
    struct Case {
        uint16_t version;
        uint32_t sourceKind;
        const char* name;
    };
    const Case cases[] = {{0, 0, "elec0001"}, {1, 1, "anlg0001"}, {2, 2, "digi0001"}, {2, 7, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsBytes b = OldImage(c.sourceKind, 72);   // a longer image: bytes past 60 skipped
        b.U8(0x77);
        CByteReader in(b.Get());
        CMMEATriggerProperty t;
        t.m_parameterFlag = 1;
        t.m_extraFlag = 1;
        ASSERT_TRUE(t.Read(in, c.version, ProgramVersion(3, 0)));
        EXPECT_EQ(in.Get<uint8_t>(), 0x77);
        EXPECT_EQ(Fields(t), std::make_tuple(31u, 32u, 33u, 9u, -800, -900, 0u, 17, c.sourceKind, 54u));
        EXPECT_EQ(t.m_inputStreamName, c.name);
        EXPECT_EQ(std::make_tuple(t.m_digitalFlag, t.m_digitalValue, t.m_digitalType, t.m_digitalMask),
                  std::make_tuple(uint8_t(0), 0u, 1u, 65535u));
        EXPECT_EQ(std::make_tuple(t.m_parameterFlag, t.m_parameterWord, t.m_extraFlag),
                  std::make_tuple(uint8_t(0), -1, uint8_t(0)));
    }
}

TEST(CMMEATriggerProperty, ShortOldImageKeepsTheFieldsItLacks)
{
    SettingsBytes b = OldImage(2, 26);   // ends inside the second level
    CByteReader in(b.Get());
    CMMEATriggerProperty t;
    ASSERT_TRUE(t.Read(in, 2, ProgramVersion(3, 0)));
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(t.m_deadTime, 9u);
    EXPECT_EQ(t.m_level, -800);
    EXPECT_EQ(t.m_secondLevel, -1200);   // default
    EXPECT_EQ(t.m_sourceKind, 65535u);
    EXPECT_EQ(t.m_inputStreamName, "");
}

TEST(CMMEATriggerProperty, RefusesOversizedTextsAndImages)
{
    std::vector<uint8_t> hugeName = TriggerRecord("trig0001", true, true).Get();
    Patch<uint32_t>(hugeName, 69, 0xFFFFFFF0u);
    CByteReader in(hugeName);
    CMMEATriggerProperty t;
    EXPECT_FALSE(t.Read(in, 6, ProgramVersion(3, 0)));

    SettingsBytes hugeImage;
    hugeImage.U32(0xFFFFFFFFu).Zeros(60);
    CByteReader old(hugeImage.Get());
    EXPECT_FALSE(t.Read(old, 1, 0));
}

TEST(CMMEATriggerProperty, ReadListTakesTheTimesByVersion)
{
    struct Case {
        const char* name;
        uint16_t version;
        uint32_t count;
        uint32_t dead, pre, post;
        int64_t expectDead, expectPre, expectPost;
    };
    // The list elements carry word 1 = 11, word 3 = 13 (versions 3+) and dead time 7, so
    // version 3 gives 11e6, 13e6 and (7 - 13) x 1e6.
    const Case cases[] = {
        {"v1 keeps a normal pre time", 1, 1, 5, 2000, 3000, 5, 2000, 3000},
        {"v2 maps a huge pre time", 2, 2, 5, 100000001, 3000, 5, 1000000, 3000},
        {"v3 takes the first trigger", 3, 2, 5, 6, 7, 11000000, 13000000, -6000000},
        {"v3 without triggers keeps the stored times", 3, 0, 5, 6, 7, 5, 6, 7},
        {"v4 keeps the stored times", 4, 1, 5, 100000001, 7, 5, 100000001, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsBytes b;
        b.U32(c.count);
        const std::vector<uint8_t> element =
            c.version >= 3 ? TriggerRecord("elec0001", false, false).Get() : OldImage(0, 60).Get();
        for (uint32_t i = 0; i < c.count; ++i)
            b.Bytes(element.data(), element.size());
        b.U32(c.dead).U32(c.pre).U32(c.post).U8(0x77);
        CByteReader in(b.Get());
        std::vector<std::unique_ptr<CMMEATriggerProperty>> triggers;
        int64_t dead = -1, pre = -1, post = -1;
        ASSERT_EQ(CMMEATriggerProperty::ReadList(in, c.version, ProgramVersion(2, 0), triggers,
                                                 dead, pre, post),
                  1);
        EXPECT_EQ(triggers.size(), c.count);
        EXPECT_EQ(std::make_tuple(dead, pre, post), std::make_tuple(c.expectDead, c.expectPre, c.expectPost));
        EXPECT_EQ(in.Get<uint8_t>(), 0x77);
    }

    CByteReader nothing(nullptr, 0);
    std::vector<std::unique_ptr<CMMEATriggerProperty>> triggers;
    int64_t dead = 0, pre = 200000000, post = 0;
    EXPECT_EQ(CMMEATriggerProperty::ReadList(nothing, 0, 0, triggers, dead, pre, post), 1);
    EXPECT_EQ(pre, 1000000);
}

TEST(CMMEATriggerProperty, ReadListRefusesCountsBeyondItsBytes)
{
    for (uint16_t version : {1, 3, 4}) {
        SCOPED_TRACE(version);
        SettingsBytes b;
        b.U32(0x40000000u).Zeros(200);
        CByteReader in(b.Get());
        std::vector<std::unique_ptr<CMMEATriggerProperty>> triggers;
        int64_t dead = 0, pre = 0, post = 0;
        EXPECT_EQ(CMMEATriggerProperty::ReadList(in, version, 0, triggers, dead, pre, post), 0);
        EXPECT_TRUE(triggers.empty());
    }
}

TEST(CMTimeWindowProperty, ReadsWhatItsVersionHolds)
{
    struct Case {
        uint16_t version;
        size_t consumed;
        bool numbers;
        bool texts;
    };
    const Case cases[] = {{0, 0, false, false}, {1, 0, false, false}, {2, 16, true, false},
                          {3, 16, true, false}, {4, 16 + 8 + 8, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        SettingsBytes b;
        b.I32(-7).F32(2.5f).F32(40.0f).U16(3).U16(4).Str32("pre").Str32("pst");
        CByteReader in(b.Get());
        CMTimeWindowProperty w;
        w.m_firstText = "stale";
        ASSERT_TRUE(w.Read(in, c.version));
        EXPECT_EQ(in.Position(), c.consumed);
        EXPECT_EQ(std::make_tuple(w.m_windowWord, w.m_firstTime, w.m_secondTime, w.m_firstCode, w.m_secondCode),
                  c.numbers ? std::make_tuple(-7, 2.5f, 40.0f, uint16_t(3), uint16_t(4))
                            : std::make_tuple(0, 1000.0f, 1000.0f, uint16_t(0xFFFF), uint16_t(0xFFFF)));
        EXPECT_EQ(w.m_firstText + "/" + w.m_secondText, c.texts ? "pre/pst" : "/");
    }
}
