#pragma once
// One recorded-data file opened for reading: header, layout, stimulator settings, streams, times
// and sweeps, with the repairs that old recordings need.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datafile/container/CFileReader.h"
#include "datafile/container/CKVTAChunkChain.h"
#include "datafile/container/CKVTAFileContext.h"
#include "datafile/container/CKVTAFileHeader.h"
#include "datafile/container/CKVTAStream.h"
#include "datafile/container/CKVTAStreamIndex.h"
#include "datafile/container/CKVTATimeStamp.h"
#include "datafile/layout/CKVLayout.h"
#include "datafile/settings/CMOrvexStimulatorProperty.h"

// Program versions 1 and 2 of the file opened last. Settings readers take the version of the
// stream's own file (GetProgramVersion) instead: several files may be open at once.
extern int32_t KvtOpenedProgramVersion;
extern int32_t KvtOpenedProgramVersion2;

// Long work reports (text, percent); a nonzero answer asks to cancel.
using KvtProgressCallback = std::function<int(const char* text, int percent)>;

// The text of the last failed merge step (empty after a successful one), process-wide.
constexpr size_t kKvtLastErrorTextBytes = 256;
extern char KvtLastErrorText[kKvtLastErrorTextBytes];

class CKVTAStreamFile : public CKVTAFileContext
{
public:
    enum OpenResult : int {
        kOpenOk = 0,
        kOpenCannotOpen = 1,   // fopen "rb" failed
        kOpenNotRecording = 2, // the first 8 bytes are missing or not "KVTSTRM "
        kOpenBadHeader = 3,    // the header area cannot be read (see ReadHeader)
    };

    CKVTAStreamFile();
    ~CKVTAStreamFile() override;
    CKVTAStreamFile(const CKVTAStreamFile&) = delete;
    CKVTAStreamFile& operator=(const CKVTAStreamFile&) = delete;

    // Opens `path` (closing any file first), reads everything up to the data start and repairs
    // what old recording programs left unset. Every per-file value starts over, so nothing of a
    // file opened before on this object carries over. After a failure the object is closed.
    [[nodiscard]] int Open(const std::string& path);
    // Closes the file, drops header, streams and index. Layout and stimulator settings stay.
    void Close();
    // Close, then forget the remaining per-file values (trigger indexes back to -2). Returns 0.
    int Reset();
    bool IsOpen() const { return m_file != nullptr; }
    const std::string& GetPath() const { return m_path; }

    // Reads from the open file: "LISThdr ", the file header, the layout or the default layout,
    // the stimulator chunk, the streams, "LISTstrm" (version 0) or "IDX1POS " (version 3 on)
    // and a stored index. 1 ok; 0 on a short read, a wrong id, an unknown header version or
    // recording mode, a failed layout, stimulator or stream record. An index position that does
    // not lead to "IDX1KVT " inside the file counts as none; a stored index that cannot be read
    // is dropped (index flag cleared) without failing the file.
    [[nodiscard]] int ReadHeader();

    // Header getters: 0 (or empty, -1 where stated) when no header is loaded.
    int32_t GetProgramVersion() const override;
    int32_t GetProgramVersion2() const;
    uint16_t GetHeaderVersion() const override;
    int32_t GetRecordingMode() const override;
    int GetSourceType() const;             // low 16 bits of the layout kind
    int32_t GetSampleRate() const;         // 1/1000 Hz
    std::string GetTextBlock() const;
    // Calendar fields (UTC) of the start time.
    int GetStartYear() const;
    int GetStartMonth() const;
    int GetStartDay() const;
    int GetStartHour() const;
    int GetStartMinute() const;
    int GetStartSecond() const;
    int GetStartMillisecond() const;
    // The low 32 bits of start / 10^6 (milliseconds), divided by 1000: this wraps every
    // 49.7 days of absolute time, as stored values of older tools expect; not a duration.
    uint32_t GetStartTimeSeconds() const;
    uint64_t GetStartTimeMicroseconds() const;
    uint64_t GetStartTime() const override;
    uint64_t GetStopTime() const override { return m_stopStamp.GetTime(); }

