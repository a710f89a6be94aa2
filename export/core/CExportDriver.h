#pragma once
// One export command run over its inputs, for the console task and the export dialog alike:
// the selection narrowed to what each input holds, sweep numbers and times carried across the
// parts of a split recording, and several inputs into one output or one output each.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CConvertInterface;
class CKVD;
class CKVDataSelection;
class CStreamChannelMap;

// What a front end decides for one export, and how it names and tells things its own way.
struct ExportBatch
{
    // The streams that input `index` of the converter's file list offers; nullptr (or no
    // function) removes nothing from the selection for that input.
    using FileStreams = std::function<const CStreamChannelMap*(int index)>;
    // The output name of the input being converted. Called once the converter's data source,
    // selection, sweep range and input name are that input's.
    using OutputNamer = std::function<std::string()>;
    // Told when an input holds none of the selected channels; the batch goes on without it.
    using NoChannelsReport = std::function<void(const std::string& inputPath)>;

    bool perFile = true;               // each input opens and closes its own output
    bool assumeSplittedFile = false;   // parts of one recording: sweep numbers and times run on
    bool baseIsPressedStart = false;   // times count from each input's recording-button press
    FileStreams fileStreams;
    OutputNamer outputName;
    NoChannelsReport reportNoChannels;
};

class CExportDriver
{
public:
    // The converter stays the caller's, set up for the export: options, output name, selection,
    // data source and, for several inputs, the file list.
    CExportDriver(CConvertInterface& converter, ExportBatch batch);

    // Converts the inputs and returns the ConvertResult that ends the export.
    //
    // Without a file list the converter's data source is converted as it stands (its sweep range
    // and input name are the caller's). With one, each file in turn gets a copy of the selection
    // without the entries it lacks; a copy left empty is told through reportNoChannels and
    // skipped. Entries lacking from any input refuse a single output (kConvertChannelsMissing;
    // the inputs before it stay in the file, which is closed). A single output that does not
    // open gives kConvertOpenFailed before anything is written; one that cannot be finished gives
    // kConvertCloseFailed unless a failure came first. Any result from kConvertOpenFailed on ends
    // the batch, except an input whose unreadable blocks were named and its output still
    // finished: the batch goes on and ends with kConvertReported. Afterwards the converter's data
    // source and selection, and a single output's name, are the caller's again.
    [[nodiscard]] int Run();

    // Selection entries removed because an input lacked them, summed over the inputs converted
    // or refused so far.
    int GetRemoved() const { return m_removed; }

    // Open-and-close for each input: false only when one output for all sweeps takes every
    // input of a split recording.
    static bool OpensEachOutput(bool singleOutfile, bool oneOutputForAllSweeps,
                                bool assumeSplittedFile);

private:
    [[nodiscard]] int ConvertOne();
    [[nodiscard]] int ConvertSeveral(const std::vector<CKVD*>& files);
    // Points the converter at input `index` with `selection` and converts it.
    [[nodiscard]] int ConvertInput(int index, CKVD& file, CKVDataSelection& selection);

    CConvertInterface& m_converter;
    ExportBatch m_batch;
    int m_removed = 0;
    int m_sweepBase = 0;
    int64_t m_timeOffset = 0;
};
