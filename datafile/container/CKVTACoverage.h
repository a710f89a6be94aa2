#pragma once
// What a recorded-data file holds: for each stream the chunks whose heads can be trusted, in time
// order, and the holes, the times inside the recording that its trusted chunks do not cover
// although the file shows they were recorded (a damaged head, a file cut short). Built once per
// open from the chunk heads the chain read; every reader of the data asks it.
//
// A head is trusted when:
// - its id names a stream (without case) and its size leads to the next head of a stream, the
//   end of the data, or a damaged head behind which the next stream head lies (the chain);
// - its times are in order, start no more than 1 s before the header's start, and for samples
//   its payload is whole frames that last its span within a frame;
// - it lies in the longest run of the stream's heads that rises in time, and of two heads with
//   the same times it meets more of its neighbours (or, meeting as many, leaves the other's
//   bytes where its stream lacks the time they hold);
// - a chunk of samples that meets neither neighbour (the chunk before it or the recording's
//   start, the one behind it or the claimed stop) is trusted only beside another stream's chunk
//   of the same time (continuous) or sharing time with one (sweeps; a head that disagrees with
//   itself shares only the time its frames bear out, a damaged head beside it that starts with
//   it counts).
// One wrong field is mended where the frames and the neighbours agree on its value, or where
// another stream's chunk of the same period shares its kept start or stop and lasts as long; a
// time less than a frame off its frames is put back where the other field is borne out.
// In a continuous recording a chunk whose two times moved by a whole chunk, leaving a pause of
// all streams or its stream's end, goes back to the period the chunks of two other streams
// beside it hold, where its stream lacks that period and no damaged head lies near.
// A chunk of samples under an event stream's id that fills its stream's gap exactly is that
// stream's; an untrusted chunk whose frames fit two streams that both lack its time is lost to
// both.
// Holes lie where unread bytes lie between trusted chunks, as long as those bytes can hold
// (across a pause or between sweeps, where the damaged heads' times or the other streams put
// them); a file is cut where its index position lies past its end, a head or a part of a chunk
// is left at its end, or it holds fewer heads than its header counts and its streams end apart.
// No reader can tell from a sound file: a version-0 file without index cut cleanly between
// chunks (it reads as a recording that stopped there, or whose stream ended early), or cut
// inside its first sweep (no pause tells it was one of sweeps); in such a continuous file of
// one stream of samples and no events, chunks behind the first whose both times moved by whole
// frames, still one after another (it reads as a pause elsewhere or a longer one); two streams
// with equal frames whose ids are swapped inside one period.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class CFileReader;
struct KvtChunkInfo;
struct KvtLostSpan;

// What the account needs of a stream: its chunk key and, for a stream of samples, the bytes of
// one frame and its rate (1/1000 Hz). Event streams have no frames (frameBytes 0).
struct KvtStreamFacts
{
    uint64_t key = 0;
    uint64_t frameBytes = 0;
    int32_t rateMilliHz = 0;

    bool HasFrames() const { return frameBytes > 0 && rateMilliHz > 0; }
    // Nanoseconds that the whole frames of `bytes` last (rounded up); 0 without frames.
    uint64_t Duration(uint64_t bytes) const;
    // The frames that `span` ns hold, rounded to the nearest; 0 without frames.
    uint64_t FramesIn(uint64_t span) const;
    // Nanoseconds of one frame, rounded up; 0 without frames.
    uint64_t FrameTime() const;
    // True when `bytes` are whole frames that last `span` ns, give or take a frame. Checked for
    // every chunk of a file: multiplications only.
    bool HoldsFramesOf(uint64_t bytes, uint64_t span) const;
};

// What the account needs of the recording beyond its chunks.
struct KvtRecordingFacts
{
    uint64_t start = 0;           // header start time, 0 when the header has none
    bool chunksMayPrecedeStart = false;  // old files: the first chunk may move the start back
    uint64_t claimedStop = 0;     // the latest stop the header or a stored index claims, 0: none
    uint64_t indexPositionField = 0;  // the index position as stored (0: none)
    uint64_t claimedChunks = 0;   // the data chunks the header counts (0: none)
    bool continuous = true;
    uint64_t sweepLength = 0;     // ns a sweep lasts in a triggered recording (0: unknown)
    // The sweeps (start, stop) a stored index holds, in order; empty when none or out of order.
    std::vector<std::pair<uint64_t, uint64_t>> storedSweeps;
};

enum class KvtHoleCause { kDamagedHead, kFileCut };

struct KvtHole
{
    uint64_t from = 0;   // ns, absolute like the chunk times
    uint64_t to = 0;
    KvtHoleCause cause = KvtHoleCause::kDamagedHead;
};

class CKVTACoverage
{
public:
    // Classifies `chunks` (file order, as the chain read them; heads that can be mended are
    // corrected in place, and `trusted` says which are trusted) against `streams` and works out
    // the holes and the extent. `lost` are the stretches the chain could not read; `leftFrom`
    // is where the bytes too few for a head begin (`limit` when none); `reader` serves the
    // check that bytes behind the data are zero padding.
    void Build(std::vector<KvtChunkInfo>& chunks, std::vector<bool>& trusted,
               const std::vector<KvtLostSpan>& lost, const std::vector<KvtStreamFacts>& streams,
               const KvtRecordingFacts& recording, CFileReader* reader, uint64_t dataStart,
               uint64_t limit, uint64_t leftFrom);
    void Clear();
    bool IsBuilt() const { return m_built; }

    // The trusted chunks of `key` (indexes into the chain's file order, rising in time too).
    const std::vector<size_t>& ChunksOf(uint64_t key) const;
    // The holes of `key`, sorted and joined where they meet.
    const std::vector<KvtHole>& HolesOf(uint64_t key) const;
    // The hole of `key` that begins at or before `t` and ends after it; NULL when none.
    const KvtHole* HoleAt(uint64_t key, uint64_t t) const;

    // The recording's extent: from the header's start (or the first trusted chunk) to the latest
    // stop of the trusted chunks, or beyond it as far as unread bytes behind them can hold.
    uint64_t ExtentStart() const { return m_extentStart; }
    uint64_t ExtentEnd() const { return m_extentEnd; }
    // The latest stop of the trusted chunks of the streams with frames, extended as ExtentEnd
    // is; the extent's end when no stream has frames.
    uint64_t SamplesEnd() const { return m_samplesEnd; }
    // True when the file proves that it was cut short.
    bool FileCut() const { return m_fileCut; }
    // True when the file was cut short and nothing claims how long the recording was (no stop
    // in the header or a stored index; the head of the chunk cut in two tells only how far that
    // chunk went): the holes then end where the data do, and only this tells that the rest of
    // the recording is missing.
    bool EndUnknown() const { return m_endUnknown; }
    // True when some stream has a hole.
    bool HasHoles() const;
    // True when two or more untrusted heads lie behind file offset `from` and each that claims
    // a time claims one past `stop` by more than a chunk (`chunkTime`) and than the bytes behind
    // `from` could hold.
    bool UnreadHeadsClaimLater(uint64_t from, uint64_t stop, uint64_t chunkTime) const;

private:
    struct StreamState
    {
        KvtStreamFacts facts;
        std::vector<size_t> chunks;
        std::vector<KvtHole> holes;
        bool spansChecked = false;   // its chunks' payloads are held to their time spans
    };

    // The bytes of the data that no trusted chunk accounts for, in file order.
    struct UnreadBytes
    {
        uint64_t from = 0;
        uint64_t to = 0;
        uint64_t claimedStart = 0;  // the start and stop fields of the head found there (claims)
        uint64_t claimedStop = 0;
        uint64_t key = 0;           // the stream its head names (or one byte off); 0: any stream
        bool oneChunk = false;      // the bytes of one chunk whose size fit; else a skipped stretch
    };

    // What the trusted chunks of all streams show of the recording's time and the file's bytes.
    struct TrustedReach
    {
        bool any = false;
        bool anySamples = false;       // some of them belong to a stream of samples
        uint64_t first = 0;            // the earliest start
        uint64_t latest = 0;           // the latest stop
        uint64_t latestStart = 0;      // the latest start
        uint64_t latestSamplesStart = 0;  // the latest start of a chunk of samples
        uint64_t latestSamples = 0;    // the latest stop of a stream of samples
        uint64_t lastEnd = 0;          // the file offset behind them all (none: the data start)
        uint64_t lastSamplesEnd = 0;   // the file offset behind those of streams of samples
        uint64_t longestChunk = 0;     // the longest time one of them spans
        bool someStreamShort = false;  // a stream of samples ends before the others or is empty

        // How long a chunk lost behind them may last: no longer than the longest of them.
        uint64_t ChunkTime() const;
    };

    // How far the recording may go on behind the stop of its trusted chunks.
    struct TailBounds
    {
        uint64_t claim = 0;        // the latest stop the header, an index or a head behind claims
        uint64_t reach = 0;        // the time the unread bytes behind the data can hold
        uint64_t cutReach = 0;     // what a claim may add to a copy cut short with no index
        uint64_t untold = 0;       // what a claim may add to a copy cut short beyond either
        bool indexPastEnd = false; // the index position lies past the end of the file
        bool someStreamShort = false;
        uint64_t laterSweep = 0;   // the stop a head behind a whole last sweep claims (0: none)
    };

