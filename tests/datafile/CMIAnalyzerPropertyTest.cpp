#include "datafile/CKVTAInfoParam.h"
#include "datafile/CMIAnalyzerProperty.h"
#include "datafile/KvtParamRecordDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "tests/datafile/SettingsBytes.h"

namespace {

constexpr uint32_t kNo = kParamNotSelected;

// A parameter settings record laid out table by table; every field holds a distinct value.
struct ParamRecord
{
    uint16_t version = 5;
    std::vector<uint32_t> sizes = {4, 4, 8, 8, 4, 8, 4, 4, 2, 4, 4, 4, 4, 4, 0};
    std::vector<uint32_t> positions = std::vector<uint32_t>(15, kNo);
    std::vector<uint32_t> selected = std::vector<uint32_t>(15, 0);
    uint32_t timeSelector = 1;
    bool endAfterDescriptionCount = false;

    // Records the quantities of `wanted` as stored and selected; their positions count up.
    ParamRecord& Select(std::initializer_list<size_t> wanted)
    {
        uint32_t next = 0;
        for (size_t q : wanted) {
            positions[q] = next++;
            selected[q] = 1;
        }
        return *this;
    }

    std::vector<uint8_t> Bytes() const
    {
        SettingsBytes b;
        b.Tag("FMTBLPAR").U16(static_cast<uint16_t>(sizes.size()));
        for (uint32_t s : sizes)
            b.U32(s);
        b.Tag("PSTBLPAR").U16(static_cast<uint16_t>(positions.size()));
        for (uint32_t p : positions)
            b.U32(p);
        b.Tag("PRTBLPAR").U16(static_cast<uint16_t>(selected.size()));
        for (size_t i = 0; i < selected.size(); ++i) {
            b.F32(-1.0f - i).F32(1.0f + i).I32(7).F64(2.0 + i).I32(1).I32(8);
            b.Str16("stored" + std::to_string(i));
        }
        if (version != 0) {
            b.I32(-5).U32(timeSelector);
            for (uint32_t s : selected)
                b.U32(s);
            b.U32(77);
            if (endAfterDescriptionCount)
                return b.U16(9).Get();
            b.Str16("elec0001");
            if (version >= 2) {
                b.U32(88);
                if (version >= 4)
                    b.Str16("second");
                b.I32(-7).F32(12.5f).F32(250.0f).U16(1).U16(2);
                if (version >= 4)
                    b.Str32("from").Str32("to");
                if (version >= 5)
                    b.U32(99);
            }
        }
        return b.Get();
    }
};

bool ReadParams(const std::vector<uint8_t>& bytes, uint16_t version, CKVTAInfoParam& info,
                uint16_t adcBits = 16, uint16_t adcZero = 32768, double voltsPerStep = 1e-7)
{
    CByteReader in(bytes);
    return info.Read(in, version, adcBits, adcZero, voltsPerStep);
}

} // namespace

TEST(CMIAnalyzerProperty, ReadsEveryRecordVersion)
{
    for (uint16_t version : {0, 1, 2, 3, 4, 5}) {
        SCOPED_TRACE(version);
        ParamRecord record;
        record.version = version;
        record.Select({0, 2, 8});
        CKVTAInfoParam info;
        ASSERT_TRUE(ReadParams(record.Bytes(), version, info));
        const CMIAnalyzerProperty& a = info.GetAnalyzer();
        const CMTimeWindowProperty& w = info.GetTimeWindow();

        EXPECT_EQ(info.GetBytesPerChannel(), 4 + 8 + 2);
        EXPECT_EQ(a.m_valueSizes[8], 2u);
        EXPECT_EQ(a.m_analyzerWord, version ? -5 : -1);
        EXPECT_EQ(a.m_word, version ? 77u : 1u);
        EXPECT_EQ(info.GetInputStreamText(), version ? "elec0001" : "not recorded");
        EXPECT_EQ(a.m_version2Word, version >= 2 ? 88u : 0u);
        EXPECT_EQ(a.m_secondText, version >= 4 ? "second" : "");
        EXPECT_EQ(a.m_version5Word, version >= 5 ? 99u : 0u);
        EXPECT_EQ(w.m_windowWord, version >= 2 ? -7 : -1);
        EXPECT_EQ(w.m_firstTime, version >= 2 ? 12.5f : 1000.0f);
        EXPECT_EQ(w.m_secondCode, version >= 2 ? 2 : 0xFFFF);
        EXPECT_EQ(w.m_secondText, version >= 4 ? "to" : "");

        // Version 0 stores no selection, so nothing is recorded.
        const bool anySelected = version != 0;
        const int expectPositions[15] = {0, -1, 1, -1, -1, -1, -1, -1, 2, -1, -1, -1, -1, -1, -1};
        for (int q = 0; q < 15; ++q) {
            SCOPED_TRACE(q);
            EXPECT_EQ(info.GetOutputPosition(q), anySelected ? expectPositions[q] : -1);
            EXPECT_EQ(info.IsQuantityRecorded(q), anySelected && expectPositions[q] >= 0);
        }
        EXPECT_EQ(info.GetQuantity(2)->name, "T-Min");
        EXPECT_EQ(info.GetQuantity(14)->name, "stored14");   // quantity 14 is left as stored
        EXPECT_EQ(info.GetQuantity(15), nullptr);
        EXPECT_EQ(info.GetOutputPosition(-1), -1);
    }
}

