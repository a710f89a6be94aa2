#include "app/gui/CMergeCommand.h"

#include <sys/stat.h>

#include <cstdio>
#include <vector>

#include <QFileInfo>
#include <QStringList>

#include "app/CSettingsFile.h"
#include "app/CSondrelDoc.h"
#include "app/gui/dialogs/OCProgressDlg.h"
#include "app/gui/FileDialogs.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/GuiText.h"
#include "datafile/container/CKVTAStreamFile.h"
#include "export/model/CKVD.h"
#include "platform/File64.h"
#include "platform/TextEncoding.h"

namespace {

constexpr char kFilter[] = "Harpstead data (*.kvd)|*.kvd|All data (*.*)|*.*||";
constexpr char kDefaultExtension[] = ".kvd";
const char kCannotMerge[] = "Files cannot be merged because:\n";
const char kMergeFails[] = "Merge fails!\n";
const char kMergedWithLoss[] = "The merged file holds all the data the files could give, but they lack some:\n";
const char kCancelQuestion[] = "Do you really want to cancel merging?";
const char kOutputIsInput[] =
    "The merged file cannot replace one of the files it is made of:\n";

// The progress window of the running merge; the callback has no other way to reach it.
OCProgressDlg* g_progress = nullptr;

QString Shown(const std::string& text)
{
    return QString::fromStdString(ToDisplayText(text));
}

// Clears the callback's window pointer on every way out.
class CProgressPointer
{
public:
    explicit CProgressPointer(OCProgressDlg& dlg) { g_progress = &dlg; }
    ~CProgressPointer() { g_progress = nullptr; }
    CProgressPointer(const CProgressPointer&) = delete;
    CProgressPointer& operator=(const CProgressPointer&) = delete;
};

} // namespace

CMergeCommand::CMergeCommand(CSondrelDoc& doc, CSettingsFile& settings)
    : m_doc(doc), m_settings(settings)
{
}

int CMergeCommand::MergeProgress(const char* text, int percent)
{
    if (!g_progress)
        return 0;
    return ProgressStep(*g_progress, percent, Shown(text ? text : ""), kCancelQuestion) ? 1 : 0;
}

std::string CMergeCommand::AskOutputPath(QWidget* parent)
{
    FileDialogRequest request;
    request.kind = FileDialogRequest::Save;
    request.folder = FromPath(m_settings.GetString(SettingsKey::kSettings, SettingsKey::kWriteDirectory, ""));
    request.filter = ConvertFilter(kFilter);
    request.defaultSuffix = QStringLiteral("kvd");
    for (;;) {
        const QStringList chosen = RunFileDialog(parent, request);
        if (chosen.isEmpty())
            return std::string();
        QString path = chosen.front();
        if (QFileInfo(path).suffix().isEmpty())
            path += kDefaultExtension;
        const QFileInfo info(path);
        if (info.exists()
            && ShowMessage(info.fileName() + " already exists.\nDo you want to replace it?",
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning)
                != QMessageBox::Yes) {
            request.folder = info.absolutePath();
            request.fileName = info.fileName();
            continue;
        }
        return ToPath(path);
    }
}

bool CMergeCommand::RefuseInputAsOutput(const std::string& output)
{
    struct stat target {};
    if (::stat(output.c_str(), &target) != 0)
        return false;
    for (int i = 0; i < m_doc.GetFileCount(); ++i) {
        struct stat input {};
        if (::stat(m_doc.GetFile(i)->GetPath().c_str(), &input) == 0 && SameFile(input, target)) {
            ShowMessage(kOutputIsInput + FromPath(output), QMessageBox::Ok, QMessageBox::Warning);
            return true;
        }
    }
    return false;
}

void CMergeCommand::Run(QWidget* parent)
{
    if (m_doc.GetCanMerge() == 0) {
        ShowMessage(kCannotMerge + Shown(m_doc.GetMergeRefusalText()), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    const std::string path = AskOutputPath(parent);
    if (path.empty())
        return;
    m_settings.WriteString(SettingsKey::kSettings, SettingsKey::kWriteDirectory,
                           ToPath(QFileInfo(FromPath(path)).absolutePath()));
    // Opening the output empties it at once: an input under its name would be lost.
    if (RefuseInputAsOutput(path))
        return;

    CKVTAStreamFile output;
    std::vector<CKVTAStreamFile*> files;
    for (int i = 0; i < m_doc.GetFileCount(); ++i)
        files.push_back(&m_doc.GetFile(i)->GetStreamFile());
    int result = 0;
    {
        CProgressScope scope(parent);
        CProgressPointer pointer(scope.Dlg());
        result = output.MergeFiles(files.data(), static_cast<int>(files.size()), path, &MergeProgress);
    }
    if (result == 0)
        return;
    // The merged file is kept: it holds every chunk the inputs could give.
    if (result == 2) {
        ShowMessage(kMergedWithLoss + Shown(output.GetMergeLossText()), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    ShowMessage(kMergeFails + Shown(CKVTAStreamFile::GetLastErrorText()), QMessageBox::Ok, QMessageBox::Warning);
    // Only a file this merge opened (and so emptied) is partial; one it never reached stays.
    if (output.GetPath() == path)
        std::remove(path.c_str());
}
