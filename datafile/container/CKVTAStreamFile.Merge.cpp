// Merging recordings of one setup into one recorded-data file.

#include "datafile/container/CKVTAStreamFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <unordered_map>
#include <vector>

#include "datafile/container/CKVTADataBlock.h"
#include "datafile/container/KvdFormat.h"
#include "datafile/events/CKVTAEvent.h"
#include "platform/CByteReader.h"
#include "platform/File64.h"

char KvtLastErrorText[kKvtLastErrorTextBytes] = {};

namespace FH = Kvd::FileHeader;

namespace {

constexpr const char* kCanceled = "Merging canceled.";
constexpr const char* kOpenError = "Error opening output file.";
constexpr const char* kWriteError = "Error writing output file.";
constexpr const char* kReadError = "Error reading input file.";
constexpr const char* kNoFiles = "No files to merge.";
constexpr const char* kStreamIds = "Streams without a unique id cannot be merged.";
constexpr const char* kOverlap = "Triggered recordings overlapping in time cannot be merged.";

constexpr size_t kOutputBufferBytes = 1 << 20;
// Raw payloads are copied in pieces of at most this size, so memory stays bounded whatever the
// size of one chunk.
constexpr size_t kPieceBytes = 4 << 20;

bool IsSpikeFamily(const std::string& type)
{
    return type == "spikes" || type == "bstparam" || type == "spkparam";
}

bool HasColumnOrder(const std::string& type)
{
    return type == "filter" || type == "chat";
}

bool IsRawType(const std::string& type)
{
    return type == "analog" || type == "digital" || HasColumnOrder(type);
}

// The id a stream carries in the merged file. Files below header version 5 derive no id for
// their digital stream, named "Digital Data[ N]" there: it gets the id a version-5 file carries.
std::string MergeStreamId(const CKVTAStream& stream)
{
    std::string id = stream.GetId();
    const std::string name = stream.GetName();
    static const std::string kDigital = "Digital Data";
    if (!id.empty() || stream.GetBufferType() != "digital" || name.compare(0, kDigital.size(), kDigital) != 0)
        return id;
    unsigned number = 0;
    size_t i = kDigital.size();
    if (i < name.size() && name[i] == ' ')
        for (++i; i < name.size() && name[i] >= '0' && name[i] <= '9' && number <= 0xFFFF; ++i)
            number = number * 10 + static_cast<unsigned>(name[i] - '0');
    char text[16];
    std::snprintf(text, sizeof text, "digi%04x", number == 0 ? 1u : number);
    id = text;
    return id.size() <= 8 ? id : std::string();
}

// t + shift, held to the range of time stamps instead of wrapping around.
// The shift that moves `from` to `to`, held to what an int64 counts: a distance further than
// that would turn round and move the data back in time.
int64_t TimeShift(uint64_t from, uint64_t to)
{
    if (to >= from)
        return to - from > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(to - from);
    return from - to > static_cast<uint64_t>(INT64_MAX) ? INT64_MIN : -static_cast<int64_t>(from - to);
}

uint64_t ShiftedTime(uint64_t t, int64_t shift)
{
    if (shift < 0) {
        const uint64_t back = static_cast<uint64_t>(-(shift + 1)) + 1;
        return t < back ? 0 : t - back;
    }
    const uint64_t ahead = static_cast<uint64_t>(shift);
    return t > UINT64_MAX - ahead ? UINT64_MAX : t + ahead;
}

// The input's stop as its header gives it; 0 when the header gives none (version 0 stores no
// stop time) or one before the start.
uint64_t HeaderStop(const CKVTAStreamFile& file)
{
    const uint64_t stop = file.GetStopTimeStamp().GetTime();
    return stop != 0 && stop >= file.GetStartTimeStamp().GetTime() ? stop : 0;
}

// What copying needs to know about one stream of the input being appended.
struct MergeStream
{
    CKVTAStream* stream = nullptr;
    char outputId[Kvd::kIdBytes] = {};
    bool rawFrames = false;                  // frames only: no record carries a time or channel
    std::vector<size_t> columns;             // output column of each channel; empty: keep order
    std::unordered_map<int32_t, int32_t> mergeIds;  // record channel id -> id in the output
    bool remap = false;
    std::unique_ptr<CKVTAEvent> cursor;      // reused on every chunk of the stream
};

void PrepareStream(MergeStream& out, CKVTAStream& stream)
{
    out.stream = &stream;
    const std::string id = MergeStreamId(stream);
    std::memcpy(out.outputId, id.data(), std::min(id.size(), sizeof out.outputId));
    const std::string type = stream.GetBufferType();
    out.rawFrames = IsRawType(type);
    const int count = stream.GetChannelCount();
    if (HasColumnOrder(type) && count > 0) {
        // Reorder only along a true permutation: anything else would leave values unwritten.
        std::vector<size_t> columns;
        std::vector<char> taken(static_cast<size_t>(count), 0);
        bool identity = true;
        for (int c = 0; c < count; ++c) {
            const CKVTAChannel* channel = stream.GetChannel(c);
            const int column = channel ? channel->GetMergeColumn() : -1;
            if (column < 0 || column >= count || taken[static_cast<size_t>(column)])
                return;
            taken[static_cast<size_t>(column)] = 1;
            identity = identity && column == c;
            columns.push_back(static_cast<size_t>(column));
        }
        if (!identity)
            out.columns = std::move(columns);
    }
    if (IsSpikeFamily(type)) {
        // The first channel with an id decides, as a lookup by id would find it.
        for (int c = 0; c < count; ++c) {
            const CKVTAChannel* channel = stream.GetChannel(c);
            if (channel && out.mergeIds.emplace(channel->GetId(), channel->GetMergeId()).second)
                out.remap = out.remap || channel->GetMergeId() != channel->GetId();
        }
    }
}

// Puts each channel's value of every whole frame into its output column; a partial frame at the
// end is copied as it is.
void ReorderFrames(const uint8_t* in, uint8_t* out, size_t n, const std::vector<size_t>& columns)
{
    const size_t frame = 2 * columns.size();
    const size_t whole = n / frame * frame;
    for (size_t f = 0; f < whole; f += frame) {
        for (size_t c = 0; c < columns.size(); ++c) {
            out[f + 2 * columns[c]] = in[f + 2 * c];
            out[f + 2 * columns[c] + 1] = in[f + 2 * c + 1];
        }
    }
    std::memcpy(out + whole, in + whole, n - whole);
}

// Moves record times and renumbers record channels of one payload in place.
void AdjustRecords(MergeStream& stream, CKVTADataBlock& block, uint8_t* payload, size_t size, int64_t shift)
{
    block.SetStream(stream.stream);
    bool attached = false;
    if (stream.cursor) {
        attached = stream.cursor->AttachExternal(block, payload, size);
    } else {
        stream.cursor = KvtCreateEvent(block, payload, size);
        attached = stream.cursor != nullptr;
    }
    // A payload without records is written unchanged.
    if (!attached)
        return;
    CKVTAEvent& cursor = *stream.cursor;
    do {
        if (shift != 0 && cursor.IsValid())
            cursor.ShiftTime(shift);
        if (stream.remap) {
            const auto found = stream.mergeIds.find(cursor.GetChannelId());
            if (found != stream.mergeIds.end())
                cursor.SetChannelId(static_cast<uint16_t>(found->second));
        }
    } while (cursor.Next());
}

enum class CopyResult { kCopied, kReadFailed, kWriteFailed };

// Writes one chunk to `out` under the output stream's id with both times moved by `shift`. A
// chunk of no stream keeps its id and payload. Nothing of a chunk is written before its first
// piece was read.
CopyResult CopyChunk(FILE* out, CKVTADataBlock& block, MergeStream* stream, int64_t shift,
                     std::vector<uint8_t>& payload, std::vector<uint8_t>& reordered)
{
    CFileReader* reader = block.GetFile();
    const int64_t size = block.GetPayloadSize();
    if (!reader || size < 0)
        return CopyResult::kReadFailed;
    const bool records = stream && !stream->rawFrames && (shift != 0 || stream->remap);
    const bool reorder = stream && !stream->columns.empty();
    size_t piece = records ? static_cast<size_t>(size) : kPieceBytes;
    if (reorder)
        piece -= piece % (2 * stream->columns.size());

    uint8_t header[Kvd::DataChunk::kHeaderBytes];
    std::memcpy(header + Kvd::DataChunk::kId, stream ? stream->outputId : block.GetChunkIdBytes(), Kvd::kIdBytes);
    StoreLE<int64_t>(header + Kvd::DataChunk::kSize, size + Kvd::DataChunk::kMinSize);
    // Moved as the header's stop is: a time far out stays at the end of time instead of wrapping
    // round to before its start.
    StoreLE<uint64_t>(header + Kvd::DataChunk::kStart, ShiftedTime(block.GetStartTime(), shift));
    StoreLE<uint64_t>(header + Kvd::DataChunk::kStop, ShiftedTime(block.GetStopTime(), shift));

    const uint64_t total = static_cast<uint64_t>(size);
    uint64_t done = 0;
    do {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(piece, total - done));
        if (payload.size() < n)
            payload.resize(n);
        if (n != 0 && !reader->ReadAt(block.GetPayloadPosition() + done, payload.data(), n))
            return CopyResult::kReadFailed;
        const uint8_t* data = payload.data();
        if (records) {
            AdjustRecords(*stream, block, payload.data(), n, shift);
        } else if (reorder) {
            if (reordered.size() < n)
                reordered.resize(n);
            ReorderFrames(payload.data(), reordered.data(), n, stream->columns);
            data = reordered.data();
        }
        // An empty chunk (a trigger chunk of a slot without events) has no payload to write.
        if ((done == 0 && fwrite(header, 1, sizeof header, out) != sizeof header)
            || (n != 0 && fwrite(data, 1, n, out) != n))
            return CopyResult::kWriteFailed;
        done += n;
    } while (done < total);
    return CopyResult::kCopied;
}

