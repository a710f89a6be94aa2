#include "datafile/CMMEATriggerProperty.h"
#include "datafile/CMTimeWindowProperty.h"

#include <gtest/gtest.h>

#include "tests/datafile/SettingsBytes.h"

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
        {3, 3, false, false}, {4, 2, false, false}, {4, 3, true, false}, {5, 2, false, false},
        {5, 3, true, false},  {6, 2, false, true},  {6, 4, true, true},  {9, 3, true, true},
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

        EXPECT_EQ(t.m_word1, 11u);
        EXPECT_EQ(t.m_word2, 12u);
        EXPECT_EQ(t.m_word3, 13u);
        EXPECT_EQ(t.m_deadTime, 7u);
        EXPECT_EQ(t.m_level, -1205);
        EXPECT_EQ(t.m_secondLevel, -2400);
        EXPECT_EQ(t.m_slope, 0u);
        EXPECT_EQ(t.m_inputHwid, 42);
        EXPECT_EQ(t.m_sourceKind, 1u);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(t.m_words4To8[i], 21u + i);
        EXPECT_EQ(t.m_digitalFlag, 1);
        EXPECT_EQ(t.m_digitalValue, 5u);
        EXPECT_EQ(t.m_digitalType, 6u);
        EXPECT_EQ(t.m_inputStreamName, "elec0001");
        EXPECT_EQ(t.m_digitalMask, 0xF0u);
        EXPECT_EQ(t.m_parameterFlag, c.parameterPart ? 1 : 0);
        EXPECT_EQ(t.m_parameterWord, c.parameterPart ? 9 : -1);
        EXPECT_EQ(t.m_parameterName, c.parameterPart ? "Ampl." : "");
        EXPECT_EQ(t.m_parameterUnit, c.parameterPart ? "\xB5V" : "");
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
        EXPECT_EQ(t.m_word1, 31u);
        EXPECT_EQ(t.m_word3, 33u);
        EXPECT_EQ(t.m_deadTime, 9u);
        EXPECT_EQ(t.m_level, -800);
        EXPECT_EQ(t.m_secondLevel, -900);
        EXPECT_EQ(t.m_inputHwid, 17);
        EXPECT_EQ(t.m_sourceKind, c.sourceKind);
        EXPECT_EQ(t.m_words4To8[4], 54u);
        EXPECT_EQ(t.m_inputStreamName, c.name);
        EXPECT_EQ(t.m_digitalFlag, 0);
        EXPECT_EQ(t.m_digitalValue, 0u);
        EXPECT_EQ(t.m_digitalType, 1u);
        EXPECT_EQ(t.m_digitalMask, 65535u);
        EXPECT_EQ(t.m_parameterFlag, 0);
        EXPECT_EQ(t.m_parameterWord, -1);
        EXPECT_EQ(t.m_extraFlag, 0);
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
        for (uint32_t i = 0; i < c.count; ++i) {
            if (c.version >= 3)
                b.Bytes(TriggerRecord("elec0001", false, false).Get().data(),
                        TriggerRecord("elec0001", false, false).Size());
            else
                b.Bytes(OldImage(0, 60).Get().data(), OldImage(0, 60).Size());
        }
        b.U32(c.dead).U32(c.pre).U32(c.post).U8(0x77);
        CByteReader in(b.Get());
        std::vector<std::unique_ptr<CMMEATriggerProperty>> triggers;
        int64_t dead = -1, pre = -1, post = -1;
        ASSERT_EQ(CMMEATriggerProperty::ReadList(in, c.version, ProgramVersion(2, 0), triggers,
                                                 dead, pre, post),
                  1);
        EXPECT_EQ(triggers.size(), c.count);
        EXPECT_EQ(dead, c.expectDead);
        EXPECT_EQ(pre, c.expectPre);
        EXPECT_EQ(post, c.expectPost);
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
        EXPECT_EQ(w.m_windowWord, c.numbers ? -7 : 0);
        EXPECT_EQ(w.m_firstTime, c.numbers ? 2.5f : 1000.0f);
        EXPECT_EQ(w.m_secondTime, c.numbers ? 40.0f : 1000.0f);
        EXPECT_EQ(w.m_firstCode, c.numbers ? 3 : 0xFFFF);
        EXPECT_EQ(w.m_secondCode, c.numbers ? 4 : 0xFFFF);
        EXPECT_EQ(w.m_firstText, c.texts ? "pre" : "");
        EXPECT_EQ(w.m_secondText, c.texts ? "pst" : "");

        std::unique_ptr<CMCloneObject> copy = w.Clone();
        auto* window = dynamic_cast<CMTimeWindowProperty*>(copy.get());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->m_firstText, w.m_firstText);
        EXPECT_EQ(window->m_secondTime, w.m_secondTime);
    }
}
