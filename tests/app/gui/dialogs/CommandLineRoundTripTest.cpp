// The option file of the "Command Line" button, run through the console program, writes what
// the dialog's own Save wrote: for every kind of selection the export dialogs can make.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include <QAbstractButton>
#include <QTest>

#include "app/gui/controls/CBitSelection.h"
#include "datafile/container/KvdFormat.h"
#include "platform/CByteWriter.h"
#include "tests/app/gui/dialogs/ExportDialogScene.h"
#include "tests/datafile/settings/SettingsBytes.h"
#include "tests/support/KvdBuilder.h"

namespace {

namespace FH = Kvd::FileHeader;
using Id = CDlgSelection;

constexpr int kRateHz = 10000;
constexpr uint64_t kSlotNs = 100000000;   // one chunk of every stream per 100 ms slot
constexpr int kSlotFrames = kRateHz / 10;
constexpr int kSlotsPerPart = 10;
// A triggered recording records the first two slots of every five: 200 ms sweeps.
constexpr int kSweepPeriodSlots = 5;
constexpr int kSweepSlots = 2;

// Hardware ids of the plain layout: electrodes "01" to "04", analog "A1" and "A2", digital "D1".
constexpr uint16_t kE1 = 0, kE2 = 1, kE4 = 3, kA1 = 4, kA2 = 5, kD1 = 6;

KvdStreamPlan Stream(const char* type, const char* name, const char* id, uint16_t firstHwid,
                     const std::vector<std::string>& channels, std::vector<uint8_t> settings = {})
{
    KvdStreamPlan s;
    s.bufferType = type;
    s.name = name;
    s.id = id;
    s.sampleRate = kRateHz * 1000;
    s.words[1] = 2000;
    s.settings = std::move(settings);
    if (std::string(type) == "digital") {
        s.adcZero = 0;
        s.voltsPerStep = 1.0;
    }
    for (size_t i = 0; i < channels.size(); ++i) {
        KvdChannelPlan c;
        c.id = c.number = static_cast<int32_t>(firstHwid + i);
        c.name = c.displayName = c.label = channels[i];
        s.channels.push_back(c);
    }
    return s;
}

std::vector<uint8_t> TriggerRecord(uint64_t time)
{
    std::vector<uint8_t> record;
    CByteWriter(record).Put<uint64_t>(time).Put<uint16_t>(1).Put<uint32_t>(0).Put<uint32_t>(4).Put<uint32_t>(5);
    return record;
}

// Two cutouts of five samples in the slot: electrode 02 after 10 ms, electrode 04 after 40 ms.
std::vector<uint8_t> SpikeRecords(uint64_t slotStart)
{
    std::vector<uint8_t> records;
    CByteWriter out(records);
    for (const auto& [ms, hwid] : {std::pair<uint64_t, uint16_t>{10, kE2}, {40, kE4}}) {
        out.Put<uint64_t>(slotStart + ms * 1000000).Put<uint16_t>(hwid).Put<uint32_t>(2).Put<uint16_t>(0);
        out.Put<uint16_t>(0xFFFF).Put<int32_t>(5);
        for (uint16_t v : {32768, 32700, 32600, 32750, 32790})
            out.Put<uint16_t>(static_cast<uint16_t>(v + hwid));
    }
    return records;
}

// One part of a recording on the plain layout with trigger, spike, electrode, analog and
// digital streams: the slots from `firstSlot` on; a triggered one holds only its sweeps.
bool WriteRecording(const std::string& path, bool triggered, int firstSlot)
{
    KvdBuilder b(11);
    const uint64_t t0 = kKvdDefaultStart;
    b.Set<int32_t>(FH::kSampleRate, kRateHz * 1000);
    b.Set<uint64_t>(FH::kRecordingTime, t0).Set<uint64_t>(FH::kStartTime, t0 + firstSlot * kSlotNs);
    b.Set<int32_t>(FH::kRecordingMode, triggered ? 1 : 0);
    b.Set<float>(FH::kWindowStart, 0.0f);
    b.Set<float>(FH::kWindowExtent, triggered ? kSweepSlots * 100.0f : 0.0f);
    if (triggered)
        b.SetText(FH::kStartTriggerId, "trig0001");
    b.Set<int32_t>(FH::kLayoutKind, 0);
    b.Set<uint16_t>(FH::kElectrodeCount1, 4).Set<uint16_t>(FH::kAnalogCount1, 2);
    b.Set<uint16_t>(FH::kDigitalCount, 1).Set<uint16_t>(FH::kTotalChannels, 7);

    // Event streams first: the sweeps follow the gaps of the last stream, a raw one.
    b.AddStream(Stream("trigger", "Trigger 1", "trig0001", 0, {"T1"},
                       SettingsBytes().Tag("PARAMTRG").U32(0).U32(2).U32(0).U32(1).U32(5).I32(0).I32(0).U32(0)
                           .I32(3).U32(0).Zeros(20).U8(0).U32(1).U32(1).Str32("").U32(1).U8(1).Get()));
    b.AddStream(Stream("spikes", "Spikes 1", "spks0001", 0, {"01", "02", "03", "04"},
                       SettingsBytes().Tag("PARAMSPK").U32(0).U32(0).U32(0).F32(-5).U32(1000).U32(2000)
                           .U32(3000).Str16("elec0001").U16(0).Get()));
    const KvdStreamPlan raws[] = {Stream("analog", "Electrode Raw Data", "elec0001", kE1, {"01", "02", "03", "04"}),
                                  Stream("analog", "Analog Raw Data", "anlg0001", kA1, {"A1", "A2"}),
                                  Stream("digital", "Digital Data", "digi0001", kD1, {"D1"})};
    for (const KvdStreamPlan& raw : raws)
        b.AddStream(raw);

    uint64_t stop = t0;
    for (int slot = firstSlot; slot < firstSlot + kSlotsPerPart; ++slot) {
        const int inSweep = slot % kSweepPeriodSlots;
        if (triggered && inSweep >= kSweepSlots)
            continue;
        const uint64_t start = t0 + slot * kSlotNs;
        if (triggered ? inSweep == 0 : slot % 4 == 1)
            b.AddChunk("trig0001", start, start + kSlotNs, TriggerRecord(start + 3000000));
        for (const KvdStreamPlan& raw : raws)
            b.AddChunk(raw.id, start, start + kSlotNs,
                       KvdFrames(kSlotFrames, static_cast<int>(raw.channels.size()), slot * kSlotFrames));
        b.AddChunk("spks0001", start, start + kSlotNs, SpikeRecords(start));
        stop = start + kSlotNs;
    }
    b.Set<uint64_t>(FH::kStopTime, stop);
    return b.WriteTo(path);
}

void ClickBit(CDlgSelection& dlg, int bit)
{
    QTest::mouseClick(dlg.ControlAs<CBitSelection>(Id::kIdBitSelection)->Button(bit), Qt::LeftButton);
}

// Every output file in `folder` (".txt" and ".raw"), by name.
std::map<std::string, std::vector<uint8_t>> TakeOutputs(const std::string& folder)
{
    std::map<std::string, std::vector<uint8_t>> outputs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".txt" && ext != ".raw")
            continue;
        outputs[entry.path().filename().string()] = Bytes(entry.path().string());
        std::filesystem::remove(entry.path());
    }
    return outputs;
}

