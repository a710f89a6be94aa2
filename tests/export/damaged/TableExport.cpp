#include "tests/export/damaged/TableExport.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "export/abf/AbfHeader.h"
#include "export/abf/CConvertToABF.h"
#include "export/binary/CConvertToBIN.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/text/CConvertToASCII.h"
#include "platform/CMessageReporter.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

namespace {

struct Messages : CMessageReporter
{
    void Report(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

struct ProgressCalls
{
    std::function<void()> progress;
    int count = 0;
};

int OnProgress(void* context, int, const char*)
{
    ProgressCalls& calls = *static_cast<ProgressCalls*>(context);
    if (calls.progress)
        calls.progress();
    return ++calls.count > 200 ? 1 : 0;
}

std::unique_ptr<CConvertInterface> MakeConverter(ExportFormat format, CKVD* kvd, CKVDataSelection* selection,
                                                 bool fastText)
{
    if (format == ExportFormat::Bin)
        return std::make_unique<CConvertToBIN>(kvd, selection);
    if (format == ExportFormat::Ascii) {
        auto text = std::make_unique<CConvertToASCII>(kvd, selection);
        text->SetPlainFormatting(!fastText);
        return text;
    }
    return std::make_unique<CConvertToABF>(kvd, selection);
}

void FillSelection(CKVDataSelection& out, const ExportSelection& selection, int rateHz)
{
    for (const SelectedChannel& channel : selection.channels) {
        CKVDataSelection::Entry entry;
        entry.streamName = channel.stream;
        entry.channelName = channel.channel;
        entry.channelId = channel.number;
        entry.value = rateHz;
        out.Add(std::move(entry));
    }
}

} // namespace

const char* FormatName(ExportFormat format)
{
    return format == ExportFormat::Bin ? "bin" : format == ExportFormat::Ascii ? "ascii" : "abf";
}

bool ExportSelection::Selects(const std::string& stream) const
{
    return std::any_of(channels.begin(), channels.end(),
                       [&](const SelectedChannel& channel) { return channel.stream == stream; });
}

ExportOutcome RunExport(ExportFormat format, const ExportSelection& selection, int rateHz, const std::string& input,
                        const std::string& output, unsigned lastSweep, const std::function<void()>& progress,
                        bool fastText)
{
    ExportOutcome o;
    CKVD kvd;
    if (!kvd.Open(input)) {
        o.messages.push_back("the recording did not open");
        return o;
    }
    CKVDataSelection entries;
    FillSelection(entries, selection, rateHz);
    std::unique_ptr<CConvertInterface> converter = MakeConverter(format, &kvd, &entries, fastText);
    Messages messages;
    converter->SetReporter(&messages);
    converter->SetOutputName(output);
    const unsigned sweeps = static_cast<unsigned>(kvd.GetStreamFile().GetSweepCount());
    converter->SetSweepRange(1, lastSweep ? lastSweep : sweeps);
    ProgressCalls calls {progress};
    converter->SetProgressCallback(OnProgress, &calls);
    {
        FileSizeLimit limit(64 << 20);
        int64_t offset = 0;
        int base = 0;
        o.rc = converter->Convert(&base, &offset, true, true);
    }
    converter.reset();
    entries.DeleteEntryObjects();
    o.bytes = ReadFileBytes(output);
    std::remove(output.c_str());
    if (format == ExportFormat::Abf && o.bytes.size() >= kAbfHeaderBytes) {
        // Each ABF file has its own id, and the CRC covers it.
        std::fill_n(o.bytes.begin() + AbfField::FileGUID, 16, 0);
        std::fill_n(o.bytes.begin() + AbfField::ulFileCRC, 4, 0);
    }
    o.messages = messages.texts;
    return o;
}