// True when `path` names the file of one of the inputs, under any name.
bool IsAnInput(const std::string& path, CKVTAStreamFile* const* files, int count)
{
    struct stat output {};
    if (stat(path.c_str(), &output) != 0)
        return false;
    for (int i = 0; i < count; ++i) {
        struct stat input {};
        FILE* file = files[i]->GetFileHandle();
        if (file && fstat(fileno(file), &input) == 0 && SameFile(input, output))
            return true;
    }
    return false;
}

// Triggered recordings keep their times: one that starts before the one before it ends is no
// later part of it, and its sweeps would run into the other's.
bool TriggeredFilesOverlap(CKVTAStreamFile* const* files, int count)
{
    if (count < 2 || files[0]->GetRecordingMode() == 0)
        return false;
    for (int i = 1; i < count; ++i) {
        CKVTAStreamFile& before = *files[i - 1];
        uint64_t stop = HeaderStop(before);
        if (stop == 0) {
            // The sweeps end where the data ends.
            before.GetSweepCount();
            stop = before.GetStopTimeStamp().GetTime();
        }
        // Its data tells where the later file really begins.
        const uint64_t earliest = files[i]->GetEarliestChunkTime();
        if ((earliest != 0 ? earliest : files[i]->GetStartTime()) < stop)
            return true;
    }
    return false;
}