    // Number of streams read (the header count once open; never negative).
    int GetStreamCount() const;
    // Stream i, NULL outside 0..count-1; owned by the file until Close.
    CKVTAStream* GetStream(int i) const;

    // Sweeps. GetSweepCount makes sure the index exists first and moves the stop stamp to the
    // end of the last sweep (to the start time when there is none). The other getters use the
    // index as it is: NULL or 0 when i is not below the sweep count.
    int GetSweepCount();
    std::unique_ptr<CKVTATimeStamp> GetSweepStartTime(int i) override;
    std::unique_ptr<CKVTATimeStamp> GetSweepStopTime(int i) override;
    uint64_t GetSweepStartValue(int i) const;
    // Makes sure the index exists and agrees with what the file holds (CKVTACoverage): stored
    // sweeps out of order give way to those of the trusted chunks, no sweep reaches past the
    // extent of the data, and the last sweep of a continuous recording ends there. Moves the
    // stop stamp as GetSweepCount does. Reads every chunk header once per Open; exports call it
    // before they walk the data.
    void SettleSweeps();
    // -1 for a continuous recording, else the window extent in whole ms.
    int GetSweepLength() const;
    int GetWindowStart() const;            // ms, truncated (INT32_MIN when not a number)
    int GetWindowExtent() const;

    int GetTriggerStreamIndex() const { return m_startTrigger; }
    int GetStopTriggerStreamIndex() const { return m_stopTrigger; }
    int SetTriggerStreamIndex(int index);
    int SetStopTriggerStreamIndex(int index);
    // Index of the first stream whose 8-byte stream id equals the 8 bytes given (a shorter id
    // counts as padded with zeros); -1 when none.
    int FindStream(const char* id8) const;

    const CKVTATimeStamp& GetFileTimeStamp() const { return m_fileStamp; }
    const CKVTATimeStamp& GetStartTimeStamp() const { return m_startStamp; }
    const CKVTATimeStamp& GetStopTimeStamp() const { return m_stopStamp; }

    int32_t HasStoredIndex() const;
    int32_t GetChunkTimeLimit() const;
    int32_t GetVersion8Value() const;
    std::string GetHeaderTitle() const;
    std::string GetHeaderSubtitle() const;
    // Info record i (0..3) of the header; false (outputs untouched) for another i or no header.
    [[nodiscard]] bool GetHeaderRecordValues(int i, int32_t ints[6], double doubles[4]) const;
    // Its text; empty for another i or no header.
    std::string GetHeaderRecordText(int i) const;
    // The header block, NULL when none is loaded.
    const CKVTAFileHeader* GetHeader() const { return m_hasHeader ? &m_header : nullptr; }
    CKVTAFileHeader* GetHeader() { return m_hasHeader ? &m_header : nullptr; }

    FILE* GetFileHandle() const { return m_file; }
    CFileReader& GetReader() { return m_reader; }
    uint64_t GetDataStart() const { return m_dataStart; }
    // Where the stored index begins ("IDX1KVT "); 0 when there is none. Data ends there.
    uint64_t GetIndexPosition() const { return m_indexPosition; }
    int64_t GetListHeaderSize() const { return m_listHeaderSize; }

    CKVLayout& GetLayout() { return m_layout; }
    const CKVLayout& GetLayout() const { return m_layout; }
    CMOrvexStimulatorProperty& GetStimulator() { return m_stimulator; }

    // Set while opening an old triggered recording that has only raw (and trigger) streams and
    // a long chunk: the index then keeps its sweeps only.
    bool GetDiscardIndexEntries() const { return m_discardIndexEntries; }

    // Open-time measurements on the first stream that has a data block: 1 when one of its first
    // 46 blocks does not start at the stop of the block before; the span from its first block to
    // the first gap in ms (0 without a gap; sets the long-chunk flag when a block lasts longer
    // than 128 ms); the smallest first-block start time of all streams (0 when none).
    // A copy cut short counts a gap where another stream's chunks go on after a pause behind the
    // first stream's last block.
    int HasChunkGaps();
    uint64_t GetFirstSweepLength();
    uint64_t GetEarliestChunkTime();

