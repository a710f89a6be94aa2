// Save of the export dialogs with the buttons around it (Browse, "Command Line", Cancel) and the
// settings kept on close: the same selection and options give the console program's bytes.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/gui/controls/CBitSelection.h"
#include "app/gui/controls/CFilenameEdit.h"
#include "app/gui/controls/CFilenameListBox.h"
#include "app/gui/dialogs/OCProgressDlg.h"
#include "export/binary/CConvertToBIN.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "tests/app/gui/dialogs/ExportDialogScene.h"

namespace {

using Id = CDlgSelection;

KvdRecordingPlan Recording(bool triggered)
{
    KvdRecordingPlan plan;
    plan.streams = {ElectrodeStream(4), DigitalStream()};
    plan.triggered = triggered;
    return plan;
}

LayoutPlan Plain4()
{
    LayoutPlan l;
    l.electrodes = 4;
    l.total = 4;
    return l;
}

void SetWriteFolder(const std::string& folder)
{
    mkdir(folder.c_str(), 0700);
    ASSERT_TRUE(CSettingsFile(BuildProfilePath(kProgramName)).WriteString("Settings", "WriteDirectory", folder));
}

// Electrodes 02 and 04 on the panel, bit 3 of the digital word.
void SelectSome(ExportScene& scene, CDlgSelection& dlg)
{
    ChooseStream(dlg, "Electrode Raw Data");
    scene.fakes.Panel(0).Click(true, 1);
    scene.fakes.Panel(0).Click(true, 3);
    ChooseStream(dlg, "Digital Data");
    QTest::mouseClick(dlg.ControlAs<CBitSelection>(Id::kIdBitSelection)->Button(3), Qt::LeftButton);
}

const std::vector<std::string> kSelectArgs = {"-s", "Electrode Raw Data:02", "-s", "Electrode Raw Data:04",
                                              "-s", "Digital Data:D1:3"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

} // namespace

TEST(ExportDialogSave, OneFileAsTheConsoleWritesIt)
{
    for (bool triggered : {false, true}) {
        for (ExportFormat format : {ExportFormat::Ascii, ExportFormat::Bin}) {
            const bool text = format == ExportFormat::Ascii;
            SCOPED_TRACE(std::string(text ? "text" : "binary") + (triggered ? " triggered" : " continuous"));
            ExportScene scene;
            ASSERT_TRUE(WriteRecording(Recording(triggered), Plain4(), scene.File("rec.kvd")));
            scene.Open({scene.File("rec.kvd")});
            SetWriteFolder(scene.File("out"));
            const std::string ext = text ? "txt" : "raw";
            scene.fileAnswers = {QString::fromStdString(scene.File("options.txt"))};
            scene.Run(format, [&](CDlgSelection& dlg) {
                EXPECT_EQ(dlg.ControlAs<CFilenameEdit>(Id::kIdOutputName)->GetPath().toStdString(),
                          scene.File("out/rec." + ext));
                SelectSome(scene, dlg);
                if (text) {
                    ClickControl(dlg, Id::kIdCommentChar);
                    if (triggered) {
                        ClickControl(dlg, Id::kIdSweepHeader);
                        // Sweep times then count from the recording-button press.
                        ClickControl(dlg, Id::kIdBaseIsPressedStart);
                    }
                } else {
                    ClickControl(dlg, Id::kIdWriteHeader);
                    ClickControl(dlg, Id::kIdSigned);
                }
                ClickControl(dlg, Id::kIdSave);
                ClickControl(dlg, Id::kIdCommandLine);
            });
            EXPECT_TRUE(scene.TakeMessages().isEmpty());
            const std::vector<uint8_t> fromDialog = Bytes(scene.File("out/rec." + ext));
            ASSERT_FALSE(fromDialog.empty());
            ASSERT_EQ(std::rename(scene.File("out/rec." + ext).c_str(), scene.File("dialog." + ext).c_str()), 0);

            // The option file runs through the console program to the same bytes.
            std::string output;
            ASSERT_EQ(RunConsole({"-file", scene.File("options.txt")}, &output), 0) << output;
            EXPECT_TRUE(Bytes(scene.File("out/rec." + ext)) == fromDialog);
            const std::vector<uint8_t> options = Bytes(scene.File("options.txt"));
            EXPECT_NE(std::string(options.begin(), options.end()).find("\r\n-s \"Digital Data:D1:3\"\r\n"),
                      std::string::npos);

            // The same options typed on the command line.
            std::remove(scene.File("out/rec." + ext).c_str());
            std::vector<std::string> args = {text ? "-ascii" : "-bin", "-i", scene.File("rec.kvd"), "-o",
                                             scene.File("out/rec." + ext)};
            args = With(args, kSelectArgs);
            args = With(args, text ? std::vector<std::string>{"-CommentChar", "%", triggered ? "-SweepHeader" : "-NoSweepHeader"}
                                   : std::vector<std::string>{"-WriteHeader", "-ToSigned"});
            if (text && triggered)
                args = With(args, {"-BaseIsPressedStart"});
            ASSERT_EQ(RunConsole(args, &output), 0) << output;
            EXPECT_TRUE(Bytes(scene.File("out/rec." + ext)) == fromDialog);
        }
    }
}

TEST(ExportDialogSave, SeveralFilesOnePerInputOrOneForASplitRecording)
{
    ExportScene scene;
    KvdRecordingPlan plan = Recording(false);
    ASSERT_TRUE(WriteRecording(plan, Plain4(), scene.File("a.kvd")));
    plan.chunks = 12;
    ASSERT_TRUE(WriteRecording(plan, Plain4(), scene.File("b.kvd")));
    scene.Open({scene.File("a.kvd"), scene.File("b.kvd")});
    scene.TakeMessages();
    SetWriteFolder(scene.File("out"));
    scene.Run(ExportFormat::Bin, [&](CDlgSelection& dlg) {
        // Several files: lists instead of the name lines, no sweep fields, a folder to browse.
        EXPECT_FALSE(dlg.Control(Id::kIdInputName)->isVisible());
        EXPECT_TRUE(dlg.Control(Id::kIdOutputList)->isVisible());
        EXPECT_EQ(dlg.ControlAs<QPushButton>(Id::kIdBrowse)->text(), "Browse path");
        EXPECT_TRUE(dlg.Control(Id::kIdAssumeSplitted)->isVisible());
        SelectSome(scene, dlg);
        ClickControl(dlg, Id::kIdSave);
        EXPECT_TRUE(scene.TakeMessages().isEmpty());
        // Split: one output named after the first input.
        ClickControl(dlg, Id::kIdAssumeSplitted);
        ClickControl(dlg, Id::kIdSingleOutfile);
        EXPECT_EQ(dlg.ControlAs<QPushButton>(Id::kIdBrowse)->text(), "Browse");
        EXPECT_TRUE(dlg.Control(Id::kIdOutputName)->isVisible());
        ASSERT_EQ(std::rename(scene.File("out/a.raw").c_str(), scene.File("a.raw").c_str()), 0);
        ASSERT_EQ(std::rename(scene.File("out/b.raw").c_str(), scene.File("b.raw").c_str()), 0);
        ClickControl(dlg, Id::kIdSave);
        EXPECT_TRUE(scene.TakeMessages().isEmpty());
    }, 2);
    std::string output;
    mkdir(scene.File("console").c_str(), 0700);
    ASSERT_EQ(RunConsole(With({"-bin", "-i", scene.File("a.kvd"), "-i", scene.File("b.kvd"), "-o",
                               scene.File("console")}, kSelectArgs), &output), 0) << output;
    EXPECT_TRUE(Bytes(scene.File("console/a.raw")) == Bytes(scene.File("a.raw")));
    EXPECT_TRUE(Bytes(scene.File("console/b.raw")) == Bytes(scene.File("b.raw")));
    ASSERT_EQ(RunConsole(With({"-bin", "-i", scene.File("a.kvd"), "-i", scene.File("b.kvd"), "-o",
                               scene.File("console/one.raw"), "-AssumeSplittedFile", "-SingleOutfile"},
                              kSelectArgs), &output), 0) << output;
    const std::vector<uint8_t> one = Bytes(scene.File("out/a.raw"));
    EXPECT_FALSE(one.empty());
    EXPECT_TRUE(Bytes(scene.File("console/one.raw")) == one);
}

TEST(ExportDialogSave, AFileThatLacksTheChannelsIsReported)
{
    ExportScene scene;
    KvdRecordingPlan plan = Recording(false);
    ASSERT_TRUE(WriteRecording(plan, Plain4(), scene.File("a.kvd")));
    plan.streams = {DigitalStream()};
    ASSERT_TRUE(WriteRecording(plan, Plain4(), scene.File("b.kvd")));
    scene.Open({scene.File("a.kvd"), scene.File("b.kvd")});
    SetWriteFolder(scene.File("out"));
    scene.TakeMessages();
    scene.Run(ExportFormat::Bin, [&](CDlgSelection& dlg) {
        // The merged map of the set has no electrode stream; the entry is put in by hand, as
        // the console's selection could hold it.
        scene.doc.GetSelection().Add(CKVDataSelection::Entry{"Electrode Raw Data", "02", 1, -1, 10000, nullptr});
        ClickControl(dlg, Id::kIdSave);
        EXPECT_EQ(scene.TakeMessages(),
                  QStringList({QString::fromStdString("There is no new output file for: " + scene.File("b.kvd")
                                                      + ",\nbecause non of the selected channels exist in this file."),
                               "Selected Channels are not available for all files."}));
        ChooseStream(dlg, "Digital Data");
        QTest::mouseClick(dlg.ControlAs<CBitSelection>(Id::kIdBitSelection)->Button(1), Qt::LeftButton);
        ClickControl(dlg, Id::kIdSave);
        EXPECT_EQ(scene.TakeMessages(), QStringList({"Some of the files are already existing.\nDo you want to replace it?",
                                                     "Selected Channels are not available for all files."}));
        // Into one output, a file without some entries stops the export.
        ClickControl(dlg, Id::kIdAssumeSplitted);
        ClickControl(dlg, Id::kIdSingleOutfile);
        ClickControl(dlg, Id::kIdSave);
        EXPECT_EQ(scene.TakeMessages(),
                  QStringList({QString::fromStdString(scene.File("out/a.raw"))
                                   + " is already existing.\nDo you want to replace it?",
                               "Selected Channels are not available for all files, single outfile export is not possible."}));
    }, 2);
    EXPECT_FALSE(Bytes(scene.File("out/b.raw")).empty());
}

TEST(ExportDialogSave, OneFilePerSweepAsksAboutTheSweepNames)
{
    ExportScene scene;
    ASSERT_TRUE(WriteRecording(Recording(true), Plain4(), scene.File("rec.kvd")));
    scene.Open({scene.File("rec.kvd")});
    SetWriteFolder(scene.File("out"));
    ASSERT_TRUE(WriteFileBytes(scene.File("out/rec_sweep2.raw"), {1}));
    scene.answer = [](const QString&) { return int(QMessageBox::No); };
    scene.Run(ExportFormat::Bin, [&](CDlgSelection& dlg) {
        SelectSome(scene, dlg);
        ClickControl(dlg, Id::kIdSingleFile);   // one file per sweep
        ClickControl(dlg, Id::kIdSave);
        EXPECT_EQ(scene.TakeMessages(),
                  QStringList{QString::fromStdString(scene.File("out/rec_sweep*.raw"))
                              + " is already existing.\nDo you want to replace it?"});
        scene.answer = {};
        ClickControl(dlg, Id::kIdSave);
        EXPECT_EQ(scene.TakeMessages().size(), 1);
    });
    // The very bytes of a direct conversion, sweep by sweep.
    CKVD file;
    ASSERT_TRUE(file.Open(scene.File("rec.kvd")));
    CKVDataSelection selection;
    selection.Add(CKVDataSelection::Entry{"Electrode Raw Data", "02", 1, -1, 10000, nullptr});
    selection.Add(CKVDataSelection::Entry{"Electrode Raw Data", "04", 3, -1, 10000, nullptr});
    selection.Add(CKVDataSelection::Entry{"Digital Data", "D1", 0, 3, 10000, nullptr});
    uint16_t kind = 2;
    CConvertToBIN direct(&file, &selection, &kind);
    direct.SetSingleOutput(false);
    direct.SetSweepRange(1, 3);
    direct.SetOutputName(scene.File("direct.raw"));
    int sweepBase = 0;
    int64_t offset = 0;
    ASSERT_EQ(direct.Convert(&sweepBase, &offset, true, true), kConvertOk);
    for (int s = 1; s <= 3; ++s) {
        SCOPED_TRACE(s);
        const std::vector<uint8_t> expected = Bytes(scene.File("direct_sweep" + std::to_string(s) + ".raw"));
        EXPECT_FALSE(expected.empty());
        EXPECT_TRUE(Bytes(scene.File("out/rec_sweep" + std::to_string(s) + ".raw")) == expected);
    }
}

TEST(ExportDialogSave, AfterBrowseTheConfirmedNameIsNotAskedAgain)
{
    ExportScene scene;
    ASSERT_TRUE(WriteRecording(Recording(false), Plain4(), scene.File("rec.kvd")));
    scene.Open({scene.File("rec.kvd")});
    SetWriteFolder(scene.File("out"));
    ASSERT_TRUE(WriteFileBytes(scene.File("chosen.txt"), {1}));
    scene.fileAnswers = {QString::fromStdString(scene.File("chosen.txt"))};
    scene.Run(ExportFormat::Ascii, [&](CDlgSelection& dlg) {
        SelectSome(scene, dlg);
        ClickControl(dlg, Id::kIdBrowse);
        EXPECT_EQ(scene.TakeMessages(), QStringList{QString::fromStdString(scene.File("chosen.txt"))
                                                    + " already exists.\nDo you want to replace it?"});
        ClickControl(dlg, Id::kIdSave);
        EXPECT_TRUE(scene.TakeMessages().isEmpty());
        // The next Save asks again.
        ClickControl(dlg, Id::kIdSave);
        EXPECT_EQ(scene.TakeMessages().size(), 1);
    });
    EXPECT_GT(Bytes(scene.File("chosen.txt")).size(), 1u);
    EXPECT_EQ(CSettingsFile(BuildProfilePath(kProgramName)).GetString("Settings", "WriteDirectory", ""),
              scene.dir.Path());
}

TEST(ExportDialogSave, CancelAsksAndStopsOnlyOnYes)
{
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        ExportScene scene;
        KvdRecordingPlan plan = Recording(false);
        plan.chunks = 40;
        ASSERT_TRUE(WriteRecording(plan, Plain4(), scene.File("rec.kvd")));
        scene.Open({scene.File("rec.kvd")});
        SetWriteFolder(scene.File("out"));
        scene.answer = [&](const QString& text) {
            EXPECT_EQ(text, "Do you really want to cancel the export?");
            return int(yes ? QMessageBox::Yes : QMessageBox::No);
        };
        bool sawProgress = false;
        bool stayedOpen = false;
        scene.Run(ExportFormat::Abf, [&](CDlgSelection& dlg) {
            SelectSome(scene, dlg);
            QTimer::singleShot(0, [&] {
                OCProgressDlg* progress = dlg.findChild<OCProgressDlg*>();
                ASSERT_NE(progress, nullptr);
                sawProgress = progress->isVisible();
                // Closing the dialog during the export is refused.
                static_cast<QDialog&>(dlg).reject();
                stayedOpen = dlg.isVisible();
                progress->CancelButton()->click();
            });
            ClickControl(dlg, Id::kIdSave);
            // The progress window is gone and the dialog is usable again.
            EXPECT_EQ(dlg.findChild<OCProgressDlg*>(), nullptr);
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        });
        EXPECT_TRUE(sawProgress);
        EXPECT_TRUE(stayedOpen);
        QStringList expected{"Do you really want to cancel the export?"};
        if (yes)
            expected << "Export canceled.";
        EXPECT_EQ(scene.TakeMessages(), expected);
    }
}