struct SelectionCase
{
    const char* name;
    bool textOnly;       // a stream kind the binary dialog does not offer
    int files;           // 1, or 2: the parts of one recording
    bool oneOutput;      // the parts into one output file
    std::function<void(ExportScene&, CDlgSelection&)> select;
    std::vector<std::string> lines;   // "-s" lines the option file holds
};

// One case: Save and "Command Line" in the dialog, then the option file through the console.
void RunCase(const SelectionCase& c, ExportFormat format, bool triggered)
{
    ExportScene scene;
    std::vector<std::string> inputs;
    for (int part = 0; part < c.files; ++part) {
        inputs.push_back(scene.File("part" + std::to_string(part + 1) + ".kvd"));
        ASSERT_TRUE(WriteRecording(inputs.back(), triggered, part * kSlotsPerPart));
    }
    scene.Open(inputs);
    ASSERT_EQ(scene.doc.GetFileCount(), c.files);
    scene.TakeMessages();
    const std::string options = scene.File("run.options");
    scene.fileAnswers = {QString::fromStdString(options)};
    scene.Run(format, [&](CDlgSelection& dlg) {
        c.select(scene, dlg);
        if (c.oneOutput) {
            ClickControl(dlg, Id::kIdAssumeSplitted);
            ClickControl(dlg, Id::kIdSingleOutfile);
        }
        if (format == ExportFormat::Ascii) {
            ClickControl(dlg, Id::kIdCommentChar);
            if (triggered)
                ClickControl(dlg, Id::kIdSweepHeader);
        } else {
            ClickControl(dlg, Id::kIdWriteHeader);
        }
        ClickControl(dlg, Id::kIdSave);
        ClickControl(dlg, Id::kIdCommandLine);
    }, scene.doc.GetCanMerge() & 2);
    EXPECT_TRUE(scene.TakeMessages().isEmpty()) << scene.messages.join("|").toStdString();
    const std::map<std::string, std::vector<uint8_t>> fromDialog = TakeOutputs(scene.dir.Path());
    ASSERT_EQ(fromDialog.size(), c.oneOutput || c.files == 1 ? 1u : 2u);

    const std::vector<uint8_t> bytes = Bytes(options);
    const std::string text(bytes.begin(), bytes.end());
    for (const std::string& line : c.lines)
        EXPECT_NE(text.find("\r\n" + line + "\r\n"), std::string::npos) << line << "\n" << text;
    std::string console;
    EXPECT_EQ(RunConsole({"-file", options}, &console), 0) << text << console;
    const std::map<std::string, std::vector<uint8_t>> fromConsole = TakeOutputs(scene.dir.Path());
    ASSERT_EQ(fromConsole.size(), fromDialog.size()) << console;
    for (const auto& [name, written] : fromDialog) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(written.empty());
        EXPECT_TRUE(fromConsole.count(name) && fromConsole.at(name) == written);
    }
}

} // namespace