// The output's chunks carry the stream ids: each must be there and name one stream only.
bool StreamIdsUnique(const CKVTAStreamFile& file)
{
    std::set<std::string> seen;
    for (int i = 0; i < file.GetStreamCount(); ++i) {
        const std::string id = MergeStreamId(*file.GetStream(i));
        if (id.empty() || !seen.insert(id).second)
            return false;
    }
    return true;
}

// A stretch of one stream that an input cannot give.
struct Missing
{
    uint64_t from;
    uint64_t to;
    const CKVTAStream* stream;
};

// True when a hole of `stream` lies in [from, to). Its holes are sorted and apart: the first
// that ends after `from` is the only one to look at.
bool HoleMeets(CKVTAStream& stream, uint64_t from, uint64_t to)
{
    const std::vector<KvtHole>& holes = stream.GetHoles();
    const auto at = std::upper_bound(holes.begin(), holes.end(), from,
                                     [](uint64_t t, const KvtHole& h) { return t < h.to; });
    return at != holes.end() && at->from < to;
}

// The sweeps of a recording in sweeps that some stream cannot give whole, though no hole of it
// meets them: a reader refuses those sweeps (the times of a chunk the heads trust may not fit
// its frames), and the merged file, a copy of the chunks, holds no more of them.
std::vector<Missing> SweepsNotWhole(CKVTAStreamFile& input)
{
    std::vector<Missing> missing;
    if (input.GetRecordingMode() == 0)
        return missing;
    const int sweeps = input.GetSweepCount();
    for (int i = 0; i < input.GetStreamCount(); ++i) {
        CKVTAStream& stream = *input.GetStream(i);
        if (stream.FrameBytes() == 0)
            continue;
        for (int k = 0; k < sweeps; ++k) {
            const auto start = input.GetSweepStartTime(k);
            const auto stop = input.GetSweepStopTime(k);
            if (start && stop && !stream.HoldsWholeSweep(k)
                && !HoleMeets(stream, start->GetTime(), stop->GetTime()))
                missing.push_back({start->GetTime(), stop->GetTime(), &stream});
        }
    }
    return missing;
}

} // namespace

