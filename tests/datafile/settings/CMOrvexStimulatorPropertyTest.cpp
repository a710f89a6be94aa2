#include "datafile/settings/CMOrvexStimulatorProperty.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/datafile/settings/SettingsBytes.h"
#include "tests/support/TempDir.h"

namespace {

// A chunk of the given version as the recording program stores it, every field distinct.
std::vector<uint8_t> StimulatorChunk(int32_t version, const std::string& text = "hello")
{
    SettingsBytes b;
    b.Bytes("VESPRA  ", 8).I32(version);
    if (version >= 5) {
        b.U32(2);
        b.U32(4).Bytes("stim", 4).U32(2);
        b.Bytes("elec0001", 8).U32(2).U16(1).U16(2).U16(3).U16(4);
        b.Bytes("anlg0001", 8).U32(0);
        b.U32(0).U32(0);   // a second element without name or streams
    }
    b.U32(3);
    const std::pair<int32_t, int32_t> pairs[3] = {{1, 5}, {1, 17}, {2, 5}};
    for (uint32_t g = 0; g < 3; ++g) {
        for (uint32_t i = 0; i < 9; ++i)
            b.U32(g * 100 + i);
        if (version >= 3)
            b.U32(g + 5);
        if (version >= 2)
            b.I32(pairs[g].first).I32(pairs[g].second);
    }
    for (uint32_t i = 0; i < 9; ++i)
        b.U32(1000 + i);
    b.U32(1).U8(0);   // mode, flag 1
    if (version >= 6)
        b.U8(1).U32(static_cast<uint32_t>(text.size())).Bytes(text.data(), text.size());
    if (version >= 7)
        b.U8(2);
    return b.Get();
}

std::vector<uint8_t> Serialized(const CMOrvexStimulatorProperty& p)
{
    std::vector<uint8_t> bytes;
    p.WriteChunk(bytes);
    return bytes;
}

CMOrvexStimulatorProperty Populated()
{
    CMOrvexStimulatorProperty p;
    KvtStimulatorElement element;
    element.name = "pulse";
    element.streams["elec0001"] = {{1, 10}, {65535, 0}};
    element.streams["digi0001"] = {};
    p.InsertElement(0, element);
    element.name = "first";
    p.InsertElement(0, element);
    p.m_word = 9;   // not stored
    for (size_t g = 0; g < 3; ++g) {
        for (size_t i = 0; i < 9; ++i)
            p.m_groups[g].words[i] = static_cast<uint32_t>(g * 10 + i);
        p.m_groups[g].groupWord = static_cast<uint32_t>(g);
        p.m_pairs[g] = {static_cast<int32_t>(g), -static_cast<int32_t>(g)};
    }
    for (size_t i = 0; i < 9; ++i)
        p.m_settings[i] = static_cast<uint32_t>(i * 7);
    p.m_mode = 1;
    p.m_flag1 = 0;
    p.m_flag3 = 1;
    p.m_text = std::string("text with a \xB5 sign");
    p.m_lastFlag = 0;
    return p;
}

} // namespace

TEST(CMOrvexStimulatorProperty, WriteThenReadRoundTripsThroughAFile)
{
    TempDir dir;
    const std::string path = dir.File("stimulator.bin");
    for (bool populated : {false, true}) {
        SCOPED_TRACE(populated ? "populated" : "defaults");
        const CMOrvexStimulatorProperty original =
            populated ? Populated() : CMOrvexStimulatorProperty();

        FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(std::fwrite("HEAD", 1, 4, out), 4u);
        ASSERT_TRUE(original.WriteChunk(out));
        ASSERT_EQ(std::fwrite("NEXT", 1, 4, out), 4u);
        ASSERT_EQ(std::fclose(out), 0);

        FILE* in = std::fopen(path.c_str(), "rb");
        ASSERT_NE(in, nullptr);
        ASSERT_EQ(std::fseek(in, 4, SEEK_SET), 0);
        CMOrvexStimulatorProperty read = Populated();
        read.m_flag2 = 0;
        read.m_elements.clear();
        EXPECT_TRUE(read.ReadChunk(in));
        char next[4] = {};
        EXPECT_EQ(std::fread(next, 1, 4, in), 4u);   // the chunk has no size field: the read
        EXPECT_EQ(std::string(next, 4), "NEXT");     // must end exactly behind it
        std::fclose(in);

        EXPECT_EQ(Serialized(read), Serialized(original));
        EXPECT_EQ(read.m_elements, original.m_elements);
        EXPECT_EQ(read.m_text, original.m_text);
        EXPECT_EQ(read.m_flag2, 1);   // not stored: the default
        EXPECT_EQ(read.m_word, 0u);   // not stored: the default
    }
}