    // True when a chunk starting at `start` lies too far before the recording's start.
    bool StartsBeforeRecording(uint64_t start) const;
    bool StartsAfterRecording(const StreamState& s, uint64_t start, uint64_t stop) const;
    // True when a stream's first chunk starting at `start` meets the recording's start (within
    // `slack`, or before it); always when the header has no start.
    bool MeetsRecordingStart(uint64_t start, uint64_t slack) const;
    // True when chunk c, the first of stream s (`next` the one behind it, NULL when none),
    // meets the recording's start: as MeetsRecordingStart, unless in a continuous recording it
    // begins before the header's start and belongs there instead (DropJumps still keeps it
    // beside another stream's chunk that starts with it).
    bool FirstMeetsStart(const StreamState& s, const KvtChunkInfo& c, const KvtChunkInfo* next,
                         uint64_t slack) const;
    // True when a stream other than `s` has frames.
    bool AnotherStreamHasFrames(const StreamState& s) const;
    // Whether a head of another stream in the period of chunk `c` starts at the recording's start.
    bool AnotherStreamMeetsStart(const StreamState& s, const KvtChunkInfo& c, uint64_t slack) const;
    // True when a stream's first chunk may start at `start`, as mending would set it.
    bool FirstStartFits(uint64_t start, uint64_t slack) const;
    void ClassifyStream(StreamState& s, const std::vector<size_t>& candidates);
    // In sweeps, puts back the times of a head among `sound` (file order) that both moved later
    // by less than a frame, where the head before or a trigger shows where it starts.
    void PutBackNudgedHeads(const StreamState& s, const std::vector<size_t>& sound);
    // Asked of an event head (file-order index, its stream) in a chunk's period.
    using TriggerFits = std::function<bool(size_t j, const StreamState& events)>;
    // True when a head of an event stream in the period of chunk `i` `fits`.
    bool TriggerAround(size_t i, const TriggerFits& fits) const;
    // True when a head of an event stream in the period of chunk `i` starts at `t`.
    bool TriggerStartsAt(size_t i, uint64_t t) const;
    // A head of a stream held to its spans whose start lies past its stop by just its frames'
    // time had its two time fields swapped: they are put back.
    void PutSwappedTimesBack(const StreamState& s, const std::vector<size_t>& candidates);
    // True when most of the heads among `candidates` whose times are in order hold their
    // frames for as long as those times say: the stream's chunks are then held to their spans.
    bool SpansHold(const StreamState& s, const std::vector<size_t>& candidates) const;
    // True when, short of a majority, exactly half of the `ordered` heads hold at least one
    // frame for as long as their times say: the stream's chunks are held to their spans too.
    bool HalfHold(size_t agreeingWithFrames, size_t ordered) const;
    // The heads among `candidates` that agree with themselves (s.spansChecked already set).
    std::vector<size_t> SelfConsistentHeads(StreamState& s, const std::vector<size_t>& candidates);
    // True when each of `heads` (file order) starts at or after the stop of the one before, or
    // less than `slack` before it.
    bool FollowInTime(const std::vector<size_t>& heads, uint64_t slack) const;
    // The longest run of `heads` (file order) in which each starts at or after the stop of the
    // one before; of several as long, one that ends at the earliest stop.
    std::vector<size_t> LongestRisingRun(const std::vector<size_t>& heads, uint64_t slack) const;
    // In a continuous recording the chunks of a stream follow on from each other: one that
    // meets neither the chunk before it (or the recording's start) nor the one behind it (or
    // the claimed stop, where there is one), and that no other stream's chunk beside it in the
    // file starts with (nor a damaged head there), jumped in time: its head is damaged. A pause
    // of all streams keeps its chunks.
    // In sweeps a chunk that meets neither neighbour starts or ends its sweep alone: it is
    // damaged where no chunk of another stream shares any of its time, unless the lost bytes
    // behind a chunk kept before it put it where it starts (LostBytesLeadTo; a sweep may
    // begin after the recording's start, so those in front of all tell nothing).
    void DropJumps(const StreamState& s, std::vector<size_t>& sound) const;
    // True when chunk i starts at `start` (its own start: its neighbours' heads are damaged, not
    // its own) where the bytes of stream `s` between chunk `before` (the chunk count: the
    // recording's start) and it in the file, lost or in doubt, put it.
    bool LostBytesLeadTo(const StreamState& s, size_t before, size_t i, uint64_t start) const;
    // True when chunk c, under an event stream's id, holds frames of `s` for as long as it lasts.
    bool FramesUnderEventId(const StreamState& s, const KvtChunkInfo& c) const;
    // True when something beside chunk i of a recording of sweeps shows its time is its period's:
    // another stream's chunk that shares it, or a damaged head that starts with it.
    bool AccompaniedInSweeps(const StreamState& s, size_t i) const;
    // True when a chunk of another stream near chunk i in the file shares some of its time.
    bool AnotherStreamOverlaps(const StreamState& s, size_t i) const;
    // True when a damaged head right before or behind chunk i in the file names another
    // stream and starts with it (a trigger of its sweep that the chain could not read).
    bool BesideLostHeadOfItsTime(const StreamState& s, size_t i) const;
    static bool EventEdgeMeets(const KvtChunkInfo& event, const KvtChunkInfo& c);
    // True when a head of the same stream right before or behind chunk i in the file starts
    // with it but does not hold frames for its own span: another stream's chunk of that period
    // (a trigger starting its sweep) whose id was damaged into this stream's.
    bool BesideOwnHeadThatDisagrees(const StreamState& s, size_t i) const;
    // True when the times of chunk c of stream s are in order and hold its frames (a stream
    // whose spans are not held to them: span no longer than a chunk can).
    bool HeadAgreesWithItself(const KvtChunkInfo& c, const StreamState& s) const;
    // How many of its neighbours in `sound` each chunk meets (0 to 2): the chunk before it (or
    // the recording's start) and the one behind it (or the claimed stop).
    std::vector<int> Joins(const StreamState& s, const std::vector<size_t>& sound) const;
    // Two chunks of one stream with the same times: one of them carries a damaged id or times.
    // The one that meets fewer neighbours goes; where they meet as many, nothing tells which,
    // so neither is trusted.
    void DropTwins(const StreamState& s, std::vector<size_t>& sound) const;
    // True when, with sound[k] left out, the time between the chunks of `sound` around it in the
    // file can hold the frames of every head of the stream that lies between them.
    bool BytesFitWithout(const StreamState& s, const std::vector<size_t>& sound, size_t k) const;
    // True when a chunk of another stream next to chunk i in the file starts with it (events
    // too: the trigger of a sweep begins with its first chunk).
    bool AccompaniedInFile(const StreamState& s, size_t i) const;
    // A trusted chunk whose times span less than its frames, by less than a frame, had one
    // time field moved: where the stream's other stops lie on the frame grid, the field that
    // the chunk before or behind it or another stream's chunk of its period does not bear out
    // moves back onto it, so that the chunk's last row is not lost. One that spans more, with a
    // start nothing bears out, had its start moved early: it moves up onto its frames.
    void SnapTimesToFrames(const StreamState& s);
    // The stream of samples whose gap chunk i fills: its payload is that stream's frames for
    // its span, which meets the stream's chunks before and behind it in the file (or the
    // recording's start, the claimed stop), or in sweeps lies at a sweep's edge
    // (EdgeOfSweepGap); 0 when none or more than one.
    uint64_t StreamWhoseGapItFills(size_t i) const;
    using StreamFits = std::function<bool(const StreamState& s)>;
    // The key of the only stream that `fits`; 0 where none or several do.
    uint64_t OnlyStream(const StreamFits& fits) const;
    // In sweeps, true when chunk i of frames that fit `s` lies in a gap of `s` at a sweep's edge:
    // between its chunks around it in the file, overlapping neither, and meeting one of them
    // (`meetsOne`) or starting with another stream's head beside it.
    bool EdgeOfSweepGap(const StreamState& s, size_t i, bool meetsOne) const;
    // A head among an event stream's `candidates` whose payload is a stream of samples' frames
    // filling its gap carries that stream's data under the event stream's id (a damaged id): it
    // becomes that stream's chunk and leaves `candidates`. In sweeps too: a trigger chunk spans
    // its sweep and holds records, never just the frames a gap within a sweep lacks.
    void ReclaimFramesUnderEventIds(std::vector<size_t>& candidates);
    // In a continuous recording every stream of samples records in every period until it ends.
    // A trusted chunk whose two times moved by a whole chunk leaves its stream lacking the
    // period of another stream's chunk beside it in the file: it moves there where its frames
    // last that period, no unread bytes of its stream could fill it, and the time it leaves is
    // one no other stream recorded (a pause) or, moving back, lies behind the rest of its stream.
    void MoveChunksIntoTheirPeriods();
    bool MoveIntoPeriodBeside(StreamState& s, size_t k);
    // True when an untrusted head or a stretch the chain could not read lies between chunks
    // `first` and `last` in the file (SIZE_MAX: from the start; the chunk count: to the end),
    // with at least `fewest` bytes behind it.
    bool AnyHeadLostBetween(size_t first, size_t last, uint64_t fewest = 0) const;
    // True when a trusted chunk of a third stream (neither `s`'s nor chunk j's) in the period
    // of trusted chunk j starts with it.
    bool ThirdStreamBeside(const StreamState& s, size_t j) const;
    // True when no other stream of samples holds time `t` nor may have held it in a chunk that
    // was lost: all of them paused then.
    bool AllPauseAt(const StreamState& s, uint64_t t) const;
    // True when `s` holds nothing of [from, to) that another stream of samples holds.
    bool LacksPeriod(const StreamState& s, uint64_t from, uint64_t to) const;
    // In sweeps, a trusted chunk whose start lies within a frame of where its frames, ending at
    // its stop, begin, and where another stream's chunk of its period starts, starts there.
    void AlignTimesToPeriod();
    void AlignTimeToPeriod(const StreamState& s, size_t i, uint64_t length);
    // True when `trigger`, a chunk of the event stream `owner`, starts just where the frames of
    // chunk `c` (`length` ns of them), ending at its stop, begin.
    static bool TriggerStartsFrames(const StreamState& owner, const KvtChunkInfo& trigger,
                                    const KvtChunkInfo& c, uint64_t length);
    // In a continuous recording a stream's bytes have no time where two of its trusted chunks
    // meet: an untrusted head of it between them in the file shows that one of the two had both
    // times moved by a chunk, when that one has a gap as long as itself on its other side with no
    // bytes of the stream in it. It goes back into that gap where the head left between then
    // mends by a time field of its own.
    void PutBackMovedChunks();
    bool PutBackMovedChunk(StreamState& s, size_t k);
    // Moves trusted chunk x of `s` by `shift` ns (earlier with `back`) and mends untrusted head u
    // in its place; undoes the move where u does not mend.
    bool ShiftFreeing(StreamState& s, size_t x, uint64_t shift, bool back, size_t u);
    // The untrusted heads of `s` (or of an id one byte off) between file positions `from` and `to`
    // (`from` the chunk count: from the data start); the chunk count among them where the chain
    // lost bytes there too.
    std::vector<size_t> UntrustedHeadsBetween(const StreamState& s, size_t from, size_t to) const;
    void MendChunks();
    // Mends untrusted head i into `s` where its neighbours bear out its fields; `freed`: a moved
    // chunk has just left its time, which a first chunk may then take from the recording's start.
    bool TryMend(size_t i, StreamState& s, bool freed = false);
    // True when an untrusted head near chunk i in the file is the same as its own: key, times
    // and size.
    bool HasUntrustedTwin(size_t i) const;
    // The stream of trusted chunk j where it is another stream than `s`; nullptr otherwise.
    const StreamState* OtherTrustedStream(const StreamState& s, size_t j) const;
    // The times of chunk i of `s` (`length` ns of frames) that a trusted chunk of another
    // stream of samples beside it in the file vouches for, sharing its kept start or stop and
    // lasting as long: the chunks of one period lie together and span the same time. In sweeps
    // an event chunk that starts with it vouches for its start. Used where the chunk meets no
    // neighbour of its own stream, as the first or last of a sweep.
    bool PeriodVouches(const StreamState& s, size_t i, uint64_t length, uint64_t& start,
                       uint64_t& stop) const;
    // In sweeps: the times of chunk `c` (`length` ns of frames) that an event chunk beside it
    // vouches for: one that starts with it (a trigger starting its sweep) vouches for its
    // start; one that spans its frames and stops with it, for both times.
    static bool TriggerVouches(const KvtChunkInfo& trigger, const KvtChunkInfo& c, uint64_t length,
                               uint64_t& start, uint64_t& stop);
    void CollectUnread(const std::vector<KvtLostSpan>& lost, CFileReader* reader, uint64_t limit,
                       uint64_t leftFrom);
    void WorkOutExtent(const KvtRecordingFacts& recording, uint64_t limit);
    TrustedReach ReachOfTrusted() const;
    // Where the last run of time the streams of samples recorded together begins (runs part
    // where no stream records for more than a frame).
    uint64_t LastRunStart() const;
    // True when the heads the file holds, fewer than its header counts or uncounted, prove that
    // it was cut short (see WorkOutExtent).
    bool HeadsProveCut(const KvtRecordingFacts& recording, const TrustedReach& trusted) const;
    // True when the last chunk of an event stream, the trigger of the last sweep, ends after
    // `samplesEnd`: behind every chunk of samples in the file and no longer than a sweep, or
    // starting with the last run of samples and spanning a sweep.
    bool TriggerOutlasts(uint64_t samplesEnd, uint64_t sweepLength) const;
    // The time the streams of samples may go on behind their trusted chunks: what `tailBytes`
    // behind all trusted chunks hold and, in a continuous recording, what unread bytes between
    // the last trusted samples and later event chunks hold.
    uint64_t SamplesTailReach(const TrustedReach& trusted, uint64_t tailBytes) const;
    // Unread bytes behind `lastEnd` that may hold time: those of heads of events do not.
    uint64_t TailBytes(uint64_t lastEnd) const;
    // True when the stretch `u`, whose head names the event stream `owner`, is longer than any
    // chunk of `owner` read: it ran on into chunks behind its own.
    bool OutgrowsItsEventChunk(const UnreadBytes& u, const StreamState& owner) const;
    // The latest stop claimed for the time behind the trusted chunks: by the header or a stored
    // index, or by an unread head behind them all.
    uint64_t TailClaim(const KvtRecordingFacts& recording, const TrustedReach& trusted) const;
    // In sweeps, where the last run of samples already lasts a whole sweep, bytes unread behind
    // it are a later sweep's: the latest stop that an unread head of a stream of samples there
    // claims, starting behind the samples and for no longer than its bytes hold; 0 when none.
    uint64_t LaterSweepClaim(const KvtRecordingFacts& recording, const TrustedReach& trusted) const;
    // Where the stored sweeps end, the last no longer than a sweep lasts; 0 when none are kept.
    uint64_t StoredSweepsEnd() const;
    // True when the stored index holds sweeps and chunk c's times meet none of them: a sound
    // triggered recording writes nothing between its sweeps.
    bool OutsideStoredSweeps(const KvtChunkInfo& c) const;
    // Keeps the stored sweeps where none overlaps the next.
    void KeepStoredSweeps(const std::vector<std::pair<uint64_t, uint64_t>>& sweeps);
    // Chunks whose heads, mended as far as they can be, still lie outside the stored sweeps have
    // damaged times (twins of each other moved alike): their bytes are lost.
    void DropChunksOutsideStoredSweeps();
    // Where a sound stored index says the sweeps lie, every stream of samples recorded all of
    // them: the stored sweeps' time that stream `s`'s trusted chunks leave out, a frame or more.
    std::vector<KvtHole> StoredSweepGaps(const StreamState& s) const;
    // What a claim may add to a copy cut short with no index to count its lost bytes.
    uint64_t CutReach(const KvtRecordingFacts& recording, const TrustedReach& trusted) const;
    // The time that `bytes` lost by all streams of samples side by side can hold.
    uint64_t TimeSideBySide(uint64_t bytes) const;
    // How far the recording goes on behind `end`, the stop of trusted chunks.
    uint64_t Extend(uint64_t end, const TailBounds& tail) const;
    void WorkOutHoles(StreamState& s);
    // Events last no time: the holes of an event stream are the times its unread heads claim
    // between the trusted chunks around them, or the whole time between those where a claim
    // does not fit there.
    void WorkOutEventHoles(StreamState& s);
    // The payload bytes of the trusted chunk of `s` before `offset` in the file (the first one
    // when none lies before); `s` has chunks.
    uint64_t SizeBeside(const StreamState& s, uint64_t offset) const;
    // The stream of samples whose gap around the unread bytes `u` their payload fills to the
    // frame, when just one does (in sweeps, or whose gap holds them and whose chunk beside them
    // is as large); 0 otherwise.
    uint64_t FrameStreamFilling(const UnreadBytes& u) const;
    // The chunk of a stream of samples that a stretch `u` skipped behind an event stream's head
    // holds beside that head's chunk, when its bytes are just those of the chunks of both beside
    // it, for one stream of samples lacking time there; the stretch then ends before it. The
    // times of a head found there of that stream are its claims.
    bool SplitsOffSamples(UnreadBytes& u, UnreadBytes& samples, CFileReader* reader) const;
    // True when no trusted chunk lies in the file before the first bytes lost in front of
    // `offset` whose head names `key` (0: no stream): in sweeps those hold the recording's first
    // time.
    bool LostBytesOpenFile(uint64_t key, uint64_t offset) const;
    // The start of the last trusted chunk, of any stream, among the few in the file before
    // `offset` (0 when none).
    uint64_t TrustedStartBefore(uint64_t offset) const;
    // True when the gap of `s` around the unread bytes `u`, closed by a chunk of `s` behind
    // them, ends by `gapEnd` before the chunk in front of them (starting at `inFront`) began:
    // the recorder wrote its time before that chunk, not where the bytes lie.
    bool EndsBeforeBytes(const StreamState& s, const UnreadBytes& u, uint64_t gapEnd,
                         uint64_t inFront) const;
    // The time between the trusted chunks of `s` around the file offset `offset`: from the stop
    // of the one before (the extent's start when none) to the start of the one behind (the end
    // of the samples when none).
    std::pair<uint64_t, uint64_t> GapAround(const StreamState& s, uint64_t offset) const;
    // True when a stream of samples other than `key` lacks time around the bytes at `offset`:
    // a skipped stretch then held more than the chunk of the head it began with.
    bool AnotherStreamLacks(uint64_t key, uint64_t offset) const;
    // Payload bytes (a head less for each stretch that begins inside) unread in [from, to):
    // of heads naming `key` and, with `unknownToo`, of heads naming no stream; all for key 0.
    uint64_t UnreadPayload(uint64_t from, uint64_t to, uint64_t key = 0,
                           bool unknownToo = true) const;
    // True when a stream other than `s` (of samples only, with `samplesOnly`) has a trusted
    // chunk that holds time t.
    bool AnotherStreamHolds(const StreamState& s, uint64_t t, bool samplesOnly = false) const;
    // In sweeps, the time that `bytes` unread in [fileFrom, fileTo) hold for stream `s`: those
    // under its own id its frames; those whose head names no stream are shared, side by side,
    // with the other streams of samples that lack time around them (LacksTimeOnlyUnknownBytesHold).
    uint64_t SweepLossTime(const StreamState& s, uint64_t fileFrom, uint64_t fileTo, uint64_t bytes) const;
    // True when stream `s` lacks more than a frame of time around the unread bytes at `offset`
    // and no unread head of its own lies in that gap: only bytes whose head names no stream
    // may hold that time.
    bool LacksTimeOnlyUnknownBytesHold(const StreamState& s, uint64_t offset) const;
    // True when a stream other than `s` recorded within [from, to) (or at `from`): a trusted chunk
    // of samples shares that time, or an event chunk starts in it.
    bool AnotherStreamRecordsIn(const StreamState& s, uint64_t from, uint64_t to) const;
    // True when a trusted chunk of `s` holds time t.
    // The first of the chunks of `s` that stops after `t`: the one holding `t` unless `t` lies in
    // the gap before it.
    std::vector<size_t>::const_iterator FirstStoppingAfter(const StreamState& s, uint64_t t) const;
    bool Holds(const StreamState& s, uint64_t t) const;
    // The stream the bytes of untrusted chunk i belong to: the one its id names, unless that
    // one's trusted chunks hold all its time (it carries another stream's id; the twin that
    // stayed shows it): then the one stream that lacks that time and whose frames its payload
    // holds, where the twins' order in the file does not say otherwise (where it does and the
    // named stream's frames fit too, 0 in a continuous recording).
    // Where the named stream lacks its time and another stream of samples whose frames fit it
    // lacks it too, it may be that stream's chunk under a damaged id: 0, so that both count its
    // bytes. A chunk under a stream of samples' id that neither fits nor lacks any stream of
    // samples' time holds events: the one event stream's that lacks its time, else, in a
    // continuous recording, the one event stream's.
    uint64_t OwnerOfUntrusted(size_t i) const;
    // True when untrusted chunk i, the twin of a trusted chunk of `named` (same times), lies on
    // the side of it where `other`'s chunk lies in a period that holds both (or no such period
    // tells).
    bool TwinInPlaceOf(size_t i, const StreamState& named, const StreamState& other) const;
    // True when trusted chunks of `s` hold the whole span of chunk c.
    bool HoldsSpanOf(const StreamState& s, const KvtChunkInfo& c) const;
    // The one event stream, whose bytes a chunk that fits no stream of samples holds: `named`
    // where there is none, 0 (any stream) where there are several.
    uint64_t EventStreamFor(uint64_t named) const;
    // The one event stream whose trusted chunks do not hold chunk c's span; 0 when none or
    // several.
    uint64_t EventStreamLacking(const KvtChunkInfo& c) const;
    // True when a stream of samples other than `s` whose frames fit chunk c's payload and span
    // has a gap that holds its time: between two of its chunks, before its first one from the
    // recording's start, or right behind its last one.
    bool AnotherStreamLacksItsFrames(const StreamState& s, const KvtChunkInfo& c) const;
    // Where the sweeps that the other streams recorded between `from` and `to` begin (a start
    // of one of their chunks that no stream of samples recorded just before), rising.
    std::vector<uint64_t> SweepStartsBetween(const StreamState& s, uint64_t from, uint64_t to) const;
    // A time and the file offset that goes with it: the edge of what a stream holds.
    struct Span
    {
        uint64_t time;
        uint64_t offset;
    };
    // Where the `length` ns that stream `s` lost between its chunk that ends at `before` and the
    // one that begins at `behind` (or the end of its data) begin. In sweeps they may end the
    // sweep before, begin one in between or begin the sweep behind (across a pause of a
    // continuous recording as well): the damaged heads' times or the other streams of that
    // period tell which.
    uint64_t LostTimeBetween(const StreamState& s, const Span& before, const Span& behind, uint64_t length) const;
    // True when the damaged head `u` claims `length` ns lost from `at` (within `slack`): by its
    // start, or by its stop where its start is the field that is off. Times that are in reverse
    // order by just that length were swapped: they claim the span between them.
    static bool ClaimsLossAt(const UnreadBytes& u, uint64_t at, uint64_t length, uint64_t slack);
    // In sweeps, where nothing else tells: true when `length` is a whole sweep and an unread
    // head of stream `s` between `before` and `behind` claims times inside the gap that span it;
    // `start` is its start.
    bool ClaimFillsGap(const StreamState& s, const Span& before, const Span& behind, uint64_t length,
                       uint64_t& start) const;
    // Where the time stream `s` lost behind its last chunk, which stops at `stop`, begins in a
    // continuous copy cut short: at `stop`, or where a pause that began there ends, which
    // another stream of samples shows by a gap between two of its chunks with no unread bytes
    // of its own in between.
    uint64_t TailLossStart(const StreamState& s, uint64_t stop) const;
    // Where the samples of the recording begin: at the header's start or the earliest trusted
    // chunk of samples, whichever is earlier (events may be timed before them).
    uint64_t SamplesStart() const;
    // Where the `length` ns that stream `s` lost before its first chunk (starting at
    // `firstStart`) begin: right before that chunk, or at the recording's start.
    uint64_t LostTimeBefore(const StreamState& s, uint64_t firstStart, uint64_t length) const;
    // The stream a head of `key` belongs to: its own, or the only one whose id is one byte off;
    // 0 when neither.
    uint64_t StreamOf(uint64_t key) const;
    StreamState* Find(uint64_t key);
    const StreamState* Find(uint64_t key) const;

