#include "datafile/events/CKVTAEvtParam.h"
#include "datafile/container/CKVTAStream.h"
#include "datafile/info/CKVTAInfoParam.h"

#include <gtest/gtest.h>

#include "tests/datafile/settings/ParamRecordBytes.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdTestFile.h"
#include "tests/support/TempDir.h"

// A parameter stream read from a file gets its settings from its own format record, and its
// cursor decodes each channel's values with them.
TEST(StreamSettings, ParameterCursorDecodesRecordsWithTheStreamsOwnSettings)
{
    ParamRecord settings;
    settings.Select({8}); // one 2-byte value per channel
    KvdStreamPlan plan;
    plan.bufferType = "params";
    plan.name = "Parameter 1";
    plan.id = "para0001";
    plan.adcZero = 32768;
    plan.voltsPerStep = 1e-6;
    plan.settings = settings.Bytes();
    plan.channels.resize(2);
    plan.channels[1].id = 1;
    plan.channels[1].number = 1;

    std::vector<uint8_t> record;
    CByteWriter(record).Put<uint64_t>(kKvdDefaultStart + 1000).Put<uint16_t>(32768 + 10).Put<uint16_t>(32768 + 20);
    TempDir dir;
    const std::string path = dir.File("params.kvd");
    ASSERT_TRUE(KvdBuilder(11).AddStream(plan).AddChunk("para0001", kKvdDefaultStart, kKvdDefaultStart + 2000, record).WriteTo(path));

    KvdTestFile file;
    ASSERT_EQ(file.Open(path), 0);
    CKVTAStream* stream = file.Stream(0);
    ASSERT_NE(stream, nullptr);
    std::unique_ptr<CKVTAInfo> info = stream->CreateInfo();
    ASSERT_NE(dynamic_cast<CKVTAInfoParam*>(info.get()), nullptr);

    std::unique_ptr<CKVTAEvent> cursor = stream->GetFirstEvent();
    auto* param = dynamic_cast<CKVTAEvtParam*>(cursor.get());
    ASSERT_NE(param, nullptr);
    EXPECT_EQ(param->GetDataSize(), 4);
    std::vector<float> first, second, missing;
    ASSERT_TRUE(param->GetValues(0, first));
    ASSERT_TRUE(param->GetValues(1, second));
    EXPECT_FALSE(param->GetValues(2, missing));
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(first[0], second[0]);
    EXPECT_FALSE(cursor->Next());
}