TEST(CMOrvexStimulatorProperty, ReadsEachVersionAsStored)
{
    for (int32_t version = 1; version <= 8; ++version) {
        SCOPED_TRACE(version);
        const std::vector<uint8_t> chunk = StimulatorChunk(version);
        CMOrvexStimulatorProperty p;
        size_t consumed = 0;
        ASSERT_TRUE(p.ReadChunk(chunk.data(), chunk.size(), &consumed));
        EXPECT_EQ(consumed, chunk.size());

        if (version >= 5) {
            ASSERT_EQ(p.m_elements.size(), 2u);
            EXPECT_EQ(p.m_elements[0].name, "stim");
            EXPECT_EQ(p.m_elements[0].streams,
                      (std::map<std::string, std::map<uint16_t, uint16_t>>{{"elec0001", {{1, 2}, {3, 4}}},
                                                                           {"anlg0001", {}}}));
            EXPECT_EQ(p.m_elements[1].name, "");
        } else {
            ASSERT_EQ(p.m_elements.size(), 1u);
            EXPECT_EQ(p.m_elements[0].name, "new");
            EXPECT_TRUE(p.m_elements[0].streams.empty());
        }
        for (uint32_t g = 0; g < 3; ++g) {
            EXPECT_EQ(p.m_groups[g].words[8], g * 100 + 8) << g;
            EXPECT_EQ(p.m_groups[g].groupWord, version >= 3 ? g + 5 : 1u) << g;
        }
        // Kind 1 values were stored 16 lower in version 2; version 1 stores no pairs.
        const int32_t values[3] = {version == 2 ? 21 : 5, 17, 5};
        for (size_t g = 0; g < 3; ++g) {
            EXPECT_EQ(p.m_pairs[g].kind, version == 1 ? 0 : (g == 2 ? 2 : 1)) << g;
            EXPECT_EQ(p.m_pairs[g].value, version == 1 ? -1 : values[g]) << g;
        }
        EXPECT_EQ(p.m_settings[0], 1000u);
        EXPECT_EQ(p.m_flag3, version >= 6 ? 1 : 0);
        EXPECT_EQ(p.m_text, version >= 6 ? "hello" : "");
        EXPECT_EQ(p.m_lastFlag, version >= 7 ? 2 : 0);
    }
}

TEST(CMOrvexStimulatorProperty, EveryReadStartsFromTheDefaults)
{
    CMOrvexStimulatorProperty p;
    const std::vector<uint8_t> withText = StimulatorChunk(6, "from the first file");
    ASSERT_TRUE(p.ReadChunk(withText.data(), withText.size()));
    EXPECT_EQ(p.m_text, "from the first file");

    const std::vector<uint8_t> withoutText = StimulatorChunk(5);
    ASSERT_TRUE(p.ReadChunk(withoutText.data(), withoutText.size()));
    EXPECT_EQ(p.m_text, "");
    EXPECT_EQ(p.m_elements.size(), 2u);   // not four

    const std::vector<uint8_t> broken(withText.begin(), withText.begin() + 20);
    EXPECT_FALSE(p.ReadChunk(broken.data(), broken.size()));
    EXPECT_EQ(Serialized(p), Serialized(CMOrvexStimulatorProperty()));
    EXPECT_TRUE(p.m_elements.empty());
}

TEST(CMOrvexStimulatorProperty, RefusesBrokenChunks)
{
    const std::vector<uint8_t> good = StimulatorChunk(7);
    // Offsets in a version-7 chunk: element count 12, first name length 16, its stream
    // count 24, its first pair count 36.
    struct Break {
        const char* name;
        size_t at;
        uint32_t value;
    };
    const Break breaks[] = {
        {"wrong id", 0, 0x53455645},
        {"version 0", 8, 0},
        {"negative version", 8, 0xFFFFFFFF},
        {"huge element count", 12, 0xFFFFFFFF},
        {"huge name length", 16, 0xFFFFFFF0},
        {"huge stream count", 24, 0x7FFFFFFF},
        {"huge pair count", 36, 0x40000000},
    };
    for (const Break& b : breaks) {
        SCOPED_TRACE(b.name);
        std::vector<uint8_t> bytes = good;
        Patch<uint32_t>(bytes, b.at, b.value);
        CMOrvexStimulatorProperty p;
        EXPECT_FALSE(p.ReadChunk(bytes.data(), bytes.size()));
    }

    for (size_t n = 0; n < good.size(); ++n) {
        SCOPED_TRACE(n);
        const std::vector<uint8_t> cut = Prefix(good, n);
        CMOrvexStimulatorProperty p;
        EXPECT_FALSE(p.ReadChunk(cut.data(), cut.size()));
    }

    // The same from files that end early, and a name length beyond the file.
    TempDir dir;
    const std::string path = dir.File("cut.bin");
    std::vector<uint8_t> hugeName = good;
    Patch<uint32_t>(hugeName, 16, 0xFFFFFFF0);
    for (const std::vector<uint8_t>& bytes :
         {Prefix(good, good.size() - 1), Prefix(good, 30), Prefix(good, 0), hugeName}) {
        SCOPED_TRACE(bytes.size());
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        FILE* file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        CMOrvexStimulatorProperty p;
        EXPECT_FALSE(p.ReadChunk(file));
        std::fclose(file);
    }
    CMOrvexStimulatorProperty p;
    EXPECT_FALSE(p.ReadChunk(static_cast<FILE*>(nullptr)));
    EXPECT_FALSE(p.WriteChunk(static_cast<FILE*>(nullptr)));
}

TEST(CMOrvexStimulatorProperty, DefaultsByModeAndElementInsertion)
{
    CMOrvexStimulatorProperty p;
    p.m_groups[0].groupWord = 7;
    p.m_pairs[0].kind = 3;
    p.SetDefaults(1, false);   // mode 1 narrows the limits; without reset the rest is kept
    EXPECT_EQ(static_cast<int32_t>(p.m_groups[0].words[1]), -100000);
    EXPECT_EQ(p.m_groups[0].groupWord, 7u);
    EXPECT_EQ(p.m_pairs[0].kind, 3);
    p.SetDefaults(5, true);
    EXPECT_EQ(p.m_groups[0].words[3], 100000u);   // other modes keep the limits
    EXPECT_EQ(p.m_groups[0].groupWord, 1u);
    EXPECT_EQ(p.m_pairs[0].kind, 0);

    KvtStimulatorElement a, b, c;
    a.name = "a";
    b.name = "b";
    c.name = "c";
    p.InsertElement(0, b);
    p.InsertElement(0, a);
    p.InsertElement(99, c);   // past the end: appended
    ASSERT_EQ(p.m_elements.size(), 3u);
    EXPECT_EQ(p.m_elements[0].name + p.m_elements[1].name + p.m_elements[2].name, "abc");
}
