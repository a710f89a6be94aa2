// Recordings with one damaged time field or chunk head, through every converter: an export ends
// at the data the file holds, and one that could not read all of it says which time it lacks
// and never counts as a success.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <numeric>

#include "datafile/container/KvdFormat.h"
#include "export/abf/AbfHeader.h"
#include "export/abf/CConvertToABF.h"
#include "export/binary/CConvertToBIN.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/text/CConvertToASCII.h"
#include "platform/CByteReader.h"
#include "platform/CMessageReporter.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace {

struct Messages : CMessageReporter
{
    void Report(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

enum class Format { Bin, Ascii, Abf };
const Format kFormats[] = {Format::Bin, Format::Ascii, Format::Abf};

const char* Name(Format f)
{
    return f == Format::Bin ? "bin" : f == Format::Ascii ? "ascii" : "abf";
}

struct Outcome
{
    int rc = -1;
    std::vector<uint8_t> bytes;
    std::vector<std::string> messages;
};

// Converts every electrode channel of `path` (with `allStreams` every channel of every stream)
// as the front ends do (sweep range from the sweep count). `progress` runs after every block or
// sweep of the raw and text converters.
Outcome Convert(Format format, const std::string& path, const std::string& out, const KvdRecordingPlan& plan,
                const std::function<void()>& progress = {}, bool allStreams = false)
{
    Outcome o;
    CKVD kvd;
    if (!kvd.Open(path))
        return o;
    CKVDataSelection selection;
    for (size_t s = 0; s < (allStreams ? plan.streams.size() : 1); ++s) {
        for (const std::string& channel : plan.streams[s].channels) {
            CKVDataSelection::Entry entry;
            entry.streamName = plan.streams[s].name;
            entry.channelName = channel;
            entry.value = plan.rateHz;
            selection.Add(std::move(entry));
        }
    }
    std::unique_ptr<CConvertInterface> c;
    if (format == Format::Bin)
        c = std::make_unique<CConvertToBIN>(&kvd, &selection);
    else if (format == Format::Ascii)
        c = std::make_unique<CConvertToASCII>(&kvd, &selection);
    else
        c = std::make_unique<CConvertToABF>(&kvd, &selection);
    Messages messages;
    c->SetReporter(&messages);
    c->SetOutputName(out);
    c->SetSweepRange(1, static_cast<unsigned>(kvd.GetStreamFile().GetSweepCount()));
    // Every call runs `progress`; a walk that runs away is cancelled long after these small
    // recordings ended.
    struct Calls
    {
        std::function<void()> progress;
        int count = 0;
    } calls {progress};
    c->SetProgressCallback([](void* context, int, const char*) {
        Calls& calls = *static_cast<Calls*>(context);
        if (calls.progress)
            calls.progress();
        return ++calls.count > 100 ? 1 : 0;
    }, &calls);
    {
        // A walk that runs away meets a write failure long before it fills the disk.
        FileSizeLimit limit(64 << 20);
        int64_t offset = 0;
        int base = 0;
        o.rc = c->Convert(&base, &offset, true, true);
    }
    c.reset();
    selection.DeleteEntryObjects();
    o.bytes = ReadFileBytes(out);
    if (format == Format::Abf && o.bytes.size() >= kAbfHeaderBytes) {
        // Each ABF file has its own id, and the CRC covers it.
        std::fill_n(o.bytes.begin() + AbfField::FileGUID, 16, 0);
        std::fill_n(o.bytes.begin() + AbfField::ulFileCRC, 4, 0);
    }
    o.messages = messages.texts;
    return o;
}

KvdRecordingPlan Plan(uint16_t version, bool triggered)
{
    KvdRecordingPlan plan;
    plan.fileVersion = version;
    plan.triggered = triggered;
    plan.chunks = 15;
    plan.storedIndex = version >= 3;
    return plan;
}

// Offset of the stop time of sweep `sweep` in the stored index; 0 when there is none.
size_t SweepStopAt(const std::vector<uint8_t>& bytes, size_t sweep)
{
    const char id[] = "IDXSWEEP";
    const auto at = std::search(bytes.begin(), bytes.end(), id, id + 8);
    return at == bytes.end() ? 0 : static_cast<size_t>(at - bytes.begin()) + 16 + 16 * sweep + 8;
}

} // namespace

// Every header version, continuous and triggered: the header's stop time, the stop of the last
// chunk and the stored sweep stops set to 0, 1, the largest value or with a high bit flipped
// change nothing of what is exported, and nothing is reported.
TEST(DamagedRecording, DamagedStopTimesExportWhatTheDataHolds)
{
    TempDir dir;
    const std::string good = dir.File("good.kvd");
    const std::string bad = dir.File("bad.kvd");
    const struct
    {
        const char* name;
        std::function<uint64_t(uint64_t)> value;
    } values[] = {
        {"0", [](uint64_t) { return uint64_t(0); }},
        {"1", [](uint64_t) { return uint64_t(1); }},
        {"largest", [](uint64_t) { return UINT64_MAX; }},
        {"bit 40 flipped", [](uint64_t v) { return v ^ (uint64_t(1) << 40); }},
        {"bit 63 flipped", [](uint64_t v) { return v ^ (uint64_t(1) << 63); }},
    };
    for (uint16_t version = 0; version <= 11; ++version) {
        for (bool triggered : {false, true}) {
            SCOPED_TRACE(testing::Message() << "version " << version << (triggered ? " triggered" : " continuous"));
            const KvdRecordingPlan plan = Plan(version, triggered);
            KvdLayout layout;
            ASSERT_TRUE(WriteKvdRecording(plan, good, &layout));
            const std::vector<uint8_t> bytes = ReadFileBytes(good);
            std::vector<std::pair<const char*, size_t>> fields = {{"last chunk stop", layout.chunkAt.back() + 24}};
            // Version 0 stores no stop time in its header.
            if (version >= 1)
                fields.emplace_back("header stop", layout.fileHeaderAt + Kvd::FileHeader::kStopTime);
            if (plan.storedIndex) {
                ASSERT_NE(SweepStopAt(bytes, 0), 0u);
                fields.emplace_back("last stored sweep stop", SweepStopAt(bytes, triggered ? 2 : 0));
                if (triggered)
                    fields.emplace_back("middle stored sweep stop", SweepStopAt(bytes, 1));
            }
            Outcome sound[3];
            for (Format f : kFormats) {
                sound[static_cast<int>(f)] = Convert(f, good, dir.File("good.out"), plan);
                ASSERT_EQ(sound[static_cast<int>(f)].rc, kConvertOk) << Name(f);
                ASSERT_FALSE(sound[static_cast<int>(f)].bytes.empty()) << Name(f);
            }
            for (const auto& field : fields) {
                for (const auto& value : values) {
                    SCOPED_TRACE(testing::Message() << field.first << " " << value.name);
                    std::vector<uint8_t> damaged = bytes;
                    PatchLE<uint64_t>(damaged, field.second, value.value(LoadLE<uint64_t>(&bytes[field.second])));
                    ASSERT_TRUE(WriteFileBytes(bad, damaged));
                    for (Format f : kFormats) {
                        SCOPED_TRACE(Name(f));
                        const Outcome o = Convert(f, bad, dir.File("bad.out"), plan);
                        EXPECT_EQ(o.rc, kConvertOk);
                        EXPECT_TRUE(o.messages.empty()) << o.messages.front();
                        EXPECT_TRUE(o.bytes == sound[static_cast<int>(f)].bytes)
                            << o.bytes.size() << " bytes, sound " << sound[static_cast<int>(f)].bytes.size();
                    }
                }
            }
        }
    }
}

// 3 s of 8 electrodes and a digital stream with the size field of the 21st chunk (electrodes,
// 1.0 s to 1.1 s) zeroed: the second that chunk belongs to cannot be read; the seconds behind it
// are exported, the raw and ABF files keep the time of every row, and the export says what it
// lacks and ends with 10.
TEST(DamagedRecording, AChunkWithAZeroSizeCostsItsSecondOnly)
{
    TempDir dir;
    KvdRecordingPlan plan;
    plan.chunks = 30;
    plan.storedIndex = true;
    plan.streams[0].channels = {"1", "2", "3", "4", "5", "6", "7", "8"};
    plan.streams.push_back(KvdDigitalStreamPlan());
    const std::string good = dir.File("good.kvd");
    const std::string bad = dir.File("bad.kvd");
    KvdLayout layout;
    ASSERT_TRUE(WriteKvdRecording(plan, good, &layout));
    std::vector<uint8_t> bytes = ReadFileBytes(good);
    PatchLE<int64_t>(bytes, layout.chunkAt[20] + Kvd::DataChunk::kSize, 0);
    ASSERT_TRUE(WriteFileBytes(bad, bytes));

    const size_t rowBytes = 8 * 2;
    const size_t second = 10000 * rowBytes;
    for (Format f : kFormats) {
        SCOPED_TRACE(Name(f));
        const Outcome sound = Convert(f, good, dir.File("good.out"), plan);
        const Outcome o = Convert(f, bad, dir.File("bad.out"), plan);
        EXPECT_EQ(o.rc, kConvertReported);
        const std::string lacks = f == Format::Ascii ? "not written" : "filled with 0 V";
        EXPECT_EQ(o.messages, std::vector<std::string>({"Error reading raw data stream Electrode Raw Data. Excluded "
                                                        "from conversion.",
                                                        "Data missing from 1.000 s to 2.000 s: " + lacks + "."}));
        if (f == Format::Bin) {
            ASSERT_EQ(o.bytes.size(), 3 * second);
            std::vector<uint8_t> zeros;   // 0 V: the ADC zero 32768
            for (int k = 0; k < 10000 * 8; ++k)
                zeros.insert(zeros.end(), {0x00, 0x80});
            EXPECT_TRUE(std::equal(o.bytes.begin(), o.bytes.begin() + second, sound.bytes.begin()));
            EXPECT_TRUE(std::equal(o.bytes.begin() + second, o.bytes.begin() + 2 * second, zeros.begin()));
            EXPECT_TRUE(std::equal(o.bytes.begin() + 2 * second, o.bytes.end(), sound.bytes.begin() + 2 * second));
        } else if (f == Format::Abf) {
            EXPECT_EQ(o.bytes.size(), sound.bytes.size());
            EXPECT_EQ(LoadLE<int32_t>(o.bytes.data() + 10), 30000 * 8);
            const size_t tail = kAbfHeaderBytes + 2 * second;
            EXPECT_TRUE(std::equal(o.bytes.begin() + tail, o.bytes.end(), sound.bytes.begin() + tail));
        } else {
            // The text lacks the rows of that second: 4 head lines, 2 s of rows.
            const std::string text(o.bytes.begin(), o.bytes.end());
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4 + 20000);
            EXPECT_NE(text.find("\r\n2000.000    \t"), std::string::npos);
            EXPECT_EQ(text.find("\r\n1000.000    \t"), std::string::npos);
        }
    }
}

