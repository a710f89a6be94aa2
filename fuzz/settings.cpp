// Fuzzes the stream settings records and the stimulator chunk: the same bytes are read as the
// settings of every buffer type under every stream header version, each object asked everything,
// parameter records decoded with a parameter settings object, and the bytes read as a
// stimulator chunk from memory and from a file, written back and read again.
//
// Input: a 16-byte head (i32 recording-program version, u16 ADC bits, u16 ADC zero, f64 volts
// per step, as a stream's file and format head give them), then the record bytes.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "datafile/info/KvtCreateInfo.h"
#include "datafile/settings/CMOrvexStimulatorProperty.h"
#include "datafile/settings/KvtParamRecordDecoder.h"
#include "fuzz/AskInfo.h"
#include "fuzz/FuzzCheck.h"
#include "platform/CByteReader.h"

namespace {

constexpr size_t kHeadBytes = 16;
// Stream header versions asked for: every layout change lies below this.
constexpr uint16_t kVersions = 10;
const char* const kBufferTypes[] = {"trigger", "spikes", "spkparam", "bstparam", "average",
                                    "filter",  "chat",   "params",   "analog",   "digital",
                                    "unknown"};

void DecodeParameters(const CKVTAInfoParam& info, uint16_t adcZero, double voltsPerStep,
                      uint16_t version, const uint8_t* values, size_t size)
{
    constexpr int kChannels = 3;
    KvtParamRecordDecoder decoder(info, kChannels, adcZero, voltsPerStep, version);
    decoder.SetRecord(values, size);
    std::vector<float> decoded;
    for (int channel = -1; channel <= kChannels; ++channel) {
        const int ok = decoder.DecodeChannel(channel, decoded);
        FUZZ_CHECK(ok == 0 || (channel >= 0 && channel < kChannels));
    }
}

bool SameStimulator(const CMOrvexStimulatorProperty& a, const CMOrvexStimulatorProperty& b)
{
    if (a.m_elements != b.m_elements || a.m_mode != b.m_mode || a.m_flag1 != b.m_flag1
        || a.m_flag3 != b.m_flag3 || a.m_text != b.m_text || a.m_lastFlag != b.m_lastFlag)
        return false;
    for (size_t i = 0; i < CMOrvexStimulatorProperty::kSettingCount; ++i)
        if (a.m_settings[i] != b.m_settings[i])
            return false;
    for (size_t g = 0; g < CMOrvexStimulatorProperty::kGroupCount; ++g) {
        if (std::memcmp(a.m_groups[g].words, b.m_groups[g].words, sizeof a.m_groups[g].words) != 0
            || a.m_groups[g].groupWord != b.m_groups[g].groupWord
            || a.m_pairs[g].kind != b.m_pairs[g].kind || a.m_pairs[g].value != b.m_pairs[g].value)
            return false;
    }
    return true;
}

// Reads the chunk through a file holding the bytes; `position` receives where reading stopped.
bool ReadThroughFile(const uint8_t* data, size_t size, CMOrvexStimulatorProperty& out,
                     long& position)
{
    const int fd = memfd_create("stimulator", 0);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(size == 0 || write(fd, data, size) == static_cast<ssize_t>(size));
    FUZZ_CHECK(lseek(fd, 0, SEEK_SET) == 0);
    FILE* file = fdopen(fd, "rb");
    FUZZ_CHECK(file);
    const bool ok = out.ReadChunk(file);
    position = std::ftell(file);
    std::fclose(file);
    return ok;
}

void FuzzStimulator(const uint8_t* data, size_t size)
{
    CMOrvexStimulatorProperty read;
    size_t consumed = 0;
    const bool ok = read.ReadChunk(data, size, &consumed);

    CMOrvexStimulatorProperty fromFile;
    long position = -1;
    FUZZ_CHECK(ReadThroughFile(data, size, fromFile, position) == ok);
    FUZZ_CHECK(SameStimulator(fromFile, read));
    if (!ok) {
        FUZZ_CHECK(SameStimulator(read, CMOrvexStimulatorProperty()));
        return;
    }
    FUZZ_CHECK(consumed <= size && position == static_cast<long>(consumed));

    // Written back, the chunk reads as the same settings and writes the same bytes again.
    std::vector<uint8_t> bytes;
    read.WriteChunk(bytes);
    CMOrvexStimulatorProperty again;
    size_t againConsumed = 0;
    FUZZ_CHECK(again.ReadChunk(bytes.data(), bytes.size(), &againConsumed));
    FUZZ_CHECK(againConsumed == bytes.size());
    FUZZ_CHECK(SameStimulator(again, read));
    std::vector<uint8_t> bytesAgain;
    again.WriteChunk(bytesAgain);
    FUZZ_CHECK(bytesAgain == bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeadBytes)
        return 0;
    const int32_t program = LoadLE<int32_t>(data);
    const uint16_t adcBits = LoadLE<uint16_t>(data + 4);
    const uint16_t adcZero = LoadLE<uint16_t>(data + 6);
    const double voltsPerStep = LoadLE<double>(data + 8);
    // The record in a buffer of its own size, so that any read past it shows.
    const std::vector<uint8_t> record(data + kHeadBytes, data + size);

    for (const char* type : kBufferTypes) {
        for (uint16_t version = 0; version < kVersions; ++version) {
            std::unique_ptr<CKVTAInfo> info = KvtCreateInfo(
                type, version, record.data(), record.size(), adcBits, adcZero, voltsPerStep, program);
            FuzzInfo::AskEverything(info.get());
            if (const auto* param = dynamic_cast<const CKVTAInfoParam*>(info.get()))
                DecodeParameters(*param, adcZero, voltsPerStep, version, record.data(), record.size());
        }
    }
    FuzzStimulator(record.data(), record.size());
    return 0;
}