void CKVTAStreamFile::SetLastErrorText(const char* text)
{
    std::snprintf(KvtLastErrorText, sizeof KvtLastErrorText, "%s", text ? text : "");
}

void CKVTAStreamFile::GetLastErrorText(char* buffer, int n)
{
    if (buffer && n > 0)
        std::snprintf(buffer, static_cast<size_t>(n), "%s", KvtLastErrorText);
}

std::string CKVTAStreamFile::GetLastErrorText()
{
    return std::string(KvtLastErrorText, strnlen(KvtLastErrorText, sizeof KvtLastErrorText));
}

int CKVTAStreamFile::SortFilesByStartTime(CKVTAStreamFile** files, int count)
{
    SetLastErrorText(nullptr);
    if (!files || count < 2)
        return 0;
    // Stable, as a bubble sort that swaps only strictly later neighbours would leave them.
    std::stable_sort(files, files + count, [](const CKVTAStreamFile* a, const CKVTAStreamFile* b) {
        return (a ? a->GetStartTime() : 0) < (b ? b->GetStartTime() : 0);
    });
    return 0;
}

bool CKVTAStreamFile::CheckStreamChannels(const CKVTAStream& s, CKVTAStream& t)
{
    // Every channel starts as itself, so that none keeps a value of an earlier check.
    for (int c = 0; c < t.GetChannelCount(); ++c) {
        CKVTAChannel* channel = t.GetChannel(c);
        channel->SetMergeId(channel->GetId());
        channel->SetMergeColumn(c);
    }
    const std::string type = s.GetBufferType();
    if (!IsSpikeFamily(type) && !HasColumnOrder(type)) {
        for (int k = 0; k < s.GetChannelCount(); ++k) {
            const CKVTAChannel* theirs = t.GetChannel(k);
            if (!theirs || theirs->GetNumber() != s.GetChannel(k)->GetNumber()) {
                SetLastErrorText("Different recorded channels in one stream.");
                return false;
            }
        }
        return true;
    }
    std::unordered_map<int32_t, int> byNumber;  // first channel of t with each number
    for (int c = 0; c < t.GetChannelCount(); ++c)
        byNumber.emplace(t.GetChannel(c)->GetNumber(), c);
    std::vector<char> taken(static_cast<size_t>(t.GetChannelCount()), 0);
    for (int k = 0; k < s.GetChannelCount(); ++k) {
        const CKVTAChannel* ours = s.GetChannel(k);
        const auto found = byNumber.find(ours->GetNumber());
        // Sample columns must be a permutation: two channels in one column would lose values.
        if (found == byNumber.end() || (HasColumnOrder(type) && taken[static_cast<size_t>(found->second)])) {
            SetLastErrorText("Different recorded channels in spike stream.");
            return false;
        }
        taken[static_cast<size_t>(found->second)] = 1;
        CKVTAChannel* theirs = t.GetChannel(found->second);
        theirs->SetMergeId(ours->GetId());
        theirs->SetMergeColumn(k);
    }
    return true;
}

