#pragma once
// The text converter: the selected streams of a recording as a tab-separated text file, with a
// title line, head lines and rows of times and values, continuous or sweep by sweep.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "export/core/CConvertInterface.h"
#include "export/core/COutputFile.h"
#include "export/text/CSampleText.h"
#include "export/text/CTextFormat.h"

class CKVTAEvent;
class CKVTAStream;
class CSpillBuffer;

class CConvertToASCII : public CConvertInterface
{
public:
    // The writers, in the order in which the kinds of the selected streams choose them.
    enum WriterKind {
        kRawWriter,
        kSpikeWriter,
        kAveragerWriter,
        kParameterWriter,
        kSpikeParameterWriter,
        kBurstParameterWriter,
        kTriggerWriter,
        kDigitalEventWriter,
        kNoWriter,
    };

    // Bits of the block flags that shape one sweep's block.
    enum BlockFlag : int {
        kSweepHeaderLines = 1,   // "Sweep = " and "Trigger-Time = " lines before the sweep
        kColumnTitles = 2,       // column titles and units before the sweep
        kNewOutputTitles = 4,    // with a new output: titles and units led by the sweep columns
        kSweepColumns = 8,       // every row starts with the sweep number and trigger time
    };

    CConvertToASCII(CKVD* dataSource, CKVDataSelection* selection, const uint16_t* recordingType = nullptr);
    ~CConvertToASCII() override;

    // The conversion frame; the event cursors of an earlier input are dropped first.
    [[nodiscard]] int Convert(int* sweepBase, int64_t* timeOffset, bool openAndClose,
                              bool firstInput) override;
    const char* GetFileExtension() const override { return "txt"; }
    const char* GetTaskOption() const override { return "-ascii"; }
    // Creates the file (refusing an input file) and writes the title line; false after
    // "Can not open Output file" was reported.
    [[nodiscard]] bool OpenOutputFile(const std::string& path) override;
    // False when no file was open or a write, the flush or the close failed.
    [[nodiscard]] bool CloseOutputFile() override;
    // 2 without an open output, 1 for an empty selection, 8 for different sample rates, 7 when
    // no writer takes the selected streams, 5 when the progress callback asked to stop, 10 when
    // a write failed (reported); else 0.
    [[nodiscard]] int WriteContinuousData(int64_t* timeOffset, bool newOutput,
                                          bool firstInput) override;
    // The same codes, and 10 when the sweep cannot be read (reported).
    [[nodiscard]] int WriteSweepData(unsigned sweep, int* sweepBase, int64_t* timeOffset,
                                     bool newOutput, bool firstSweep) override;

    // The writer that takes every one of these stream names; kNoWriter when none does.
    static WriterKind ChooseWriter(const std::vector<std::string>& streamNames);
    // The block flags of sweep `sweep` (from 0) under the current options.
    int GetBlockFlags(unsigned sweep) const;
    // Trigger time of sweep `sweep` (from 0) in ms, in the time base of the current input.
    double GetTriggerTimeMs(unsigned sweep);

    // Formats every field with snprintf instead of the fast formatting: the very same bytes,
    // only slower. Tests compare the two.
    void SetPlainFormatting(bool plain) { m_format = CTextFormat(plain); m_sampleTexts.clear(); }

private:
    // A cursor over one stream's records that lasts across the sweeps of one input.
    struct Cursor
    {
        std::unique_ptr<CKVTAEvent> event;
        bool created = false;
        bool ended = false;   // the records ran out (or there were none)
    };
    // The frame of one sweep: trigger time, sweep number and whether it continues the last one.
    struct Sweep
    {
        unsigned index = 0;
        double triggerMs = 0.0;
        int number = 0;
        bool continuation = false;
        int64_t startUs = 0;
        int64_t lengthUs = 0;
        std::string columns;   // the sweep columns of a row, empty without kSweepColumns
    };

