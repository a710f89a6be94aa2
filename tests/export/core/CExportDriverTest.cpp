#include "export/core/CExportDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "export/binary/CConvertToBIN.h"
#include "export/core/ExportResultText.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/model/CStreamChannelMap.h"
#include "platform/CMessageReporter.h"
#include "tests/support/KvdLostHeads.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace {

// Records what the driver hands to each conversion and answers from a script. Like a real
// converter it returns 1 for an empty selection and attaches per-entry objects to the
// selection it reads, and it moves the time offset on as the text converter does.
class CScriptedConverter : public CConvertInterface
{
public:
    struct Call
    {
        CKVD* source = nullptr;
        int entries = 0;
        unsigned first = 0;
        unsigned last = 0;
        std::string input;
        std::string output;
        int sweepBase = 0;
        int64_t timeOffset = 0;
        bool openAndClose = false;
        bool firstInput = false;
    };
    static constexpr int64_t kTimeStep = 1000;

    using CConvertInterface::CConvertInterface;

    int Convert(int* sweepBase, int64_t* timeOffset, bool openAndClose, bool firstInput) override
    {
        CKVDataSelection* selection = GetSelection();
        calls.push_back({GetDataSource(), selection->GetCount(), GetFirstSweep(), GetLastSweep(),
                         GetInputName(), GetOutputName(), *sweepBase, *timeOffset, openAndClose,
                         firstInput});
        for (int i = 0; i < selection->GetCount(); ++i)
            selection->At(i)->object = std::make_unique<CKVDataSelection::CEntryObject>();
        *timeOffset += kTimeStep;
        if (selection->GetCount() == 0)
            return kConvertNoChannels;
        return calls.size() <= results.size() ? results[calls.size() - 1] : kConvertOk;
    }
    const char* GetFileExtension() const override { return "out"; }
    const char* GetTaskOption() const override { return "-test"; }
    bool OpenOutputFile(const std::string& path) override
    {
        opened.push_back(path);
        return openSucceeds;
    }
    bool CloseOutputFile() override
    {
        ++closes;
        return closeSucceeds;
    }
    int WriteContinuousData(int64_t*, bool, bool) override { return kConvertOk; }
    int WriteSweepData(unsigned, int*, int64_t*, bool, bool) override { return kConvertOk; }

    std::vector<Call> calls;
    std::vector<int> results;   // the result of each call in turn; then 0
    bool openSucceeds = true;
    bool closeSucceeds = true;
    std::vector<std::string> opened;
    int closes = 0;
};

CKVDataSelection::Entry Electrode(const std::string& channel, int id)
{
    CKVDataSelection::Entry entry;
    entry.streamName = "Electrode Raw Data";
    entry.channelName = channel;
    entry.channelId = id;
    entry.value = 10000;
    return entry;
}

// The electrode stream with these channel ids.
std::unique_ptr<CStreamChannelMap> ElectrodeMap(const std::vector<uint16_t>& ids)
{
    auto map = std::make_unique<CStreamChannelMap>();
    CStreamChannelMap::CStream stream;
    stream.m_name = "Electrode Raw Data";
    stream.m_channelIds = ids;
    for (uint16_t id : ids)
        stream.m_channelNames.push_back(std::to_string(id));
    stream.m_sampleRate = 10000000;
    map->AddStream(stream);
    return map;
}

// Three triggered recordings: a (3 sweeps), b (5 sweeps, a later press time) and c (3 sweeps),
// each with a map of what it offers (all of a, channel 12 of b, nothing of c); the electrodes
// 12 and 13 selected; a scripted converter on a.
struct Batch
{
    TempDir dir;
    CKVD a, b, c;
    std::vector<CKVD*> files;
    std::vector<std::unique_ptr<CStreamChannelMap>> maps;
    CKVDataSelection selection;
    uint16_t kind = kRecordingTriggered;
    CScriptedConverter converter{&a, &selection, &kind};
    std::vector<std::string> told;
    ExportBatch batch;