// The input cut short while an export reads it (after its first second): the seconds behind the
// cut are filled (raw, ABF) or left out (text) and named, the last one too; never a success.
TEST(DamagedRecording, AnInputCutWhileItIsReadIsNamedToTheEnd)
{
    TempDir dir;
    KvdRecordingPlan plan;
    plan.chunks = 30;
    for (Format f : kFormats) {
        SCOPED_TRACE(Name(f));
        const std::string in = dir.File("cut.kvd");
        KvdLayout layout;
        ASSERT_TRUE(WriteKvdRecording(plan, in, &layout));
        bool cut = false;
        const Outcome o = Convert(f, in, dir.File("cut.out"), plan, [&] {
            if (!cut) {
                EXPECT_EQ(truncate(in.c_str(), static_cast<off_t>(layout.chunkAt[12])), 0);
            }
            cut = true;
        });
        EXPECT_EQ(o.rc, kConvertReported);
        const std::string lacks = f == Format::Ascii ? "not written" : "filled with 0 V";
        const std::string read = "Error reading raw data stream Electrode Raw Data. Excluded from conversion.";
        EXPECT_EQ(o.messages, std::vector<std::string>({read, read, "Data missing from 1.000 s to 3.000 s: " + lacks + "."}));
        if (f == Format::Bin) {
            EXPECT_EQ(o.bytes.size(), 30000u * 2 * 2);
        } else if (f == Format::Abf) {
            ASSERT_GE(o.bytes.size(), kAbfHeaderBytes);
            EXPECT_EQ(LoadLE<int32_t>(o.bytes.data() + 10), 30000 * 2);
        }
    }
}