TEST(CommandLineRoundTrip, EverySelectionRunsThroughTheConsoleToTheDialogsBytes)
{
    const auto electrodes = [](ExportScene& scene, CDlgSelection& dlg) {
        ChooseStream(dlg, "Electrode Raw Data");
        scene.fakes.Panel(0).Click(true, kE2);
        scene.fakes.Panel(0).Click(true, kE4);
    };
    const SelectionCase cases[] = {
        {"electrodes", false, 1, false, electrodes,
         {"-s \"Electrode Raw Data:02\"", "-s \"Electrode Raw Data:04\""}},
        {"analog", false, 1, false,
         [](ExportScene& scene, CDlgSelection& dlg) {
             ChooseStream(dlg, "Analog Raw Data");
             scene.fakes.Panel(0).ClickAll(true, {kA2, kA1});
         },
         {"-s \"Analog Raw Data:A2\"", "-s \"Analog Raw Data:A1\""}},
        {"digital word", false, 1, false,
         [](ExportScene& scene, CDlgSelection& dlg) {
             ChooseStream(dlg, "Digital Data");
             scene.fakes.Panel(0).Click(true, kD1);
         },
         {"-s \"Digital Data:D1\""}},
        {"digital bits", false, 1, false,
         [](ExportScene&, CDlgSelection& dlg) {
             ChooseStream(dlg, "Digital Data");
             ClickBit(dlg, 3);
             ClickBit(dlg, 0);
         },
         {"-s \"Digital Data:D1:3\"", "-s \"Digital Data:D1:0\""}},
        {"digital events", true, 1, false,
         [](ExportScene& scene, CDlgSelection& dlg) {
             ChooseStream(dlg, "Digital Data Event");
             scene.fakes.Panel(0).Click(true, kD1);
             ClickBit(dlg, 2);
             ClickControl(dlg, Id::kIdInitialValues);
         },
         {"-s \"Digital Data Event:D1\"", "-s \"Digital Data Event:D1:2\"", "-DigitalEventInitialValue"}},
        {"trigger", true, 1, false,
         [](ExportScene&, CDlgSelection& dlg) {
             ChooseStream(dlg, "Trigger 1");
             ClickControl(dlg, Id::kIdTrigger);
         },
         {"-s \"Trigger 1:T1\""}},
        {"spikes", true, 1, false,
         [](ExportScene& scene, CDlgSelection& dlg) {
             ChooseStream(dlg, "Spikes 1");
             scene.fakes.Panel(0).Click(true, kE4);
             scene.fakes.Panel(0).Click(true, kE2);
         },
         {"-s \"Spikes 1:04\"", "-s \"Spikes 1:02\""}},
        {"several streams", false, 1, false,
         [](ExportScene& scene, CDlgSelection& dlg) {
             ChooseStream(dlg, "Analog Raw Data");
             scene.fakes.Panel(0).Click(true, kA2);
             ChooseStream(dlg, "Digital Data");
             ClickBit(dlg, 5);
             ChooseStream(dlg, "Electrode Raw Data");
             scene.fakes.Panel(0).Click(true, kE1);
         },
         {"-s \"Analog Raw Data:A2\"", "-s \"Digital Data:D1:5\"", "-s \"Electrode Raw Data:01\""}},
        {"split inputs into one file", false, 2, true, electrodes,
         {"-AssumeSplittedFile", "-SingleOutfile"}},
        {"one file per input", false, 2, false, electrodes, {"-NoAssumeSplittedFile", "-NoSingleOutfile"}},
    };
    for (bool triggered : {false, true}) {
        for (const SelectionCase& c : cases) {
            for (ExportFormat format : {ExportFormat::Ascii, ExportFormat::Bin}) {
                if (c.textOnly && format != ExportFormat::Ascii)
                    continue;
                SCOPED_TRACE(std::string(c.name) + (format == ExportFormat::Ascii ? ", text" : ", binary")
                             + (triggered ? ", triggered" : ", continuous"));
                RunCase(c, format, triggered);
            }
        }
    }
}
