#include "app/gui/CSondrelGuiDoc.h"

#include <QFileInfo>
#include <QStringList>

#include "app/CSettingsFile.h"
#include "app/gui/CMergeCommand.h"
#include "app/gui/CMessageBoxReporter.h"
#include "app/gui/CommandIds.h"
#include "app/gui/ExportCommand.h"
#include "app/gui/FileDialogs.h"
#include "app/gui/GuiText.h"

namespace {

constexpr char kDataFilter[] = "Harpstead data (*.kvd)|*.kvd|All data (*.*)|*.*||";
constexpr char kBatchFilter[] = "Batch file (*.bcd)|*.bcd|All data (*.*)|*.*||";

// The split permission of the text and binary exports: set when the files can be merged and
// are the parts of one split recording.
constexpr int kSplitRecording = 2;

std::string FolderOf(const QString& path)
{
    return ToPath(QFileInfo(path).absolutePath());
}

} // namespace

CSondrelGuiDoc::CSondrelGuiDoc(CSettingsFile& settings, RecentFileSink recent)
    : CSondrelDoc(CMessageBoxReporter::Instance()), m_settings(settings), m_recent(std::move(recent))
{
}

void CSondrelGuiDoc::AddToRecentFileList(const std::string& path)
{
    if (m_recent)
        m_recent(path);
}

void CSondrelGuiDoc::UpdateAllViews()
{
    for (const ChangeObserver& observer : m_observers)
        observer();
}

std::string CSondrelGuiDoc::ReadDirectory() const
{
    return m_settings.GetString(SettingsKey::kSettings, SettingsKey::kReadDirectory, "");
}

void CSondrelGuiDoc::OpenOneFile(QWidget* parent, const char* windowsFilter)
{
    FileDialogRequest request;
    request.kind = FileDialogRequest::Open;
    request.folder = FromPath(ReadDirectory());
    request.filter = ConvertFilter(windowsFilter);
    const QStringList chosen = RunFileDialog(parent, request);
    if (chosen.isEmpty())
        return;
    m_settings.WriteString(SettingsKey::kSettings, SettingsKey::kReadDirectory, FolderOf(chosen.front()));
    // A failure has been shown to the user; the document then stays empty.
    (void)OnOpenDocument(ToPath(chosen.front()).c_str());
}

void CSondrelGuiDoc::OnFileOpenKvd(QWidget* parent)
{
    OpenOneFile(parent, kDataFilter);
}

void CSondrelGuiDoc::OnFileOpenBatch(QWidget* parent)
{
    OpenOneFile(parent, kBatchFilter);
}

void CSondrelGuiDoc::OnFileOpenMultiple(QWidget* parent)
{
    FileDialogRequest request;
    request.kind = FileDialogRequest::OpenMultiple;
    request.folder = FromPath(ReadDirectory());
    request.filter = ConvertFilter(kDataFilter);
    GetPathList().clear();
    const QStringList chosen = RunFileDialog(parent, request);
    if (chosen.isEmpty())
        return;
    for (const QString& path : chosen)
        GetPathList().push_back(ToPath(path));
    // Every path of one selection lies in one folder.
    m_settings.WriteString(SettingsKey::kSettings, SettingsKey::kReadDirectory, FolderOf(chosen.front()));
    (void)OnOpenDocument(nullptr);   // a failure has been shown, as above
}

void CSondrelGuiDoc::OnToolsConvertToAscii(QWidget* parent)
{
    RunExportCommand(ExportFormat::Ascii, *this, parent, GetCanMerge() & kSplitRecording);
}

void CSondrelGuiDoc::OnToolsConvertToAbf(QWidget* parent)
{
    RunExportCommand(ExportFormat::Abf, *this, parent, 0);
}

void CSondrelGuiDoc::OnToolsConvertToBin(QWidget* parent)
{
    RunExportCommand(ExportFormat::Bin, *this, parent, GetCanMerge() & kSplitRecording);
}

void CSondrelGuiDoc::OnToolsMerge(QWidget* parent)
{
    CMergeCommand(*this, m_settings).Run(parent);
}

bool CSondrelGuiDoc::OnCommand(int id, QWidget* parent)
{
    switch (id) {
    case ID_FILE_OPEN_KVD: OnFileOpenKvd(parent); return true;
    case ID_FILE_OPEN_BATCH: OnFileOpenBatch(parent); return true;
    case ID_FILE_OPEN_MULTIPLE: OnFileOpenMultiple(parent); return true;
    case ID_TOOLS_CONVERT_TO_ASCII: OnToolsConvertToAscii(parent); return true;
    case ID_TOOLS_CONVERT_TO_ABF: OnToolsConvertToAbf(parent); return true;
    case ID_TOOLS_CONVERT_TO_BIN: OnToolsConvertToBin(parent); return true;
    case ID_TOOLS_MERGE: OnToolsMerge(parent); return true;
    default: return false;
    }
}

bool CSondrelGuiDoc::IsCommandEnabled(int id) const
{
    switch (id) {
    case ID_TOOLS_CONVERT_TO_ASCII: return IsConvertToAsciiEnabled();
    case ID_TOOLS_CONVERT_TO_ABF:
    case ID_TOOLS_CONVERT_TO_BIN: return IsConvertEnabled();
    case ID_TOOLS_MERGE: return IsMergeEnabled();
    default: return true;
    }
}