    // Sweeps' edges where their heads are lost: the triggers and the bytes in front tell them.
    // In sweeps, where a trusted event chunk beside chunk i in the file (its trigger) starts
    // after `before` and no later than chunk i: its start; `before` otherwise.
    uint64_t SweepStartBefore(size_t i, uint64_t before) const;
    // In sweeps, true when bytes whose head names no stream lie in front of `offset` (the first
    // chunk of `s`) and of every trusted chunk of samples in the file, and none of `s`'s own:
    // they hold the first sweep's time.
    bool FirstSweepLostUnnamed(const StreamState& s, uint64_t offset) const;
    // Where the time `s` lost from `from` to `to`, opening the first sweep, ends: at the stop of
    // the trigger that starts with it where `to` falls short of that by less than a frame.
    uint64_t FirstSweepEnd(const StreamState& s, uint64_t from, uint64_t to) const;

    // Recordings of sweeps, old ones judged as continuous first: times their triggers tell.
    // True when an event stream's head right before or behind chunk i in the file has damaged
    // times whose field left whole ends the chunk (EventEdgeMeets): its sweep's trigger.
    bool BesideDamagedTriggerOfItsTime(const StreamState& s, size_t i) const;
    // The first trusted chunk of `s`, starting before the header's start by less than a frame,
    // whose frames counted back from its stop begin at the header's start, starts there.
    void PutFirstStartBackOnRecordingStart(const StreamState& s);
    // The times of chunk i of `s` (`length` ns of frames) that a lost event head right before or
    // behind it in the file vouches for: one spanning just its frames that shares a time with it.
    bool LostTriggerVouches(const StreamState& s, size_t i, uint64_t length, uint64_t& start,
                            uint64_t& stop) const;
    // In sweeps, true when chunk i of `s` lies in the file behind a trusted trigger that starts
    // at or after `stop`, with no trusted chunk of `s` in between: it cannot stop at `stop`.
    bool LiesBehindLaterTrigger(const StreamState& s, size_t i, uint64_t stop) const;
    // True when a trusted chunk of a stream of samples other than `s` lies behind trigger j in
    // the file and starts with it.
    bool SamplesStartWithTrigger(const StreamState& s, size_t j) const;
    // In sweeps, a trusted chunk lying behind a later trigger, whose time no other stream shares
    // (its times moved earlier by a chunk), moves into the period of another stream's chunk
    // beside it that its stream lacks.
    void MoveChunksBehindTriggersIntoTheirPeriods();

