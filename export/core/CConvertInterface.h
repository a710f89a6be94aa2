#pragma once
// The common base of the export converters: options, data source and selection, the conversion
// frame (continuous, all sweeps into one file, one file per sweep), the raw-data readers, the
// progress callback and the error reporting.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "export/core/ConvertOptions.h"

class CKVD;
class CKVDataSelection;
class CKVTAStream;
class CKVTATimeStamp;
class CMessageReporter;

// Result of a conversion. The numbers are fixed: ExportResultText words each one for both front
// ends and scripts read the console program's messages.
enum ConvertResult : int {
    kConvertOk = 0,
    kConvertNoChannels = 1,       // the selection is empty
    kConvertOpenFailed = 2,       // the output file could not be opened
    kConvertCloseFailed = 3,      // the output file could not be finished and closed
    kConvertHeaderFailed = 4,     // the ABF header could not be completed
    kConvertCancelled = 5,        // the progress callback asked to stop
    kConvertChannelsMissing = 6,  // set by CExportDriver: channels not in every input
    kConvertIncompatible = 7,     // the selected streams cannot be written together
    kConvertRatesDiffer = 8,      // the selected streams have different sample rates
    kConvertUnused = 9,
    kConvertReported = 10,        // a failure the converter has already reported
};

// What a writer does with the rows of the time a stream lost.
enum class MissingRows {
    kFilled,     // written as 0-volt rows, so later rows keep their time
    kLeftEmpty,  // written with that stream's cells empty; a row left with no value at all is
                 // not written (every row carries its own time)
    kLeftOut,    // not written
};

// Progress of a conversion: (context, percent 0..100, step text); nonzero asks to stop.
using ConvertProgressCallback = int (*)(void* context, int percent, const char* text);

// Recording type values of the document: 1 continuous, anything else triggered (sweeps).
constexpr uint16_t kRecordingContinuous = 1;
constexpr uint16_t kRecordingTriggered = 2;

class CConvertInterface
{
public:
    // `dataSource` and `selection` stay the caller's. `recordingType` points at the document's
    // recording type word; without one the data source's recording mode decides (0 continuous).
    CConvertInterface(CKVD* dataSource, CKVDataSelection* selection,
                      const uint16_t* recordingType = nullptr);
    virtual ~CConvertInterface();
    CConvertInterface(const CConvertInterface&) = delete;
    CConvertInterface& operator=(const CConvertInterface&) = delete;

    // Converts the data source into the output name (or the sweep files named after it). The
    // sweep-number base and time offset run across the inputs of one batch; only the text
    // converter reads them. With `openAndClose` false the caller opens the output before the
    // first input and closes it after the last. Returns a ConvertResult.
    [[nodiscard]] virtual int Convert(int* sweepBase, int64_t* timeOffset, bool openAndClose,
                                      bool firstInput);
    // "abf", "txt" or "raw", and the command-line switch of the format.
    virtual const char* GetFileExtension() const = 0;
    virtual const char* GetTaskOption() const = 0;
    // Opens the output (and writes its head); false after the failure was reported. A path that
    // is the data source's own file is refused.
    [[nodiscard]] virtual bool OpenOutputFile(const std::string& path) = 0;
    // Finishes and closes the output; false when none was open or finishing it failed.
    [[nodiscard]] virtual bool CloseOutputFile() = 0;
    [[nodiscard]] virtual int WriteContinuousData(int64_t* timeOffset, bool newOutput,
                                                  bool firstInput) = 0;
    // `sweep` counts from 0.
    [[nodiscard]] virtual int WriteSweepData(unsigned sweep, int* sweepBase, int64_t* timeOffset,
                                             bool newOutput, bool firstSweep) = 0;