    [[nodiscard]] int PrepareWrite(int64_t* timeOffset, bool newOutput, bool firstInput,
                                   WriterKind& kind);
    [[nodiscard]] int FinishWrite(int rc);
    void SetTimeBase(int64_t* timeOffset);
    int SampleRateHz() const;
    // The stream an entry names; for a digital-event name ("Digital Data Event 2") the digital
    // stream it comes from ("Digital Data 2"), whose samples the events are made of.
    CKVTAStream* FindSelectedStream(const std::string& name) const;
    Cursor& CursorFor(const std::string& key, CKVTAStream* stream);
    [[nodiscard]] int ReportEventProgress(double timeMs, const std::string& text);

    // Output: everything goes through m_pending, written out in large blocks.
    void Prefix(std::string& out) const;
    void Eol(std::string& out);
    void EmptyHeadLine(std::string& out);
    // "%-12s" fields joined by tabs, and the two sweep columns "%-12s\t%-12s\t".
    void Columns(std::string& out, const std::vector<std::string>& texts) const;
    void SweepTitles(std::string& out, const char* first, const char* second) const;
    // One head line of an event block: prefix, the two sweep column titles when the block has
    // sweep columns, the column titles, line end.
    void HeadRow(std::string& out, bool sweepColumns, const char* sweepFirst, const char* sweepSecond,
                 const std::vector<std::string>& titles);
    [[nodiscard]] bool Flush();
    [[nodiscard]] bool DrainBlocks(std::vector<CSpillBuffer>& blocks);
    // Closes an event writer's per-entry blocks: an entry that got no rows gets its empty head
    // line (unless the writer already failed), then every block goes to the output. Returns rc,
    // or kConvertReported when the blocks could not be written.
    [[nodiscard]] int FinishEntryBlocks(std::vector<CSpillBuffer>& blocks,
                                        const std::vector<char>& written, int rc);
    std::vector<CSpillBuffer> MakeBlocks(size_t count) const;

    // Sweep frame shared by the sweep writers.
    Sweep BeginSweep(unsigned index);
    void WriteSweepHeaderLines(const Sweep& sweep);

    // Raw-data writers.
    void PrepareColumns(std::vector<const CSampleText*>& columns, std::vector<std::string>& titles,
                        std::vector<std::string>& units);
    void WriteRawHead(bool sweepColumns, const std::vector<std::string>& titles,
                      const std::vector<std::string>& units);
    [[nodiscard]] int WriteRawContinuous();
    [[nodiscard]] int WriteRawBlock(int64_t fromUs, int64_t toUs,
                                    const std::vector<const CSampleText*>& columns);
    [[nodiscard]] bool WriteRawSweep(unsigned index);

    // Event writers.
    [[nodiscard]] int WriteSpikes(const Sweep* sweep);
    [[nodiscard]] int WriteAverages(const Sweep* sweep);
    [[nodiscard]] int WriteParameters(const Sweep* sweep);
    [[nodiscard]] int WriteAnalyserParameters(const Sweep* sweep, bool burst);
    [[nodiscard]] int WriteTriggers(const Sweep* sweep);
    [[nodiscard]] int WriteDigitalEvents(const Sweep* sweep);

    const CSampleText* SampleText(CSampleText::Kind kind, int bit, uint16_t zero, double scale);

    COutputFile m_output;
    std::string m_pending;
    bool m_writeReported = false;
    CTextFormat m_format;
    std::vector<std::unique_ptr<CSampleText>> m_sampleTexts;
    std::vector<uint16_t> m_samples;   // one block or sweep, kept for the next

    int m_blockFlags = 0;
    int* m_sweepBase = nullptr;
    int m_ownSweepBase = 0;
    int64_t m_fileTimeShift = 0;
    bool m_newOutput = false;
    bool m_firstInput = false;
    double m_previousTriggerMs = 0.0;
    // Last written value of each digital-event channel, by stream and channel name.
    std::map<std::pair<std::string, std::string>, uint16_t> m_previousDigital;

    CKVD* m_cursorSource = nullptr;
    std::map<std::string, Cursor> m_cursors;
};
