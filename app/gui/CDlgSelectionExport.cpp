// The export dialog's Save (the export driver) and its "Command Line" option file.

#include "app/gui/CDlgSelection.h"

#include <QLabel>
#include <QTimer>

#include "app/CSettingsFile.h"
#include "app/CSondrelDoc.h"
#include "app/gui/CAnimateCtrl.h"
#include "app/gui/CommandLineText.h"
#include "app/gui/ExportNames.h"
#include "app/gui/FileDialogs.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/GuiText.h"
#include "app/gui/MessagePump.h"
#include "app/gui/OCProgressDlg.h"
#include "export/CConvertInterface.h"
#include "export/CKVD.h"
#include "export/CKVDataSelection.h"
#include "export/CStreamChannelMap.h"

namespace {

const char* ResultMessage(int result)
{
    switch (result) {
    case kConvertNoChannels: return "No channels selected";
    case kConvertOpenFailed: return "Can not open file. Please check the path and filename.";
    case kConvertCloseFailed: return "Can not close file.";
    case kConvertHeaderFailed: return "Can not update ABF header.";
    case kConvertCancelled: return "Export canceled.";
    case kConvertChannelsMissing:
        return "Selected Channels are not available for all files, single outfile export is not possible.";
    case kConvertIncompatible: return "The selection of channels is not compatible.";
    case kConvertRatesDiffer: return "Streams with different sample rates are not compatible.";
    default: return nullptr;
    }
}

} // namespace

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
    const bool perFile = !(m_singleOutfile && m_converter->GetSingleOutput() && m_assumeSplittedFile);
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
    CConvertInterface& c = *m_converter;
    const std::vector<CKVD*>* files = c.GetFileList();
    int sweepOffset = 0;
    int64_t timeOffset = 0;
    if (!files) {
        CKVD* source = c.GetDataSource();
        if (m_baseIsPressedStart && source)
            timeOffset = source->GetPressTimeUs();
        const int result = c.Convert(&sweepOffset, &timeOffset, true, true);
        if (CKVDataSelection* selection = c.GetSelection())
            selection->DeleteEntryObjects();
        return result;
    }

    // A single output that did not open is never written to.
    if (!perFile && !c.OpenOutputFile(c.GetOutputName()))
        return kConvertOpenFailed;
    CKVD* const source = c.GetDataSource();
    CKVDataSelection* const selection = c.GetSelection();
    const std::string outputName = c.GetOutputName();
    int result = kConvertOk;
    bool missing = false;
    for (size_t k = 0; k < files->size(); ++k) {
        CKVD& file = *(*files)[k];
        CKVDataSelection copy(selection ? *selection : CKVDataSelection());
        if (copy.GetCount() == 0) {
            result = kConvertNoChannels;
            break;
        }
        const CStreamChannelMap* fileMap = m_doc->GetFileStreams(static_cast<int>(k));
        removedTotal += fileMap ? fileMap->RemoveUnavailable(copy) : 0;
        if (removedTotal != 0 && !perFile) {
            result = kConvertChannelsMissing;
            break;
        }
        const int sweeps = file.GetStreamFile().GetSweepCount();
        c.SetDataSource(&file);
        c.SetSelection(&copy);
        c.SetSweepRange(1, static_cast<unsigned>(sweeps));
        c.SetInputName(file.GetPath());
        c.SetOutputName(BuildOutputName());
        if (!m_assumeSplittedFile) {
            sweepOffset = 0;
            timeOffset = 0;
        }
        if (m_baseIsPressedStart)
            timeOffset = file.GetPressTimeUs();
        result = c.Convert(&sweepOffset, &timeOffset, perFile, k == 0 || !m_assumeSplittedFile);
        sweepOffset += sweeps;
        c.SetSelection(selection);
        // A file with unreadable blocks was written whole and named them: the next one follows.
        if (result == kConvertReported && c.HasMissingData()) {
            missing = true;
            result = kConvertOk;
        }
        if (result >= kConvertOpenFailed)
            break;
        if (result == kConvertNoChannels) {
            ShowMessage(QStringLiteral("There is no new output file for: ") + FromPath(file.GetPath())
                        + QStringLiteral(",\nbecause non of the selected channels exist in this file."));
            result = kConvertOk;
        }
    }
    // An output that cannot be finished is incomplete: never report it as written.
    if (!perFile && !c.CloseOutputFile() && result == kConvertOk)
        result = kConvertCloseFailed;
    if (missing && result == kConvertOk)
        result = kConvertReported;
    c.SetDataSource(source);
    c.SetSelection(selection);
    if (!perFile)
        c.SetOutputName(outputName);
    return result;
}

void CDlgSelection::ShowResult(int result, int removedTotal)
{
    if (const char* text = ResultMessage(result))
        ShowMessage(QString::fromLatin1(text));
    else if (removedTotal != 0)
        ShowMessage(QStringLiteral("Selected Channels are not available for all files."));
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