TEST(ExportDialogSave, ASingleOutputThatCannotBeOpenedWritesNothing)
{
    ExportScene scene;
    KvdRecordingPlan plan = Recording(false);
    ASSERT_TRUE(WriteRecording(plan, Plain4(), scene.File("a.kvd")));
    ASSERT_TRUE(WriteRecording(plan, Plain4(), scene.File("b.kvd")));
    scene.Open({scene.File("a.kvd"), scene.File("b.kvd")});
    // The kept folder is gone: no output can be opened there.
    CSettingsFile(BuildProfilePath(kProgramName)).WriteString("Settings", "WriteDirectory", scene.File("gone"));
    scene.TakeMessages();
    scene.Run(ExportFormat::Ascii, [&](CDlgSelection& dlg) {
        SelectSome(scene, dlg);
        ClickControl(dlg, Id::kIdAssumeSplitted);
        ClickControl(dlg, Id::kIdSingleOutfile);
        ClickControl(dlg, Id::kIdSave);
        const QStringList messages = scene.TakeMessages();
        ASSERT_FALSE(messages.isEmpty());
        EXPECT_EQ(messages.back(), "Can not open file. Please check the path and filename.");
        EXPECT_EQ(dlg.findChild<OCProgressDlg*>(), nullptr);
    }, 2);
}