int CKVTAStreamFile::CheckMergeCompatibility(CKVTAStreamFile* const* files, int count)
{
    SetLastErrorText(nullptr);
    if (!files || count < 1)
        return 3;
    for (int i = 0; i < count; ++i) {
        if (!files[i]) {
            SetLastErrorText(kReadError);
            return 0;
        }
    }
    const CKVTAStreamFile& g = *files[0];
    int result = 3;
    for (int i = 0; i < count; ++i) {
        CKVTAStreamFile& f = *files[i];
        const char* difference = nullptr;
        if (f.GetProgramVersion() != g.GetProgramVersion() || f.GetProgramVersion2() != g.GetProgramVersion2())
            difference = "Files were recorded with different Harpstead versions.";
        else if (f.GetSourceType() != g.GetSourceType())
            difference = "Different source types.";
        else if (f.GetRecordingMode() != g.GetRecordingMode())
            difference = "Different recording modes.";
        else if (f.GetSampleRate() != g.GetSampleRate())
            difference = "Different sample rate.";
        else if (f.GetStreamCount() != g.GetStreamCount())
            difference = "Different stream count in files.";
        if (difference) {
            SetLastErrorText(difference);
            return 0;
        }
        for (int si = 0; si < g.GetStreamCount(); ++si) {
            const CKVTAStream& s = *g.GetStream(si);
            const std::string id = MergeStreamId(s);
            CKVTAStream* t = nullptr;
            for (int ti = 0; ti < f.GetStreamCount() && !t; ++ti)
                if (MergeStreamId(*f.GetStream(ti)) == id)
                    t = f.GetStream(ti);
            if (!t)
                difference = "Different stream types in files.";
            else if (t->GetChannelCount() != s.GetChannelCount())
                difference = "Different channel count in one stream.";
            else if (t->GetSampleRateMilliHz() != s.GetSampleRateMilliHz())
                difference = "Different sample rate in one stream.";
            // The record layout follows the stream header version: records of another layout
            // appended to a stream could no longer be read.
            else if (t->GetHeaderVersion() != s.GetHeaderVersion())
                difference = "Different header version in one stream.";
            if (difference) {
                SetLastErrorText(difference);
                return 0;
            }
            if (!CheckStreamChannels(s, *t))
                return 0;
        }
        // Equal press times mark the parts of one recording split into several files.
        result &= f.GetFileTimeStamp().GetTime() == g.GetFileTimeStamp().GetTime() ? 3 : 1;
    }
    return result;
}