TEST(CMIAnalyzerProperty, RecordEndingAfterTheDescriptionCountKeepsTheStoredTable)
{
    ParamRecord record;
    record.version = 5;
    record.endAfterDescriptionCount = true;
    record.Select({1});
    CKVTAInfoParam info;
    ASSERT_TRUE(ReadParams(record.Bytes(), 5, info));
    EXPECT_EQ(info.GetInputStreamText(), "not recorded");
    EXPECT_EQ(info.GetQuantity(0)->name, "stored0");
    EXPECT_EQ(info.GetQuantity(0)->recorded, 7u);
    EXPECT_EQ(info.GetQuantity(3)->factor, 5.0);
    EXPECT_EQ(info.GetOutputPosition(1), 0);   // as stored
    EXPECT_EQ(info.GetOutputPosition(0), -1);
    EXPECT_EQ(info.GetBytesPerChannel(), 4);
}

TEST(CMIAnalyzerProperty, BuildsRangesFromTheAdcAndTheTimeSelector)
{
    struct Case {
        const char* name;
        uint16_t bits, zero;
        double voltsPerStep;
        uint32_t timeSelector;
        float low, high;
    };
    const Case cases[] = {
        {"16 bits centred", 16, 32768, 1e-7, 1, -4000.0f, 4000.0f},
        {"12 bits from zero", 12, 0, 1e-6, 0, 0.0f, 5000.0f},
        {"bits beyond 16 do not shift out of range", 40, 0, 1e-6, 2, 0.0f, 70000.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ParamRecord record;
        record.timeSelector = c.timeSelector;
        record.Select({3});
        CKVTAInfoParam info;
        ASSERT_TRUE(ReadParams(record.Bytes(), 5, info, c.bits, c.zero, c.voltsPerStep));
        const KvtQuantity& min = *info.GetQuantity(0);
        EXPECT_FLOAT_EQ(min.rangeMin, c.low);
        EXPECT_FLOAT_EQ(min.rangeMax, c.high);
        EXPECT_EQ(min.exponent, -6);
        EXPECT_EQ(min.unitKind, 0);
        EXPECT_FLOAT_EQ(info.GetQuantity(4)->rangeMin, 0.0f);
        EXPECT_FLOAT_EQ(info.GetQuantity(4)->rangeMax, c.high);

        const KvtQuantity& tMin = *info.GetQuantity(2);
        const KvtQuantity& tMax = *info.GetQuantity(3);
        switch (c.timeSelector) {
        case 0:
            EXPECT_EQ(tMin.exponent, 6);
            EXPECT_EQ(tMin.unitKind, 2);
            EXPECT_EQ(tMax.factor, 1e-9);
            EXPECT_EQ(tMax.rangeMax, 4.0f);   // kept as stored
            EXPECT_EQ(tMax.unitKind, 2);
            break;
        case 1:
            EXPECT_EQ(tMax.factor, 1000.0);
            EXPECT_EQ(tMax.exponent, -3);
            EXPECT_EQ(tMax.unitKind, 3);
            break;
        default:
            EXPECT_EQ(tMin.factor, 4.0);   // both kept as stored
            EXPECT_EQ(tMax.unitKind, 8);
            break;
        }
        EXPECT_EQ(info.GetQuantity(7)->factor, 1000000.0);
        EXPECT_EQ(info.GetQuantity(7)->unitKind, 4);
        EXPECT_EQ(info.GetQuantity(12)->unitKind, 7);
        EXPECT_EQ(info.GetQuantity(13)->name, "Slope 30%-70");
    }
}

TEST(CMIAnalyzerProperty, RoundRangeLimit)
{
    const std::pair<double, double> cases[] = {
        {3.2, 4},   {0.032, 0.04}, {25, 30}, {10, 10}, {-3.2, -4}, {0, 0},
        {0.3, 0.3}, {1, 1},        {9.01, 10}, {-0.0032768, -0.004}, {12345, 20000},
    };
    for (const auto& [x, expected] : cases) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(KvtRoundRangeLimit(x), expected, std::fabs(expected) * 1e-12);
    }
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(KvtRoundRangeLimit(inf), inf);
    EXPECT_EQ(KvtRoundRangeLimit(-inf), -inf);
    EXPECT_TRUE(std::isnan(KvtRoundRangeLimit(std::nan(""))));
}

