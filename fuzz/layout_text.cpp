// Fuzzes the layout description readers: arbitrary text is parsed as a hardware unit, an
// amplifier and an electrode array, each unit holding a good description before.
//
// Input: the text of a description file.

#include <memory>
#include <string>
#include <vector>

#include "datafile/layout/CKVLayoutCType.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/LayoutTextSamples.h"

namespace {

struct Snapshot
{
    std::string name;
    int32_t version;
    std::vector<LayoutRecord> records;
    std::vector<int32_t> values;
};

Snapshot Take(const CKVLayout::CType& unit)
{
    return {unit.GetName(), unit.GetVersion(), unit.GetRecords(), unit.GetValues()};
}

bool SameRecord(const LayoutRecord& a, const LayoutRecord& b)
{
    std::vector<uint8_t> bytesA;
    std::vector<uint8_t> bytesB;
    CKVLayout::AppendRecord(bytesA, a);
    CKVLayout::AppendRecord(bytesB, b);
    return bytesA == bytesB && a.name == b.name && a.secondName == b.secondName
        && a.thirdName == b.thirdName && a.unitName == b.unitName
        && a.hardwareName == b.hardwareName;
}

bool Same(const Snapshot& a, const Snapshot& b)
{
    if (a.name != b.name || a.version != b.version || a.values != b.values
        || a.records.size() != b.records.size())
        return false;
    for (size_t i = 0; i < a.records.size(); ++i)
        if (!SameRecord(a.records[i], b.records[i]))
            return false;
    return true;
}

// Each record fits the chunk record it is written into, and reads back from it unchanged.
void CheckRecords(const std::vector<LayoutRecord>& records)
{
    namespace B = LayoutRecordBytes;
    for (const LayoutRecord& record : records) {
        FUZZ_CHECK(record.name.size() < B::kNameWidth);
        FUZZ_CHECK(record.secondName.size() < B::kNameWidth);
        FUZZ_CHECK(record.thirdName.size() < B::kNameWidth);
        FUZZ_CHECK(record.unitName.size() < B::kUnitNameWidth);
        FUZZ_CHECK(record.hardwareName.size() < B::kHardwareNameWidth);
        std::vector<uint8_t> bytes;
        CKVLayout::AppendRecord(bytes, record);
        FUZZ_CHECK(bytes.size() == CKVLayout::RecordBytes(3));
        LayoutRecord back;
        CKVLayout::ParseRecord(bytes.data(), 3, back);
        FUZZ_CHECK(SameRecord(back, record));
    }
}

void CheckChannels(const CKVLayout::CType&) {}

void CheckChannels(const CKVLayout::CHardware& unit)
{
    const std::vector<LayoutRecord>& records = unit.GetRecords();
    for (size_t i = 0; i < records.size(); ++i) {
        const LayoutRecord* found = unit.FindChannel(records[i].hwid);
        FUZZ_CHECK(found && found->hwid == records[i].hwid && found <= &records[i]);
    }
}

template <class Unit>
void Check(const std::string& text, const char* good)
{
    Unit unit;
    FUZZ_CHECK(unit.Parse(good) == kUnitLoaded);
    const Snapshot before = Take(unit);
    const int rc = unit.Parse(text);
    FUZZ_CHECK(rc == kUnitLoaded || rc == kUnitWrongTitle || rc == kUnitMalformed);
    if (rc != kUnitLoaded) {
        FUZZ_CHECK(Same(Take(unit), before));       // a rejected text leaves the unit as it was
        return;
    }
    CheckRecords(unit.GetRecords());
    CheckChannels(unit);
    const std::unique_ptr<CKVLayout::CType> clone = unit.Clone();
    FUZZ_CHECK(Same(Take(*clone), Take(unit)));
    CheckChannels(static_cast<const Unit&>(*clone));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Check<CKVLayout::CHardware>(text, LayoutTextSamples::kHardware);
    Check<CKVLayout::CAmplifier>(text, LayoutTextSamples::kAmplifier);
    Check<CKVLayout::CMea>(text, LayoutTextSamples::kMea);
    return 0;
}