int CKVTAStreamFile::MergeFiles(CKVTAStreamFile** files, int count, const std::string& outputPath,
                                KvtProgressCallback progress)
{
    SetProgressCallback(std::move(progress));
    SetLastErrorText(nullptr);
    m_mergeLossText.clear();
    if (!files || count < 1) {
        SetLastErrorText(kNoFiles);
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        if (!files[i] || files[i] == this || !files[i]->IsOpen() || !files[i]->GetHeader()) {
            SetLastErrorText(files[i] == this ? kOpenError : kReadError);
            return 1;
        }
        // Old files take the start of the first chunk handed out as their start time: settle it
        // before the times are compared, as a reader does, whose walk begins with the first
        // stream that has data (the first chunk in the file may be a damaged one of another).
        std::unique_ptr<CKVTADataBlock> first;
        (void)files[i]->FirstStreamWithData(first);
    }
    SortFilesByStartTime(files, count);
    if (CheckMergeCompatibility(files, count) == 0)
        return 1;
    if (!StreamIdsUnique(*files[0])) {
        SetLastErrorText(kStreamIds);
        return 1;
    }
    if (TriggeredFilesOverlap(files, count)) {
        SetLastErrorText(kOverlap);
        return 1;
    }
    // "w+b" empties the file at once: an input opened under the output's name would be lost.
    if (IsAnInput(outputPath, files, count)) {
        SetLastErrorText(kOpenError);
        return 1;
    }
    Reset();
    m_file = fopen(outputPath.c_str(), "w+b");
    if (!m_file) {
        SetLastErrorText(kOpenError);
        return 1;
    }
    m_path = outputPath;
    m_writeBuffer.resize(kOutputBufferBytes);
    setvbuf(m_file, m_writeBuffer.data(), _IOFBF, m_writeBuffer.size());

    int result = WriteMergeStart(*files[0]);
    for (int i = 1; i < count && result == 0; ++i)
        result = AppendFile(*files[i]);
    if (result == 0)
        result = FinaliseMerge();

    // Header and streams stay for the caller to look at; the file is closed.
    m_chain.Reset(nullptr, 0, 0);
    m_reader.Attach(nullptr);
    const bool flushed = fflush(m_file) == 0;
    const bool closed = fclose(m_file) == 0;
    m_file = nullptr;
    if (result == 0 && !(flushed && closed)) {
        SetLastErrorText(kWriteError);
        result = 1;
    }
    if (result == 0) {
        SetLastErrorText(nullptr);
        // Inputs read exactly as written are copied as they are; only what reading had to judge
        // can come out of the copy otherwise, so only then is the output read back.
        if (!m_mergeInputsAsWritten)
            NoteHolesOfTheOutput();
    }
    // The output holds all the inputs could give; what they lacked is not a clean merge. A merge
    // that failed says why instead.
    if (result != 0)
        m_mergeLossText.clear();
    else if (!m_mergeLossText.empty())
        result = 2;
    return result;
}

void CKVTAStreamFile::KeepInputSweeps(CKVTAStreamFile& input)
{
    if (m_header.GetRecordingMode() == 0)
        return;
    input.SettleSweeps();
    for (int i = 0; i < input.IndexSweepCount(); ++i)
        m_mergeSweeps.emplace_back(input.m_index.GetSweepStartValue(i), input.m_index.GetSweepStopValue(i));
}

void CKVTAStreamFile::NoteInputHoles(CKVTAStreamFile& input)
{
    const uint64_t origin = input.GetStartTime();
    const auto seconds = [origin](uint64_t t) { return static_cast<double>(t > origin ? t - origin : 0) / 1e9; };
    std::vector<Missing> missing;
    for (int i = 0; i < input.GetStreamCount(); ++i) {
        CKVTAStream* stream = input.GetStream(i);
        for (const KvtHole& hole : stream->GetHoles())
            missing.push_back({hole.from, hole.to, stream});
    }
    for (const Missing& m : SweepsNotWhole(input))
        missing.push_back(m);
    for (const Missing& m : missing) {
        if (!m_mergeLossText.empty())
            m_mergeLossText += "\n";
        char times[96];
        std::snprintf(times, sizeof times, "Data missing from %.3f s to %.3f s in ", seconds(m.from), seconds(m.to));
        m_mergeLossText += times + m.stream->GetName() + " of " + input.GetPath() + ".";
    }
    // A copy cut short where nothing claims its end lacks what came after: no hole says how much.
    const CKVTACoverage& coverage = input.m_chain.Coverage();
    if (coverage.EndUnknown()) {
        char text[160];
        std::snprintf(text, sizeof text, "The file ends inside a chunk at %.3f s", seconds(coverage.ExtentEnd()));
        m_mergeLossText += std::string(m_mergeLossText.empty() ? "" : "\n") + text + " of " + input.GetPath()
                           + ": it was cut short; the rest is missing.";
    }
}