    // Calls the callback (0 without one). A call with the text and percent of the last one
    // within 200 ms of it is dropped and gives 0.
    // The index: sparse chunk entries for time lookups and the sweep lists.
    const CKVTAStreamIndex& GetIndex() const { return m_index; }
    const CKVTAStreamIndex* GetStreamIndex() const override { return m_index.HasEntries() ? &m_index : nullptr; }
    // Scans every data chunk to build the index; false only when the progress callback cancelled.
    [[nodiscard]] bool GenerateIndex();
    // How long a sweep of a triggered recording lasts (ns): the header's window extent; 0 when
    // it tells none.
    uint64_t SweepLengthNs() const;
    // Reads the index cache file of this recording; false without a cache folder (nothing sets
    // one, so always) or on any read or verification failure (the index is then cleared).
    [[nodiscard]] bool LoadIndexCache();

    // File-level walk over the trusted data chunks in file order (any stream), for the merge:
    // the first chunk, behind a damaged head at the data start too, and the chunk behind
    // `block`; NULL at the end. The merge copies what every stream's walk finds.
    std::unique_ptr<CKVTADataBlock> GetFirstChunk();
    std::unique_ptr<CKVTADataBlock> GetNextChunk(const CKVTADataBlock& block);

    void SetProgressCallback(KvtProgressCallback callback) { m_progress = std::move(callback); }
    [[nodiscard]] int ReportProgress(const char* text, int percent) override;

    CKVTAChunkChain* GetChunkChain() override { return m_file ? &m_chain : nullptr; }
    // The header's start and mode, its stop or a stored index's last sweep stop (the later) as
    // the claimed stop, and the index position as stored.
    KvtRecordingFacts GetRecordingFacts() const override;
    void OnBlockHandedOut(uint64_t chunkStart) override;

    // ---- Writing (CKVTAStreamFile.Write.cpp) and merging (CKVTAStreamFile.Merge.cpp) ----
    // Every failing step below leaves its reason in KvtLastErrorText.

    // Writes the header area of this object at the current position of `file`: magic, "LISThdr ",
    // the 2328-byte header block as it is, the layout chunk (layout kind 3), the stimulator chunk
    // (stimulator flag set), every stream, and "IDX1POS " with a 0 value whose position is kept
    // for FinaliseMerge. The data starts where it ends. 0 written, 1 when a write failed.
    [[nodiscard]] int WriteHeader(FILE* file);
    // Last step of a merge: generates the index over the chunks written (read back from the
    // output; triggered recordings keep their inputs' sweeps), writes it behind them, writes the header area again over the first one (final
    // stop time, chunk count, index flag) and sets the index position. 0 done; 1 cancelled
    // ("Merging canceled.") or a write failed.
    [[nodiscard]] int FinaliseMerge();