TEST(CMIAnalyzerProperty, RefusesBadTablesCutAndOversizedRecords)
{
    struct Break {
        const char* name;
        std::function<void(ParamRecord&)> apply;
    };
    const Break breaks[] = {
        {"16 value sizes", [](ParamRecord& r) { r.sizes.push_back(4); }},
        {"16 positions", [](ParamRecord& r) { r.positions.push_back(kNo); }},
        {"16 entries", [](ParamRecord& r) { r.selected.push_back(0); }},
        {"one channel over 65535 bytes",
         [](ParamRecord& r) {
             r.sizes.assign(15, 0xFFFF);
             r.Select({0, 1});
         }},
    };
    for (const Break& b : breaks) {
        SCOPED_TRACE(b.name);
        ParamRecord record;
        b.apply(record);
        CKVTAInfoParam info;
        EXPECT_FALSE(ReadParams(record.Bytes(), 5, info));
    }

    ParamRecord record;
    record.Select({0, 5});
    const std::vector<uint8_t> full = record.Bytes();
    std::vector<uint8_t> wrongTag = full;
    wrongTag[0] = 'X';
    CKVTAInfoParam info;
    EXPECT_FALSE(ReadParams(wrongTag, 5, info));

    ParamRecord shortRecord = record;
    shortRecord.endAfterDescriptionCount = true;
    const size_t validCut = shortRecord.Bytes().size();
    for (size_t n = 0; n < full.size(); ++n) {
        if (n == validCut)
            continue;   // a record of that shape ends there
        SCOPED_TRACE(n);
        CKVTAInfoParam cut;
        EXPECT_FALSE(ReadParams(Prefix(full, n), 5, cut));
    }

    // The u16 description count pointing past the end.
    std::vector<uint8_t> longText = full;
    Patch<uint16_t>(longText, validCut - 2, 0xFFFF);
    EXPECT_FALSE(ReadParams(longText, 5, info));
}

namespace {

// Decodes one channel with the settings of `record`, the record's values in `values`.
struct Decoded
{
    int result;
    std::vector<float> values;
};

Decoded Decode(const CKVTAInfoParam& info, const std::vector<uint8_t>& values, int channel,
               int channelCount, int headerVersion = 5)
{
    KvtParamRecordDecoder decoder(info, channelCount, 32768, 1e-6, headerVersion);
    const std::vector<uint8_t> exact = values;   // exactly sized: over-reads show under ASan
    decoder.SetRecord(exact.data(), exact.size());
    Decoded d;
    d.result = decoder.DecodeChannel(channel, d.values);
    return d;
}

} // namespace