    // Frames under an event stream's id beside damaged heads of their own stream.
    // In a continuous recording, true when chunk i (frames of `s` for its span) meets just one of
    // the chunks of `s` around it in the file and damaged heads of `s` lie towards the other one,
    // or it meets the last one and no stop is claimed: it carries on the stream's time.
    bool GapBesideIsDamage(const StreamState& s, size_t i, bool meetsBefore, bool meetsBehind) const;

    // Event records beside a damaged head of samples.
    // True when the size of `events`' k-th trusted chunk leads right into the unread bytes `u`,
    // whose head names no stream and whose bytes miss the frames a stream of samples lacks there
    // by at least a record of that chunk's bytes, or hold more by less than a head: its size was
    // off, so its records are in doubt.
    bool RecordsInDoubt(const StreamState& events, size_t k, const UnreadBytes& u) const;
    // The fewest bytes, more than none, that a trusted chunk of `events` near its k-th holds
    // (UINT64_MAX when none holds any).
    uint64_t LeastRecordsBeside(const StreamState& events, size_t k) const;

    // Event chunks whose stop moved onto the next one's period.
    // In a continuous recording, puts back the stop of an event chunk among `candidates` (file
    // order) that lies past the next one's start, where a trusted chunk of samples beside it
    // spans from its start to that start.
    void PutEventStopsBackToTheirPeriods(const std::vector<size_t>& candidates);