    // Options and names a front end sets before Convert.
    ConvertOptions& Options() { return m_options; }
    void SetOutputName(const std::string& path) { m_outputName = path; }
    const std::string& GetOutputName() const { return m_outputName; }
    void SetInputName(const std::string& path) { m_inputName = path; }
    const std::string& GetInputName() const { return m_inputName; }
    // Triggered recordings: true writes all sweeps into one file, false one file per sweep.
    void SetSingleOutput(bool single) { m_singleOutput = single; }
    bool GetSingleOutput() const { return m_singleOutput; }
    // Sweeps counted from 1, both inclusive; Convert refuses a range outside 1..sweep count.
    void SetSweepRange(unsigned first, unsigned last);
    unsigned GetFirstSweep() const { return m_firstSweep; }
    unsigned GetLastSweep() const { return m_lastSweep; }

    void SetDataSource(CKVD* dataSource) { m_dataSource = dataSource; }
    CKVD* GetDataSource() const { return m_dataSource; }
    void SetSelection(CKVDataSelection* selection) { m_selection = selection; }
    CKVDataSelection* GetSelection() const { return m_selection; }
    // The document's opened files when it holds several; none for a single file.
    void SetFileList(const std::vector<CKVD*>* files) { m_fileList = files; }
    const std::vector<CKVD*>* GetFileList() const { return m_fileList; }

    void SetProgressCallback(ConvertProgressCallback callback, void* context)
    {
        m_progress = callback;
        m_progressContext = context;
    }
    // Console: messages are printed on standard output. Otherwise they go to the reporter
    // (standard output as well while none is set).
    void SetConsole(bool console) { m_console = console; }
    void SetReporter(CMessageReporter* reporter) { m_reporter = reporter; }

    // Shows one message: printed with "\n" on the console, else handed to the reporter.
    virtual void ReportError(const std::string& text);

    // True when the last Convert went through the whole recording but a selected stream lost
    // time, or the file was cut short where nothing tells how long the recording was: it named
    // it and returned kConvertReported. A batch may go on with the next input then; the output
    // holds every block.
    bool HasMissingData() const { return m_dataMissing; }

    // CKVDataSelection::Remove on the converter's selection.
    [[nodiscard]] bool RemoveSelectedChannel(const std::string& streamName,
                                             const std::string& channelName, int bit);
    // Appends each distinct stream name of the selection in order of first appearance. True
    // unless exactly one name results.
    bool CollectSelectedStreamNames(std::vector<std::string>& names) const;
    // True when every named stream of the data source has the first one's rate in Hz. Names the
    // data source does not hold are not compared.
    bool HaveSameSampleRate(const std::vector<std::string>& names) const;

    // The output name of one sweep file: "_sweep<n>" before the extension (the last "." of the
    // file name; appended when the file name has none); folder names are never touched. The
    // export dialog's overwrite question asks about these very names.
    static std::string SweepFileName(const std::string& outputName, unsigned sweep);
    // The same name with "_sweep*" in place of the number, as the overwrite question shows it.
    static std::string SweepFilePattern(const std::string& outputName);
    // `text` inserted before the extension of the file-name part, as SweepFileName does.
    static std::string InsertBeforeExtension(const std::string& outputName, const std::string& text);
    // The stream kinds the binary and ABF converters write: raw electrode, channel-tool, analog,
    // filtered and digital data (not digital events).
    static bool IsWritableRawStream(const std::string& streamName);

protected:
    // Per-converter steps of the frame. CheckBeforeOpen runs before any output is opened;
    // FinishOutput after the data of one output, before the frame closes it (`sweeps` for
    // triggered recordings, `complete` when the frame is to finish the file).
    [[nodiscard]] virtual int CheckBeforeOpen() { return kConvertOk; }
    [[nodiscard]] virtual int FinishOutput(bool sweeps, bool complete);

    bool IsContinuous() const;
    // Number of the data source's sweeps; 0 without data source.
    int GetSweepCount() const;
    // Calls the progress callback; nonzero when it asks to stop (0 without callback).
    [[nodiscard]] int ReportProgress(int percent, const char* text);

    // The checks every raw writer makes, in this order: no stream 1, rates 8, a stream missing
    // from the data source or not writable 7. `names` receives the distinct stream names.
    [[nodiscard]] int CheckRawSelection(std::vector<std::string>& names) const;
    // True when `path` names the data source's own file (or another opened input).
    bool IsInputFile(const std::string& path) const;