TEST(ExportDialogSave, CommandLineFileCancelledRefusedOrUnwritable)
{
    ExportScene scene;
    ASSERT_TRUE(WriteRecording(Recording(false), Plain4(), scene.File("rec.kvd")));
    scene.Open({scene.File("rec.kvd")});
    SetWriteFolder(scene.File("out"));
    CSettingsFile settings(BuildProfilePath(kProgramName));
    ASSERT_TRUE(settings.WriteString("Settings", "CmdlineDirectory", "/kept"));
    scene.Run(ExportFormat::Ascii, [&](CDlgSelection& dlg) {
        SelectSome(scene, dlg);
        ClickControl(dlg, Id::kIdCommandLine);   // the file dialog is cancelled
        EXPECT_TRUE(scene.TakeMessages().isEmpty());
        EXPECT_EQ(settings.GetString("Settings", "CmdlineDirectory", ""), "/kept");

        scene.fileAnswers = {QString::fromStdString(scene.File("none/options.txt"))};
        ClickControl(dlg, Id::kIdCommandLine);
        EXPECT_EQ(scene.TakeMessages(),
                  QStringList{QString::fromStdString("Error writing file: " + scene.File("none/options.txt"))});
        EXPECT_EQ(settings.GetString("Settings", "CmdlineDirectory", ""), scene.File("none"));

        // A channel name the console's parser could not read back.
        scene.doc.GetSelection().Add(CKVDataSelection::Entry{"Electrode Raw Data", "a\"b", 9, -1, 10000, nullptr});
        scene.fileAnswers = {QString::fromStdString(scene.File("options.txt"))};
        ClickControl(dlg, Id::kIdCommandLine);
        const QStringList messages = scene.TakeMessages();
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].endsWith("Electrode Raw Data:a\"b"));
        EXPECT_TRUE(Bytes(scene.File("options.txt")).empty());
    });
}