namespace {

// The time ranges of "Data missing from 1.000 s to 2.000 s: ..." lines, in microseconds.
std::vector<std::pair<int64_t, int64_t>> MissingRanges(const std::vector<std::string>& messages)
{
    std::vector<std::pair<int64_t, int64_t>> ranges;
    for (const std::string& message : messages) {
        size_t at = 0;
        double from = 0;
        double to = 0;
        while ((at = message.find("Data missing from ", at)) != std::string::npos) {
            if (std::sscanf(message.c_str() + at, "Data missing from %lf s to %lf s", &from, &to) == 2)
                ranges.emplace_back(std::llround(from * 1e6), std::llround(to * 1e6));
            ++at;
        }
    }
    return ranges;
}

bool InRanges(const std::vector<std::pair<int64_t, int64_t>>& ranges, int64_t us)
{
    return std::any_of(ranges.begin(), ranges.end(), [us](const auto& r) { return us >= r.first && us < r.second; });
}

// The rows of a damaged export that lie outside the named ranges equal the sound export's. Raw
// and ABF rows keep their time (those inside are filler); text rows inside are left out.
void ExpectOtherRowsSound(Format f, const Outcome& sound, const Outcome& o, size_t rowBytes, int rateHz)
{
    const auto ranges = MissingRanges(o.messages);
    ASSERT_FALSE(ranges.empty());
    if (f != Format::Ascii) {
        const size_t head = f == Format::Abf ? kAbfHeaderBytes : 0;
        ASSERT_EQ(o.bytes.size(), sound.bytes.size());
        EXPECT_TRUE(std::equal(o.bytes.begin(), o.bytes.begin() + head, sound.bytes.begin()));
        for (size_t at = head; at + rowBytes <= o.bytes.size(); at += rowBytes) {
            const int64_t us = static_cast<int64_t>((at - head) / rowBytes) * 1000000 / rateHz;
            if (!InRanges(ranges, us) && !std::equal(o.bytes.begin() + at, o.bytes.begin() + at + rowBytes,
                                                     sound.bytes.begin() + at)) {
                ADD_FAILURE() << "row at " << us << " us differs";
                return;
            }
        }
        return;
    }
    // Text: head lines, then one row per line whose first field is the time in ms.
    const auto lines = [](const Outcome& out) {
        std::vector<std::string> all;
        std::string text(out.bytes.begin(), out.bytes.end());
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find("\r\n", at);
            all.push_back(text.substr(at, end - at));
            at = end == std::string::npos ? text.size() : end + 2;
        }
        return all;
    };
    std::vector<std::string> expected;
    for (const std::string& line : lines(sound)) {
        double ms = 0;
        const bool row = std::isdigit(static_cast<unsigned char>(line[0])) && std::sscanf(line.c_str(), "%lf", &ms) == 1;
        if (!row || !InRanges(ranges, std::llround(ms * 1000)))
            expected.push_back(line);
    }
    EXPECT_EQ(lines(o), expected);
}