    // One column per selection entry, rows of one value per entry. Both readers size `out` to
    // rows x entries, fill it and give the rows in `samplesPerChannel`; a column whose channel
    // the stream lacks holds zeros. With `subtractAdcZero` each stream's ADC zero is taken off
    // (16-bit wrap).
    //
    // The window [startUs, endUs) is read in microseconds since the file's start. Every frame
    // a trusted chunk holds goes to the row its time gives; the rows of a stream that no chunk
    // of it fills (a hole, a short read, a stream that ends or pauses before the others) hold
    // that stream's 0-volt value in its columns only, and IsCellMissing tells them. Only what
    // was lost is noted for the block walk to name at its end: the holes of the selected
    // streams in the window, and rows a trusted chunk holds that could not be read (a file cut
    // while it is read). Rows a stream simply does not have were never recorded.
    // A stream that cannot be read at all (not in the file, no channels, more values than one
    // read counts) is reported at once ("Error reading raw data stream %s. Excluded from
    // conversion."): the window comes back false with every row at 0 V, and Convert ends with
    // kConvertReported.
    [[nodiscard]] bool ReadContinuousRawData(int64_t startUs, int64_t endUs,
                                             std::vector<uint16_t>& out, int& samplesPerChannel,
                                             bool subtractAdcZero);
    // One whole sweep (index from 0). False, with `out` empty and 0 rows, when a hole of a
    // selected stream meets the sweep, a stream delivers fewer values than the sweep holds, its
    // rows differ from the first stream's, or it holds more values than one read counts
    // (INT_MAX); the caller reports "Error reading sweep %i. Stopped conversion.".
    [[nodiscard]] bool ReadSweepRawData(int sweep, std::vector<uint16_t>& out,
                                        int& samplesPerChannel, bool subtractAdcZero);
    // True when cell (row, entry) of the last continuous window read is missing (filled).
    bool IsCellMissing(size_t row, size_t entry) const;
    bool HasMissingCells() const { return !m_missingCells.empty(); }
    // The value that stands for 0 V in column `entry`: the ADC zero of its stream, or 0 when
    // the zero is subtracted.
    uint16_t ZeroVoltValue(int entry, bool subtractAdcZero) const;

    // Walks the recording in one-second blocks [0, 1 s), [1 s, 2 s), ... up to its stop time,
    // the last one shorter, calling `writeBlock(startUs, endUs)`; a nonzero result ends the walk.
    // With `withProgress`, after each block the callback gets end x 100 / stop and
    // "Raw data streams"; a stop request gives 5. What the blocks read found lost (see
    // ReadContinuousRawData) is named at the end in one message, one line per stretch ("Data
    // missing from 1.000 s to 2.000 s in Analog Raw Data: filled with 0 V."), and Convert then
    // returns kConvertReported once the output is finished. `missingRows` is what the writer
    // does with the lost rows; with kLeftEmpty a stretch whose rows are written with empty
    // cells is "left empty", one whose rows hold no value at all "not written".
    [[nodiscard]] int ForEachContinuousBlock(
        const std::function<int(int64_t startUs, int64_t endUs)>& writeBlock, bool withProgress,
        MissingRows missingRows = MissingRows::kFilled);
    // Names the holes of the selected streams that meet [startUs, endUs) (microseconds since the
    // file's start) in one message, one line per stretch ("Data missing from 0.300 s to 0.400 s
    // in Spikes 1: not written."); Convert then returns kConvertReported once it is done.
    void NameSelectedHoles(int64_t startUs, int64_t endUs);
    // The recording's stop time in microseconds since its start; 0 without data source.
    int64_t RecordingStopUs() const;

