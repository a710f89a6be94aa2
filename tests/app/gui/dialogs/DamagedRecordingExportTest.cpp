// The export dialog on damaged recordings runs the converters as the console does: it ends at
// the data, and a second it could not read is named in its message, never passed over.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <functional>

#include "app/gui/dialogs/CDlgSelection.h"
#include "datafile/container/KvdFormat.h"
#include "export/abf/AbfHeader.h"
#include "platform/CByteReader.h"
#include "tests/app/gui/dialogs/ExportDialogScene.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/KvdBuilder.h"

namespace {

using Id = CDlgSelection;

// 3 s of four electrodes and a digital stream in 100 ms chunks, with a stored index.
KvdRecordingPlan ThreeSeconds()
{
    KvdRecordingPlan plan;
    plan.streams = {ElectrodeStream(4), DigitalStream()};
    plan.chunks = 30;
    plan.storedIndex = true;
    return plan;
}

// The recording at `path` with `patch` applied; the layout of a plain recording of four.
void WriteDamaged(ExportScene& scene, const std::string& path,
                  const std::function<void(std::vector<uint8_t>&, const KvdLayout&)>& patch)
{
    const KvdRecordingPlan plan = ThreeSeconds();
    LayoutPlan layout;
    layout.electrodes = 4;
    layout.total = 4;
    ASSERT_TRUE(WriteRecording(plan, layout, path));
    // The same plan puts its chunks and index at the same places.
    KvdLayout where;
    ASSERT_TRUE(WriteKvdRecording(plan, scene.File("layout.kvd"), &where));
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    patch(bytes, where);
    ASSERT_TRUE(WriteFileBytes(path, bytes));
}

// Saves every electrode through the dialog of `format` into out/rec.<ext>; the messages shown.
QStringList SaveAllElectrodes(ExportScene& scene, ExportFormat format)
{
    QStringList shown;
    scene.Run(format, [&](CDlgSelection& dlg) {
        ChooseStream(dlg, "Electrode Raw Data");
        for (int i = 0; i < 4; ++i)
            scene.fakes.Panel(0).Click(true, i);
        scene.TakeMessages();
        // A walk that ran away would fail its writes here, long before the disk is full.
        FileSizeLimit limit(64 << 20);
        ClickControl(dlg, Id::kIdSave);
        shown = scene.TakeMessages();
    });
    return shown;
}

constexpr int kRows = 30000;   // 3 s at 10 kHz

// The dialog's output folder.
void WriteToOut(ExportScene& scene)
{
    mkdir(scene.File("out").c_str(), 0700);
    ASSERT_TRUE(CSettingsFile(BuildProfilePath(kProgramName)).WriteString("Settings", "WriteDirectory", scene.File("out")));
}

} // namespace

TEST(DamagedRecordingExport, AnUnreadableChunkIsNamedAndTheOthersWritten)
{
    for (ExportFormat format : {ExportFormat::Bin, ExportFormat::Abf}) {
        const bool raw = format == ExportFormat::Bin;
        SCOPED_TRACE(raw ? "binary" : "ABF");
        ExportScene scene;
        WriteDamaged(scene, scene.File("rec.kvd"), [](std::vector<uint8_t>& bytes, const KvdLayout& layout) {
            // The electrode chunk from 1.0 s to 1.1 s, its head zeroed.
            std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(layout.chunkAt[20]), Kvd::DataChunk::kHeaderBytes, 0);
        });
        scene.Open({scene.File("rec.kvd")});
        scene.TakeMessages();
        WriteToOut(scene);
        EXPECT_EQ(SaveAllElectrodes(scene, format),
                  QStringList({"Data missing from 1.000 s to 1.100 s in Electrode Raw Data: filled with 0 V."}));
        const std::vector<uint8_t> out = ReadFileBytes(scene.File(raw ? "out/rec.raw" : "out/rec.abf"));
        if (raw) {
            EXPECT_EQ(out.size(), static_cast<size_t>(kRows) * 4 * 2);
        } else {
            ASSERT_GE(out.size(), kAbfHeaderBytes);
            EXPECT_EQ(LoadLE<int32_t>(out.data() + 10), kRows * 4);
        }
    }
}

TEST(DamagedRecordingExport, AStoredStopBeforeTheStartExportsTheData)
{
    ExportScene scene;
    WriteDamaged(scene, scene.File("rec.kvd"), [](std::vector<uint8_t>& bytes, const KvdLayout& layout) {
        const char id[] = "IDXSWEEP";
        const auto at = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(layout.indexAt), bytes.end(), id, id + 8);
        ASSERT_NE(at, bytes.end());
        PatchLE<uint64_t>(bytes, static_cast<size_t>(at - bytes.begin()) + 16 + 8, 1);
    });
    scene.Open({scene.File("rec.kvd")});
    scene.TakeMessages();
    WriteToOut(scene);
    EXPECT_TRUE(SaveAllElectrodes(scene, ExportFormat::Bin).isEmpty());
    EXPECT_EQ(ReadFileBytes(scene.File("out/rec.raw")).size(), static_cast<size_t>(kRows) * 4 * 2);
}