    // Of twins a and b of stream `s` (same times) that meet as many neighbours: the one lying
    // where another stream of samples, whose frames fit them and which has no head of their
    // time, has its chunk in the other periods (its bytes under a wrong id); SIZE_MAX when
    // nothing tells.
    size_t TwinInAnotherStreamsPlace(const StreamState& s, size_t a, size_t b) const;
    // True in sweeps whose length the header tells.
    bool SweepLengthKnown() const;
    // In sweeps of a known length: true when the run of chunks of `s` that ends at its gap
    // around the file offset `offset`, or the one that begins there, lasts less than a sweep.
    // The stream recorded on through that gap: bytes there whose head names no stream may hold
    // its time, as they would between two of its chunks that other streams show a sweep holds.
    bool GapCutsSweepShort(const StreamState& s, uint64_t offset) const;
    // True when the run of chunks of `s` that follow on from each other up to the gap around
    // `offset` (`behind`: from it on) lasts less than a sweep.
    bool RunShortOfSweep(const StreamState& s, uint64_t offset, bool behind) const;
    // The time spanned by the run of chunks of `s` that follow on from each other up to the gap
    // around `offset` (`behind`: from it on), walked no further than a sweep; {0, 0} when none.
    std::pair<uint64_t, uint64_t> RunBeside(const StreamState& s, uint64_t offset, bool behind) const;
    // `hole`, lost between the chunks of `s` that end at `before` and begin at `behind`, kept
    // inside the sweep it cuts short where one of those runs is short of a sweep.
    KvtHole KeptInsideSweep(const StreamState& s, const Span& before, const Span& behind, KvtHole hole) const;
    // In sweeps of a known length: true when chunk x of `s`, moved by `shift` (`back`: earlier),
    // would make the run of its stream's chunks it ends (or begins) outlast a sweep.
    bool ShiftOutgrowsSweep(const StreamState& s, size_t x, uint64_t shift, bool back) const;

    // Sweeps whose chunks the heads put in the wrong sweep or lose behind the data.
    // Mends the heads (MendChunks). Then, in sweeps, a chunk that lies in the file among read
    // (not mended) chunks of a period its stream lacks, but whose times (or those mending gave it
    // from the chunk before) lie in a pause of every other stream, moved by a whole chunk: it
    // goes into that period, as in a continuous recording (MoveIntoPeriodBeside).
    void MendChunksIntoTheirSweeps();
    // In sweeps, the trigger of a sweep that lies in the file behind every trusted chunk of
    // samples and starts after them, with unread bytes behind it, began the sweep those bytes
    // held: the samples go on from its start for as long as the bytes hold; 0 when none.
    uint64_t SweepBehindTriggerEnd(const TrustedReach& trusted, uint64_t tailBytes) const;
    // In sweeps, where nothing else tells: true when `before` ends a whole sweep and `length`
    // is the chunk of one unread head of stream `s` between `before` and `behind` that keeps
    // one time field putting it inside the gap, past its start, the other field lying outside
    // (a lost sweep whose trigger was lost too); `start` is where it begins.
    bool OneFieldPlacesLoss(const StreamState& s, const Span& before, const Span& behind,
                            uint64_t length, uint64_t& start) const;
    // How long the last run of chunks of `s` that ends by `before` lasts (its chunks meet within
    // a frame), up to `before`; 0 when none.
    uint64_t RunBefore(const StreamState& s, const Span& before) const;
    // In sweeps, behind a whole last sweep, where no head claims a later sweep whole
    // (LaterSweepClaim): the latest stop that the one field an unread head of a stream of
    // samples behind the data may keep claims, its start behind the samples and its chunk as
    // long as its bytes hold (of two, the earlier); 0 when none.
    uint64_t OneFieldLaterSweepClaim(const TrustedReach& trusted) const;

    // Heads of a continuous stream placed by their order in the file.
    // In a continuous recording a stream's chunks follow on in the file's order, with no time
    // between them but a pause of all streams. Where a damaged head of `s` lies between two of
    // its trusted chunks (or the recording's start, where a head of the first period starts, or
    // the claimed stop) whose time the frames of all its heads in between fill exactly, those
    // heads hold that time in their file order, whatever their own times say: the damaged ones
    // are mended and trusted ones moved by a chunk beside them go back. The narrowest such run
    // around head u (untrusted) is taken.
    // `runs`: the runs of time without pause a stored index holds (empty: none).
    using TimeRuns = std::vector<std::pair<uint64_t, uint64_t>>;
    void PlaceRunsInFileOrder(const TimeRuns& runs);
    bool PlaceRunAround(StreamState& s, size_t u, const TimeRuns& runs);
    // Places the heads of `s` between file positions `a` and `b` (the chunk count: the data's
    // start, its end) from `from` on where their frames fill the time up to `to` to a frame and
    // no stretch the chain could not read lies among them. A damaged head must keep one of its
    // times there, or that time must be another stream's or the stored index's; one whose
    // frames fit a stream lacking its time may be that stream's.
    bool FillRunInFileOrder(StreamState& s, size_t a, size_t b, uint64_t from, uint64_t to,
                            const TimeRuns& runs);
    // `t`, or where the next of `runs` begins where t lies at or past the stop of the one before
    // (within `slack`): a pause the stored index holds.
    static uint64_t PastStoredPause(const TimeRuns& runs, uint64_t t, uint64_t slack);
    static bool InStoredRun(const TimeRuns& runs, uint64_t t);

    // Chunks in another stream's place in its period:
    // In a continuous recording the streams write the chunks of a period in the same order every
    // period, so a stream's heads never lie side by side while another goes on. Chunk i of `s`
    // right beside another head of `s`, on the side where another stream of samples writes, holds
    // that stream's frames under a damaged id where that stream lacks its time and either goes on
    // behind it or the head beside it is its twin.
    bool InAnotherStreamsPlace(const StreamState& s, size_t i) const;
    // True when the heads of `o` and `s` near chunk i in the file, of one period side by side,
    // have `s`'s head before `o`'s in every such period there; `known` false where none tells.
    bool WritesBefore(const StreamState& s, const StreamState& o, size_t i, bool& known) const;
    // True when a head of `o` near chunk i in the file starts with it (`o` holds its period).
    bool HeadOfPeriodNear(const StreamState& o, size_t i) const;
    // True when a head of `o` lies in the file shortly behind chunk i, later in time.
    bool GoesOnBehind(const StreamState& o, size_t i) const;

    // Sweeps of old files: a trigger head lost whole in front of its sweep.
    // True when chunk i of `s` in an old file, its head agreeing with itself, lies right behind
    // an unreadable head of random bytes (naming no stream of samples, times spanning nothing)
    // whose bytes are those of a whole trigger chunk of the file before it in time, alone or with
    // a chunk of each other stream of samples (OtherStreamsChunkBytes).
    bool BehindLostTriggerOfItsSize(const StreamState& s, size_t i) const;

    // First chunks of sweeps moved a chunk earlier, before their triggers.
    // A first chunk of samples that ends at the header's start, all its frames before the
    // recording, lying in the file behind an event head (its trigger) that stops a chunk later,
    // where its stream has no frames, had both times moved a chunk early: it spans up to that stop.
    void PutFirstChunksBackInTheirTriggers();

    // Heads of old files that start before the recording:
    // True when chunk c, the first head of `s`, starts before the header's start (which an old file's first chunk
    // may) while its frames do not last its span: its start field was damaged, not early.
    bool EarlyWithoutItsFrames(const StreamState& s, const KvtChunkInfo& c) const;

    // Time lost behind a whole sweep:
    // True when the `length` ns that `s` lost between `before` and `behind` lie up against
    // `behind`: the run of chunks ending at `before` lasts a whole sweep and no unread head
    // between them claims a start by `before`.
    bool LossBehindWholeSweep(const StreamState& s, const Span& before, const Span& behind,
                              uint64_t length) const;

    // Chunks of samples that end long after the recording.
    // True when chunk c of `s`, in a continuous recording whose header or stored index claims
    // its stop, starts before that stop but ends later by more than a chunk can last.
    bool EndsLongAfterRecording(const StreamState& s, const KvtChunkInfo& c) const;
    // Such a chunk's stop is damaged: it is put where its frames, from its start, end.
    void PutStopsBackInsideRecording(const StreamState& s, const std::vector<size_t>& candidates);

    // First chunks of old continuous files moved a chunk early, wholly before the recording.
    // A stream's first chunk of an old continuous file that spans its frames and stops at the
    // header's start, where its stream holds no frames for as long behind, spans from there.
    void PutEarlyFirstChunksBack();

