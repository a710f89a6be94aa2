// The export dialog's Save (the export driver) and its "Command Line" option file.

#include "app/gui/dialogs/CDlgSelection.h"

#include <utility>

#include <QLabel>
#include <QTimer>

#include "app/CSettingsFile.h"
#include "app/CSondrelDoc.h"
#include "app/gui/controls/CAnimateCtrl.h"
#include "app/gui/dialogs/CommandLineText.h"
#include "app/gui/dialogs/ExportNames.h"
#include "app/gui/dialogs/OCProgressDlg.h"
#include "app/gui/FileDialogs.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/GuiText.h"
#include "app/gui/MessagePump.h"
#include "export/core/CConvertInterface.h"
#include "export/core/CExportDriver.h"
#include "export/core/ExportResultText.h"
#include "export/model/CKVD.h"
#include "export/model/CStreamChannelMap.h"

int CDlgSelection::AdjustOutputNameForSweeps(const std::string& name, std::string& shown)
{
    const bool perSweep = Map().GetRecordingKind() != kRecordingContinuous && !m_converter->GetSingleOutput();
    return CountExistingOutputs(name, perSweep, m_converter->GetFirstSweep(), m_converter->GetLastSweep(),
                                shown);
}

bool CDlgSelection::ShowExportQuestion(bool perFile)
{
    const std::vector<CKVD*>* files = m_converter->GetFileList();
    if (files && perFile) {
        int existing = 0;
        const std::string input = m_converter->GetInputName();
        const unsigned first = m_converter->GetFirstSweep();
        const unsigned last = m_converter->GetLastSweep();
        for (CKVD* file : *files) {
            m_converter->SetInputName(file->GetPath());
            const std::string output = BuildOutputName();
            m_converter->SetOutputName(output);
            // Each input writes all of its own sweeps.
            m_converter->SetSweepRange(1, static_cast<unsigned>(file->GetStreamFile().GetSweepCount()));
            std::string shown;
            existing += AdjustOutputNameForSweeps(output, shown);
        }
        m_converter->SetInputName(input);
        m_converter->SetSweepRange(first, last);
        return existing == 0
               || ShowMessage(QStringLiteral("Some of the files are already existing.\nDo you want to replace it?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning)
                      == QMessageBox::Yes;
    }
    std::string shown;
    const std::string output = m_converter->GetOutputName();
    const int existing = AdjustOutputNameForSweeps(output, shown);
    // The save dialog's question covered exactly this one name.
    if (m_skipOverwriteCheck && shown == m_confirmedOutputName && shown == output)
        return true;
    return existing == 0
           || ShowMessage(FromPath(shown) + QStringLiteral(" is already existing.\nDo you want to replace it?"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning)
                  == QMessageBox::Yes;
}

void CDlgSelection::ExportSelection()
{
    // A pending sweep check must not fire in the middle of the export.
    m_sweepTimer->stop();
    if (!ReadControls())
        return;
    const bool perFile = CExportDriver::OpensEachOutput(m_singleOutfile != 0, m_converter->GetSingleOutput(),
                                                        m_assumeSplittedFile != 0);
    if (!ShowExportQuestion(perFile))
        return;
    m_skipOverwriteCheck = false;
    m_confirmedOutputName.clear();

    m_animation->Play();
    ControlAs<QLabel>(kIdStatus)->setText(QString::fromLatin1(kConvertingText));
    int removedTotal = 0;
    int result = kConvertOk;
    {
        // Set before the progress window exists: making it already handles waiting events.
        m_exporting = true;
        m_progress = std::make_unique<CProgressScope>(this);
        PumpWaitingMessages();
        result = ConvertFiles(perFile, removedTotal);
        m_progress.reset();
        m_exporting = false;
    }
    m_animation->Stop();
    ControlAs<QLabel>(kIdStatus)->clear();
    ShowResult(result, removedTotal);
}

int CDlgSelection::ConvertFiles(bool perFile, int& removedTotal)
{
    ExportBatch batch;
    batch.perFile = perFile;
    batch.assumeSplittedFile = m_assumeSplittedFile != 0;
    batch.baseIsPressedStart = m_baseIsPressedStart != 0;
    batch.fileStreams = [this](int index) { return m_doc->GetFileStreams(index); };
    batch.outputName = [this] { return BuildOutputName(); };
    batch.reportNoChannels = [](const std::string& input) {
        ShowMessage(QString::fromLatin1(kNoNewOutputHead) + FromPath(input)
                    + QString::fromLatin1(kNoNewOutputTail));
    };
    CExportDriver driver(*m_converter, std::move(batch));
    const int result = driver.Run();
    removedTotal += driver.GetRemoved();
    return result;
}

void CDlgSelection::ShowResult(int result, int removedTotal)
{
    const std::string text = ExportResultText(result, removedTotal, ExportFrontEnd::kDialog);
    if (!text.empty())
        ShowMessage(FromAnsi(text));
}

int CDlgSelection::OnProgress(int percent, const std::string& message)
{
    if (!m_progress)
        return 0;
    const QString text = FromPath(m_converter->GetInputName()) + QStringLiteral("  ") + FromAnsi(message);
    return ProgressStep(m_progress->Dlg(), percent, text,
                        QStringLiteral("Do you really want to cancel the export?"))
               ? 1
               : 0;
}

void CDlgSelection::WriteCommandLineFile()
{
    m_sweepTimer->stop();
    if (!ReadControls())
        return;
    CommandLineRequest request;
    request.taskOption = m_converter->GetTaskOption();
    const std::vector<CKVD*>* files = m_converter->GetFileList();
    request.multiFile = files != nullptr;
    if (files) {
        for (const CKVD* file : *files)
            request.inputs.push_back(file->GetPath());
    } else if (m_converter->GetDataSource()) {
        request.inputs.push_back(m_converter->GetDataSource()->GetPath());
    }
    request.outputName = m_converter->GetOutputName();
    request.outputFolder = GetOutputFolder();
    request.singleOutfile = m_singleOutfile;
    request.assumeSplittedFile = m_assumeSplittedFile;
    request.oneOutputForAllSweeps = m_converter->GetSingleOutput() ? 1 : 0;
    request.baseIsPressedStart = m_baseIsPressedStart;
    request.triggered = Map().GetRecordingKind() == kRecordingTriggered;
    request.selection = m_converter->GetSelection();
    request.map = &Map();
    request.options = m_converter->Options();
    std::string text;
    std::string refused;
    if (!BuildCommandLineText(request, text, refused)) {
        ShowMessage(FromAnsi(RefusedValueMessage(refused)));
        return;
    }

    FileDialogRequest dialog;
    dialog.kind = FileDialogRequest::Save;
    dialog.folder = FromPath(m_settings->GetString(SettingsKey::kSettings, SettingsKey::kCmdlineDirectory, ""));
    const QStringList chosen = RunFileDialog(this, dialog);
    if (chosen.isEmpty())
        return;
    const std::string path = ToPath(chosen.front());
    if (OutputFileExists(path)
        && ShowMessage(chosen.front() + QStringLiteral(" already exists.\nDo you want to replace it?"),
                       QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning)
               != QMessageBox::Yes)
        return;
    if (!::WriteCommandLineFile(path, text))
        ShowMessage(QStringLiteral("Error writing file: ") + chosen.front());
    m_settings->WriteString(SettingsKey::kSettings, SettingsKey::kCmdlineDirectory, FolderOf(path));
}