// Writes `bytes` to `bad` with the size field of each of `chunks` set in turn to 0, 1 and the
// largest value, and runs `check` on each damaged file.
void ForEachDamagedHead(const std::vector<uint8_t>& bytes, const KvdLayout& layout, const std::vector<size_t>& chunks,
                        const std::string& bad, const std::function<void()>& check)
{
    for (size_t chunk : chunks) {
        for (int64_t size : {int64_t(0), int64_t(1), INT64_MAX}) {
            SCOPED_TRACE(testing::Message() << "chunk " << chunk << " size " << size);
            std::vector<uint8_t> damaged = bytes;
            PatchLE<int64_t>(damaged, layout.chunkAt[chunk] + Kvd::DataChunk::kSize, size);
            ASSERT_TRUE(WriteFileBytes(bad, damaged));
            check();
        }
    }
}

// An export that counts as a success is the sound file's, with nothing said; true for one.
bool IsSoundWhenSuccessful(const Outcome& o, const Outcome& sound)
{
    if (o.rc != kConvertOk)
        return false;
    EXPECT_TRUE(o.messages.empty()) << o.messages.front();
    EXPECT_TRUE(o.bytes == sound.bytes) << o.bytes.size() << " bytes, sound " << sound.bytes.size();
    return true;
}

