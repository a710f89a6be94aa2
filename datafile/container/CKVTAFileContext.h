#pragma once
// What the streams, data blocks and event cursors of a file need from the file that owns them.

#include <cstdint>
#include <memory>

#include "datafile/container/CKVTACoverage.h"
#include "datafile/container/CKVTATimeStamp.h"

class CKVTAChunkChain;
class CKVTAStreamIndex;

// The owning file implements this; the streams keep a pointer to it and never own it.
class CKVTAFileContext
{
public:
    virtual ~CKVTAFileContext() = default;

    // File header version (0..11): channel and stream record layouts follow it.
    virtual uint16_t GetHeaderVersion() const = 0;
    // Recording program version 1 (header 4): some settings records are laid out by it, and
    // each stream must use its own file's version, not that of the file opened last.
    virtual int32_t GetProgramVersion() const = 0;
    // Header recording mode: 0 continuous, 1 and 2 triggered.
    virtual int32_t GetRecordingMode() const = 0;
    // The recording's start time (header 872): the reference of every stamp handed out.
    virtual uint64_t GetStartTime() const = 0;
    // The data chunks of the file; NULL when no file is open.
    virtual CKVTAChunkChain* GetChunkChain() = 0;
    // Sparse index entries for time lookups; NULL when there are none.
    virtual const CKVTAStreamIndex* GetStreamIndex() const { return nullptr; }
    // Called for every data block handed out, before its stamps take GetStartTime() as their
    // reference; old files move their start time here (see KvtFirstBlockMovesStart).
    virtual void OnBlockHandedOut(uint64_t chunkStart) = 0;
    // What the coverage of the chunks needs of the recording, read when it is built.
    virtual KvtRecordingFacts GetRecordingFacts() const
    {
        KvtRecordingFacts facts;
        facts.start = GetStartTime();
        facts.chunksMayPrecedeStart = GetHeaderVersion() < 3;
        facts.continuous = GetRecordingMode() == 0;
        return facts;
    }
    // Progress of long work (text, percent); nonzero asks to cancel.
    [[nodiscard]] virtual int ReportProgress(const char* text, int percent) {
        (void)text;
        (void)percent;
        return 0;
    }

    // What sample access needs beyond the chunks: the recording's stop time (the stop stamp's
    // time, which the sweep count moves to the end of the last sweep) and the sweeps of a
    // triggered recording. A sweep getter
    // gives a new stamp (reference: the start time), NULL when i is not below the sweep count
    // or no sweeps are known; it never builds the index itself.
    virtual uint64_t GetStopTime() const { return 0; }
    virtual std::unique_ptr<CKVTATimeStamp> GetSweepStartTime(int i)
    {
        (void)i;
        return nullptr;
    }
    virtual std::unique_ptr<CKVTATimeStamp> GetSweepStopTime(int i)
    {
        (void)i;
        return nullptr;
    }
};

// The first data block handed out after Open (firstChunkTime still 0) fixes the start time of
// files of header version below 3: when the recorded start time lies after that block's start,
// the block's start is the real start. Sets firstChunkTime on the first call whatever the
// version. Returns true when the caller must move its start time (header 872, the start stamp's
// time and the references of its file, start and stop stamps) to chunkStart.
inline bool KvtFirstBlockMovesStart(uint16_t headerVersion, uint64_t& firstChunkTime,
                                    uint64_t startTime, uint64_t chunkStart)
{
    if (firstChunkTime != 0)
        return false;
    firstChunkTime = chunkStart;
    return headerVersion < 3 && startTime > chunkStart;
}
