#pragma once
// ABF 1.83 export: a continuous recording becomes one gap-free file, a triggered recording
// fixed-length episodes (one per sweep) in one file or in one file per sweep.

#include <memory>
#include <string>
#include <vector>

#include "export/core/CConvertInterface.h"

class CABF;
class CKVTAStream;
struct AbfStreamScaling;

class CConvertToABF : public CConvertInterface
{
public:
    // `abf` is the export command's header object and stays the caller's; without one the
    // converter keeps its own.
    CConvertToABF(CKVD* dataSource, CKVDataSelection* selection, const uint16_t* recordingType = nullptr,
                  CABF* abf = nullptr);
    // A file still open is completed and closed.
    ~CConvertToABF() override;

    const char* GetFileExtension() const override { return "abf"; }
    const char* GetTaskOption() const override { return "-abf"; }
    // Sets the header up from the selection and the recording (one episode, or last - first + 1
    // for all sweeps into one file) and creates the file with it. Reports "ERROR: " and the
    // library's text and gives false when the selection cannot be set up, the path is the input,
    // or the file cannot be created.
    [[nodiscard]] bool OpenOutputFile(const std::string& path) override;
    // Completes the header when samples or tags came after the last completion (so a file left
    // by an error or a cancel is readable too), then closes. False when no file was open or
    // either step failed (reported).
    [[nodiscard]] bool CloseOutputFile() override;
    // One-second blocks, each appended in one call, with progress. 2 without output, 1/8/7 for
    // the selection, 5 on cancel, 10 after a reported write failure.
    [[nodiscard]] int WriteContinuousData(int64_t* timeOffset, bool newOutput,
                                          bool firstInput) override;
    // One episode of exactly the header's samples per episode: a shorter sweep is padded with
    // 0-volt values, a longer one cut. 10 after a reported read or write failure.
    [[nodiscard]] int WriteSweepData(unsigned sweep, int* sweepBase, int64_t* timeOffset,
                                     bool newOutput, bool firstSweep) override;

    // "Save Triggers as Tags": every event of the recording's trigger streams becomes a tag.
    void SetSaveTriggersAsTags(bool save) { m_saveTags = save; }
    bool GetSaveTriggersAsTags() const { return m_saveTags; }

    // Fills the header from the selection: a cleared header, then operation mode, episodes,
    // sampling, and per channel name, units and scaling; the file start from the recording
    // start in local time. Returns a ConvertResult (1/8/7 for selections it cannot describe).
    [[nodiscard]] int SetupHeader(int episodes);
    // Completes the file's header; on failure reports it and closes the file.
    [[nodiscard]] bool UpdateHeader();
    // Samples per episode of all channels: entries x MulDiv(rate, sweep length, 1000); 0 when
    // the recording gives no usable length or the value passes 32 bits.
    int32_t EpisodeSamples() const;

protected:
    // Before any file: the selection checks, at most 16 entries, one ADC width, a usable episode
    // length, and no more samples than ABF 1.x counts in 32 bits.
    [[nodiscard]] int CheckBeforeOpen() override;
    // Tags (when asked, in gap-free and episodic files) and the header (when `complete`); 4
    // when the header cannot be completed (reported, and the file is closed).
    [[nodiscard]] int FinishOutput(bool sweeps, bool complete) override;

private:
    [[nodiscard]] int CheckAbfSelection() const;
    int SampleRate() const;
    AbfStreamScaling Scaling(const CKVTAStream* stream) const;
    void SetSixteenBitOffset(int channel, uint16_t adcZero);
    // 16-bit columns are offset binary on disk of the recording, two's complement in ABF.
    void ToAbfValues(std::vector<uint16_t>& values) const;
    [[nodiscard]] bool AppendSamples(const std::vector<uint16_t>& values, size_t count,
                                     int32_t start);
    [[nodiscard]] int WriteTriggerTags();

    bool m_saveTags = false;
    CABF* m_abf = nullptr;
    int m_episodeCounter = 0;
    std::unique_ptr<CABF> m_ownAbf;
    bool m_headerCurrent = true;     // nothing written since the last completed header
    int64_t m_samplesWritten = 0;
    std::vector<uint16_t> m_block;
    std::vector<bool> m_twosComplement;   // per entry
};