    // Merges the recordings `files` (sorted in place by start time) into a new file at
    // `outputPath`, this object being the output. 0 merged; 1 refused, failed or cancelled;
    // 2 merged, with every chunk the inputs could give, but some input lacks data (a damaged
    // head, a file cut short): GetMergeLossText names which input lacks which times, and the
    // output is whole as far as the inputs are. Nothing is opened for writing when the files
    // cannot be merged, when an input is not open,
    // or when the output is one of the inputs (same device and inode). The output file is
    // closed in every case (header and streams stay on this object); a failure may leave a
    // partial output file behind, which the caller deletes.
    [[nodiscard]] int MergeFiles(CKVTAStreamFile** files, int count, const std::string& outputPath,
                                 KvtProgressCallback progress);
    // After a merge that returned 2: one line per stretch an input lacks ("Data missing from
    // 0.300 s to 0.400 s in Electrode Raw Data of /data/a.kvd."); empty otherwise.
    const std::string& GetMergeLossText() const { return m_mergeLossText; }
    // 0 at the first difference that forbids a merge; else 3 when every file carries the first
    // file's recording-button press time (the parts of one split recording), 1 otherwise; 3 for
    // a count below 1. Sets the merge id and column of every channel of the files.
    [[nodiscard]] static int CheckMergeCompatibility(CKVTAStreamFile* const* files, int count);
    // Stable sort by header start time (earliest first). Returns 0.
    static int SortFilesByStartTime(CKVTAStreamFile** files, int count);
    // Matches the channels of `t` (another file) to those of `s` (the first file) by channel
    // number and gives t's channels their merge id and column. False with a text on a mismatch.
    [[nodiscard]] static bool CheckStreamChannels(const CKVTAStream& s, CKVTAStream& t);
    // Takes header, layout, stimulator settings and streams from `first`, writes the header area
    // into the open output and appends `first`. 0 done, 1 cancelled or failed.
    [[nodiscard]] int WriteMergeStart(CKVTAStreamFile& first);
    // Appends every data chunk of `input` to the open output, its times moved to follow the
    // data written so far in a continuous recording. 0 done, 1 cancelled or failed.
    [[nodiscard]] int AppendFile(CKVTAStreamFile& input);
    // Triggered recordings: adds the sweeps of `input`, as its readers settle them, to those the
    // merged file keeps (its chunk heads may no longer tell them: a time a nanosecond off, a
    // damaged stop the stored sweeps outweigh).
    void KeepInputSweeps(CKVTAStreamFile& input);
    // Adds the holes of every stream of `input`, and in sweeps each sweep a stream cannot give
    // whole, to the merge's loss text.
    void NoteInputHoles(CKVTAStreamFile& input);
    // Once the output is closed: reads it back and adds each hole its reading finds where no
    // input's hole (moved as its chunks were) lies, to the merge's loss text, for the streams
    // of samples and, in sweeps, the triggers. The copied heads and the inputs' sweeps stored
    // in its index may read otherwise than the input's account of them did: the output then
    // lacks what the input gave.
    void NoteHolesOfTheOutput();

    // Copies the last merge error text into `buffer` of n bytes, always terminated (at most
    // n - 1 characters: pass the buffer's size).
    static void GetLastErrorText(char* buffer, int n);
    static std::string GetLastErrorText();
    // Replaces the text (cut to fit the buffer); NULL clears it.
    static void SetLastErrorText(const char* text);

private:
    uint64_t m_indexPositionField = 0;  // where WriteHeader put the "IDX1POS " value
    bool m_mergeWroteData = false;      // a chunk of an earlier input was written
    // The sweeps of the triggered inputs as their readers settle them: the merged file keeps
    // them (start, stop).
    std::vector<std::pair<uint64_t, uint64_t>> m_mergeSweeps;
    std::string m_mergeLossText;        // see GetMergeLossText
    // The holes of the inputs, moved as their chunks were, by output stream id.
    std::vector<std::pair<std::string, KvtHole>> m_mergeInputHoles;
    bool m_mergeInputsAsWritten = true;  // every input so far read exactly as it was written
    std::vector<char> m_writeBuffer;    // stdio buffer of the merge output; outlives the FILE*

private:
    void ResetPerFileState();
    [[nodiscard]] bool ReadLayoutAndStimulator();
    [[nodiscard]] bool ReadStreams();
    [[nodiscard]] bool ReadDataStart();
    void CheckIndexPosition();
    void RepairOldRecording();
    // True for the old program versions that stored neither the recording mode nor the window:
    // the gaps between chunks tell both.
    bool WroteNoModeOrWindow() const;
    // Puts the start back to `headerStart` where an old file's first block moved it, and lets
    // the first block of the chunks as judged now move it (see KvtFirstBlockMovesStart).
    void StartFromFirstBlockAgain(uint64_t headerStart);
    void MoveStart(uint64_t start);
    // Measures the first sweep of such a recording again once its chunks are judged as sweeps.
    void MeasureFirstSweepAgain();
    // True when the file was cut short and the recording went on behind `last`, the last block
    // of its first stream, only after a pause of `chunkTime` or more.
    bool GoesOnAfterPause(const CKVTADataBlock& last, uint64_t chunkTime);
    // True when a trusted chunk lying behind `last` in the file starts `chunkTime` or more after
    // it stops, and none starts sooner.
    bool PauseBehind(const CKVTADataBlock& last, uint64_t chunkTime);
    // True when a damaged copy's streams of samples pause, though its first stream may not show
    // it: the chunks around the pause or the pause itself lost.
    bool DamagedCopyPauses();
    // True when a damaged copy's file holds, straight behind `last` (the last block of its first
    // stream) and with no bytes lost between, a trusted chunk that starts `chunkTime` or more
    // after it stops: the time a lost chunk was given behind `last` hides that pause.
    bool DamagedCopyPausesBehind(const CKVTADataBlock& last, uint64_t chunkTime);
    // True when the heads behind `last` that none could trust all claim a later time (a pause).
    bool DamagedHeadsPauseBehind(const CKVTADataBlock& last, uint64_t chunkTime);
    // Where the time that `stream` lost to damaged heads right behind `stop` ends (`stop` when
    // it lost none there).
    static uint64_t LostUntil(CKVTAStream& stream, uint64_t stop);
    // As LostUntil for the sweep that begins at `sweepStart`, but `stop` where a trusted trigger
    // chunk spans from that start to `stop`: the sweep ended there.
    uint64_t SweepLostUntil(CKVTAStream& stream, uint64_t sweepStart, uint64_t stop);
    // The time from `runStart` to `stop` of `stream`'s blocks, where a trusted trigger chunk
    // lasts as long (a whole sweep); 0 where none does.
    uint64_t TriggerSpanningRun(CKVTAStream& stream, uint64_t runStart, uint64_t stop);
    // True when the block of `stream` that starts at `nextStart` begins a sweep after the one
    // whose data end at `stop`.
    static bool PausesBefore(const CKVTAStream& stream, uint64_t stop, uint64_t nextStart);
    // The stop of `block` of `stream` as a sweep's length counts it: in a damaged file, the end
    // of its frames where its stop falls short of them by less than a frame.
    uint64_t StopOfFrames(CKVTAStream& stream, const CKVTADataBlock& block);
    CKVTAStream* FirstStreamWithData(std::unique_ptr<CKVTADataBlock>& first);
    SYSTEMTIME StartCalendar() const;