    Batch()
    {
        KvdRecordingPlan plan;
        plan.triggered = true;
        EXPECT_TRUE(WriteKvdRecording(plan, dir.File("a.kvd")));
        EXPECT_TRUE(WriteKvdRecording(plan, dir.File("c.kvd")));
        plan.fileVersion = 2;   // stores its own start as the press time
        plan.sweeps = 5;
        plan.firstSweep = 3;
        EXPECT_TRUE(WriteKvdRecording(plan, dir.File("b.kvd")));
        EXPECT_TRUE(a.Open(dir.File("a.kvd")));
        EXPECT_TRUE(b.Open(dir.File("b.kvd")));
        EXPECT_TRUE(c.Open(dir.File("c.kvd")));
        files = {&a, &b};
        maps.push_back(ElectrodeMap({12, 13}));
        maps.push_back(ElectrodeMap({12}));
        maps.push_back(ElectrodeMap({}));
        selection.Add(Electrode("12", 12));
        selection.Add(Electrode("13", 13));
        converter.SetFileList(&files);
        converter.SetOutputName("one.out");
        // No map for an input (past the end of `maps`): the driver is told there is none.
        batch.fileStreams = [this](int index) -> const CStreamChannelMap* {
            const size_t at = static_cast<size_t>(index);
            return at < maps.size() ? maps[at].get() : nullptr;
        };
        batch.outputName = [this] { return converter.GetInputName() + ".out"; };
        batch.reportNoChannels = [this](const std::string& input) { told.push_back(input); };
    }

    int Run(int* removed = nullptr)
    {
        CExportDriver driver(converter, batch);
        const int result = driver.Run();
        if (removed)
            *removed = driver.GetRemoved();
        // The converter is the caller's again, whatever happened.
        EXPECT_EQ(converter.GetDataSource(), &a);
        EXPECT_EQ(converter.GetSelection(), &selection);
        EXPECT_EQ(selection.GetCount(), 2);
        return result;
    }
    // No input has a map: every input offers everything.
    void OfferEverything() { maps.clear(); }
    // Both inputs into "one.out".
    void OneOutput()
    {
        batch.perFile = false;
        batch.assumeSplittedFile = true;
    }
};

} // namespace

TEST(CExportDriver, OneInputIsConvertedAsTheConverterStands)
{
    for (bool pressed : {false, true}) {
        SCOPED_TRACE(pressed ? "times from the press" : "times from the start");
        Batch t;
        t.converter.SetFileList(nullptr);
        t.converter.SetSweepRange(2, 3);
        t.converter.SetInputName("chosen");
        t.converter.results = {kConvertCancelled};
        t.batch.baseIsPressedStart = pressed;
        int removed = -1;
        EXPECT_EQ(t.Run(&removed), kConvertCancelled);
        EXPECT_EQ(removed, 0);
        ASSERT_EQ(t.converter.calls.size(), 1u);
        const CScriptedConverter::Call& call = t.converter.calls[0];
        EXPECT_EQ(call.source, &t.a);
        EXPECT_EQ(call.entries, 2);   // nothing is removed for the only input
        EXPECT_EQ(call.first, 2u);
        EXPECT_EQ(call.last, 3u);
        EXPECT_EQ(call.input, "chosen");
        EXPECT_EQ(call.output, "one.out");
        EXPECT_EQ(call.timeOffset, pressed ? t.a.GetPressTimeUs() : 0);
        EXPECT_EQ(call.sweepBase, 0);
        EXPECT_TRUE(call.openAndClose);
        EXPECT_TRUE(call.firstInput);
        EXPECT_TRUE(t.converter.opened.empty());
        EXPECT_EQ(t.converter.closes, 0);
        // The objects the converter attached go with the conversion.
        EXPECT_EQ(t.selection.At(0)->object, nullptr);
        EXPECT_EQ(t.selection.At(1)->object, nullptr);
    }
}