    // Sweeps: losses and moved chunks placed by the sweep's length and the heads' file order.
    // True when unread head `u` of `s` claims that the `length` ns lost between `before` and
    // `behind` begin at `at`: its start or stop lies where the stream's unread bytes in front of
    // it, or behind it, in the gap put them (ClaimsLossAt for swapped times).
    bool ClaimFitsFileOrder(const StreamState& s, const Span& before, const Span& behind,
                            const UnreadBytes& u, uint64_t at, uint64_t length) const;
    // In sweeps of a known length, where the run of chunks of `s` that trusted chunk k ends (or
    // begins) lasts longer than a sweep only with it, and it shares no time with another
    // stream's chunk, it moved by its length into the pause: it goes back across it. `read`:
    // its head was trusted as read, with the times `readTimes` (else mended since).
    bool MoveOutOfRunPastSweep(StreamState& s, size_t k, bool read,
                               const std::pair<uint64_t, uint64_t>& readTimes);
    // True when a stream other than `s` holds time `t` and the frame behind it.
    // `samplesOnly`: only a stream of samples counts.
    bool AnotherStreamRecordsFrom(const StreamState& s, uint64_t t, bool samplesOnly = false) const;
    // In sweeps of a known length, true when the run of chunks of `s` ending at `before` lasts
    // less than a sweep and a trigger starts with it: the time lost behind it is its sweep's.
    bool SweepGoesOnInGap(const StreamState& s, const Span& before) const;
    // In sweeps of a known length, true when the runs of chunks of `s` before and behind the
    // file offset `offset` both last a sweep, to a frame.
    bool WholeSweepsAround(const StreamState& s, uint64_t offset) const;
    // True when the runs around `offset` are whole (WholeSweepsAround) and their gap, `gap` ns,
    // cannot hold a sweep of `length` apart from both: a pause that no bytes of `s` fill.
    bool NoRoomBetweenWholeSweeps(const StreamState& s, uint64_t offset, uint64_t gap,
                                  uint64_t length) const;
    // In sweeps, where `length` ns of `s` lost between `before` and `behind` lie between whole
    // sweeps, with room for a sweep of its own apart from both: `start` is where it begins.
    bool LossApartFromWholeSweeps(const StreamState& s, const Span& before, const Span& behind,
                                  uint64_t length, uint64_t& start) const;
    // In sweeps, of twins a and b of `s` (same times) the one that, unlike the other, no other
    // stream's chunk right beside it in the file starts with (AccompaniedInFile); SIZE_MAX when
    // nothing tells.
    size_t TwinAloneInSweeps(const StreamState& s, size_t a, size_t b) const;

    // Sweeps whose trigger heads the chain lost, and lone heads telling where a sweep's time lies.
    // In sweeps, true when chunk i of `s` lies in the file behind a head of an event stream that
    // the chain could not read, with no head of that stream in between, and inside its times.
    bool InsideLostTrigger(const StreamState& s, size_t i) const;
    // In sweeps, a head among `candidates` of `s` right behind a trigger head lost for its size
    // whose times span just its frames, lying a whole span before or behind them, where no other
    // head of `s` near it starts there: both its times moved by a chunk, and they go back.
    void PutChunksBackIntoLostTriggers(const StreamState& s, const std::vector<size_t>& candidates);
    // True when the bytes `s` lost between `before` and `behind` are those of one head of its
    // own that the chain read, no stretch naming no stream beside it (ClaimFillsGap believes it).
    bool OnlyHeadOfTheGap(const StreamState& s, const Span& before, const Span& behind) const;

    // Heads the claimed stop, the bytes lost in front of them or the other streams of their
    // period place, and bytes under another stream's id.
    // True when chunk c, the last of `s`, stops short of its frames by less than a frame where
    // they end at the claimed stop.
    bool LastStopShortOfClaim(const StreamState& s, const KvtChunkInfo& c) const;
    // Puts such a stop back on the claimed stop.
    void PutLastStopsOnClaimedStop();
    // True when a run placed in file order (FillRunInFileOrder) ends at the claimed stop with no
    // head of its stream behind it (`b` the chunk count): its damaged heads need keep no time.
    bool FillsUpToClaimedStop(size_t b, uint64_t to) const;
    // Reclaims the untrusted heads among `candidates` of stream of samples `s` whose payload
    // is not its frames for their span but fills another stream's gap (StreamWhoseGapItFills).
    void ReclaimFramesUnderOtherIds(const StreamState& s, const std::vector<size_t>& candidates);
    // True when the bytes of `s` lost between chunk `before` (the chunk count: the recording's
    // start) and head i in the file lead to where i's stop, counted back by its `length` ns of
    // frames, puts its start, and its start lies elsewhere: the start moved (TryMend).
    bool StartMovedOntoLostBytes(const StreamState& s, size_t before, size_t i,
                                 uint64_t length) const;
    // True in a continuous recording when every other stream of samples paused at `start`
    // (AllPauseAt): a head that mends by its start cannot begin there (TryMend).
    bool StartsInPause(const StreamState& s, uint64_t start) const;
    // True in a continuous recording when head i (`length` ns of frames), behind every chunk of
    // the only stream of samples `s` (`next` NULL) with no head lost behind it in the file,
    // stops at the claimed stop but starts elsewhere than its frames counted back from there:
    // its start moved (TryMend).
    bool LoneStopOnClaim(const StreamState& s, size_t i, const KvtChunkInfo* next,
                         uint64_t length) const;
    // In a continuous recording, puts back the times of a trusted chunk of `s` that both moved
    // later by less than a frame off the stop of the chunk before, where another stream's chunk
    // of its period starts (AnotherStreamStartsBeside).
    void PutBackHeadsNudgedOffTheirPeriod(const StreamState& s);
    // True when a trusted chunk of another stream of samples near chunk i in the file starts at t.
    bool AnotherStreamStartsBeside(const StreamState& s, size_t i, uint64_t t) const;
    // The event stream whose records untrusted head i under the id of the stream of samples
    // `named` holds, in a continuous recording (OwnerOfUntrusted); 0 when its bytes may be frames.
    uint64_t EventsUnderSamplesId(const StreamState& named, size_t i) const;
    // The fewest bytes of records the chunks of event stream `events` around chunk i in the
    // file hold (LeastRecordsBeside); UINT64_MAX when none holds any.
    uint64_t RecordBytesNear(const StreamState& events, size_t i) const;
    // The one event stream other than `e` whose chunks around chunk i hold records that its bytes,
    // no whole records of `own` bytes, are whole records of, and that lacks its time; 0 when none.
    uint64_t RecordsOfAnotherEventStream(const StreamState& e, size_t i, uint64_t own) const;

    // Sweeps whose chunks moved a whole chunk off their trigger.
    // In sweeps of a known length, the run of chunks of a stream of samples lying in the file
    // right behind a trusted trigger (up to the next head of the trigger's stream) whose first
    // chunk starts a chunk after the trigger or stops where it starts, had its times moved by a
    // chunk: where its run, as it lies, lasts no sweep and, put on the trigger, lasts no more
    // than one, it goes there. Heads left unmended beside it are mended once more.
    // The rules below, then a mend of the heads their moves let mend.
    void PutSweepChunksBackInPlace();
    // In sweeps, a chunk under an event stream's id whose frames fill the gap of a stream of
    // samples that mending its neighbours has just closed around it is that stream's: the one
    // pass before mending found no chunk of its stream that it met.
    bool ReclaimFramesBesideMendedHeads();
    // In sweeps of a known length, a trusted event chunk holding just a stream of samples' frames
    // for its span, right in front of that stream's chunk of the same times in the file, whose run
    // falls short of a sweep, is that stream's chunk under a damaged id: the chunk behind it had
    // its times moved a chunk earlier onto it, and goes on behind it.
    bool ReclaimTwinsUnderEventIds();
    bool TakeTwinUnderEventId(StreamState& s, size_t i);
    // True in sweeps of a known length when a lost head of `s` lies in the file between its
    // chunk `prev` and head i: its bytes hold time between them, so i cannot start at prev's
    // stop.
    bool LostHeadsHoldTimeBefore(const StreamState& s, size_t prev, size_t i) const;
    bool PutSweepsBackOnTheirTriggers();
    bool PutRunOnTrigger(StreamState& s, size_t trigger);
    // True when trusted event chunk `trigger` spans as long as its stream's chunk before or
    // behind it (or is its stream's only one): its times did not move apart.
    bool SpansAsItsNeighbours(size_t trigger) const;
    // The span of the run of chunks of `s` that meet each other (within a frame) around
    // s.chunks[first..last], with those chunks moved by `shift` (`back`: earlier).
    std::pair<uint64_t, uint64_t> RunAround(const StreamState& s, size_t first, size_t last,
                                            uint64_t shift, bool back) const;
    // In sweeps of a known length, a chunk of a stream of samples that meets its stream's chunk
    // on one side, so that its run outlasts a sweep (or a lost head of its stream lies between
    // them in the file), with a gap of just its length on the other (up to its stream's chunk
    // there, or the recording's start) and no head of its stream lost in it, moved by a chunk:
    // it goes back into the gap where each of the two runs then lasts no more than a sweep.
    bool PartSweepsRunTogether();
    bool PutBackIntoGap(StreamState& s, size_t k, bool back);
    // In sweeps, a chunk whose times span more than its frames by less than a frame, whose stop
    // lies on the frame grid that all its stream's chunks spanning their frames exactly share,
    // and its start off it, had its start moved early: it moves up onto its frames. A lone
    // chunk of its sweep has no neighbour to tell it.
    void PutEarlyStartsOnTheGrid(const StreamState& s);

    // Lost sweeps. A stretch `u` skipped behind a damaged head (of an event stream, or naming
    // none) whose bytes are just one chunk of one event stream and one of each stream of
    // samples lacking time there, closed by a later chunk (each as large as its
    // chunk beside) held a whole sweep: the event stream keeps the first part and each stream
    // of samples one behind it, in the order the recorder wrote them, appended to `parts`.
    bool SplitsOffSweep(UnreadBytes& u, std::vector<UnreadBytes>& parts,
                        CFileReader* reader) const;