    ConvertOptions m_options;

private:
    struct StreamColumns
    {
        CKVTAStream* stream = nullptr;
        std::string name;
        int channels = 0;
        std::vector<std::pair<int, int>> columns;   // (entry, channel index or -1)
        bool identity = false;                      // entries 0..n-1 are channels 0..n-1
        size_t unreadFrom = SIZE_MAX;               // the window's first row a failed read lost
    };
    [[nodiscard]] bool MapStreams(std::vector<StreamColumns>& streams) const;
    [[nodiscard]] int WalkContinuousBlocks(const std::function<int(int64_t, int64_t)>& writeBlock,
                                           bool withProgress);
    void NoteMissing(const std::string& stream, int64_t startUs, int64_t endUs, MissingRows done);
    // kConvertReported when the sweeps written named missing time, else kConvertOk.
    [[nodiscard]] int SweepsResult();
    // Once the whole recording is written: where the file was cut short and nothing claims how
    // long the recording was, no hole reaches past the data, so the cut is named here ("The
    // file ends inside a chunk at 0.600 s: ..."), and Convert returns kConvertReported.
    void NameCutWithoutEnd();
    // Microseconds from the recording's start to the absolute time t (0 before it).
    int64_t SinceStartUs(uint64_t t) const;
    // The holes of `stream` within [startUs, endUs), in microseconds from the start.
    std::vector<std::pair<int64_t, int64_t>> HolesWithin(CKVTAStream& stream, int64_t startUs,
                                                         int64_t endUs) const;
    void ReportMissing();
    // Notes what the mapped streams lost in the window [startUs, endUs) of `rows` rows: their
    // holes, and the rows a failed read left unfilled; `rowsWritten` false when the writer
    // leaves the whole window out.
    void NoteWindowLosses(int64_t startUs, int64_t endUs, size_t rows, bool rowsWritten);
    // Reads stream `s` into its columns of the window's rows, filling the rows it lacks and
    // listing them in m_missingCells; `direct` reads a whole-selection stream straight into
    // `out`.
    void ReadStreamRows(StreamColumns& s, size_t rows, const CKVTATimeStamp& from, const CKVTATimeStamp& to,
                        std::vector<uint16_t>& out, size_t entries, bool direct, bool subtractAdcZero);
    // Reads at most `want` values of stream `s` in [from, to) into their columns of the rows of
    // `out`; returns what GetRawData would have copied. With `placed`, frames go to the rows
    // their times give and the runs of rows filled are listed there; `failedRow` gets the row
    // where a failed read stopped the copy.
    size_t ReadIntoColumns(const StreamColumns& s, size_t want, const CKVTATimeStamp& from,
                           const CKVTATimeStamp& to, uint16_t* out, size_t entries, bool subtractAdcZero,
                           std::vector<std::pair<size_t, size_t>>* placed, uint64_t* failedRow = nullptr);
    void FillStreamRows(const StreamColumns& s, size_t from, size_t to, uint16_t* out, size_t entries,
                        bool subtractAdcZero) const;
    void FillZeroVolts(std::vector<uint16_t>& out, size_t rows, bool subtractAdcZero) const;

    std::string m_outputName;
    bool m_singleOutput = true;
    unsigned m_firstSweep = 0;
    unsigned m_lastSweep = 0;
    std::string m_inputName;
    const std::vector<CKVD*>* m_fileList = nullptr;
    CKVD* m_dataSource = nullptr;
    CKVDataSelection* m_selection = nullptr;
    const uint16_t* m_recordingType = nullptr;
    bool m_console = false;
    CMessageReporter* m_reporter = nullptr;
    void* m_progressContext = nullptr;
    ConvertProgressCallback m_progress = nullptr;
    std::vector<uint16_t> m_streamBuffer;   // one piece of one stream's frames
    struct MissingStretch
    {
        std::string stream;
        int64_t startUs = 0;
        int64_t endUs = 0;
        MissingRows done = MissingRows::kFilled;
    };
    struct MissingCells
    {
        size_t stream = 0;      // index into m_mapped
        size_t fromRow = 0;
        size_t toRow = 0;
    };
    std::vector<MissingStretch> m_missing;      // missing stretches of the current walk
    MissingRows m_missingRows = MissingRows::kFilled;   // ... and what its writer does with them
    std::vector<StreamColumns> m_mapped;        // the streams of the last continuous window
    std::vector<MissingCells> m_missingCells;   // ... and the rows each lacks
    bool m_missingNamed = false;   // this Convert named lost time or a stream it could not read
    bool m_dataMissing = false;    // ... and the output was then finished
};