// Sweep numbers and times start again for each input, or run on across the parts of a split
// recording; with the press as the time base each input counts from its own press.
TEST(CExportDriver, SweepNumbersAndTimesAcrossInputs)
{
    const struct
    {
        const char* name;
        bool perFile;
        bool split;
        bool pressed;
    } cases[] = {
        {"one output each", true, false, false},
        {"one output each, split", true, true, false},
        {"one output for a split recording", false, true, false},
        {"one output each, from the press", true, false, true},
        {"one output for a split recording, from the press", false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Batch t;
        t.OfferEverything();
        t.batch.perFile = c.perFile;
        t.batch.assumeSplittedFile = c.split;
        t.batch.baseIsPressedStart = c.pressed;
        ASSERT_NE(t.a.GetPressTimeUs(), t.b.GetPressTimeUs());
        ASSERT_EQ(t.b.GetStreamFile().GetSweepCount(), 5);
        EXPECT_EQ(t.Run(), kConvertOk);
        ASSERT_EQ(t.converter.calls.size(), 2u);
        const CKVD* inputs[] = {&t.a, &t.b};
        for (size_t k = 0; k < 2; ++k) {
            SCOPED_TRACE(k);
            const CScriptedConverter::Call& call = t.converter.calls[k];
            EXPECT_EQ(call.source, inputs[k]);
            EXPECT_EQ(call.entries, 2);
            EXPECT_EQ(call.first, 1u);
            EXPECT_EQ(call.last, k == 0 ? 3u : 5u);
            EXPECT_EQ(call.input, inputs[k]->GetPath());
            EXPECT_EQ(call.output, inputs[k]->GetPath() + ".out");
            EXPECT_EQ(call.openAndClose, c.perFile);
            EXPECT_EQ(call.firstInput, k == 0 || !c.split);
            EXPECT_EQ(call.sweepBase, k == 1 && c.split ? 3 : 0);
            const int64_t carried = k == 1 && c.split ? CScriptedConverter::kTimeStep : 0;
            EXPECT_EQ(call.timeOffset, c.pressed ? inputs[k]->GetPressTimeUs() : carried);
        }
        if (c.perFile) {
            EXPECT_TRUE(t.converter.opened.empty());
            EXPECT_EQ(t.converter.closes, 0);
            EXPECT_EQ(t.converter.GetOutputName(), t.b.GetPath() + ".out");
        } else {
            EXPECT_EQ(t.converter.opened, std::vector<std::string>{"one.out"});
            EXPECT_EQ(t.converter.closes, 1);
            EXPECT_EQ(t.converter.GetOutputName(), "one.out");
        }
    }
}

TEST(CExportDriver, InputsLackingSelectedChannels)
{
    // One output each: b goes without channel 13, c without anything and is told; the batch
    // succeeds with the removed entries counted.
    Batch t;
    t.files = {&t.a, &t.b, &t.c};
    int removed = 0;
    EXPECT_EQ(t.Run(&removed), kConvertOk);
    EXPECT_EQ(removed, 3);
    ASSERT_EQ(t.converter.calls.size(), 3u);
    EXPECT_EQ(t.converter.calls[0].entries, 2);
    EXPECT_EQ(t.converter.calls[1].entries, 1);
    EXPECT_EQ(t.converter.calls[2].entries, 0);
    EXPECT_EQ(t.told, std::vector<std::string>{t.c.GetPath()});

    // One output: the input after a lacks an entry, so nothing more goes into the file.
    Batch one;
    one.OneOutput();
    EXPECT_EQ(one.Run(&removed), kConvertChannelsMissing);
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(one.converter.calls.size(), 1u);
    EXPECT_EQ(one.converter.closes, 1);
    EXPECT_EQ(one.converter.GetOutputName(), "one.out");

    // Nothing selected at all: no conversion.
    for (bool perFile : {true, false}) {
        Batch none;
        none.batch.perFile = perFile;
        none.selection.RemoveAll();
        CExportDriver driver(none.converter, none.batch);
        EXPECT_EQ(driver.Run(), kConvertNoChannels);
        EXPECT_TRUE(none.converter.calls.empty());
        EXPECT_TRUE(none.told.empty());
        EXPECT_EQ(none.converter.closes, perFile ? 0 : 1);
    }
}

TEST(CExportDriver, FailuresEndTheBatch)
{
    // A failing conversion stops the batch with its result; the single output is still closed.
    const int failures[] = {kConvertOpenFailed, kConvertCloseFailed,  kConvertHeaderFailed,
                            kConvertCancelled,  kConvertIncompatible, kConvertRatesDiffer,
                            kConvertUnused,     kConvertReported};
    for (int failure : failures) {
        for (bool perFile : {true, false}) {
            SCOPED_TRACE(std::to_string(failure) + (perFile ? " one output each" : " one output"));
            Batch t;
            if (!perFile)
                t.OneOutput();
            t.OfferEverything();
            t.converter.closeSucceeds = false;   // the first failure is the one told
            t.converter.results = {failure};
            EXPECT_EQ(t.Run(), failure);
            EXPECT_EQ(t.converter.calls.size(), 1u);
            EXPECT_EQ(t.converter.closes, perFile ? 0 : 1);
        }
    }

    // A single output that does not open: nothing converted, nothing closed.
    Batch closed;
    closed.OneOutput();
    closed.converter.openSucceeds = false;
    int removed = -1;
    EXPECT_EQ(closed.Run(&removed), kConvertOpenFailed);
    EXPECT_EQ(removed, 0);
    EXPECT_TRUE(closed.converter.calls.empty());
    EXPECT_EQ(closed.converter.closes, 0);

    // A single output that cannot be finished is no success.
    Batch unfinished;
    unfinished.OneOutput();
    unfinished.OfferEverything();
    unfinished.converter.closeSucceeds = false;
    EXPECT_EQ(unfinished.Run(), kConvertCloseFailed);
    EXPECT_EQ(unfinished.converter.calls.size(), 2u);
}

// Unreadable time blocks: the converter names them and finishes its output, the batch goes on
// with the next input and ends with the failure already reported.
TEST(CExportDriver, AnInputWithMissingDataDoesNotStopTheBatch)
{
    struct Messages : CMessageReporter
    {
        void Report(const std::string& text) override { texts.push_back(text); }
        std::vector<std::string> texts;
    };
    TempDir dir;
    KvdRecordingPlan plan;
    ASSERT_TRUE(WriteKvdRecordingWithoutHeads(plan, dir.File("gap.kvd"), {{"Electrode Raw Data", 1300}}));
    ASSERT_TRUE(WriteKvdRecording(plan, dir.File("whole.kvd")));
    CKVD gap, whole;
    ASSERT_TRUE(gap.Open(dir.File("gap.kvd")));
    ASSERT_TRUE(whole.Open(dir.File("whole.kvd")));
    const std::vector<CKVD*> files = {&gap, &whole};
    constexpr uintmax_t kBytes = 25000 * 2 * 2;   // 2.5 s of two channels

    for (bool perFile : {true, false}) {
        SCOPED_TRACE(perFile ? "one output each" : "one output");
        CKVDataSelection selection;
        selection.Add(Electrode("12", 0));
        selection.Add(Electrode("13", 1));
        uint16_t kind = kRecordingContinuous;
        CConvertToBIN converter(&gap, &selection, &kind);
        Messages messages;
        converter.SetReporter(&messages);
        converter.SetFileList(&files);
        converter.SetOutputName(dir.File("one.raw"));
        ExportBatch batch;
        batch.perFile = perFile;
        batch.assumeSplittedFile = !perFile;
        batch.outputName = [&] { return converter.GetInputName() + ".raw"; };
        CExportDriver driver(converter, batch);
        EXPECT_EQ(driver.Run(), kConvertReported);
        EXPECT_EQ(messages.texts.back(), "Data missing from 1.300 s to 1.400 s in Electrode Raw Data: filled with 0 V.");
        if (perFile) {
            EXPECT_EQ(ReadFileBytes(gap.GetPath() + ".raw").size(), kBytes);
            EXPECT_EQ(ReadFileBytes(whole.GetPath() + ".raw").size(), kBytes);
        } else {
            EXPECT_EQ(ReadFileBytes(dir.File("one.raw")).size(), 2 * kBytes);
        }
    }
}

// Each front end words the results its own way; entries some input lacked are told where a
// result has no text of its own.
TEST(CExportDriver, ResultTexts)
{
    const std::string notAll = "Selected Channels are not available for all files.";
    const std::string kNoSingleOutput = "Selected Channels are not available for all files, "
                                        "single outfile export is not possible.";
    const struct
    {
        int result;
        int removed;
        std::string console;
        std::string dialog;
    } cases[] = {
        {kConvertOk, 0, "", ""},
        {kConvertOk, 2, notAll, notAll},
        {kConvertNoChannels, 1, "No channels selected", "No channels selected"},
        {kConvertOpenFailed, 0, "Can not open file. Please check the path and filename.",
         "Can not open file. Please check the path and filename."},
        {kConvertCloseFailed, 0, "Can not close file.", "Can not close file."},
        {kConvertHeaderFailed, 0, "Can not update ABF header.", "Can not update ABF header."},
        {kConvertCancelled, 0, "Export cancelled.", "Export canceled."},
        {kConvertChannelsMissing, 1, kNoSingleOutput, kNoSingleOutput},
        {kConvertIncompatible, 0, "The selection of streams/channels is not compatible.",
         "The selection of channels is not compatible."},
        {kConvertRatesDiffer, 0, "Streams with different sample rates are not compatible.",
         "Streams with different sample rates are not compatible."},
        {kConvertUnused, 1, notAll, notAll},
        {kConvertReported, 0, "", ""},
        {kConvertReported, 1, "", notAll},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.result) + " removed " + std::to_string(c.removed));
        EXPECT_EQ(ExportResultText(c.result, c.removed, ExportFrontEnd::kConsole), c.console);
        EXPECT_EQ(ExportResultText(c.result, c.removed, ExportFrontEnd::kDialog), c.dialog);
    }
}
