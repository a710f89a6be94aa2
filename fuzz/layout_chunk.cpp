// Fuzzes the layout chunk reader: arbitrary bytes are read as a "LAYOUT  " chunk from memory and
// through files, every record and unit query and descriptor string is asked for, and the layout
// is written back and read again.
//
// Input: the bytes of the chunk, starting at its id.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "datafile/layout/CKVLayout.h"
#include "fuzz/FuzzCheck.h"

namespace {

// The most records a default layout is built with here: enough for every label table, small
// enough to keep each run short.
constexpr int32_t kMaxDefaultRecords = 130;

bool SameRecord(const LayoutRecord& a, const LayoutRecord& b)
{
    return a.hwid == b.hwid && a.subtype == b.subtype && a.channelValue1 == b.channelValue1
        && a.channelValue2 == b.channelValue2 && a.channelValue3 == b.channelValue3
        && a.name == b.name && a.secondName == b.secondName && a.unitId == b.unitId
        && a.unitName == b.unitName && a.positionValue0 == b.positionValue0 && a.x == b.x
        && a.y == b.y && a.positionValue3 == b.positionValue3
        && a.positionValue4 == b.positionValue4 && a.positionValue5 == b.positionValue5
        && a.positionValue6 == b.positionValue6 && a.dx == b.dx && a.dy == b.dy
        && a.dxextend == b.dxextend && a.dyextend == b.dyextend && a.thirdName == b.thirdName
        && a.hardwareName == b.hardwareName && a.firstChannel == b.firstChannel
        && a.reserved == b.reserved;
}

bool SameLayout(const CKVLayout& a, const CKVLayout& b)
{
    if (a.GetLayoutKind() != b.GetLayoutKind() || a.GetTotalChannels() != b.GetTotalChannels()
        || a.GetElectrodeChannels() != b.GetElectrodeChannels()
        || a.GetAnalogChannels() != b.GetAnalogChannels()
        || a.GetDigitalChannels() != b.GetDigitalChannels()
        || a.GetRecordCount() != b.GetRecordCount())
        return false;
    for (int i = 0; i < a.GetRecordCount(); ++i) {
        LayoutRecord ra;
        LayoutRecord rb;
        if (!a.GetRecord(ra, i) || !b.GetRecord(rb, i) || !SameRecord(ra, rb))
            return false;
    }
    return true;
}

bool IsEmpty(const CKVLayout& layout)
{
    return layout.GetRecordCount() == 0 && layout.GetLayoutKind() == 0
        && layout.GetTotalChannels() == 0 && layout.GetElectrodeChannels() == 0
        && layout.GetAnalogChannels() == 0 && layout.GetDigitalChannels() == 0;
}

// Reads the chunk from a file holding the bytes; with `knownLength` false, through a stream
// whose length cannot be asked for. `position` receives the file position afterwards.
bool ReadThroughFile(const uint8_t* data, size_t size, bool knownLength, CKVLayout& layout,
                     long& position)
{
    FILE* file = nullptr;
    if (knownLength) {
        const int fd = memfd_create("layout", 0);
        FUZZ_CHECK(fd >= 0);
        FUZZ_CHECK(size == 0 || write(fd, data, size) == static_cast<ssize_t>(size));
        FUZZ_CHECK(lseek(fd, 0, SEEK_SET) == 0);
        file = fdopen(fd, "rb");
    } else {
        file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    }
    FUZZ_CHECK(file);
    const bool ok = layout.ReadLayoutChunk(file);
    position = std::ftell(file);
    std::fclose(file);
    return ok;
}

std::vector<uint8_t> WriteThroughFile(const CKVLayout& layout)
{
    FILE* file = fdopen(memfd_create("layout", 0), "w+b");
    FUZZ_CHECK(file);
    FUZZ_CHECK(layout.WriteLayoutChunk(file));
    const long length = std::ftell(file);
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    std::rewind(file);
    FUZZ_CHECK(std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size());
    std::fclose(file);
    return bytes;
}

void AskEverything(const CKVLayout& layout)
{
    const int count = layout.GetRecordCount();
    FUZZ_CHECK(count >= 0);
    int withUnit = 0;
    for (int i = -1; i <= count; ++i) {
        LayoutRecord record;
        const bool inside = i >= 0 && i < count;
        FUZZ_CHECK(layout.GetRecord(record, i) == inside);
        const int32_t unitId = layout.GetUnitIdOfRecord(i);
        const std::string name = layout.GetRecordName(i);
        const std::string descriptor = layout.GetRecordDescriptor(i, unitId);
        layout.GetSecondName(i);
        if (!inside) {
            FUZZ_CHECK(unitId == -1 && layout.GetSubtypeOfRecord(i) == -1 && name.empty()
                       && descriptor.empty());
            continue;
        }
        FUZZ_CHECK(unitId == record.unitId && layout.GetSubtypeOfRecord(i) == record.subtype);
        FUZZ_CHECK(name == record.name && layout.GetSecondName(i) == record.secondName);
        FUZZ_CHECK(name.size() <= LayoutRecordBytes::kNameWidth);
        FUZZ_CHECK(descriptor.compare(0, name.size() + 6, name + ":name=") == 0);
        FUZZ_CHECK(descriptor.find(":show=1:") != std::string::npos);
        if (record.unitId != -1)
            ++withUnit;
    }
    std::vector<std::string> names;
    layout.GetRecordNames(names);
    FUZZ_CHECK(names.size() == static_cast<size_t>(count));
    std::vector<std::string> descriptors;
    layout.GetRecordDescriptors(descriptors, -1);
    FUZZ_CHECK(descriptors.size() == static_cast<size_t>(count));

    const std::vector<int32_t> ids = layout.GetSortedUnitIds();
    FUZZ_CHECK(std::is_sorted(ids.begin(), ids.end()));
    FUZZ_CHECK(std::adjacent_find(ids.begin(), ids.end()) == ids.end());
    FUZZ_CHECK(std::find(ids.begin(), ids.end(), -1) == ids.end());
    FUZZ_CHECK(layout.GetUnitCount() == static_cast<int>(ids.size()));
    size_t inUnits = 0;
    for (int32_t id : ids) {
        const std::vector<LayoutRecord> records = layout.GetRecordsOfUnit(id);
        FUZZ_CHECK(!records.empty());
        inUnits += records.size();
        FUZZ_CHECK(layout.GetUnitName(id).size() <= LayoutRecordBytes::kUnitNameWidth);
        FUZZ_CHECK(layout.GetUnitNameById(id).size() <= LayoutRecordBytes::kHardwareNameWidth);
    }
    FUZZ_CHECK(inUnits == static_cast<size_t>(withUnit));
    FUZZ_CHECK(layout.GetConfiguredUnitCount() <= withUnit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CKVLayout layout;
    size_t consumed = 0;
    const bool ok = layout.ReadLayoutChunk(data, size, &consumed);

    // The file reader agrees with the memory reader and stops right after the chunk.
    for (bool knownLength : {true, false}) {
        if (!knownLength && size == 0)
            continue;                 // a memory stream cannot be empty
        CKVLayout fromFile;
        long position = -1;
        FUZZ_CHECK(ReadThroughFile(data, size, knownLength, fromFile, position) == ok);
        FUZZ_CHECK(SameLayout(fromFile, layout));
        if (ok)
            FUZZ_CHECK(position == static_cast<long>(consumed));
    }
    if (!ok) {
        FUZZ_CHECK(IsEmpty(layout));
        return 0;
    }
    FUZZ_CHECK(consumed >= CKVLayout::kChunkHeadBytes && consumed <= size);
    AskEverything(layout);

    // Written back, the chunk reads as the same layout, and writes the same bytes again.
    std::vector<uint8_t> bytes;
    layout.AppendLayoutChunk(bytes);
    FUZZ_CHECK(bytes.size() == CKVLayout::kChunkHeadBytes
                                   + layout.GetRecordCount() * LayoutRecordBytes::kBytes);
    FUZZ_CHECK(WriteThroughFile(layout) == bytes);
    CKVLayout again;
    size_t againConsumed = 0;
    FUZZ_CHECK(again.ReadLayoutChunk(bytes.data(), bytes.size(), &againConsumed));
    FUZZ_CHECK(againConsumed == bytes.size());
    FUZZ_CHECK(SameLayout(again, layout));
    std::vector<uint8_t> bytesAgain;
    again.AppendLayoutChunk(bytesAgain);
    FUZZ_CHECK(bytesAgain == bytes);

    // Copies, and a failed read that empties the layout.
    CKVLayout copy(layout);
    FUZZ_CHECK(SameLayout(copy, layout));
    again = layout;
    FUZZ_CHECK(SameLayout(again, layout));
    FUZZ_CHECK(!again.ReadLayoutChunk(data, std::min(size, CKVLayout::kChunkHeadBytes - 1)));
    FUZZ_CHECK(IsEmpty(again));

    // The default layout built from the chunk's counts.
    const int32_t total = std::clamp(layout.GetTotalChannels(), -1, kMaxDefaultRecords);
    copy.BuildDefault(layout.GetLayoutKind(), total, layout.GetElectrodeChannels(),
                      layout.GetAnalogChannels(), layout.GetDigitalChannels());
    FUZZ_CHECK(copy.GetRecordCount() == std::max(total, 0));
    AskEverything(copy);
    return 0;
}