// 2.5 s of 4 electrodes and a digital stream, each chunk head in turn (the first, a middle and
// the last chunk of each stream) given a size field of 0, 1 or the largest: every export of the
// electrodes, and of both streams, either is the sound file's, with no message and 0, or names
// the time it lacks and ends with 10, the rows it writes outside that time being the sound
// file's at their times. Never a shorter export that counts as a success.
void ExpectDamagedHeadsExportedAroundOrNamed(uint16_t version, bool storedIndex, bool digital = true)
{
    TempDir dir;
    const std::string good = dir.File("good.kvd");
    const std::string bad = dir.File("bad.kvd");
    KvdRecordingPlan plan;
    plan.fileVersion = version;
    plan.storedIndex = storedIndex;
    plan.rateHz = 1000;
    plan.chunks = 25;
    plan.streams[0].channels = {"1", "2", "3", "4"};
    if (digital)
        plan.streams.push_back(KvdDigitalStreamPlan());
    KvdLayout layout;
    ASSERT_TRUE(WriteKvdRecording(plan, good, &layout));
    const size_t streams = plan.streams.size();
    ASSERT_EQ(layout.chunkAt.size(), 25 * streams);
    const std::vector<uint8_t> bytes = ReadFileBytes(good);
    for (bool allStreams : {false, digital}) {
        const size_t rowBytes = (allStreams ? 5 : 4) * 2;
        Outcome sound[3];
        for (Format f : kFormats) {
            sound[static_cast<int>(f)] = Convert(f, good, dir.File("good.out"), plan, {}, allStreams);
            ASSERT_EQ(sound[static_cast<int>(f)].rc, kConvertOk);
        }
        // The first, a middle and the last chunk of each stream.
        std::vector<size_t> chunks;
        for (size_t slot : {0, 12, 24})
            for (size_t stream = 0; stream < streams; ++stream)
                chunks.push_back(slot * streams + stream);
        SCOPED_TRACE(allStreams ? "both streams" : "electrodes");
        ForEachDamagedHead(bytes, layout, chunks, bad, [&] {
            for (Format f : kFormats) {
                SCOPED_TRACE(Name(f));
                const Outcome& s = sound[static_cast<int>(f)];
                const Outcome o = Convert(f, bad, dir.File("bad.out"), plan, {}, allStreams);
                if (!IsSoundWhenSuccessful(o, s)) {
                    EXPECT_EQ(o.rc, kConvertReported);
                    ExpectOtherRowsSound(f, s, o, rowBytes, plan.rateHz);
                }
            }
        });
    }
}

} // namespace

TEST(DamagedRecording, ADamagedChunkHeadAnywhereIsExportedAroundOrNamedVersion0)
{
    ExpectDamagedHeadsExportedAroundOrNamed(0, false);
}