TEST(ExportDialogSave, BrowsePathChoosesTheFolderOfSeveralOutputs)
{
    ExportScene scene;
    KvdRecordingPlan plan = Recording(false);
    ASSERT_TRUE(WriteRecording(plan, Plain4(), scene.File("a.kvd")));
    ASSERT_TRUE(WriteRecording(plan, Plain4(), scene.File("b.kvd")));
    scene.Open({scene.File("a.kvd"), scene.File("b.kvd")});
    SetWriteFolder(scene.File("out"));
    mkdir(scene.File("elsewhere").c_str(), 0700);
    scene.fileAnswers = {QString::fromStdString(scene.File("elsewhere"))};
    scene.Run(ExportFormat::Bin, [&](CDlgSelection& dlg) {
        ClickControl(dlg, Id::kIdBrowse);
        EXPECT_EQ(dlg.ControlAs<CFilenameListBox>(Id::kIdOutputList)->Paths(),
                  QStringList({QString::fromStdString(scene.File("elsewhere/a.raw")),
                               QString::fromStdString(scene.File("elsewhere/b.raw"))}));
    });
    EXPECT_EQ(CSettingsFile(BuildProfilePath(kProgramName)).GetString("Settings", "WriteDirectory", ""),
              scene.File("elsewhere"));
}