int CKVTAStreamFile::WriteMergeStart(CKVTAStreamFile& first)
{
    const CKVTAFileHeader* header = first.GetHeader();
    if (!m_file || !header) {
        SetLastErrorText(!m_file ? kOpenError : kReadError);
        return 1;
    }
    m_header = *header;
    m_hasHeader = true;
    m_header.Set<uint16_t>(FH::kVersion, FH::kHighestVersion);
    m_header.Set<int64_t>(FH::kDataChunkCount, 0);
    // Set again by the finishing step, once the index is really there.
    m_header.Set<int32_t>(FH::kIndexFlag, 0);
    m_listHeaderSize = first.GetListHeaderSize();
    m_layout = first.GetLayout();
    m_stimulator = first.GetStimulator();
    m_streams.clear();
    for (int i = 0; i < first.GetStreamCount(); ++i) {
        m_streams.push_back(first.GetStream(i)->CloneForOutput(this));
        m_streams.back()->SetId(MergeStreamId(*first.GetStream(i)));
    }
    m_header.Set<int32_t>(FH::kStreamCount, GetStreamCount());
    // The output is read back as a current file, which finds its trigger streams by id only:
    // old files name theirs by chunk number, or not at all (version 0).
    m_startTrigger = m_stopTrigger = -1;
    const int32_t mode = m_header.GetRecordingMode();
    if (mode != 0) {
        const auto name = [&](size_t offset, int index) {
            const CKVTAStream* trigger = first.GetStream(index);
            if (trigger)
                m_header.SetText(offset, FH::kTriggerIdWidth, MergeStreamId(*trigger));
            return trigger ? index : -1;
        };
        m_startTrigger = name(FH::kStartTriggerId, first.GetTriggerStreamIndex());
        if (mode == 2)
            m_stopTrigger = name(FH::kStopTriggerId, first.GetStopTriggerStreamIndex());
    }
    m_mergeWroteData = false;
    m_mergeSweeps.clear();
    m_mergeInputHoles.clear();
    m_mergeInputsAsWritten = true;

    const int64_t at = WriteHeader(m_file) == 0 ? Tell64(m_file) : -1;
    if (at < 0) {
        SetLastErrorText(kWriteError);
        return 1;
    }
    m_dataStart = static_cast<uint64_t>(at);
    const uint64_t start = m_header.GetStartTime();
    m_header.Set<uint64_t>(FH::kStopTime, start);
    m_fileStamp = CKVTATimeStamp(m_header.GetRecordingTime(), start);
    m_startStamp = CKVTATimeStamp(start, start);
    m_stopStamp = CKVTATimeStamp(start, start);
    return AppendFile(first);
}