TEST(DamagedRecording, ADamagedChunkHeadAnywhereIsExportedAroundOrNamedVersion11)
{
    ExpectDamagedHeadsExportedAroundOrNamed(11, false);
}

TEST(DamagedRecording, ADamagedChunkHeadAnywhereIsExportedAroundOrNamedStoredIndex)
{
    ExpectDamagedHeadsExportedAroundOrNamed(11, true);
}

// With one stream no other stream's chunks tell how far the recording went: a damaged last
// head is named all the same, up to the end the file claims.
TEST(DamagedRecording, ADamagedLastHeadOfTheOnlyStreamIsNamed)
{
    for (uint16_t version : {0, 11}) {
        for (bool storedIndex : {false, true}) {
            if (version == 0 && storedIndex)
                continue;
            SCOPED_TRACE(testing::Message() << "version " << version << (storedIndex ? " stored index" : ""));
            ExpectDamagedHeadsExportedAroundOrNamed(version, storedIndex, false);
        }
    }
}

// Three sweeps of electrodes and a digital stream, with a trigger stream, each chunk head in
// turn given a size field of 0, 1 or the largest: every export either is the sound file's with
// 0, or stops at a sweep it cannot vouch for ("Error reading sweep N") with 10, after writing
// the sweeps before it as the sound file has them. Without a stored index the sweeps are found
// from the chunks, so a lost chunk may shorten, split or drop a sweep: never in silence.
TEST(DamagedRecording, ADamagedChunkHeadOfATriggeredRecordingStopsAtItsSweep)
{
    TempDir dir;
    const std::string good = dir.File("good.kvd");
    const std::string bad = dir.File("bad.kvd");
    const struct
    {
        uint16_t version;
        bool storedIndex;
    } files[] = {{0, false}, {11, false}, {11, true}};
    for (const auto& file : files) {
        KvdRecordingPlan plan;
        plan.fileVersion = file.version;
        plan.storedIndex = file.storedIndex;
        plan.triggered = true;
        plan.rateHz = 1000;
        plan.streams[0].channels = {"1", "2"};
        plan.streams.push_back(KvdDigitalStreamPlan());
        KvdLayout layout;
        ASSERT_TRUE(WriteKvdRecording(plan, good, &layout));
        const std::vector<uint8_t> bytes = ReadFileBytes(good);
        Outcome sound[3];
        for (Format f : kFormats) {
            sound[static_cast<int>(f)] = Convert(f, good, dir.File("good.out"), plan, {}, true);
            ASSERT_EQ(sound[static_cast<int>(f)].rc, kConvertOk);
        }
        SCOPED_TRACE(testing::Message() << "version " << file.version << (file.storedIndex ? " stored index" : ""));
        std::vector<size_t> chunks(layout.chunkAt.size());
        std::iota(chunks.begin(), chunks.end(), size_t(0));
        ForEachDamagedHead(bytes, layout, chunks, bad, [&] {
            for (Format f : kFormats) {
                SCOPED_TRACE(Name(f));
                const Outcome& s = sound[static_cast<int>(f)];
                const Outcome o = Convert(f, bad, dir.File("bad.out"), plan, {}, true);
                if (IsSoundWhenSuccessful(o, s))
                    continue;
                EXPECT_EQ(o.rc, kConvertReported);
                ASSERT_EQ(o.messages.size(), 1u);
                EXPECT_EQ(o.messages[0].rfind("Error reading sweep ", 0), 0u) << o.messages[0];
                EXPECT_NE(o.messages[0].find(". Stopped conversion."), std::string::npos) << o.messages[0];
                // ABF sizes its header by the sweeps it finishes; raw and text rows are the
                // sound file's up to the sweep that stopped the export.
                if (f != Format::Abf) {
                    EXPECT_LT(o.bytes.size(), s.bytes.size());
                    EXPECT_TRUE(std::equal(o.bytes.begin(), o.bytes.end(), s.bytes.begin()));
                }
            }
        });
    }
}