    // Sweeps of old files whose triggers tell what a damaged head hides.
    // True in an old file judged as continuous when the nearest event head in front of chunk i
    // in the file (its sweep's trigger), with heads between that lie outside chunk i's time (they
    // moved off), starts with it or stops with it (or, its head damaged, keeps a stop that ends
    // it).
    bool TriggerPastMovedHeadVouches(const StreamState& s, size_t i) const;
    // True in sweeps of an old file when a trusted trigger chunk (spanning its sweep) stops where
    // the chunk of `s` before the gap (at `before`) stops: that sweep ended there, so time lost
    // between it and the chunk at `behind` begins the sweep behind.
    bool TriggerEndsSweepBefore(const StreamState& s, const Span& before, const Span& behind) const;
    // True when one of `samplesStarts` (rising: starts of other streams' chunks of samples) lies
    // behind the trigger start `t` by less than a frame of `s`: the trigger was read early.
    static bool TriggerReadEarly(const StreamState& s, const std::vector<uint64_t>& samplesStarts,
                                 uint64_t t);

    // Continuous old files: heads whose stop ran off, and chunks the write order places.
    // True when chunk c of `s`, a stream whose spans are not held to its frames, starts inside
    // the recording but stops later than a chunk can last: its stop is damaged.
    bool StopsLongAfterItsStart(const StreamState& s, const KvtChunkInfo& c) const;
    // In a continuous recording the streams write the chunks of a period in the same order
    // every period. A trusted chunk lying between two chunks of another stream of samples that
    // follow on from each other was written in the period of the one beside it on its stream's
    // side (WritesBefore); where its times are the other one's, both moved by a chunk: it goes
    // back, where its stream lacks that period and, for samples, leaves a pause or its end.
    void PutChunksInWriteOrder();
    bool PutInWriteOrder(StreamState& s, size_t k);
    // True when the stretch `u` skipped behind a damaged head of a stream of samples holds more
    // bytes than that stream's frames for the time it lacks there, the heads of its chunks and an
    // empty head of `events` for each period `events` lacks there: it hid an event chunk.
    bool HoldsEventChunk(const StreamState& events, const UnreadBytes& u) const;
    // In a continuous recording, the stream of samples whose chunk the unreadable bytes `u`
    // (`payload` bytes behind a head) held, where they lie between two trusted chunks of one
    // period: the one stream that lacks that period and whose chunk beside them is as large;
    // 0 when none or more than one.
    uint64_t StreamLackingPeriodAround(const UnreadBytes& u, uint64_t payload) const;
    // A head of `s` (held to its spans) whose size holds a frame more or less than its times
    // and behind which the chain lost its way had its size moved by a frame: its times tell it.
    void PutSizesBackOnFrames(const StreamState& s, const std::vector<size_t>& candidates);
    // Where the bytes the chain lost as `span` begin: where the chunk in front of it ends.
    uint64_t LostFrom(const KvtLostSpan& span) const;

    // The extent of a file none of whose heads can be trusted.
    // True when bytes behind the data are a stream's own lost tail: some stream of samples ends
    // before another trusted chunk's stop (not when no chunk at all is trusted).
    bool SomeStreamEndsBeforeAnother(const TrustedReach& trusted) const;

    // Event chunks whose size swallowed a record of the damaged head behind them.
    // Puts back by a record the size of an event chunk of `s` behind which the chain lost its
    // way where a chunk of samples fills the bytes from a record before its end.
    void PutEventSizesBackOnRecords(const StreamState& s, const std::vector<size_t>& candidates);
    // The fewest payload bytes of those of `chunks` [first, last) but the `skip`-th that hold
    // any; UINT64_MAX: none.
    uint64_t LeastRecordBytes(const std::vector<size_t>& chunks, size_t first = 0,
                              size_t last = SIZE_MAX, size_t skip = SIZE_MAX) const;
    // True when one of the few chunks in front of chunk i (`behindToo`: or behind it) is of
    // samples and spans `bytes`.
    bool SamplesChunkNearHolds(size_t i, uint64_t bytes, bool behindToo = false) const;
    static constexpr size_t kPeriodReach = 4;

    // Sweeps of old files: the pauses their triggers tell, where no stream lost time.
    // The stretches (from, to) between two trusted chunks of an event stream that span as long
    // as each other (within `slack`), too short for a sweep of that length apart from both,
    // where no trusted chunk of samples lies: pauses between sweeps.
    std::vector<std::pair<uint64_t, uint64_t>> PausesBetweenTriggers(uint64_t slack) const;
    // True when a trusted chunk of a stream of samples overlaps [from, to).
    bool SamplesRecordedIn(uint64_t from, uint64_t to) const;
    // Cuts out of the holes of stream of samples `s` the pauses between its sweeps.
    void KeepHolesOutOfPauses(StreamState& s) const;
    // True when the gap [from, to) of `s` lies inside such a pause: no bytes fill it.
    bool GapIsPause(const StreamState& s, uint64_t from, uint64_t to) const;
    // Where the sweep that a trusted trigger chunk spanning as long as its stream's chunk beside
    // it holds around `t` ends: that trigger's stop; 0 when none holds `t`.
    uint64_t SweepEndAround(uint64_t t) const;
    // Ends each hole of stream of samples `s` that runs on a little past the end of its sweep
    // there (SweepEndAround).
    void EndHolesWithTheirSweeps(StreamState& s) const;
    // True when `length` ns of `s` lost in its gap [from, to) lie around a pause its triggers
    // tell (PausesBetweenTriggers), ending the sweep before and beginning the one behind: appends
    // those two holes to `holes`.
    bool LossAroundPause(const StreamState& s, uint64_t from, uint64_t to, uint64_t length,
                         std::vector<KvtHole>& holes) const;
    // True when a stream other than `s` holds the recording's start, in sweeps or a frame of
    // `s` behind it (LostTimeBefore).
    bool RecordedAtStart(const StreamState& s) const;
    // Sweeps: the sweep length trigger chunks bear out, and trigger heads one field of which it
    // mends.
    // Old files of sweeps: true when an event stream spans the sweep length worked out from the
    // gaps (SpansSweepLength; each trigger chunk spans its sweep): it holds.
    bool TriggersSpanSweepLength() const;
    // True when most heads of event stream `s`, two or more, span just the sweep length.
    bool SpansSweepLength(const StreamState& s) const;
    // In sweeps of a known length, a head among `candidates` of a stream that spans it whose
    // times are out of order or span longer than a chunk can, one of them before the recording
    // or past the other by more than a chunk can last, gets that field from the other one.
    void PutTriggerTimesBackOnSweeps(const StreamState& s, const std::vector<size_t>& candidates);
    // In sweeps of a known length, a head among `candidates` of a stream that spans it, spanning
    // more, whose start lies inside the span of the head before it (which spans a sweep) and
    // whose stop lies a sweep or more behind that one's: its start lies a sweep before its stop.
    void PutOverlappingTriggerStartsBack(const StreamState& s, const std::vector<size_t>& candidates);
    // True in sweeps when s.chunks[k] is the stream's first chunk and starts at the recording's
    // start (SnapTimesToFrames).
    bool FirstStartsSweeps(const StreamState& s, size_t k) const;
    // True in sweeps when one of the few chunks behind chunk i is of samples and spans `bytes`
    // (PutEventSizesBackOnRecords).
    bool SamplesChunkOfSweepHolds(size_t i, uint64_t bytes) const;
    // The bytes, heads too, of one chunk of each stream of samples but `s` as large as its
    // chunk beside `offset` (BehindLostTriggerOfItsSize: lost with the trigger in front).
    uint64_t OtherStreamsChunkBytes(const StreamState& s, uint64_t offset) const;

    // Chunks of continuous old files whose stream paused on one side of them, or whose heads
    // moved.
    // True in a continuous recording when chunk i of frames of `s`, meeting its stream's chunk
    // on one side only, has on the other a pause of all streams: nothing in the file between it
    // and its stream's chunk there holds that time, and another stream resumes where it ends.
    bool GapBesideIsPause(const StreamState& s, size_t i, bool meetsBefore, bool meetsBehind) const;
    // True when the bytes of `span` (its head naming no stream or another one) are one chunk of
    // another stream of samples that fills its gap there, between two of its chunks, exactly.
    bool LostChunkOfAnotherStream(const StreamState& s, const KvtLostSpan& span) const;
    // UntrustedHeadsBetween without the stretches that are another stream's chunk.
    std::vector<size_t> OwnHeadsLostBetween(const StreamState& s, size_t from, size_t to) const;
    // In a continuous recording, true when chunk i of `s` starts where the bytes lost between
    // chunk `before` of `s` and it put it, read as the chunk a damaged size's head claims by its
    // times and, behind that, one chunk of another stream.
    bool LostHeadClaimLeadsTo(const StreamState& s, size_t before, size_t i) const;
    // True in a continuous recording when chunk i of `s` lies straight between two chunks of
    // another stream of samples that follow on, and its times are not those of the period the
    // streams' order of writing puts it in (WritesBefore): they moved.
    bool WrittenOutsideItsTimes(const StreamState& s, size_t i) const;
    // The time the unread bytes behind file offset `lastEnd` hold where each stretch there is
    // one chunk under a head naming a stream of samples, its payload that stream's frames: the
    // longest any one stream's frames last; 0 where a stretch is anything else.
    uint64_t OwnChunksTailReach(uint64_t lastEnd) const;
    // Puts back by a head the size of an event chunk of `s` behind which the chain lost its
    // way, where the bytes from a head before its end are a chunk of samples beside it or chunks
    // of samples in front of it, one after the other.
    void PutEventSizesBackByAHead(const StreamState& s, const std::vector<size_t>& candidates);
    // True in a continuous recording when damaged heads of `s` lie between its chunk `before`
    // and chunk i in the file and their bytes lead to i's start (LostBytesLeadTo).
    bool LostFramesLeadTo(const StreamState& s, size_t before, size_t i) const;