TEST(KvtParamRecordDecoder, DecodesEachQuantityKind)
{
    ParamRecord record;
    record.sizes[0] = 2;   // a 2-byte Min
    record.Select({0, 1, 2, 4, 5, 6, 7, 8, 9, 10});
    CKVTAInfoParam info;
    ASSERT_TRUE(ReadParams(record.Bytes(), 5, info));
    ASSERT_EQ(info.GetBytesPerChannel(), 2 + 4 + 8 + 4 + 8 + 4 + 4 + 2 + 4 + 4);

    SettingsBytes ch0;
    ch0.U16(32768 + 100).I32(32768 - 50).Put<int64_t>(2500000).I32(32768 + 7)
        .Put<uint64_t>(2000000000000ull).I32(32768 + 3).U32(4).U16(12).F32(1.5f).F32(-0.25f);
    SettingsBytes ch1;
    ch1.U16(0xFFFF).I32(-1).Put<int64_t>(0).I32(32768).Put<uint64_t>(0).I32(32768)
        .U32(0).U16(0).U32(3).F32(2.0f);
    std::vector<uint8_t> values = ch0.Get();
    values.insert(values.end(), ch1.Get().begin(), ch1.Get().end());

    const float M = kParamNoValue;
    struct Case {
        const char* name;
        int channel;
        int headerVersion;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {"values", 0, 5, {100e-6f, -50e-6f, 2.5f, 7e-6f, 2000.0f, 3e-6f, 4e-6f, 12, 1.5f, -0.25f}},
        {"markers", 1, 5, {M, M, M, 0, M, 0, M, 0, 4.2e-45f /* bits 3 */, 2.0f}},
        {"old rate is an integer", 1, 2, {M, M, M, 0, M, 0, M, 0, 3.0f, 2.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded d = Decode(info, values, c.channel, 2, c.headerVersion);
        ASSERT_EQ(d.result, 1);
        ASSERT_EQ(d.values.size(), c.expected.size());
        for (size_t k = 0; k < c.expected.size(); ++k) {
            SCOPED_TRACE(k);
            if (c.expected[k] == M)
                EXPECT_EQ(d.values[k], M);
            else
                EXPECT_NEAR(d.values[k], c.expected[k], std::fabs(c.expected[k]) * 1e-5 + 1e-44);
        }
    }
}

TEST(KvtParamRecordDecoder, StaysInsideShortRecordsAndRefusesMissingChannels)
{
    ParamRecord record;
    record.Select({0, 2, 8});   // 4 + 8 + 2 = 14 bytes per channel
    CKVTAInfoParam info;
    ASSERT_TRUE(ReadParams(record.Bytes(), 5, info));

    SettingsBytes b;
    b.I32(32768 + 1).Put<int64_t>(1000000).U16(5);   // channel 0, whole
    b.I32(32768 + 2).U32(0);                         // channel 1, cut inside its T-Min
    const std::vector<uint8_t> values = b.Get();

    Decoded whole = Decode(info, values, 0, 3);
    ASSERT_EQ(whole.result, 1);
    EXPECT_EQ(whole.values, (std::vector<float>{float(1 * 1e-6), 1.0f, 5.0f}));

    Decoded cut = Decode(info, values, 1, 3);
    ASSERT_EQ(cut.result, 1);
    ASSERT_EQ(cut.values.size(), 3u);
    EXPECT_FLOAT_EQ(cut.values[0], 2e-6f);
    EXPECT_EQ(cut.values[1], kParamNoValue);
    EXPECT_EQ(cut.values[2], kParamNoValue);

    EXPECT_EQ(Decode(info, values, 2, 3).result, 0);    // starts past the record's end
    EXPECT_EQ(Decode(info, values, 3, 3).result, 0);    // not a channel of the stream
    EXPECT_EQ(Decode(info, values, -1, 3).result, 0);
    EXPECT_EQ(Decode(info, {}, 0, 3).result, 0);
}

TEST(KvtParamRecordDecoder, QuantityFourteenKeepsItsPreviousValue)
{
    ParamRecord record;
    record.sizes[14] = 2;
    record.Select({8, 14});
    CKVTAInfoParam info;
    ASSERT_TRUE(ReadParams(record.Bytes(), 5, info));
    KvtParamRecordDecoder decoder(info, 1, 0, 1.0, 5);
    SettingsBytes b;
    b.U16(6).U16(0xAAAA);
    decoder.SetRecord(b.Get().data(), b.Size());
    std::vector<float> values = {-1.0f, 42.0f};
    ASSERT_EQ(decoder.DecodeChannel(0, values), 1);
    EXPECT_EQ(values, (std::vector<float>{6.0f, 42.0f}));
}