int CKVTAStreamFile::AppendFile(CKVTAStreamFile& input)
{
    if (!m_file || !m_hasHeader || !input.GetHeader()) {
        SetLastErrorText(!input.GetHeader() ? kReadError : kOpenError);
        return 1;
    }
    // A continuous recording goes on where the output stopped; triggered ones keep their times,
    // so the pause between files stays a gap between sweeps. Data of this file that lies before
    // its start time must not land inside what was written already.
    const uint64_t outputStop = m_stopStamp.GetTime();
    int64_t shift = 0;
    if (m_header.GetRecordingMode() == 0) {
        const uint64_t earliest = m_mergeWroteData ? input.GetEarliestChunkTime() : 0;
        uint64_t base = input.GetStartTimeStamp().GetTime();
        if (earliest != 0 && earliest < base)
            base = earliest;
        shift = TimeShift(base, outputStop);
    }
    // Without a stop in the header the input's last chunk tells it (below).
    uint64_t stop = outputStop;
    if (const uint64_t inputStop = HeaderStop(input))
        stop = std::max(stop, ShiftedTime(inputStop, shift));

    for (const auto& stream : m_streams)
        stream->ClearChunks();
    std::vector<MergeStream> streams(static_cast<size_t>(input.GetStreamCount()));
    std::unordered_map<CKVTAChunkChain::Key, MergeStream*> byChunkId;
    for (int i = 0; i < input.GetStreamCount(); ++i) {
        CKVTAStream* stream = input.GetStream(i);
        stream->ClearChunks();
        PrepareStream(streams[static_cast<size_t>(i)], *stream);
        // Chunk ids compare without case; old files name chunks by number, not by stream id.
        byChunkId.emplace(stream->GetChunkKey(), &streams[static_cast<size_t>(i)]);
    }

    std::set<CKVTAChunkChain::Key> outputKeys;
    for (const auto& stream : m_streams)
        outputKeys.insert(stream->GetChunkKey());
    const std::string text = "Merging file: " + input.GetPath();
    const int64_t expected = input.GetHeader()->GetDataChunkCount();
    const uint64_t length = input.GetReader().Length();
    std::vector<uint8_t> payload;
    std::vector<uint8_t> reordered;
    int64_t copied = 0;
    for (auto block = input.GetFirstChunk(); block; block = input.GetNextChunk(*block)) {
        const CKVTAChunkChain::Key key = block->GetChunkKey();
        const auto found = byChunkId.find(key);
        MergeStream* stream = found != byChunkId.end() ? found->second : nullptr;
        // A chunk of no stream of the input that carries the id a stream of the output is given
        // would be read as that stream's data, which the input never held: it stays behind.
        if (!stream && outputKeys.count(key))
            continue;
        const CopyResult copy = CopyChunk(m_file, *block, stream, shift, payload, reordered);
        if (copy != CopyResult::kCopied) {
            SetLastErrorText(copy == CopyResult::kReadFailed ? kReadError : kWriteError);
            return 1;
        }
        stop = std::max(stop, ShiftedTime(block->GetStopTime(), shift));
        m_header.Set<int64_t>(FH::kDataChunkCount, m_header.GetDataChunkCount() + 1);
        m_mergeWroteData = true;
        ++copied;
        // Without a chunk count in the input the position in it tells the progress.
        uint64_t percent = 100;
        if (expected > 0)
            percent = static_cast<uint64_t>(100 * copied / expected);
        else if (length >= 100)
            percent = block->GetEnd() / (length / 100);
        if (ReportProgress(text.c_str(), static_cast<int>(std::min<uint64_t>(percent, 100))) != 0) {
            SetLastErrorText(kCanceled);
            return 1;
        }
    }
    m_header.Set<uint64_t>(FH::kStopTime, stop);
    m_stopStamp.SetTime(stop);
    KeepInputSweeps(input);
    NoteInputHoles(input);
    m_mergeInputsAsWritten = m_mergeInputsAsWritten && input.m_chain.ReadAsWritten();
    for (int i = 0; i < input.GetStreamCount(); ++i) {
        CKVTAStream* stream = input.GetStream(i);
        for (KvtHole hole : stream->GetHoles()) {
            hole.from = ShiftedTime(hole.from, shift);
            hole.to = ShiftedTime(hole.to, shift);
            m_mergeInputHoles.emplace_back(MergeStreamId(*stream), hole);
        }
    }
    return 0;
}

void CKVTAStreamFile::NoteHolesOfTheOutput()
{
    // Read back as any reader will: the stored index written last (the inputs' sweeps) counts.
    CKVTAStreamFile output;
    if (output.Open(m_path) != 0)
        return;
    const uint64_t origin = output.GetStartTime();
    const auto seconds = [origin](uint64_t t) { return static_cast<double>(t > origin ? t - origin : 0) / 1e9; };
    for (int i = 0; i < output.GetStreamCount(); ++i) {
        CKVTAStream* stream = output.GetStream(i);
        // The streams whose holes cost rows: those of samples, and in sweeps the triggers.
        if (stream->FrameBytes() == 0 && output.GetRecordingMode() == 0)
            continue;
        for (const KvtHole& hole : stream->GetHoles()) {
            const bool ownInputs = std::any_of(
                m_mergeInputHoles.begin(), m_mergeInputHoles.end(), [&](const auto& input) {
                    return input.first == MergeStreamId(*stream) && input.second.from <= hole.from
                           && hole.to <= input.second.to;
                });
            if (ownInputs)
                continue;
            char times[96];
            std::snprintf(times, sizeof times, "Data missing from %.3f s to %.3f s in ", seconds(hole.from),
                          seconds(hole.to));
            m_mergeLossText += std::string(m_mergeLossText.empty() ? "" : "\n") + times + stream->GetName()
                               + " of " + m_path + ": the merged copy does not read as its input did.";
        }
    }
}