    // Sweeps lost whole where their heads named nothing.
    // True in sweeps of a known length when the run of chunks of `s` ending before the file
    // offset `offset` (`behind`: beginning behind it) lasts just a sweep, to a frame.
    bool WholeRunBeside(const StreamState& s, uint64_t offset, bool behind) const;
    // True in sweeps of a known length when the unread bytes in [fileFrom, fileTo) whose head
    // names no stream lie where every stream of samples has a whole sweep in front of them (and
    // behind, where it goes on) and hold a sweep's frames of each, a head each: a lost sweep.
    bool UnnamedBytesHoldSweep(uint64_t fileFrom, uint64_t fileTo) const;
    // The stop the header or a stored index claims where the bytes behind every trusted chunk
    // hold such a sweep, lying a sweep and a frame or more behind the samples; 0 otherwise.
    uint64_t LostSweepClaimedEnd(const KvtRecordingFacts& recording,
                                 const TrustedReach& trusted) const;

    // Chunks of samples whose two times moved by a chunk off bytes the chain could not read.
    // Moves chunk x of `s` by `shift` (`back`: earlier) where the one doubt between chunks
    // `from` and `to` in the file (the count: none) is a stretch the chain could not read that
    // holds a chunk of `s` as large as x, and beyond it nothing or another chunk's head and more
    // (PutBackMovedChunk).
    bool ShiftOntoLostBytes(StreamState& s, size_t x, uint64_t shift, bool back, size_t from,
                            size_t to);
    // Event chunks whose stop moved onto the period of a head behind them that the chain lost.
    // The start of the next head in the file of the stream whose heads are `candidates` behind
    // the k-th, one the chain could not follow among them (PutEventStopsBackToTheirPeriods).
    uint64_t NextHeadStart(const std::vector<size_t>& candidates, size_t k) const;
    // Event chunks whose size swallowed the whole damaged head behind them.
    // True when a run of chunks of samples side by side among the few in front of chunk i spans
    // `bytes`, heads and payloads.
    bool SamplesChunksNearHold(size_t i, uint64_t bytes) const;
    // Event chunks whose stop moved onto the next period, beside a chunk of samples whose start
    // is damaged. True when chunk n is of samples and spans `from` to `to`: trusted with those
    // times, or untrusted with its stop there and frames lasting from `from` (PutEventStopsBack...).
    bool SamplesSpan(size_t n, uint64_t from, uint64_t to) const;

    // Sweeps: the trigger of a sweep lost behind the data whose start moved back onto them.
    // Where trigger chunk `trigger`, behind every trusted chunk of samples (which stop by
    // `samplesStop`), began the sweep the bytes behind it held (SweepBehindTriggerEnd): its
    // start, or where its start moved back onto the samples, a sweep before its stop; 0: none.
    uint64_t SweepStartOfTriggerBehind(const KvtChunkInfo& trigger, uint64_t samplesStop) const;

    // Heads that the heads beside them place: a chunk moved past a longer pause, half a
    // stream's spans off their frames, a stop run a little late onto the next chunk.
    // In a continuous recording, a trusted chunk of `s` that meets its stream's next chunk, with
    // a single untrusted head of its stream between them in the file that starts with it and
    // whose frames last as long, moved on by its span (the head left there holds its own time):
    // where the time before it is free of its stream for as long as it lasts, it goes back by
    // its span and the head is mended in its place.
    bool PutBackBeforeHeadStartingWithIt(StreamState& s, size_t k);
    // True when every head among `candidates` of `s` whose times are in order but do not last
    // its frames has a head of another stream near it in the file that starts with it and
    // lasts just its frames' time, or ends with it and begins that time before: the recorder
    // kept to the frames there, and one time field of each such head moved.
    bool PeriodsBearOutFrames(const StreamState& s, const std::vector<size_t>& candidates) const;
    // True when the frames of trusted chunk s.chunks[k] end just where its stream's next chunk
    // starts, and its stop lies behind that by less than a frame: the stop moved late onto
    // the next chunk's time (SnapTimesToFrames puts it back), which a copy of the heads as they
    // are would lose.
    bool StopRunsIntoNext(const StreamState& s, size_t k) const;

    // In sweeps, puts back the stop of a head among `sound` (file order) that alone moved later
    // by less than a frame, past the start of the next, where its frames end at that start.
    void PutBackNudgedStops(const StreamState& s, const std::vector<size_t>& sound);
    // In sweeps, true when untrusted head c (`length` ns of frames), behind its stream's last
    // chunk `prev` (`next` NULL), starts before prev's stop and stops no later than the claimed
    // stop, where its frames counted back from there begin at prev's stop: its start was wrong.
    bool LastStopMeetsChunkBefore(const StreamState& s, const KvtChunkInfo* prev,
                                  const KvtChunkInfo* next, const KvtChunkInfo& c,
                                  uint64_t length) const;
    // True when a head's `payload` is the `bytes` of the frames its times tell and a head more
    // (PutSizesBackOnFrames, where the chain lost its way behind it).
    static bool SwallowedNextHead(uint64_t bytes, uint64_t payload);
    // True when a stream's first chunk starting at `start` starts at the header's start, within
    // `slack`: it opens the recording and did not move (MoveOutOfRunPastSweep).
    bool OpensRecording(uint64_t start, uint64_t slack) const;
    // True when trusted chunk i of an event stream holds bytes that are no whole number of the
    // fewest that its stream's chunks around it hold: no records (EdgeOfSweepGap).
    bool NoRecordsOfItsId(size_t i) const;
    // True in sweeps of a file that keeps its mode when `stop` lies past the claimed stop by
    // more than `slack`: a mend may not put a chunk there (TryMend).
    bool StopsPastClaimedSweeps(uint64_t stop, uint64_t slack) const;
    // Puts back the times of a head among an event stream's `candidates` (file order) whose
    // start lies past its stop by just the span of the head before or behind it.
    void PutSwappedEventTimesBack(const StreamState& s, const std::vector<size_t>& candidates);

    // Stray bytes at the end of the data of a whole file, behind its last event chunk.
    // Returns where bytes are left over once an event chunk whose size left them over, in a
    // continuous recording whose every chunk is counted, has taken them back (see the .cpp).
    uint64_t TakeStrayBytesIntoLastEventChunk(CFileReader* reader, uint64_t leftFrom,
                                              uint64_t limit);

    // Event heads whose start or id was damaged, judged by the heads beside them.
    // In an old file, puts the start of the file's first head, one of `candidates` of event
    // stream `s`, on the header's start where it lies more than a second before it and every
    // other head starts there or later: a damaged field would move the start back.
    void PutFarEventStartOnRecordingStart(const StreamState& s,
                                          const std::vector<size_t>& candidates);

    // True when chunk i, under an event stream's id, lies right behind a damaged head of that
    // id claiming just its times, and `s` holds none of them (StreamWhoseGapItFills).
    bool BehindLostTwinOfItsId(const StreamState& s, size_t i) const;

    // True when candidates[k] of `s`, its frames not lasting its times, lies
    // beside a head of `s` in the file with the same times whose frames do (SpansHold).
    bool TwinOfFramedHead(const StreamState& s, const std::vector<size_t>& candidates,
                          size_t k) const;
    // In sweeps, of twins sound[k] and sound[k + 1] (file order) of `s`, the one whose frames
    // fill the gap beside it within its sweep, where the other's gap is a pause; SIZE_MAX: none.
    size_t TwinMovedWithinItsSweep(const StreamState& s, const std::vector<size_t>& sound,
                                   size_t k) const;
    // True when a head naming an event stream, readable or lost, lies in the file between
    // chunks `from` and `to` (file order).
    bool EventHeadBetween(size_t from, size_t to) const;

    // Old files' heads of samples that no recorder wrote, though not held to their spans.
    // True in an old file when chunk c's payload of stream of samples `s` is no whole number of
    // its frames.
    bool BreaksOffInAFrame(const StreamState& s, const KvtChunkInfo& c) const;
    // True in an old file when chunk c of `s`, not its stream's first, begins before the
    // header's start and its frames do not last its span: its start was damaged.
    bool EarlyBehindItsFirst(const StreamState& s, const KvtChunkInfo& c) const;

    std::vector<KvtChunkInfo>* m_chunks = nullptr;
    std::vector<bool>* m_trusted = nullptr;
    const std::vector<KvtLostSpan>* m_lost = nullptr;
    std::vector<StreamState> m_streams;
    std::unordered_map<uint64_t, size_t> m_byKey;
    std::vector<UnreadBytes> m_unread;
    uint64_t m_dataStart = 0;
    uint64_t m_recordingStart = 0;
    uint64_t m_claimedStop = 0;    // the latest stop the header or a stored index claims
    uint64_t m_cutFrom = 0;        // where a cut broke off: the latest start of trusted samples
    bool m_chunksMayPrecedeStart = false;
    uint64_t m_extentStart = 0;
    uint64_t m_extentEnd = 0;
    uint64_t m_samplesEnd = 0;
    bool m_fileCut = false;
    bool m_endUnknown = false;
    bool m_allCounted = false;     // the file holds as many chunk heads as its header counts
    bool m_continuous = true;
    uint64_t m_sweepLength = 0;    // ns a sweep lasts in a triggered recording (0: unknown)
    bool m_triggersSpanSweep = false;  // an old file's triggers bear out m_sweepLength
    std::vector<std::pair<uint64_t, uint64_t>> m_storedSweeps;  // as KvtRecordingFacts has them
    uint64_t m_lostSweepEnd = 0;   // where a sweep lost behind the data ends (0: none)
    bool m_built = false;
};