    void ClearIndex() { m_index.Clear(); }
    [[nodiscard]] bool ReadStoredIndex();
    void EnsureIndex();
    int IndexSweepCount() const { return m_index.GetSweepCount(); }
    [[nodiscard]] bool IndexSweep(int i, uint64_t& start, uint64_t& stop) const;
    bool StoredSweepsInOrder() const;
    // The latest end of the data of each sweep (rising sweep starts): the stop, or the end of
    // the hole right behind it, of the trusted chunks of the streams of samples that start in
    // it; `has` false where none does.
    void SweepDataEnds(std::vector<uint64_t>& ends, std::vector<bool>& has);
    // Starts the chunk chain afresh at the data start, knowing every stream's chunk id.
    void ResetChain(uint64_t indexPosition);
    std::vector<CKVTAStream*> StreamList() const;

    FILE* m_file = nullptr;
    CFileReader m_reader;
    CKVTAChunkChain m_chain;
    std::string m_path;

    bool m_hasHeader = false;
    CKVTAFileHeader m_header;
    std::vector<std::unique_ptr<CKVTAStream>> m_streams;
    int64_t m_listHeaderSize = 0;
    uint64_t m_dataStart = 0;
    uint64_t m_indexPosition = 0;
    uint64_t m_storedIndexPosition = 0;  // as stored, even where it leads to no index
    CKVTAStreamIndex m_index;
    std::string m_indexCacheFolder;  // no operation sets it: no cache file is read or written

    CKVTATimeStamp m_fileStamp;
    CKVTATimeStamp m_startStamp;
    CKVTATimeStamp m_stopStamp;
    uint64_t m_firstChunkTime = 0;

    int m_startTrigger = -2;   // -2 not yet known, -1 none
    int m_stopTrigger = -2;
    bool m_onlyRawStreams = false;
    bool m_longChunk = false;
    bool m_discardIndexEntries = false;

    KvtProgressCallback m_progress;
    bool m_progressReported = false;
    std::string m_progressText;
    int m_progressPercent = 0;
    uint32_t m_progressTick = 0;

    CKVLayout m_layout;
    CMOrvexStimulatorProperty m_stimulator;
};