TEST(ExportDialogSave, SettingsAreKeptOnClose)
{
    ExportScene scene;
    ASSERT_TRUE(WriteRecording(Recording(false), Plain4(), scene.File("rec.kvd")));
    scene.Open({scene.File("rec.kvd")});
    CSettingsFile settings(BuildProfilePath(kProgramName));
    ASSERT_TRUE(settings.WriteString("Settings", "CommentCharText", "#"));
    ASSERT_TRUE(settings.WriteInt("Settings", "CommentChar", 1));
    scene.Run(ExportFormat::Ascii, [&](CDlgSelection& dlg) {
        EXPECT_EQ(dlg.ControlAs<QLineEdit>(Id::kIdCommentText)->text(), "#");
        EXPECT_TRUE(dlg.Control(Id::kIdCommentText)->isVisible());
        ClickControl(dlg, Id::kIdCommentChar);
        EXPECT_FALSE(dlg.Control(Id::kIdCommentText)->isVisible());
        dlg.ControlAs<QLineEdit>(Id::kIdCommentText)->setText("!");
        ClickControl(dlg, Id::kIdBaseIsPressedStart);
    });
    // A cleared comment keeps its stored text; a continuous recording writes no "SingleFile".
    EXPECT_EQ(settings.GetInt("Settings", "CommentChar", 9), 0);
    EXPECT_EQ(settings.GetString("Settings", "CommentCharText", ""), "#");
    EXPECT_EQ(settings.GetInt("Settings", "BaseIsPressedStart", 9), 1);
    EXPECT_EQ(settings.GetString("Settings", "SingleFile", "none"), "none");
    EXPECT_EQ(settings.GetString("Settings", "AssumeSplittedFile", "none"), "none");
}
