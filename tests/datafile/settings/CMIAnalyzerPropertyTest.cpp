#include "datafile/info/CKVTAInfoParam.h"
#include "datafile/settings/CMIAnalyzerProperty.h"
#include "datafile/settings/KvtParamRecordDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

#include "tests/datafile/settings/ParamRecordBytes.h"

namespace {

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
        EXPECT_EQ(std::make_tuple(a.m_analyzerWord, a.m_word), version ? std::make_tuple(-5, 77u)
                                                                       : std::make_tuple(-1, 1u));
        EXPECT_EQ(info.GetInputStreamText(), version ? "elec0001" : "not recorded");
        EXPECT_EQ(a.m_version2Word, version >= 2 ? 88u : 0u);
        EXPECT_EQ(a.m_secondText, version >= 4 ? "second" : "");
        EXPECT_EQ(a.m_version5Word, version >= 5 ? 99u : 0u);
        EXPECT_EQ(std::make_tuple(w.m_windowWord, w.m_firstTime),
                  version >= 2 ? std::make_tuple(-7, 12.5f) : std::make_tuple(-1, 1000.0f));
        EXPECT_EQ(w.m_secondText, version >= 4 ? "to" : "");

        // Positions count up over the selected quantities; version 0 stores no selection.
        const int positions[15] = {0, -1, 1, -1, -1, -1, -1, -1, 2, -1, -1, -1, -1, -1, -1};
        for (int q = 0; q < 15; ++q) {
            const int expected = version ? positions[q] : -1;
            EXPECT_EQ(info.GetOutputPosition(q), expected) << q;
            EXPECT_EQ(info.IsQuantityRecorded(q), expected >= 0) << q;
        }
        EXPECT_EQ(info.GetOutputPosition(-1), -1);
        EXPECT_EQ(info.GetQuantity(2)->name, "T-Min");
        EXPECT_EQ(info.GetQuantity(14)->name, "stored14");   // quantity 14 is left as stored
        EXPECT_EQ(info.GetQuantity(15), nullptr);
    }
}

TEST(CMIAnalyzerProperty, RecordEndingAfterTheDescriptionCountKeepsTheStoredTable)
{
    ParamRecord record;
    record.endAfterDescriptionCount = true;
    record.Select({1});
    CKVTAInfoParam info;
    ASSERT_TRUE(ReadParams(record.Bytes(), 5, info));
    EXPECT_EQ(info.GetInputStreamText(), "not recorded");
    EXPECT_EQ(info.GetQuantity(0)->name, "stored0");
    EXPECT_EQ(info.GetQuantity(3)->factor, 5.0);
    EXPECT_EQ(info.GetOutputPosition(1), 0);   // as stored
    EXPECT_EQ(info.GetOutputPosition(0), -1);
    EXPECT_EQ(info.GetBytesPerChannel(), 4);
}

TEST(CMIAnalyzerProperty, BuildsRangesFromTheAdcAndTheTimeSelector)
{
    // T-Min exponent and unit, T-Max factor, unit and upper range.
    using Times = std::tuple<int32_t, int32_t, double, int32_t, float>;
    struct Case {
        const char* name;
        uint16_t bits, zero;
        double voltsPerStep;
        uint32_t timeSelector;
        float low, high;
        Times times;
    };
    const Case cases[] = {
        {"16 bits centred, times in ms", 16, 32768, 1e-7, 1, -4000.0f, 4000.0f,
         Times{-3, 3, 1000.0, 3, 1000.0f}},
        {"12 bits from zero, times in ns", 12, 0, 1e-6, 0, 0.0f, 5000.0f, Times{6, 2, 1e-9, 2, 4.0f}},
        {"bits beyond 16 do not shift out of range, times as stored", 40, 0, 1e-6, 2, 0.0f,
         70000.0f, Times{1, 8, 5.0, 8, 4.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ParamRecord record;
        record.timeSelector = c.timeSelector;
        record.Select({3});
        CKVTAInfoParam info;
        ASSERT_TRUE(ReadParams(record.Bytes(), 5, info, c.bits, c.zero, c.voltsPerStep));
        EXPECT_FLOAT_EQ(info.GetQuantity(0)->rangeMin, c.low);
        EXPECT_FLOAT_EQ(info.GetQuantity(0)->rangeMax, c.high);
        EXPECT_FLOAT_EQ(info.GetQuantity(4)->rangeMin, 0.0f);
        EXPECT_FLOAT_EQ(info.GetQuantity(4)->rangeMax, c.high);
        const KvtQuantity& tMin = *info.GetQuantity(2);
        const KvtQuantity& tMax = *info.GetQuantity(3);
        EXPECT_EQ(Times(tMin.exponent, tMin.unitKind, tMax.factor, tMax.unitKind, tMax.rangeMax),
                  c.times);
    }
}

TEST(CMIAnalyzerProperty, RoundRangeLimit)
{
    const std::pair<double, double> cases[] = {
        {3.2, 4}, {0.032, 0.04}, {25, 30}, {10, 10}, {-3.2, -4}, {0, 0}, {0.3, 0.3},
        {9.01, 10}, {-0.0032768, -0.004}, {12345, 20000},
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
    EXPECT_EQ(cut.values, (std::vector<float>{float(2 * 1e-6), kParamNoValue, kParamNoValue}));

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
